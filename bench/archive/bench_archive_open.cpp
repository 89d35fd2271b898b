// Opening a large archive: the time VellArchiveModule's constructor takes and
// the memory the process holds afterwards, for an archive that was never
// analysed (no planner statistics: the module gathers them) beside the same
// archive fully analysed. Each opening runs in a fresh process; the two take
// turns (A B A B), the ratio taken per pair.
//
//   bench-archive-open ARCHIVE [PAIRS]
//
// ARCHIVE is a kept archive, for example the one bench-archive-search fills
// (1,000,000 messages). Its statistics are rewritten between the runs, nothing
// else.
//
// Then a small archive is opened while this process holds an exclusive lock
// on it (BEGIN EXCLUSIVE and a write, kept until the opening ended), in each
// journal mode: the constructor must give up within one lock wait.

#include "Interleaved.h"
#include "VellArchiveModule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

namespace {

// kB of a "VmRSS:"-like line of /proc/self/status.
long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

int openOnce(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    VellArchive::VellArchiveModule module(path);
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("%.1f %ld %ld\n", ms, statusKb("VmRSS:"), statusKb("VmHWM:"));
    return 0;
}

bool exec(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    char *error = nullptr;
    const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK;
    if (!ok) {
        std::fprintf(stderr, "%s: %s\n", sql, error);
        sqlite3_free(error);
    }
    sqlite3_close(db);
    return ok;
}

struct Opening
{
    double ms = 0;
    double rssMb = 0;
    double peakMb = 0;
};

Opening openInChild(const QString &program, const QString &path)
{
    QProcess child;
    child.start(program, {QStringLiteral("--child"), path});
    child.waitForFinished(-1);
    const QList<QByteArray> values = child.readAllStandardOutput().trimmed().split(' ');
    Opening opening;
    opening.ms = values.value(0).toDouble();
    opening.rssMb = values.value(1).toDouble() / 1024;
    opening.peakMb = values.value(2).toDouble() / 1024;
    return opening;
}

// Opens a small archive in a child process while this one holds a write lock on it.
Opening openUnderForeignLock(const QString &program, const char *journalMode)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("locked.db"));
    {
        VellArchive::VellArchiveModule create(path);
    }
    exec(path, journalMode);
    sqlite3 *holder = nullptr;
    sqlite3_open(path.toUtf8().constData(), &holder);
    sqlite3_exec(holder,
        "BEGIN EXCLUSIVE; INSERT INTO SMS(ID, Time, Sender) VALUES(NULL, '2009-03-01T14:05:00', "
        "'holder')",
        nullptr, nullptr, nullptr);
    const Opening opening = openInChild(program, path);
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    return opening;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--child")) {
        return openOnce(args.at(2));
    }
    if (args.size() < 2 || !QFile::exists(args.at(1))) {
        std::fprintf(stderr, "usage: bench-archive-open ARCHIVE [PAIRS]\n");
        return 2;
    }
    const QString path = args.at(1);
    const int pairs = args.size() > 2 ? qMax(1, args.at(2).toInt()) : 5;

    // The full statistics, gathered once and kept aside for the analysed runs.
    QElapsedTimer analysing;
    analysing.start();
    if (!exec(path,
            "PRAGMA analysis_limit = 0; ANALYZE; "
            "CREATE TABLE IF NOT EXISTS main.bench_saved_stat1 AS SELECT * FROM sqlite_stat1 "
            "WHERE 0; DELETE FROM main.bench_saved_stat1; INSERT INTO main.bench_saved_stat1 "
            "SELECT * FROM sqlite_stat1")) {
        return 1;
    }
    std::printf("full ANALYZE of %s: %.1f s\n", qPrintable(path), analysing.elapsed() / 1000.0);

    std::vector<Opening> never, analysed;
    const Interleaved time(
        [&] {
            exec(path, "DROP TABLE IF EXISTS sqlite_stat1");
            never.push_back(openInChild(app.applicationFilePath(), path));
            return never.back().ms;
        },
        [&] {
            exec(path,
                "ANALYZE Users; DELETE FROM sqlite_stat1; INSERT INTO sqlite_stat1 SELECT * "
                "FROM main.bench_saved_stat1");
            analysed.push_back(openInChild(app.applicationFilePath(), path));
            return analysed.back().ms;
        },
        pairs);
    exec(path, "DROP TABLE IF EXISTS main.bench_saved_stat1");

    std::printf("\nopening (constructor), each in a fresh process; A = never analysed, "
                "B = analysed\n");
    std::printf("%5s %12s %12s %8s %12s %12s %12s %12s\n", "pair", "A ms", "B ms", "A/B",
        "A RSS MB", "B RSS MB", "A peak MB", "B peak MB");
    std::vector<double> rssA, rssB, peakA, peakB, rssRatios;
    for (int pair = 0; pair < pairs; ++pair) {
        const Opening &a = never.at(pair);
        const Opening &b = analysed.at(pair);
        std::printf("%5d %12.1f %12.1f %8.2f %12.1f %12.1f %12.1f %12.1f\n", pair + 1, a.ms, b.ms,
            time.ratios.at(pair), a.rssMb, b.rssMb, a.peakMb, b.peakMb);
        rssA.push_back(a.rssMb);
        rssB.push_back(b.rssMb);
        peakA.push_back(a.peakMb);
        peakB.push_back(b.peakMb);
        rssRatios.push_back(a.rssMb / b.rssMb);
    }
    std::printf("%5s %12.1f %12.1f %8.2f %12.1f %12.1f %12.1f %12.1f   (RSS ratio %.2f)\n",
        "median", time.medianA(), time.medianB(), time.medianRatio(), median(rssA), median(rssB),
        median(peakA), median(peakB), median(rssRatios));
    std::printf("targets for A: under 500 ms, under 50 MB resident\n");

    std::printf("\nopening while another process holds an exclusive lock (target: at most one "
                "lock wait, 5000 ms)\n");
    for (const char *mode : {"PRAGMA journal_mode = DELETE", "PRAGMA journal_mode = WAL"}) {
        const Opening locked = openUnderForeignLock(app.applicationFilePath(), mode);
        std::printf("  %-30s %10.1f ms\n", mode, locked.ms);
    }
    return 0;
}
