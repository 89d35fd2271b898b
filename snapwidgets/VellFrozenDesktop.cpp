#include "VellFrozenDesktop.h"

#include "VellMonitorCut.h"
#include "VellPortalScreenshot.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

VellFrozenDesktop::VellFrozenDesktop(
    const VellDesktopLayout &layout, const QVector<QPixmap> &pictures)
    : desktopLayout(layout)
    , pictures(pictures)
{ }

VellFrozenDesktop VellFrozenDesktop::grab(QString *errorText)
{
    if (VellPortalScreenshot::isWaylandSession()) {
        // Neither a native Wayland client nor an X client of Xwayland can
        // read the pixels of other programs' windows itself.
        QVector<VellDesktopLayout::Screen> screens;
        for (QScreen *screen : QGuiApplication::screens()) {
            screens.append({screen->geometry(), QRect(), screen->devicePixelRatio()});
        }
        const QImage whole = VellPortalScreenshot::take(false, errorText);
        if (whole.isNull() || screens.isEmpty()) {
            if (!whole.isNull() && errorText) {
                *errorText = QStringLiteral("no monitors");
            }
            return VellFrozenDesktop(VellDesktopLayout(), {});
        }
        return ofDesktopPicture(whole, screens);
    }
    QVector<VellDesktopLayout::Screen> screens;
    QVector<QPixmap> pictures;
    for (QScreen *screen : QGuiApplication::screens()) {
        // Window 0 is the monitor's own part of the root window, in device
        // pixels; its size is exact where a logical size times the ratio may
        // be off by one.
        const QPixmap picture = screen->grabWindow(0);
        const QRect logical = screen->geometry();
        screens.append(
            {logical, QRect(logical.topLeft(), picture.size()), screen->devicePixelRatio()});
        pictures.append(picture);
    }
    return VellFrozenDesktop(VellDesktopLayout(screens), pictures);
}

VellFrozenDesktop VellFrozenDesktop::ofDesktopPicture(
    const QImage &whole, const QVector<VellDesktopLayout::Screen> &screens)
{
    QRect bounds;
    for (const VellDesktopLayout::Screen &screen : screens) {
        bounds |= screen.logical;
    }
    if (whole.isNull() || bounds.isEmpty()) {
        return VellFrozenDesktop(VellDesktopLayout(), {});
    }
    const qreal scaleX = qreal(whole.width()) / bounds.width();
    const qreal scaleY = qreal(whole.height()) / bounds.height();
    const VellDesktopLayout layout = VellDesktopLayout::ofLogicalLayout(screens);
    QVector<QPixmap> pictures;
    for (const VellDesktopLayout::Screen &screen : layout.screens()) {
        const QRect logical = screen.logical.translated(-bounds.topLeft());
        const QRect part(qRound(logical.x() * scaleX), qRound(logical.y() * scaleY),
            qRound(logical.width() * scaleX), qRound(logical.height() * scaleY));
        QPixmap picture
            = QPixmap::fromImage(VellMonitorCut::cut(whole, part, screen.device.size()));
        picture.setDevicePixelRatio(screen.ratio);
        pictures.append(picture);
    }
    return VellFrozenDesktop(layout, pictures);
}

QImage VellFrozenDesktop::copy(const QRect &device) const
{
    if (!device.isValid()) {
        return QImage();
    }
    QImage region(device.size(), QImage::Format_RGB32);
    region.fill(Qt::black);
    {
        QPainter painter(&region);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        const QVector<VellDesktopLayout::Screen> &screens = desktopLayout.screens();
        for (int i = 0; i < screens.size(); ++i) {
            const QRect part = device.intersected(screens.at(i).device);
            if (part.isEmpty()) {
                continue;
            }
            QPixmap piece = pictures.at(i).copy(part.translated(-screens.at(i).device.topLeft()));
            piece.setDevicePixelRatio(1);
            painter.drawPixmap(part.topLeft() - device.topLeft(), piece);
        }
    }
    region.setDevicePixelRatio(desktopLayout.ratioOver(device));
    return region;
}
