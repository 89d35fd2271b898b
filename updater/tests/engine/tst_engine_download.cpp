// Downloads against a real HTTP server (python3's http.server) on port 80 of
// loopback inside a private network namespace, and against a scripted server
// for the misbehaviours a real one will not show on demand.

#include "EngineTestSupport.h"
#include "MiniHttpServer.h"
#include "TestFiles.h"
#include "TestNamespace.h"
#include "VellUpdateServerAddress.h"
#include "VellUpdaterEngine.h"

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace {

// Resolves to loopback in the test's private network (HOSTS in CMakeLists.txt).
const char PackageHost[] = "packages.vell.example";
const char OtherHost[] = "other.vell.example";

QByteArray pattern(int size, char seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        bytes[i] = char(seed + i % 53);
    }
    return bytes;
}

/** Runs openssl with arguments in folder; false, with its output as a warning, on failure. */
bool runOpenssl(const QString &folder, const QStringList &arguments)
{
    QProcess openssl;
    openssl.setWorkingDirectory(folder);
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit
        || openssl.exitCode() != 0) {
        qWarning("openssl %s: %s", qPrintable(arguments.join(' ')), openssl.readAll().constData());
        return false;
    }
    return true;
}

/** A scratch certificate authority: name.pem and name.key in folder. */
bool makeAuthority(const QString &folder, const QString &name)
{
    return runOpenssl(folder,
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
            "-keyout", name + ".key", "-out", name + ".pem", "-days", "2", "-subj", "/CN=" + name,
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
            "keyUsage=critical,keyCertSign,cRLSign"});
}

/** name.pem (the server's certificate for host, then the authority's) and name.key. */
bool makeServerCertificate(
    const QString &folder, const QString &name, const QString &host, const QString &authority)
{
    const QString extensions = folder + '/' + name + ".ext";
    return writeFile(extensions, "subjectAltName=DNS:" + host.toUtf8() + "\n")
        && runOpenssl(folder,
            {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                "-keyout", name + ".key", "-out", name + ".csr", "-subj", "/CN=" + host})
        && runOpenssl(folder,
            {"x509", "-req", "-in", name + ".csr", "-CA", authority + ".pem", "-CAkey",
                authority + ".key", "-CAcreateserial", "-out", name + ".leaf", "-days", "2",
                "-extfile", extensions})
        && writeFile(folder + '/' + name + ".pem",
            readFile(folder + '/' + name + ".leaf") + readFile(folder + '/' + authority + ".pem"));
}

/** Peak resident memory since the last reset, in KiB. */
qint64 peakResidentKiB()
{
    const QByteArray status = readFile(QStringLiteral("/proc/self/status"));
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

bool resetPeakResident()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

} // namespace

class tst_EngineDownload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void progressRisesPackageByPackage();
    void fetchesPlainHttpFromPort80_data();
    void fetchesPlainHttpFromPort80();
    void httpErrorStatusIsAnError_data();
    void httpErrorStatusIsAnError();
    void redirectOnlyToPlainHttpOnPort80_data();
    void redirectOnlyToPlainHttpOnPort80();
    void errorInsideTheReplysSignalSurvivesAModalBox();
    void refusesPathOutsideWorkDirectory_data();
    void refusesPathOutsideWorkDirectory();
    void countsPackagesWithoutContentLength();
    void stalledDownloadFails();
    void brokenDownloadResumes_data();
    void brokenDownloadResumes();
    void abortRaisesNoError();
    void largePackageKeepsMemoryFlat();
    void httpsLinkIsFetchedOverTls_data();
    void httpsLinkIsFetchedOverTls();

private:
    std::unique_ptr<VellUpdaterEngine> engineFor(const QStringList &links);
    bool waitForEnd(const EngineSignalLog &log, int timeoutMs = 20000);
    /// Downloads with a silence limit of 300 ms and waits for the run's end.
    bool downloadWithShortStallLimit(
        VellUpdaterEngine &engine, const EngineSignalLog &log, int timeoutMs);
    QStringList httpRequests(int expected);

    QTemporaryDir serverRoot;
    QProcess httpServer;
    QByteArray httpLog;
    MiniHttpServer scripted; ///< statuses and stalls python's server never shows
    QTemporaryDir catalogueDir;
    UpdateServerProcess updateServer;
    std::unique_ptr<ScopedEnvironment> updateServerAddress;
    std::unique_ptr<QTemporaryDir> dir;
    std::vector<std::unique_ptr<ScopedEnvironment>> environment;
};

void tst_EngineDownload::initTestCase()
{
    QString notInside;
    QVERIFY2(TestNamespace::isInside(TestNamespace::Network, &notInside), qPrintable(notInside));
    QVERIFY2(serverRoot.isValid(), qPrintable(serverRoot.errorString()));
    QVERIFY(writeFile(serverRoot.filePath("one.zip"), pattern(1000, 'a')));
    QVERIFY(writeFile(serverRoot.filePath("two.zip"), pattern(3000, 'A')));
    QVERIFY(writeFile(serverRoot.filePath("sub/three.zip"), pattern(777, '0')));

    httpServer.setProcessChannelMode(QProcess::SeparateChannels);
    httpServer.start(QStringLiteral("python3"),
        {"-u", "-m", "http.server", "80", "--bind", "127.0.0.1", "--directory", serverRoot.path()});
    QVERIFY(httpServer.waitForStarted(10000));
    QElapsedTimer waited;
    waited.start();
    forever {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), 80);
        if (probe.waitForConnected(100)) {
            break;
        }
        QVERIFY2(!waited.hasExpired(10000), "the HTTP server did not start");
        QTest::qWait(50);
    }

    QVERIFY2(catalogueDir.isValid(), qPrintable(catalogueDir.errorString()));
    QVERIFY(updateServer.start(catalogueDir.path()));
    updateServerAddress.reset(new ScopedEnvironment(
        VellUpdateServerAddress::EnvironmentVariable, updateServer.address()));

    // The scripted server answers on its own loopback address.
    QVERIFY(scripted.listen(QHostAddress(QStringLiteral("127.0.0.2"))));
}

void tst_EngineDownload::cleanupTestCase()
{
    httpServer.kill();
    httpServer.waitForFinished(5000);
}

void tst_EngineDownload::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY2(dir->isValid(), qPrintable(dir->errorString()));
    QVERIFY(QDir().mkpath(dir->filePath("tmp")));
    environment.emplace_back(
        new ScopedEnvironment("TMPDIR", QFile::encodeName(dir->filePath("tmp"))));
    httpServer.readAllStandardError();
    httpLog.clear();
    scripted.requests.clear();
    scripted.received.clear();
    scripted.answers.clear();
    scripted.resources.clear();
}

void tst_EngineDownload::cleanup()
{
    environment.clear();
    dir.reset();
}

// An engine whose update list holds one update per link, named p0, p1, ...
std::unique_ptr<VellUpdaterEngine> tst_EngineDownload::engineFor(const QStringList &links)
{
    QVector<CatalogueEntry> catalogue;
    QStringList installed;
    for (int i = 0; i < links.size(); ++i) {
        CatalogueEntry entry;
        entry.project = QStringLiteral("vell");
        entry.name = QStringLiteral("p%1").arg(i);
        entry.type = QStringLiteral("app");
        entry.version = QStringLiteral("2.0");
        entry.link = links.at(i);
        catalogue << entry;
        installed << QStringLiteral("vell p%1 app 1.0").arg(i);
    }
    // The update server reads its catalogue again for every query.
    const QString client = dir->filePath("client/vell");
    if (!writeCatalogue(catalogueDir.path(), catalogue)
        || !writeStubClient(client, queryFor(installed))) {
        return nullptr;
    }

    std::unique_ptr<VellUpdaterEngine> engine(new VellUpdaterEngine);
    engine->setClientProgram(client);
    if (!engine->checkUpdates() || engine->getUpdates().size() != links.size()) {
        return nullptr;
    }
    return engine;
}

// Runs the event loop (without the pauses of QTest::qWait) until the
// download has finished or failed.
bool tst_EngineDownload::waitForEnd(const EngineSignalLog &log, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!log.of("downloadFinished").isEmpty() || !log.of("error").isEmpty()) {
            loop.quit();
        }
    });
    poll.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return !log.of("downloadFinished").isEmpty() || !log.of("error").isEmpty();
}

bool tst_EngineDownload::downloadWithShortStallLimit(
    VellUpdaterEngine &engine, const EngineSignalLog &log, int timeoutMs)
{
    VellUpdaterEngine::Limits limits;
    limits.downloadStallMs = 300;
    engine.setLimits(limits);
    engine.beginDownload();
    return waitForEnd(log, timeoutMs);
}

// The requests python's server has logged since the last call, as "GET /path",
// once at least expected of them have arrived (its log line follows the answer).
QStringList tst_EngineDownload::httpRequests(int expected)
{
    QStringList requests;
    QElapsedTimer waited;
    waited.start();
    forever {
        httpLog += httpServer.readAllStandardError();
        requests.clear();
        for (const QByteArray &line : httpLog.split('\n')) {
            const int quote = line.indexOf('"');
            if (quote < 0) {
                continue;
            }
            const QList<QByteArray> words = line.mid(quote + 1).split(' ');
            requests << QString::fromLatin1(words.value(0) + ' ' + words.value(1));
        }
        if (requests.size() >= expected || waited.hasExpired(5000)) {
            break;
        }
        httpServer.waitForReadyRead(100);
    }
    httpLog.clear();
    return requests;
}

void tst_EngineDownload::progressRisesPackageByPackage()
{
    auto engine = engineFor({QStringLiteral("http://%1/one.zip").arg(PackageHost),
        QStringLiteral("http://%1/two.zip").arg(PackageHost)});
    QVERIFY(engine);
    EngineSignalLog log(engine.get());

    engine->beginDownload();
    QCOMPARE(engine->downloadState(), VellUpdaterEngine::Sizing);
    QVERIFY(waitForEnd(log));

    QCOMPARE(log.of("error"), QStringList());
    QCOMPARE(log.of("downloadFile"), (QStringList {"p0", "p1"}));
    QCOMPARE(log.events.first(), QStringLiteral("downloadFile:p0"));
    QCOMPARE(log.events.last(), QStringLiteral("downloadFinished:"));
    const int second = log.events.indexOf(QStringLiteral("downloadFile:p1"));
    QVERIFY(second > 1);
    // During the first package progress climbs to 1000 of 4000 bytes.
    QCOMPARE(log.events.at(second - 1), QStringLiteral("downloadProgress:25"));
    int previous = 0;
    for (int i = 1; i < log.events.size() - 1; ++i) {
        if (i == second) {
            continue;
        }
        QVERIFY2(log.events.at(i).startsWith(QLatin1String("downloadProgress:")),
            qPrintable(log.events.at(i)));
        const int percent = log.events.at(i).section(QLatin1Char(':'), 1).toInt();
        QVERIFY(percent >= previous && percent <= (i < second ? 25 : 100));
        previous = percent;
    }
    QCOMPARE(previous, 100);
    QCOMPARE(engine->downloadState(), VellUpdaterEngine::Idle);

    QCOMPARE(readFile(engine->workDirectory() + "one.zip"), pattern(1000, 'a'));
    QCOMPARE(readFile(engine->workDirectory() + "two.zip"), pattern(3000, 'A'));
    QCOMPARE(httpRequests(4),
        (QStringList {"HEAD /one.zip", "HEAD /two.zip", "GET /one.zip", "GET /two.zip"}));
}

void tst_EngineDownload::fetchesPlainHttpFromPort80_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("path");

    QTest::newRow("scheme in capitals")
        << QStringLiteral("HTTP://%1/one.zip").arg(PackageHost) << "/one.zip";
    QTest::newRow("ftp scheme") << "ftp://127.0.0.1/two.zip"
                                << "/two.zip";
    QTest::newRow("port, query and fragment")
        << "http://127.0.0.1:8080/sub/three.zip?token=abc&x=1#part"
        << "/sub/three.zip";
}

void tst_EngineDownload::fetchesPlainHttpFromPort80()
{
    QFETCH(QString, link);
    QFETCH(QString, path);

    auto engine = engineFor({link});
    QVERIFY(engine);
    EngineSignalLog log(engine.get());
    engine->beginDownload();
    QVERIFY(waitForEnd(log));

    QCOMPARE(log.of("error"), QStringList());
    QCOMPARE(httpRequests(2), (QStringList {"HEAD " + path, "GET " + path}));
    QCOMPARE(readFile(engine->workDirectory() + path), readFile(serverRoot.path() + path));
}

void tst_EngineDownload::httpErrorStatusIsAnError_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("expected");

    QTest::newRow("404 on HEAD and GET") << "http://127.0.0.1/missing.zip"
                                         << "404";
    QTest::newRow("500 on HEAD") << "http://127.0.0.2/broken.zip"
                                 << "500 Internal Server Error";
    QTest::newRow("403 on GET only") << "http://127.0.0.2/forbidden.zip"
                                     << "403 Forbidden";
}

void tst_EngineDownload::httpErrorStatusIsAnError()
{
    QFETCH(QString, link);
    QFETCH(QString, expected);

    scripted.answers["/broken.zip"]
        = {"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 5", "oops!"};
    scripted.answers["/forbidden.zip"] = {"HTTP/1.1 200 OK\r\nContent-Length: 10", "0123456789"};
    auto engine = engineFor({link});
    QVERIFY(engine);
    EngineSignalLog log(engine.get());
    WarningLog warnings;
    // HEAD of the forbidden package passes; its GET is refused.
    connect(engine.get(), &VellUpdaterEngine::downloadFile, this, [this] {
        scripted.answers["/forbidden.zip"]
            = {"HTTP/1.1 403 Forbidden\r\nContent-Length: 4", "nope"};
    });
    engine->beginDownload();
    QVERIFY(waitForEnd(log));

    QCOMPARE(log.of("error").size(), 1);
    QVERIFY2(log.of("error").first().contains(expected), qPrintable(log.of("error").first()));
    QVERIFY(log.of("downloadFinished").isEmpty());
    QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
    // The failed reply is let run to its end, never aborted a second time.
    engine.reset();
    QTest::qWait(50);
    QCOMPARE(warnings.containing(QStringLiteral("QNetworkReply")), QStringList());
}

void tst_EngineDownload::redirectOnlyToPlainHttpOnPort80_data()
{
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<bool>("followed");

    QTest::newRow("plain http on port 80") << QByteArray("http://127.0.0.1/one.zip") << true;
    QTest::newRow("another scheme") << QByteArray("https://127.0.0.1/one.zip") << false;
    QTest::newRow("another port") << QByteArray("http://127.0.0.1:8080/one.zip") << false;
}

void tst_EngineDownload::redirectOnlyToPlainHttpOnPort80()
{
    QFETCH(QByteArray, location);
    QFETCH(bool, followed);

    scripted.answers["/moved.zip"]
        = {"HTTP/1.1 302 Found\r\nContent-Length: 0\r\nLocation: " + location, QByteArray()};
    auto engine = engineFor({QStringLiteral("http://127.0.0.2/moved.zip")});
    QVERIFY(engine);
    EngineSignalLog log(engine.get());
    engine->beginDownload();
    QVERIFY(waitForEnd(log));

    if (followed) {
        QCOMPARE(log.of("error"), QStringList());
        // Stored where the link says, whatever path the server redirected to.
        QCOMPARE(readFile(engine->workDirectory() + "moved.zip"), pattern(1000, 'a'));
    } else {
        QCOMPARE(log.of("error").size(), 1);
        QVERIFY2(log.of("error").first().contains(QString::fromLatin1(location)),
            qPrintable(log.of("error").first()));
        QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
    }
}

// The windows answer an error with a modal box, whose event loop runs timers
// and deletions; a failure found inside one of the reply's own signals (here
// a full disk, met while the reply hands over its data) must not leave the
// network code to go on with a reply deleted meanwhile.
void tst_EngineDownload::errorInsideTheReplysSignalSurvivesAModalBox()
{
    const QByteArray body = pattern(256 * 1024, 'f');
    scripted.answers["/big.zip"]
        = {"HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()), body};
    auto engine = engineFor({QStringLiteral("http://127.0.0.2/big.zip")});
    QVERIFY(engine);
    const QByteArray workDir = QFile::encodeName(engine->workDirectory());
    if (::mount("tmpfs", workDir.constData(), "tmpfs", 0, "size=16k,mode=0700") != 0) {
        QSKIP(qPrintable(QStringLiteral("no small file system: ") + qt_error_string(errno)));
    }
    const auto unmount = qScopeGuard([&workDir] { ::umount2(workDir.constData(), MNT_DETACH); });
    EngineSignalLog log(engine.get());
    connect(engine.get(), &VellUpdaterEngine::error, this, [] {
        QEventLoop box;
        QTimer::singleShot(200, &box, &QEventLoop::quit);
        box.exec();
    });
    engine->beginDownload();
    QVERIFY(waitForEnd(log));
    QTest::qWait(200);
    QCOMPARE(log.of("error").size(), 1);
    QVERIFY2(log.of("error").first().contains(QString::fromLocal8Bit(strerror(ENOSPC))),
        qPrintable(log.of("error").first()));
    QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
}

void tst_EngineDownload::refusesPathOutsideWorkDirectory_data()
{
    QTest::addColumn<QString>("link");

    QTest::newRow("dot-dot segments") << "http://127.0.0.1/../../escape.zip";
    QTest::newRow("encoded dot-dot") << "http://127.0.0.1/%2e%2e/%2E%2E/escape.zip";
    QTest::newRow("dot-dot in the middle") << "http://127.0.0.1/sub/../../escape.zip";
    QTest::newRow("no file name") << "http://127.0.0.1/sub/";
}

void tst_EngineDownload::refusesPathOutsideWorkDirectory()
{
    QFETCH(QString, link);

    QVERIFY(writeFile(serverRoot.filePath("escape.zip"), "escaped"));
    auto engine = engineFor({link});
    QVERIFY(engine);
    EngineSignalLog log(engine.get());
    engine->beginDownload();
    QVERIFY(waitForEnd(log));

    QCOMPARE(log.of("error").size(), 1);
    QVERIFY(log.of("downloadFinished").isEmpty());
    QCOMPARE(filesBelow(dir->path()).filter(QStringLiteral("escape")), QStringList());
    QTest::qWait(100);
    QCOMPARE(httpRequests(0), QStringList());
}

void tst_EngineDownload::countsPackagesWithoutContentLength()
{
    // Bodies end when the connection closes; no size is announced.
    scripted.answers["/a.zip"] = {"HTTP/1.1 200 OK", pattern(500, 'x')};
    scripted.answers["/b.zip"] = {"HTTP/1.1 200 OK", pattern(700, 'y')};
    auto engine = engineFor({"http://127.0.0.2/a.zip", "http://127.0.0.2/b.zip"});
    QVERIFY(engine);
    EngineSignalLog log(engine.get());
    engine->beginDownload();
    QVERIFY(waitForEnd(log));

    QCOMPARE(log.of("error"), QStringList());
    const QStringList progress = log.of("downloadProgress");
    QVERIFY(progress.contains(QStringLiteral("50")));
    QCOMPARE(progress.last(), QStringLiteral("100"));
    for (const QString &percent : progress) {
        QVERIFY(percent.toInt() >= 0 && percent.toInt() <= 100);
    }
    QCOMPARE(readFile(engine->workDirectory() + "b.zip"), pattern(700, 'y'));
}

void tst_EngineDownload::stalledDownloadFails()
{
    scripted.answers["/stall.zip"]
        = {"HTTP/1.1 200 OK\r\nContent-Length: 1000", pattern(10, 's'), true};
    auto engine = engineFor({"http://127.0.0.2/stall.zip"});
    QVERIFY(engine);
    EngineSignalLog log(engine.get());
    QVERIFY(downloadWithShortStallLimit(*engine, log, 5000));

    QCOMPARE(log.of("error").size(), 1);
    QVERIFY2(log.of("error").first().contains(QLatin1String("sent nothing")),
        qPrintable(log.of("error").first()));
    QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
}

namespace {
const QByteArray StrongTag("\"v1\"");
const QByteArray Date("Wed, 09 Dec 2026 10:00:00 GMT");
} // namespace

void tst_EngineDownload::brokenDownloadResumes_data()
{
    QTest::addColumn<QByteArray>("etag");
    QTest::addColumn<QByteArray>("lastModified");
    QTest::addColumn<bool>("ignoresRange");
    QTest::addColumn<int>("cuts"); ///< at 20000, 40000, ...; once only when the file comes whole
    QTest::addColumn<bool>("bySilence");
    /// what the server does after its first answer: "" nothing, "new version"
    /// (another ETag and content), "wrong part" (a 206 from byte 0)
    QTest::addColumn<QString>("afterFirst");
    QTest::addColumn<QStringList>("ranges"); ///< the Range header of the GETs, repeats left out
    QTest::addColumn<bool>("completes");

    const QStringList once {"", "bytes=20000-"};
    const QStringList whole {""};
    const QStringList thrice {"", "bytes=20000-", "bytes=40000-", "bytes=60000-"};
    QTest::newRow("break once, ETag")
        << StrongTag << QByteArray() << false << 1 << false << "" << once << true;
    QTest::newRow("break once, Last-Modified only")
        << QByteArray() << Date << false << 1 << false << "" << once << true;
    QTest::newRow("silent once") << StrongTag << Date << false << 1 << true << "" << once << true;
    QTest::newRow("break three times")
        << StrongTag << Date << false << 3 << false << "" << thrice << true;
    QTest::newRow("break four times")
        << StrongTag << Date << false << 4 << false << "" << thrice << false;
    QTest::newRow("server ignores Range")
        << StrongTag << QByteArray() << true << 1 << false << "" << once << true;
    QTest::newRow("new version between requests")
        << StrongTag << Date << false << 1 << false << "new version" << once << true;
    QTest::newRow("206 of another part")
        << StrongTag << QByteArray() << false << 1 << false << "wrong part" << once << false;
    QTest::newRow("no validators")
        << QByteArray() << QByteArray() << false << 1 << false << "" << whole << true;
    QTest::newRow("weak ETag only")
        << QByteArray("W/\"v1\"") << QByteArray() << false << 1 << false << "" << whole << true;
}

// A package whose connection breaks is taken up again where it broke, when the
// server can be trusted to send the rest of the same version; the file always
// ends up whole and the progress never goes back.
void tst_EngineDownload::brokenDownloadResumes()
{
    QFETCH(QByteArray, etag);
    QFETCH(QByteArray, lastModified);
    QFETCH(bool, ignoresRange);
    QFETCH(int, cuts);
    QFETCH(bool, bySilence);
    QFETCH(QString, afterFirst);
    QFETCH(QStringList, ranges);
    QFETCH(bool, completes);

    // A path of the row's own: a late request of an earlier row is not counted.
    const QByteArray path
        = "/resumed-" + QByteArray::number(qHash(QByteArray(QTest::currentDataTag()))) + ".zip";
    const QString link = QStringLiteral("http://127.0.0.2") + QString::fromLatin1(path);
    MiniHttpServer::Resource resource;
    resource.content = pattern(100000, 'r');
    resource.etag = etag;
    resource.lastModified = lastModified;
    resource.ignoresRange = ignoresRange;
    for (int i = 1; i <= cuts; ++i) {
        resource.cutAt << i * 20000;
    }
    resource.cutBySilence = bySilence;
    scripted.resources.insert(path, resource);
    const QByteArray newContent = pattern(100000, 'N');
    const bool takenWhole
        = ignoresRange || afterFirst == "new version" || ranges == QStringList {""};
    QMetaObject::Connection hook = connect(&scripted, &MiniHttpServer::answered, this, [&] {
        if (scripted.requests.last() != "GET " + path) {
            return;
        }
        // Only now: the HEAD and the first GET saw the first version.
        MiniHttpServer::Resource &served = scripted.resources[path];
        if (takenWhole) {
            served.cutAt.clear(); // the whole file again would break at the same place
        }
        if (afterFirst == "new version") {
            served.content = newContent;
            served.etag = "\"v2\"";
            served.lastModified = "Thu, 10 Dec 2026 10:00:00 GMT";
        } else if (afterFirst == "wrong part") {
            scripted.answers[path] = {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes "
                                      "0-99999/100000\r\nContent-Length: 100000",
                served.content};
        }
    });
    const auto disconnect = qScopeGuard([&hook] { QObject::disconnect(hook); });

    auto engine = engineFor({link});
    QVERIFY(engine);
    EngineSignalLog log(engine.get());
    QVERIFY(downloadWithShortStallLimit(*engine, log, 10000));

    QStringList sentRanges;
    int gets = 0;
    for (const MiniHttpServer::Request &request : qAsConst(scripted.received)) {
        if (request.line != "GET " + path) {
            continue;
        }
        ++gets;
        // Qt sends a request once more by itself when the connection it chose
        // closed under it: the server may see the same request twice.
        const QString range = QString::fromLatin1(request.header("Range"));
        if (sentRanges.isEmpty() || sentRanges.last() != range) {
            sentRanges << range;
        }
        // A part is asked for only of the version the first answer named.
        const QByteArray expectedIfRange = request.header("Range").isEmpty()
            ? QByteArray()
            : (etag.isEmpty() ? lastModified : etag);
        QCOMPARE(request.header("If-Range"), expectedIfRange);
    }
    QCOMPARE(sentRanges, ranges);
    QVERIFY2(gets >= 2, "the broken download was not asked for again");

    int previous = 0;
    for (const QString &percent : log.of("downloadProgress")) {
        QVERIFY2(percent.toInt() >= previous, qPrintable(log.of("downloadProgress").join(' ')));
        previous = percent.toInt();
    }
    if (completes) {
        QCOMPARE(log.of("error"), QStringList());
        QCOMPARE(previous, 100);
        QVERIFY(readFile(engine->workDirectory() + QString::fromLatin1(path))
            == (afterFirst == "new version" ? newContent : resource.content));
    } else {
        QCOMPARE(log.of("error").size(), 1);
        QVERIFY2(log.of("error").first().contains(link), qPrintable(log.of("error").first()));
        if (afterFirst == "wrong part") {
            QVERIFY2(log.of("error").first().contains(QLatin1String("bytes 0-99999/100000")),
                qPrintable(log.of("error").first()));
        }
        QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
    }
}

void tst_EngineDownload::abortRaisesNoError()
{
    QFile big(serverRoot.filePath("big.zip"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(64 * 1024 * 1024));
    big.close();
    auto engine = engineFor({"http://127.0.0.1/big.zip", "http://127.0.0.1/one.zip"});
    QVERIFY(engine);
    EngineSignalLog log(engine.get());
    WarningLog warnings;
    connect(engine.get(), &VellUpdaterEngine::downloadProgress, engine.get(),
        &VellUpdaterEngine::abortDownload);
    engine->beginDownload();
    QTRY_VERIFY(!log.of("downloadProgress").isEmpty());
    QTest::qWait(300);

    QCOMPARE(engine->downloadState(), VellUpdaterEngine::Aborted);
    QCOMPARE(log.of("error"), QStringList());
    QCOMPARE(log.of("downloadFinished"), QStringList());
    QCOMPARE(log.of("downloadFile"), QStringList {"p0"});
    QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
    engine.reset();
    QTest::qWait(50);
    QCOMPARE(warnings.containing(QStringLiteral("QNetworkReply")), QStringList());
    QCOMPARE(warnings.containing(QStringLiteral("Empty")), QStringList());
    QFile::remove(big.fileName());
}

void tst_EngineDownload::largePackageKeepsMemoryFlat()
{
    const qint64 size = 48 * 1024 * 1024;
    QFile big(serverRoot.filePath("large.zip"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(size));
    big.close();
    auto engine = engineFor({"http://127.0.0.1/large.zip"});
    QVERIFY(engine);
    EngineSignalLog log(engine.get());

    QVERIFY2(resetPeakResident(), "cannot reset the peak memory figure");
    const qint64 before = peakResidentKiB();
    engine->beginDownload();
    QVERIFY(waitForEnd(log, 60000));
    const qint64 growth = peakResidentKiB() - before;

    QCOMPARE(log.of("error"), QStringList());
    QCOMPARE(QFileInfo(engine->workDirectory() + "large.zip").size(), size);
    QVERIFY2(growth < 16 * 1024, qPrintable(QStringLiteral("peak grew by %1 KiB").arg(growth)));
    QFile::remove(big.fileName());
}

void tst_EngineDownload::httpsLinkIsFetchedOverTls_data()
{
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("link");
    QTest::addColumn<int>("refusal"); ///< a QSslError::SslError, or -1 when accepted

    const QString link = QStringLiteral("https://%1/one.zip").arg(PackageHost);
    QTest::newRow("trusted certificate, port 443") << "good" << 443 << link << -1;
    QTest::newRow("trusted certificate, the link's port")
        << "good" << 8443 << QStringLiteral("https://%1:8443/one.zip").arg(PackageHost) << -1;
    QTest::newRow("unknown authority")
        << "stranger" << 443 << link << int(QSslError::SelfSignedCertificateInChain);
    QTest::newRow("certificate of another host")
        << "other" << 443 << link << int(QSslError::HostNameMismatch);
}

// The certificates are made here, by a scratch authority that the test adds
// to Qt's default configuration (the system's authorities do not know it).
void tst_EngineDownload::httpsLinkIsFetchedOverTls()
{
    QFETCH(QString, certificate);
    QFETCH(int, port);
    QFETCH(QString, link);
    QFETCH(int, refusal);

    const QString certs = dir->filePath("certs");
    QVERIFY(QDir().mkpath(certs));
    QVERIFY(makeAuthority(certs, "trusted") && makeAuthority(certs, "unknown"));
    QVERIFY(makeServerCertificate(certs, "good", PackageHost, "trusted"));
    QVERIFY(makeServerCertificate(certs, "stranger", PackageHost, "unknown"));
    QVERIFY(makeServerCertificate(certs, "other", OtherHost, "trusted"));

    const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
    const auto restore
        = qScopeGuard([&before] { QSslConfiguration::setDefaultConfiguration(before); });
    QSslConfiguration trusting = before;
    trusting.setCaCertificates(QSslCertificate::fromPath(certs + "/trusted.pem"));
    QCOMPARE(trusting.caCertificates().size(), 1);
    QSslConfiguration::setDefaultConfiguration(trusting);

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral("python3"),
        {QStringLiteral(VELL_HTTPS_SERVER), certs + '/' + certificate + ".pem",
            certs + '/' + certificate + ".key", QString::number(port), serverRoot.path()});
    const auto stop = qScopeGuard([&server] {
        server.kill();
        server.waitForFinished(5000);
    });
    QVERIFY(server.waitForReadyRead(20000));
    QCOMPARE(server.readLine().trimmed(), QByteArray("ready"));

    auto engine = engineFor({link});
    QVERIFY(engine);
    EngineSignalLog log(engine.get());
    engine->beginDownload();
    QVERIFY(waitForEnd(log));
    // Nothing went to port 80 in the clear.
    QCOMPARE(httpRequests(0), QStringList());

    if (refusal < 0) {
        QCOMPARE(log.of("error"), QStringList());
        QCOMPARE(readFile(engine->workDirectory() + "one.zip"), pattern(1000, 'a'));
        return;
    }
    QCOMPARE(log.of("error").size(), 1);
    const QString error = log.of("error").first();
    const QString reason = QSslError(QSslError::SslError(refusal)).errorString();
    QVERIFY2(error.contains(QString::fromLatin1(PackageHost)) && error.contains(reason),
        qPrintable(error + "\nexpected the reason: " + reason));
    QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
}

QTEST_GUILESS_MAIN(tst_EngineDownload)
#include "tst_engine_download.moc"
