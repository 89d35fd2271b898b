// The engine's small helpers: the update server address, the private work
// directory and removeDir().

#include "EngineTestSupport.h"
#include "TestFiles.h"
#include "VellUpdateServerAddress.h"
#include "VellUpdaterEngine.h"
#include "VellWorkDirectory.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class tst_EngineHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsesServerAddress_data();
    void parsesServerAddress();
    void serverAddressFromEnvironment_data();
    void serverAddressFromEnvironment();

    void createsPrivateWorkDirectory();
    void replacesUnsafeWorkDirectory_data();
    void replacesUnsafeWorkDirectory();
    void engineWorksBelowTemporaryFolder();

    void removeDirDeletesFilesAndKeepsFolders();
};

void tst_EngineHelpers::parsesServerAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");

    QTest::newRow("host alone") << "staging.vell.example" << true << "staging.vell.example"
                                << 34221;
    QTest::newRow("host and port") << "127.0.0.1:4000" << true << "127.0.0.1" << 4000;
    QTest::newRow("IPv6 alone") << "::1" << true << "::1" << 34221;
    QTest::newRow("IPv6 with port") << "[::1]:5000" << true << "::1" << 5000;
    QTest::newRow("blanks around") << " host:1 " << true << "host" << 1;
    QTest::newRow("empty") << "" << false << QString() << 0;
    QTest::newRow("port alone") << ":4000" << false << QString() << 0;
    QTest::newRow("empty port") << "host:" << false << QString() << 0;
    QTest::newRow("port zero") << "host:0" << false << QString() << 0;
    QTest::newRow("port too big") << "host:65536" << false << QString() << 0;
    QTest::newRow("port not a number") << "host:http" << false << QString() << 0;
    QTest::newRow("unclosed bracket") << "[::1:80" << false << QString() << 0;
    QTest::newRow("no IPv6 in brackets") << "[host]:80" << false << QString() << 0;
    QTest::newRow("semicolon for colon") << "127.0.0.1;4000" << false << QString() << 0;
    QTest::newRow("a URL") << "http://updates.vell.example/" << false << QString() << 0;
    QTest::newRow("blank inside") << "updates vell:1" << false << QString() << 0;
}

void tst_EngineHelpers::parsesServerAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);

    VellUpdateServerAddress address(QStringLiteral("unchanged"), 7);
    QCOMPARE(VellUpdateServerAddress::parse(text, address), valid);
    QCOMPARE(address.host(), valid ? host : QStringLiteral("unchanged"));
    QCOMPARE(int(address.port()), valid ? port : 7);
}

void tst_EngineHelpers::serverAddressFromEnvironment_data()
{
    QTest::addColumn<QByteArray>("value"); // null: the variable is unset
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");

    const QString defaultHost = QString::fromLatin1(VellUpdateServerAddress::DefaultHost);
    QTest::newRow("unset") << QByteArray() << true << defaultHost << 34221;
    QTest::newRow("empty") << QByteArray("") << true << defaultHost << 34221;
    QTest::newRow("host:port") << QByteArray("localhost:9999") << true
                               << QStringLiteral("localhost") << 9999;
    // Not quietly replaced by the default server.
    QTest::newRow("malformed port")
        << QByteArray("localhost:port") << false << QStringLiteral("unchanged") << 7;
    QTest::newRow("no host") << QByteArray(":9999") << false << QStringLiteral("unchanged") << 7;
}

void tst_EngineHelpers::serverAddressFromEnvironment()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);

    ScopedEnvironment environment(VellUpdateServerAddress::EnvironmentVariable, value);
    if (value.isNull()) {
        qunsetenv(VellUpdateServerAddress::EnvironmentVariable);
    }
    VellUpdateServerAddress address(QStringLiteral("unchanged"), 7);
    QCOMPARE(VellUpdateServerAddress::fromEnvironment(address), valid);
    QCOMPARE(address.host(), host);
    QCOMPARE(int(address.port()), port);
}

void tst_EngineHelpers::createsPrivateWorkDirectory()
{
    QTemporaryDir tmp;
    QVERIFY2(tmp.isValid(), qPrintable(tmp.errorString()));
    const QString preferred = tmp.filePath("tupdates/");

    VellWorkDirectory workDir(preferred);
    QVERIFY(workDir.isPreferred());
    QCOMPARE(workDir.path(), preferred);
    struct stat info;
    QCOMPARE(::lstat(QFile::encodeName(preferred).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0700));

    // A second run finds the directory of the first and keeps using it.
    VellWorkDirectory again(preferred);
    QVERIFY(again.isPreferred());

    // A temporary folder that does not exist yet is made on the way.
    const QString nested = tmp.filePath("not/yet/tupdates/");
    VellWorkDirectory below(nested);
    QVERIFY(below.isPreferred());
    QCOMPARE(below.path(), nested);
    QVERIFY(QDir(nested).exists());
}

void tst_EngineHelpers::replacesUnsafeWorkDirectory_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("symbolic link to a folder") << "link";
    QTest::newRow("writable by everybody") << "open";
    QTest::newRow("a plain file") << "file";
}

void tst_EngineHelpers::replacesUnsafeWorkDirectory()
{
    QFETCH(QString, kind);

    QTemporaryDir tmp;
    QVERIFY2(tmp.isValid(), qPrintable(tmp.errorString()));
    const QString preferred = tmp.filePath("tupdates");
    const QString target = tmp.filePath("elsewhere");
    QVERIFY(QDir().mkpath(target));
    if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(target, preferred));
    } else if (kind == QLatin1String("open")) {
        QVERIFY(QDir().mkpath(preferred));
        QVERIFY(::chmod(QFile::encodeName(preferred).constData(), 0777) == 0);
    } else {
        QVERIFY(writeFile(preferred, "not a folder"));
    }

    QString used;
    {
        VellWorkDirectory workDir(preferred + QLatin1Char('/'));
        QVERIFY(!workDir.isPreferred());
        used = workDir.path();
        QVERIFY(!used.isEmpty());
        QVERIFY(used.endsWith(QLatin1Char('/')));
        QVERIFY(!used.startsWith(preferred + QLatin1Char('/')));
        QVERIFY(VellWorkDirectory::isPrivateDirectory(used));
        QVERIFY(QDir(used).exists());
    }
    QVERIFY2(!QDir(used).exists(), "the private replacement is removed with its owner");
    QVERIFY(QDir(target).isEmpty());
}

void tst_EngineHelpers::engineWorksBelowTemporaryFolder()
{
    QTemporaryDir tmp;
    QVERIFY2(tmp.isValid(), qPrintable(tmp.errorString()));
    ScopedEnvironment environment("TMPDIR", QFile::encodeName(tmp.path()));

    VellUpdaterEngine engine;
    QCOMPARE(engine.workDirectory(), tmp.path() + QLatin1String("/tupdates/"));
    QVERIFY(QDir(engine.workDirectory()).exists());
    QCOMPARE(engine.downloadState(), VellUpdaterEngine::Idle);
    QVERIFY(!engine.installSucceeded);
    QVERIFY(engine.getLog().isEmpty());
    QVERIFY(!engine.updatesAvailable());
    // The program keeps the long limits; only tests shorten them.
    const VellUpdaterEngine::Limits limits = engine.getLimits();
    QCOMPARE(limits.connectMs, 30000);
    QCOMPARE(limits.writeMs, 30000);
    QCOMPARE(limits.answerSilenceMs, 30000);
    QCOMPARE(limits.exchangeMs, 120000);
    QCOMPARE(limits.maxAnswerBytes, qint64(4 * 1024 * 1024));
    QCOMPARE(limits.downloadStallMs, 60000);
    QCOMPARE(engine.getClientProgram(), QCoreApplication::applicationDirPath() + "/vell");
}

void tst_EngineHelpers::removeDirDeletesFilesAndKeepsFolders()
{
    QTemporaryDir tmp;
    QVERIFY2(tmp.isValid(), qPrintable(tmp.errorString()));
    const QString root = tmp.filePath("work");
    const QString outside = tmp.filePath("outside");
    QVERIFY(writeFile(root + "/a.zip", "a"));
    QVERIFY(writeFile(root + "/.hidden", "h"));
    QVERIFY(writeFile(root + "/unwind/data/old.dat", "o"));
    QVERIFY(writeFile(root + "/.cache/x", "x"));
    QVERIFY(QDir().mkpath(root + "/empty"));
    QVERIFY(writeFile(outside + "/keep.dat", "keep"));
    QVERIFY(QFile::link(outside, root + "/linked-folder"));
    QVERIFY(QFile::link(outside + "/keep.dat", root + "/linked-file"));
    QVERIFY(QFile::link(root + "/missing", root + "/dangling"));

    removeDir(root);

    QCOMPARE(filesBelow(root), QStringList());
    QDir work(root);
    QCOMPARE(work.entryList(
                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
        (QStringList {".cache", "empty", "unwind"}));
    QVERIFY(QDir(root + "/unwind/data").exists());
    QCOMPARE(readFile(outside + "/keep.dat"), QByteArray("keep"));

    // No work directory is not the current directory.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(outside));
    removeDir(QString());
    QVERIFY(QDir::setCurrent(previous));
    QCOMPARE(readFile(outside + "/keep.dat"), QByteArray("keep"));
}

QTEST_GUILESS_MAIN(tst_EngineHelpers)
#include "tst_engine_helpers.moc"
