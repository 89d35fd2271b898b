#ifndef VELLGRABWINDOW_H
#define VELLGRABWINDOW_H

#include "VellSnapWidgetsExport.h"

#include <QPixmap>

class QPoint;

// A picture of the whole top-level window that the pointer is over at the
// moment of the call, at its own size in device pixels; the whole monitor the
// pointer is on when it is over the bare root window; a null pixmap without
// an X11 display. The picture's device pixel ratio is that of the monitor the
// window is centred on (or of the monitor under the pointer).
// `point` is accepted for the callers' convenience and not consulted: the
// pointer position is read from the X server.
VELL_SNAPWIDGETS_EXPORT QPixmap grabWindow(const QPoint &point);

#endif // VELLGRABWINDOW_H
