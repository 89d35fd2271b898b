// Installation time and peak memory of update packages, beside Info-ZIP's
// unzip of the same archive. Each installation runs in a fresh process so
// that its peak resident size (ru_maxrss) is its own.
//
//   bench-updater-install [--files N] [--big-mb M]
#include "Update.h"
#include "VellPackageBuilder.h"
#include "VellUpdatePackage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace {

struct Measure
{
    bool ok = false;
    double seconds = 0;
    double peakMiB = 0;
};

/// Runs @p program with @p arguments and measures the child alone.
Measure measure(const QString &program, const QStringList &arguments)
{
    std::vector<QByteArray> storage {QFile::encodeName(program)};
    for (const QString &argument : arguments) {
        storage.push_back(argument.toLocal8Bit());
    }
    std::vector<char *> argv;
    for (QByteArray &item : storage) {
        argv.push_back(item.data());
    }
    argv.push_back(nullptr);

    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    Measure result;
    int status = 0;
    rusage usage {};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        result.seconds = timer.nsecsElapsed() / 1e9;
        result.peakMiB = usage.ru_maxrss / 1024.0; // kilobytes on Linux
        result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return result;
}

/// Deterministic bytes that deflate cannot shrink much, written in chunks.
bool writeNoise(const QString &path, qint64 size, quint64 seed)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    std::vector<quint64> chunk(64 * 1024 / sizeof(quint64));
    quint64 state = seed * 0x9E3779B97F4A7C15ULL + 1;
    for (qint64 written = 0; written < size;) {
        for (quint64 &word : chunk) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const qint64 part = qMin<qint64>(size - written, qint64(chunk.size() * sizeof(quint64)));
        if (file.write(reinterpret_cast<const char *>(chunk.data()), part) != part) {
            return false;
        }
        written += part;
    }
    return true;
}

/// Child mode: installs one package and exits 0 on success.
int installChild(const QString &workDir, const QString &link, const QString &installDir)
{
    Update update(
        "bench", "payload", "plugin", "1", "", "", "", "", "", "", link.toStdString(), false, 0);
    VellUpdatePackage package(&update, installDir);
    QString errorText;
    QStringList installed;
    if (!package.install(workDir, errorText, installed)) {
        std::fprintf(stderr, "install failed: %s\n", qPrintable(errorText));
        return 1;
    }
    return 0;
}

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
    if (args.size() == 5 && args.at(1) == QLatin1String("--child-install")) {
        return installChild(args.at(2), args.at(3), args.at(4));
    }
    int files = 1000;
    int bigMiB = 200;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--files")) {
            files = args.at(i + 1).toInt();
        } else if (args.at(i) == QLatin1String("--big-mb")) {
            bigMiB = args.at(i + 1).toInt();
        }
    }

    QTextStream out(stdout);
    QTemporaryDir temp;
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
        if (!writeNoise(path, 1024 + (i * 7919) % 15360, quint64(i) + 1)) {
            out << "cannot write " << path << '\n';
            return 1;
        }
    }
    const QString big = temp.filePath(QStringLiteral("src-big"));
    const QString quarter = temp.filePath(QStringLiteral("src-quarter"));
    if (!writeNoise(big + QLatin1String("/big.dat"), qint64(bigMiB) << 20, 42)
        || !writeNoise(quarter + QLatin1String("/big.dat"), (qint64(bigMiB) << 20) / 4, 43)
        || !build(QStringLiteral("many.zip"), many) || !build(QStringLiteral("big.zip"), big)
        || !build(QStringLiteral("quarter.zip"), quarter)) {
        out << "cannot prepare the packages\n";
        return 1;
    }

    const QList<Case> cases {
        {QStringLiteral("%1 files").arg(files), QStringLiteral("many.zip"), files + 1},
        {QStringLiteral("1 file of %1 MiB").arg(bigMiB / 4), QStringLiteral("quarter.zip"), 2},
        {QStringLiteral("1 file of %1 MiB").arg(bigMiB), QStringLiteral("big.zip"), 2},
    };

    out << "\ncase                  archive MiB   install s  peak MiB | reinstall s  peak MiB |"
           "  unzip s  peak MiB\n";
    for (const Case &c : cases) {
        const QString archive = work + '/' + c.archive;
        const QString install = temp.filePath(QStringLiteral("install-") + c.archive);
        const QString link = QStringLiteral("http://updates.example/") + c.archive;
        // A fresh installation, then the same package again over it (every file backed up).
        const Measure fresh = measure(self, {"--child-install", work, link, install});
        const Measure again = measure(self, {"--child-install", work, link, install});
        const QString unzipped = temp.filePath(QStringLiteral("unzip-") + c.archive);
        const Measure unzip
            = measure(QStringLiteral("unzip"), {"-q", "-o", archive, "-d", unzipped});
        const double archiveMiB = QFileInfo(archive).size() / 1048576.0;
        out << qSetFieldWidth(22) << Qt::left << c.label << qSetFieldWidth(0)
            << QStringLiteral("%1   %2  %3 | %4  %5 | %6  %7")
                   .arg(archiveMiB, 11, 'f', 1)
                   .arg(fresh.ok ? QString::number(fresh.seconds, 'f', 2) : QStringLiteral("FAIL"),
                       9)
                   .arg(fresh.peakMiB, 8, 'f', 1)
                   .arg(again.ok ? QString::number(again.seconds, 'f', 2) : QStringLiteral("FAIL"),
                       11)
                   .arg(again.peakMiB, 8, 'f', 1)
                   .arg(unzip.ok ? QString::number(unzip.seconds, 'f', 2) : QStringLiteral("FAIL"),
                       8)
                   .arg(unzip.peakMiB, 8, 'f', 1)
            << '\n';
        out.flush();
        QDir(install).removeRecursively();
        QDir(unzipped).removeRecursively();
        QDir(work + QLatin1String("/unwind")).removeRecursively();
    }
    out << "\nPeak memory is the child process's ru_maxrss; it stays flat from the " << bigMiB / 4
        << " MiB to the " << bigMiB
        << " MiB package because entries are "
           "streamed through a 4096-byte buffer.\n";
    return 0;
}
