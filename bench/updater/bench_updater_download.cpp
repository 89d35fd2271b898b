// Download benchmark: the engine fetches one large package from nginx on
// loopback (inside a private network namespace) beside curl fetching the same
// file from the same server, and a download broken at 90% by a proxy that
// resets the connection (tools/updateserver/cutting-proxy.py): the engine
// resumes it within its run, curl resumes it with "-C -" from the partial file.
// Each round runs curl, the engine, the broken curl, the broken engine, so
// that all four meet the same load and page cache; prints each round's
// throughputs and ratios, the medians of the per-round ratios, and the peak
// memory before and after all the engine's runs.
//
//   bench-updater-download [size in MiB, default 200] [rounds, default 5]

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

bool waitForPort(const QString &address)
{
    for (int i = 0; i < 200; ++i) {
        QTcpSocket probe;
        probe.connectToHost(address, 80);
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

/** A server started for the benchmark, asked to end (SIGTERM) with it. */
class ServerProcess
{
public:
    ~ServerProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000)) {
                process.kill();
                process.waitForFinished(5000);
            }
        }
    }

    /** Starts program, its output to output, and waits until it accepts connections on port 80. */
    bool start(const QString &program, const QStringList &arguments, const QString &address,
        const QString &output)
    {
        process.setStandardOutputFile(output);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, arguments);
        return process.waitForStarted(10000) && waitForPort(address);
    }

private:
    QProcess process;
};

// The engine fetches packages from port 80 only: the proxy listens on
// another loopback address.
const QString ProxyAddress = QStringLiteral("127.0.0.2");
const QString PackageUrl = QStringLiteral("http://127.0.0.1/package.zip");
const QString BrokenPackageUrl = QStringLiteral("http://127.0.0.2/package.zip");

/** curl with arguments; the time in ms, or -1 when its exit status is not expectedStatus. */
qint64 timeCurl(const QStringList &arguments, int expectedStatus = 0)
{
    QElapsedTimer timer;
    timer.start();
    QProcess curl;
    curl.start(QStringLiteral("curl"), QStringList {QStringLiteral("-s")} + arguments);
    if (!curl.waitForFinished(600000) || curl.exitStatus() != QProcess::NormalExit
        || curl.exitCode() != expectedStatus) {
        return -1;
    }
    return timer.elapsed();
}

/** curl fetching the whole package into output; the time in ms, or -1. */
qint64 timeCurlWhole(const QString &output)
{
    return timeCurl({QStringLiteral("-f"), QStringLiteral("-o"), output, PackageUrl});
}

/**
 * curl fetching the package through the proxy, which breaks the connection
 * (curl's status 18, transfer closed with bytes left, or 56, a reset), then
 * curl -C - fetching the rest into the same file; the time of both in ms, or
 * -1 when the break did not happen or the file is not whole.
 */
qint64 timeCurlResumed(const QString &output, qint64 expectedSize)
{
    const QStringList fetch {QStringLiteral("-f"), QStringLiteral("-o"), output, BrokenPackageUrl};
    QElapsedTimer timer;
    timer.start();
    if (timeCurl(fetch, 56) < 0 && timeCurl(fetch, 18) < 0) {
        return -1;
    }
    if (timeCurl(QStringList {QStringLiteral("-C"), QStringLiteral("-")} + fetch) < 0) {
        return -1;
    }
    const qint64 ms = timer.elapsed();
    const bool whole = QFileInfo(output).size() == expectedSize;
    QFile::remove(output);
    return whole ? ms : -1;
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

/** An engine whose client reports component in version 1.0, its check made. */
bool checkUpdates(VellUpdaterEngine &engine, const QString &client, const QString &component)
{
    engine.setClientProgram(client);
    return writeStubClient(client, queryFor({QStringLiteral("vell %1 app 1.0").arg(component)}))
        && engine.checkUpdates() && engine.updatesAvailable();
}

CatalogueEntry offer(const QString &component, const QString &link)
{
    CatalogueEntry entry;
    entry.project = QStringLiteral("vell");
    entry.name = component;
    entry.type = QStringLiteral("app");
    entry.version = QStringLiteral("2.0");
    entry.link = link;
    return entry;
}

} // namespace

int main(int argc, char *argv[])
{
    TestNamespace::reexecInsideNetwork(argc, argv);
    QCoreApplication app(argc, argv);
    const qint64 sizeMiB = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 5;
    if (sizeMiB <= 0 || rounds <= 0) {
        return fail("the size and the number of rounds must be positive");
    }
    const qint64 size = sizeMiB * 1024 * 1024;
    // The break comes at 90%: every resumed request asks for less than that,
    // so the proxy, which cuts any connection that reaches it, cuts only the
    // first fetch of each broken download.
    const qint64 breakAt = size / 10 * 9;

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

    ServerProcess nginx;
    if (!nginx.start(QStringLiteral("/bin/bash"),
            {QStringLiteral(VELL_TOOLS_DIR "/updateserver/serve-with-nginx.sh"),
                QStringLiteral("--root"), root, QStringLiteral("--scratch"),
                dir.filePath(QStringLiteral("nginx"))},
            QStringLiteral("127.0.0.1"), QProcess::nullDevice())) {
        return fail("nginx did not start");
    }
    // Two cuts a round: curl's and the engine's broken downloads.
    ServerProcess proxy;
    const QString proxyLog = dir.filePath(QStringLiteral("proxy.log"));
    if (!proxy.start(QStringLiteral("python3"),
            {QStringLiteral(VELL_TOOLS_DIR "/updateserver/cutting-proxy.py"),
                QStringLiteral("--listen"), QStringLiteral("80"), QStringLiteral("--bind"),
                ProxyAddress, QStringLiteral("--upstream"), QStringLiteral("80"),
                QStringLiteral("--cut-after"), QString::number(breakAt), QStringLiteral("--cuts"),
                QString::number(2 * rounds)},
            ProxyAddress, proxyLog)) {
        return fail("the proxy did not start");
    }

    const QString catalogue = dir.filePath(QStringLiteral("catalogue"));
    UpdateServerProcess updateServer;
    if (!writeCatalogue(catalogue,
            {offer(QStringLiteral("bench"), PackageUrl),
                offer(QStringLiteral("broken"), BrokenPackageUrl)})
        || !updateServer.start(catalogue)) {
        return fail("cannot start the update server");
    }
    ScopedEnvironment address(VellUpdateServerAddress::EnvironmentVariable, updateServer.address());
    VellUpdaterEngine engine;
    VellUpdaterEngine brokenEngine;
    if (!checkUpdates(engine, dir.filePath(QStringLiteral("client/vell")), QStringLiteral("bench"))
        || !checkUpdates(brokenEngine, dir.filePath(QStringLiteral("broken-client/vell")),
            QStringLiteral("broken"))) {
        return fail("the update check failed");
    }

    // One unmeasured fetch first, so that every measured run finds the file
    // in the page cache.
    if (timeCurlWhole(QProcess::nullDevice()) < 0) {
        return fail("curl failed");
    }
    const qint64 peakBeforeKiB = statusFigureKiB("VmHWM:");
    const QString curlOutput = dir.filePath(QStringLiteral("curl.zip"));
    std::printf("package: %lld MiB from nginx over loopback; broken at %lld bytes (90%%) by a "
                "proxy, resumed;\n%d rounds of curl, engine, curl -C -, engine resuming\n",
        static_cast<long long>(sizeMiB), static_cast<long long>(breakAt), rounds);
    std::printf("%5s %11s %11s %7s | %11s %11s %7s   (MiB/s)\n", "round", "curl", "engine", "ratio",
        "curl -C -", "engine", "ratio");
    std::vector<double> wholeRatios;
    std::vector<double> resumedRatios;
    for (int round = 1; round <= rounds; ++round) {
        const qint64 curlMs = timeCurlWhole(curlOutput);
        QFile::remove(curlOutput);
        const qint64 engineMs = timeEngine(engine, size);
        const qint64 curlResumedMs = timeCurlResumed(curlOutput, size);
        const qint64 engineResumedMs = timeEngine(brokenEngine, size);
        if (curlMs < 0 || engineMs < 0) {
            return fail(curlMs < 0 ? "curl failed" : "the engine's download failed");
        }
        if (curlResumedMs < 0 || engineResumedMs < 0) {
            return fail(curlResumedMs < 0 ? "curl's broken download did not break or resume"
                                          : "the engine did not complete the broken download");
        }
        const double curlRate = mibPerSecond(size, curlMs);
        const double engineRate = mibPerSecond(size, engineMs);
        const double curlResumedRate = mibPerSecond(size, curlResumedMs);
        const double engineResumedRate = mibPerSecond(size, engineResumedMs);
        wholeRatios.push_back(engineRate / curlRate);
        resumedRatios.push_back(engineResumedRate / curlResumedRate);
        std::printf("%5d %11.1f %11.1f %7.2f | %11.1f %11.1f %7.2f\n", round, curlRate, engineRate,
            wholeRatios.back(), curlResumedRate, engineResumedRate, resumedRatios.back());
        std::fflush(stdout);
    }
    const auto summary = [](const char *what, std::vector<double> ratios) {
        std::sort(ratios.begin(), ratios.end());
        std::printf("%s: median %.2f, lowest %.2f, highest %.2f\n", what, ratios[ratios.size() / 2],
            ratios.front(), ratios.back());
    };
    // Every broken download was broken once and resumed once, or the figures
    // above measure something else.
    const int cuts = readFile(proxyLog).count("cut connection");
    const int resumed
        = readFile(dir.filePath(QStringLiteral("nginx/access.log"))).count(" status=206 ");
    if (cuts != 2 * rounds || resumed != 2 * rounds) {
        std::fprintf(stderr, "bench-updater-download: %d cuts and %d resumed answers, not %d\n",
            cuts, resumed, 2 * rounds);
        return 1;
    }
    std::printf("%d downloads broken, %d resumed with a 206 answer\n", cuts, resumed);
    summary("engine / curl", wholeRatios);
    summary("engine resuming / curl -C -", resumedRatios);
    std::printf("peak memory before the downloads: %6.1f MiB\n", peakBeforeKiB / 1024.0);
    std::printf("peak memory after %d rounds:      %6.1f MiB\n", rounds,
        statusFigureKiB("VmHWM:") / 1024.0);
    return 0;
}
