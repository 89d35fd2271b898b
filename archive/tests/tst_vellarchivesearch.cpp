#include "ArchiveFixture.h"
#include "Criteria.h"
#include "VellArchiveModule.h"

#include <QtTest>

#include <algorithm>

using namespace VellArchive;

namespace {

const auto Chat = VellArchiveBackendConversation::Chat;
const auto GroupChat = VellArchiveBackendConversation::GroupChat;
const auto Message = VellArchiveBackendConversationEntry::Message;

QDateTime at(int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2009, 3, day), QTime(hour, minute));
}

using Numbers = QList<int>;

} // namespace

Q_DECLARE_METATYPE(Criteria)

/**
 * Searches and bulk removals run for real on a small archive whose contents
 * are known: conversation N below is the Nth started, SMS N the Nth stored.
 *
 *  1 alice/jabber  Chat       carol        "Hello world, how are you?" / "fine thanks"   1 Mar
 *  2 alice/jabber  GroupChat  carol, dave  "helloes from the meeting room" / "meeting at noon"  2
 * Mar 3 alice/jabber  Chat       o'brien      "it's o'clock, top of the morning"             3 Mar
 *  4 bob/icq       Chat       carol, erin  "hello world again" / "is it ok to go"          4 Mar
 *  5 alice/jabber  Chat       dave         no entries, never finished: empty time
 *  6 alice/jabber  Chat       nobody       "hello nobody": never returned
 *
 *  SMS 1 o'brien -> mum, dad   "Hello from the airport"              1 Apr
 *  SMS 2 alice   -> mum        "landed safely, hello everyone"       2 Apr
 *  SMS 3 alice   -> dad, boss  "is it ok"                            3 Apr
 *  SMS 4 bob     -> boss       "Meeting moved to noon, don't wait"   4 Apr
 */
class tst_VellArchiveSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void searchConversations_data();
    void searchConversations();
    void searchConversationsWithEntries();
    void searchTextMessages_data();
    void searchTextMessages();
    void searchTextMessagesWithoutBodyRow();

    void removeConversationsByCriteria_data();
    void removeConversationsByCriteria();
    void removeConversationsPrunesButKeepsSmsWords();
    void removeConversationsSkipsOpenAndReloadsUsers();
    void removeConversationsRollsBackWhole();
    void removeSmsByCriteria_data();
    void removeSmsByCriteria();
    void removeSmsRollsBackWhole();

    void rareWordSearchStartsFromDictionaryOfUnanalysedArchive();

private:
    Numbers conversationNumbers(const QList<VellArchiveBackendConversation> &found) const;
    Numbers smsNumbers(const QList<VellArchiveBackendSMS> &found) const;
    Numbers storedConversations();
    Numbers storedSms();

    QTemporaryDir m_fixtureDir;
    QList<int> m_conversationIds; // index N - 1 holds conversation N's ID
    QList<int> m_smsIds;
    ArchiveFixture m_archive;
};

void tst_VellArchiveSearch::initTestCase()
{
    QVERIFY2(m_fixtureDir.isValid(), qPrintable(m_fixtureDir.errorString()));
    VellArchiveModule module(m_fixtureDir.filePath(QStringLiteral("fixture.db")));
    const QString jabber = QStringLiteral("jabber");
    const QString alice = QStringLiteral("alice");
    auto talk = [&](VellArchiveBackendConversation::Type type, const QString &owner,
                    const QString &protocol, const QStringList &recipients,
                    const QList<QPair<QString, QString>> &entries, int day, bool finish) {
        const int id = module.startConversation(type, recipients, owner, protocol, QString());
        QVERIFY(id > 0);
        for (int i = 0; i < entries.size(); ++i) {
            module.addEntry(id, entries.at(i).first, entries.at(i).second, at(day, 10, i),
                QStringLiteral("entry %1").arg(i), Message);
        }
        if (finish) {
            module.finishConversation(id);
        }
        m_conversationIds << id;
    };
    talk(Chat, alice, jabber, {"carol"},
        {{"carol", "Hello world, how are you?"}, {alice, "fine thanks"}}, 1, true);
    talk(GroupChat, alice, jabber, {"carol", "dave"},
        {{"dave", "helloes from the meeting room"}, {alice, "meeting at noon"}}, 2, true);
    talk(Chat, alice, jabber, {"o'brien"}, {{"o'brien", "it's o'clock, top of the morning"}}, 3,
        true);
    talk(Chat, "bob", "icq", {"carol", "erin"},
        {{"carol", "hello world again"}, {"erin", "is it ok to go"}}, 4, true);
    talk(Chat, alice, jabber, {"dave"}, {}, 5, false);
    talk(Chat, alice, jabber, {}, {{alice, "hello nobody"}}, 6, true);

    auto text = [&](const QString &sender, const QStringList &to, const QString &body, int day) {
        const int id
            = module.addSMS(sender, to, body, QDateTime(QDate(2009, 4, day), QTime(10, 0)));
        QVERIFY(id > 0);
        m_smsIds << id;
    };
    text("o'brien", {"mum", "dad"}, "Hello from the airport", 1);
    text(alice, {"mum"}, "landed safely, hello everyone", 2);
    text(alice, {"dad", "boss"}, "is it ok", 3);
    text("bob", {"boss"}, "Meeting moved to noon, don't wait", 4);
}

void tst_VellArchiveSearch::init()
{
    // Every test works on its own copy, so removals leave the fixture alone.
    QVERIFY(m_archive.open(m_fixtureDir.filePath(QStringLiteral("fixture.db"))));
}

void tst_VellArchiveSearch::cleanup()
{
    m_archive.close();
}

Numbers tst_VellArchiveSearch::conversationNumbers(
    const QList<VellArchiveBackendConversation> &found) const
{
    Numbers numbers;
    for (const VellArchiveBackendConversation &conversation : found) {
        numbers << m_conversationIds.indexOf(conversation.getId()) + 1;
    }
    return numbers;
}

Numbers tst_VellArchiveSearch::smsNumbers(const QList<VellArchiveBackendSMS> &found) const
{
    Numbers numbers;
    for (const VellArchiveBackendSMS &sms : found) {
        numbers << m_smsIds.indexOf(sms.getId()) + 1;
    }
    std::sort(numbers.begin(), numbers.end()); // the database's order is not defined
    return numbers;
}

Numbers tst_VellArchiveSearch::storedConversations()
{
    Numbers numbers;
    for (const QString &id :
        m_archive.probe->rows(QStringLiteral("SELECT ID FROM Chats ORDER BY ID"))) {
        numbers << m_conversationIds.indexOf(id.toInt()) + 1;
    }
    return numbers;
}

Numbers tst_VellArchiveSearch::storedSms()
{
    Numbers numbers;
    for (const QString &id :
        m_archive.probe->rows(QStringLiteral("SELECT ID FROM SMS ORDER BY ID"))) {
        numbers << m_smsIds.indexOf(id.toInt()) + 1;
    }
    return numbers;
}

void tst_VellArchiveSearch::searchConversations_data()
{
    QTest::addColumn<Criteria>("criteria");
    QTest::addColumn<Numbers>("expected"); // newest first

    const Numbers all {5, 4, 3, 2, 1};
    QTest::newRow("nothing set: every conversation with recipients") << Criteria() << all;
    QTest::newRow("whole word keeps letter case") << Criteria().text({"hello"}, 0) << Numbers {4};
    QTest::newRow("whole word, capitalised") << Criteria().text({"Hello"}, 0) << Numbers {1};
    QTest::newRow("whole word is not a word part") << Criteria().text({"hell"}, 0) << Numbers {};
    QTest::newRow("word part") << Criteria().text({"hello"}, 3) << Numbers {4, 2};
    QTest::newRow("any of two words") << Criteria().text({"Hello", "meeting"}, 0) << Numbers {2, 1};
    QTest::newRow("all words, in different messages")
        << Criteria().text({"fine", "Hello"}, 1) << Numbers {1};
    QTest::newRow("all words, in different conversations")
        << Criteria().text({"again", "meeting"}, 1) << Numbers {};
    QTest::newRow("any word parts") << Criteria().text({"clo", "eet"}, 3) << Numbers {3, 2};
    QTest::newRow("all word parts") << Criteria().text({"ell", "orl"}, 4) << Numbers {4, 1};
    QTest::newRow("word as LIKE pattern") << Criteria().text({"hel_o"}, 0) << Numbers {4};
    QTest::newRow("phrase is case-sensitive") << Criteria().text({"hello world"}, 2) << Numbers {4};
    QTest::newRow("phrase across punctuation")
        << Criteria().text({"Hello world, how"}, 2) << Numbers {1};
    QTest::newRow("phrase words in other order")
        << Criteria().text({"world hello"}, 2) << Numbers {};
    QTest::newRow("two phrases") << Criteria().text({"meeting room", "at noon"}, 2) << Numbers {2};
    QTest::newRow("phrase of short words finds nothing")
        << Criteria().text({"is it ok"}, 2) << Numbers {};
    QTest::newRow("phrase with apostrophes") << Criteria().text({"it's o'clock"}, 2) << Numbers {3};
    QTest::newRow("recipients any") << Criteria().to({"dave", "erin"}, 0) << Numbers {5, 4, 2};
    QTest::newRow("recipients all") << Criteria().to({"carol", "dave"}, 1) << Numbers {2};
    QTest::newRow("recipient with apostrophe") << Criteria().to({"o'brien"}, 0) << Numbers {3};
    QTest::newRow("owner") << Criteria().account(QString(), "bob") << Numbers {4};
    QTest::newRow("protocol") << Criteria().account("icq", QString()) << Numbers {4};
    QTest::newRow("protocol and owner")
        << Criteria().account("jabber", "alice") << Numbers {5, 3, 2, 1};
    QTest::newRow("owner of another protocol") << Criteria().account("icq", "alice") << Numbers {};
    QTest::newRow("from a time: the empty time never")
        << Criteria().between(at(2, 0), QDateTime()) << Numbers {4, 3, 2};
    QTest::newRow("until a time: the empty time always")
        << Criteria().between(QDateTime(), at(2, 23)) << Numbers {5, 2, 1};
    QTest::newRow("time range, bounds inclusive")
        << Criteria().between(at(2, 10), at(3, 10)) << Numbers {3, 2};
    QTest::newRow("type") << Criteria().ofTypes({GroupChat}) << Numbers {2};
    QTest::newRow("types") << Criteria().ofTypes({Chat, GroupChat}) << all;
    QTest::newRow("combination") << Criteria()
                                        .account("jabber", "alice")
                                        .to({"carol"}, 0)
                                        .text({"meeting"}, 0)
                                        .ofTypes({GroupChat})
                                        .between(at(1, 0), at(3, 0))
                                 << Numbers {2};
    QTest::newRow("combination excluding by time")
        << Criteria().text({"meeting"}, 0).between(at(3, 0), QDateTime()) << Numbers {};
    QTest::newRow("invalid recipients mode") << Criteria().to({"carol"}, 2) << Numbers {};
    QTest::newRow("invalid text mode") << Criteria().text({"hello"}, 5) << Numbers {};
    QTest::newRow("invalid modes without lists") << Criteria().to({}, 2).text({}, 5) << all;
}

void tst_VellArchiveSearch::searchConversations()
{
    QFETCH(Criteria, criteria);
    QFETCH(Numbers, expected);
    const QList<VellArchiveBackendConversation> found
        = m_archive.module->searchForConversations(criteria, false);
    QCOMPARE(conversationNumbers(found), expected);
    for (const VellArchiveBackendConversation &conversation : found) {
        QVERIFY(conversation.getEntries().isEmpty());
    }
    // The case-sensitive search leaves LIKE case-insensitive for everyone else.
    QCOMPARE(m_archive.probe->value(QStringLiteral("SELECT 'a' LIKE 'A'")), QStringLiteral("1"));
}

void tst_VellArchiveSearch::searchConversationsWithEntries()
{
    const QList<VellArchiveBackendConversation> found
        = m_archive.module->searchForConversations(Criteria().text({"meeting"}, 0), true);
    QCOMPARE(found.size(), 1);
    const VellArchiveBackendConversation &meeting = found.first();
    QCOMPARE(meeting.getId(), m_conversationIds.at(1));
    QCOMPARE(meeting.getOwnerUid(), QStringLiteral("alice"));
    QCOMPARE(meeting.getProtocol(), QStringLiteral("jabber"));
    QCOMPARE(meeting.getRecipients(), (QStringList {"carol", "dave"}));
    QCOMPARE(meeting.getType(), GroupChat);
    QCOMPARE(meeting.getStartTime(), at(2, 10, 0));
    QCOMPARE(meeting.getEntries().size(), 2);
    QCOMPARE(meeting.getEntries().at(0).getSenderUid(), QStringLiteral("dave"));
    QCOMPARE(meeting.getEntries().at(1).getText(), QStringLiteral("meeting at noon"));
}

void tst_VellArchiveSearch::searchTextMessages_data()
{
    QTest::addColumn<Criteria>("criteria");
    QTest::addColumn<Numbers>("expected"); // ascending

    const Numbers all {1, 2, 3, 4};
    QTest::newRow("nothing set") << Criteria() << all;
    QTest::newRow("whole word ignores letter case")
        << Criteria().text({"hello"}, 0) << Numbers {1, 2};
    QTest::newRow("whole word is not a word part") << Criteria().text({"port"}, 0) << Numbers {};
    QTest::newRow("word part") << Criteria().text({"PORT"}, 3) << Numbers {1};
    QTest::newRow("any of two words")
        << Criteria().text({"airport", "meeting"}, 0) << Numbers {1, 4};
    QTest::newRow("all words") << Criteria().text({"hello", "landed"}, 1) << Numbers {2};
    QTest::newRow("any word parts") << Criteria().text({"irp", "eeti"}, 3) << Numbers {1, 4};
    QTest::newRow("all word parts") << Criteria().text({"air", "hel"}, 4) << Numbers {1};
    QTest::newRow("phrase") << Criteria().text({"from the AIRPORT"}, 2) << Numbers {1};
    QTest::newRow("phrase of short words") << Criteria().text({"is it ok"}, 2) << Numbers {3};
    QTest::newRow("two phrases") << Criteria().text({"landed safely", "hello everyone"}, 2)
                                 << Numbers {2};
    QTest::newRow("phrase with apostrophe") << Criteria().text({"don't wait"}, 2) << Numbers {4};
    QTest::newRow("sender") << Criteria().account(QString(), "alice") << Numbers {2, 3};
    QTest::newRow("sender with apostrophe")
        << Criteria().account(QString(), "o'brien") << Numbers {1};
    QTest::newRow("protocol and types play no part")
        << Criteria().account("icq", QString()).ofTypes({GroupChat}) << all;
    QTest::newRow("recipients any") << Criteria().to({"mum", "boss"}, 0) << all;
    QTest::newRow("recipients all") << Criteria().to({"dad", "boss"}, 1) << Numbers {3};
    QTest::newRow("time range, bounds inclusive") << Criteria().between(
        QDateTime(QDate(2009, 4, 2), QTime(10, 0)), QDateTime(QDate(2009, 4, 3), QTime(10, 0)))
                                                  << Numbers {2, 3};
    QTest::newRow("combination")
        << Criteria().account(QString(), "alice").to({"dad"}, 0).text({"ok"}, 2) << Numbers {3};
    QTest::newRow("invalid recipients mode") << Criteria().to({"mum"}, 2) << Numbers {};
    QTest::newRow("invalid text mode") << Criteria().text({"hello"}, 5) << Numbers {};
}

void tst_VellArchiveSearch::searchTextMessages()
{
    QFETCH(Criteria, criteria);
    QFETCH(Numbers, expected);
    const Criteria &asked = criteria;
    QCOMPARE(smsNumbers(m_archive.module->searchForTextMessages(asked, true)), expected);
    QCOMPARE(smsNumbers(m_archive.module->searchForTextMessages(asked, false)), expected);
}

void tst_VellArchiveSearch::searchTextMessagesWithoutBodyRow()
{
    const QList<VellArchiveBackendSMS> withBody
        = m_archive.module->searchForTextMessages(Criteria().account(QString(), "o'brien"), true);
    QCOMPARE(withBody.size(), 1);
    const VellArchiveBackendSMS &sms = withBody.first();
    QCOMPARE(sms.getSender(), QStringLiteral("o'brien"));
    QCOMPARE(sms.getBody(), QStringLiteral("Hello from the airport"));
    QCOMPARE(sms.getRecipients(), (QStringList {"mum", "dad"}));
    QCOMPARE(sms.getTime(), QDateTime(QDate(2009, 4, 1), QTime(10, 0)));

    // Without its body row an SMS is listed only when the body is not asked for.
    QVERIFY(m_archive.probe->exec(
        QStringLiteral("DELETE FROM SMS_Message WHERE SMS_ID = %1").arg(m_smsIds.at(0))));
    QCOMPARE(
        smsNumbers(m_archive.module->searchForTextMessages(Criteria(), true)), (Numbers {2, 3, 4}));
    const QList<VellArchiveBackendSMS> bare
        = m_archive.module->searchForTextMessages(Criteria().account(QString(), "o'brien"), false);
    QCOMPARE(bare.size(), 1);
    QVERIFY(bare.first().getBody().isNull());
    QCOMPARE(bare.first().getRecipients(), (QStringList {"mum", "dad"}));
}

void tst_VellArchiveSearch::removeConversationsByCriteria_data()
{
    QTest::addColumn<Criteria>("criteria");
    QTest::addColumn<Numbers>("kept");

    // Conversation 6 has no recipients: no search shows it, but nothing set selects it.
    QTest::newRow("nothing set empties the archive") << Criteria() << Numbers {};
    QTest::newRow("case-sensitive, as the search shows")
        << Criteria().text({"Hello"}, 0) << Numbers {2, 3, 4, 5, 6};
    QTest::newRow("by account") << Criteria().account("icq", "bob") << Numbers {1, 2, 3, 5, 6};
    QTest::newRow("matching nothing")
        << Criteria().text({"absent"}, 0) << Numbers {1, 2, 3, 4, 5, 6};
    QTest::newRow("invalid mode") << Criteria().text({"hello"}, 9) << Numbers {1, 2, 3, 4, 5, 6};
}

void tst_VellArchiveSearch::removeConversationsByCriteria()
{
    QFETCH(Criteria, criteria);
    QFETCH(Numbers, kept);
    m_archive.module->removeConversations(criteria);
    QCOMPARE(storedConversations(), kept);
    // Nothing is left that points at a removed conversation or message.
    QCOMPARE(m_archive.probe->count(
                 QStringLiteral("Messages WHERE Chat_ID NOT IN (SELECT ID FROM Chats)")),
        0);
    QCOMPARE(m_archive.probe->count(
                 QStringLiteral("UserToChat WHERE Chat_ID NOT IN (SELECT ID FROM Chats)")),
        0);
    QCOMPARE(m_archive.probe->count(
                 QStringLiteral("WordToMessage WHERE Message_ID NOT IN (SELECT ID FROM Messages)")),
        0);
    // Orphans are pruned: every user and every word is still used.
    QCOMPARE(m_archive.probe->count(
                 QStringLiteral("Users WHERE ID NOT IN (SELECT User_ID FROM UserToChat "
                                "UNION SELECT Owner_ID FROM Chats)")),
        0);
    QCOMPARE(m_archive.probe->count(
                 QStringLiteral("Words WHERE ID NOT IN (SELECT Word_ID FROM "
                                "WordToMessage UNION SELECT Word_ID FROM WordToSMS)")),
        0);
    QCOMPARE(storedSms(), (Numbers {1, 2, 3, 4}));
    // Every index still holds exactly the rows of its table.
    QCOMPARE(
        m_archive.probe->value(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
}

void tst_VellArchiveSearch::removeConversationsPrunesButKeepsSmsWords()
{
    m_archive.module->removeConversations(Criteria().text({"meeting"}, 0));
    QCOMPARE(storedConversations(), (Numbers {1, 3, 4, 5, 6}));
    const QString words = QStringLiteral("SELECT Word FROM Words WHERE Word IN ('helloes', "
                                         "'meeting', 'room', 'noon', 'Meeting') ORDER BY Word");
    // noon and Meeting are words of SMS 4 too; dave still talks in conversation 5.
    QCOMPARE(m_archive.probe->rows(words), (QStringList {"Meeting", "noon"}));
    QCOMPARE(
        smsNumbers(m_archive.module->searchForTextMessages(Criteria().text({"noon"}, 0), false)),
        Numbers {4});
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users WHERE UID = 'dave'")), 1);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 6);
}

void tst_VellArchiveSearch::removeConversationsSkipsOpenAndReloadsUsers()
{
    const int open = m_archive.module->startConversation(Chat, {"erin"}, "bob", "icq", QString());
    QVERIFY(open > 0);
    m_archive.module->addEntry(open, "erin", "still talking", at(9, 9), QString(), Message);

    m_archive.module->removeConversations(Criteria());
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT ID FROM Chats")),
        QStringList {QString::number(open)});
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT UID FROM Users ORDER BY ID")),
        (QStringList {"bob", "erin"}));
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 1);

    // Alice and carol are gone from memory too: talking to carol again writes
    // both rows anew, and every link points at a stored user.
    const int again
        = m_archive.module->startConversation(Chat, {"carol"}, "alice", "jabber", QString());
    QVERIFY(again > open);
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT UID FROM Users ORDER BY ID")),
        (QStringList {"bob", "erin", "alice", "carol"}));
    QCOMPARE(m_archive.probe->count(
                 QStringLiteral("UserToChat WHERE User_ID NOT IN (SELECT ID FROM Users)")),
        0);
    QCOMPARE(m_archive.probe->count(
                 QStringLiteral("Chats WHERE Owner_ID NOT IN (SELECT ID FROM Users)")),
        0);

    // The open conversation still records; once finished it can go.
    m_archive.module->addEntry(open, "bob", "bye", at(9, 10), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 2);
    m_archive.module->finishConversation(open);
    m_archive.module->removeConversations(Criteria().account(QString(), "bob"));
    QCOMPARE(m_archive.probe->count(QStringLiteral("Chats")), 1);
}

void tst_VellArchiveSearch::removeConversationsRollsBackWhole()
{
    const QStringList tables {"Chats", "Messages", "UserToChat", "Users", "Words", "WordToMessage"};
    QStringList before;
    for (const QString &table : tables) {
        before << m_archive.probe->rows(QStringLiteral("SELECT * FROM ") + table);
    }
    // The second conversation's messages refuse to go: the first must come back.
    QVERIFY(
        m_archive.probe->exec(QStringLiteral("CREATE TRIGGER KeepMeeting BEFORE DELETE ON Messages "
                                             "WHEN old.Text LIKE '%meeting%' BEGIN "
                                             "SELECT RAISE(ABORT, 'refused'); END")));
    m_archive.module->removeConversations(Criteria().account("jabber", "alice"));
    QStringList after;
    for (const QString &table : tables) {
        after << m_archive.probe->rows(QStringLiteral("SELECT * FROM ") + table);
    }
    QCOMPARE(after, before);

    // The users set was not reloaded from a failed removal, and the connection
    // is usable: the next removal goes through.
    QVERIFY(m_archive.probe->exec(QStringLiteral("DROP TRIGGER KeepMeeting")));
    m_archive.module->removeConversations(Criteria().account("jabber", "alice"));
    QCOMPARE(storedConversations(), Numbers {4});
}

void tst_VellArchiveSearch::removeSmsByCriteria_data()
{
    QTest::addColumn<Criteria>("criteria");
    QTest::addColumn<Numbers>("kept");

    QTest::newRow("nothing set empties the SMS") << Criteria() << Numbers {};
    QTest::newRow("word, any case") << Criteria().text({"HELLO"}, 0) << Numbers {3, 4};
    QTest::newRow("sender with apostrophe")
        << Criteria().account(QString(), "o'brien") << Numbers {2, 3, 4};
    QTest::newRow("recipients all") << Criteria().to({"dad", "boss"}, 1) << Numbers {1, 2, 4};
    QTest::newRow("matching nothing") << Criteria().text({"absent"}, 0) << Numbers {1, 2, 3, 4};
    QTest::newRow("invalid mode") << Criteria().to({"mum"}, 3) << Numbers {1, 2, 3, 4};
}

void tst_VellArchiveSearch::removeSmsByCriteria()
{
    QFETCH(Criteria, criteria);
    QFETCH(Numbers, kept);
    const int words = m_archive.probe->count(QStringLiteral("Words"));
    m_archive.module->removeSMS(criteria);
    QCOMPARE(storedSms(), kept);
    for (const char *table : {"SMS_Recipient", "SMS_Message", "WordToSMS"}) {
        QCOMPARE(m_archive.probe->count(
                     table + QStringLiteral(" WHERE SMS_ID NOT IN (SELECT ID FROM SMS)")),
            0);
    }
    QCOMPARE(m_archive.probe->count(QStringLiteral("Words")), words); // SMS removal does not prune
    QCOMPARE(storedConversations(), (Numbers {1, 2, 3, 4, 5, 6}));
}

void tst_VellArchiveSearch::removeSmsRollsBackWhole()
{
    QVERIFY(m_archive.probe->refuse(QStringLiteral("WordToSMS"), QStringLiteral("DELETE")));
    m_archive.module->removeSMS(Criteria().account(QString(), "alice"));
    QCOMPARE(storedSms(), (Numbers {1, 2, 3, 4}));
    QCOMPARE(m_archive.probe->count(QStringLiteral("SMS_Recipient")), 6);
    QCOMPARE(m_archive.probe->count(QStringLiteral("SMS_Message")), 4);

    QVERIFY(m_archive.probe->allow(QStringLiteral("WordToSMS"), QStringLiteral("DELETE")));
    m_archive.module->removeSMS(Criteria().account(QString(), "alice"));
    QCOMPARE(storedSms(), (Numbers {1, 4}));
}

void tst_VellArchiveSearch::rareWordSearchStartsFromDictionaryOfUnanalysedArchive()
{
    // An archive of 30,000 messages that was never analysed, its 300,000 word
    // links skewed as in chat (a few words in most messages, most words rare),
    // the frequent words first: what a bounded analysis samples of a link
    // index is the worst of it. The planner must still start a rare word's
    // search from the dictionary's index, not from a scan of the links.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("large.db"));
    {
        VellArchiveModule schema(path);
    }
    {
        SqliteProbe filler(path);
        QVERIFY(filler.exec(QStringLiteral(
            "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; DROP TABLE IF EXISTS "
            "sqlite_stat1;"
            "BEGIN;"
            "INSERT INTO Users(ID, UID, Protocol, Owner_ID) VALUES(1, 'me', 'jabber', 0), "
            "(2, 'you', 'jabber', 1);"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
            "INSERT INTO Words(ID, Word) SELECT i, 'w' || i FROM n;"
            "INSERT INTO Words(ID, Word) VALUES(5001, 'zzrare');"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
            "INSERT INTO Chats(ID, Time, Type, Owner_ID) SELECT i, '2009-03-01T14:05:00', 0, 1 "
            "FROM n;"
            "INSERT INTO UserToChat(User_ID, Chat_ID) SELECT 2, ID FROM Chats;"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000) "
            "INSERT INTO Messages(ID, Text, Time, User_ID, Chat_ID, Type) SELECT i, 'text', "
            "'2009-03-01T14:05:00', 2, 1 + i / 10, 0 FROM n;"
            "CREATE TEMP TABLE r(x REAL);"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300000) "
            "INSERT INTO temp.r SELECT (abs(random()) % 100000) / 100000.0 FROM n;"
            "INSERT INTO WordToMessage(Word_ID, Message_ID) SELECT 1 + CAST(4999 * x * x * x AS "
            "INTEGER), 1 + rowid % 30000 FROM temp.r ORDER BY 1;"
            "INSERT INTO WordToMessage(Word_ID, Message_ID) VALUES(5001, 7), (5001, 20007);"
            "COMMIT")));
    }

    VellArchiveModule module(path);
    Criteria rare;
    rare.text({QStringLiteral("zzrare")}, 0);
    QCOMPARE(module.searchForConversations(rare, false).size(), 2);

    SqliteProbe probe(path);
    QVERIFY(probe.exec(QStringLiteral("PRAGMA case_sensitive_like = 1")));
    const QStringList plan = probe.rows(
        QStringLiteral("EXPLAIN QUERY PLAN ") + VellArchiveModule::createQuerySearchChats(rare));
    // Rows are "id|parent|notused|detail": the sub-query of word links must
    // begin with the dictionary's index, and nothing is scanned whole.
    const QString shown = plan.join(QLatin1Char('\n'));
    const int subQuery = plan.indexOf(QRegularExpression(QStringLiteral(".*LIST SUBQUERY.*")));
    QVERIFY2(subQuery >= 0, qPrintable(shown));
    QVERIFY2(plan.value(subQuery + 1)
                 .contains(QLatin1String("SEARCH w USING COVERING INDEX "
                                         "WordsIndex")),
        qPrintable(shown));
    QVERIFY2(!shown.contains(QLatin1String("SCAN")), qPrintable(shown));
}

QTEST_GUILESS_MAIN(tst_VellArchiveSearch)
#include "tst_vellarchivesearch.moc"
