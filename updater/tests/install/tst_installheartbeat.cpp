// The installer's heartbeat: a window that runs an installation on its own
// thread gets a turn many times while one large file is unpacked and copied.

#include "TestArchive.h"
#include "TestUpdates.h"
#include "VellInstallHeartbeat.h"
#include "VellUpdatePackage.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class tst_InstallHeartbeat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void beatsThroughOneLargeFile();
    void scopesNestAndEnd();
};

void tst_InstallHeartbeat::beatsThroughOneLargeFile()
{
    QTemporaryDir scratch;
    QVERIFY2(scratch.isValid(), qPrintable(scratch.errorString()));
    const QString work = scratch.filePath(QStringLiteral("work"));
    const QString target = scratch.filePath(QStringLiteral("plugins"));
    QVERIFY(QDir().mkpath(work) && QDir().mkpath(target));

    // Replacing an installed file: it is backed up, unpacked and copied in.
    constexpr int size = 4 * 1024 * 1024;
    QByteArray contents(size, '\0');
    for (int i = 0; i < size; ++i) {
        contents[i] = char((i * 31) % 253);
    }
    QFile installed(target + QLatin1String("/files/big.kwx"));
    QVERIFY(QDir().mkpath(target + QLatin1String("/files")));
    QVERIFY(installed.open(QIODevice::WriteOnly) && installed.write(contents) == size);
    installed.close();
    QVERIFY(TestArchive::write(work + QLatin1String("/big.zip"),
        {{"big.xml",
             "<package project='vell' name='big' type='plugin'>\n"
             "  <file name='big.kwx' path='files' action='add'/>\n</package>\n"},
            {"files/big.kwx", contents}}));

    Update update = TestUpdates::make("big", "plugin", "http://packages.vell.example/big.zip");
    VellUpdatePackage package(&update, target);
    int beats = 0;
    QString errorText;
    QStringList files;
    {
        const VellInstallHeartbeat::Scope counting([&beats] { ++beats; });
        QVERIFY2(package.install(work, errorText, files), qPrintable(errorText));
    }
    // At least once per 64 KiB of the file, wherever the time goes.
    QVERIFY2(beats >= size / (64 * 1024), qPrintable(QString::number(beats)));

    const int before = beats;
    VellInstallHeartbeat::beat();
    QCOMPARE(beats, before); // the scope has ended
}

void tst_InstallHeartbeat::scopesNestAndEnd()
{
    QStringList heard;
    {
        const VellInstallHeartbeat::Scope outer([&heard] { heard << QStringLiteral("outer"); });
        VellInstallHeartbeat::beat();
        {
            const VellInstallHeartbeat::Scope inner([&heard] { heard << QStringLiteral("inner"); });
            VellInstallHeartbeat::beat();
        }
        VellInstallHeartbeat::beat();
    }
    VellInstallHeartbeat::beat();
    QCOMPARE(heard,
        QStringList({QStringLiteral("outer"), QStringLiteral("inner"), QStringLiteral("outer")}));
}

QTEST_GUILESS_MAIN(tst_InstallHeartbeat)

#include "tst_installheartbeat.moc"
