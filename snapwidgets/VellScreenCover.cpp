#include "VellScreenCover.h"

#include "VellMonitorCovering.h"

#include <QCoreApplication>
#include <QPainter>
#include <QScreen>
#include <QWindow>

VellScreenCover::VellScreenCover(
    QScreen *screen, QWidget *inputTarget, const PaintFunction &paintScreen)
    : QWidget(nullptr, VellMonitorCovering::windowFlags())
    , inputTarget(inputTarget)
    , paintScreen(paintScreen)
{
    setAttribute(Qt::WA_MouseTracking);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    // The native window must know its monitor before its geometry is set:
    // the logical geometry maps to device pixels by that monitor's ratio.
    winId();
    windowHandle()->setScreen(screen);
    setGeometry(screen->geometry());
}

bool VellScreenCover::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // Mouse events are read by their screen position, which does not
        // depend on the widget that receives them.
        QCoreApplication::sendEvent(inputTarget, event);
        return true;
    default:
        return QWidget::event(event);
    }
}

void VellScreenCover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintScreen(painter);
}
