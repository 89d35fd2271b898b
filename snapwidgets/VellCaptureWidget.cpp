#include "VellCaptureWidget.h"

#include "VellCaptureGeometry.h"
#include "VellCaptureOverlay.h"

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

QImage *VellCaptureWidget::region = nullptr;

namespace {
// Gives the window system time to settle before the widget covers the screen.
constexpr int showDelayMs = 200;

QPixmap grabDesktop()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(0) : QPixmap();
}

QSize logicalSize(const QPixmap &pixmap)
{
    return (QSizeF(pixmap.size()) / pixmap.devicePixelRatio()).toSize();
}
} // namespace

VellCaptureWidget::VellCaptureWidget(QWidget *parent)
    : QWidget(parent)
    , screenPixmap(grabDesktop())
{
    region = nullptr;
    resize(logicalSize(screenPixmap));
    move(0, 0);
    crosshair = mapFromGlobal(QCursor::pos());
    setAttribute(Qt::WA_MouseTracking);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // Every paint covers its whole area with the picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    QTimer::singleShot(showDelayMs, this, &VellCaptureWidget::init);
}

VellCaptureWidget::~VellCaptureWidget() = default;

QImage *VellCaptureWidget::getSelectedRegion()
{
    return region;
}

void VellCaptureWidget::init()
{
    showFullScreen();
    resize(logicalSize(screenPixmap));
    crosshair = mapFromGlobal(QCursor::pos());
    grabMouse();
}

void VellCaptureWidget::keyPressEvent(QKeyEvent *event)
{
    // Every other key is swallowed on purpose.
    if (event->key() == Qt::Key_Escape) {
        close();
    }
}

void VellCaptureWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        close();
        return;
    }
    const VellCaptureOverlay before = overlay();
    startPoint = event->pos();
    crosshair = event->pos();
    // Only the top-left corner moves; the far corner stays where the last drag
    // left it (-1, -1 before any drag, so a click without a move selects nothing,
    // and a second button pressed mid-drag keeps the far corner).
    selection.setTopLeft(startPoint);
    pressed = true;
    update(VellCaptureOverlay::changedRegion(before, overlay()));
}

void VellCaptureWidget::mouseMoveEvent(QMouseEvent *event)
{
    const VellCaptureOverlay before = overlay();
    crosshair = event->pos();
    if (pressed) {
        selection = VellCaptureGeometry::normalisedSelection(startPoint, event->pos());
    }
    // Painted at once so that the cross-hair follows the pointer; only what
    // changed, since a full repaint of a 4K screen can take longer than a frame
    // (see bench/snapwidgets).
    repaint(VellCaptureOverlay::changedRegion(before, overlay()));
}

void VellCaptureWidget::mouseReleaseEvent(QMouseEvent *)
{
    const QRect pixels = VellCaptureGeometry::devicePixelRect(
        selection, screenPixmap.devicePixelRatio(), screenPixmap.size());
    // Invalid when nothing was dragged out (a click, or a press alone).
    if (pixels.isValid()) {
        region = new QImage(screenPixmap.copy(pixels).toImage());
    }
    close();
}

void VellCaptureWidget::paintEvent(QPaintEvent *)
{
    // The painter is clipped to the event's region, so only that part of the
    // picture is copied.
    QPainter painter(this);
    overlay().paint(painter, screenPixmap);
}

void VellCaptureWidget::hideEvent(QHideEvent *event)
{
    // Qt keeps routing every mouse event of the application to the grabber,
    // even a hidden one; the host's windows must get them back once we close.
    if (mouseGrabber() == this) {
        releaseMouse();
    }
    QWidget::hideEvent(event);
}

VellCaptureOverlay VellCaptureWidget::overlay() const
{
    return VellCaptureOverlay(logicalSize(screenPixmap), crosshair, selection);
}
