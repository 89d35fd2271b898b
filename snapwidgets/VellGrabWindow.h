#ifndef VELLGRABWINDOW_H
#define VELLGRABWINDOW_H

#include "VellSnapWidgetsExport.h"

#include <QPixmap>

class QPoint;
class QString;

// A picture of the whole top-level window that the pointer is over at the
// moment of the call, at its own size in device pixels; the whole monitor the
// pointer is on when it is over the bare root window; a null pixmap without
// an X11 display. The picture's device pixel ratio is that of the monitor the
// window is centred on (or of the monitor under the pointer).
// `point` is accepted for the callers' convenience and not consulted: the
// pointer position is read from the X server.
VELL_SNAPWIDGETS_EXPORT QPixmap grabWindow(const QPoint &point);

// The same, saying why when the pixmap is null. A Wayland session names no
// window under the pointer: there the picture is what the user picks in the
// screenshot portal's interactive dialog (a window or an area), and it is
// null with the reason when the portal offers no such dialog or fails.
VELL_SNAPWIDGETS_EXPORT QPixmap grabWindow(const QPoint &point, QString *errorText);

#endif // VELLGRABWINDOW_H
