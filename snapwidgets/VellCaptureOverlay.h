#ifndef VELLCAPTUREOVERLAY_H
#define VELLCAPTUREOVERLAY_H

#include "VellSnapWidgetsExport.h"

#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>

class QPainter;
class QPixmap;

// What the capture widget draws over the frozen screen: a dashed cross-hair
// through the pointer and, while a valid rectangle is dragged out, dashed
// guide lines through its top and left and the rectangle itself filled with
// half-transparent green. All in widget coordinates.
class VELL_SNAPWIDGETS_EXPORT VellCaptureOverlay
{
public:
    VellCaptureOverlay(const QSize &area, const QPoint &crosshair, const QRect &selection);

    // Draws the frozen screen at (0, 0) and the overlay on top of it.
    void paint(QPainter &painter, const QPixmap &screen) const;

    // The part of the area whose pixels differ between two overlays; painting
    // only that part turns a picture of `before` into one of `after`.
    static QRegion changedRegion(const VellCaptureOverlay &before, const VellCaptureOverlay &after);

private:
    // Bands around every line that paint() draws, wide enough for the pen
    // at any device pixel ratio.
    QRegion lineBands() const;
    QRegion selectionArea() const;

    QSize area;
    QPoint crosshair;
    QRect selection;
};

#endif // VELLCAPTUREOVERLAY_H
