#ifndef VELLFROZENDESKTOP_H
#define VELLFROZENDESKTOP_H

#include "VellDesktopLayout.h"
#include "VellSnapWidgetsExport.h"

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QVector>

// A picture of every monitor, taken at one moment, each at its own device
// pixel ratio, from which any rectangle of the desktop can be cut.
class VELL_SNAPWIDGETS_EXPORT VellFrozenDesktop
{
public:
    // `pictures` holds one picture per monitor of `layout`, in device pixels.
    VellFrozenDesktop(const VellDesktopLayout &layout, const QVector<QPixmap> &pictures);

    // Takes the picture of every monitor Qt knows: from the X root window,
    // or in a Wayland session from the desktop's screenshot portal. When no
    // picture can be had the result has no monitors and `errorText` says why.
    static VellFrozenDesktop grab(QString *errorText = nullptr);

    // Cuts a picture of the whole desktop, such as the portal gives, into
    // one picture per monitor. Only the logical rectangles and ratios of
    // `screens` are read. The picture spans the monitors' logical bounds at
    // one scale (the compositor's largest); each monitor's part is brought
    // back to that monitor's own device pixels (VellMonitorCut), and the
    // monitors are placed side by side in device pixels
    // (VellDesktopLayout::ofLogicalLayout), so that a region across a
    // boundary holds no gap.
    static VellFrozenDesktop ofDesktopPicture(
        const QImage &whole, const QVector<VellDesktopLayout::Screen> &screens);

    bool isEmpty() const { return pictures.isEmpty(); }

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
