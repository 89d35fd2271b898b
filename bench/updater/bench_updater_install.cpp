// Installation and reinstallation time of update packages beside Info-ZIP's
// unzip of the same archive into the same file system, as ratios taken per
// round of interleaved runs (their median printed), with the part of the
// installation spent waiting for the disk (the syncs that make it crash-safe)
// and the peak memory. Each installation runs in a fresh process so that its
// peak resident size (ru_maxrss) is its own. A last table compares one fsync
// per file with the installer's batched sync.
//
//   bench-updater-install [--files N] [--big-mb M] [--rounds R] [--dir FOLDER]
#include "Update.h"
#include "VellFileSystem_p.h"
#include "VellInstallSteps_p.h"
#include "VellPackageBuilder.h"
#include "VellRootDirectory_p.h"
#include "VellSyncBatch_p.h"
#include "VellUpdatePackage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ChildProcessMeasure.h"
#include "NoiseFile.h"

#include <cstdio>
#include <vector>

namespace {

// The steps after which the installer has waited for the disk, and the clock
// at the step before each of them.
QElapsedTimer stepClock;
qint64 lastStepNs = 0;
qint64 syncNs = 0;

void timeSyncs(const char *step)
{
    const qint64 now = stepClock.nsecsElapsed();
    for (const char *sync :
        {"backups synced", "journal written", "installation synced", "run done"}) {
        if (qstrcmp(step, sync) == 0) {
            syncNs += now - lastStepNs;
        }
    }
    lastStepNs = now;
}

/// Child mode: installs one package, finishes the run and writes the seconds spent syncing.
int installChild(
    const QString &workDir, const QString &link, const QString &installDir, const QString &report)
{
    stepClock.start();
    VellInstallSteps::setHook(timeSyncs);
    Update update(
        "bench", "payload", "plugin", "1", "", "", "", "", "", "", link.toStdString(), false, 0);
    VellUpdatePackage package(&update, installDir);
    QString errorText;
    QStringList installed;
    if (!package.install(workDir, errorText, installed) || !package.finish(errorText)) {
        std::fprintf(stderr, "install failed: %s\n", qPrintable(errorText));
        return 1;
    }
    QFile file(report);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(syncNs / 1e9)) > 0 ? 0
                                                                                               : 1;
}

void readThrough(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.read(1 << 20).isEmpty()) { }
    }
}

double readSeconds(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toDouble() : 0;
}

/// Seconds to make @p count files of @p size bytes durable: one fsync each, or one batch.
double syncFiles(const QString &folder, int count, int size, bool batched)
{
    QDir().mkpath(folder);
    const QByteArray bytes(size, 'b');
    const VellRootDirectory root(folder);
    VellSyncBatch batch;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QStringLiteral("/f%1").arg(i);
        VellFileSystem::FileDescriptor fd(::open(
            QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (VellFileSystem::writeAll(fd.get(), bytes.constData(), size) != 0) {
            return -1;
        }
        if (batched) {
            batch.addFile(QStringLiteral("f%1").arg(i));
        } else if (::fsync(fd.get()) != 0) {
            return -1;
        }
    }
    batch.addFolder(QString());
    QString failed;
    int error = 0;
    if (!batch.run(root, failed, error)) {
        return -1;
    }
    return timer.nsecsElapsed() / 1e9;
}

/// The times of one measured step over the rounds.
struct Series
{
    std::vector<double> seconds;
    std::vector<double> syncSeconds;

    double ratioTo(const Series &baseline) const
    {
        std::vector<double> ratios;
        for (size_t i = 0; i < seconds.size(); ++i) {
            ratios.push_back(seconds[i] / baseline.seconds[i]);
        }
        return median(ratios);
    }
    double ratioWithoutSyncsTo(const Series &baseline) const
    {
        std::vector<double> ratios;
        for (size_t i = 0; i < seconds.size(); ++i) {
            ratios.push_back((seconds[i] - syncSeconds[i]) / baseline.seconds[i]);
        }
        return median(ratios);
    }
};

struct Case
{
    QString label;
    QString archive; // file name below the work directory
    int entries;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 6 && args.at(1) == QLatin1String("--child-install")) {
        return installChild(args.at(2), args.at(3), args.at(4), args.at(5));
    }
    int files = 1000;
    int bigMiB = 200;
    int rounds = 5;
    QString folder = QDir::tempPath();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--files")) {
            files = args.at(i + 1).toInt();
        } else if (args.at(i) == QLatin1String("--big-mb")) {
            bigMiB = args.at(i + 1).toInt();
        } else if (args.at(i) == QLatin1String("--rounds")) {
            rounds = qMax(1, args.at(i + 1).toInt());
        } else if (args.at(i) == QLatin1String("--dir")) {
            folder = args.at(i + 1);
        }
    }

    QTextStream out(stdout);
    QTemporaryDir temp(folder + QLatin1String("/bench-updater-install-XXXXXX"));
    if (!temp.isValid()) {
        out << "cannot create a temporary folder\n";
        return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    const QString work = temp.filePath(QStringLiteral("work"));
    QDir().mkpath(work);

    auto build = [&](const QString &name, const QString &source) {
        VellPackageBuilder builder(QStringLiteral("bench"), QStringLiteral("payload"),
            QStringLiteral("plugin"), QString());
        builder.setSourceDir(source);
        QString errorText;
        const bool built = builder.addAllFiles(&errorText)
            && builder.write(work + '/' + name, QString(), &errorText);
        if (!built) {
            out << errorText << '\n';
        }
        return built;
    };

    out << "preparing packages in " << temp.path() << " ...\n";
    out.flush();
    const QString many = temp.filePath(QStringLiteral("src-many"));
    for (int i = 0; i < files; ++i) {
        const QString path = QStringLiteral("%1/dir%2/file%3.dat").arg(many).arg(i % 20).arg(i);
        if (!writeNoiseFile(path, 1024 + (i * 7919) % 15360, quint64(i) + 1)) {
            out << "cannot write " << path << '\n';
            return 1;
        }
    }
    const QString big = temp.filePath(QStringLiteral("src-big"));
    if (!writeNoiseFile(big + QLatin1String("/big.dat"), qint64(bigMiB) << 20, 42)
        || !build(QStringLiteral("many.zip"), many) || !build(QStringLiteral("big.zip"), big)) {
        out << "cannot prepare the packages\n";
        return 1;
    }

    const QList<Case> cases {
        {QStringLiteral("%1 files").arg(files), QStringLiteral("many.zip"), files + 1},
        {QStringLiteral("1 file of %1 MiB").arg(bigMiB), QStringLiteral("big.zip"), 2},
    };

    out << "\nAll in " << temp.path() << " (one file system), " << rounds
        << " rounds interleaved (unzip, install, unzip -o, reinstall), each from a synced\n"
           "state as an installation updated long after it was made. Medians in seconds; "
           "ratios to unzip taken per round, their median printed.\n\n";
    out << "case               unzip s | install s  ratio  sync s  no-sync ratio | unzip -o s | "
           "reinstall s  ratio  sync s  no-sync ratio | peak MiB\n";
    for (const Case &c : cases) {
        const QString archive = work + '/' + c.archive;
        const QString install = temp.filePath(QStringLiteral("install-") + c.archive);
        const QString unzipped = temp.filePath(QStringLiteral("unzip-") + c.archive);
        const QString link = QStringLiteral("http://updates.example/") + c.archive;
        const QString report = temp.filePath(QStringLiteral("sync-seconds"));
        readThrough(archive); // the archive in the page cache for everybody
        Series unzip, fresh, unzipAgain, again;
        double peakMiB = 0;
        bool ok = true;
        // Every measured step starts with the earlier writes on disk, so that
        // neither side pays for the other's writeback.
        const auto timed = [&](Series &series, const QString &program, const QStringList &arguments,
                               bool reportsSyncs) {
            ::sync();
            const Measure m = measure(program, arguments);
            ok = ok && m.ok;
            series.seconds.push_back(m.seconds);
            series.syncSeconds.push_back(reportsSyncs ? readSeconds(report) : 0);
            peakMiB = qMax(peakMiB, reportsSyncs ? m.peakMiB : 0);
        };
        for (int round = 0; round < rounds; ++round) {
            timed(unzip, QStringLiteral("unzip"), {"-q", "-o", archive, "-d", unzipped}, false);
            timed(fresh, self, {"--child-install", work, link, install, report}, true);
            timed(
                unzipAgain, QStringLiteral("unzip"), {"-q", "-o", archive, "-d", unzipped}, false);
            timed(again, self, {"--child-install", work, link, install, report}, true);
            // Moved aside, not deleted: ext4 skips inodes freed within the last
            // minute when it allocates new ones, so mass deletions here would
            // slow down whichever side comes next.
            const QString aside
                = temp.filePath(QStringLiteral("aside/%1-%2").arg(c.archive).arg(round));
            QDir().mkpath(aside);
            QDir().rename(install, aside + QLatin1String("/install"));
            QDir().rename(unzipped, aside + QLatin1String("/unzip"));
        }
        if (!ok) {
            out << c.label << ": FAILED\n";
            continue;
        }
        out << qSetFieldWidth(18) << Qt::left << c.label << qSetFieldWidth(0)
            << QStringLiteral("%1 | %2  %3  %4  %5 | %6 | %7  %8  %9  %10 | %11")
                   .arg(median(unzip.seconds), 8, 'f', 3)
                   .arg(median(fresh.seconds), 9, 'f', 3)
                   .arg(fresh.ratioTo(unzip), 5, 'f', 2)
                   .arg(median(fresh.syncSeconds), 6, 'f', 3)
                   .arg(fresh.ratioWithoutSyncsTo(unzip), 13, 'f', 2)
                   .arg(median(unzipAgain.seconds), 10, 'f', 3)
                   .arg(median(again.seconds), 11, 'f', 3)
                   .arg(again.ratioTo(unzipAgain), 5, 'f', 2)
                   .arg(median(again.syncSeconds), 6, 'f', 3)
                   .arg(again.ratioWithoutSyncsTo(unzipAgain), 13, 'f', 2)
                   .arg(peakMiB, 8, 'f', 1)
            << '\n';
        out.flush();
    }
    out << "\nratio: install to unzip into an empty folder, reinstall to unzip -o over its "
           "first output.\nsync s: the part of the installation spent waiting for the disk (the "
           "backups and the journal before the first change, the installed files and folders "
           "before the run is marked done); no-sync ratio leaves it out.\n";

    out << "\nMaking " << files << " new files of 8 KiB durable:\n";
    const double each = syncFiles(temp.filePath(QStringLiteral("sync-each")), files, 8192, false);
    const double batched
        = syncFiles(temp.filePath(QStringLiteral("sync-batched")), files, 8192, true);
    out << QStringLiteral("  one fsync per file  %1 s\n  one batch           %2 s\n")
               .arg(each, 0, 'f', 2)
               .arg(batched, 0, 'f', 2);
    return 0;
}
