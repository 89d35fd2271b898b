#ifndef VELLCAPTUREOVERLAY_H
#define VELLCAPTUREOVERLAY_H

#include "VellSnapWidgetsExport.h"

#include <QPoint>
#include <QRect>
#include <QRegion>

class QPainter;
class QPixmap;

// What the capture widget draws over the frozen desktop: a dashed cross-hair
// through the pointer and, while a valid rectangle is dragged out, dashed
// guide lines through its top and left and the rectangle itself filled with
// half-transparent green. The lines run across the whole desktop, over every
// monitor. All in device pixels of the desktop (see VellDesktopLayout).
class VELL_SNAPWIDGETS_EXPORT VellCaptureOverlay
{
public:
    VellCaptureOverlay(const QRect &area, const QPoint &crosshair, const QRect &selection);

    // Paints one monitor: the painter works in logical coordinates whose
    // origin is the monitor's top-left corner (a window covering the monitor,
    // or one spanning several, translated), `screen` is the monitor's frozen
    // picture at its device pixel ratio, and `origin` the desktop position of
    // its top-left device pixel.
    void paint(QPainter &painter, const QPixmap &screen, const QPoint &origin) const;

    // The part of the area whose pixels differ between two overlays; painting
    // only that part turns a picture of `before` into one of `after`.
    static QRegion changedRegion(const VellCaptureOverlay &before, const VellCaptureOverlay &after);

private:
    // Bands around every line that paint() draws, wide enough for the pen
    // at any device pixel ratio.
    QRegion lineBands() const;
    QRegion selectionArea() const;

    QRect area;
    QPoint crosshair;
    QRect selection;
};

#endif // VELLCAPTUREOVERLAY_H
