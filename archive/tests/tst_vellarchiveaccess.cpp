#include "ArchiveFixture.h"
#include "ArchiveSchema.h"
#include "SqliteProbe.h"
#include "VellArchiveModule.h"

#include <QProcess>
#include <QtTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace VellArchive;

namespace {

const QString Jabber = QStringLiteral("jabber");
const QString Alice = QStringLiteral("alice");

// What archive-check prints for the archive that writeArchive() makes.
const QString Seen = QStringLiteral("seen chat 2 [carol] {good morning}; "
                                    "chat 1 [bob] {hello world/fine thanks}; "
                                    "sms 1 [+48500111] {see you}; found 1");

// Two finished conversations and one SMS, in a closed archive at @p path
// whose journal mode is @p journal.
bool writeArchive(const QString &path, const QString &journal)
{
    {
        VellArchiveModule module(path);
        const QDateTime at(QDate(2009, 3, 1), QTime(14, 5));
        const int first = module.startConversation(
            VellArchiveBackendConversation::Chat, {"bob"}, Alice, Jabber, QString());
        module.addEntry(first, "bob", "hello world", at, QString(),
            VellArchiveBackendConversationEntry::Message);
        module.addEntry(first, Alice, "fine thanks", at.addSecs(60), QString(),
            VellArchiveBackendConversationEntry::Message);
        module.finishConversation(first);
        const int second = module.startConversation(
            VellArchiveBackendConversation::Chat, {"carol"}, Alice, Jabber, QString());
        module.addEntry(second, Alice, "good morning", at.addDays(1), QString(),
            VellArchiveBackendConversationEntry::Message);
        module.finishConversation(second);
        if (first != 1 || second != 2
            || module.addSMS("+48600", {"+48500111"}, "see you", at) != 1) {
            return false;
        }
    }
    SqliteProbe probe(path);
    return probe.value(QStringLiteral("PRAGMA journal_mode = ") + journal) == journal;
}

QStringList snapshotOf(const QString &path)
{
    SqliteProbe probe(path);
    return ArchiveSchema::snapshot(probe);
}

// The prefix that runs a program as an unprivileged user: a root process
// writes through every permission.
QString asNobody()
{
    return geteuid() == 0 ? QStringLiteral("setpriv --reuid=65534 --regid=65534 --clear-groups ")
                          : QString();
}

} // namespace

/**
 * An archive that SQLite can read is opened whatever keeps it from being
 * written: the module sees all of it, and its writing calls fail cleanly
 * without changing anything.
 */
class tst_VellArchiveAccess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void rollbackArchiveReadElsewhereKeepsItsJournalMode();
    void unwritableArchiveOpensForReading_data();
    void unwritableArchiveOpensForReading();
    void archiveThatIsNoFileIsNotOpened_data();
    void archiveThatIsNoFileIsNotOpened();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_VellArchiveAccess::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_VellArchiveAccess::rollbackArchiveReadElsewhereKeepsItsJournalMode()
{
    const QString path = m_dir->filePath(QStringLiteral("archive.db"));
    QVERIFY(writeArchive(path, QStringLiteral("delete")));

    // Another process reads it: the module cannot switch it to a write-ahead log.
    SqliteProbe reader(path);
    QVERIFY(reader.exec(QStringLiteral("BEGIN; SELECT count(*) FROM Chats")));
    VellArchiveModule module(path);
    QCOMPARE(module.getAllConversations(true).size(), 2);
    QCOMPARE(module.getAllTextMessages(true).size(), 1);
    QVERIFY(reader.exec(QStringLiteral("COMMIT")));

    // Once the reader is done, the module records in the archive's own mode.
    const int id = module.startConversation(
        VellArchiveBackendConversation::Chat, {"dave"}, Alice, Jabber, QString());
    QVERIFY(id > 0);
    QCOMPARE(reader.value(QStringLiteral("PRAGMA journal_mode")), QStringLiteral("delete"));
    QCOMPARE(reader.count(QStringLiteral("Chats")), 3);
}

void tst_VellArchiveAccess::unwritableArchiveOpensForReading_data()
{
    // The script runs with DIR (the archive's folder, open to everybody) and
    // CHECK (archive-check) set; the archive is DIR/archive.db.
    QTest::addColumn<QString>("journal");
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("sameFile"); // the script reads the test's own file, not a copy

    const QString readOnlyFolder = QStringLiteral(
        "chown 65534 \"$DIR/archive.db\" 2>/dev/null; chmod 555 \"$DIR\" && %1\"$CHECK\" "
        "\"$DIR/archive.db\"; status=$?; chmod 755 \"$DIR\"; exit $status")
                                       .arg(asNobody());
    const QString readOnlyFile
        = QStringLiteral("chmod 777 \"$DIR\" && chmod 444 \"$DIR/archive.db\" && %1\"$CHECK\" "
                         "\"$DIR/archive.db\"; status=$?; chmod 755 \"$DIR\"; exit $status")
              .arg(asNobody());
    const QString readOnlyMount = QStringLiteral(
        "unshare -rm sh -c 'mount --bind \"$DIR\" \"$DIR\" && mount -o remount,bind,ro \"$DIR\" "
        "&& exec \"$CHECK\" \"$DIR/archive.db\"'");
    const QString fullFileSystem = QStringLiteral(
        "mkdir \"$DIR/full\" && unshare -rm sh -c 'mount -t tmpfs -o size=1m tmpfs \"$DIR/full\" "
        "&& cp \"$DIR/archive.db\" \"$DIR/full/\" && { dd if=/dev/zero of=\"$DIR/full/filler\" "
        "bs=4096 2>/dev/null; true; } && exec \"$CHECK\" \"$DIR/full/archive.db\"'");
    for (const QString &journal : {QStringLiteral("wal"), QStringLiteral("delete")}) {
        const QByteArray mode = journal.toLatin1();
        QTest::newRow(QByteArray("read-only folder, " + mode).constData())
            << journal << readOnlyFolder << true;
        QTest::newRow(QByteArray("read-only file, " + mode).constData())
            << journal << readOnlyFile << true;
        QTest::newRow(QByteArray("read-only bind mount, " + mode).constData())
            << journal << readOnlyMount << true;
        QTest::newRow(QByteArray("full file system, " + mode).constData())
            << journal << fullFileSystem << false;
    }
}

void tst_VellArchiveAccess::unwritableArchiveOpensForReading()
{
    QFETCH(QString, journal);
    QFETCH(QString, script);
    QFETCH(bool, sameFile);
    const QString path = m_dir->filePath(QStringLiteral("archive.db"));
    QVERIFY(writeArchive(path, journal));
    QVERIFY(QFile::setPermissions(m_dir->path(),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::ExeOther));
    const QStringList before = snapshotOf(path);

    QProcess check;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DIR"), m_dir->path());
    environment.insert(QStringLiteral("CHECK"), QStringLiteral(ARCHIVE_CHECK_PATH));
    check.setProcessEnvironment(environment);
    check.start(QStringLiteral("sh"), {QStringLiteral("-c"), script});
    QVERIFY(check.waitForFinished(60000));
    const QString error = QString::fromLocal8Bit(check.readAllStandardError());
    QVERIFY2(
        check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0, qPrintable(error));

    const QStringList lines = QString::fromUtf8(check.readAllStandardOutput()).split('\n');
    QCOMPARE(lines.value(0), Seen);
    QCOMPARE(lines.value(1), QStringLiteral("writes -1 0"));
    QCOMPARE(lines.value(2), QStringLiteral("unchanged 1"));
    if (sameFile) {
        QCOMPARE(snapshotOf(path), before);
    }
}

void tst_VellArchiveAccess::archiveThatIsNoFileIsNotOpened_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("named pipe") << "fifo";
    QTest::newRow("socket") << "socket";
    QTest::newRow("link to a device") << "device";
    QTest::newRow("folder") << "folder";
    QTest::newRow("dangling link") << "dangling";
}

// Without the check a named pipe blocks the constructor for ever: the test's
// time limit catches that.
void tst_VellArchiveAccess::archiveThatIsNoFileIsNotOpened()
{
    QFETCH(QString, kind);
    const QString path = m_dir->filePath(QStringLiteral("archive.db"));
    const QByteArray name = QFile::encodeName(path);
    int listener = -1;
    if (kind == "fifo") {
        QVERIFY(::mkfifo(name.constData(), 0600) == 0);
    } else if (kind == "socket") {
        listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(name.size()) < sizeof address.sun_path);
        qstrcpy(address.sun_path, name.constData());
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
    } else if (kind == "device") {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else if (kind == "folder") {
        QVERIFY(QDir().mkdir(path));
    } else {
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("gone.db")), path));
    }
    struct stat before;
    QVERIFY(::lstat(name.constData(), &before) == 0);

    {
        VellArchiveModule module(path);
        QVERIFY(module.startConversation(
                    VellArchiveBackendConversation::Chat, {"bob"}, Alice, Jabber, QString())
            <= 0);
        QCOMPARE(
            module.addSMS("+48600", {"+48500111"}, "see you", QDateTime::currentDateTime()), 0);
    }

    struct stat after;
    QVERIFY(::lstat(name.constData(), &after) == 0);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_ino, before.st_ino);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("gone.db"))));
    if (listener != -1) {
        ::close(listener);
    }
}

QTEST_GUILESS_MAIN(tst_VellArchiveAccess)
#include "tst_vellarchiveaccess.moc"
