// An installation killed (SIGKILL) at every step in turn, then recovered by a
// fresh process: the installation must equal the tree before the run, or the
// finished tree once the run has been marked done.
#include "InstallTestSupport.h"
#include "TestArchive.h"
#include "TestFiles.h"
#include "TestUpdates.h"
#include "VellInstallRecovery.h"
#include "VellInstallSteps_p.h"
#include "VellUpdatePackage.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <memory>

#include <sys/stat.h>

namespace {

QByteArray fileElement(const QByteArray &path, const QByteArray &name, const QByteArray &action)
{
    return "<file path='" + path + "' name='" + name + "' action='" + action + "'/>";
}

int stepsReached = 0;
int killAtStep = 0;

void stopAtStep(const char *step)
{
    ++stepsReached;
    if (stepsReached == killAtStep) {
        std::raise(SIGKILL);
    }
    if (killAtStep == 0) {
        std::printf("%s\n", step);
        std::fflush(stdout);
    }
}

/// Child: installs and finishes the package, killed at step @p killAt (0: never).
int installChild(const QString &installDir, const QString &workDir, int killAt)
{
    killAtStep = killAt;
    VellInstallSteps::setHook(stopAtStep);
    Update update = TestUpdates::make("core", "app", "http://u.example/p.zip");
    VellUpdatePackage package(&update, installDir);
    QString errorText;
    QStringList installed;
    if (!package.install(workDir, errorText, installed) || !package.finish(errorText)) {
        std::fprintf(stderr, "%s\n", qPrintable(errorText));
        return 1;
    }
    return 0;
}

bool run(const QString &program, const QStringList &arguments, QProcess::ExitStatus &status,
    QByteArray &output)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        return false;
    }
    status = process.exitStatus();
    output = process.readAllStandardOutput();
    return true;
}

} // namespace

class tst_InstallCrash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void crashAtEveryStepIsRolledBack_data();
    void crashAtEveryStepIsRolledBack();
    void crashDuringRecoveryIsRecoveredAgain_data();
    void crashDuringRecoveryIsRecoveredAgain();

private:
    /// Recovers @p installDir in a fresh process, killed at step @p killAt (0: never).
    bool recoverInChild(const QString &installDir, int killAt, QProcess::ExitStatus &status,
        QByteArray &output, int &exitCode);
    /// An installation killed just before its run was marked done: everything to undo.
    bool crashedInstallation(const QString &installDir);

    QString templateDir() const { return base.filePath("template"); }
    QString workDir() const { return base.filePath("work"); }
    bool copyTemplate(const QString &to) const;

    QTemporaryDir base;
    Tree before;
    Tree after;
    QList<QByteArray> steps;
};

bool tst_InstallCrash::copyTemplate(const QString &to) const
{
    QDir(to).removeRecursively();
    return QProcess::execute("cp", {"-a", templateDir(), to}) == 0;
}

void tst_InstallCrash::initTestCase()
{
    QVERIFY2(base.isValid(), qPrintable(base.errorString()));
    const QString t = templateDir();
    // Replaced, removed, kept, a setuid file, symbolic links (one dangling) and
    // a file that becomes a folder.
    QVERIFY(writeFile(t + "/bin/vell", "old vell"));
    QVERIFY(writeFile(t + "/bin/helper", "old setuid helper"));
    QVERIFY(::chmod(QFile::encodeName(t + "/bin/helper").constData(), 04755) == 0);
    QVERIFY(writeFile(t + "/lib/libcore.so.2", "old core"));
    QVERIFY(QFile::link("libcore.so.2", t + "/lib/libcore.so"));
    QVERIFY(writeFile(t + "/lib/libold.so", "old library"));
    QVERIFY(QDir().mkpath(t + "/share"));
    QVERIFY(QFile::link("nowhere", t + "/share/dangling"));
    QVERIFY(writeFile(t + "/doc/readme.txt", "old readme"));
    QVERIFY(writeFile(t + "/doc/old.txt", "old notes"));
    QVERIFY(writeFile(t + "/plugins", "a file that becomes a folder"));
    QVERIFY(writeFile(t + "/keep.txt", "only named"));
    before = snapshot(t);

    QByteArray instructions = fileElement("bin", "vell", "add")
        + fileElement("bin", "helper", "add") + fileElement("lib", "libcore.so", "add")
        + fileElement("lib", "libold.so", "remove") + fileElement("share", "dangling", "remove")
        + fileElement("doc", "readme.txt", "add") + fileElement("doc", "old.txt", "remove")
        + fileElement(".", "plugins", "remove") + fileElement("plugins/filter", "a.kwx", "add")
        + fileElement("new/deep", "n.txt", "add") + fileElement(".", "keep.txt", "keep");
    QVERIFY(QDir().mkpath(workDir()));
    QVERIFY(TestArchive::write(workDir() + "/p.zip",
        {{"p.xml", "<package project='vell' name='core' type='app'>" + instructions + "</package>"},
            {"bin/vell", "new vell"}, {"bin/helper", "new helper"}, {"lib/libcore.so", "new core"},
            {"doc/readme.txt", "new readme"}, {"plugins/filter/a.kwx", "plug-in"},
            {"new/deep/n.txt", "new file"}}));

    // An uninterrupted run names its steps and gives the finished tree.
    const QString probe = base.filePath("probe");
    QVERIFY(copyTemplate(probe));
    QProcess::ExitStatus status;
    QByteArray output;
    QVERIFY(run(QCoreApplication::applicationFilePath(), {"--install", probe, workDir(), "0"},
        status, output));
    QCOMPARE(status, QProcess::NormalExit);
    steps = output.trimmed().split('\n');
    after = snapshot(probe);
    QVERIFY(after != before);
    QVERIFY(steps.size() > 20);
    qInfo("%d steps", steps.size());
}

void tst_InstallCrash::crashAtEveryStepIsRolledBack_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("runWasDone");
    bool done = false;
    for (int i = 0; i < steps.size(); ++i) {
        done = done || steps.at(i) == "run done";
        QTest::addRow("%d %s", i + 1, steps.at(i).constData()) << i + 1 << done;
    }
}

void tst_InstallCrash::crashAtEveryStepIsRolledBack()
{
    QFETCH(int, step);
    QFETCH(bool, runWasDone);
    const QString installDir = base.filePath("install");
    QVERIFY(copyTemplate(installDir));
    QProcess::ExitStatus status;
    QByteArray output;
    QVERIFY(run(QCoreApplication::applicationFilePath(),
        {"--install", installDir, workDir(), QString::number(step)}, status, output));
    QCOMPARE(status, QProcess::CrashExit);

    // A fresh process, as the next start of the updater.
    int exitCode = 0;
    QVERIFY(recoverInChild(installDir, -1, status, output, exitCode));
    QCOMPARE(status, QProcess::NormalExit);
    QVERIFY(exitCode != int(VellInstallRecovery::Outcome::Failed));
    const Tree now = snapshot(installDir);
    const Tree &expected = runWasDone ? after : before;
    QVERIFY2(now == expected, treeDifference(now, expected).constData());
}

bool tst_InstallCrash::recoverInChild(const QString &installDir, int killAt,
    QProcess::ExitStatus &status, QByteArray &output, int &exitCode)
{
    QProcess recovery;
    recovery.start(QCoreApplication::applicationFilePath(),
        {"--recover", installDir, QString::number(killAt)});
    if (!recovery.waitForFinished(60000)) {
        return false;
    }
    status = recovery.exitStatus();
    output = recovery.readAllStandardOutput();
    exitCode = recovery.exitCode();
    return true;
}

bool tst_InstallCrash::crashedInstallation(const QString &installDir)
{
    const int lastBeforeDone = steps.indexOf("run done");
    QProcess::ExitStatus status;
    QByteArray output;
    return copyTemplate(installDir)
        && run(QCoreApplication::applicationFilePath(),
            {"--install", installDir, workDir(), QString::number(lastBeforeDone)}, status, output)
        && status == QProcess::CrashExit;
}

void tst_InstallCrash::crashDuringRecoveryIsRecoveredAgain_data()
{
    QTest::addColumn<int>("step");
    const QString probe = base.filePath("recovery-probe");
    QVERIFY(crashedInstallation(probe));
    QProcess::ExitStatus status;
    QByteArray output;
    int exitCode = 0;
    QVERIFY(recoverInChild(probe, 0, status, output, exitCode));
    QCOMPARE(exitCode, int(VellInstallRecovery::Outcome::Restored));
    const QList<QByteArray> names = output.trimmed().split('\n');
    QVERIFY(names.size() > 5);
    qInfo("%d recovery steps", names.size());
    for (int i = 0; i < names.size(); ++i) {
        QTest::addRow("%d %s", i + 1, names.at(i).constData()) << i + 1;
    }
}

void tst_InstallCrash::crashDuringRecoveryIsRecoveredAgain()
{
    QFETCH(int, step);
    const QString installDir = base.filePath("install");
    QVERIFY(crashedInstallation(installDir));
    QProcess::ExitStatus status;
    QByteArray output;
    int exitCode = 0;
    QVERIFY(recoverInChild(installDir, step, status, output, exitCode));
    QCOMPARE(status, QProcess::CrashExit);
    QVERIFY(recoverInChild(installDir, -1, status, output, exitCode));
    QCOMPARE(status, QProcess::NormalExit);
    QVERIFY(exitCode != int(VellInstallRecovery::Outcome::Failed));
    const Tree now = snapshot(installDir);
    QVERIFY2(now == before, treeDifference(now, before).constData());
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && qstrcmp(argv[1], "--install") == 0) {
        return installChild(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]), atoi(argv[4]));
    }
    if ((argc == 3 || argc == 4) && qstrcmp(argv[1], "--recover") == 0) {
        killAtStep = argc == 4 ? atoi(argv[3]) : -1;
        VellInstallSteps::setHook(stopAtStep);
        QStringList unrestored;
        const auto outcome
            = VellInstallRecovery::recoverInterruptedRuns({QFile::decodeName(argv[2])}, unrestored);
        for (const QString &line : unrestored) {
            std::fprintf(stderr, "%s\n", qPrintable(line));
        }
        return int(outcome);
    }
    tst_InstallCrash test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_installcrash.moc"
