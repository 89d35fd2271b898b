#include "VellGrabWindow.h"

#include "VellXServerGrab.h"

#include <QGuiApplication>
#include <QScreen>
#include <QX11Info>

#include <X11/Xlib.h>

namespace {
// The child of the root window that holds the pointer, that is the top-level
// window under it, or None over the bare root window.
Window topLevelUnderPointer(Display *display)
{
    const Window root = QX11Info::appRootWindow(-1);
    Window rootReturn = None;
    Window child = None;
    int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
    unsigned int buttons = 0;
    VellXServerGrab grab(display);
    // When the pointer is on another screen the call fails and leaves child None.
    XQueryPointer(display, root, &rootReturn, &child, &rootX, &rootY, &windowX, &windowY, &buttons);
    return child;
}
} // namespace

QPixmap grabWindow(const QPoint &)
{
    Display *display = QX11Info::isPlatformX11() ? QX11Info::display() : nullptr;
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!display || !screen) {
        return QPixmap();
    }
    // The window is grabbed after the server has been released.
    return screen->grabWindow(topLevelUnderPointer(display));
}
