#include "VellCaptureOverlay.h"

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPixmap>

namespace {
// Half the width of the band that surely holds a line drawn at a coordinate.
constexpr int lineMargin = 2;

QRect horizontalBand(int y, int width)
{
    return QRect(0, y - lineMargin, width, 2 * lineMargin + 1);
}

QRect verticalBand(int x, int height)
{
    return QRect(x - lineMargin, 0, 2 * lineMargin + 1, height);
}
} // namespace

VellCaptureOverlay::VellCaptureOverlay(
    const QSize &area, const QPoint &crosshair, const QRect &selection)
    : area(area)
    , crosshair(crosshair)
    , selection(selection)
{ }

void VellCaptureOverlay::paint(QPainter &painter, const QPixmap &screen) const
{
    const int width = area.width();
    const int height = area.height();
    painter.drawPixmap(0, 0, screen);
    // Cosmetic: one device pixel wide whatever the device pixel ratio.
    QPen dashed(Qt::DashLine);
    dashed.setCosmetic(true);
    painter.setPen(dashed);
    painter.drawLine(0, crosshair.y(), width, crosshair.y());
    painter.drawLine(crosshair.x(), 0, crosshair.x(), height);
    if (selection.isValid()) {
        painter.setBrush(QBrush(QColor(0, 255, 0, 128)));
        painter.drawLine(0, selection.top(), width, selection.top());
        painter.drawLine(selection.left(), 0, selection.left(), height);
        painter.drawRect(selection);
    }
}

QRegion VellCaptureOverlay::changedRegion(
    const VellCaptureOverlay &before, const VellCaptureOverlay &after)
{
    if (before.area != after.area) {
        return QRegion(QRect(QPoint(), before.area.expandedTo(after.area)));
    }
    // Inside both selections or outside both, a pixel changes only where a
    // line was or is drawn.
    return before.selectionArea().xored(after.selectionArea()) + before.lineBands()
        + after.lineBands();
}

QRegion VellCaptureOverlay::lineBands() const
{
    QRegion bands;
    bands += horizontalBand(crosshair.y(), area.width());
    bands += verticalBand(crosshair.x(), area.height());
    if (selection.isValid()) {
        bands += horizontalBand(selection.top(), area.width());
        bands += verticalBand(selection.left(), area.height());
        // The outline of drawRect() runs along the rectangle's edges and one
        // pixel beyond its right and bottom.
        const QRect outer
            = selection.adjusted(-lineMargin, -lineMargin, lineMargin + 1, lineMargin + 1);
        const QRect inner = selection.adjusted(lineMargin, lineMargin, -lineMargin, -lineMargin);
        bands += QRegion(outer).subtracted(inner.isValid() ? QRegion(inner) : QRegion());
    }
    return bands.intersected(QRect(QPoint(), area));
}

QRegion VellCaptureOverlay::selectionArea() const
{
    return selection.isValid() ? QRegion(selection) : QRegion();
}
