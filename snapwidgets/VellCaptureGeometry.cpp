#include "VellCaptureGeometry.h"

#include <algorithm>

namespace VellCaptureGeometry {

QRect normalisedSelection(const QPoint &start, const QPoint &end)
{
    // QRect::normalized() leaves a rectangle whose right is exactly one less
    // than its left alone, which would lose a one-pixel drag to the left.
    return QRect(QPoint(std::min(start.x(), end.x()), std::min(start.y(), end.y())),
        QPoint(std::max(start.x(), end.x()), std::max(start.y(), end.y())));
}

} // namespace VellCaptureGeometry
