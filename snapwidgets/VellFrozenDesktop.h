#ifndef VELLFROZENDESKTOP_H
#define VELLFROZENDESKTOP_H

#include "VellDesktopLayout.h"
#include "VellSnapWidgetsExport.h"

#include <QImage>
#include <QPixmap>
#include <QVector>

// A picture of every monitor, taken at one moment, each at its own device
// pixel ratio, from which any rectangle of the desktop can be cut.
class VELL_SNAPWIDGETS_EXPORT VellFrozenDesktop
{
public:
    // `pictures` holds one picture per monitor of `layout`, in device pixels.
    VellFrozenDesktop(const VellDesktopLayout &layout, const QVector<QPixmap> &pictures);

    // Takes the picture of every monitor Qt knows.
    static VellFrozenDesktop grab();

    const VellDesktopLayout &layout() const { return desktopLayout; }
    // The picture of one monitor, with that monitor's device pixel ratio.
    const QPixmap &picture(int screen) const { return pictures.at(screen); }

    // The device pixels of `device` (right and bottom inclusive), wherever
    // they lie; pixels that no monitor shows are black. Its device pixel ratio
    // is that of the monitors it spans if they share one, otherwise 1.
    QImage copy(const QRect &device) const;

private:
    VellDesktopLayout desktopLayout;
    QVector<QPixmap> pictures;
};

#endif // VELLFROZENDESKTOP_H
