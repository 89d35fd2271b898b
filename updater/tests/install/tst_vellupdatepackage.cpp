// Installing update packages made on the spot, and rolling them back.
#include "InstallTestSupport.h"
#include "TestArchive.h"
#include "TestFiles.h"
#include "TestNamespace.h"
#include "TestPackage.h"
#include "TestUpdates.h"
#include "VellInstallRecovery.h"
#include "VellInstallSteps_p.h"
#include "VellRootDirectory_p.h"
#include "VellUpdatePackage.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include <array>
#include <memory>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>

namespace {

using Files = QMap<QString, QByteArray>;

QByteArray descriptor(const QByteArray &package, const QByteArray &files)
{
    return "<?xml version='1.0'?>\n<package " + package + ">" + files + "</package>";
}

QByteArray fileElement(const QByteArray &path, const QByteArray &name, const QByteArray &action)
{
    return "<file path='" + path + "' name='" + name + "' action='" + action + "'/>";
}

constexpr char identity[] = "project='vell' name='core' type='app'";

/// Resolves every name with the walk while it lives, as on a kernel without openat2.
class WalkForced
{
public:
    explicit WalkForced(bool forced) { VellRootDirectory::forceWalk(forced); }
    ~WalkForced() { VellRootDirectory::forceWalk(false); }
    WalkForced(const WalkForced &) = delete;
    WalkForced &operator=(const WalkForced &) = delete;
};

/**
 * Another process, as the installer sees it: at the chosen occurrence of a
 * step, the folder @p name (share/) of the installation is moved aside and a
 * link to ../sentinel put in its place. Undone by swapBack().
 */
class FolderSwap
{
public:
    FolderSwap(
        const QString &installDir, const char *step, int occurrence, const QString &name = "share")
    {
        current = this;
        folder = QFile::encodeName(installDir + '/' + name);
        aside = QFile::encodeName(installDir + '/' + name + ".aside");
        swapStep = step;
        left = occurrence;
        VellInstallSteps::setHook(&FolderSwap::reached);
    }
    ~FolderSwap()
    {
        VellInstallSteps::setHook(nullptr);
        current = nullptr;
    }
    FolderSwap(const FolderSwap &) = delete;
    FolderSwap &operator=(const FolderSwap &) = delete;

    bool happened() const { return swapped; }
    bool swapBack() const
    {
        return !swapped
            || (::unlink(folder.constData()) == 0
                && ::rename(aside.constData(), folder.constData()) == 0);
    }

private:
    static void reached(const char *step)
    {
        FolderSwap &swap = *current;
        if (swap.swapped || qstrcmp(step, swap.swapStep) != 0 || --swap.left > 0) {
            return;
        }
        swap.swapped = ::rename(swap.folder.constData(), swap.aside.constData()) == 0
            && ::symlink("../sentinel", swap.folder.constData()) == 0;
    }

    static FolderSwap *current;
    QByteArray folder;
    QByteArray aside;
    const char *swapStep = nullptr;
    int left = 0;
    bool swapped = false;
};

FolderSwap *FolderSwap::current = nullptr;

/// Makes every later openat2() of this process fail with @p error, as a sandbox's filter may.
bool refuseOpenat2(int error)
{
    struct sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (__u32(error) & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    struct sock_fprog program
        = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
        && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

} // namespace

class tst_VellUpdatePackage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void addOverNothing();
    void addOverExistingFileIsUndone();
    void removedFileAndFolderComeBack();
    void actionsAreCaseInsensitive_data();
    void actionsAreCaseInsensitive();
    void retryRecordsFoldersOnceAndFilesTwice();
    void untouchedPackageUnwindsNothing();
    void packagesOfOneRunUnwindToTheStateBeforeIt();
    void interruptedEarlierRunIsUndoneFirst();
    void largeRunFinishesUnderATightDescriptorLimit();
    void runThatFailedToFinishIsNeverMarkedDone();
    void craftedJournalsTouchNothing_data();
    void craftedJournalsTouchNothing();
    void percentSignsInNamesStayLiteral();
    void unwindAreaThatIsNotWhatItClaimsIsRefused_data();
    void unwindAreaThatIsNotWhatItClaimsIsRefused();
    void unwindAreaSwappedDuringRecoveryIsNotFollowed_data();
    void unwindAreaSwappedDuringRecoveryIsNotFollowed();
    void rootLeavesAUsersJournalAlone();
    void appAndPluginBackupsStayApart();
    void installDirectoryFollowsTheType();
    void firstPluginGetsUserFilePermissions();

    void unknownTypeTouchesNothing();
    void missingDescriptorFails();
    void identityMismatchFailsWithoutText_data();
    void identityMismatchFailsWithoutText();
    void malformedDescriptorFailsAndUnwinds();
    void descriptorWithDocumentTypeIsRefused_data();
    void descriptorWithDocumentTypeIsRefused();
    void damagedArchivesFail_data();
    void damagedArchivesFail();
    void descriptorPathsOutsideAreSkipped_data();
    void descriptorPathsOutsideAreSkipped();
    void hostileEntryNamesAreRefused_data();
    void hostileEntryNamesAreRefused();
    void failureAtEachStepIsUndoneByteForByte_data();
    void failureAtEachStepIsUndoneByteForByte();

    void unnamedEntriesAreNotUnpacked();
    void symbolicLinkTargetsAreReplacedAsLinks_data();
    void symbolicLinkTargetsAreReplacedAsLinks();
    void folderSwappedForALinkOutIsRefused_data();
    void folderSwappedForALinkOutIsRefused();
    void linkIntoAFoldersBackupIsRefused_data();
    void linkIntoAFoldersBackupIsRefused();
    void linkThatStaysInsideIsFollowed_data();
    void linkThatStaysInsideIsFollowed();
    void refusedOpenat2FallsBackToTheWalk_data();
    void refusedOpenat2FallsBackToTheWalk();
    void setuidFileComesBackWithItsMode();
    void fileTurnedIntoFolderComesBack();
    void runningProgramIsReplaced();
    void secondRunInTheSameDirectoryIsRefused();

    void readOnlyInstallationEndsCleanly_data();
    void readOnlyInstallationEndsCleanly();
    void fullFileSystemEndsCleanly_data();
    void fullFileSystemEndsCleanly();
    void installationOnOtherFileSystems_data();
    void installationOnOtherFileSystems();

private:
    /// Installs package "p" into the installation directory; false with the reason.
    bool installP(VellUpdatePackage &package, QString &errorText);
    /**
     * Installs package "p", which must fail with a text holding @p expected
     * (any text when it is empty), and rolls it back. Returns what went
     * wrong; empty when the installation directory is @p before again.
     */
    QString failsAndComesBack(const QString &expected, const Tree &before);

    QString installDir() const { return base->filePath(QStringLiteral("vell")); }
    QString workDir() const { return base->filePath(QStringLiteral("work")); }
    QString sentinelDir() const { return base->filePath(QStringLiteral("sentinel")); }
    QString siblingDir() const { return base->filePath(QStringLiteral("vell-evil")); }

    /// Lays out an unwind area as a run of this user's would: 0700 folders, saved/0 a backup.
    bool writeUnwindArea(const QByteArray &journal);
    /// Recovers installDir() in process; @p unrestored gets what the box would list.
    VellInstallRecovery::Outcome recoverHere(QStringList &unrestored);

    std::unique_ptr<Update> makeUpdate(const QByteArray &archive, const std::string &type = "app",
        const std::string &name = "core") const;
    /// Builds work/<archive>.zip with the package builder.
    bool buildPackage(const QByteArray &archive, const Files &added, const QStringList &removed,
        const std::string &type = "app");

    std::unique_ptr<QTemporaryDir> base;
    Tree outside;
    bool privateMounts = false;
};

void tst_VellUpdatePackage::initTestCase()
{
    privateMounts = TestNamespace::isInside(TestNamespace::Mount);
}

void tst_VellUpdatePackage::init()
{
    base = std::make_unique<QTemporaryDir>();
    QVERIFY2(base->isValid(), qPrintable(base->errorString()));
    QVERIFY(QDir().mkpath(installDir()));
    QVERIFY(QDir().mkpath(workDir()));
    QVERIFY(writeFile(sentinelDir() + "/keep.txt", "sentinel"));
    QVERIFY(writeFile(sentinelDir() + "/x.txt", "outside x"));
    QVERIFY(writeFile(siblingDir() + "/x.txt", "sibling x"));
    outside = snapshot(base->path());
}

void tst_VellUpdatePackage::cleanup()
{
    // Whatever a test did, nothing outside the installation and work
    // directories may have changed.
    Tree now = snapshot(base->path());
    for (Tree *tree : {&now, &outside}) {
        for (auto it = tree->begin(); it != tree->end();) {
            const bool ours = it.key() == QLatin1String("vell") || it.key() == QLatin1String("work")
                || it.key().startsWith(QLatin1String("vell/"))
                || it.key().startsWith(QLatin1String("work/"));
            it = ours ? tree->erase(it) : std::next(it);
        }
    }
    QCOMPARE(now, outside);
    base.reset();
}

std::unique_ptr<Update> tst_VellUpdatePackage::makeUpdate(
    const QByteArray &archive, const std::string &type, const std::string &name) const
{
    return std::make_unique<Update>(
        TestUpdates::make(name, type, "http://updates.example/" + archive.toStdString() + ".zip"));
}

bool tst_VellUpdatePackage::buildPackage(const QByteArray &archive, const Files &added,
    const QStringList &removed, const std::string &type)
{
    TestPackage package(QStringLiteral("core"), QString::fromStdString(type));
    for (auto it = added.begin(); it != added.end(); ++it) {
        package.add(it.key(), it.value());
    }
    for (const QString &file : removed) {
        package.remove(file);
    }
    QString errorText;
    const bool written = package.write(workDir() + '/' + archive + ".zip", &errorText);
    if (!written) {
        qWarning() << "the package builder failed:" << errorText;
    }
    return written;
}

bool tst_VellUpdatePackage::installP(VellUpdatePackage &package, QString &errorText)
{
    QStringList installed;
    return package.install(workDir(), errorText, installed);
}

QString tst_VellUpdatePackage::failsAndComesBack(const QString &expected, const Tree &before)
{
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    if (installP(package, errorText)) {
        return QStringLiteral("the installation succeeded");
    }
    if (errorText.isEmpty() || !errorText.contains(expected)) {
        return QStringLiteral("unexpected error text: \"%1\"").arg(errorText);
    }
    if (!package.unwind(workDir())) {
        return QStringLiteral("the rollback failed");
    }
    const Tree after = snapshot(installDir());
    return after == before ? QString() : QString::fromUtf8(treeDifference(after, before));
}

void tst_VellUpdatePackage::addOverNothing()
{
    QVERIFY(buildPackage("p", {{"a.txt", "A"}, {"lib/new.so", "library"}}, {}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY2(package.install(workDir(), errorText, installed), qPrintable(errorText));
    QVERIFY(errorText.isEmpty());
    QCOMPARE(installed, (QStringList {" - p.xml", " - a.txt", " - lib/new.so"}));
    QCOMPARE(readFile(installDir() + "/a.txt"), QByteArray("A"));
    QCOMPARE(readFile(installDir() + "/lib/new.so"), QByteArray("library"));
    QCOMPARE(QFileInfo(installDir() + "/lib/new.so").permissions(),
        QFileInfo(installDir()).permissions());
    QVERIFY(package.getRestoreFiles().isEmpty());
    QCOMPARE(package.getAddedFiles(), (QStringList {"a.txt", "lib/new.so"}));
    // New files go straight to their folder: nothing is left in the work directory.
    QCOMPARE(QDir(workDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList {"p.zip"});

    // Rolled back: the new files and the folder made for them are gone.
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), Tree());
}

void tst_VellUpdatePackage::addOverExistingFileIsUndone()
{
    QVERIFY(writeFile(installDir() + "/bin/tool", "old tool"));
    QVERIFY(QFile::setPermissions(
        installDir() + "/bin/tool", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const Tree before = snapshot(installDir());
    QVERIFY(buildPackage("p", {{"bin/tool", "new tool"}}, {}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY2(package.install(workDir(), errorText, installed), qPrintable(errorText));
    QCOMPARE(readFile(installDir() + "/bin/tool"), QByteArray("new tool"));
    QCOMPARE(package.getRestoreDirs(), QStringList {"bin"});
    QCOMPARE(package.getRestoreFiles(), QStringList {"bin/tool"});

    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::removedFileAndFolderComeBack()
{
    QVERIFY(writeFile(installDir() + "/old/x.txt", "keep me"));
    const Tree before = snapshot(installDir());
    QVERIFY(buildPackage("p", {}, {"old/x.txt"}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY2(package.install(workDir(), errorText, installed), qPrintable(errorText));
    QVERIFY(!QFileInfo::exists(installDir() + "/old/x.txt"));
    QVERIFY(QDir(installDir()).rmdir("old"));

    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::actionsAreCaseInsensitive_data()
{
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QByteArray>("result"); // contents of x.txt afterwards, empty when removed
    QTest::newRow("ADD") << QByteArray("ADD") << QByteArray("new");
    QTest::newRow("Add") << QByteArray("Add") << QByteArray("new");
    QTest::newRow("REMOVE") << QByteArray("REMOVE") << QByteArray();
    QTest::newRow("Remove") << QByteArray("Remove") << QByteArray();
    QTest::newRow("other: only backed up") << QByteArray("update") << QByteArray("old");
    QTest::newRow("none: only backed up") << QByteArray() << QByteArray("old");
}

void tst_VellUpdatePackage::actionsAreCaseInsensitive()
{
    QFETCH(QByteArray, action);
    QFETCH(QByteArray, result);
    QVERIFY(writeFile(installDir() + "/x.txt", "old"));
    const Tree before = snapshot(installDir());
    QVERIFY(TestArchive::write(workDir() + "/p.zip",
        {{"p.xml", descriptor(identity, fileElement(".", "x.txt", action))}, {"x.txt", "new"}}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY2(package.install(workDir(), errorText, installed), qPrintable(errorText));
    QCOMPARE(
        readFile(installDir() + "/x.txt"), result.isEmpty() ? QByteArray("<missing>") : result);
    QCOMPARE(package.getRestoreFiles(), QStringList {"x.txt"});
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::retryRecordsFoldersOnceAndFilesTwice()
{
    QVERIFY(writeFile(installDir() + "/d/x.txt", "old"));
    const Tree before = snapshot(installDir());
    QVERIFY(buildPackage("p", {{"d/x.txt", "new"}, {"d/y.txt", "added"}}, {}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    for (int attempt = 0; attempt < 2; ++attempt) {
        QString errorText;
        QStringList installed;
        QVERIFY2(package.install(workDir(), errorText, installed), qPrintable(errorText));
        QCOMPARE(installed.size(), 3);
    }
    QCOMPARE(package.getRestoreDirs(), QStringList {"d"});
    QCOMPARE(package.getRestoreFiles(), (QStringList {"d/x.txt", "d/x.txt"}));
    QCOMPARE(package.getAddedFiles(), (QStringList {"d/y.txt", "d/y.txt"}));
    // The second attempt found the new bytes in place; the backup still holds the old ones.
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::untouchedPackageUnwindsNothing()
{
    QVERIFY(writeFile(installDir() + "/x.txt", "old"));
    const Tree before = snapshot(installDir());
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::packagesOfOneRunUnwindToTheStateBeforeIt()
{
    QVERIFY(writeFile(installDir() + "/shared.txt", "original"));
    const Tree before = snapshot(installDir());
    QVERIFY(buildPackage("first", {{"shared.txt", "first"}, {"new/n.txt", "first"}}, {}));
    QVERIFY(buildPackage("second", {{"shared.txt", "second"}, {"new/n.txt", "second"}}, {}));
    auto first = makeUpdate("first");
    auto second = makeUpdate("second");
    VellUpdatePackage firstPackage(first.get(), installDir());
    VellUpdatePackage secondPackage(second.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY2(firstPackage.install(workDir(), errorText, installed), qPrintable(errorText));
    QVERIFY2(secondPackage.install(workDir(), errorText, installed), qPrintable(errorText));
    QCOMPARE(readFile(installDir() + "/new/n.txt"), QByteArray("second"));

    // Unwound first to last, as the engine does.
    QVERIFY(firstPackage.unwind(workDir()));
    QVERIFY(secondPackage.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::largeRunFinishesUnderATightDescriptorLimit()
{
    // More files and folders than descriptors may be open, every file replaced, and a file
    // that the second package of the run removes again: finish() makes the
    // whole run durable and keeps nothing of the backups.
    Files first;
    for (int i = 0; i < 300; ++i) {
        const QString name = QStringLiteral("d%1/f%2.txt").arg(i % 100).arg(i);
        QVERIFY(writeFile(installDir() + '/' + name, "old"));
        first.insert(name, "new " + name.toLatin1());
    }
    first.insert(QStringLiteral("brief.txt"), "short-lived");
    QVERIFY(buildPackage("first", first, {}));
    QVERIFY(buildPackage("second", {{"d0/f0.txt", "newer"}}, {"brief.txt"}));
    auto firstUpdate = makeUpdate("first");
    auto secondUpdate = makeUpdate("second");
    VellUpdatePackage firstPackage(firstUpdate.get(), installDir());
    VellUpdatePackage secondPackage(secondUpdate.get(), installDir());

    rlimit limit {};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit tight {64, limit.rlim_max};
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    QString errorText;
    QStringList installed;
    const bool done = firstPackage.install(workDir(), errorText, installed)
        && secondPackage.install(workDir(), errorText, installed) && firstPackage.finish(errorText)
        && secondPackage.finish(errorText);
    ::setrlimit(RLIMIT_NOFILE, &limit);
    QVERIFY2(done, qPrintable(errorText));

    QCOMPARE(readFile(installDir() + "/d0/f0.txt"), QByteArray("newer"));
    QCOMPARE(readFile(installDir() + "/d99/f299.txt"), QByteArray("new d99/f299.txt"));
    QVERIFY(!QFileInfo::exists(installDir() + "/brief.txt"));
    QVERIFY(!QFileInfo::exists(installDir() + "/.vell-unwind"));
}

void tst_VellUpdatePackage::runThatFailedToFinishIsNeverMarkedDone()
{
    QVERIFY(writeFile(installDir() + "/x.txt", "old"));
    const Tree before = snapshot(installDir());
    QVERIFY(buildPackage("p", {{"x.txt", "new"}, {"y.txt", "new y"}}, {}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QVERIFY2(installP(package, errorText), qPrintable(errorText));
    // The placed file cannot be synced: a symbolic link took its place.
    QVERIFY(QFile::remove(installDir() + "/y.txt"));
    QVERIFY(QFile::link(base->filePath("elsewhere"), installDir() + "/y.txt"));
    QVERIFY(!package.finish(errorText));
    QVERIFY2(errorText.contains(QString::fromLocal8Bit(strerror(ELOOP))), qPrintable(errorText));
    // Once failed, never done, even when the obstacle is gone: a failed
    // write-back is reported only once, so a second attempt could sync
    // nothing and vouch for lost data.
    QVERIFY(QFile::remove(installDir() + "/y.txt"));
    QVERIFY(!package.finish(errorText));
    QVERIFY(!readFile(installDir() + "/.vell-unwind/journal").contains("done"));
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::interruptedEarlierRunIsUndoneFirst()
{
    // What a run that was killed after adding stray.txt left behind.
    QVERIFY(writeUnwindArea("run 1 boot\nabsent stray.txt\n"));
    QVERIFY(writeFile(installDir() + "/stray.txt", "from the killed run"));
    QVERIFY(writeFile(installDir() + "/x.txt", "current"));
    Tree before = snapshot(installDir());
    before.remove(".vell-unwind");
    before.remove(".vell-unwind/journal");
    before.remove(".vell-unwind/lock");
    before.remove(".vell-unwind/saved");
    before.remove(".vell-unwind/saved/0");
    before.remove("stray.txt");
    QVERIFY(buildPackage("p", {{"x.txt", "new"}}, {}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY2(package.install(workDir(), errorText, installed), qPrintable(errorText));
    QVERIFY(!QFileInfo::exists(installDir() + "/stray.txt"));
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

bool tst_VellUpdatePackage::writeUnwindArea(const QByteArray &journal)
{
    const QString area = installDir() + "/.vell-unwind";
    // The lock stays behind as well when a run dies.
    return writeFile(area + "/journal", journal) && writeFile(area + "/lock", QByteArray())
        && writeFile(area + "/saved/0", "backup")
        && ::chmod(QFile::encodeName(area).constData(), 0700) == 0
        && ::chmod(QFile::encodeName(area + "/saved").constData(), 0700) == 0;
}

VellInstallRecovery::Outcome tst_VellUpdatePackage::recoverHere(QStringList &unrestored)
{
    return VellInstallRecovery::recoverInterruptedRuns({installDir()}, unrestored);
}

void tst_VellUpdatePackage::craftedJournalsTouchNothing_data()
{
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QString>("reason");
    const QString name = "a name with an empty, \".\" or \"..\" component";
    // Names are written encoded: "/" is %2F.
    QTest::newRow("parent") << QByteArray("absent ../sentinel/x.txt\n") << name;
    QTest::newRow("far parent") << QByteArray("absent ../../../outside/x\n") << name;
    QTest::newRow("encoded parent") << QByteArray("absent %2E%2E/sentinel/x.txt\n") << name;
    QTest::newRow("encoded slash") << QByteArray("absent ..%2Fsentinel%2Fx.txt\n") << name;
    QTest::newRow("parent deeper") << QByteArray("dir lib/../../sentinel\n") << name;
    QTest::newRow("dot") << QByteArray("absent ./x.txt\n") << name;
    QTest::newRow("double slash") << QByteArray("absent lib//x.txt\n") << name;
    QTest::newRow("trailing slash") << QByteArray("absent lib/\n") << name;
    QTest::newRow("absolute") << QByteArray("absent %2Fetc%2Fpasswd\n") << "an absolute name";
    QTest::newRow("empty") << QByteArray("absent \n") << "an empty name";
    QTest::newRow("backslash") << QByteArray("absent ..\\sentinel\\x.txt\n")
                               << "a name with a NUL or backslash character";
    QTest::newRow("NUL") << QByteArray("absent x.txt%00.so\n")
                         << "a name with a NUL or backslash character";
    QTest::newRow("own folder") << QByteArray("absent .vell-unwind/lock\n")
                                << "a name inside the journal's own folder";
    QTest::newRow("backup outside") << QByteArray("saved x.txt ../../sentinel/x.txt\n")
                                    << "a backup that is not a number inside saved/";
    QTest::newRow("backup signed")
        << QByteArray("saved x.txt -0\n") << "a backup that is not a number inside saved/";
    QTest::newRow("backup encoded")
        << QByteArray("saved x.txt %30\n") << "a backup that is not a number inside saved/";
    QTest::newRow("unknown record")
        << QByteArray("chmod sentinel 0777\n") << "a line it cannot understand";
    QTest::newRow("extra field") << QByteArray("absent x.txt more\n")
                                 << "a line it cannot understand";
    QTest::newRow("empty line") << QByteArray("\nabsent x.txt\n") << "a line it cannot understand";
}

void tst_VellUpdatePackage::craftedJournalsTouchNothing()
{
    QFETCH(QByteArray, records);
    QFETCH(QString, reason);
    // A valid record first: an invalid journal is refused whole, never in part.
    const QByteArray journal = "run 1 boot\nabsent x.txt\n" + records;
    QVERIFY(writeFile(installDir() + "/x.txt", "current"));
    QVERIFY(writeUnwindArea(journal));
    const Tree before = snapshot(installDir());
    QStringList unrestored;
    QCOMPARE(recoverHere(unrestored), VellInstallRecovery::Outcome::Failed);
    QCOMPARE(unrestored.size(), 1);
    QVERIFY2(unrestored.first().contains(installDir() + "/.vell-unwind"),
        qPrintable(unrestored.first()));
    QVERIFY2(unrestored.first().contains("is invalid and was left untouched"),
        qPrintable(unrestored.first()));
    QVERIFY2(unrestored.first().contains(reason), qPrintable(unrestored.first()));
    QVERIFY2(snapshot(installDir()) == before,
        treeDifference(snapshot(installDir()), before).constData());
    QCOMPARE(readFile(installDir() + "/.vell-unwind/journal"), journal);

    // An installation finds the same journal and refuses to start.
    QVERIFY(buildPackage("p", {{"y.txt", "new"}}, {}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QVERIFY(!installP(package, errorText));
    QVERIFY2(errorText.contains(reason), qPrintable(errorText));
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::percentSignsInNamesStayLiteral()
{
    // "%252E%252E" is the journal's way to write the name "%2E%2E": one
    // decoding, never a second that would make it "..".
    QVERIFY(writeFile(installDir() + "/%2E%2E", "from the killed run"));
    QVERIFY(writeUnwindArea("run 1 boot\nabsent %252E%252E\n"));
    QStringList unrestored;
    QCOMPARE(recoverHere(unrestored), VellInstallRecovery::Outcome::Restored);
    QVERIFY(!QFileInfo::exists(installDir() + "/%2E%2E"));
    QVERIFY(!QFileInfo::exists(installDir() + "/.vell-unwind"));
}

void tst_VellUpdatePackage::unwindAreaSwappedDuringRecoveryIsNotFollowed_data()
{
    QTest::addColumn<bool>("atStart");
    QTest::newRow("recovery at start-up") << true;
    QTest::newRow("recovery before a run") << false;
}

void tst_VellUpdatePackage::unwindAreaSwappedDuringRecoveryIsNotFollowed()
{
    // Once the area was checked, its name is swapped for a link to a folder
    // that looks like one: nothing after the check may act on that folder.
    QFETCH(bool, atStart);
    QVERIFY(writeUnwindArea("run 1 boot\nabsent stray.txt\n"));
    QVERIFY(writeFile(installDir() + "/stray.txt", "from the killed run"));
    for (const char *name : {"journal", "saved/0", "new/0"}) {
        QVERIFY(writeFile(sentinelDir() + '/' + name, "not the updater's"));
    }
    outside = snapshot(base->path()); // cleanup() compares with this
    {
        FolderSwap swap(installDir(), "new file removed", 1, ".vell-unwind");
        if (atStart) {
            QStringList unrestored;
            QCOMPARE(recoverHere(unrestored), VellInstallRecovery::Outcome::Restored);
        } else {
            QVERIFY(buildPackage("p", {{"x.txt", "new"}}, {}));
            auto update = makeUpdate("p");
            VellUpdatePackage package(update.get(), installDir());
            QString errorText;
            QVERIFY2(
                installP(package, errorText) && package.finish(errorText), qPrintable(errorText));
            QCOMPARE(readFile(installDir() + "/x.txt"), QByteArray("new"));
        }
        QVERIFY(swap.happened());
        QVERIFY(swap.swapBack());
    }
    QVERIFY(!QFileInfo::exists(installDir() + "/stray.txt"));
}

void tst_VellUpdatePackage::unwindAreaThatIsNotWhatItClaimsIsRefused_data()
{
    QTest::addColumn<QString>("replaced");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reason");
    QTest::newRow("area a link") << ".vell-unwind"
                                 << "link"
                                 << "it is a symbolic link";
    QTest::newRow("saved a link") << ".vell-unwind/saved"
                                  << "link"
                                  << "it is a symbolic link";
    QTest::newRow("new a link") << ".vell-unwind/new"
                                << "link"
                                << "it is a symbolic link";
    QTest::newRow("area a file") << ".vell-unwind"
                                 << "file"
                                 << "it is not a folder";
    QTest::newRow("saved a file") << ".vell-unwind/saved"
                                  << "file"
                                  << "it is not a folder";
    QTest::newRow("area open to others") << ".vell-unwind"
                                         << "0777"
                                         << "others may change it (its mode is not 0700)";
    QTest::newRow("saved open to others") << ".vell-unwind/saved"
                                          << "0755"
                                          << "others may change it (its mode is not 0700)";
}

void tst_VellUpdatePackage::unwindAreaThatIsNotWhatItClaimsIsRefused()
{
    QFETCH(QString, replaced);
    QFETCH(QString, how);
    QFETCH(QString, reason);
    QVERIFY(writeFile(installDir() + "/x.txt", "current"));
    QVERIFY(writeUnwindArea("run 1 boot\nabsent x.txt\n"));
    const QByteArray path = QFile::encodeName(installDir() + '/' + replaced);
    if (how == "link") {
        // The link leads to a folder outside, which must keep what it holds.
        QVERIFY(QDir(installDir() + '/' + replaced).removeRecursively());
        QVERIFY(::symlink(QFile::encodeName(sentinelDir()).constData(), path.constData()) == 0);
    } else if (how == "file") {
        QVERIFY(QDir(installDir() + '/' + replaced).removeRecursively());
        QVERIFY(writeFile(installDir() + '/' + replaced, "a file"));
    } else {
        QVERIFY(::chmod(path.constData(), how.toUInt(nullptr, 8)) == 0);
    }
    const Tree before = snapshot(installDir());
    QStringList unrestored;
    QCOMPARE(recoverHere(unrestored), VellInstallRecovery::Outcome::Failed);
    QCOMPARE(unrestored.size(), 1);
    QVERIFY2(unrestored.first().contains(installDir() + '/' + replaced + ' ')
            && unrestored.first().contains(reason),
        qPrintable(unrestored.first()));
    QCOMPARE(snapshot(installDir()), before);

    QVERIFY(buildPackage("p", {{"y.txt", "new"}}, {}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QVERIFY(!installP(package, errorText));
    QVERIFY2(errorText.contains(reason), qPrintable(errorText));
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::rootLeavesAUsersJournalAlone()
{
    // Root run under a user's HOME (sudo -E): the area is the user's, so
    // nothing in it is trusted, however innocent the journal looks.
    if (::geteuid() != 0) {
        QSKIP("needs root, as the test's private namespace gives");
    }
    const QByteArray rootFile = QFile::encodeName(installDir() + "/root-owned.txt");
    QVERIFY(writeFile(installDir() + "/root-owned.txt", "root's"));
    QVERIFY(::chmod(rootFile.constData(), 0600) == 0);
    QVERIFY(writeUnwindArea("run 1 boot\nsaved root-owned.txt 0\n"));
    const QString area = installDir() + "/.vell-unwind";
    for (const QString &path :
        QStringList {area, area + "/journal", area + "/saved", area + "/saved/0"}) {
        QVERIFY(::lchown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
    }
    QVERIFY(::chmod(QFile::encodeName(area + "/saved/0").constData(), 0666) == 0);
    const Tree before = snapshot(installDir());
    QStringList unrestored;
    QCOMPARE(recoverHere(unrestored), VellInstallRecovery::Outcome::Failed);
    QVERIFY2(unrestored.value(0).contains("it belongs to another user"),
        qPrintable(unrestored.value(0)));
    struct stat info;
    QVERIFY(::lstat(rootFile.constData(), &info) == 0);
    QCOMPARE(int(info.st_uid), 0);
    QCOMPARE(int(info.st_mode & 07777), 0600);
    QCOMPARE(readFile(installDir() + "/root-owned.txt"), QByteArray("root's"));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::appAndPluginBackupsStayApart()
{
    const QString pluginDir = base->filePath(QStringLiteral("vell/plugins"));
    QVERIFY(writeFile(installDir() + "/x.txt", "app original"));
    QVERIFY(writeFile(pluginDir + "/x.txt", "plugin original"));
    const Tree before = snapshot(installDir());
    QVERIFY(buildPackage("app", {{"x.txt", "app new"}}, {}, "app"));
    QVERIFY(buildPackage("plugin", {{"x.txt", "plugin new"}}, {}, "plugin"));
    auto app = makeUpdate("app", "app");
    auto plugin = makeUpdate("plugin", "plugin");
    VellUpdatePackage appPackage(app.get(), installDir());
    VellUpdatePackage pluginPackage(plugin.get(), pluginDir);
    QString errorText;
    QStringList installed;
    QVERIFY2(appPackage.install(workDir(), errorText, installed), qPrintable(errorText));
    QVERIFY2(pluginPackage.install(workDir(), errorText, installed), qPrintable(errorText));
    QCOMPARE(readFile(pluginDir + "/x.txt"), QByteArray("plugin new"));

    QVERIFY(appPackage.unwind(workDir()));
    QVERIFY(pluginPackage.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::installDirectoryFollowsTheType()
{
    auto app = makeUpdate("p", "app");
    auto plugin = makeUpdate("p", "plugin");
    QCOMPARE(VellUpdatePackage(app.get()).getInstallDir(), QCoreApplication::applicationDirPath());
    QCOMPARE(
        VellUpdatePackage(plugin.get()).getInstallDir(), QDir::homePath() + "/.Vellnet/plugins/");
}

void tst_VellUpdatePackage::firstPluginGetsUserFilePermissions()
{
    const QByteArray home = qgetenv("HOME");
    const QString fakeHome = base->filePath(QStringLiteral("vell/home"));
    qputenv("HOME", QFile::encodeName(fakeHome));
    auto restoreHome = qScopeGuard([&] { qputenv("HOME", home); });

    QVERIFY(buildPackage("p", {{"filter.kwx", "plug-in"}}, {}, "plugin"));
    auto update = makeUpdate("p", "plugin");
    VellUpdatePackage package(update.get());
    QCOMPARE(package.getInstallDir(), fakeHome + "/.Vellnet/plugins/");
    QString errorText;
    QStringList installed;
    QVERIFY2(package.install(workDir(), errorText, installed), qPrintable(errorText));
    const QString plugin = fakeHome + "/.Vellnet/plugins/filter.kwx";
    QCOMPARE(readFile(plugin), QByteArray("plug-in"));
    QCOMPARE(QFileInfo(plugin).permissions(),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup
            | QFile::ReadOther);

    QVERIFY(package.unwind(workDir()));
    QVERIFY(!QFileInfo::exists(plugin));
}

void tst_VellUpdatePackage::unknownTypeTouchesNothing()
{
    QVERIFY(buildPackage("p", {{"x.txt", "x"}}, {}, "theme"));
    const Tree before = snapshot(base->path());
    auto update = makeUpdate("p", "theme");
    VellUpdatePackage package(update.get());
    QVERIFY(package.getInstallDir().isEmpty());
    QString errorText;
    QStringList installed;
    QVERIFY(!package.install(workDir(), errorText, installed));
    QVERIFY2(errorText.contains("theme"), qPrintable(errorText));
    QVERIFY(installed.isEmpty());
    QCOMPARE(snapshot(base->path()), before);
}

void tst_VellUpdatePackage::missingDescriptorFails()
{
    QVERIFY(TestPackage(QStringLiteral("core"), QStringLiteral("app"))
                .add(QStringLiteral("x.txt"), "x")
                .setDescriptorEntry(QStringLiteral("other.xml"))
                .write(workDir() + "/p.zip"));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY(!package.install(workDir(), errorText, installed));
    QVERIFY2(errorText.contains("p.xml"), qPrintable(errorText));
    QCOMPARE(installed, (QStringList {" - other.xml", " - x.txt"}));
    QCOMPARE(snapshot(installDir()), Tree());
}

void tst_VellUpdatePackage::identityMismatchFailsWithoutText_data()
{
    QTest::addColumn<QByteArray>("package");
    QTest::newRow("project") << QByteArray("project='other' name='core' type='app'");
    QTest::newRow("name") << QByteArray("project='vell' name='Core' type='app'");
    QTest::newRow("type") << QByteArray("project='vell' name='core' type='plugin'");
}

void tst_VellUpdatePackage::identityMismatchFailsWithoutText()
{
    QFETCH(QByteArray, package);
    QVERIFY(writeFile(installDir() + "/x.txt", "old"));
    const Tree before = snapshot(installDir());
    // An instruction before the package element is carried out and recorded.
    const QByteArray document = "<root>" + fileElement(".", "x.txt", "add") + "<package " + package
        + "/>" + fileElement(".", "y.txt", "add") + "</root>";
    QVERIFY(TestArchive::write(
        workDir() + "/p.zip", {{"p.xml", document}, {"x.txt", "new"}, {"y.txt", "new"}}));
    auto update = makeUpdate("p");
    VellUpdatePackage pkg(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY(!pkg.install(workDir(), errorText, installed));
    QVERIFY(errorText.isEmpty());
    QCOMPARE(readFile(installDir() + "/x.txt"), QByteArray("new"));
    QVERIFY(!QFileInfo::exists(installDir() + "/y.txt"));
    QVERIFY(pkg.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::malformedDescriptorFailsAndUnwinds()
{
    QVERIFY(writeFile(installDir() + "/x.txt", "old"));
    const Tree before = snapshot(installDir());
    const QByteArray document
        = descriptor(identity, fileElement(".", "x.txt", "add")).chopped(10) + "<file path=";
    QVERIFY(TestArchive::write(workDir() + "/p.zip", {{"p.xml", document}, {"x.txt", "new"}}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY(!package.install(workDir(), errorText, installed));
    QVERIFY2(errorText.contains("malformed"), qPrintable(errorText));
    QCOMPARE(readFile(installDir() + "/x.txt"), QByteArray("new"));
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::descriptorWithDocumentTypeIsRefused_data()
{
    QTest::addColumn<QByteArray>("document");
    QFile expansion(QStringLiteral(":/fixtures/entity-expansion.xml"));
    QVERIFY2(expansion.open(QIODevice::ReadOnly), qPrintable(expansion.errorString()));
    // 285 bytes whose entities expand into 1800 instructions.
    QTest::newRow("entities expanding into instructions") << expansion.readAll();
    QTest::newRow("document type alone") << "<!DOCTYPE package><package " + QByteArray(identity)
            + ">" + fileElement(".", "x.txt", "add") + "</package>";
}

// A descriptor has no use for a document type; its entities could make a few
// bytes ask for any number of instructions. Nothing is installed.
void tst_VellUpdatePackage::descriptorWithDocumentTypeIsRefused()
{
    QFETCH(QByteArray, document);
    QVERIFY(TestArchive::write(workDir() + "/p.zip", {{"p.xml", document}, {"x.txt", "new"}}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY(!package.install(workDir(), errorText, installed));
    QVERIFY2(errorText.contains("document type"), qPrintable(errorText));
    QVERIFY(!QFileInfo::exists(installDir() + "/x.txt"));
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), Tree());
}

void tst_VellUpdatePackage::damagedArchivesFail_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("not a ZIP") << "text";
    QTest::newRow("truncated") << "truncated";
    QTest::newRow("corrupted data") << "corrupted";
    QTest::newRow("no archive") << "missing";
}

void tst_VellUpdatePackage::damagedArchivesFail()
{
    QFETCH(QString, damage);
    QVERIFY(writeFile(installDir() + "/x.txt", "old"));
    const Tree before = snapshot(installDir());
    QByteArray payload;
    for (int i = 0; i < 20000; ++i) {
        payload += QByteArray::number(i * 7919 % 10007);
    }
    const QString archive = workDir() + "/p.zip";
    QVERIFY(TestPackage(QStringLiteral("core"), QStringLiteral("app"))
                .add(QStringLiteral("x.txt"), payload)
                .write(archive));
    QByteArray bytes = readFile(archive);
    if (damage == "text") {
        bytes = "this is not an archive";
    } else if (damage == "truncated") {
        bytes.truncate(bytes.size() / 2);
    } else if (damage == "corrupted") {
        // Flip bytes inside the compressed data of the second entry.
        const int at = bytes.indexOf("x.txt") + 200;
        for (int i = at; i < at + 16; ++i) {
            bytes[i] = char(bytes[i] ^ 0x5a);
        }
    }
    if (damage == "missing") {
        QVERIFY(QFile::remove(archive));
    } else {
        QVERIFY(writeFile(archive, bytes));
    }
    const QString problem = failsAndComesBack(QString(), before);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_VellUpdatePackage::descriptorPathsOutsideAreSkipped_data()
{
    QTest::addColumn<bool>("walk");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("action");
    const QVector<std::array<QByteArray, 3>> rows {
        {"climbing to a sibling folder", "../sentinel", "add"},
        {"removing from a sibling folder", "../sentinel", "remove"},
        {"a sibling that begins with the same name", "../vell-evil", "add"},
        {"climbing from inside", "lib/../../sentinel", "remove"},
        {"climbing back in through a parent",
            "../../" + QFileInfo(QDir::tempPath()).fileName().toUtf8(), "add"},
        {"through an absolute symbolic link", "out", "add"},
        {"removing through a symbolic link", "out", "remove"},
        {"through a relative symbolic link", "up", "add"},
        {"through a link inside that leads out", "inner/up", "add"},
        {"into the backup folder", ".vell-unwind", "add"},
        {"into the backup folder from inside", "lib/../.vell-unwind/saved", "add"},
        {"into the backup folder through a link", "backups", "add"},
        {"into the staging folder through a link", "staging", "add"}};
    for (const bool walk : {false, true}) {
        for (const auto &row : rows) {
            QTest::addRow("%s, %s", walk ? "walk" : "openat2", row[0].constData())
                << walk << row[1] << row[2];
        }
    }
}

void tst_VellUpdatePackage::descriptorPathsOutsideAreSkipped()
{
    QFETCH(bool, walk);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, action);
    const WalkForced resolution(walk);
    QVERIFY(QFile::link(sentinelDir(), installDir() + "/out"));
    QVERIFY(QFile::link("../sentinel", installDir() + "/up"));
    QVERIFY(QDir().mkpath(installDir() + "/inner"));
    QVERIFY(QFile::link("../up", installDir() + "/inner/up"));
    QVERIFY(QFile::link(".vell-unwind/saved", installDir() + "/backups"));
    QVERIFY(QFile::link(".vell-unwind/new", installDir() + "/staging"));
    QVERIFY(QFile::link(sentinelDir() + "/x.txt", installDir() + "/x.txt"));
    const Tree before = snapshot(installDir());
    QVERIFY(TestArchive::write(workDir() + "/p.zip",
        {{"p.xml",
             descriptor(
                 identity, fileElement(path, "x.txt", action) + fileElement(".", "ok.txt", "add"))},
            {"x.txt", "evil"}, {"ok.txt", "fine"}}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY2(package.install(workDir(), errorText, installed), qPrintable(errorText));
    QCOMPARE(readFile(installDir() + "/ok.txt"), QByteArray("fine")); // the rest goes on
    QCOMPARE(package.getRestoreFiles(), QStringList());
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::hostileEntryNamesAreRefused_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::newRow("climbing") << QByteArray("../sentinel/x.txt");
    QTest::newRow("climbing from inside") << QByteArray("a/b/../../../sentinel/x.txt");
    QTest::newRow("absolute") << (QDir::tempPath() + "/vell-absolute-entry.txt").toUtf8();
    QTest::newRow("256 bytes") << QByteArray(256, 'n');
    QTest::newRow("300 bytes in folders") << QByteArray("dir/") + QByteArray(296, 'n');
}

void tst_VellUpdatePackage::hostileEntryNamesAreRefused()
{
    QFETCH(QByteArray, entry);
    QVERIFY(writeFile(installDir() + "/x.txt", "old"));
    const Tree before = snapshot(installDir());
    QVERIFY(TestArchive::write(workDir() + "/p.zip",
        {{"p.xml", descriptor(identity, fileElement(".", "x.txt", "add"))}, {entry, "evil"},
            {"x.txt", "new"}}));
    const Tree work = snapshot(workDir());
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY(!package.install(workDir(), errorText, installed));
    QVERIFY2(errorText.contains(QString::fromLatin1(entry)), qPrintable(errorText));
    QCOMPARE(installed, QStringList {" - p.xml"});
    QCOMPARE(snapshot(installDir()), before);
    QVERIFY(!QFileInfo::exists(QDir::tempPath() + "/vell-absolute-entry.txt"));
    QCOMPARE(snapshot(workDir()), work); // nothing was unpacked
}

void tst_VellUpdatePackage::failureAtEachStepIsUndoneByteForByte_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("step");
    for (const QString fault :
        {"copy fails", "target is a folder", "malformed descriptor", "foreign package"}) {
        for (int step = 0; step < 4; ++step) {
            QTest::addRow("%s at step %d", qPrintable(fault), step) << fault << step;
        }
    }
}

void tst_VellUpdatePackage::failureAtEachStepIsUndoneByteForByte()
{
    QFETCH(QString, fault);
    QFETCH(int, step);
    // Four files replaced, one removed, one added: an "app" package of several steps.
    const QStringList names {"d0/f.bin", "d1/f.bin", "d2/f.bin", "d3/f.bin"};
    for (int i = 0; i < names.size(); ++i) {
        QVERIFY(writeFile(installDir() + '/' + names[i], "old " + QByteArray::number(i)));
    }
    QVERIFY(writeFile(installDir() + "/gone.txt", "to be removed"));

    QByteArray instructions = fileElement(".", "gone.txt", "remove");
    QVector<TestArchive::Entry> entries;
    for (int i = 0; i < names.size(); ++i) {
        const QByteArray name = names[i].toUtf8();
        if (i == step && fault == "malformed descriptor") {
            instructions += "<file path='d'";
            break;
        }
        if (i == step && fault == "foreign package") {
            instructions += "<package project='other'/>";
        }
        instructions += fileElement(name.left(2), "f.bin", "add");
        if (!(i == step && fault == "copy fails")) {
            entries.append(TestArchive::Entry(name, "new " + QByteArray::number(i)));
        }
    }
    instructions += fileElement("new", "n.txt", "add");
    entries.append(TestArchive::Entry("new/n.txt", "added"));
    entries.prepend(TestArchive::Entry("p.xml", descriptor(identity, instructions)));
    QVERIFY(TestArchive::write(workDir() + "/p.zip", entries));

    const QString target = installDir() + '/' + names[step];
    if (fault == "target is a folder") {
        QVERIFY(QFile::remove(target));
        QVERIFY(writeFile(target + "/inner.txt", "inner"));
    }
    const Tree before = snapshot(installDir());

    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY(!package.install(workDir(), errorText, installed));
    QCOMPARE(errorText.isEmpty(), fault == "foreign package");
    if (step > 0) {
        QCOMPARE(readFile(installDir() + '/' + names[0]), QByteArray("new 0"));
    }
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::unnamedEntriesAreNotUnpacked()
{
    QVERIFY(TestArchive::write(workDir() + "/p.zip",
        {{"p.xml", descriptor(identity, fileElement(".", "x.txt", "add"))}, {"x.txt", "new"},
            {"extra/bomb.bin", QByteArray(1 << 20, '\0')}}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY2(package.install(workDir(), errorText, installed), qPrintable(errorText));
    QCOMPARE(installed, (QStringList {" - p.xml", " - x.txt", " - extra/bomb.bin"}));
    QVERIFY(!QFileInfo::exists(workDir() + "/extra"));
    QVERIFY(!QFileInfo::exists(installDir() + "/extra"));
    QVERIFY(package.finish(errorText));
    QCOMPARE(snapshot(installDir()).keys(), QStringList {"x.txt"}); // no backups left
}

void tst_VellUpdatePackage::symbolicLinkTargetsAreReplacedAsLinks_data()
{
    QTest::addColumn<QString>("linkTarget");
    QTest::addColumn<QByteArray>("action");
    QTest::newRow("leading outside, replaced") << QString("../sentinel/x.txt") << QByteArray("add");
    QTest::newRow("leading outside, removed")
        << QString("../sentinel/x.txt") << QByteArray("remove");
    QTest::newRow("dangling, replaced") << QString("missing.txt") << QByteArray("add");
    QTest::newRow("dangling, removed") << QString("missing.txt") << QByteArray("remove");
    QTest::newRow("to a file inside") << QString("real.txt") << QByteArray("add");
}

void tst_VellUpdatePackage::symbolicLinkTargetsAreReplacedAsLinks()
{
    QFETCH(QString, linkTarget);
    QFETCH(QByteArray, action);
    QVERIFY(writeFile(installDir() + "/real.txt", "real"));
    QVERIFY(QFile::link(linkTarget, installDir() + "/x.txt"));
    const Tree before = snapshot(installDir());
    QVERIFY(TestArchive::write(workDir() + "/p.zip",
        {{"p.xml", descriptor(identity, fileElement(".", "x.txt", action))}, {"x.txt", "new"}}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QVERIFY2(installP(package, errorText), qPrintable(errorText));
    // The link itself is what changes; nothing is written through it.
    QCOMPARE(snapshot(installDir()).value("x.txt").left(4),
        action == "add" ? QByteArray("file") : QByteArray());
    QCOMPARE(readFile(installDir() + "/real.txt"), QByteArray("real"));
    QCOMPARE(package.getRestoreFiles(), QStringList {"x.txt"});
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::folderSwappedForALinkOutIsRefused_data()
{
    QTest::addColumn<bool>("walk");
    QTest::addColumn<QByteArray>("step");
    QTest::addColumn<int>("occurrence");
    // The steps of the run below in their order: top.txt comes first, then
    // the files of share/, so each swap falls between two changes. The last
    // file replaced is followed only by the flush to disk, which must not
    // reach through the link either.
    const QVector<QPair<QByteArray, int>> steps {{"file staged", 1}, {"file staged", 3},
        {"backup made", 1}, {"backups synced", 1}, {"journal written", 1}, {"file replaced", 1},
        {"file replaced", 2}, {"folder created", 1}, {"file replaced", 4}};
    for (const bool walk : {false, true}) {
        for (const auto &step : steps) {
            QTest::addRow(
                "%s, after %s %d", walk ? "walk" : "openat2", step.first.constData(), step.second)
                << walk << step.first << step.second;
        }
    }
}

void tst_VellUpdatePackage::folderSwappedForALinkOutIsRefused()
{
    QFETCH(bool, walk);
    QFETCH(QByteArray, step);
    QFETCH(int, occurrence);
    const WalkForced resolution(walk);
    QVERIFY(writeFile(installDir() + "/top.txt", "old top"));
    QVERIFY(writeFile(installDir() + "/share/a.txt", "old a"));
    QVERIFY(writeFile(sentinelDir() + "/a.txt", "sentinel a"));
    outside = snapshot(base->path()); // cleanup() compares with this
    const Tree before = snapshot(installDir());
    const Tree sentinel = snapshot(sentinelDir());
    QVERIFY(buildPackage("p",
        {{"top.txt", "new top"}, {"share/a.txt", "new a"}, {"share/b.txt", "new b"},
            {"share/sub/c.txt", "new c"}},
        {}));

    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    {
        FolderSwap swap(installDir(), step.constData(), occurrence);
        const bool installed = installP(package, errorText) && package.finish(errorText);
        QVERIFY(swap.happened());
        QVERIFY2(!installed, "the installation went on through the link");
        QVERIFY2(errorText.contains(installDir() + "/share"), qPrintable(errorText));
        QCOMPARE(snapshot(sentinelDir()), sentinel);
        // The rollback cannot reach share/ through the link either: what it
        // cannot put back stays recorded for the next start.
        package.unwind(workDir());
        QCOMPARE(snapshot(sentinelDir()), sentinel);
        QVERIFY(swap.swapBack());
    }
    QStringList unrestored;
    QVERIFY(recoverHere(unrestored) != VellInstallRecovery::Outcome::Failed);
    QVERIFY2(unrestored.isEmpty(), qPrintable(unrestored.join('\n')));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::linkIntoAFoldersBackupIsRefused_data()
{
    QTest::addColumn<bool>("walk");
    QTest::newRow("openat2") << false;
    QTest::newRow("walk") << true;
}

// A folder the run backs up is kept as an empty folder in the backup area,
// under a number the next package can guess: a link of the installation
// that leads into it is refused like any other way out.
void tst_VellUpdatePackage::linkIntoAFoldersBackupIsRefused()
{
    QFETCH(bool, walk);
    const WalkForced resolution(walk);
    QVERIFY(QDir().mkpath(installDir() + "/empty"));
    QVERIFY(QFile::link(".vell-unwind/saved/0", installDir() + "/backup"));
    const Tree before = snapshot(installDir());
    // An action other than add or remove only backs the folder up.
    QVERIFY(TestArchive::write(workDir() + "/first.zip",
        {{"first.xml", descriptor(identity, fileElement(".", "empty", "keep"))}}));
    QVERIFY(TestArchive::write(workDir() + "/second.zip",
        {{"second.xml",
             descriptor(identity,
                 fileElement("backup", "x.txt", "add") + fileElement(".", "ok.txt", "add"))},
            {"backup/x.txt", "evil"}, {"ok.txt", "fine"}}));
    auto first = makeUpdate("first");
    auto second = makeUpdate("second");
    VellUpdatePackage firstPackage(first.get(), installDir());
    VellUpdatePackage secondPackage(second.get(), installDir());
    QString errorText;
    QStringList installed;
    QVERIFY2(firstPackage.install(workDir(), errorText, installed), qPrintable(errorText));
    QVERIFY(QFileInfo(installDir() + "/.vell-unwind/saved/0").isDir());
    QVERIFY2(secondPackage.install(workDir(), errorText, installed), qPrintable(errorText));
    QCOMPARE(QDir(installDir() + "/.vell-unwind/saved/0")
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList());
    QCOMPARE(readFile(installDir() + "/ok.txt"), QByteArray("fine"));
    QVERIFY(firstPackage.unwind(workDir()));
    QVERIFY(secondPackage.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::linkThatStaysInsideIsFollowed_data()
{
    QTest::addColumn<bool>("walk");
    QTest::addColumn<QString>("linkTarget");
    for (const bool walk : {false, true}) {
        const char *how = walk ? "walk" : "openat2";
        QTest::addRow("%s, a sibling", how) << walk << QString("share-2");
        QTest::addRow("%s, through a folder and back", how) << walk << QString("lib/../share-2");
        QTest::addRow("%s, a link to a link", how) << walk << QString("lib/again");
    }
}

void tst_VellUpdatePackage::linkThatStaysInsideIsFollowed()
{
    QFETCH(bool, walk);
    QFETCH(QString, linkTarget);
    const WalkForced resolution(walk);
    QVERIFY(writeFile(installDir() + "/share-2/a.txt", "old a"));
    QVERIFY(QDir().mkpath(installDir() + "/lib"));
    QVERIFY(QFile::link("../share-2", installDir() + "/lib/again"));
    QVERIFY(QFile::link(linkTarget, installDir() + "/share"));
    const Tree before = snapshot(installDir());
    QVERIFY(buildPackage("p", {{"share/a.txt", "new a"}, {"share/sub/b.txt", "new b"}}, {}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QVERIFY2(installP(package, errorText), qPrintable(errorText));
    QCOMPARE(readFile(installDir() + "/share-2/a.txt"), QByteArray("new a"));
    QCOMPARE(readFile(installDir() + "/share-2/sub/b.txt"), QByteArray("new b"));
    QVERIFY(QFileInfo(installDir() + "/share").isSymLink());
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::refusedOpenat2FallsBackToTheWalk_data()
{
    QTest::addColumn<int>("error");
    QTest::newRow("kernel without openat2 (ENOSYS)") << ENOSYS;
    QTest::newRow("filtered by a sandbox (EPERM)") << EPERM;
}

void tst_VellUpdatePackage::refusedOpenat2FallsBackToTheWalk()
{
    QFETCH(int, error);
    QVERIFY(writeFile(installDir() + "/share-2/a.txt", "old a"));
    QVERIFY(QFile::link("share-2", installDir() + "/share"));
    QVERIFY(QFile::link("../sentinel", installDir() + "/out"));
    QVERIFY(TestArchive::write(workDir() + "/p.zip",
        {{"p.xml",
             descriptor(identity,
                 fileElement("share", "a.txt", "add") + fileElement("out", "x.txt", "add"))},
            {"share/a.txt", "new a"}, {"out/x.txt", "evil"}}));
    // The filter cannot be lifted again: the installation runs in a child.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        auto update = makeUpdate("p");
        VellUpdatePackage package(update.get(), installDir());
        QString errorText;
        const bool installed = refuseOpenat2(error) && installP(package, errorText);
        if (!installed) {
            std::fprintf(stderr, "%s\n", qPrintable(errorText));
        }
        std::fflush(stderr);
        ::_exit(installed && package.finish(errorText) ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(readFile(installDir() + "/share-2/a.txt"), QByteArray("new a"));
    QVERIFY(QFileInfo(installDir() + "/share").isSymLink());
    // cleanup() finds the sentinel unchanged: the link out was refused.
}

void tst_VellUpdatePackage::setuidFileComesBackWithItsMode()
{
    QVERIFY(writeFile(installDir() + "/bin/helper", "old helper"));
    QVERIFY(writeFile(installDir() + "/bin/gone", "old gone"));
    for (const char *name : {"/bin/helper", "/bin/gone"}) {
        QVERIFY(::chmod(QFile::encodeName(installDir() + name).constData(), 06755) == 0);
    }
    const Tree before = snapshot(installDir());
    QCOMPARE(before.value("bin/helper").left(10), QByteArray("file 6755 "));
    QVERIFY(buildPackage("p", {{"bin/helper", "new helper"}}, {"bin/gone"}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QVERIFY2(installP(package, errorText), qPrintable(errorText));
    QVERIFY(!snapshot(installDir()).value("bin/helper").startsWith("file 6755"));
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::fileTurnedIntoFolderComesBack()
{
    QVERIFY(writeFile(installDir() + "/plugins", "a file where a folder will be"));
    const Tree before = snapshot(installDir());
    QVERIFY(TestArchive::write(workDir() + "/p.zip",
        {{"p.xml",
             descriptor(identity,
                 fileElement(".", "plugins", "remove")
                     + fileElement("plugins/deep", "a.kwx", "add"))},
            {"plugins/deep/a.kwx", "plug-in"}}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QVERIFY2(installP(package, errorText), qPrintable(errorText));
    QCOMPARE(readFile(installDir() + "/plugins/deep/a.kwx"), QByteArray("plug-in"));
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::runningProgramIsReplaced()
{
    // A program replaces itself: the running one keeps its old inode and goes on.
    const QString program = installDir() + "/updater";
    QVERIFY(QFile::copy("/bin/sleep", program));
    const Tree before = snapshot(installDir());
    QProcess running;
    running.start(program, {"30"});
    QVERIFY(running.waitForStarted());
    auto stop = qScopeGuard([&] {
        running.kill();
        running.waitForFinished();
    });
    QVERIFY(buildPackage("p", {{"updater", "new updater"}}, {}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QVERIFY2(installP(package, errorText), qPrintable(errorText));
    QCOMPARE(readFile(program), QByteArray("new updater"));
    QCOMPARE(running.state(), QProcess::Running);
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::secondRunInTheSameDirectoryIsRefused()
{
    QVERIFY(writeFile(installDir() + "/x.txt", "old"));
    const Tree before = snapshot(installDir());
    QVERIFY(buildPackage("p", {{"x.txt", "new"}}, {}));
    auto update = makeUpdate("p");
    VellUpdatePackage package(update.get(), installDir());
    QString errorText;
    QVERIFY2(installP(package, errorText), qPrintable(errorText));
    // Another updater finds this run alive: it neither rolls it back nor starts its own.
    QProcess other;
    other.start(QCoreApplication::applicationFilePath(), {"--recover", installDir()});
    QVERIFY(other.waitForFinished(30000));
    QCOMPARE(other.exitCode(), int(VellInstallRecovery::Outcome::Busy));
    QCOMPARE(readFile(installDir() + "/x.txt"), QByteArray("new"));
    QVERIFY(package.unwind(workDir()));
    QCOMPARE(snapshot(installDir()), before);
}

void tst_VellUpdatePackage::readOnlyInstallationEndsCleanly_data()
{
    QTest::addColumn<QString>("readOnly"); // relative to the installation directory
    QTest::newRow("the whole directory") << QString(".");
    QTest::newRow("one sub-folder") << QString("lib");
}

void tst_VellUpdatePackage::readOnlyInstallationEndsCleanly()
{
    QFETCH(QString, readOnly);
    if (!privateMounts) {
        QSKIP("no private mount namespace");
    }
    QVERIFY(writeFile(installDir() + "/a.txt", "old a"));
    QVERIFY(writeFile(installDir() + "/lib/x.so", "old x"));
    const Tree before = snapshot(installDir());
    QVERIFY(buildPackage("p", {{"a.txt", "new a"}, {"lib/x.so", "new x"}}, {}));
    TestMount mount = TestMount::readOnly(installDir() + '/' + readOnly);
    QVERIFY(mount.isMounted());
    // Nothing that could not change is touched again: the rollback succeeds.
    const QString problem = failsAndComesBack(QString::fromLocal8Bit(strerror(EROFS)), before);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_VellUpdatePackage::fullFileSystemEndsCleanly_data()
{
    QTest::addColumn<QString>("full"); // "install" or "work"
    QTest::addColumn<QString>("expected");
    QTest::newRow("installation directory") << "install"
                                            << "Not enough free space";
    QTest::newRow("work directory") << "work" << QString::fromLocal8Bit(strerror(ENOSPC));
}

void tst_VellUpdatePackage::fullFileSystemEndsCleanly()
{
    QFETCH(QString, full);
    QFETCH(QString, expected);
    if (!privateMounts) {
        QSKIP("no private mount namespace");
    }
    // A small archive that unpacks to much more: a 1 MiB descriptor and a 1 MiB file.
    const QByteArray padding = "<!--" + QByteArray(1 << 20, ' ') + "-->";
    const QString archive = base->filePath("p.zip");
    QVERIFY(TestArchive::write(archive,
        {{"p.xml", descriptor(identity, padding + fileElement(".", "big.bin", "add"))},
            {"big.bin", QByteArray(1 << 20, 'z')}}));
    TestMount mount = TestMount::tmpfs(full == "install" ? installDir() : workDir(), 256 * 1024);
    QVERIFY(mount.isMounted());
    QVERIFY(QFile::copy(archive, workDir() + "/p.zip"));
    QVERIFY(QFile::remove(archive));
    QVERIFY(writeFile(installDir() + "/x.txt", "old"));
    const Tree before = snapshot(installDir());
    const QString problem = failsAndComesBack(expected, before);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_VellUpdatePackage::installationOnOtherFileSystems_data()
{
    QTest::addColumn<QString>("mounted"); // relative to the installation directory
    QTest::newRow("the installation directory") << QString(".");
    QTest::newRow("one of its sub-folders") << QString("lib");
}

void tst_VellUpdatePackage::installationOnOtherFileSystems()
{
    QFETCH(QString, mounted);
    if (!privateMounts) {
        QSKIP("no private mount namespace");
    }
    QVERIFY(QDir().mkpath(installDir() + "/lib"));
    TestMount mount = TestMount::tmpfs(installDir() + '/' + mounted, 8 << 20);
    QVERIFY(mount.isMounted());
    QVERIFY(writeFile(installDir() + "/a.txt", "old a"));
    QVERIFY(writeFile(installDir() + "/lib/x.so", "old x"));
    QVERIFY(writeFile(installDir() + "/lib/gone.so", "old gone"));
    QVERIFY(::chmod(QFile::encodeName(installDir() + "/lib/x.so").constData(), 04750) == 0);
    const Tree before = snapshot(installDir());
    QVERIFY(buildPackage(
        "p", {{"a.txt", "new a"}, {"lib/x.so", "new x"}, {"lib/new.so", "n"}}, {"lib/gone.so"}));
    auto update = makeUpdate("p");
    for (const bool finish : {false, true}) {
        VellUpdatePackage package(update.get(), installDir());
        QString errorText;
        QVERIFY2(installP(package, errorText), qPrintable(errorText));
        QCOMPARE(readFile(installDir() + "/lib/x.so"), QByteArray("new x"));
        QCOMPARE(readFile(installDir() + "/lib/new.so"), QByteArray("n"));
        QVERIFY(!QFileInfo::exists(installDir() + "/lib/gone.so"));
        if (finish) {
            QVERIFY2(package.finish(errorText), qPrintable(errorText));
            QVERIFY(!QFileInfo::exists(installDir() + "/.vell-unwind"));
        } else {
            QVERIFY(package.unwind(workDir()));
            QCOMPARE(snapshot(installDir()), before);
        }
    }
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // As a second updater process: recovers the interrupted runs of one directory.
    if (argc == 3 && qstrcmp(argv[1], "--recover") == 0) {
        QStringList unrestored;
        return int(
            VellInstallRecovery::recoverInterruptedRuns({QFile::decodeName(argv[2])}, unrestored));
    }
    tst_VellUpdatePackage test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_vellupdatepackage.moc"
