// Two users of one machine update their own plug-ins at the same time: each
// holds the run lock, gets a work folder and installs into their own plug-in
// folder while the other does the same, and neither meets the other's files.
#include "ScriptedUserPrompt.h"
#include "TestFiles.h"
#include "TestPackage.h"
#include "Update.h"
#include "VellRunGuard.h"
#include "VellUpdatePackage.h"
#include "VellWorkDirectory.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

/// One pipe end each way between the test and a child that acts as another user.
struct Child
{
    uid_t uid = 0;
    pid_t pid = -1;
    int toChild = -1;
    int fromChild = -1;
};

QByteArray readLine(int fd)
{
    QByteArray line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

void writeLine(int fd, const QByteArray &line)
{
    const QByteArray text = line + '\n';
    if (::write(fd, text.constData(), size_t(text.size())) != text.size()) {
        ::_exit(3);
    }
}

/**
 * The child's part, as @p uid with @p home: claim the lock, say so, wait until
 * the other user holds theirs as well, then install the plug-in package at
 * @p package. Its last line is "ok <work folder>" or what failed.
 */
[[noreturn]] void runAs(uid_t uid, const QString &home, const QString &package, int in, int out)
{
    if (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0
        || ::setresuid(uid, uid, uid) != 0) {
        writeLine(out, "cannot become the user");
        ::_exit(1);
    }
    qputenv("HOME", QFile::encodeName(home));
    ScriptedUserPrompt prompt;
    VellRunGuard guard(prompt, true);
    const QString pluginDir = VellUpdatePackage::installDirFor("plugin");
    guard.setInstallDirectories({pluginDir});
    if (!guard.claim()) {
        writeLine(out, "the run lock is taken");
        ::_exit(1);
    }
    writeLine(out, "claimed");
    readLine(in); // both users hold their lock now
    const VellWorkDirectory work(
        QStandardPaths::writableLocation(QStandardPaths::TempLocation) + "/tupdates/");
    if (work.path().isEmpty() || !QFile::copy(package, work.path() + "/p.zip")) {
        writeLine(out, "no work folder");
        ::_exit(1);
    }
    Update update("vell", "filter", "plugin", "2.0", "", "", "", "", "", "",
        "http://updates.example/p.zip", false, 0);
    VellUpdatePackage installer(&update);
    QString errorText;
    QStringList installed;
    if (!installer.install(work.path(), errorText, installed)) {
        writeLine(out, "install failed: " + errorText.toUtf8());
        ::_exit(1);
    }
    writeLine(out, "ok " + QFile::encodeName(work.path()));
    ::_exit(0);
}

} // namespace

class TestEngineTwoUsers : public QObject
{
    Q_OBJECT

private slots:
    void pluginUpdatesOfTwoUsersAtOnce();
};

void TestEngineTwoUsers::pluginUpdatesOfTwoUsersAtOnce()
{
    QFile map("/proc/self/uid_map");
    if (::geteuid() != 0 || !map.open(QIODevice::ReadOnly)
        || !map.readAll().simplified().startsWith("0 0 ")) {
        QSKIP("needs root of the machine to act as two users");
    }
    QTemporaryDir base;
    QVERIFY(base.isValid());
    QVERIFY(::chmod(QFile::encodeName(base.path()).constData(), 0755) == 0);
    // One shared temporary folder, as /tmp is, and no runtime folder from the session:
    // the lock and the work folder come from the defaults the users would get.
    const QString tmp = base.filePath("tmp");
    QVERIFY(QDir().mkpath(tmp));
    QVERIFY(::chmod(QFile::encodeName(tmp).constData(), 01777) == 0);
    qputenv("TMPDIR", QFile::encodeName(tmp));
    qunsetenv("XDG_RUNTIME_DIR");

    QVector<Child> children;
    for (const uid_t uid : {uid_t(65534), uid_t(65533)}) {
        Child child;
        child.uid = uid;
        const QString home = base.filePath("home-" + QString::number(uid));
        QVERIFY(QDir().mkpath(home));
        QVERIFY(::chown(QFile::encodeName(home).constData(), uid, uid) == 0);
        const QString package = base.filePath(QString::number(uid) + "/p.zip");
        QString errorText;
        QVERIFY2(TestPackage("filter", "plugin")
                     .add("statusfilter.kwx", "built for " + QByteArray::number(uid))
                     .write(package, &errorText),
            qPrintable(errorText));
        QVERIFY(::chmod(QFile::encodeName(package).constData(), 0644) == 0);
        QVERIFY(::chmod(QFile::encodeName(QFileInfo(package).path()).constData(), 0755) == 0);
        int down[2];
        int up[2];
        QVERIFY(::pipe(down) == 0 && ::pipe(up) == 0);
        child.pid = ::fork();
        QVERIFY(child.pid >= 0);
        if (child.pid == 0) {
            ::close(down[1]);
            ::close(up[0]);
            runAs(uid, home, package, down[0], up[1]);
        }
        ::close(down[0]);
        ::close(up[1]);
        child.toChild = down[1];
        child.fromChild = up[0];
        children << child;
    }
    for (const Child &child : children) {
        QCOMPARE(readLine(child.fromChild), QByteArray("claimed"));
    }
    for (const Child &child : children) {
        writeLine(child.toChild, "go");
    }
    QStringList workFolders;
    for (const Child &child : children) {
        const QByteArray result = readLine(child.fromChild);
        int status = 0;
        QCOMPARE(::waitpid(child.pid, &status, 0), child.pid);
        ::close(child.toChild);
        ::close(child.fromChild);
        QVERIFY2(result.startsWith("ok "), result.constData());
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        workFolders << QFile::decodeName(result.mid(3));

        const QString installed = base.filePath(
            "home-" + QString::number(child.uid) + "/.Vellnet/plugins/statusfilter.kwx");
        QCOMPARE(readFile(installed), "built for " + QByteArray::number(child.uid));
        struct stat info = {};
        QVERIFY(::stat(QFile::encodeName(installed).constData(), &info) == 0);
        QCOMPARE(info.st_uid, child.uid);
    }
    QVERIFY2(workFolders[0] != workFolders[1], qPrintable(workFolders.join(", ")));
}

QTEST_GUILESS_MAIN(TestEngineTwoUsers)
#include "tst_engine_twousers.moc"
