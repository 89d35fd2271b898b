// The capture widgets on a real Wayland desktop: headless sway with pipewire
// and the screenshot portal (run-in-wayland.sh), our own client showing the
// coordinate pattern on every output, the compositor's own screenshots
// (grim) as the reference, and the pointer and keyboard driven through the
// compositor. The same program runs natively and through Xwayland, at the
// output arrangement the session was started with.
#include "VellCaptureWidget.h"
#include "VellFrozenDesktop.h"
#include "VellPortalScreenshot.h"
#include "VellSelectionWidget.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

#include <csignal>
#include <memory>

namespace {
QRgb patternAt(int x, int y)
{
    return qRgb(x % 256, y % 256, (x / 256 + 16 * (y / 256)) % 256);
}

// One output as the compositor reports it.
struct Output
{
    QString name;
    QRect layout;
    qreal scale = 1;
    QSize device;
    // Where the output's device pixels lie among the desktop's: the layout
    // position, pushed right (down) by the extra device pixels of outputs
    // wholly left of (above) it.
    QPoint deviceOrigin;

    // What the pattern client shows at one of its device pixels.
    QRgb shows(const QPoint &own) const
    {
        return patternAt(layout.x() + own.x(), layout.y() + own.y());
    }
};

QByteArray run(const QString &program, const QStringList &arguments, QString *failure = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        if (failure) {
            *failure = QStringLiteral("%1 %2 failed: %3")
                           .arg(program, arguments.join(QLatin1Char(' ')),
                               QString::fromLocal8Bit(process.readAllStandardError()));
        }
        return QByteArray();
    }
    return process.readAllStandardOutput();
}

QVector<Output> compositorOutputs()
{
    QVector<Output> outputs;
    const QJsonArray list
        = QJsonDocument::fromJson(run(QStringLiteral("swaymsg"), {"-r", "-t", "get_outputs"}))
              .array();
    for (const QJsonValue &value : list) {
        const QJsonObject object = value.toObject();
        const QJsonObject rect = object.value(QLatin1String("rect")).toObject();
        const QJsonObject mode = object.value(QLatin1String("current_mode")).toObject();
        Output output;
        output.name = object.value(QLatin1String("name")).toString();
        output.layout = QRect(rect.value(QLatin1String("x")).toInt(),
            rect.value(QLatin1String("y")).toInt(), rect.value(QLatin1String("width")).toInt(),
            rect.value(QLatin1String("height")).toInt());
        output.scale = object.value(QLatin1String("scale")).toDouble();
        output.device = QSize(mode.value(QLatin1String("width")).toInt(),
            mode.value(QLatin1String("height")).toInt());
        outputs.append(output);
    }
    for (Output &output : outputs) {
        output.deviceOrigin = output.layout.topLeft();
        for (const Output &other : outputs) {
            if (other.layout.x() + other.layout.width() <= output.layout.x()) {
                output.deviceOrigin.rx() += other.device.width() - other.layout.width();
            }
            if (other.layout.y() + other.layout.height() <= output.layout.y()) {
                output.deviceOrigin.ry() += other.device.height() - other.layout.height();
            }
        }
    }
    return outputs;
}

// The compositor's own picture of one output, or of the whole desktop.
QImage grim(const QString &output = QString())
{
    QStringList arguments;
    if (!output.isEmpty()) {
        arguments << QStringLiteral("-o") << output;
    }
    arguments << QStringLiteral("-t") << QStringLiteral("ppm") << QStringLiteral("-");
    return QImage::fromData(run(QStringLiteral("grim"), arguments))
        .convertToFormat(QImage::Format_RGB32);
}

// How many pixels of `image` differ from `want` and the first few of them,
// as text; empty when none does. On the outermost rows and columns a colour
// may be off by `edgeSteps` in each channel.
template<typename Expected>
QString mismatch(const QImage &image, const QSize &size, Expected want, int edgeSteps = 0)
{
    if (image.size() != size) {
        return QStringLiteral("size %1x%2, wanted %3x%4")
            .arg(image.width())
            .arg(image.height())
            .arg(size.width())
            .arg(size.height());
    }
    int wrong = 0;
    QString first;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb got = image.pixel(x, y) | 0xff000000u;
            const QRgb wanted = want(QPoint(x, y));
            const bool edge = x == 0 || y == 0 || x == size.width() - 1 || y == size.height() - 1;
            const int steps = edge ? edgeSteps : 0;
            const bool close = qAbs(qRed(got) - qRed(wanted)) <= steps
                && qAbs(qGreen(got) - qGreen(wanted)) <= steps
                && qAbs(qBlue(got) - qBlue(wanted)) <= steps;
            if (!close && ++wrong <= 5) {
                first += QStringLiteral(" %1,%2 is %3, wanted %4;")
                             .arg(x)
                             .arg(y)
                             .arg(got, 8, 16)
                             .arg(wanted, 8, 16);
            }
        }
    }
    return wrong == 0 ? QString() : QStringLiteral("%1 pixels differ:%2").arg(wrong).arg(first);
}

QString pictureMismatch(const QImage &image, const QImage &want)
{
    const QImage wanted = want.convertToFormat(QImage::Format_RGB32);
    return mismatch(image, want.size(), [&](const QPoint &at) { return wanted.pixel(at); });
}

void sway(const QString &command)
{
    QString failure;
    run(QStringLiteral("swaymsg"), {command}, &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

bool nativeWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
} // namespace

class TestWaylandPortal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void portalPictureIsTheCompositors();
    void frozenMonitorsAreTheOutputs();
    void dragGivesTheRegion_data();
    void dragGivesTheRegion();
    void escapeCancels();
    void windowPickerSaysWhy();
    void portalThatNeverAnswers();
    void noPortalOnTheBus();

private:
    bool portal() const { return qgetenv("VELL_WAYLAND_PORTAL") != "no"; }
    // The output a screen of Qt's shows.
    const Output *outputOf(const QScreen *screen) const;
    // The device pixel of the desktop at a position in layout coordinates.
    QPoint deviceAt(const QPoint &layout) const;
    QRgb desktopShows(const QPoint &device) const;
    qreal largestScale() const;

    QVector<Output> outputs;
    QProcess patternClient;
};

void TestWaylandPortal::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("SWAYSOCK")) {
        QSKIP("not in a sway session: run through run-in-wayland.sh");
    }
    outputs = compositorOutputs();
    QVERIFY(!outputs.isEmpty());
    QCOMPARE(QGuiApplication::screens().size(), outputs.size());
    if (!portal()) {
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    patternClient.setProcessEnvironment(environment);
    patternClient.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    patternClient.start(QStringLiteral(WAYLAND_PATTERN), QStringList());
    QVERIFY(patternClient.waitForStarted());
    QByteArray said;
    QTRY_VERIFY2_WITH_TIMEOUT((said += patternClient.readAllStandardOutput()).contains("ready"),
        qPrintable(QStringLiteral("the pattern client said \"%1\", state %2")
                       .arg(QString::fromLocal8Bit(said))
                       .arg(patternClient.state())),
        10000);
    // The compositor shows the pattern, every pixel of every output.
    for (const Output &output : outputs) {
        QString wrong;
        QTRY_VERIFY2_WITH_TIMEOUT((wrong = mismatch(grim(output.name), output.device,
                                       [&](const QPoint &at) { return output.shows(at); }))
                                      .isEmpty(),
            qPrintable(output.name + QStringLiteral(": ") + wrong), 10000);
    }
    VellPortalScreenshot::setDeadline(10000);
}

void TestWaylandPortal::cleanupTestCase()
{
    patternClient.kill();
    patternClient.waitForFinished();
}

const Output *TestWaylandPortal::outputOf(const QScreen *screen) const
{
    for (const Output &output : outputs) {
        if (output.layout == screen->geometry()) {
            return &output;
        }
    }
    return nullptr;
}

QPoint TestWaylandPortal::deviceAt(const QPoint &layout) const
{
    for (const Output &output : outputs) {
        if (output.layout.contains(layout)) {
            return output.deviceOrigin + ((layout - output.layout.topLeft()) * output.scale);
        }
    }
    return layout;
}

QRgb TestWaylandPortal::desktopShows(const QPoint &device) const
{
    for (const Output &output : outputs) {
        const QRect own(output.deviceOrigin, output.device);
        if (own.contains(device)) {
            return output.shows(device - own.topLeft());
        }
    }
    return qRgb(0, 0, 0);
}

qreal TestWaylandPortal::largestScale() const
{
    qreal largest = 0;
    for (const Output &output : outputs) {
        largest = qMax(largest, output.scale);
    }
    return largest;
}

// The portal's picture is the compositor's picture of the whole desktop: the
// layout at the largest scale. Where scales differ, a monitor of a smaller
// scale is enlarged there, and grim and the portal round that enlargement
// differently: only the monitors at the largest scale are compared there.
void TestWaylandPortal::portalPictureIsTheCompositors()
{
    if (!portal()) {
        QSKIP("no portal in this session");
    }
    QString error;
    const QImage picture
        = VellPortalScreenshot::take(false, &error).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(error, QString());
    const qreal largest = largestScale();
    QRect bounds;
    for (const Output &output : outputs) {
        bounds |= output.layout;
    }
    QCOMPARE(picture.size(), bounds.size() * largest);
    bool uniform = true;
    for (const Output &output : outputs) {
        uniform = uniform && output.scale == largest;
        if (output.scale == largest) {
            const QRect part((output.layout.topLeft() - bounds.topLeft()) * largest, output.device);
            QCOMPARE(pictureMismatch(picture.copy(part), grim(output.name)), QString());
        }
    }
    if (uniform) {
        QCOMPARE(pictureMismatch(picture, grim()), QString());
    }
}

// Every monitor's frozen picture is its output's own picture, in its own
// device pixels.
void TestWaylandPortal::frozenMonitorsAreTheOutputs()
{
    if (!portal()) {
        QSKIP("no portal in this session");
    }
    QString error;
    const VellFrozenDesktop desktop = VellFrozenDesktop::grab(&error);
    QCOMPARE(error, QString());
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(desktop.layout().screens().size(), screens.size());
    for (int i = 0; i < screens.size(); ++i) {
        const Output *output = outputOf(screens.at(i));
        QVERIFY2(output, qPrintable(screens.at(i)->name()));
        const QImage picture = desktop.picture(i).toImage().convertToFormat(QImage::Format_RGB32);
        if (nativeWayland()) {
            // The portal holds a monitor of a smaller scale than the largest
            // only enlarged; undone, its outermost pixels may be a step off.
            const int edgeSteps = output->scale < largestScale() ? 1 : 0;
            QCOMPARE(mismatch(
                         picture, output->device,
                         [&](const QPoint &at) { return output->shows(at); }, edgeSteps),
                QString());
        } else {
            // Through Xwayland a monitor's pixels are the layout's.
            QCOMPARE(picture.size(), output->layout.size());
            if (output->scale == 1) {
                QCOMPARE(pictureMismatch(picture, grim(output->name)), QString());
            }
        }
    }
}

void TestWaylandPortal::dragGivesTheRegion_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::newRow("within the first") << QPoint(10, 20) << QPoint(300, 200);
    QTest::newRow("backwards to the corner") << QPoint(700, 500) << QPoint(0, 0);
    if (outputs.size() > 1) {
        const QRect second = outputs.at(1).layout;
        QTest::newRow("across the boundary") << QPoint(second.x() - 100,
            second.y() + 20) << second.topLeft() + QPoint(second.width() / 2, second.height() / 2);
        QTest::newRow("on the second, up to its corner")
            << second.topLeft() + QPoint(5, 7) << second.bottomRight();
    }
}

// A drag of the real pointer gives exactly the device pixels between its
// ends, whichever monitors they lie on.
void TestWaylandPortal::dragGivesTheRegion()
{
    if (!portal()) {
        QSKIP("no portal in this session");
    }
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    sway(QStringLiteral("seat - cursor set %1 %2").arg(from.x()).arg(from.y()));
    VellCaptureWidget widget;
    QCOMPARE(VellCaptureWidget::lastError(), QString());
    QTRY_VERIFY(widget.isVisible());
    // The covers are shown, full screen, and under the pointer.
    QTest::qWait(500);
    sway(QStringLiteral("seat - cursor set %1 %2").arg(from.x()).arg(from.y()));
    sway(QStringLiteral("seat - cursor press button1"));
    sway(QStringLiteral("seat - cursor set %1 %2")
             .arg((from.x() + to.x()) / 2)
             .arg((from.y() + to.y()) / 2));
    sway(QStringLiteral("seat - cursor set %1 %2").arg(to.x()).arg(to.y()));
    sway(QStringLiteral("seat - cursor release button1"));
    QTRY_VERIFY(!widget.isVisible());
    std::unique_ptr<QImage> region(VellCaptureWidget::getSelectedRegion());
    QVERIFY(region);
    const QRect device = QRect(deviceAt(from), deviceAt(to)).normalized();
    const QImage got = region->convertToFormat(QImage::Format_RGB32);
    QCOMPARE(mismatch(got, device.size(),
                 [&](const QPoint &at) { return desktopShows(device.topLeft() + at); }),
        QString());
}

// Escape from the keyboard ends the capture with no region.
void TestWaylandPortal::escapeCancels()
{
    if (!portal()) {
        QSKIP("no portal in this session");
    }
    VellCaptureWidget widget;
    QTRY_VERIFY(widget.isVisible());
    QTest::qWait(500);
    QString failure;
    run(QStringLiteral("wtype"), {"-k", "Escape"}, &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QTRY_VERIFY(!widget.isVisible());
    QCOMPARE(VellCaptureWidget::getSelectedRegion(), nullptr);
}

// The wlr back-end has no interactive screenshot: the window picker ends
// with no picture and says why.
void TestWaylandPortal::windowPickerSaysWhy()
{
    if (!portal()) {
        QSKIP("no portal in this session");
    }
    VellSelectionWidget picker;
    picker.resize(40, 40);
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(".")));
    QTest::mousePress(&picker, Qt::LeftButton);
    QTest::mouseRelease(&picker, Qt::LeftButton);
    QCOMPARE(VellSelectionWidget::getSelectedRegion(), nullptr);
    QVERIFY(!VellSelectionWidget::lastError().isEmpty());
    qInfo("the window picker: %s", qUtf8Printable(VellSelectionWidget::lastError()));
}

// A portal process that is stopped takes calls and never answers: the
// capture ends at the deadline with no picture.
void TestWaylandPortal::portalThatNeverAnswers()
{
    if (!portal()) {
        QSKIP("no portal in this session");
    }
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    const uint pid = bus->servicePid(QStringLiteral("org.freedesktop.portal.Desktop")).value();
    QVERIFY(pid > 0);
    QCOMPARE(::kill(pid_t(pid), SIGSTOP), 0);
    VellPortalScreenshot::setDeadline(1500);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("did not answer")));
    VellCaptureWidget widget;
    ::kill(pid_t(pid), SIGCONT);
    VellPortalScreenshot::setDeadline(10000);
    QVERIFY2(VellCaptureWidget::lastError().contains(QLatin1String("did not answer")),
        qPrintable(VellCaptureWidget::lastError()));
    QTRY_VERIFY(!widget.isVisible());
    QCOMPARE(VellCaptureWidget::getSelectedRegion(), nullptr);
}

void TestWaylandPortal::noPortalOnTheBus()
{
    if (portal()) {
        QSKIP("the portal runs in this session");
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no screenshot portal")));
    VellCaptureWidget widget;
    QVERIFY2(VellCaptureWidget::lastError().contains(QLatin1String("no screenshot portal")),
        qPrintable(VellCaptureWidget::lastError()));
    QTRY_VERIFY(!widget.isVisible());
    QCOMPARE(VellCaptureWidget::getSelectedRegion(), nullptr);
}

QTEST_MAIN(TestWaylandPortal)
#include "tst_waylandportal.moc"
