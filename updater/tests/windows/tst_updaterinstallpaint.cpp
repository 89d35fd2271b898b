// The installation window on a real X server while the installation runs:
// between two packages the screen shows the window as it stands, with the
// package's name and the bar where the installation is, although the event
// loop does not run until the installation ends.

#include "FakeQueryServer.h"
#include "TestPackage.h"
#include "UpdaterForms.h"

#include "VellInstallDialog.h"
#include "VellUpdaterEngine.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <memory>

namespace {
/** What the installation window looked like when a package's installation began. */
struct Snapshot
{
    QString text;
    int value = -1;
    QImage onScreen; ///< as the X server shows it
    QImage expected; ///< as the window's widgets render their present state
};

QImage comparable(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

/** True when the picture holds more than one colour (something was drawn). */
bool hasContent(const QImage &image)
{
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != first) {
                return true;
            }
        }
    }
    return false;
}
} // namespace

class tst_UpdaterInstallPaint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void windowIsPaintedBetweenPackages();

private:
    QTemporaryDir scratch;
};

void tst_UpdaterInstallPaint::initTestCase()
{
    Q_INIT_RESOURCE(updater);
    QVERIFY2(scratch.isValid(), qPrintable(scratch.errorString()));
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
        qPrintable(QGuiApplication::platformName()));
    QDir().mkpath(scratch.filePath(QStringLiteral("tmp")));
    QDir().mkpath(scratch.filePath(QStringLiteral("home")));
    qputenv("TMPDIR", QFile::encodeName(scratch.filePath(QStringLiteral("tmp"))));
    qputenv("HOME", QFile::encodeName(scratch.filePath(QStringLiteral("home"))));
}

void tst_UpdaterInstallPaint::windowIsPaintedBetweenPackages()
{
    const QList<QByteArray> names {"alpha", "beta", "gamma"};
    QList<QPair<QByteArray, QByteArray>> offered;
    for (const QByteArray &name : names) {
        offered.append({name, "http://127.0.0.1/" + name + ".zip"});
    }
    FakeQueryServer server(queryAnswer(offered));
    QVERIFY(server.startListening());
    qputenv("VELL_UPDATE_SERVER", server.address());
    VellUpdaterEngine engine;
    QVERIFY(engine.checkUpdates());
    QCOMPARE(engine.getUpdates().size(), names.size());
    // The packages as the download leaves them; each takes a moment to unpack.
    QByteArray payload(2 * 1024 * 1024, '\0');
    for (int i = 0; i < payload.size(); ++i) {
        payload[i] = char((i * 7919) % 251);
    }
    for (const QByteArray &name : names) {
        const QByteArray zip = TestPackage(QString::fromLatin1(name), QStringLiteral("plugin"))
                                   .add(QString::fromLatin1(name) + QLatin1String(".kwx"), payload)
                                   .bytes(QString::fromLatin1(name));
        QVERIFY(!zip.isEmpty());
        QFile file(engine.workDirectory() + QString::fromLatin1(name) + QLatin1String(".zip"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(zip), zip.size());
    }

    // Whenever events are processed during the installation, a new package
    // name on the window is recorded, with the screen's picture of it.
    QVector<Snapshot> snapshots;
    QTimer recorder;
    recorder.setInterval(0);
    connect(&recorder, &QTimer::timeout, this, [&snapshots] {
        QWidget *form = topLevel(QStringLiteral("Updater_Install_MainWindow"));
        if (!form || !form->windowHandle() || !form->windowHandle()->isExposed()) {
            return;
        }
        const auto *label
            = form->findChild<QLabel *>(QStringLiteral("Updater_Install_ProgressText"));
        const auto *bar
            = form->findChild<QProgressBar *>(QStringLiteral("Updater_Install_Progress"));
        if (!label || !bar || (!snapshots.isEmpty() && snapshots.last().text == label->text())) {
            return;
        }
        Snapshot shot;
        shot.text = label->text();
        shot.value = bar->value();
        shot.onScreen = comparable(form->screen()->grabWindow(form->winId()).toImage());
        shot.expected = comparable(form->grab().toImage());
        snapshots << shot;
    });
    recorder.start();

    new VellInstallDialog(&engine);
    recorder.stop();
    QVERIFY(engine.installSucceeded);

    QStringList seen;
    for (const Snapshot &shot : qAsConst(snapshots)) {
        seen << QStringLiteral("%1 %2").arg(shot.text).arg(shot.value);
    }
    // The form's own text first: painted before the installation starts.
    QCOMPARE(seen,
        QStringList({QStringLiteral("Installing... 0"), QStringLiteral("alpha 0"),
            QStringLiteral("beta 33"), QStringLiteral("gamma 66")}));
    for (int i = 0; i < snapshots.size(); ++i) {
        const Snapshot &shot = snapshots.at(i);
        QVERIFY2(hasContent(shot.onScreen), qPrintable(shot.text));
        if (shot.onScreen != shot.expected) {
            const QString path = scratch.filePath(QStringLiteral("screen-%1.png").arg(shot.text));
            shot.onScreen.save(path);
            shot.expected.save(scratch.filePath(QStringLiteral("widgets-%1.png").arg(shot.text)));
            QFAIL(qPrintable(QStringLiteral("the screen shows another picture than the window "
                                            "holds at \"%1\" (kept in %2)")
                                 .arg(shot.text, scratch.path())));
        }
        // The bar moved: each picture differs from the one before.
        if (i > 0) {
            QVERIFY(shot.onScreen != snapshots.at(i - 1).onScreen);
        }
    }
    settle();
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        widget->close();
    }
    settle();
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tst_UpdaterInstallPaint test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_updaterinstallpaint.moc"
