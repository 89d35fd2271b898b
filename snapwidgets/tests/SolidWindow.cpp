#include "SolidWindow.h"

#include <QImage>
#include <QPainter>

SolidWindow::SolidWindow(const QRect &geometry, const QColor &colour)
    : colour(colour)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(geometry);
}

bool SolidWindow::isPictureOf(const QImage &image) const
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            if (rgb.pixel(x, y) != colour.rgb()) {
                return false;
            }
        }
    }
    return !rgb.isNull();
}

void SolidWindow::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), colour);
}
