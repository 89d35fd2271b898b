#include "VellFrozenDesktop.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

VellFrozenDesktop::VellFrozenDesktop(
    const VellDesktopLayout &layout, const QVector<QPixmap> &pictures)
    : desktopLayout(layout)
    , pictures(pictures)
{ }

VellFrozenDesktop VellFrozenDesktop::grab()
{
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
