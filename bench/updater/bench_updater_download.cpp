// Download benchmark: the engine fetches one large package from python's
// http.server on loopback port 80 (inside a private network namespace), beside
// curl fetching the same file from the same server; prints both throughputs
// and the whole run's peak memory.
//
//   bench-updater-download [size in MiB, default 200]

#include "EngineTestSupport.h"
#include "TestFiles.h"
#include "VellUpdateServerAddress.h"
#include "VellUpdaterEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

qint64 statusFigureKiB(const char *key)
{
    const QByteArray status = readFile(QStringLiteral("/proc/self/status"));
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

double mibPerSecond(qint64 bytes, qint64 ms)
{
    return ms > 0 ? bytes / 1048576.0 / (ms / 1000.0) : 0.0;
}

bool waitForPort80()
{
    for (int i = 0; i < 200; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), 80);
        if (probe.waitForConnected(100))
            return true;
        QThread::msleep(50);
    }
    return false;
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench-updater-download: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    reexecInNetworkNamespace(argc, argv, {});
    QCoreApplication app(argc, argv);
    const qint64 sizeMiB = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;
    if (sizeMiB <= 0)
        return fail("the size must be a positive number of MiB");
    const qint64 size = sizeMiB * 1024 * 1024;

    QTemporaryDir dir;
    if (!dir.isValid())
        return fail("no temporary folder");
    const QString root = dir.filePath(QStringLiteral("www"));
    QFile package(root + QStringLiteral("/package.zip"));
    if (!QDir().mkpath(root) || !package.open(QIODevice::WriteOnly) || !package.resize(size))
        return fail("cannot create the package");
    package.close();
    QDir().mkpath(dir.filePath(QStringLiteral("tmp")));
    ScopedEnvironment tmp("TMPDIR", QFile::encodeName(dir.filePath(QStringLiteral("tmp"))));

    QProcess http;
    http.setStandardOutputFile(QProcess::nullDevice());
    http.setStandardErrorFile(QProcess::nullDevice());
    http.start(QStringLiteral("python3"),
        {QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("80"),
            QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"),
            root});
    if (!http.waitForStarted(10000) || !waitForPort80())
        return fail("the HTTP server did not start");

    // One unmeasured fetch first, so both measured runs find the file in the page cache.
    const auto runCurl = [&](const QString &output) {
        QProcess curl;
        curl.start(QStringLiteral("curl"),
            {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-o"), output,
                QStringLiteral("http://127.0.0.1/package.zip")});
        return curl.waitForFinished(600000) && curl.exitStatus() == QProcess::NormalExit
            && curl.exitCode() == 0;
    };
    if (!runCurl(QProcess::nullDevice()))
        return fail("curl failed");
    QElapsedTimer timer;
    timer.start();
    if (!runCurl(dir.filePath(QStringLiteral("curl.zip"))))
        return fail("curl failed");
    const qint64 curlMs = timer.elapsed();
    QFile::remove(dir.filePath(QStringLiteral("curl.zip")));

    CatalogueEntry entry;
    entry.project = QStringLiteral("vell");
    entry.name = QStringLiteral("bench");
    entry.type = QStringLiteral("app");
    entry.version = QStringLiteral("2.0");
    entry.link = QStringLiteral("http://127.0.0.1/package.zip");
    const QString client = dir.filePath(QStringLiteral("client/vell"));
    UpdateServerProcess updateServer;
    if (!writeCatalogue(dir.filePath(QStringLiteral("catalogue")), {entry})
        || !writeStubClient(client, queryFor({QStringLiteral("vell bench app 1.0")}))
        || !updateServer.start(dir.filePath(QStringLiteral("catalogue"))))
        return fail("cannot start the update server");
    ScopedEnvironment address(VellUpdateServerAddress::EnvironmentVariable, updateServer.address());

    VellUpdaterEngine engine;
    engine.setClientProgram(client);
    if (!engine.checkUpdates() || !engine.updatesAvailable())
        return fail("the update check failed");

    const qint64 peakBeforeKiB = statusFigureKiB("VmHWM:");
    QEventLoop loop;
    QString error;
    QObject::connect(&engine, &VellUpdaterEngine::downloadFinished, &loop, &QEventLoop::quit);
    QObject::connect(&engine, &VellUpdaterEngine::error, &loop, [&](const QString &text) {
        error = text;
        loop.quit();
    });
    timer.restart();
    engine.beginDownload();
    loop.exec();
    const qint64 engineMs = timer.elapsed();
    if (!error.isEmpty())
        return fail(qPrintable(error));
    const qint64 stored = QFileInfo(engine.workDirectory() + QStringLiteral("package.zip")).size();
    if (stored != size)
        return fail("the stored package has the wrong size");
    removeDir(engine.workDirectory());

    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("package size:             %lld MiB over loopback HTTP, port 80\n",
        static_cast<long long>(sizeMiB));
    std::printf("curl:                     %8.1f MiB/s  (%lld ms)\n", mibPerSecond(size, curlMs),
        static_cast<long long>(curlMs));
    std::printf("engine:                   %8.1f MiB/s  (%lld ms)\n", mibPerSecond(size, engineMs),
        static_cast<long long>(engineMs));
    std::printf("peak memory before:       %8.1f MiB\n", peakBeforeKiB / 1024.0);
    std::printf("peak memory, whole run:   %8.1f MiB\n", usage.ru_maxrss / 1024.0);

    http.kill();
    http.waitForFinished(5000);
    return 0;
}
