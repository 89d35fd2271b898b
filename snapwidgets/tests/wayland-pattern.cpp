// A Wayland client showing the coordinate pattern full screen on every
// output, so that any picture of the desktop can be checked pixel by pixel.
// Each window asks the compositor for its output by its title ("@NAME").
// The pixel (x, y) of an output's own device pixels shows the pattern of
// (X + x, Y + y), where (X, Y) is the output's position in the layout, so
// that outputs side by side at scale 1 continue one another. Prints
// "ready" once every window has been painted at its output's full size.
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTextStream>
#include <QTimer>

#include <memory>
#include <vector>

namespace {
QRgb patternAt(int x, int y)
{
    return qRgb(x % 256, y % 256, (x / 256 + 16 * (y / 256)) % 256);
}

class PatternWindow : public QRasterWindow
{
public:
    explicit PatternWindow(QScreen *screen)
    {
        setScreen(screen);
        setTitle(QStringLiteral("pattern @") + screen->name());
        setFlags(Qt::FramelessWindowHint);
    }

    bool painted() const { return paintedSize == screen()->size() * devicePixelRatio(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const qreal ratio = devicePixelRatio();
        const QSize device = size() * ratio;
        const QPoint origin = screen()->geometry().topLeft();
        QImage image(device, QImage::Format_RGB32);
        for (int y = 0; y < device.height(); ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < device.width(); ++x) {
                line[x] = patternAt(origin.x() + x, origin.y() + y);
            }
        }
        image.setDevicePixelRatio(ratio);
        QPainter(this).drawImage(0, 0, image);
        paintedSize = device;
    }

private:
    QSize paintedSize;
};
} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    std::vector<std::unique_ptr<PatternWindow>> windows;
    for (QScreen *screen : QGuiApplication::screens()) {
        windows.push_back(std::make_unique<PatternWindow>(screen));
        windows.back()->showFullScreen();
    }
    // Paints come with the compositor's configure events; the first ones may
    // be of a size before full screen.
    QTimer ready;
    QObject::connect(&ready, &QTimer::timeout, [&] {
        for (const auto &window : windows) {
            if (!window->painted()) {
                return;
            }
        }
        ready.stop();
        QTextStream(stdout) << "ready" << Qt::endl;
    });
    ready.start(50);
    return app.exec();
}
