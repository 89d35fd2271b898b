// Paint time of the capture widget per pointer move, over every monitor of
// the desktop it runs on. Run it through run-bench-snapwidgets-paint.sh, which
// starts private X servers with one and with two monitors.
//
// Each move of a scripted pointer path (hovering, then a drag) is delivered
// as a real mouse event; the widget repaints at once, so the time of the
// delivery is the time the user waits before the cross-hair follows. A second
// pass over the same path repaints every monitor after each move, as a
// repaint without a limited region would do. The passes are kept apart: a
// full-screen upload to the X server slows the paint that follows it.
// The figures are the client's side: painting and handing the picture to X.
#include "VellCaptureWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QtMath>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
struct Figures
{
    double median;
    double p95;
};

Figures summarise(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&samples](double share) {
        return samples[std::min(samples.size() - 1, size_t(share * (samples.size() - 1) + 0.5))];
    };
    return {at(0.5), at(0.95)};
}

// The desktop in device pixels, and the logical position Qt gives a pointer
// event at a device pixel (each monitor keeps its top left, its size shrinks
// by its ratio).
QRect desktopBounds()
{
    QRect bounds;
    for (const QScreen *screen : QGuiApplication::screens()) {
        bounds |= QRect(screen->geometry().topLeft(), screen->size() * screen->devicePixelRatio());
    }
    return bounds;
}

QPointF logicalAt(const QPoint &device)
{
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QPoint origin = screen->geometry().topLeft();
        const qreal ratio = screen->devicePixelRatio();
        if (QRect(origin, screen->size() * ratio).contains(device)) {
            return QPointF(origin) + QPointF(device - origin) / ratio;
        }
    }
    return device;
}

// A pointer path over the whole desktop: a loop while hovering, then a drag
// that grows, shrinks and crosses its start point.
std::vector<QPoint> pointerPath(const QRect &desktop, int hoverMoves, int dragMoves)
{
    std::vector<QPoint> path;
    const QSize size = desktop.size();
    const QPointF centre = QRectF(desktop).center();
    for (int i = 0; i < hoverMoves; ++i) {
        const double angle = 2 * M_PI * i / hoverMoves;
        path.push_back((centre
            + QPointF(std::cos(angle) * size.width() * 0.4, std::sin(angle) * size.height() * 0.4))
                           .toPoint());
    }
    for (int i = 0; i < dragMoves; ++i) {
        const double t = double(i) / dragMoves;
        const double reach = std::sin(2 * M_PI * t) * 0.45;
        path.push_back(
            (centre + QPointF(reach * size.width(), reach * size.height() * 0.8)).toPoint());
    }
    return path;
}

// Delivered as Qt delivers events to the widget that grabbed the mouse.
void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &device, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const QPointF global = logicalAt(device);
    const QPointF local = global - QPointF(widget->geometry().topLeft());
    QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void repaintEveryMonitor()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            window->repaint();
        }
    }
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int hoverMoves = 200;
    const int dragMoves = 400;

    VellCaptureWidget widget;
    if (!QTest::qWaitFor([&widget] { return widget.isVisible(); })
        || !QTest::qWaitForWindowExposed(&widget)) {
        std::fprintf(stderr, "the capture widget did not come up\n");
        return 1;
    }
    QTest::qWait(200);

    const QRect desktop = desktopBounds();
    const std::vector<QPoint> path = pointerPath(desktop, hoverMoves, dragMoves);
    const auto runPath = [&widget, &path, hoverMoves](bool fullRepaint) {
        std::vector<double> samples;
        QElapsedTimer clock;
        for (size_t i = 0; i < path.size(); ++i) {
            const bool dragging = i >= size_t(hoverMoves);
            if (i == size_t(hoverMoves)) {
                sendMouse(&widget, QEvent::MouseButtonPress, path[i], Qt::LeftButton);
            }
            clock.start();
            sendMouse(
                &widget, QEvent::MouseMove, path[i], dragging ? Qt::LeftButton : Qt::NoButton);
            if (fullRepaint) {
                repaintEveryMonitor();
            }
            samples.push_back(clock.nsecsElapsed() / 1e6);
            QCoreApplication::processEvents();
        }
        return samples;
    };
    const std::vector<double> perMove = runPath(false);
    const std::vector<double> fullRepaint = runPath(true);

    const Figures moves = summarise(perMove);
    const Figures full = summarise(fullRepaint);
    std::printf("capture widget over %d monitor(s), desktop %dx%d device pixels",
        QGuiApplication::screens().size(), desktop.width(), desktop.height());
    for (const QScreen *screen : QGuiApplication::screens()) {
        std::printf(", %s at ratio %.1f", qPrintable(screen->name()), screen->devicePixelRatio());
    }
    std::printf("; %zu pointer moves\n", path.size());
    std::printf("  paint per move (changed region): median %.3f ms, p95 %.3f ms\n", moves.median,
        moves.p95);
    std::printf(
        "  full-screen repaint per move:    median %.3f ms, p95 %.3f ms\n", full.median, full.p95);
    return 0;
}
