#include "ArchiveFixture.h"
#include "Criteria.h"
#include "VellArchiveModule.h"

#include <QtTest>

#include <sqlite3.h>

#include <dlfcn.h>

using namespace VellArchive;

namespace {

const QString Jabber = QStringLiteral("jabber");
const QString Alice = QStringLiteral("alice");
const QString Bob = QStringLiteral("bob");
const QString Carol = QStringLiteral("carol");
const QString Dave = QStringLiteral("dave");
const auto Chat = VellArchiveBackendConversation::Chat;
const auto GroupChat = VellArchiveBackendConversation::GroupChat;
const auto Message = VellArchiveBackendConversationEntry::Message;
const auto Notice = VellArchiveBackendConversationEntry::Notice;

QDateTime at(int minute)
{
    return QDateTime(QDate(2009, 3, 1), QTime(14, minute));
}

QList<int> idsOf(const QList<VellArchiveBackendConversation> &conversations)
{
    QList<int> ids;
    for (const VellArchiveBackendConversation &conversation : conversations) {
        ids << conversation.getId();
    }
    return ids;
}

int preparedStatements = 0;

// The statements that a call of @p run prepares, on any connection.
int statementsOf(const std::function<void()> &run)
{
    const int before = preparedStatements;
    run();
    return preparedStatements - before;
}

} // namespace

// Every statement the database module sends passes through here (the test
// exports it, so it takes the library's place), counted on its way to SQLite.
extern "C" Q_DECL_EXPORT int sqlite3_prepare_v2(
    sqlite3 *db, const char *sql, int bytes, sqlite3_stmt **statement, const char **tail)
{
    using Prepare = int (*)(sqlite3 *, const char *, int, sqlite3_stmt **, const char **);
    static const auto prepare = reinterpret_cast<Prepare>(dlsym(RTLD_NEXT, "sqlite3_prepare_v2"));
    ++preparedStatements;
    return prepare(db, sql, bytes, statement, tail);
}

class tst_VellArchiveRetrieval : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void conversationsComeNewestFirstWithGroupedRecipients();
    void entriesComeInRecordingOrderOnlyWhenAsked();
    void conversationById();
    void conversationsByTypeProtocolAccountAndRecipients();
    void lastConversationForRecipient();
    void damagedRowGivesEmptyResult();

    void removeConversationDeletesAndPrunes();
    void removeConversationSkipsOpenOne();
    void removeConversationRollsBackWhole();

    void smsIsStoredListedAndIndexed();
    void smsRecipientsAreDistinct();
    void smsLeavesNothingWhenStatementRefused_data();
    void smsLeavesNothingWhenStatementRefused();
    void removeSmsDeletesEveryRow();
    void manyReadInFewStatements_data();
    void manyReadInFewStatements();
    void removingManyTakesFewStatements();

private:
    int talk(const QStringList &recipients, const QStringList &texts,
        VellArchiveBackendConversation::Type type = Chat, const QString &owner = Alice,
        const QString &protocol = Jabber);

    ArchiveFixture m_archive;
};

void tst_VellArchiveRetrieval::init()
{
    QVERIFY(m_archive.open());
}

void tst_VellArchiveRetrieval::cleanup()
{
    m_archive.close();
}

// A finished conversation in which the owner and then each recipient in turn
// say one of @p texts.
int tst_VellArchiveRetrieval::talk(const QStringList &recipients, const QStringList &texts,
    VellArchiveBackendConversation::Type type, const QString &owner, const QString &protocol)
{
    const int id
        = m_archive.module->startConversation(type, recipients, owner, protocol, QString());
    const QStringList speakers = QStringList {owner} + recipients;
    for (int i = 0; i < texts.size(); ++i) {
        m_archive.module->addEntry(id, speakers.at(i % speakers.size()), texts.at(i), at(i),
            QStringLiteral("n=%1").arg(i), i % 2 ? Notice : Message);
    }
    m_archive.module->finishConversation(id);
    return id;
}

void tst_VellArchiveRetrieval::conversationsComeNewestFirstWithGroupedRecipients()
{
    const int first = talk({Bob}, {"hi"});
    const int group = talk({Bob, Carol, Dave}, {"hello all"}, GroupChat);
    const int alone = talk({}, {"note to self"});
    const int open = m_archive.module->startConversation(Chat, {Carol}, Alice, Jabber, QString());
    QVERIFY(first > 0 && group > first && alone > group && open > alone);

    const QList<VellArchiveBackendConversation> all = m_archive.module->getAllConversations(false);
    // Without recipients a conversation is never returned.
    QCOMPARE(idsOf(all), (QList<int> {open, group, first}));
    QCOMPARE(all.at(1).getRecipients(), (QStringList {Bob, Carol, Dave}));
    QCOMPARE(all.at(1).getType(), GroupChat);
    QCOMPARE(all.at(1).getOwnerUid(), Alice);
    QCOMPARE(all.at(1).getProtocol(), Jabber);
    QCOMPARE(all.at(1).getStartTime(), at(0));
    QCOMPARE(all.at(2).getRecipients(), QStringList {Bob});
    // Not finished and no entry yet: no time.
    QVERIFY(all.at(0).getStartTime().isNull());
}

void tst_VellArchiveRetrieval::entriesComeInRecordingOrderOnlyWhenAsked()
{
    const int id = talk({Bob, Carol}, {"one", "two's", "three", "four"}, GroupChat);
    const int quiet = talk({Bob}, {});

    const QList<VellArchiveBackendConversation> bare = m_archive.module->getAllConversations(false);
    QCOMPARE(bare.size(), 2);
    QVERIFY(bare.at(0).getEntries().isEmpty() && bare.at(1).getEntries().isEmpty());

    const QList<VellArchiveBackendConversation> full = m_archive.module->getAllConversations(true);
    QCOMPARE(idsOf(full), (QList<int> {quiet, id}));
    QVERIFY(full.at(0).getEntries().isEmpty());
    const QList<VellArchiveBackendConversationEntry> entries = full.at(1).getEntries();
    QCOMPARE(entries.size(), 4);
    const QStringList senders {Alice, Bob, Carol, Alice};
    const QStringList texts {"one", "two's", "three", "four"};
    for (int i = 0; i < entries.size(); ++i) {
        QCOMPARE(entries.at(i).getSenderUid(), senders.at(i));
        QCOMPARE(entries.at(i).getText(), texts.at(i));
        QCOMPARE(entries.at(i).getTime(), at(i));
        QCOMPARE(entries.at(i).getProperties(), QStringLiteral("n=%1").arg(i));
        QCOMPARE(entries.at(i).getType(), i % 2 ? Notice : Message);
    }
}

void tst_VellArchiveRetrieval::conversationById()
{
    const int id = talk({Bob, Carol}, {"hello", "hi"});
    const int alone = talk({}, {"note"});

    const VellArchiveBackendConversation found = m_archive.module->getConversation(id, true);
    QCOMPARE(found.getId(), id);
    QCOMPARE(found.getRecipients(), (QStringList {Bob, Carol}));
    QCOMPARE(found.getEntries().size(), 2);
    QVERIFY(m_archive.module->getConversation(id, false).getEntries().isEmpty());

    for (const int missing : {alone, id + 100, 0, -1}) {
        const VellArchiveBackendConversation none
            = m_archive.module->getConversation(missing, true);
        QCOMPARE(none.getId(), 0);
        QVERIFY(none.getOwnerUid().isEmpty() && none.getRecipients().isEmpty());
    }
}

void tst_VellArchiveRetrieval::conversationsByTypeProtocolAccountAndRecipients()
{
    const int withBob = talk({Bob}, {"a"});
    const int group = talk({Bob, Carol}, {"b"}, GroupChat);
    const int icq = talk({Bob, Carol}, {"c"}, Chat, Alice, QStringLiteral("icq"));
    const int davesAccount = talk({Bob, Carol}, {"d"}, Chat, Dave);

    QCOMPARE(
        idsOf(m_archive.module->getConversationsForType(GroupChat, false)), QList<int> {group});
    QCOMPARE(idsOf(m_archive.module->getConversationsForType(Chat, false)),
        (QList<int> {davesAccount, icq, withBob}));
    QCOMPARE(idsOf(m_archive.module->getConversationsForProtocol(QStringLiteral("icq"), false)),
        QList<int> {icq});
    QCOMPARE(idsOf(m_archive.module->getConversationsForAccount(Jabber, Alice, false)),
        (QList<int> {group, withBob}));
    // Every listed recipient must take part.
    QCOMPARE(idsOf(m_archive.module->getConversationsForRecipients(Jabber, Alice, {Bob}, false)),
        (QList<int> {group, withBob}));
    QCOMPARE(
        idsOf(m_archive.module->getConversationsForRecipients(Jabber, Alice, {Carol, Bob}, true)),
        QList<int> {group});
    QCOMPARE(m_archive.module->getConversationsForRecipients(Jabber, Alice, {Carol, Bob}, true)
                 .first()
                 .getEntries()
                 .size(),
        1);

    // Missing arguments give nothing rather than everything.
    QVERIFY(m_archive.module->getConversationsForProtocol(QString(), false).isEmpty());
    QVERIFY(m_archive.module->getConversationsForAccount(Jabber, QString(), false).isEmpty());
    QVERIFY(m_archive.module->getConversationsForRecipients(Jabber, Alice, {}, false).isEmpty());
}

void tst_VellArchiveRetrieval::lastConversationForRecipient()
{
    const QString irish = QStringLiteral("o'brien");
    const int first = talk({Bob, irish}, {"one"});
    const int second = talk({Bob}, {"two"}, GroupChat);
    talk({Carol}, {"three"});
    const int otherAccount = talk({Bob}, {"four"}, Chat, Dave);
    QVERIFY(otherAccount > second);

    const VellArchiveBackendConversation last
        = m_archive.module->getLastConversationForRecipient(Jabber, Alice, Bob, true);
    QCOMPARE(last.getId(), second);
    QCOMPARE(last.getEntries().size(), 1);
    QCOMPARE(m_archive.module->getLastConversationForRecipient(Jabber, Alice, irish, false).getId(),
        first);
    QCOMPARE(m_archive.module->getLastConversationForRecipient(Jabber, Dave, Bob, false).getId(),
        otherAccount);
    QCOMPARE(
        m_archive.module->getLastConversationForRecipient(Jabber, Alice, Dave, false).getId(), 0);
    QCOMPARE(
        m_archive.module->getLastConversationForRecipient(QStringLiteral("icq"), Alice, Bob, false)
            .getId(),
        0);
    QCOMPARE(
        m_archive.module->getLastConversationForRecipient(Jabber, Alice, QString(), false).getId(),
        0);
}

void tst_VellArchiveRetrieval::damagedRowGivesEmptyResult()
{
    const int id = talk({Bob}, {"hello"});
    talk({Carol}, {"hi"});
    QVERIFY(
        m_archive.probe->exec(QStringLiteral("UPDATE Chats SET Type = 'x' WHERE ID = %1").arg(id)));
    QVERIFY(m_archive.module->getAllConversations(false).isEmpty());
    QCOMPARE(m_archive.module->getConversation(id, false).getId(), 0);

    QVERIFY(m_archive.probe->exec(QStringLiteral("UPDATE Chats SET Type = 0")));
    QVERIFY(m_archive.probe->exec(
        QStringLiteral("UPDATE Messages SET Type = '' WHERE Chat_ID = %1").arg(id)));
    QCOMPARE(m_archive.module->getAllConversations(false).size(), 2);
    QVERIFY(m_archive.module->getAllConversations(true).isEmpty()); // one entry unreadable: nothing
}

void tst_VellArchiveRetrieval::removeConversationDeletesAndPrunes()
{
    const int gone = talk({Bob, Carol}, {"farewell party", "hello there"});
    const int kept = talk({Carol}, {"hello again"});
    QVERIFY(m_archive.module->addSMS(Alice, {Dave}, QStringLiteral("party tonight"), at(5)) > 0);

    m_archive.module->removeConversation(gone);
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT ID FROM Chats")),
        QStringList {QString::number(kept)});
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT Text FROM Messages")),
        QStringList {"hello again"});
    QCOMPARE(m_archive.probe->count(QStringLiteral("UserToChat")), 1);
    QCOMPARE(m_archive.probe->count(
                 QStringLiteral("WordToMessage WHERE Message_ID NOT IN (SELECT ID FROM "
                                "Messages)")),
        0);
    // Bob took part in nothing else; "farewell" and "there" are used by nothing,
    // "party" still by the SMS.
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT UID FROM Users ORDER BY ID")),
        (QStringList {Alice, Carol}));
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT Word FROM Words ORDER BY Word")),
        (QStringList {"again", "hello", "party", "tonight"}));

    // The users set follows: talking to bob again stores him anew.
    const int again = talk({Bob}, {"back"});
    QCOMPARE(m_archive.module->getConversation(again, false).getRecipients(), QStringList {Bob});
    QCOMPARE(m_archive.probe->count(
                 QStringLiteral("UserToChat WHERE User_ID NOT IN (SELECT ID FROM Users)")),
        0);

    // The owner goes with the last conversation of the account.
    m_archive.module->removeConversation(kept);
    m_archive.module->removeConversation(again);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 0);
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT Word FROM Words ORDER BY Word")),
        (QStringList {"party", "tonight"}));
}

void tst_VellArchiveRetrieval::removeConversationSkipsOpenOne()
{
    const int finished = talk({Bob}, {"done"});
    m_archive.module->removeConversation(finished);
    const int open = m_archive.module->startConversation(Chat, {Carol}, Alice, Jabber, QString());
    m_archive.module->addEntry(
        open, Carol, QStringLiteral("still here"), at(1), QString(), Message);

    m_archive.module->removeConversation(open);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Chats")), 1);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 1);
    m_archive.module->addEntry(
        open, Carol, QStringLiteral("and talking"), at(2), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 2);

    m_archive.module->finishConversation(open);
    m_archive.module->removeConversation(open);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Chats")), 0);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 0);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Words")), 0);
}

void tst_VellArchiveRetrieval::removeConversationRollsBackWhole()
{
    const int id = talk({Bob}, {"keep everything"});
    const QString everything = QStringLiteral(
        "SELECT (SELECT count(*) FROM Chats) || (SELECT count(*) FROM Messages) || (SELECT "
        "count(*) FROM UserToChat) || (SELECT count(*) FROM Users) || (SELECT count(*) FROM "
        "Words) || (SELECT count(*) FROM WordToMessage)");
    QCOMPARE(m_archive.probe->value(everything), QStringLiteral("111222"));

    // The last statement, the users' pruning, fails: the rest comes back too.
    QVERIFY(m_archive.probe->refuse(QStringLiteral("Users"), QStringLiteral("DELETE")));
    m_archive.module->removeConversation(id);
    QCOMPARE(m_archive.probe->value(everything), QStringLiteral("111222"));

    // Bob is still known in memory: a new conversation with him adds no user.
    QVERIFY(m_archive.probe->allow(QStringLiteral("Users"), QStringLiteral("DELETE")));
    QVERIFY(talk({Bob}, {"more"}) > id);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 2);
}

void tst_VellArchiveRetrieval::smsIsStoredListedAndIndexed()
{
    const QDateTime time = at(7);
    const int id = m_archive.module->addSMS(
        QStringLiteral("o'brien"), {"mum", "dad"}, QStringLiteral("It's me, ok? Landed."), time);
    QVERIFY(id > 0);
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT ID, Time, Sender FROM SMS")),
        QStringList {QStringLiteral("%1|2009-03-01T14:07:00|o'brien").arg(id)});
    QCOMPARE(
        m_archive.probe->rows(QStringLiteral("SELECT SMS_ID, Name FROM SMS_Recipient ORDER BY ID")),
        (QStringList {QStringLiteral("%1|mum").arg(id), QStringLiteral("%1|dad").arg(id)}));
    QCOMPARE(
        m_archive.probe->rows(QStringLiteral("SELECT w.Word FROM Words w, WordToSMS l WHERE "
                                             "l.Word_ID = w.ID AND l.SMS_ID = %1 ORDER BY w.Word")
                                  .arg(id)),
        (QStringList {"Landed"}));

    const int shortOne
        = m_archive.module->addSMS(QStringLiteral("me"), {}, QStringLiteral("ok, on my way"), time);
    QVERIFY(shortOne > id);
    QCOMPARE(
        m_archive.probe->count(QStringLiteral("WordToSMS WHERE SMS_ID = %1").arg(shortOne)), 1);

    const QList<VellArchiveBackendSMS> withBody = m_archive.module->getAllTextMessages(true);
    QCOMPARE(withBody.size(), 2);
    QCOMPARE(withBody.at(0).getId(), id);
    QCOMPARE(withBody.at(0).getSender(), QStringLiteral("o'brien"));
    QCOMPARE(withBody.at(0).getBody(), QStringLiteral("It's me, ok? Landed."));
    QCOMPARE(withBody.at(0).getRecipients(), (QStringList {"mum", "dad"}));
    QCOMPARE(withBody.at(0).getTime(), time);
    QVERIFY(withBody.at(1).getRecipients().isEmpty());

    const QList<VellArchiveBackendSMS> bare = m_archive.module->getAllTextMessages(false);
    QCOMPARE(bare.size(), 2);
    QVERIFY(bare.at(0).getBody().isNull());
    QCOMPARE(bare.at(0).getRecipients(), (QStringList {"mum", "dad"}));

    // An SMS without its body row is listed only without bodies.
    QVERIFY(
        m_archive.probe->exec(QStringLiteral("DELETE FROM SMS_Message WHERE SMS_ID = %1").arg(id)));
    QCOMPARE(m_archive.module->getAllTextMessages(true).size(), 1);
    QCOMPARE(m_archive.module->getAllTextMessages(false).size(), 2);
}

void tst_VellArchiveRetrieval::smsRecipientsAreDistinct()
{
    QVERIFY(m_archive.module->getSMSRecipients().isEmpty());
    m_archive.module->addSMS(Alice, {"mum", "dad"}, QStringLiteral("one"), at(1));
    m_archive.module->addSMS(Alice, {"dad", "d'arcy"}, QStringLiteral("two"), at(2));
    QStringList names = m_archive.module->getSMSRecipients();
    names.sort(); // the database's order
    QCOMPARE(names, (QStringList {"d'arcy", "dad", "mum"}));
}

void tst_VellArchiveRetrieval::smsLeavesNothingWhenStatementRefused_data()
{
    QTest::addColumn<QString>("table");
    QTest::newRow("SMS row") << "SMS";
    QTest::newRow("new word") << "Words";
    QTest::newRow("word link") << "WordToSMS";
    QTest::newRow("body") << "SMS_Message";
    QTest::newRow("recipient") << "SMS_Recipient";
}

void tst_VellArchiveRetrieval::smsLeavesNothingWhenStatementRefused()
{
    QFETCH(QString, table);
    QVERIFY(m_archive.probe->refuse(table));
    QCOMPARE(m_archive.module->addSMS(Alice, {"mum"}, QStringLiteral("hello mum"), at(1)), 0);
    for (const char *stored : {"SMS", "SMS_Recipient", "SMS_Message", "WordToSMS", "Words"}) {
        QCOMPARE(m_archive.probe->count(QLatin1String(stored)), 0);
    }
    QVERIFY(m_archive.probe->allow(table));
    QVERIFY(m_archive.module->addSMS(Alice, {"mum"}, QStringLiteral("hello mum"), at(1)) > 0);
}

void tst_VellArchiveRetrieval::removeSmsDeletesEveryRow()
{
    const int gone
        = m_archive.module->addSMS(Alice, {"mum", "dad"}, QStringLiteral("hello there"), at(1));
    const int kept = m_archive.module->addSMS(Alice, {"mum"}, QStringLiteral("hello again"), at(2));
    m_archive.module->removeSMS(gone);
    for (const char *table : {"SMS_Recipient", "SMS_Message", "WordToSMS"}) {
        QCOMPARE(m_archive.probe->rows(
                     QStringLiteral("SELECT DISTINCT SMS_ID FROM ") + QLatin1String(table)),
            QStringList {QString::number(kept)});
    }
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT ID FROM SMS")),
        QStringList {QString::number(kept)});
    QCOMPARE(m_archive.probe->count(QStringLiteral("Words")), 3); // the dictionary is not pruned

    const QString everything
        = QStringLiteral("SELECT (SELECT count(*) FROM SMS) || (SELECT count(*) "
                         "FROM SMS_Recipient) || (SELECT count(*) FROM "
                         "SMS_Message) || (SELECT count(*) FROM WordToSMS)");
    m_archive.module->removeSMS(kept + 1);
    m_archive.module->removeSMS(0);
    QCOMPARE(m_archive.probe->value(everything), QStringLiteral("1112"));

    QVERIFY(m_archive.probe->refuse(QStringLiteral("SMS_Message"), QStringLiteral("DELETE")));
    m_archive.module->removeSMS(kept);
    QCOMPARE(m_archive.probe->value(everything), QStringLiteral("1112"));
}

void tst_VellArchiveRetrieval::manyReadInFewStatements_data()
{
    QTest::addColumn<bool>("sms");
    QTest::addColumn<int>("count");
    // Past 2,000 the IDs take a second statement; both groups must be read.
    QTest::newRow("SMS") << true << 2100;
    QTest::newRow("conversations") << false << 2100;
}

// Reading many SMS or conversations with their recipients or entries takes
// about as many statements as reading one, and gives each its own rows.
void tst_VellArchiveRetrieval::manyReadInFewStatements()
{
    QFETCH(bool, sms);
    QFETCH(int, count);
    const auto store = [&](int i) {
        const QString name = QStringLiteral("c%1").arg(i);
        const QString text = QStringLiteral("word%1 common").arg(i);
        return sms ? m_archive.module->addSMS(Alice, {name, Bob}, text, at(i % 60))
                   : talk({name}, {text, QStringLiteral("reply")});
    };
    const auto read = [&] {
        return sms
            ? m_archive.module->searchForTextMessages(Criteria().text({"common"}, 0), true).size()
            : m_archive.module->searchForConversations(Criteria().text({"common"}, 0), true).size();
    };
    QMap<int, int> numberOf; // ID -> i
    numberOf.insert(store(0), 0);
    QVERIFY(numberOf.firstKey() > 0);
    const int forOne = statementsOf(read);
    for (int i = 1; i < count; ++i) {
        const int id = store(i);
        QVERIFY(id > 0);
        numberOf.insert(id, i);
    }
    int forMany = 0;
    if (sms) {
        QList<VellArchiveBackendSMS> found;
        forMany = statementsOf([&] {
            found = m_archive.module->searchForTextMessages(Criteria().text({"common"}, 0), true);
        });
        QCOMPARE(found.size(), count);
        for (const VellArchiveBackendSMS &message : found) {
            const int i = numberOf.value(message.getId(), -1);
            QCOMPARE(message.getRecipients(), (QStringList {QStringLiteral("c%1").arg(i), Bob}));
        }
    } else {
        QList<VellArchiveBackendConversation> found;
        forMany = statementsOf([&] {
            found = m_archive.module->searchForConversations(Criteria().text({"common"}, 0), true);
        });
        QCOMPARE(found.size(), count);
        for (const VellArchiveBackendConversation &conversation : found) {
            const int i = numberOf.value(conversation.getId(), -1);
            QCOMPARE(conversation.getRecipients(), QStringList {QStringLiteral("c%1").arg(i)});
            QCOMPARE(conversation.getEntries().size(), 2);
            QCOMPARE(
                conversation.getEntries().at(0).getText(), QStringLiteral("word%1 common").arg(i));
            QCOMPARE(conversation.getEntries().at(1).getText(), QStringLiteral("reply"));
        }
    }
    QVERIFY2(forMany <= forOne + 1,
        qPrintable(QStringLiteral("%1 statements for %2, %3 for one")
                       .arg(forMany)
                       .arg(count)
                       .arg(forOne)));
}

// Removing many conversations takes about as many statements as removing one
// (past 2,000 a second group of deletions), leaves none of their rows and keeps
// the conversation still being recorded.
void tst_VellArchiveRetrieval::removingManyTakesFewStatements()
{
    const auto removeAll
        = [&] { m_archive.module->removeConversations(Criteria().text({"common"}, 0)); };
    talk({Bob}, {"common"});
    const int forOne = statementsOf(removeAll);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Chats")), 0);

    for (int i = 0; i < 2100; ++i) {
        QVERIFY(talk({QStringLiteral("c%1").arg(i)}, {QStringLiteral("word%1 common").arg(i)}) > 0);
    }
    const int open = m_archive.module->startConversation(Chat, {Carol}, Alice, Jabber, QString());
    m_archive.module->addEntry(open, Carol, QStringLiteral("common"), at(1), QString(), Message);
    const int forMany = statementsOf(removeAll);
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT ID FROM Chats")),
        QStringList {QString::number(open)});
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 1);
    QCOMPARE(m_archive.probe->count(QStringLiteral("UserToChat")), 1);
    QCOMPARE(m_archive.probe->count(QStringLiteral("WordToMessage")), 1);
    QVERIFY2(forMany <= forOne + 4,
        qPrintable(QStringLiteral("%1 statements for 2,100, %2 for one").arg(forMany).arg(forOne)));
}

QTEST_GUILESS_MAIN(tst_VellArchiveRetrieval)
#include "tst_vellarchiveretrieval.moc"
