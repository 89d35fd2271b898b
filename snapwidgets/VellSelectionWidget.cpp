#include "VellSelectionWidget.h"

#include "VellGrabWindow.h"
#include "VellPortalScreenshot.h"

#include <QCursor>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

QImage *VellSelectionWidget::region = nullptr;
QString VellSelectionWidget::error;

namespace {
// The centre of the target in cursor.png.
constexpr int cursorHotSpot = 9;
} // namespace

VellSelectionWidget::VellSelectionWidget(QWidget *parent)
    : QWidget(parent)
    , normalPixmap(QStringLiteral(":/res/bg_norm.bmp"))
    , emptyPixmap(QStringLiteral(":/res/bg_empty.bmp"))
    , cursorPixmap(QStringLiteral(":/res/cursor.png"))
{
    region = nullptr;
    error.clear();
}

VellSelectionWidget::~VellSelectionWidget() = default;

QImage *VellSelectionWidget::getSelectedRegion()
{
    return region;
}

QString VellSelectionWidget::lastError()
{
    return error;
}

void VellSelectionWidget::mousePressEvent(QMouseEvent *)
{
    pressed = true;
    // The release then reaches this widget wherever the pointer is.
    grabMouse(QCursor(cursorPixmap, cursorHotSpot, cursorHotSpot));
    update();
}

void VellSelectionWidget::mouseReleaseEvent(QMouseEvent *event)
{
    releaseMouse();
    // Taken before the host's dialog closes, so releasing over it captures it.
    error.clear();
    const QPixmap picture = grabWindow(event->globalPos(), &error);
    if (picture.isNull() && VellPortalScreenshot::isWaylandSession()) {
        qWarning("VellSelectionWidget: no picture of the window: %s", qUtf8Printable(error));
    } else {
        // On X11 as ever: a null image rather than none.
        region = new QImage(picture.toImage());
    }
    if (QWidget *window = nativeParentWidget()) {
        window->close();
    }
}

void VellSelectionWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, pressed ? emptyPixmap : normalPixmap);
}
