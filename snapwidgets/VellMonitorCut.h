#ifndef VELLMONITORCUT_H
#define VELLMONITORCUT_H

#include "VellSnapWidgetsExport.h"

#include <QImage>
#include <QRect>
#include <QSize>

// One monitor's own device pixels, taken from its part of a picture of the
// whole desktop. A compositor draws such a picture at its largest scale: a
// monitor of a smaller scale appears there enlarged, each of its pixels
// spread over several by linear interpolation.
class VELL_SNAPWIDGETS_EXPORT VellMonitorCut
{
public:
    // `part` is the monitor's rectangle in `whole`; `own` its size in its
    // own device pixels. An enlargement by exactly 2 is undone pixel for
    // pixel, whether each pixel was interpolated or repeated (interpolated:
    // but for the outermost rows and columns, which may be one step off);
    // other factors are scaled down smoothly, which is close but not exact.
    static QImage cut(const QImage &whole, const QRect &part, const QSize &own);

private:
    // Every pixel repeated in a square of 2 x 2.
    static bool isDoubled(const QImage &enlarged);
    // Undoes an enlargement by 2 through linear interpolation.
    static QImage halve(const QImage &enlarged);
};

#endif // VELLMONITORCUT_H
