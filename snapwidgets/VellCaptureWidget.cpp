#include "VellCaptureWidget.h"

#include "VellCaptureGeometry.h"
#include "VellCaptureOverlay.h"
#include "VellFrozenDesktop.h"
#include "VellMonitorCovering.h"
#include "VellPortalScreenshot.h"
#include "VellScreenCover.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

QImage *VellCaptureWidget::region = nullptr;
QString VellCaptureWidget::error;

namespace {
// Gives the window system time to settle before the widget covers the screen.
constexpr int showDelayMs = 200;

// What is left of the delay once the picture is in. The X root window is
// read at once; the screenshot portal takes its time to answer, in which the
// window system settles as well, so that wait counts toward the delay.
int remainingShowDelay(const QElapsedTimer &sinceGrabStarted)
{
    if (!VellPortalScreenshot::isWaylandSession()) {
        return showDelayMs;
    }
    return int(qMax<qint64>(0, showDelayMs - sinceGrabStarted.elapsed()));
}

bool oneRatio(const VellDesktopLayout &layout)
{
    for (const VellDesktopLayout::Screen &screen : layout.screens()) {
        if (!qFuzzyCompare(screen.ratio, layout.screens().first().ratio)) {
            return false;
        }
    }
    return true;
}

int primaryScreenIndex()
{
    const int index = QGuiApplication::screens().indexOf(QGuiApplication::primaryScreen());
    return index < 0 ? 0 : index;
}
} // namespace

VellCaptureWidget::VellCaptureWidget(QWidget *parent)
    : QWidget(parent)
    , ownScreen(primaryScreenIndex())
{
    QElapsedTimer sinceGrabStarted;
    sinceGrabStarted.start();
    desktop = std::make_unique<VellFrozenDesktop>(VellFrozenDesktop::grab(&error));
    region = nullptr;
    if (desktop->isEmpty()) {
        qWarning("VellCaptureWidget: no picture of the desktop: %s", qUtf8Printable(error));
        // Closed before it is ever shown: a cancel without a black picture.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    error.clear();
    spansDesktop = VellMonitorCovering::bypassesWindowManager() && oneRatio(desktop->layout());
    setGeometry(ownArea());
    crosshair = desktop->layout().toDevice(QCursor::pos());
    setAttribute(Qt::WA_MouseTracking);
    setWindowFlags(VellMonitorCovering::windowFlags());
    // Every paint covers its whole area with the picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    QTimer::singleShot(remainingShowDelay(sinceGrabStarted), this, &VellCaptureWidget::init);
}

VellCaptureWidget::~VellCaptureWidget() = default;

QImage *VellCaptureWidget::getSelectedRegion()
{
    return region;
}

QString VellCaptureWidget::lastError()
{
    return error;
}

void VellCaptureWidget::init()
{
    const QRect area = ownArea();
    VellMonitorCovering::show(this, area);
    setGeometry(area);
    if (isWindow() && !spansDesktop) {
        coverFurtherScreens();
    }
    crosshair = desktop->layout().toDevice(QCursor::pos());
    // Every pointer event of the desktop comes here, over any monitor.
    grabMouse();
    if (VellMonitorCovering::bypassesWindowManager()) {
        grabKeyboard();
    }
}

void VellCaptureWidget::coverFurtherScreens()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    covers.clear();
    covers.resize(desktop->layout().screens().size());
    for (int i = 0; i < int(covers.size()) && i < screens.size(); ++i) {
        if (i == ownScreen) {
            continue;
        }
        covers[i] = std::make_unique<VellScreenCover>(
            screens.at(i), this, [this, i](QPainter &painter) { paintScreen(painter, i); });
        VellMonitorCovering::show(covers[i].get(), screens.at(i)->geometry());
    }
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
    startPoint = devicePosition(event);
    crosshair = startPoint;
    // Only the top-left corner moves; the far corner stays where the last drag
    // left it (-1, -1 before any drag, so a click without a move selects nothing,
    // and a second button pressed mid-drag keeps the far corner).
    selection.setTopLeft(startPoint);
    pressed = true;
    repaintChanged(before);
}

void VellCaptureWidget::mouseMoveEvent(QMouseEvent *event)
{
    const VellCaptureOverlay before = overlay();
    crosshair = devicePosition(event);
    if (pressed) {
        selection = VellCaptureGeometry::normalisedSelection(startPoint, crosshair);
    }
    repaintChanged(before);
}

void VellCaptureWidget::mouseReleaseEvent(QMouseEvent *)
{
    // Invalid when nothing was dragged out (a click, or a press alone).
    if (selection.isValid()) {
        region = new QImage(desktop->copy(selection));
    }
    close();
}

void VellCaptureWidget::paintEvent(QPaintEvent *)
{
    if (desktop->isEmpty()) {
        return;
    }
    QPainter painter(this);
    for (int i = 0; i < desktop->layout().screens().size(); ++i) {
        if (windowOver(i) != this) {
            continue;
        }
        const QPoint origin = originOnWindow(i);
        painter.save();
        painter.translate(origin);
        painter.setClipRect(QRect(QPoint(0, 0), desktop->layout().screens().at(i).logical.size()),
            Qt::IntersectClip);
        paintScreen(painter, i);
        painter.restore();
    }
}

void VellCaptureWidget::hideEvent(QHideEvent *event)
{
    // Qt keeps routing every mouse event of the application to the grabber,
    // even a hidden one; the host's windows must get them back once we close.
    if (mouseGrabber() == this) {
        releaseMouse();
    }
    if (keyboardGrabber() == this) {
        releaseKeyboard();
    }
    covers.clear();
    QWidget::hideEvent(event);
}

VellCaptureOverlay VellCaptureWidget::overlay() const
{
    return VellCaptureOverlay(desktop->layout().deviceBounds(), crosshair, selection);
}

QPoint VellCaptureWidget::devicePosition(const QMouseEvent *event) const
{
    // The screen position, not the widget position: with the mouse grabbed,
    // events over every monitor arrive here, and only the screen position
    // is mapped by the ratio of the monitor the pointer is on.
    return desktop->layout().toDevice(event->screenPos());
}

void VellCaptureWidget::paintScreen(QPainter &painter, int screen) const
{
    if (screen >= desktop->layout().screens().size()) {
        return;
    }
    // The painter is clipped to the event's region, so only that part of the
    // picture is copied.
    overlay().paint(
        painter, desktop->picture(screen), desktop->layout().screens().at(screen).device.topLeft());
}

void VellCaptureWidget::repaintChanged(const VellCaptureOverlay &before)
{
    // Painted at once so that the cross-hair follows the pointer; only what
    // changed, since a full repaint of a 4K screen can take longer than a frame
    // (see bench/snapwidgets).
    const QRegion changed = VellCaptureOverlay::changedRegion(before, overlay());
    const int screens = desktop->layout().screens().size();
    for (int i = 0; i < screens; ++i) {
        QWidget *window = windowOver(i);
        if (!window || !window->isVisible()) {
            continue;
        }
        const QRegion local
            = desktop->layout().toLocalLogical(changed, i).translated(originOnWindow(i));
        if (!local.isEmpty()) {
            window->repaint(local);
        }
    }
}

QRect VellCaptureWidget::ownArea() const
{
    const QVector<VellDesktopLayout::Screen> &screens = desktop->layout().screens();
    if (spansDesktop) {
        QRect bounds;
        for (const VellDesktopLayout::Screen &screen : screens) {
            bounds |= screen.logical;
        }
        return bounds;
    }
    return ownScreen < screens.size() ? screens.at(ownScreen).logical : QRect();
}

QPoint VellCaptureWidget::originOnWindow(int screen) const
{
    if (!spansDesktop) {
        return QPoint(0, 0);
    }
    return desktop->layout().screens().at(screen).logical.topLeft() - ownArea().topLeft();
}

QWidget *VellCaptureWidget::windowOver(int screen)
{
    if (screen == ownScreen || spansDesktop) {
        return this;
    }
    return size_t(screen) < covers.size() ? covers[screen].get() : nullptr;
}
