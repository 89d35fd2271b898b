// The capture through the screenshot portal against a fake portal on the
// test's own session bus (run under dbus-run-session): the picture cut per
// monitor pixel by pixel, the portal's file removed only from its own
// folder, and every failure ending with no picture and a reason.
#include "VellCaptureWidget.h"
#include "VellFrozenDesktop.h"
#include "VellPortalScreenshot.h"
#include "VellSelectionWidget.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");

// The colour of each pixel encodes its own coordinates.
QRgb patternAt(int x, int y)
{
    return qRgb(x % 256, y % 256, (x / 256 + 16 * (y / 256)) % 256);
}

QImage pattern(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, patternAt(x, y));
        }
    }
    return image;
}

// The first pixel of `image` that is not the pattern at `origin` + its own
// position, as text; empty when every pixel is right.
QString patternMismatch(const QImage &image, const QPoint &origin)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb want = patternAt(origin.x() + x, origin.y() + y);
            const QRgb got = image.pixel(x, y) | 0xff000000u;
            if (got != want) {
                return QStringLiteral("pixel %1,%2 is %3, wanted %4")
                    .arg(x)
                    .arg(y)
                    .arg(got, 8, 16)
                    .arg(want, 8, 16);
            }
        }
    }
    return QString();
}
} // namespace

// Answers Screenshot calls as the portal does, on a connection of its own.
class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public:
    enum class Mode { Answer, Refuse, Silent };

    FakePortal()
        : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake")))
    {
        bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
            QDBusConnection::ExportAllSlots);
        registered = bus.registerService(portalService);
    }
    ~FakePortal() override
    {
        bus.unregisterService(portalService);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
    }

    bool registered = false;
    Mode mode = Mode::Answer;
    QString file;
    QVariantMap lastOptions;

public Q_SLOTS:
    QDBusObjectPath Screenshot(
        const QString &, const QVariantMap &options, const QDBusMessage &call)
    {
        lastOptions = options;
        QString sender = call.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path
            = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                  .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        if (mode != Mode::Silent) {
            QDBusMessage response = QDBusMessage::createSignal(
                path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            response << uint(mode == Mode::Answer ? 0 : 1)
                     << QVariantMap {{QStringLiteral("uri"), QUrl::fromLocalFile(file).toString()}};
            bus.send(response);
        }
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection bus;
};

class TestPortal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cutsPerMonitor_data();
    void cutsPerMonitor();
    void mixedScalesSideBySide();
    void frozenDesktopFromPortal_data();
    void frozenDesktopFromPortal();
    void failuresGiveNoPicture_data();
    void failuresGiveNoPicture();
    void noPortalOnTheBus();
    void windowPickerAsksInteractively();

private:
    QTemporaryDir runtime;
};

void TestPortal::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected()) {
        QSKIP("no session bus: run under dbus-run-session");
    }
    QVERIFY(VellPortalScreenshot::isWaylandSession());
    QVERIFY(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    VellPortalScreenshot::setDeadline(300);
}

void TestPortal::cutsPerMonitor_data()
{
    QTest::addColumn<QVector<QRect>>("logical");
    QTest::addColumn<QVector<qreal>>("ratios");
    QTest::addColumn<QSize>("whole");

    QTest::newRow("one") << QVector<QRect> {{0, 0, 1280, 720}} << QVector<qreal> {1}
                         << QSize(1280, 720);
    QTest::newRow("side by side") << QVector<QRect> {{0, 0, 1280, 720}, {1280, 0, 1280, 720}}
                                  << QVector<qreal> {1, 1} << QSize(2560, 720);
    QTest::newRow("offset") << QVector<QRect> {{0, 200, 1280, 720}, {1280, 0, 640, 480}}
                            << QVector<qreal> {1, 1} << QSize(1920, 920);
    QTest::newRow("both at 2") << QVector<QRect> {{0, 0, 640, 360}, {640, 0, 640, 360}}
                               << QVector<qreal> {2, 2} << QSize(2560, 720);
}

// Each monitor's picture is its own part of the whole, pixel for pixel.
void TestPortal::cutsPerMonitor()
{
    QFETCH(QVector<QRect>, logical);
    QFETCH(QVector<qreal>, ratios);
    QFETCH(QSize, whole);
    QVector<VellDesktopLayout::Screen> screens;
    for (int i = 0; i < logical.size(); ++i) {
        screens.append({logical.at(i), QRect(), ratios.at(i)});
    }
    const VellFrozenDesktop desktop = VellFrozenDesktop::ofDesktopPicture(pattern(whole), screens);
    QCOMPARE(desktop.layout().screens().size(), logical.size());
    for (int i = 0; i < logical.size(); ++i) {
        const QPixmap &picture = desktop.picture(i);
        QCOMPARE(picture.devicePixelRatio(), ratios.at(i));
        QCOMPARE(picture.size(), logical.at(i).size() * ratios.at(i));
        const QPoint origin = logical.at(i).topLeft() * ratios.at(i);
        QCOMPARE(patternMismatch(picture.toImage(), origin), QString());
        // A region across the whole monitor comes out the same.
        const QImage region = desktop.copy(desktop.layout().screens().at(i).device);
        QCOMPARE(patternMismatch(region, origin), QString());
    }
}

// At mixed scales the picture is the layout at the largest scale, the
// smaller-scale monitor enlarged (here by repeating each pixel). Each monitor
// gets its own device pixels back, and they lie side by side in device
// pixels: a region across the boundary has no gap.
void TestPortal::mixedScalesSideBySide()
{
    const QImage first = pattern(QSize(1280, 720));
    QImage second = pattern(QSize(640, 360));
    second.invertPixels();
    QImage whole(3200, 1440, QImage::Format_RGB32);
    whole.fill(Qt::black);
    {
        QPainter painter(&whole);
        painter.drawImage(0, 0, first.scaled(2560, 1440));
        painter.drawImage(2560, 0, second);
    }
    second.setDevicePixelRatio(2);
    const VellFrozenDesktop desktop = VellFrozenDesktop::ofDesktopPicture(
        whole, {{QRect(0, 0, 1280, 720), QRect(), 1}, {QRect(1280, 0, 320, 180), QRect(), 2}});
    QCOMPARE(desktop.layout().screens().at(0).device, QRect(0, 0, 1280, 720));
    QCOMPARE(desktop.layout().screens().at(1).device, QRect(1280, 0, 640, 360));
    QCOMPARE(desktop.picture(0).toImage().convertToFormat(QImage::Format_RGB32), first);
    QCOMPARE(desktop.picture(1).toImage().convertToFormat(QImage::Format_RGB32), second);
    const QImage region = desktop.copy(QRect(1270, 5, 20, 10));
    QCOMPARE(region.copy(0, 0, 10, 10), first.copy(1270, 5, 10, 10));
    QImage secondPart = second.copy(0, 5, 10, 10);
    secondPart.setDevicePixelRatio(1);
    QCOMPARE(region.copy(10, 0, 10, 10), secondPart);
}

void TestPortal::frozenDesktopFromPortal_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    // The portal's own folder in the runtime directory, and elsewhere (the
    // user's pictures), where the file is not ours to delete.
    QTest::newRow("portal folder")
        << QStringLiteral("runtime") << true << QPoint(10, 20) << QPoint(300, 200);
    QTest::newRow("elsewhere, up to the corner")
        << QStringLiteral("other") << false << QPoint(799, 599) << QPoint(500, 1);
}

// The monitor of the offscreen platform gets the portal's picture exactly,
// and the drag of the widget cuts the region from it.
void TestPortal::frozenDesktopFromPortal()
{
    QFETCH(QString, folder);
    QFETCH(bool, removed);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    FakePortal portal;
    QVERIFY(portal.registered);
    QTemporaryDir other;
    const QString dir = (folder == QLatin1String("runtime") ? runtime.path() : other.path())
        + QStringLiteral("/shot");
    QVERIFY(QDir().mkpath(dir));
    portal.file = dir + QStringLiteral("/screenshot.png");
    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(pattern(screen->geometry().size()).save(portal.file));

    QString error;
    const VellFrozenDesktop desktop = VellFrozenDesktop::grab(&error);
    QCOMPARE(error, QString());
    QCOMPARE(portal.lastOptions.value(QStringLiteral("interactive")).toBool(), false);
    QCOMPARE(desktop.layout().screens().size(), 1);
    QCOMPARE(patternMismatch(desktop.picture(0).toImage(), QPoint()), QString());
    QCOMPARE(QFile::exists(portal.file), !removed);

    // The widget: a drag gives exactly the pixels between its ends.
    QVERIFY(pattern(screen->geometry().size()).save(portal.file));
    VellCaptureWidget widget;
    QCOMPARE(VellCaptureWidget::lastError(), QString());
    QTRY_VERIFY(widget.isVisible());
    QTest::mousePress(&widget, Qt::LeftButton, {}, from);
    QTest::mouseMove(&widget, to);
    QTest::mouseRelease(&widget, Qt::LeftButton, {}, to);
    std::unique_ptr<QImage> region(VellCaptureWidget::getSelectedRegion());
    QVERIFY(region);
    const QRect dragged = QRect(from, to).normalized();
    QCOMPARE(region->size(), dragged.size());
    QCOMPARE(patternMismatch(*region, dragged.topLeft()), QString());
}

void TestPortal::failuresGiveNoPicture_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("reason");
    QTest::newRow("refused") << int(FakePortal::Mode::Refuse) << true
                             << QStringLiteral("not permitted");
    QTest::newRow("never answers")
        << int(FakePortal::Mode::Silent) << true << QStringLiteral("did not answer");
    QTest::newRow("unreadable file")
        << int(FakePortal::Mode::Answer) << false << QStringLiteral("cannot read");
}

// No black picture: the widget closes at once, the region is null, the
// reason is given and logged once, and nothing waits past the deadline.
void TestPortal::failuresGiveNoPicture()
{
    QFETCH(int, mode);
    QFETCH(bool, readable);
    QFETCH(QString, reason);
    FakePortal portal;
    QVERIFY(portal.registered);
    portal.mode = FakePortal::Mode(mode);
    portal.file = runtime.path() + QStringLiteral("/broken.png");
    if (!readable) {
        QFile broken(portal.file);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a picture");
    }
    QTest::ignoreMessage(QtWarningMsg,
        QRegularExpression(
            QStringLiteral("no picture of the desktop: .*") + QRegularExpression::escape(reason)));
    QElapsedTimer clock;
    clock.start();
    VellCaptureWidget widget;
    QVERIFY(clock.elapsed() < VellPortalScreenshot::deadline() + 2000);
    QVERIFY2(VellCaptureWidget::lastError().contains(reason),
        qPrintable(VellCaptureWidget::lastError()));
    widget.show();
    QTRY_VERIFY(!widget.isVisible());
    QTest::qWait(300);
    QVERIFY(!widget.isVisible());
    QCOMPARE(VellCaptureWidget::getSelectedRegion(), nullptr);
}

void TestPortal::noPortalOnTheBus()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no screenshot portal")));
    VellCaptureWidget widget;
    QVERIFY(VellCaptureWidget::lastError().contains(QLatin1String("no screenshot portal")));
    QTRY_VERIFY(!widget.isVisible());
    QCOMPARE(VellCaptureWidget::getSelectedRegion(), nullptr);

    // The window picker says the same and gives no picture.
    VellSelectionWidget picker;
    picker.resize(40, 40);
    picker.show();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no screenshot portal")));
    QTest::mousePress(&picker, Qt::LeftButton);
    QTest::mouseRelease(&picker, Qt::LeftButton);
    QCOMPARE(VellSelectionWidget::getSelectedRegion(), nullptr);
    QVERIFY(VellSelectionWidget::lastError().contains(QLatin1String("no screenshot portal")));
}

// The release asks the portal for an interactive screenshot and returns what
// the user picked there.
void TestPortal::windowPickerAsksInteractively()
{
    FakePortal portal;
    QVERIFY(portal.registered);
    portal.file = runtime.path() + QStringLiteral("/window.png");
    QVERIFY(pattern(QSize(200, 100)).save(portal.file));
    VellSelectionWidget picker;
    picker.resize(40, 40);
    picker.show();
    QTest::mousePress(&picker, Qt::LeftButton);
    QTest::mouseRelease(&picker, Qt::LeftButton);
    QCOMPARE(portal.lastOptions.value(QStringLiteral("interactive")).toBool(), true);
    std::unique_ptr<QImage> region(VellSelectionWidget::getSelectedRegion());
    QVERIFY(region);
    QCOMPARE(region->size(), QSize(200, 100));
    QCOMPARE(patternMismatch(*region, QPoint()), QString());
    QCOMPARE(VellSelectionWidget::lastError(), QString());
}

QTEST_MAIN(TestPortal)
#include "tst_portal.moc"
