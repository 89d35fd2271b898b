// Before the update check: one updater at a time, and the installation of an
// updater that died rolled back, each told to a scripted user.
#include "ScriptedUserPrompt.h"
#include "TestFiles.h"
#include "VellRunGuard.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString busyText = QStringLiteral("Another update is already running.");
const QString restoredText = QStringLiteral(
    "The previous update was interrupted. The previous version has been restored.");

} // namespace

class tst_EngineRunGuard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void secondUpdaterIsTurnedAway_data();
    void secondUpdaterIsTurnedAway();
    void lockOfADeadUpdaterIsTakenOver();
    void unusableLockStopsTheUpdater_data();
    void unusableLockStopsTheUpdater();
    void interruptedRunIsRolledBack_data();
    void interruptedRunIsRolledBack();
    void unrestorableFileIsNamedAndKept();

private:
    std::unique_ptr<VellRunGuard> guardFor(ScriptedUserPrompt &prompt, bool quiet) const;
    QString lockPath() const { return scratch->filePath("run/vell-updater.lock"); }
    QString installDir() const { return scratch->filePath("install"); }

    std::unique_ptr<QTemporaryDir> scratch;
};

void tst_EngineRunGuard::init()
{
    scratch = std::make_unique<QTemporaryDir>();
    QVERIFY2(scratch->isValid(), qPrintable(scratch->errorString()));
    QVERIFY(QDir().mkpath(installDir()));
}

std::unique_ptr<VellRunGuard> tst_EngineRunGuard::guardFor(
    ScriptedUserPrompt &prompt, bool quiet) const
{
    auto guard = std::make_unique<VellRunGuard>(prompt, quiet);
    guard->setLockPath(lockPath());
    guard->setInstallDirectories({installDir()});
    return guard;
}

void tst_EngineRunGuard::secondUpdaterIsTurnedAway_data()
{
    QTest::addColumn<bool>("quiet");
    QTest::newRow("told") << false;
    QTest::newRow("quiet") << true;
}

void tst_EngineRunGuard::secondUpdaterIsTurnedAway()
{
    QFETCH(bool, quiet);
    ScriptedUserPrompt firstUser;
    auto first = guardFor(firstUser, false);
    QVERIFY(first->claim());
    QVERIFY(firstUser.texts.isEmpty());

    ScriptedUserPrompt secondUser;
    QVERIFY(!guardFor(secondUser, quiet)->claim());
    QCOMPARE(secondUser.texts, quiet ? QStringList() : QStringList {busyText});
    if (!quiet) {
        QCOMPARE(secondUser.kinds, QStringList {"tellInformation"});
        QCOMPARE(secondUser.titles, QStringList {"Update"});
    }

    first.reset(); // the first updater ends
    ScriptedUserPrompt thirdUser;
    QVERIFY(guardFor(thirdUser, false)->claim());
    QVERIFY(thirdUser.texts.isEmpty());
}

void tst_EngineRunGuard::lockOfADeadUpdaterIsTakenOver()
{
    QVERIFY(QDir().mkpath(QFileInfo(lockPath()).absolutePath()));
    // Another process holds the lock, then dies without letting go of it.
    QProcess holder;
    holder.start("flock", {"--no-fork", lockPath(), "sleep", "60"});
    QVERIFY(holder.waitForStarted());
    ScriptedUserPrompt user;
    // Until flock holds the lock; a loaded machine may take a while to start it.
    QTRY_VERIFY_WITH_TIMEOUT(!guardFor(user, true)->claim(), 30000);
    holder.kill();
    QVERIFY(holder.waitForFinished());
    QVERIFY(guardFor(user, false)->claim());
    QVERIFY(user.texts.isEmpty());
}

void tst_EngineRunGuard::unusableLockStopsTheUpdater_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<QString>("reason");
    for (const bool quiet : {false, true}) {
        const char *mode = quiet ? "quiet" : "told";
        QTest::addRow("symbolic link, %s", mode) << "link" << quiet << "Too many levels";
        QTest::addRow("directory, %s", mode) << "directory" << quiet << "directory";
        QTest::addRow("another user's file, %s", mode) << "foreign" << quiet << "regular file";
        QTest::addRow("named pipe, %s", mode) << "fifo" << quiet << "regular file";
        QTest::addRow("unopenable file, %s", mode) << "unopenable" << quiet << "ermission";
    }
}

void tst_EngineRunGuard::unusableLockStopsTheUpdater()
{
    QFETCH(QString, setup);
    QFETCH(bool, quiet);
    QFETCH(QString, reason);
    const QByteArray path = QFile::encodeName(lockPath());
    QVERIFY(QDir().mkpath(QFileInfo(lockPath()).absolutePath()));
    const QString target = scratch->filePath("target");
    QVERIFY(writeFile(target, "mine"));
    if (setup == "link") {
        QVERIFY(QFile::link(target, lockPath()));
    } else if (setup == "directory") {
        QVERIFY(QDir().mkdir(lockPath()));
    } else if (setup == "fifo") {
        QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    } else {
        QVERIFY(writeFile(lockPath(), ""));
        QCOMPARE(::chown(path.constData(), 65534, 65534), 0);
        QCOMPARE(::chmod(path.constData(), setup == "unopenable" ? 0 : 0600), 0);
    }

    // The unopenable file is its owner's own: root opens any file, uid 65534 not this one.
    if (setup == "unopenable") {
        QVERIFY(::geteuid() == 0);
        QCOMPARE(::chmod(QFile::encodeName(scratch->path()).constData(), 0755), 0);
        QCOMPARE(::chown(QFile::encodeName(QFileInfo(lockPath()).absolutePath()).constData(), 65534,
                     65534),
            0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const bool dropped
                = ::setresgid(65534, 65534, 65534) == 0 && ::setresuid(65534, 65534, 65534) == 0;
            ScriptedUserPrompt user;
            auto guard = guardFor(user, quiet);
            const bool refused = !guard->claim() && guard->lockRefused();
            const bool told = quiet
                ? user.texts.isEmpty()
                : user.kinds == QStringList {"tellError"} && user.texts.value(0).contains(reason);
            ::_exit(dropped && refused && told ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0,
            "as uid 65534 an unopenable lock file did not stop the updater with its reason");
        return;
    }

    ScriptedUserPrompt user;
    auto guard = guardFor(user, quiet);
    QVERIFY(!guard->claim());
    QVERIFY(guard->lockRefused());
    if (quiet) {
        QVERIFY(user.texts.isEmpty());
    } else {
        QCOMPARE(user.kinds, QStringList {"tellError"});
        QVERIFY2(user.texts.value(0).contains(lockPath()) && user.texts.value(0).contains(reason),
            qPrintable(user.texts.value(0)));
    }
    QCOMPARE(readFile(target), QByteArray("mine"));
}

void tst_EngineRunGuard::interruptedRunIsRolledBack_data()
{
    QTest::addColumn<bool>("quiet");
    QTest::newRow("told") << false;
    QTest::newRow("quiet") << true;
}

void tst_EngineRunGuard::interruptedRunIsRolledBack()
{
    QFETCH(bool, quiet);
    // What an updater killed after it replaced old.txt and added new.txt left.
    QVERIFY(writeFile(installDir() + "/.vell-unwind/saved/0", "old"));
    QVERIFY(writeFile(installDir() + "/old.txt", "new"));
    QVERIFY(writeFile(installDir() + "/new.txt", "added"));
    QVERIFY(writeFile(
        installDir() + "/.vell-unwind/journal", "run 1 boot\nsaved old.txt 0\nabsent new.txt\n"));
    for (const char *area : {"/.vell-unwind", "/.vell-unwind/saved"}) {
        QVERIFY(QFile::setPermissions(installDir() + area,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    }

    ScriptedUserPrompt user;
    QVERIFY(guardFor(user, quiet)->claim());
    QCOMPARE(user.texts, quiet ? QStringList() : QStringList {restoredText});
    QCOMPARE(filesBelow(installDir()), QStringList {"old.txt"});
    QCOMPARE(readFile(installDir() + "/old.txt"), QByteArray("old"));

    // Once is enough: the next start finds nothing to do.
    ScriptedUserPrompt nextUser;
    QVERIFY(guardFor(nextUser, false)->claim());
    QVERIFY(nextUser.texts.isEmpty());
}

void tst_EngineRunGuard::unrestorableFileIsNamedAndKept()
{
    // The journal names a backup that is gone: the file cannot come back.
    QVERIFY(writeFile(installDir() + "/lib/core.so", "new"));
    QVERIFY(writeFile(installDir() + "/.vell-unwind/journal", "run 1 boot\nsaved lib/core.so 0\n"));
    QVERIFY(QFile::setPermissions(installDir() + "/.vell-unwind",
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    for (const bool quiet : {false, true}) {
        ScriptedUserPrompt user;
        QVERIFY(guardFor(user, quiet)->claim());
        QCOMPARE(user.kinds, QStringList {"tellError"}); // errors are told even when quiet
        QVERIFY2(user.texts.value(0).contains(installDir() + "/lib/core.so"),
            qPrintable(user.texts.value(0)));
        QVERIFY(QFileInfo::exists(installDir() + "/.vell-unwind/journal"));
    }
}

QTEST_GUILESS_MAIN(tst_EngineRunGuard)
#include "tst_engine_runguard.moc"
