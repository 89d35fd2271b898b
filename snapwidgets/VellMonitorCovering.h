#ifndef VELLMONITORCOVERING_H
#define VELLMONITORCOVERING_H

#include <QRect>
#include <Qt>

class QWidget;

// How a window of the capture widget comes to cover exactly one monitor.
//
// Normally it asks the window manager for full screen. Through Xwayland that
// cannot be relied on: sway puts every X window that asks for full screen on
// the focused output, whatever its position, so the covers of further
// monitors would all lie over one. There the windows bypass the window
// manager (override-redirect, which every X compositor places where the
// window says) and the capture widget takes the keyboard itself, since no
// window manager gives such a window the focus.
class VellMonitorCovering
{
public:
    static bool bypassesWindowManager();
    // The flags of a covering window, to be set before it has a native window.
    static Qt::WindowFlags windowFlags();
    // Shows `window` over the monitor at `logical`: full screen, or placed
    // there when it bypasses the window manager.
    static void show(QWidget *window, const QRect &logical);
};

#endif // VELLMONITORCOVERING_H
