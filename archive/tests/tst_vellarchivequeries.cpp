#include "Criteria.h"
#include "VellArchiveModule.h"

#include <QtTest>

using namespace VellArchive;

Q_DECLARE_METATYPE(VellArchiveBackendSearchCriteria)

namespace {

// The statement texts the module sends, written out in full independently of
// its templates, so that any change of a blank shows here.
const QString ChatsAll = QStringLiteral("SELECT c.ID FROM   Chats c WHERE  1 = 1");
const QString ChatsOfAccounts = QStringLiteral("SELECT c.ID FROM   Chats c, Users u WHERE  1 = 1");
const QString SmsAll = QStringLiteral("SELECT ID FROM SMS WHERE 1 = 1");

QString wordAll(const QString &word)
{
    return QStringLiteral("SELECT m.Chat_ID FROM   Words w, WordToMessage wtm, Messages m WHERE  "
                          "w.Word LIKE '%1' AND w.ID   = wtm.Word_ID       AND wtm.Message_ID = "
                          "m.ID")
        .arg(word);
}

QString wordPartAll(const QString &word)
{
    return QStringLiteral("SELECT m.Chat_ID FROM   Words w, WordToMessage wtm, Messages m WHERE  "
                          "w.Word LIKE '%%1%' AND w.ID   = wtm.Word_ID         AND wtm.Message_ID "
                          "= m.ID")
        .arg(word);
}

QString wordAny(const QString &word)
{
    return QStringLiteral("SELECT m.Chat_ID FROM Words w, WordToMessage wtm, Messages m WHERE "
                          "w.Word LIKE '%1' AND w.ID = wtm.Word_ID         AND wtm.Message_ID = "
                          "m.ID")
        .arg(word);
}

QString wordPartAny(const QString &word)
{
    return QStringLiteral("SELECT m.Chat_ID FROM Words w, WordToMessage wtm, Messages m WHERE "
                          "w.Word LIKE '%%1%' AND w.ID = wtm.Word_ID           AND wtm.Message_ID "
                          "= m.ID")
        .arg(word);
}

QString messageWord(const QString &word)
{
    return QStringLiteral("SELECT wtm.Message_ID FROM   Words w, WordToMessage wtm WHERE  w.Word "
                          "LIKE '%1' AND w.ID   = wtm.Word_ID")
        .arg(word);
}

QString phrase(const QString &messages, const QString &text)
{
    return QStringLiteral("SELECT Chat_ID FROM   Messages WHERE  ID IN (%1) AND Text LIKE '%%2%'")
        .arg(messages, text);
}

QString recipientAll(const QString &uid)
{
    return QStringLiteral("SELECT utc.Chat_ID FROM Users u, UserToChat utc WHERE u.UID = '%1' AND "
                          "u.ID  = utc.User_ID")
        .arg(uid);
}

QString recipientsAny(const QString &quotedUids)
{
    return QStringLiteral("SELECT utc.Chat_ID FROM   Users u, UserToChat utc WHERE u.UID IN (%1) "
                          "AND u.ID = utc.User_ID")
        .arg(quotedUids);
}

QString smsWord(const QString &word)
{
    return QStringLiteral(
        "SELECT ws.SMS_ID FROM WordToSMS ws, Words w WHERE w.Word LIKE '%1' AND ws.Word_ID = w.ID")
        .arg(word);
}

QString smsWordPart(const QString &word)
{
    return QStringLiteral("SELECT ws.SMS_ID FROM WordToSMS ws, Words w WHERE w.Word LIKE '%%1%' "
                          "AND ws.Word_ID = w.ID")
        .arg(word);
}

QString smsPhrase(const QString &text)
{
    return QStringLiteral("SELECT SMS_ID FROM   SMS_Message WHERE  Body LIKE '%%1%'").arg(text);
}

QString smsRecipientAll(const QString &name)
{
    return QStringLiteral("SELECT SMS_ID FROM SMS_Recipient WHERE Name = '%1'").arg(name);
}

const QLatin1String Intersect(" INTERSECT ");
const QLatin1String Union(" UNION ");

const QDateTime March1 = QDateTime(QDate(2009, 3, 1), QTime(14, 5));
const QDateTime March2 = QDateTime(QDate(2009, 3, 2), QTime(8, 0, 30));
const auto Chat = VellArchiveBackendConversation::Chat;
const auto GroupChat = VellArchiveBackendConversation::GroupChat;

} // namespace

class tst_VellArchiveQueries : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void conversationQuery_data();
    void conversationQuery();
    void smsQuery_data();
    void smsQuery();
    void listBuilders_data();
    void listBuilders();
};

void tst_VellArchiveQueries::conversationQuery_data()
{
    QTest::addColumn<VellArchiveBackendSearchCriteria>("criteria");
    QTest::addColumn<QString>("sql");

    QTest::newRow("nothing set") << VellArchiveBackendSearchCriteria() << ChatsAll;
    QTest::newRow("worked example")
        << VellArchiveBackendSearchCriteria(
               Criteria().account(QString(), "bob").text({"hello", "world"}, 1))
        << ChatsOfAccounts + " AND c.Owner_ID = u.ID AND u.UID = 'bob' AND c.ID IN ("
            + wordAll("hello") + Intersect + wordAll("world") + ")";
    QTest::newRow("protocol alone")
        << VellArchiveBackendSearchCriteria(Criteria().account("jabber", QString()))
        << ChatsOfAccounts + " AND c.Owner_ID = u.ID AND u.Protocol = 'jabber'";
    QTest::newRow("protocol and owner")
        << VellArchiveBackendSearchCriteria(Criteria().account("jabber", "alice"))
        << ChatsOfAccounts + " AND c.Owner_ID = u.ID AND u.Protocol = 'jabber' AND u.UID = 'alice'";
    QTest::newRow("time bounds and types") << VellArchiveBackendSearchCriteria(
        Criteria().between(March1, March2).ofTypes({Chat, GroupChat}))
                                           << ChatsAll
            + " AND c.Time >= '2009-03-01T14:05:00' AND c.Time <= '2009-03-02T08:00:30'"
              " AND (c.Type = 0 OR c.Type = 1)";
    QTest::newRow("lower bound only")
        << VellArchiveBackendSearchCriteria(Criteria().between(March1, QDateTime()))
        << ChatsAll + " AND c.Time >= '2009-03-01T14:05:00'";
    QTest::newRow("every field, in clause order")
        << VellArchiveBackendSearchCriteria(Criteria()
                                                .account("gg", "me")
                                                .between(March1, March2)
                                                .ofTypes({GroupChat})
                                                .to({"ann", "ben"}, 1)
                                                .text({"tea"}, 0))
        << ChatsOfAccounts
            + " AND c.Time >= '2009-03-01T14:05:00' AND c.Time <= '2009-03-02T08:00:30'"
              " AND (c.Type = 1) AND c.Owner_ID = u.ID AND u.Protocol = 'gg' AND u.UID = 'me'"
              " AND c.ID IN ("
            + recipientAll("ann") + Intersect + recipientAll("ben") + ") AND c.ID IN ("
            + wordAny("tea") + ")";
    QTest::newRow("recipients any")
        << VellArchiveBackendSearchCriteria(Criteria().to({"ann", "ben"}, 0))
        << ChatsAll + " AND c.ID IN (" + recipientsAny("'ann', 'ben'") + ")";
    QTest::newRow("any word parts")
        << VellArchiveBackendSearchCriteria(Criteria().text({"ell", "orl"}, 3))
        << ChatsAll + " AND c.ID IN (" + wordPartAny("ell") + Union + wordPartAny("orl") + ")";
    QTest::newRow("all word parts")
        << VellArchiveBackendSearchCriteria(Criteria().text({"ell", "orl"}, 4))
        << ChatsAll + " AND c.ID IN (" + wordPartAll("ell") + Intersect + wordPartAll("orl") + ")";
    QTest::newRow("phrases") << VellArchiveBackendSearchCriteria(
        Criteria().text({"good morning, sir", "at noon"}, 2))
                             << ChatsAll + " AND c.ID IN ("
            + phrase(messageWord("good") + Intersect + messageWord("morning") + Intersect
                    + messageWord("sir"),
                "good morning, sir")
            + Intersect + phrase(messageWord("noon"), "at noon") + ")";
    QTest::newRow("phrase of short words")
        << VellArchiveBackendSearchCriteria(Criteria().text({"is it ok"}, 2))
        << ChatsAll + " AND c.ID IN (" + phrase(QString(), "is it ok") + ")";
    QTest::newRow("apostrophes doubled in every value") << VellArchiveBackendSearchCriteria(
        Criteria().account("g'g", "o'brien").to({"d'arcy"}, 1).text({"it's o'clock"}, 2))
                                                        << ChatsOfAccounts
            + " AND c.Owner_ID = u.ID AND u.Protocol = 'g''g' AND u.UID = 'o''brien'"
              " AND c.ID IN ("
            + recipientAll("d''arcy") + ") AND c.ID IN ("
            + phrase(messageWord("clock"), "it''s o''clock") + ")";
    QTest::newRow("like wildcards kept")
        << VellArchiveBackendSearchCriteria(Criteria().text({"100%", "a_b"}, 0))
        << ChatsAll + " AND c.ID IN (" + wordAny("100%") + Union + wordAny("a_b") + ")";

    QTest::newRow("invalid recipients mode")
        << VellArchiveBackendSearchCriteria(Criteria().account("gg", "me").to({"ann"}, 2))
        << QString();
    QTest::newRow("invalid text mode")
        << VellArchiveBackendSearchCriteria(Criteria().text({"tea"}, 5)) << QString();
    QTest::newRow("negative text mode")
        << VellArchiveBackendSearchCriteria(Criteria().text({"tea"}, -1)) << QString();
    QTest::newRow("invalid modes without lists")
        << VellArchiveBackendSearchCriteria(Criteria().to({}, 2).text({}, 5)) << ChatsAll;
}

void tst_VellArchiveQueries::conversationQuery()
{
    QFETCH(VellArchiveBackendSearchCriteria, criteria);
    QFETCH(QString, sql);
    const QString built = VellArchiveModule::createQuerySearchChats(criteria);
    QCOMPARE(built, sql);
    QCOMPARE(built.isNull(), sql.isNull());
}

void tst_VellArchiveQueries::smsQuery_data()
{
    QTest::addColumn<VellArchiveBackendSearchCriteria>("criteria");
    QTest::addColumn<QString>("sql");

    QTest::newRow("nothing set") << VellArchiveBackendSearchCriteria() << SmsAll;
    QTest::newRow("protocol and types play no part")
        << VellArchiveBackendSearchCriteria(Criteria().account("gg", QString()).ofTypes({Chat}))
        << SmsAll;
    QTest::newRow("sender, times, recipients all, words all")
        << VellArchiveBackendSearchCriteria(Criteria()
                                                .account(QString(), "o'brien")
                                                .between(March1, March2)
                                                .to({"mum", "d'arcy"}, 1)
                                                .text({"tea", "it's"}, 1))
        << SmsAll
            + " AND Sender = 'o''brien' AND Time >= '2009-03-01T14:05:00'"
              " AND Time <= '2009-03-02T08:00:30' AND ID IN ("
            + smsRecipientAll("mum") + Intersect + smsRecipientAll("d''arcy") + ") AND ID IN ("
            + smsWord("tea") + Intersect + smsWord("it''s") + ")";
    QTest::newRow("recipients any, words any") << VellArchiveBackendSearchCriteria(
        Criteria().to({"mum", "dad"}, 0).text({"tea", "cup"}, 0))
                                               << SmsAll
            + " AND ID IN (SELECT SMS_ID FROM SMS_Recipient WHERE Name IN ('mum', 'dad'))"
              " AND ID IN ("
            + smsWord("tea") + Union + smsWord("cup") + ")";
    QTest::newRow("phrases") << VellArchiveBackendSearchCriteria(
        Criteria().text({"is it ok", "o'clock"}, 2))
                             << SmsAll + " AND ID IN (" + smsPhrase("is it ok") + Intersect
            + smsPhrase("o''clock") + ")";
    QTest::newRow("any word parts")
        << VellArchiveBackendSearchCriteria(Criteria().text({"ell", "orl"}, 3))
        << SmsAll + " AND ID IN (" + smsWordPart("ell") + Union + smsWordPart("orl") + ")";
    QTest::newRow("all word parts")
        << VellArchiveBackendSearchCriteria(Criteria().text({"ell", "orl"}, 4))
        << SmsAll + " AND ID IN (" + smsWordPart("ell") + Intersect + smsWordPart("orl") + ")";
    QTest::newRow("invalid recipients mode")
        << VellArchiveBackendSearchCriteria(Criteria().to({"mum"}, 7)) << QString();
    QTest::newRow("invalid text mode")
        << VellArchiveBackendSearchCriteria(Criteria().text({"tea"}, 5)) << QString();
}

void tst_VellArchiveQueries::smsQuery()
{
    QFETCH(VellArchiveBackendSearchCriteria, criteria);
    QFETCH(QString, sql);
    const QString built = VellArchiveModule::createQuerySearchSMS(criteria);
    QCOMPARE(built, sql);
    QCOMPARE(built.isNull(), sql.isNull());
}

void tst_VellArchiveQueries::listBuilders_data()
{
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("sql");

    QTest::newRow("one type") << VellArchiveModule::createQuerySearchChatsTypes({GroupChat})
                              << "c.Type = 1";
    QTest::newRow("no types") << VellArchiveModule::createQuerySearchChatsTypes({}) << QString("");
    QTest::newRow("one recipient, any") << VellArchiveModule::createQuerySearchChatsRecipientsAny(
        {"ann"}) << recipientsAny("'ann'");
    QTest::newRow("no recipients, any")
        << VellArchiveModule::createQuerySearchChatsRecipientsAny({}) << recipientsAny(QString());
    QTest::newRow("no recipients, all")
        << VellArchiveModule::createQuerySearchChatsRecipientsAll({}) << QString("");
    QTest::newRow("no SMS recipients, any") << VellArchiveModule::createQuerySearchSMSRecipientsAny(
        {}) << "SELECT SMS_ID FROM SMS_Recipient WHERE Name IN ()";
    QTest::newRow("one word, all")
        << VellArchiveModule::createQuerySearchChatsWordsAll({"x'y"}, true) << wordAll("x''y");
    QTest::newRow("message words") << VellArchiveModule::createQuerySearchMessagesWithAllWords(
        {"tea", "tea"}) << messageWord("tea") + Intersect + messageWord("tea");
    QTest::newRow("no words") << VellArchiveModule::createQuerySearchSMSWordsAny({}, false)
                              << QString("");
}

void tst_VellArchiveQueries::listBuilders()
{
    QFETCH(QString, built);
    QFETCH(QString, sql);
    QCOMPARE(built, sql);
}

QTEST_GUILESS_MAIN(tst_VellArchiveQueries)
#include "tst_vellarchivequeries.moc"
