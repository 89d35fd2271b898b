// Verification time and peak memory of a large signed package (200 MiB by
// default), beside "minisign -V" on the same file and signature. Both run as
// child processes measured alike (wall time, ru_maxrss), interleaved A B A B
// so that neither profits from running second; each pair's ratio is printed.
// Prehashed ("ED", minisign's default) and legacy ("Ed") signatures.
//
//   bench-updater-verify [--mb N] [--pairs P]
#include "Component.h"
#include "VellPackageVerifier.h"
#include "VellTrustedComment.h"
#include "VellTrustedKeys.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ChildProcessMeasure.h"
#include "NoiseFile.h"
#include <algorithm>

#include <cstdio>
#include <vector>

namespace {

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    process.closeWriteChannel();
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

/// The child: verifies one package as the engine does; exit status 0 when accepted.
int verifyOne(const QStringList &args)
{
    const Component component("vell", "core", "app", "2.0", "", "", "", "", "");
    const VellPackageVerifier verifier(VellTrustedKeys::fromFolder(args.at(2)));
    return verifier.verify(args.at(3), args.at(4), component)
            == VellPackageVerifier::Verdict::Accepted
        ? 0
        : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args.at(1) == QLatin1String("--child-verify")) {
        return verifyOne(args);
    }
    qint64 megabytes = 200;
    int pairs = 5;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--mb")) {
            megabytes = args.at(i + 1).toLongLong();
        } else if (args.at(i) == QLatin1String("--pairs")) {
            pairs = args.at(i + 1).toInt();
        }
    }

    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString keys = dir.filePath(QStringLiteral("update-keys"));
    const QString package = dir.filePath(QStringLiteral("core-2.0.zip"));
    const QString publicKey = keys + QStringLiteral("/minisign.pub");
    const QString secretKey = dir.filePath(QStringLiteral("minisign.sec"));
    if (!dir.isValid() || !QDir().mkpath(keys) || !writeNoiseFile(package, megabytes << 20)
        || !run(QStringLiteral("minisign"), {"-G", "-W", "-f", "-p", publicKey, "-s", secretKey})) {
        std::fprintf(stderr, "bench-updater-verify: could not prepare the package or the key\n");
        return 1;
    }
    const QString comment
        = QString::fromLatin1(VellTrustedComment::forComponent("vell", "core", "app", "2.0"));
    const QString self = QCoreApplication::applicationFilePath();

    out << "Verification of a " << megabytes << " MiB signed package: the updater's verifier "
        << "beside minisign -V, both as child processes, interleaved A B A B.\n";
    for (const bool legacy : {false, true}) {
        const QString signature = package + (legacy ? ".legacy.minisig" : ".minisig");
        QStringList signArguments {
            "-S", "-s", secretKey, "-m", package, "-x", signature, "-t", comment};
        if (legacy) {
            signArguments << "-l";
        }
        if (!run(QStringLiteral("minisign"), signArguments)) {
            std::fprintf(stderr, "bench-updater-verify: minisign -S failed\n");
            return 1;
        }
        const QStringList ours {"--child-verify", keys, package, signature};
        const QStringList theirs {"-V", "-q", "-p", publicKey, "-m", package, "-x", signature};
        // Both read the file once first, so the page cache is warm for every pair.
        measure(self, ours);
        measure(QStringLiteral("minisign"), theirs);

        out << '\n'
            << (legacy ? "legacy (\"Ed\", the file itself signed)"
                       : "prehashed (\"ED\", BLAKE2b-512 of the file)")
            << ":\n  pair  updater s  minisign s  ratio  updater peak MiB  minisign peak MiB\n";
        std::vector<double> ratios;
        for (int pair = 1; pair <= pairs; ++pair) {
            const Measure a = measure(self, ours);
            const Measure b = measure(QStringLiteral("minisign"), theirs);
            if (!a.ok || !b.ok) {
                std::fprintf(stderr, "bench-updater-verify: a verification failed (%s)\n",
                    a.ok ? "minisign" : "updater");
                return 1;
            }
            ratios.push_back(a.seconds / b.seconds);
            out << QStringLiteral("  %1  %2  %3  %4  %5  %6\n")
                       .arg(pair, 4)
                       .arg(a.seconds, 9, 'f', 3)
                       .arg(b.seconds, 10, 'f', 3)
                       .arg(ratios.back(), 5, 'f', 2)
                       .arg(a.peakMiB, 16, 'f', 1)
                       .arg(b.peakMiB, 17, 'f', 1);
        }
        out << QStringLiteral("  median ratio (updater / minisign): %1\n")
                   .arg(median(ratios), 0, 'f', 2);
    }
    return 0;
}
