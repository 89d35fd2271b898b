#ifndef VELLGRABWINDOW_H
#define VELLGRABWINDOW_H

#include "VellSnapWidgetsExport.h"

#include <QPixmap>

class QPoint;

// A picture of the whole top-level window that the pointer is over at the
// moment of the call, at its own size; the whole screen when the pointer is
// over the bare root window, and a null pixmap without an X11 display.
// `point` is accepted for the callers' convenience and not consulted: the
// pointer position is read from the X server.
VELL_SNAPWIDGETS_EXPORT QPixmap grabWindow(const QPoint &point);

#endif // VELLGRABWINDOW_H
