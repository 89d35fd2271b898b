// The time from constructing the capture widget to its first painted frame
// in a Wayland session (the desktop frozen through the screenshot portal),
// beside grim writing the same desktop to a PNG file. The two alternate
// round by round; the figure is the median of the per-round ratios. Also
// prints the peak resident memory of this process and of grim.
//   bench-snapwidgets-freeze [rounds]
// Run it through run-bench-snapwidgets-freeze.sh (two 1920 x 1080 outputs).
#include "VellCaptureWidget.h"
#include "VellPortalScreenshot.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// The capture widget, noting when its first paint is done.
class TimedCaptureWidget : public VellCaptureWidget
{
public:
    explicit TimedCaptureWidget(const QElapsedTimer &clock)
        : clock(clock)
    { }

    qint64 firstPaintNs = -1;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        VellCaptureWidget::paintEvent(event);
        if (firstPaintNs < 0) {
            firstPaintNs = clock.nsecsElapsed();
        }
    }

private:
    const QElapsedTimer &clock;
};

double widgetMs()
{
    QElapsedTimer clock;
    clock.start();
    TimedCaptureWidget widget(clock);
    while (widget.firstPaintNs < 0 && clock.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double ms = widget.firstPaintNs / 1e6;
    widget.close();
    QCoreApplication::processEvents();
    return ms;
}

// The portal's picture alone, read into memory: the part of the widget's
// time that the desktop spends.
double portalMs()
{
    QElapsedTimer clock;
    clock.start();
    const QImage picture = VellPortalScreenshot::take(false);
    return picture.isNull() ? -1 : clock.nsecsElapsed() / 1e6;
}

double grimMs(const QString &file)
{
    QElapsedTimer clock;
    clock.start();
    QProcess grim;
    grim.start(QStringLiteral("grim"), {file});
    grim.waitForFinished(30000);
    return clock.nsecsElapsed() / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("desktop.png"));
    // A first round of each warms the portal and the caches; it is not counted.
    widgetMs();
    grimMs(file);
    std::vector<double> widget, grim, portal, ratio;
    for (int round = 0; round < rounds; ++round) {
        const double w = widgetMs();
        const double g = grimMs(file);
        portal.push_back(portalMs());
        if (w < 0) {
            std::fprintf(stderr, "the widget painted nothing: %s\n",
                qUtf8Printable(VellCaptureWidget::lastError()));
            return 1;
        }
        widget.push_back(w);
        grim.push_back(g);
        ratio.push_back(w / g);
    }
    rusage self {}, children {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    QTextStream out(stdout);
    out << "desktop: " << QGuiApplication::screens().size() << " outputs, platform "
        << QGuiApplication::platformName() << "\n"
        << "rounds: " << rounds << "\n"
        << "widget to first paint, median: " << median(widget) << " ms\n"
        << "grim to PNG, median: " << median(grim) << " ms\n"
        << "portal picture alone, median: " << median(portal) << " ms\n"
        << "median ratio widget/grim: " << median(ratio) << "\n"
        << "peak RSS: this process " << self.ru_maxrss / 1024 << " MiB, grim "
        << children.ru_maxrss / 1024 << " MiB\n";
    return 0;
}
