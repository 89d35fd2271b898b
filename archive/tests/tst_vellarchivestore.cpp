#include "ArchiveSchema.h"
#include "SqliteProbe.h"
#include "VellArchiveCastException.h"
#include "VellArchiveModule.h"
#include "VellArchiveTransactionGuard.h"
#include "VellDBConnection.h"
#include "VellDBModule.h"
#include "VellDBResult.h"

#include <QtTest>

#include <memory>

using namespace VellArchive;
using VellDatabase::VellDBConnection;
using VellDatabase::VellDBResult;

namespace {

// Passes every statement to a real connection and remembers what was sent.
class RecordingConnection : public VellDBConnection
{
public:
    explicit RecordingConnection(VellDBConnection *inner)
        : m_inner(inner)
    { }
    bool isOpen() const override { return m_inner->isOpen(); }
    int exec(const QString &sql) override
    {
        sent << sql;
        return m_inner->exec(sql);
    }
    VellDBResult *query(const QString &sql) override { return m_inner->query(sql); }
    int lastInsertId() override { return m_inner->lastInsertId(); }
    QString lastError() const override { return m_inner->lastError(); }

    int count(const QString &table)
    {
        std::unique_ptr<VellDBResult> result(
            query(QStringLiteral("SELECT count(*) FROM ") + table));
        return result ? result->value(0, 0).toInt() : -1;
    }

    QStringList sent;

private:
    std::unique_ptr<VellDBConnection> m_inner;
};

const QString Begin = QStringLiteral("BEGIN TRANSACTION");
const QString Commit = QStringLiteral("COMMIT TRANSACTION");
const QString Rollback = QStringLiteral("ROLLBACK TRANSACTION");

} // namespace

class tst_VellArchiveStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void createsTheSchemaAsWritten();
    void reopeningChangesNothing();
    void olderWordIndexGetsItsCoveringCompanion();
    void loadsValidUsersAndStopsAtDamagedRow();
    void withoutDatabaseEveryOperationIsEmpty_data();
    void withoutDatabaseEveryOperationIsEmpty();

    void strToIntAcceptsDecimalIntegersOnly_data();
    void strToIntAcceptsDecimalIntegersOnly();
    void maskApostropheDoublesApostrophes_data();
    void maskApostropheDoublesApostrophes();

    void guardRollsBackUnlessCommitted();
    void guardSendsNothingAfterCommit();
    void guardWithoutBeginOrConnectionDoesNothing();
    void guardRollsBackRefusedCommit();

private:
    QString databasePath() const { return m_dir->filePath(QStringLiteral("archive.db")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_VellArchiveStore::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_VellArchiveStore::createsTheSchemaAsWritten()
{
    VellArchiveModule module(databasePath());
    SqliteProbe probe(databasePath());
    QCOMPARE(ArchiveSchema::stored(probe), ArchiveSchema::expected());

    // A second run over the complete schema succeeds and changes nothing.
    const QStringList before = ArchiveSchema::snapshot(probe);
    QVERIFY(module.createTables());
    QCOMPARE(ArchiveSchema::snapshot(probe), before);
}

void tst_VellArchiveStore::reopeningChangesNothing()
{
    {
        VellArchiveModule module(databasePath());
        const int id = module.startConversation(VellArchiveBackendConversation::Chat,
            {QStringLiteral("bob")}, QStringLiteral("alice"), QStringLiteral("jabber"), QString());
        QVERIFY(id > 0);
        module.addEntry(id, QStringLiteral("bob"), QStringLiteral("hello there"),
            QDateTime(QDate(2009, 3, 1), QTime(14, 5)), QString(),
            VellArchiveBackendConversationEntry::Message);
        module.finishConversation(id);
    }
    SqliteProbe probe(databasePath());
    const QStringList before = ArchiveSchema::snapshot(probe);
    {
        VellArchiveModule module(databasePath());
        QCOMPARE(ArchiveSchema::snapshot(probe), before);
        // The users were loaded: the same people make no new Users rows.
        QVERIFY(
            module.startConversation(VellArchiveBackendConversation::Chat, {QStringLiteral("bob")},
                QStringLiteral("alice"), QStringLiteral("jabber"), QString())
            > 0);
    }
    QCOMPARE(probe.count(QStringLiteral("Users")), 2);
    QCOMPARE(probe.count(QStringLiteral("Chats")), 2);
}

void tst_VellArchiveStore::olderWordIndexGetsItsCoveringCompanion()
{
    // An archive whose WordToMessageIndex1 holds Word_ID alone keeps it and
    // gains the index that answers a word's messages; opening it again adds nothing.
    {
        QFile empty(databasePath()); // SQLite takes an empty file for an empty database
        QVERIFY(empty.open(QIODevice::WriteOnly));
    }
    {
        SqliteProbe probe(databasePath());
        QVERIFY(probe.exec(QStringLiteral("CREATE TABLE WordToMessage(Word_ID    INTEGER NOT NULL, "
                                          "Message_ID INTEGER NOT NULL)")));
        QVERIFY(probe.exec(
            QStringLiteral("CREATE INDEX WordToMessageIndex1 ON WordToMessage(Word_ID)")));
    }
    const QString indexes = QStringLiteral(
        "SELECT sql FROM sqlite_master WHERE tbl_name = 'WordToMessage' AND type = 'index' "
        "AND name LIKE 'WordToMessage%Index%' ORDER BY name");
    const QStringList expected {
        "CREATE INDEX WordToMessageIndex1 ON WordToMessage(Word_ID)",
        "CREATE INDEX WordToMessageIndex2 ON WordToMessage(Message_ID)",
        "CREATE INDEX WordToMessageWordIndex ON WordToMessage(Word_ID, Message_ID)",
    };
    for (int opening = 0; opening < 2; ++opening) {
        VellArchiveModule module(databasePath());
        QVERIFY(module.createTables());
        SqliteProbe probe(databasePath());
        QCOMPARE(probe.rows(indexes), expected);
    }
}

void tst_VellArchiveStore::loadsValidUsersAndStopsAtDamagedRow()
{
    {
        VellArchiveModule module(databasePath());
    }
    SqliteProbe probe(databasePath());
    // Rows come back in row ID order; the damaged Owner_ID of erin stops the loading.
    QVERIFY(probe.exec(QStringLiteral("INSERT INTO Users(ID, UID, Protocol, Owner_ID) VALUES"
                                      "(-2, 'gina', 'jabber', 0)," // ID below 1: skipped
                                      "(1, 'alice', 'jabber', 0),"
                                      "(2, '', 'jabber', 0)," // empty UID: skipped
                                      "(3, 'carol', '', 0)," // empty protocol: skipped
                                      "(4, 'dave', 'jabber', -1)," // negative owner: skipped
                                      "(5, 'dave', 'jabber', 0),"
                                      "(6, 'erin', 'jabber', 'x'),"
                                      "(7, 'frank', 'jabber', 0)")));

    VellArchiveModule module(databasePath());
    const auto usersAfterStarting = [&](const QString &owner) {
        module.startConversation(
            VellArchiveBackendConversation::Chat, {}, owner, QStringLiteral("jabber"), QString());
        return probe.count(QStringLiteral("Users"));
    };
    QCOMPARE(usersAfterStarting(QStringLiteral("alice")), 8); // known
    QCOMPARE(usersAfterStarting(QStringLiteral("dave")), 8); // known: skipped rows do not stop
    QCOMPARE(usersAfterStarting(QStringLiteral("frank")), 9); // after the damaged row
    QCOMPARE(usersAfterStarting(QStringLiteral("gina")), 10); // its row was skipped

    QVERIFY(!module.readAllUsersFromDB());
    QVERIFY(probe.exec(QStringLiteral("UPDATE Users SET Owner_ID = 0 WHERE ID = 6")));
    QVERIFY(module.readAllUsersFromDB());
    QCOMPARE(usersAfterStarting(QStringLiteral("erin")), 10);
}

void tst_VellArchiveStore::withoutDatabaseEveryOperationIsEmpty_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty name") << QString();
    QTest::newRow("missing folder") << "missing/archive.db";
}

void tst_VellArchiveStore::withoutDatabaseEveryOperationIsEmpty()
{
    QFETCH(QString, name);
    VellArchiveModule module(name.isEmpty() ? name : m_dir->filePath(name));
    QCOMPARE(module.backendId(), QStringLiteral("VellArchiveSQLite"));
    QVERIFY(!module.createTables());
    QVERIFY(!module.readAllUsersFromDB());
    QCOMPARE(module.startConversation(VellArchiveBackendConversation::Chat, {QStringLiteral("bob")},
                 QStringLiteral("alice"), QStringLiteral("jabber"), QString()),
        -1);
    module.addEntry(1, QStringLiteral("alice"), QStringLiteral("text"),
        QDateTime::currentDateTime(), QString(), VellArchiveBackendConversationEntry::Message);
    module.addRecipient(1, QStringLiteral("carol"));
    module.finishConversation(1);
    QVERIFY(module.readChatsIndexesFromDB(QStringLiteral("SELECT 1")).isEmpty());
    QVERIFY(module.readSMSIndexesFromDB(QStringLiteral("SELECT 1")).isEmpty());

    const VellArchiveBackendConversation none = module.getConversation(1, true);
    QCOMPARE(none.getId(), 0);
    QVERIFY(none.getProtocol().isEmpty() && !none.getProtocol().isNull());
    QVERIFY(none.getOwnerUid().isEmpty() && !none.getOwnerUid().isNull());
    QVERIFY(none.getRecipients().isEmpty());
    QVERIFY(none.getStartTime().isNull());
    QCOMPARE(int(none.getType()), 0);
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("missing"))));
}

void tst_VellArchiveStore::strToIntAcceptsDecimalIntegersOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("positive") << "12" << true << 12;
    QTest::newRow("negative") << "-3" << true << -3;
    QTest::newRow("zero") << "0" << true << 0;
    QTest::newRow("largest") << "2147483647" << true << 2147483647;
    QTest::newRow("too large") << "2147483648" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("null") << QString() << false << 0;
    QTest::newRow("trailing letter") << "12a" << false << 0;
    QTest::newRow("hexadecimal") << "0x1A" << false << 0;
    QTest::newRow("fraction") << "1.5" << false << 0;
}

void tst_VellArchiveStore::strToIntAcceptsDecimalIntegersOnly()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    if (valid) {
        QCOMPARE(VellArchiveModule::strToInt(text), value);
    } else {
        QVERIFY_EXCEPTION_THROWN(VellArchiveModule::strToInt(text), VellArchiveCastException);
    }
}

void tst_VellArchiveStore::maskApostropheDoublesApostrophes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("masked");
    QTest::newRow("none") << "hello"
                          << "hello";
    QTest::newRow("one") << "o'brien"
                         << "o''brien";
    QTest::newRow("several") << "'a''b'"
                             << "''a''''b''";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_VellArchiveStore::maskApostropheDoublesApostrophes()
{
    QFETCH(QString, text);
    QFETCH(QString, masked);
    QCOMPARE(VellArchiveModule::maskApostrophe(text), masked);
}

void tst_VellArchiveStore::guardRollsBackUnlessCommitted()
{
    RecordingConnection db(VellDatabase::VellDBModule::getDBConnection(databasePath(), false));
    db.exec(QStringLiteral("CREATE TABLE T(N INTEGER)"));
    db.sent.clear();
    {
        VellArchiveTransactionGuard guard(&db, true);
        db.exec(QStringLiteral("INSERT INTO T VALUES(1)"));
    }
    QCOMPARE(db.sent, (QStringList {Begin, QStringLiteral("INSERT INTO T VALUES(1)"), Rollback}));
    QCOMPARE(db.count(QStringLiteral("T")), 0);

    db.sent.clear();
    {
        VellArchiveTransactionGuard guard(&db, true);
        db.exec(QStringLiteral("INSERT INTO T VALUES(2)"));
        guard.rollback();
        guard.rollback(); // no longer active: nothing more is sent
    }
    QCOMPARE(db.sent, (QStringList {Begin, QStringLiteral("INSERT INTO T VALUES(2)"), Rollback}));
    QCOMPARE(db.count(QStringLiteral("T")), 0);
}

void tst_VellArchiveStore::guardSendsNothingAfterCommit()
{
    RecordingConnection db(VellDatabase::VellDBModule::getDBConnection(databasePath(), false));
    db.exec(QStringLiteral("CREATE TABLE T(N INTEGER)"));
    db.sent.clear();
    {
        VellArchiveTransactionGuard guard(&db, true);
        db.exec(QStringLiteral("INSERT INTO T VALUES(1)"));
        QVERIFY(guard.commit());
        QVERIFY(!guard.commit());
    }
    QCOMPARE(db.sent, (QStringList {Begin, QStringLiteral("INSERT INTO T VALUES(1)"), Commit}));
    SqliteProbe probe(databasePath());
    QCOMPARE(probe.count(QStringLiteral("T")), 1);
}

void tst_VellArchiveStore::guardWithoutBeginOrConnectionDoesNothing()
{
    {
        VellArchiveTransactionGuard guard(nullptr, true);
        guard.transaction();
        QVERIFY(!guard.commit());
        guard.rollback();
    }
    RecordingConnection db(VellDatabase::VellDBModule::getDBConnection(databasePath(), false));
    {
        VellArchiveTransactionGuard guard(&db, false);
        QVERIFY(!guard.commit());
        guard.rollback();
    }
    QVERIFY(db.sent.isEmpty());
}

void tst_VellArchiveStore::guardRollsBackRefusedCommit()
{
    // A deferred foreign key makes the database refuse the COMMIT itself.
    RecordingConnection db(VellDatabase::VellDBModule::getDBConnection(databasePath(), false));
    db.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    db.exec(QStringLiteral("CREATE TABLE Parent(ID INTEGER PRIMARY KEY)"));
    db.exec(QStringLiteral("CREATE TABLE Child(P INTEGER REFERENCES Parent(ID) "
                           "DEFERRABLE INITIALLY DEFERRED)"));
    db.sent.clear();
    {
        VellArchiveTransactionGuard guard(&db, true);
        QCOMPARE(db.exec(QStringLiteral("INSERT INTO Child VALUES(5)")), 1);
        QVERIFY(!guard.commit());
    }
    QCOMPARE(db.sent,
        (QStringList {Begin, QStringLiteral("INSERT INTO Child VALUES(5)"), Commit, Rollback}));
    QCOMPARE(db.count(QStringLiteral("Child")), 0);
    QCOMPARE(db.exec(Begin), 0); // no transaction was left open
}

QTEST_GUILESS_MAIN(tst_VellArchiveStore)
#include "tst_vellarchivestore.moc"
