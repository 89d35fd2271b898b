#ifndef VELLDESKTOPLAYOUT_H
#define VELLDESKTOPLAYOUT_H

#include "VellSnapWidgetsExport.h"

#include <QPointF>
#include <QRect>
#include <QRegion>
#include <QVector>

// Where the monitors of the desktop lie, in the two coordinate systems that
// meet in the capture widgets: Qt's logical coordinates, in which widgets and
// events are placed, and the device pixels of the X root window, in which
// pictures are taken and the pointer moves.
//
// With a scale factor per monitor the two do not map onto each other by one
// factor: Qt keeps each monitor's top-left corner at its device position and
// shrinks only its size by the monitor's own ratio, so logical space has gaps
// or overlaps between monitors. Everything that crosses a monitor boundary is
// therefore done in device pixels; logical coordinates are used only within
// one monitor.
class VELL_SNAPWIDGETS_EXPORT VellDesktopLayout
{
public:
    struct Screen
    {
        QRect logical;
        // In pixels of the X root window.
        QRect device;
        qreal ratio = 1;
    };

    explicit VellDesktopLayout(const QVector<Screen> &screens = {});

    // The monitors Qt knows, in the order of QGuiApplication::screens().
    static VellDesktopLayout ofScreens();
    // Monitors placed in a layout of their own (as a Wayland compositor
    // places them, whatever their scales), given their logical rectangles
    // and ratios: each gets its own device pixels, at its logical position
    // moved right and down by the extra device pixels of the monitors wholly
    // left of and above it, so that none overlap and, at ratio 1, device and
    // logical coordinates agree.
    static VellDesktopLayout ofLogicalLayout(const QVector<Screen> &screens);

    const QVector<Screen> &screens() const { return monitors; }
    // The smallest rectangle of device pixels holding every monitor.
    QRect deviceBounds() const;

    // Index of the monitor showing a device pixel, -1 when none does.
    int screenAtDevice(const QPoint &device) const;
    // The device pixel at a logical position, such as the screen position of
    // a mouse event; Qt gives it with the fraction that identifies the pixel
    // on a monitor whose ratio is not a whole number.
    QPoint toDevice(const QPointF &logical) const;
    // The part of a region of device pixels that lies on one monitor, in the
    // logical coordinates of a window covering that monitor, rounded outwards.
    QRegion toLocalLogical(const QRegion &device, int screen) const;
    // The device pixel ratio of the monitors under a rectangle of device
    // pixels when they all share one, otherwise 1.
    qreal ratioOver(const QRect &device) const;

private:
    QVector<Screen> monitors;
};

#endif // VELLDESKTOPLAYOUT_H
