#ifndef VELLCAPTUREGEOMETRY_H
#define VELLCAPTUREGEOMETRY_H

#include "VellSnapWidgetsExport.h"

#include <QPoint>
#include <QRect>
#include <QSize>

// Geometry of the capture widget, kept apart from the widget so that it can be
// checked without a display. Rectangles are inclusive: right and bottom are the
// last pixel column and row that belong to them.
namespace VellCaptureGeometry {

// The rectangle spanned by two corner points of a drag, whichever way the
// drag went; both points belong to it, so a drag that ends in its start
// column still yields a rectangle one pixel wide.
VELL_SNAPWIDGETS_EXPORT QRect normalisedSelection(const QPoint &start, const QPoint &end);

// The device pixels that a rectangle in widget (logical) coordinates covers on
// a picture with the given device pixel ratio, cut to the picture's bounds.
// Returns an invalid rectangle when nothing of it lies on the picture.
VELL_SNAPWIDGETS_EXPORT QRect devicePixelRect(
    const QRect &logical, qreal devicePixelRatio, const QSize &deviceSize);

} // namespace VellCaptureGeometry

#endif // VELLCAPTUREGEOMETRY_H
