#include "VellCaptureOverlay.h"

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPixmap>

namespace {
// Half the width of the band that surely holds a line drawn at a coordinate.
constexpr int lineMargin = 2;

QRect horizontalBand(int y, const QRect &area)
{
    return QRect(area.left(), y - lineMargin, area.width(), 2 * lineMargin + 1);
}

QRect verticalBand(int x, const QRect &area)
{
    return QRect(x - lineMargin, area.top(), 2 * lineMargin + 1, area.height());
}
} // namespace

VellCaptureOverlay::VellCaptureOverlay(
    const QRect &area, const QPoint &crosshair, const QRect &selection)
    : area(area)
    , crosshair(crosshair)
    , selection(selection)
{ }

void VellCaptureOverlay::paint(QPainter &painter, const QPixmap &screen, const QPoint &origin) const
{
    // Drawn at its own ratio, the picture maps one to one onto device pixels.
    painter.drawPixmap(QPointF(0, 0), screen);
    // From here on in device pixels of the desktop.
    const qreal ratio = screen.devicePixelRatio();
    painter.setTransform(
        QTransform::fromScale(1 / ratio, 1 / ratio).translate(-origin.x(), -origin.y()), true);
    // Cosmetic: one device pixel wide whatever the device pixel ratio.
    QPen dashed(Qt::DashLine);
    dashed.setCosmetic(true);
    painter.setPen(dashed);
    const int left = area.left();
    const int top = area.top();
    const int right = area.right() + 1;
    const int bottom = area.bottom() + 1;
    painter.drawLine(left, crosshair.y(), right, crosshair.y());
    painter.drawLine(crosshair.x(), top, crosshair.x(), bottom);
    if (selection.isValid()) {
        painter.setBrush(QBrush(QColor(0, 255, 0, 128)));
        painter.drawLine(left, selection.top(), right, selection.top());
        painter.drawLine(selection.left(), top, selection.left(), bottom);
        painter.drawRect(selection);
    }
}

QRegion VellCaptureOverlay::changedRegion(
    const VellCaptureOverlay &before, const VellCaptureOverlay &after)
{
    if (before.area != after.area) {
        return QRegion(before.area.united(after.area));
    }
    // Inside both selections or outside both, a pixel changes only where a
    // line was or is drawn.
    return before.selectionArea().xored(after.selectionArea()) + before.lineBands()
        + after.lineBands();
}

QRegion VellCaptureOverlay::lineBands() const
{
    QRegion bands;
    bands += horizontalBand(crosshair.y(), area);
    bands += verticalBand(crosshair.x(), area);
    if (selection.isValid()) {
        bands += horizontalBand(selection.top(), area);
        bands += verticalBand(selection.left(), area);
        // The outline of drawRect() runs along the rectangle's edges and one
        // pixel beyond its right and bottom.
        const QRect outer
            = selection.adjusted(-lineMargin, -lineMargin, lineMargin + 1, lineMargin + 1);
        const QRect inner = selection.adjusted(lineMargin, lineMargin, -lineMargin, -lineMargin);
        bands += QRegion(outer).subtracted(inner.isValid() ? QRegion(inner) : QRegion());
    }
    return bands.intersected(area);
}

QRegion VellCaptureOverlay::selectionArea() const
{
    return selection.isValid() ? QRegion(selection) : QRegion();
}
