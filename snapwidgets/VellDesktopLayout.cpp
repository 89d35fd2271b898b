#include "VellDesktopLayout.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtMath>

VellDesktopLayout::VellDesktopLayout(const QVector<Screen> &screens)
    : monitors(screens)
{ }

VellDesktopLayout VellDesktopLayout::ofScreens()
{
    QVector<Screen> screens;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect logical = screen->geometry();
        const qreal ratio = screen->devicePixelRatio();
        const QSize deviceSize = (QSizeF(logical.size()) * ratio).toSize();
        screens.append({logical, QRect(logical.topLeft(), deviceSize), ratio});
    }
    return VellDesktopLayout(screens);
}

VellDesktopLayout VellDesktopLayout::ofLogicalLayout(const QVector<Screen> &screens)
{
    QVector<Screen> placed;
    for (const Screen &screen : screens) {
        QPoint origin = screen.logical.topLeft();
        for (const Screen &other : screens) {
            const QSize extra
                = (QSizeF(other.logical.size()) * other.ratio).toSize() - other.logical.size();
            if (other.logical.x() + other.logical.width() <= screen.logical.x()) {
                origin.rx() += extra.width();
            }
            if (other.logical.y() + other.logical.height() <= screen.logical.y()) {
                origin.ry() += extra.height();
            }
        }
        const QSize deviceSize = (QSizeF(screen.logical.size()) * screen.ratio).toSize();
        placed.append({screen.logical, QRect(origin, deviceSize), screen.ratio});
    }
    return VellDesktopLayout(placed);
}

QRect VellDesktopLayout::deviceBounds() const
{
    QRect bounds;
    for (const Screen &screen : monitors) {
        bounds |= screen.device;
    }
    return bounds;
}

int VellDesktopLayout::screenAtDevice(const QPoint &device) const
{
    for (int i = 0; i < monitors.size(); ++i) {
        if (monitors.at(i).device.contains(device)) {
            return i;
        }
    }
    return -1;
}

QPoint VellDesktopLayout::toDevice(const QPointF &logical) const
{
    for (const Screen &screen : monitors) {
        if (QRectF(screen.logical).contains(logical)) {
            const QPointF offset = (logical - screen.logical.topLeft()) * screen.ratio;
            return (QPointF(screen.device.topLeft()) + offset).toPoint();
        }
    }
    // Off every monitor (a pointer grabbed beyond the desktop's edge): the
    // nearest monitor would do no better than the plain position.
    return logical.toPoint();
}

QRegion VellDesktopLayout::toLocalLogical(const QRegion &device, int screen) const
{
    const Screen &monitor = monitors.at(screen);
    QRegion local;
    for (const QRect &rect : device.intersected(monitor.device)) {
        // QRectF's bottom right lies just past the rectangle's last pixel.
        const QRectF onScreen(rect.translated(-monitor.device.topLeft()));
        const QPointF topLeft = onScreen.topLeft() / monitor.ratio;
        const QPointF bottomRight = onScreen.bottomRight() / monitor.ratio;
        local += QRect(QPoint(qFloor(topLeft.x()), qFloor(topLeft.y())),
            QPoint(qCeil(bottomRight.x()) - 1, qCeil(bottomRight.y()) - 1));
    }
    return local;
}

qreal VellDesktopLayout::ratioOver(const QRect &device) const
{
    qreal shared = 0;
    for (const Screen &screen : monitors) {
        if (!screen.device.intersects(device)) {
            continue;
        }
        if (shared != 0 && !qFuzzyCompare(shared, screen.ratio)) {
            return 1;
        }
        shared = screen.ratio;
    }
    return shared != 0 ? shared : 1;
}
