// Download benchmark: the engine fetches one large package from python's
// http.server on loopback port 80 (inside a private network namespace), and
// curl fetches the same file from the same server. The two take turns, curl
// then the engine, pair after pair (A B A B ...), so that both meet the same
// load and page cache; prints each pair's throughputs and their ratio, the
// median ratio, and the peak memory before and after all the engine's runs.
//
//   bench-updater-download [size in MiB, default 200] [pairs, default 5]

#include "EngineTestSupport.h"
#include "TestFiles.h"
#include "TestNamespace.h"
#include "VellUpdateServerAddress.h"
#include "VellUpdaterEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

qint64 statusFigureKiB(const char *key)
{
    const QByteArray status = readFile(QStringLiteral("/proc/self/status"));
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(qstrlen(key)).trimmed().split(' ').first().toLongLong();
        }
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
        if (probe.waitForConnected(100)) {
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench-updater-download: %s\n", what);
    return 1;
}

const QString PackageUrl = QStringLiteral("http://127.0.0.1/package.zip");

/** curl fetching the package into output; the time in ms, or -1 on failure. */
qint64 timeCurl(const QString &output)
{
    QElapsedTimer timer;
    timer.start();
    QProcess curl;
    curl.start(QStringLiteral("curl"),
        {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-o"), output, PackageUrl});
    if (!curl.waitForFinished(600000) || curl.exitStatus() != QProcess::NormalExit
        || curl.exitCode() != 0) {
        return -1;
    }
    return timer.elapsed();
}

/** One whole download run of the engine (HEAD and GET); the time in ms, or -1. */
qint64 timeEngine(VellUpdaterEngine &engine, qint64 expectedSize)
{
    QEventLoop loop;
    bool failed = false;
    const auto finished
        = QObject::connect(&engine, &VellUpdaterEngine::downloadFinished, &loop, &QEventLoop::quit);
    const auto error
        = QObject::connect(&engine, &VellUpdaterEngine::error, &loop, [&](const QString &text) {
              std::fprintf(stderr, "bench-updater-download: %s\n", qPrintable(text));
              failed = true;
              loop.quit();
          });
    QElapsedTimer timer;
    timer.start();
    engine.beginDownload();
    loop.exec();
    const qint64 ms = timer.elapsed();
    QObject::disconnect(finished);
    QObject::disconnect(error);
    const QString stored = engine.workDirectory() + QStringLiteral("package.zip");
    const bool complete = QFileInfo(stored).size() == expectedSize;
    removeDir(engine.workDirectory());
    return failed || !complete ? -1 : ms;
}

} // namespace

int main(int argc, char *argv[])
{
    TestNamespace::reexecInsideNetwork(argc, argv);
    QCoreApplication app(argc, argv);
    const qint64 sizeMiB = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;
    const int pairs = argc > 2 ? QByteArray(argv[2]).toInt() : 5;
    if (sizeMiB <= 0 || pairs <= 0) {
        return fail("the size and the number of pairs must be positive");
    }
    const qint64 size = sizeMiB * 1024 * 1024;

    QTemporaryDir dir;
    if (!dir.isValid()) {
        return fail("no temporary folder");
    }
    const QString root = dir.filePath(QStringLiteral("www"));
    QFile package(root + QStringLiteral("/package.zip"));
    if (!QDir().mkpath(root) || !package.open(QIODevice::WriteOnly) || !package.resize(size)) {
        return fail("cannot create the package");
    }
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
    if (!http.waitForStarted(10000) || !waitForPort80()) {
        return fail("the HTTP server did not start");
    }

    CatalogueEntry entry;
    entry.project = QStringLiteral("vell");
    entry.name = QStringLiteral("bench");
    entry.type = QStringLiteral("app");
    entry.version = QStringLiteral("2.0");
    entry.link = PackageUrl;
    const QString client = dir.filePath(QStringLiteral("client/vell"));
    UpdateServerProcess updateServer;
    if (!writeCatalogue(dir.filePath(QStringLiteral("catalogue")), {entry})
        || !writeStubClient(client, queryFor({QStringLiteral("vell bench app 1.0")}))
        || !updateServer.start(dir.filePath(QStringLiteral("catalogue")))) {
        return fail("cannot start the update server");
    }
    ScopedEnvironment address(VellUpdateServerAddress::EnvironmentVariable, updateServer.address());

    VellUpdaterEngine engine;
    engine.setClientProgram(client);
    if (!engine.checkUpdates() || !engine.updatesAvailable()) {
        return fail("the update check failed");
    }

    // One unmeasured fetch first, so that every measured run finds the file
    // in the page cache.
    if (timeCurl(QProcess::nullDevice()) < 0) {
        return fail("curl failed");
    }
    const qint64 peakBeforeKiB = statusFigureKiB("VmHWM:");
    const QString curlOutput = dir.filePath(QStringLiteral("curl.zip"));
    std::printf("package: %lld MiB over loopback HTTP, port 80; %d pairs, curl then engine\n",
        static_cast<long long>(sizeMiB), pairs);
    std::printf("%4s %14s %14s %8s\n", "pair", "curl MiB/s", "engine MiB/s", "ratio");
    std::vector<double> ratios;
    for (int pair = 1; pair <= pairs; ++pair) {
        const qint64 curlMs = timeCurl(curlOutput);
        QFile::remove(curlOutput);
        const qint64 engineMs = timeEngine(engine, size);
        if (curlMs < 0 || engineMs < 0) {
            return fail(curlMs < 0 ? "curl failed" : "the engine's download failed");
        }
        const double curlRate = mibPerSecond(size, curlMs);
        const double engineRate = mibPerSecond(size, engineMs);
        ratios.push_back(engineRate / curlRate);
        std::printf("%4d %14.1f %14.1f %8.2f\n", pair, curlRate, engineRate, ratios.back());
        std::fflush(stdout);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("engine / curl: median %.2f, lowest %.2f, highest %.2f\n",
        ratios[ratios.size() / 2], ratios.front(), ratios.back());
    std::printf("peak memory before the downloads: %6.1f MiB\n", peakBeforeKiB / 1024.0);
    std::printf(
        "peak memory after %d downloads:   %6.1f MiB\n", pairs, statusFigureKiB("VmHWM:") / 1024.0);

    http.kill();
    http.waitForFinished(5000);
    return 0;
}
