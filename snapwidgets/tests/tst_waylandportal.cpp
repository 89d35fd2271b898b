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
#include <QMouseEvent>
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

// The pointer position of the last mouse move that reached a widget, as
// its cross-hair follows it.
class PointerAsSeen : public QObject
{
public:
    explicit PointerAsSeen(QWidget *widget)
        : widget(widget)
    {
        qApp->installEventFilter(this);
    }
    QPoint last;

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        if (receiver == widget && event->type() == QEvent::MouseMove) {
            last = static_cast<QMouseEvent *>(event)->screenPos().toPoint();
        }
        return false;
    }

private:
    QWidget *widget;
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
// as text; empty when none does. `steps` tells by how much each channel of
// a pixel may be off.
int exact(const QPoint &)
{
    return 0;
}

template<typename Expected, typename Steps = int (*)(const QPoint &)>
QString mismatch(const QImage &image, const QSize &size, Expected want, Steps steps = exact)
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
            const int off = steps(QPoint(x, y));
            const bool close = qAbs(qRed(got) - qRed(wanted)) <= off
                && qAbs(qGreen(got) - qGreen(wanted)) <= off
                && qAbs(qBlue(got) - qBlue(wanted)) <= off;
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
    // By how much a channel of a device pixel of the frozen desktop may be
    // off: the portal holds a monitor of a smaller scale than the largest
    // only enlarged; undone, its outermost pixels may be a step off.
    int stepsOff(const QPoint &device) const;
    int stepsOff(const Output &output, const QPoint &device) const;

    // Sends one command to the virtual pointer and waits until the
    // compositor has handled it.
    bool pointer(const QString &command);
    // Waits until every pixel of every output is the pattern's. Also the
    // wait for the pointer to hide, which the compositor does once it has
    // rested for a while: the headless outputs draw it into their own
    // pixels, so that any picture of them (grim's, also without -c, and
    // the portal's) shows it until then.
    void onlyThePatternShows();

    QVector<Output> outputs;
    QProcess patternClient;
    QProcess virtualPointer;
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
    onlyThePatternShows();
    VellPortalScreenshot::setDeadline(10000);

    // The headless compositor has no input devices of its own.
    QRect bounds;
    for (const Output &output : outputs) {
        bounds |= output.layout;
    }
    QCOMPARE(bounds.topLeft(), QPoint());
    virtualPointer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    virtualPointer.start(QStringLiteral(VIRTUAL_POINTER),
        {QString::number(bounds.width()), QString::number(bounds.height())});
    QVERIFY(virtualPointer.waitForStarted());
    QVERIFY(virtualPointer.waitForReadyRead(10000));
    QCOMPARE(virtualPointer.readLine().trimmed(), QByteArray("ready"));
}

void TestWaylandPortal::onlyThePatternShows()
{
    for (const Output &output : outputs) {
        QString wrong;
        QTRY_VERIFY2_WITH_TIMEOUT((wrong = mismatch(grim(output.name), output.device,
                                       [&](const QPoint &at) { return output.shows(at); }))
                                      .isEmpty(),
            qPrintable(output.name + QStringLiteral(": ") + wrong), 10000);
    }
}

bool TestWaylandPortal::pointer(const QString &command)
{
    virtualPointer.write(command.toLatin1() + '\n');
    while (!virtualPointer.canReadLine()) {
        if (!virtualPointer.waitForReadyRead(10000)) {
            return false;
        }
    }
    return virtualPointer.readLine().trimmed() == "done";
}

void TestWaylandPortal::cleanupTestCase()
{
    for (QProcess *process : {&patternClient, &virtualPointer}) {
        process->kill();
        process->waitForFinished();
    }
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

int TestWaylandPortal::stepsOff(const QPoint &device) const
{
    int steps = 0;
    for (const Output &output : outputs) {
        steps = qMax(steps, stepsOff(output, device));
    }
    return steps;
}

int TestWaylandPortal::stepsOff(const Output &output, const QPoint &device) const
{
    const QRect own(output.deviceOrigin, output.device);
    if (!nativeWayland() || output.scale == largestScale() || !own.contains(device)) {
        return 0;
    }
    const bool edge = device.x() == own.left() || device.x() == own.right()
        || device.y() == own.top() || device.y() == own.bottom();
    return edge ? 1 : 0;
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
    onlyThePatternShows();
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
    onlyThePatternShows();
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
            QCOMPARE(
                mismatch(
                    picture, output->device, [&](const QPoint &at) { return output->shows(at); },
                    [&](const QPoint &at) { return stepsOff(*output, at + output->deviceOrigin); }),
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
    if (outputs.at(0).layout.y() != 0) {
        // Seen here: with the first output lower than the second, the
        // compositor places the virtual pointer's absolute positions by that
        // offset too high, so the drag would not be where it is meant to be.
        QSKIP("the virtual pointer cannot be placed on this arrangement");
    }
    const auto move = [&](const QPoint &at) {
        return pointer(QStringLiteral("move %1 %2").arg(at.x()).arg(at.y()));
    };
    QVERIFY(move(from));
    onlyThePatternShows();
    VellCaptureWidget widget;
    QCOMPARE(VellCaptureWidget::lastError(), QString());
    QTRY_VERIFY(widget.isVisible());
    // The covers are shown, full screen, and under the pointer.
    QTest::qWait(500);
    // As a user does, the button goes down and up once the cross-hair is
    // there: through Xwayland the X server may learn of moves made over
    // other windows only later, and then delivers them after a button.
    PointerAsSeen seen(&widget);
    QVERIFY(move(from + QPoint(1, 1)));
    QVERIFY(move(from));
    QTRY_COMPARE(seen.last, from);
    QVERIFY(pointer(QStringLiteral("press")));
    QVERIFY(move((from + to) / 2));
    QVERIFY(move(to));
    QTRY_COMPARE(seen.last, to);
    QVERIFY(pointer(QStringLiteral("release")));
    QTRY_VERIFY(!widget.isVisible());
    std::unique_ptr<QImage> region(VellCaptureWidget::getSelectedRegion());
    QVERIFY(region);
    const QRect device = QRect(deviceAt(from), deviceAt(to)).normalized();
    const QImage got = region->convertToFormat(QImage::Format_RGB32);
    QCOMPARE(mismatch(
                 got, device.size(),
                 [&](const QPoint &at) { return desktopShows(device.topLeft() + at); },
                 [&](const QPoint &at) { return stepsOff(device.topLeft() + at); }),
        QString());
}

// Escape from the keyboard ends the capture with no region.
void TestWaylandPortal::escapeCancels()
{
    if (!portal()) {
        QSKIP("no portal in this session");
    }
    // A virtual keyboard (wtype) joins the seat before the widget's windows
    // appear, so that they are entered by it, and types Escape once they
    // are shown.
    QProcess keyboard;
    keyboard.setProcessChannelMode(QProcess::ForwardedChannels);
    keyboard.start(QStringLiteral("wtype"), {"-s", "4000", "-k", "Escape"});
    QVERIFY(keyboard.waitForStarted());
    QTest::qWait(500);
    VellCaptureWidget widget;
    QTRY_VERIFY(widget.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(keyboard.state() == QProcess::NotRunning, 10000);
    QCOMPARE(keyboard.exitCode(), 0);
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
