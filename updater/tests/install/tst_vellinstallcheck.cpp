// What the updater finds out before downloading: whether a folder can be
// installed into, and whether a package manager owns the program folder.
#include "InstallTestSupport.h"
#include "TestFiles.h"
#include "TestNamespace.h"
#include "VellInstallability.h"
#include "VellInstallationOwner.h"

#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(VellInstallability::Reason)

namespace {

constexpr uid_t nobody = 65534;

/// The verdict on @p dir as uid and gid @p id sees it, found in a child process.
VellInstallability::Verdict checkAs(uid_t id, const QString &dir)
{
    int channel[2];
    if (::pipe(channel) != 0) {
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        int answer[2] = {-1, 0};
        if (::setgroups(0, nullptr) == 0 && ::setresgid(id, id, id) == 0
            && ::setresuid(id, id, id) == 0) {
            const VellInstallability::Verdict verdict = VellInstallability::check(dir);
            answer[0] = int(verdict.reason);
            answer[1] = verdict.errorCode;
        }
        const bool written = ::write(channel[1], answer, sizeof answer) == sizeof answer;
        ::_exit(written ? 0 : 1);
    }
    ::close(channel[1]);
    int answer[2] = {-1, 0};
    const bool read = ::read(channel[0], answer, sizeof answer) == sizeof answer;
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    VellInstallability::Verdict verdict;
    verdict.reason = read && answer[0] >= 0 ? VellInstallability::Reason(answer[0])
                                            : VellInstallability::Reason::NoFolder;
    verdict.errorCode = read && answer[0] >= 0 ? answer[1] : -1;
    return verdict;
}

bool writeList(const QString &adminDir, const QString &package, const QStringList &paths)
{
    return writeFile(adminDir + "/info/" + package + ".list", paths.join('\n').toUtf8() + '\n');
}

} // namespace

class TestVellInstallCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void installableFolders_data();
    void installableFolders();
    void readOnlyFileSystem_data();
    void readOnlyFileSystem();
    void rootOwnedFolderOfAnotherUser_data();
    void rootOwnedFolderOfAnotherUser();

    void ownerFromSetting_data();
    void ownerFromSetting();
    void ownerFromDpkgRecords_data();
    void ownerFromDpkgRecords();

private:
    std::unique_ptr<QTemporaryDir> base;
    bool privateMounts = false;
};

void TestVellInstallCheck::initTestCase()
{
    privateMounts = TestNamespace::isInside(TestNamespace::Mount);
}

void TestVellInstallCheck::init()
{
    base.reset(new QTemporaryDir);
    QVERIFY(base->isValid());
    QVERIFY(QDir().mkpath(base->filePath("app")));
}

void TestVellInstallCheck::installableFolders_data()
{
    QTest::addColumn<QString>("dir"); // relative to the scratch folder
    QTest::addColumn<QString>("file"); // made first, relative to the scratch folder; empty for none
    QTest::addColumn<VellInstallability::Reason>("reason");
    QTest::addColumn<QString>("folder"); // the folder the verdict names

    using R = VellInstallability::Reason;
    QTest::newRow("existing folder") << "app" << QString() << R::None << QString();
    QTest::newRow("folders still to be made")
        << "app/new/plugins" << QString() << R::None << QString();
    QTest::newRow("a file where the folder would be")
        << "app/plugins/x"
        << "app/plugins" << R::NoFolder << "app/plugins";
    QTest::newRow("a file where the backup folder would be")
        << "app"
        << "app/.vell-unwind" << R::UnwindUnusable << "app/.vell-unwind";
}

void TestVellInstallCheck::installableFolders()
{
    QFETCH(QString, dir);
    QFETCH(QString, file);
    QFETCH(VellInstallability::Reason, reason);
    QFETCH(QString, folder);
    if (!file.isEmpty()) {
        QVERIFY(writeFile(base->filePath(file), "x"));
    }
    const VellInstallability::Verdict verdict = VellInstallability::check(base->filePath(dir));
    QCOMPARE(verdict.reason, reason);
    QCOMPARE(verdict.canInstall(), reason == VellInstallability::Reason::None);
    QCOMPARE(verdict.folder, folder.isEmpty() ? QString() : base->filePath(folder));
}

void TestVellInstallCheck::readOnlyFileSystem_data()
{
    QTest::addColumn<QString>("dir"); // relative to the read-only program folder
    QTest::newRow("the program folder") << QString();
    QTest::newRow("a folder still to be made in it") << QString("plugins/new");
}

void TestVellInstallCheck::readOnlyFileSystem()
{
    QFETCH(QString, dir);
    if (!privateMounts) {
        QSKIP("no private mount namespace");
    }
    const QString app = base->filePath("app");
    const TestMount mount = TestMount::readOnly(app);
    QVERIFY(mount.isMounted());
    // Even root, whom no permission stops, cannot write there.
    const VellInstallability::Verdict verdict
        = VellInstallability::check(dir.isEmpty() ? app : app + '/' + dir);
    QCOMPARE(verdict.reason, VellInstallability::Reason::ReadOnlyFileSystem);
    QCOMPARE(verdict.folder, app);
    QCOMPARE(verdict.errorCode, EROFS);
}

void TestVellInstallCheck::rootOwnedFolderOfAnotherUser_data()
{
    QTest::addColumn<QString>(
        "unwindMode"); // "" none, else the octal mode of a root-owned .vell-unwind
    QTest::addColumn<int>("appMode");
    QTest::addColumn<VellInstallability::Reason>("reason");
    QTest::addColumn<int>("errorCode");

    using R = VellInstallability::Reason;
    QTest::newRow("installed by root") << QString() << 0755 << R::NotWritable << EACCES;
    QTest::newRow("open to everybody") << QString() << 0777 << R::None << 0;
    QTest::newRow("open, but root's backup folder")
        << QString("700") << 0777 << R::UnwindUnusable << EACCES;
}

void TestVellInstallCheck::rootOwnedFolderOfAnotherUser()
{
    QFETCH(QString, unwindMode);
    QFETCH(int, appMode);
    QFETCH(VellInstallability::Reason, reason);
    QFETCH(int, errorCode);
    if (::geteuid() != 0 || ::access("/proc/self/uid_map", F_OK) != 0) {
        QSKIP("needs root to act as another user");
    }
    // The uid map of a user namespace of our own would have no 65534 in it.
    QFile map("/proc/self/uid_map");
    QVERIFY(map.open(QIODevice::ReadOnly));
    if (!map.readAll().simplified().startsWith("0 0 ")) {
        QSKIP("not root of the machine");
    }
    QVERIFY(::chmod(QFile::encodeName(base->path()).constData(), 0755) == 0);
    const QString app = base->filePath("app");
    QVERIFY(::chmod(QFile::encodeName(app).constData(), mode_t(appMode)) == 0);
    if (!unwindMode.isEmpty()) {
        QVERIFY(QDir().mkpath(app + "/.vell-unwind"));
        QVERIFY(::chmod(QFile::encodeName(app + "/.vell-unwind").constData(),
                    mode_t(unwindMode.toInt(nullptr, 8)))
            == 0);
    }
    const VellInstallability::Verdict verdict = checkAs(nobody, app);
    QCOMPARE(verdict.reason, reason);
    QCOMPARE(verdict.errorCode, errorCode);
    // Root itself may install there.
    QVERIFY(VellInstallability::check(app).canInstall() || !unwindMode.isEmpty());
}

void TestVellInstallCheck::ownerFromSetting_data()
{
    QTest::addColumn<QByteArray>("setting"); // updater.conf; empty for none
    QTest::addColumn<QString>("manager");

    QTest::newRow("no setting") << QByteArray() << QString();
    QTest::newRow("dpkg") << QByteArray("[installation]\nmanaged-by=dpkg\n") << "dpkg";
    QTest::newRow("as the build writes it")
        << QByteArray("; the package manager's\n[installation]\nmanaged-by=dpkg\n") << "dpkg";
    QTest::newRow("another manager") << QByteArray("[installation]\nmanaged-by = rpm\n") << "rpm";
    QTest::newRow("empty value") << QByteArray("[installation]\nmanaged-by=\n") << QString();
    QTest::newRow("another group") << QByteArray("[other]\nmanaged-by=dpkg\n") << QString();
}

void TestVellInstallCheck::ownerFromSetting()
{
    QFETCH(QByteArray, setting);
    QFETCH(QString, manager);
    const QString app = base->filePath("app");
    if (!setting.isEmpty()) {
        QVERIFY(writeFile(app + "/updater.conf", setting));
    }
    QVERIFY(QDir().mkpath(base->filePath("dpkg/info")));
    const VellInstallationOwner::Owner owner
        = VellInstallationOwner::of(app, base->filePath("dpkg"));
    QCOMPARE(owner.manager, manager);
    QCOMPARE(owner.isManaged(), !manager.isEmpty());
    QCOMPARE(owner.source,
        manager.isEmpty() ? VellInstallationOwner::Source::None
                          : VellInstallationOwner::Source::Setting);
    QCOMPARE(owner.programDir, app);
}

void TestVellInstallCheck::ownerFromDpkgRecords_data()
{
    QTest::addColumn<QStringList>("listed"); // "%1" is the program folder
    QTest::addColumn<bool>("managed");

    QTest::newRow("a package installed the program")
        << QStringList {"/.", "%1/..", "%1", "%1/updater", "%1/lib", "%1/lib/libx.so"} << true;
    QTest::newRow("only the folders above it") << QStringList {"/.", "%1/.."} << false;
    QTest::newRow("only the folder, as a shared parent") << QStringList {"%1"} << false;
    QTest::newRow("a neighbour with a longer name") << QStringList {"%1-old/updater"} << false;
    QTest::newRow("no package") << QStringList {} << false;
}

void TestVellInstallCheck::ownerFromDpkgRecords()
{
    QFETCH(QStringList, listed);
    QFETCH(bool, managed);
    const QString app = base->filePath("app");
    const QString adminDir = base->filePath("dpkg");
    QVERIFY(QDir().mkpath(adminDir + "/info"));
    QVERIFY(writeList(adminDir, "base-files", {"/.", "/etc", "/etc/hostname"}));
    QStringList paths;
    for (const QString &path : listed) {
        paths << QDir::cleanPath(path.arg(app));
    }
    if (!paths.isEmpty()) {
        QVERIFY(writeList(adminDir, "vell", paths));
    }
    // The test-only environment setting leads to the scratch database as well.
    qputenv("VELL_TEST_DPKG_ADMINDIR", QFile::encodeName(adminDir));
    const VellInstallationOwner::Owner owner = VellInstallationOwner::of(app);
    qunsetenv("VELL_TEST_DPKG_ADMINDIR");
    QCOMPARE(owner.isManaged(), managed);
    QCOMPARE(owner.source,
        managed ? VellInstallationOwner::Source::Detected : VellInstallationOwner::Source::None);
    QCOMPARE(owner.manager, managed ? QString("dpkg") : QString());

    // The setting wins over the records.
    QVERIFY(writeFile(app + "/updater.conf", "[installation]\nmanaged-by=rpm\n"));
    QCOMPARE(VellInstallationOwner::of(app, adminDir).manager, QString("rpm"));
}

QTEST_GUILESS_MAIN(TestVellInstallCheck)
#include "tst_vellinstallcheck.moc"
