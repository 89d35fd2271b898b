#include "VellCaptureGeometry.h"

#include <QtMath>

#include <algorithm>

namespace VellCaptureGeometry {

QRect normalisedSelection(const QPoint &start, const QPoint &end)
{
    // QRect::normalized() leaves a rectangle whose right is exactly one less
    // than its left alone, which would lose a one-pixel drag to the left.
    return QRect(QPoint(std::min(start.x(), end.x()), std::min(start.y(), end.y())),
        QPoint(std::max(start.x(), end.x()), std::max(start.y(), end.y())));
}

QRect devicePixelRect(const QRect &logical, qreal devicePixelRatio, const QSize &deviceSize)
{
    if (!logical.isValid() || devicePixelRatio <= 0) {
        return QRect();
    }
    // A logical pixel x covers the device pixels [x * ratio, (x + 1) * ratio).
    const int left = qFloor(logical.left() * devicePixelRatio);
    const int top = qFloor(logical.top() * devicePixelRatio);
    const int right = qCeil((logical.right() + 1) * devicePixelRatio) - 1;
    const int bottom = qCeil((logical.bottom() + 1) * devicePixelRatio) - 1;
    return QRect(QPoint(left, top), QPoint(right, bottom)).intersected(QRect(QPoint(), deviceSize));
}

} // namespace VellCaptureGeometry
