#ifndef VELLCAPTUREGEOMETRY_H
#define VELLCAPTUREGEOMETRY_H

#include "VellSnapWidgetsExport.h"

#include <QPoint>
#include <QRect>

// Geometry of the capture widget, kept apart from the widget so that it can be
// checked without a display. Rectangles are inclusive: right and bottom are the
// last pixel column and row that belong to them.
namespace VellCaptureGeometry {

// The rectangle spanned by two corner points of a drag, whichever way the
// drag went; both points belong to it, so a drag that ends in its start
// column still yields a rectangle one pixel wide.
VELL_SNAPWIDGETS_EXPORT QRect normalisedSelection(const QPoint &start, const QPoint &end);

} // namespace VellCaptureGeometry

#endif // VELLCAPTUREGEOMETRY_H
