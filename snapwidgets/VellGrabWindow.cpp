#include "VellGrabWindow.h"

#include "VellDesktopLayout.h"
#include "VellPortalScreenshot.h"
#include "VellXServerGrab.h"

#include <QGuiApplication>
#include <QScreen>
#include <QX11Info>

#include <X11/Xlib.h>

namespace {
// What lies under the pointer: the child of the root window that holds it,
// that is the top-level window under it (None over the bare root window),
// and the pixel the window is centred on, or the pointer's own pixel over
// the bare root.
struct UnderPointer
{
    Window window = None;
    QPoint centre;
};

UnderPointer topLevelUnderPointer(Display *display)
{
    const Window root = QX11Info::appRootWindow(-1);
    Window rootReturn = None;
    UnderPointer under;
    int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
    unsigned int buttons = 0;
    VellXServerGrab grab(display);
    // When the pointer is on another X screen the call fails and leaves the
    // child None.
    XQueryPointer(
        display, root, &rootReturn, &under.window, &rootX, &rootY, &windowX, &windowY, &buttons);
    under.centre = QPoint(rootX, rootY);
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    // A child of the root window has its position in root coordinates.
    if (under.window != None
        && XGetGeometry(
            display, under.window, &rootReturn, &x, &y, &width, &height, &border, &depth)) {
        under.centre = QPoint(x + int(border + width / 2), y + int(border + height / 2));
    }
    return under;
}

// The monitor that shows a device pixel, or the primary one when none does.
QScreen *screenAt(const QPoint &device)
{
    const int index = VellDesktopLayout::ofScreens().screenAtDevice(device);
    return index >= 0 ? QGuiApplication::screens().at(index) : QGuiApplication::primaryScreen();
}
} // namespace

QPixmap grabWindow(const QPoint &point)
{
    return grabWindow(point, nullptr);
}

QPixmap grabWindow(const QPoint &, QString *errorText)
{
    if (VellPortalScreenshot::isWaylandSession()) {
        return QPixmap::fromImage(VellPortalScreenshot::take(true, errorText));
    }
    Display *display = QX11Info::isPlatformX11() ? QX11Info::display() : nullptr;
    if (!display || !QGuiApplication::primaryScreen()) {
        if (errorText) {
            *errorText = QStringLiteral("no X11 display and no Wayland session");
        }
        return QPixmap();
    }
    const UnderPointer under = topLevelUnderPointer(display);
    // The window is grabbed after the server has been released. Any monitor
    // grabs the same pixels of a window; the one it is centred on gives the
    // picture its device pixel ratio. Over the bare root window, window 0
    // stands for the whole of the monitor under the pointer.
    return screenAt(under.centre)->grabWindow(under.window);
}
