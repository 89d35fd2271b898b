#include "SolidWindow.h"
#include "VellCaptureWidget.h"
#include "VellSelectionWidget.h"
#include "XdoPointer.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <QtTest>

#include <memory>
#include <vector>

namespace {
// The colour every device pixel of the desktop shows: its own coordinates.
QRgb patternAt(const QPoint &device)
{
    return qRgb(device.x() % 256, device.y() % 256, device.x() / 256 + 16 * (device.y() / 256));
}

// One monitor as xrandr places it, in device pixels of the X root window.
struct Output
{
    QString name;
    QRect device;
};

// Where the two monitors lie and which is primary.
struct Arrangement
{
    QString name;
    Output left;
    Output right;
    bool primaryRight = false;

    bool operator==(const Arrangement &other) const { return name == other.name; }
    std::vector<Output> outputs() const { return {left, right}; }
    QRect bounds() const { return left.device | right.device; }
};
} // namespace
Q_DECLARE_METATYPE(Arrangement)

namespace {
Arrangement sideBySide(bool primaryRight)
{
    return {primaryRight ? QStringLiteral("primary right") : QStringLiteral("primary left"),
        {QStringLiteral("DUMMY0"), QRect(0, 0, 1920, 1080)},
        {QStringLiteral("DUMMY1"), QRect(1920, 0, 1920, 1080)}, primaryRight};
}

// A smaller monitor on the right, lower than the left one.
Arrangement differentSizes()
{
    return {QStringLiteral("different sizes, offset vertically"),
        {QStringLiteral("DUMMY0"), QRect(0, 0, 1920, 1080)},
        {QStringLiteral("DUMMY1"), QRect(1920, 300, 1280, 1024)}, false};
}

QString modeOf(const QRect &device)
{
    return QStringLiteral("%1x%2").arg(device.width()).arg(device.height());
}

bool runXrandr(const QStringList &arguments)
{
    QProcess xrandr;
    xrandr.start(QStringLiteral("xrandr"), arguments);
    return xrandr.waitForFinished(10000) && xrandr.exitStatus() == QProcess::NormalExit
        && xrandr.exitCode() == 0;
}

// The device pixel ratio each output has under this run's scale settings,
// given by position ("1;2") or by name ("DUMMY0=1;DUMMY1=2"); the server
// starts with DUMMY0 primary, so it is the first in Qt's list.
qreal expectedRatio(const QString &output)
{
    qreal ratio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
        ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
        : 1.0;
    const QStringList factors = qEnvironmentVariable("QT_SCREEN_SCALE_FACTORS")
                                    .split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (int i = 0; i < factors.size(); ++i) {
        const QStringList named = factors.at(i).split(QLatin1Char('='));
        const bool applies = named.size() == 2 ? named.first() == output
                                               : i == (output == QLatin1String("DUMMY0") ? 0 : 1);
        if (applies) {
            ratio *= named.last().toDouble();
        }
    }
    return ratio;
}

QScreen *screenNamed(const QString &name)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen->name() == name) {
            return screen;
        }
    }
    return nullptr;
}

// The device pixels a part of a screen's logical geometry covers.
QRect deviceRectOf(QScreen *screen, const QRect &logical)
{
    const QPoint origin = screen->geometry().topLeft();
    const qreal ratio = screen->devicePixelRatio();
    return QRect(origin + (logical.topLeft() - origin) * ratio, logical.size() * ratio);
}

// The pattern over a rectangle of device pixels.
QImage patternOf(const QRect &device)
{
    QImage picture(device.size(), QImage::Format_RGB32);
    for (int y = 0; y < device.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < device.width(); ++x) {
            line[x] = patternAt(device.topLeft() + QPoint(x, y));
        }
    }
    return picture;
}

// Places a top-level widget on a monitor: the monitor first, so that the
// logical geometry maps to device pixels by that monitor's ratio.
void placeOn(QWidget &widget, QScreen *screen, const QRect &logical)
{
    widget.winId();
    widget.windowHandle()->setScreen(screen);
    widget.setGeometry(logical);
}

// A frameless window showing the coordinate pattern of the device pixels it
// covers, one to one.
class PatternWindow : public QWidget
{
public:
    PatternWindow(QScreen *screen, const QRect &logical)
        : QWidget(nullptr, Qt::FramelessWindowHint)
    {
        picture = patternOf(deviceRectOf(screen, logical));
        picture.setDevicePixelRatio(screen->devicePixelRatio());
        setAttribute(Qt::WA_OpaquePaintEvent);
        placeOn(*this, screen, logical);
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).drawImage(0, 0, picture); }

private:
    QImage picture;
};

QImage plainRgb(const QImage &image)
{
    QImage converted = image.convertToFormat(QImage::Format_RGB32);
    converted.setDevicePixelRatio(1);
    return converted;
}

// Where `image` differs from what the desktop of `arrangement` shows over
// `device`: the pattern on every monitor, black where no monitor is.
QString firstMismatch(const QImage &image, const QRect &device, const Arrangement &arrangement)
{
    if (image.size() != device.size()) {
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(image.width())
            .arg(image.height())
            .arg(device.width())
            .arg(device.height());
    }
    const QImage rgb = plainRgb(image);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QPoint at = device.topLeft() + QPoint(x, y);
            const bool shown
                = arrangement.left.device.contains(at) || arrangement.right.device.contains(at);
            const QRgb expected = shown ? patternAt(at) : qRgb(0, 0, 0);
            if ((line[x] | 0xff000000) != expected) {
                return QStringLiteral("pixel (%1, %2) of the desktop is %3, expected %4")
                    .arg(at.x())
                    .arg(at.y())
                    .arg(line[x] & 0xffffff, 6, 16, QLatin1Char('0'))
                    .arg(expected & 0xffffff, 6, 16, QLatin1Char('0'));
            }
        }
    }
    return QString();
}

// The ratio a region must carry: that of the monitors it spans when they
// share one, otherwise 1.
qreal regionRatio(const QRect &device, const Arrangement &arrangement)
{
    qreal shared = 0;
    for (const Output &output : arrangement.outputs()) {
        if (output.device.intersects(device)) {
            const qreal ratio = expectedRatio(output.name);
            if (shared != 0 && !qFuzzyCompare(shared, ratio)) {
                return 1;
            }
            shared = ratio;
        }
    }
    return shared == 0 ? 1 : shared;
}

QImage grabMonitor(const Output &output)
{
    QScreen *screen = screenNamed(output.name);
    return screen ? plainRgb(screen->grabWindow(0).toImage()) : QImage();
}

int blackPixelsInRow(const QImage &image, int y)
{
    int count = 0;
    for (int x = 0; x < image.width(); ++x) {
        count += image.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
    }
    return count;
}

// Half-transparent green over a pattern pixel, as the selection is filled.
bool isGreenOver(QRgb pixel, QRgb below)
{
    const auto near = [](int a, int b) { return qAbs(a - b) <= 2; };
    return near(qRed(pixel), qRed(below) / 2) && near(qGreen(pixel), (qGreen(below) + 255) / 2)
        && near(qBlue(pixel), qBlue(below) / 2);
}
} // namespace

// The capture widget and the window picker on a desktop of two monitors
// (Xorg with the dummy driver, rearranged with xrandr between cases), driven
// with the real pointer; every pixel of each picture is checked against the
// coordinate pattern the desktop shows. Run once per scale setting.
class tst_TwoMonitors : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void dragCutsExactlyThePixelsUnderIt_data();
    void dragCutsExactlyThePixelsUnderIt();
    void overlayIsDrawnOnEveryMonitorItCrosses();
    void cancelOverTheSecondMonitor_data();
    void cancelOverTheSecondMonitor();
    void pickerTakesTheWindowOrMonitorUnderThePointer_data();
    void pickerTakesTheWindowOrMonitorUnderThePointer();

private:
    bool arrange(const Arrangement &arrangement);
    bool coverWithPattern(bool topHalvesOnly);
    bool desktopShowsThePattern() const;
    std::unique_ptr<VellCaptureWidget> startCapture();
    void saveScreenshots(const QString &name) const;

    Arrangement current;
    // Shown over every monitor of the current arrangement, whole or the
    // upper halves only.
    std::vector<std::unique_ptr<QWidget>> patternWindows;
    bool patternTopHalvesOnly = false;
    // What each monitor of the current arrangement shows when wholly covered.
    std::vector<QImage> monitorPatterns;
};

void tst_TwoMonitors::initTestCase()
{
    if (qEnvironmentVariableIsSet("VELL_TWO_MONITORS_UNAVAILABLE")) {
        QSKIP(qPrintable(QStringLiteral("no two-monitor X server: ")
            + qEnvironmentVariable("VELL_TWO_MONITORS_UNAVAILABLE")));
    }
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
        "run through run-on-two-monitors.sh");
    QCOMPARE(QGuiApplication::screens().size(), 2);
    QVERIFY(arrange(sideBySide(false)));
}

bool tst_TwoMonitors::arrange(const Arrangement &arrangement)
{
    if (current == arrangement) {
        return true;
    }
    patternWindows.clear();
    const Output &primary = arrangement.primaryRight ? arrangement.right : arrangement.left;
    for (const Output &output : arrangement.outputs()) {
        // Fails harmlessly when the output has the mode already.
        runXrandr({QStringLiteral("--addmode"), output.name, modeOf(output.device)});
    }
    QStringList arguments;
    for (const Output &output : arrangement.outputs()) {
        arguments << QStringLiteral("--output") << output.name << QStringLiteral("--mode")
                  << modeOf(output.device) << QStringLiteral("--pos")
                  << QStringLiteral("%1x%2").arg(output.device.x()).arg(output.device.y());
        if (output.name == primary.name) {
            arguments << QStringLiteral("--primary");
        }
    }
    if (!runXrandr(arguments)) {
        qWarning("xrandr refused %s", qPrintable(arguments.join(QLatin1Char(' '))));
        return false;
    }
    // Qt learns of the change through the event loop.
    const bool seen = QTest::qWaitFor([&arrangement, &primary] {
        for (const Output &output : arrangement.outputs()) {
            QScreen *screen = screenNamed(output.name);
            if (!screen || deviceRectOf(screen, screen->geometry()) != output.device) {
                return false;
            }
        }
        return QGuiApplication::primaryScreen()->name() == primary.name;
    });
    if (!seen) {
        qWarning("Qt did not take in the arrangement \"%s\"", qPrintable(arrangement.name));
        return false;
    }
    for (const Output &output : arrangement.outputs()) {
        if (!qFuzzyCompare(
                screenNamed(output.name)->devicePixelRatio(), expectedRatio(output.name))) {
            qWarning("%s has device pixel ratio %g, expected %g", qPrintable(output.name),
                screenNamed(output.name)->devicePixelRatio(), expectedRatio(output.name));
            return false;
        }
    }
    current = arrangement;
    monitorPatterns.clear();
    for (const Output &output : current.outputs()) {
        monitorPatterns.push_back(patternOf(output.device));
    }
    return true;
}

bool tst_TwoMonitors::coverWithPattern(bool topHalvesOnly)
{
    if (!patternWindows.empty() && patternTopHalvesOnly == topHalvesOnly) {
        return true;
    }
    patternWindows.clear();
    patternTopHalvesOnly = topHalvesOnly;
    for (const Output &output : current.outputs()) {
        QScreen *screen = screenNamed(output.name);
        QRect logical = screen->geometry();
        if (topHalvesOnly) {
            logical.setHeight(logical.height() / 2);
        }
        patternWindows.push_back(std::make_unique<PatternWindow>(screen, logical));
        patternWindows.back()->show();
        if (!QTest::qWaitForWindowExposed(patternWindows.back().get())) {
            return false;
        }
    }
    return true;
}

bool tst_TwoMonitors::desktopShowsThePattern() const
{
    const std::vector<Output> outputs = current.outputs();
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (grabMonitor(outputs[i]) != monitorPatterns[i]) {
            return false;
        }
    }
    return true;
}

std::unique_ptr<VellCaptureWidget> tst_TwoMonitors::startCapture()
{
    // The widget freezes the desktop as it is: wait until the pattern is
    // back on every monitor, repainted after the previous capture.
    if (!QTest::qWaitFor([this] { return desktopShowsThePattern(); })) {
        qWarning("the desktop does not show the pattern");
        return nullptr;
    }
    auto widget = std::make_unique<VellCaptureWidget>();
    if (!QTest::qWaitFor([&widget] { return widget->isVisible(); })
        || !QTest::qWaitForWindowExposed(widget.get())) {
        return nullptr;
    }
    QTest::qWait(50);
    return widget;
}

void tst_TwoMonitors::saveScreenshots(const QString &name) const
{
    const QString folder = qEnvironmentVariable("SNAPWIDGETS_SCREENSHOT_DIR");
    if (folder.isEmpty()) {
        return;
    }
    QDir().mkpath(folder);
    for (const Output &output : current.outputs()) {
        grabMonitor(output).save(
            QStringLiteral("%1/%2-%3.png").arg(folder, name, output.name), "PNG");
    }
}

void tst_TwoMonitors::dragCutsExactlyThePixelsUnderIt_data()
{
    // In device pixels of the X root window, where the pointer moves.
    QTest::addColumn<Arrangement>("arrangement");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");

    for (const Arrangement &arrangement : {sideBySide(false), sideBySide(true), differentSizes()}) {
        const QPoint left = arrangement.left.device.topLeft();
        const QPoint right = arrangement.right.device.topLeft();
        // A band that both monitors show, around the boundary.
        const int boundary = arrangement.right.device.left();
        const int y = std::max(arrangement.left.device.top(), arrangement.right.device.top()) + 100;
        const auto row = [&arrangement](const char *what) {
            return QByteArray(arrangement.name.toLatin1() + ": " + what);
        };
        QTest::newRow(row("inside the left monitor").constData())
            << arrangement << left + QPoint(100, 80) << left + QPoint(400, 180);
        QTest::newRow(row("inside the right monitor, upwards").constData())
            << arrangement << right + QPoint(460, 330) << right + QPoint(150, 120);
        QTest::newRow(row("across the boundary to the right").constData())
            << arrangement << QPoint(boundary - 120, y) << QPoint(boundary + 180, y + 100);
        QTest::newRow(row("across the boundary to the left").constData())
            << arrangement << QPoint(boundary + 180, y + 100) << QPoint(boundary - 120, y);
        QTest::newRow(row("the whole desktop").constData())
            << arrangement << arrangement.bounds().topLeft() << arrangement.bounds().bottomRight();
    }
}

void tst_TwoMonitors::dragCutsExactlyThePixelsUnderIt()
{
    QFETCH(Arrangement, arrangement);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);

    QVERIFY(arrange(arrangement));
    QVERIFY(coverWithPattern(false));
    auto widget = startCapture();
    QVERIFY(widget);
    QVERIFY(XdoPointer::moveTo(from));
    QVERIFY(XdoPointer::press(1));
    QVERIFY(XdoPointer::moveTo(to));
    QVERIFY(XdoPointer::release(1));
    QTRY_VERIFY(!widget->isVisible());

    std::unique_ptr<QImage> region(VellCaptureWidget::getSelectedRegion());
    QVERIFY(region);
    const QRect device = QRect(from, to).normalized();
    const QString mismatch = firstMismatch(*region, device, arrangement);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QCOMPARE(region->devicePixelRatio(), regionRatio(device, arrangement));
}

void tst_TwoMonitors::overlayIsDrawnOnEveryMonitorItCrosses()
{
    QVERIFY(arrange(sideBySide(false)));
    QVERIFY(coverWithPattern(false));
    auto widget = startCapture();
    QVERIFY(widget);
    const QPoint from(1700, 500);
    const QPoint to(2200, 700);
    QVERIFY(XdoPointer::moveTo(from));
    QVERIFY(XdoPointer::press(1));
    QVERIFY(XdoPointer::moveTo(to));

    // The cross-hair's row and the selection's top row run dashed over both
    // monitors; inside the selection both show the pattern under green.
    const Output &left = current.left;
    const Output &right = current.right;
    QImage leftShot;
    QImage rightShot;
    QTRY_VERIFY((leftShot = grabMonitor(left), rightShot = grabMonitor(right),
        blackPixelsInRow(rightShot, to.y()) > rightShot.width() / 4));
    saveScreenshots(QStringLiteral("drag-across"));
    for (const int y : {from.y(), to.y()}) {
        QVERIFY2(
            blackPixelsInRow(leftShot, y) > leftShot.width() / 4, qPrintable(QString::number(y)));
        QVERIFY2(
            blackPixelsInRow(rightShot, y) > rightShot.width() / 4, qPrintable(QString::number(y)));
    }
    const QPoint insideLeft(1800, 600);
    const QPoint insideRight(2100, 600);
    QVERIFY(isGreenOver(leftShot.pixel(insideLeft), patternAt(insideLeft)));
    QVERIFY(
        isGreenOver(rightShot.pixel(insideRight - right.device.topLeft()), patternAt(insideRight)));
    // Outside the selection and away from the lines the picture is untouched.
    const QPoint outside(2600, 900);
    QCOMPARE(rightShot.pixel(outside - right.device.topLeft()), patternAt(outside));

    QVERIFY(XdoPointer::release(1));
    QTRY_VERIFY(!widget->isVisible());
    delete VellCaptureWidget::getSelectedRegion();
}

void tst_TwoMonitors::cancelOverTheSecondMonitor_data()
{
    QTest::addColumn<XdoPointer::Cancel>("how");
    QTest::newRow("Escape") << XdoPointer::Cancel::Escape;
    QTest::newRow("right button in the middle of a drag")
        << XdoPointer::Cancel::RightButtonWhileDragging;
}

void tst_TwoMonitors::cancelOverTheSecondMonitor()
{
    QFETCH(XdoPointer::Cancel, how);

    QVERIFY(arrange(sideBySide(false)));
    QVERIFY(coverWithPattern(false));
    auto widget = startCapture();
    QVERIFY(widget);
    QVERIFY(XdoPointer::cancelCapture(
        how, QPoint(2500, 400), QPoint(2700, 600), [&] { return !widget->isVisible(); }));
    QCOMPARE(VellCaptureWidget::getSelectedRegion(), nullptr);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    // Nothing of the capture stays over the second monitor.
    QTRY_VERIFY(desktopShowsThePattern());
}

void tst_TwoMonitors::pickerTakesTheWindowOrMonitorUnderThePointer_data()
{
    QTest::addColumn<Arrangement>("arrangement");
    QTest::addColumn<bool>("rightMonitor");
    QTest::addColumn<bool>("overWindow");

    for (const Arrangement &arrangement : {sideBySide(false), sideBySide(true)}) {
        for (const bool rightMonitor : {false, true}) {
            for (const bool overWindow : {true, false}) {
                const QByteArray name = arrangement.name.toLatin1()
                    + (rightMonitor ? ": right monitor, " : ": left monitor, ")
                    + (overWindow ? "over a window" : "over the bare root");
                QTest::newRow(name.constData()) << arrangement << rightMonitor << overWindow;
            }
        }
    }
}

void tst_TwoMonitors::pickerTakesTheWindowOrMonitorUnderThePointer()
{
    QFETCH(Arrangement, arrangement);
    QFETCH(bool, rightMonitor);
    QFETCH(bool, overWindow);

    // The pattern covers the upper half of each monitor; the lower half is
    // the bare root window.
    QVERIFY(arrange(arrangement));
    QVERIFY(coverWithPattern(true));
    const Output &output = rightMonitor ? current.right : current.left;
    QScreen *screen = screenNamed(output.name);
    const QRect logical = screen->geometry();
    const QRect targetLogical(
        logical.topLeft() + QPoint(logical.width() / 4, logical.height() / 8), logical.size() / 4);
    const QRect targetDevice = deviceRectOf(screen, targetLogical);
    std::unique_ptr<SolidWindow> target;
    if (overWindow) {
        target = std::make_unique<SolidWindow>(QRect(), QColor(20, 160, 220));
        placeOn(*target, screen, targetLogical);
        target->show();
        QVERIFY(QTest::qWaitForWindowExposed(target.get()));
    }
    const QPoint releaseAt = overWindow ? targetDevice.center()
                                        : output.device.topLeft()
            + QPoint(output.device.width() / 2, output.device.height() * 3 / 4);

    VellSelectionWidget picker;
    QScreen *primary = QGuiApplication::primaryScreen();
    placeOn(picker, primary,
        QRect(primary->geometry().bottomLeft() + QPoint(60, -160), QSize(100, 100)));
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    QTest::qWait(100);
    QVERIFY(XdoPointer::moveTo(deviceRectOf(primary, picker.geometry()).center()));
    QVERIFY(XdoPointer::press(1));
    QVERIFY(XdoPointer::moveTo(releaseAt));
    QVERIFY(XdoPointer::release(1));
    QTRY_VERIFY(VellSelectionWidget::getSelectedRegion() != nullptr);
    std::unique_ptr<QImage> picture(VellSelectionWidget::getSelectedRegion());

    QCOMPARE(picture->devicePixelRatio(), expectedRatio(output.name));
    if (overWindow) {
        QCOMPARE(picture->size(), targetDevice.size());
        QVERIFY(target->isPictureOf(*picture));
    } else {
        // The whole monitor: the pattern of its upper half at its place.
        QCOMPARE(picture->size(), output.device.size());
        const QRect upper(
            output.device.topLeft(), QSize(output.device.width(), output.device.height() / 2 - 1));
        const QImage top = picture->copy(QRect(QPoint(), upper.size()));
        const QString mismatch = firstMismatch(top, upper, current);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }
}

QTEST_MAIN(tst_TwoMonitors)
#include "tst_twomonitors.moc"
