#include "ArchiveFixture.h"
#include "Criteria.h"
#include "GeneratedArchive.h"
#include "SqliteProbe.h"
#include "VellArchiveModule.h"
#include "VellArchiveSearchQuery.h"

#include <QtTest>

#include <random>

using namespace VellArchive;

namespace {

enum class Kind { Conversations, Sms };

// The statements that read the found conversations and SMS, around an ID query.
const char *const ReadChats = "SELECT c.ID, c.Time, c.Type, u1.UID, u1.Protocol, u2.UID FROM   "
                              "Chats c, UserToChat utc, Users u1, Users u2 WHERE  c.ID IN (%1) AND "
                              "c.Owner_ID = u1.ID                AND c.ID = utc.Chat_ID          "
                              "      AND utc.User_ID = u2.ID ORDER BY c.ID DESC";
const char *const ReadSms = "SELECT s.ID, s.Time, s.Sender, m.Body FROM SMS s JOIN SMS_Message m "
                            "ON m.SMS_ID = s.ID WHERE s.ID IN (%1)";

QStringList firstColumn(const QStringList &rows)
{
    QStringList ids;
    for (const QString &row : rows) {
        ids.append(row.section(QLatin1Char('|'), 0, 0));
    }
    ids.removeDuplicates(); // one row per conversation and recipient
    return ids;
}

QString described(const VellArchiveBackendSearchCriteria &c)
{
    QStringList types;
    for (const auto type : c.types) {
        types.append(QString::number(type));
    }
    return QStringLiteral("texts [%1] mode %2, recipients [%3] mode %4, owner '%5', protocol '%6', "
                          "types [%7], from %8, to %9")
        .arg(c.texts.join(QLatin1String(" | ")))
        .arg(c.textMode)
        .arg(c.recipients.join(QLatin1Char(' ')))
        .arg(c.recipientsMode)
        .arg(c.ownerUid, c.protocol, types.join(QLatin1Char(' ')), c.timeFrom.toString(Qt::ISODate),
            c.timeTo.toString(Qt::ISODate));
}

} // namespace

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(Criteria)

/**
 * The ID queries that the searches run, against the query builders' own
 * statements on a generated archive of realistic shape: the same rows in the
 * same order for random criteria, query plans that reach the word links and
 * the messages through their indexes, and lists longer than SQLite's limit
 * of terms in one compound SELECT.
 */
class tst_VellArchiveSearchQuery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void sameRowsAsBuilders_data();
    void sameRowsAsBuilders();
    void planUsesIndexes_data();
    void planUsesIndexes();
    void moreTermsThanOneCompoundTakes_data();
    void moreTermsThanOneCompoundTakes();

private:
    Criteria randomCriteria(Kind kind, int textMode);
    QStringList randomTexts(Kind kind, int textMode);
    QString randomStoredText(Kind kind);
    QString randomWordPart(const QString &word);

    QTemporaryDir m_dir;
    GeneratedArchive m_generated;
    std::unique_ptr<VellArchiveModule> m_module;
    std::unique_ptr<SqliteProbe> m_probe;
    std::mt19937 m_random {24};
};

void tst_VellArchiveSearchQuery::initTestCase()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
    const QString path = m_dir.filePath(QStringLiteral("generated.db"));
    QString error;
    QVERIFY2(m_generated.fill(path, 4000, 3000, 20090301, &error), qPrintable(error));
    m_module.reset(new VellArchiveModule(path));
    m_probe.reset(new SqliteProbe(path, SqliteProbe::ReadOnly));
}

QString tst_VellArchiveSearchQuery::randomStoredText(Kind kind)
{
    return m_probe->value(kind == Kind::Conversations
            ? QStringLiteral("SELECT Text FROM Messages WHERE ID = %1").arg(1 + m_random() % 8000)
            : QStringLiteral("SELECT Body FROM SMS_Message WHERE SMS_ID = %1")
                  .arg(1 + m_random() % 3000));
}

QString tst_VellArchiveSearchQuery::randomWordPart(const QString &word)
{
    // Now and then in the other letter case, or made up.
    const int length = 1 + int(m_random() % 6);
    const int start = int(m_random() % std::max(1, word.size() - length + 1));
    const QString part = word.mid(start, length);
    switch (m_random() % 8) {
    case 0:
        return part.toUpper();
    case 1:
        return QStringLiteral("qx").left(length);
    default:
        return part;
    }
}

QStringList tst_VellArchiveSearchQuery::randomTexts(Kind kind, int textMode)
{
    // "Any" modes take words of the whole vocabulary, mostly frequent ones so
    // that short parts match many words; "all" modes and phrases take one
    // stored text's words or pieces, so that they find something.
    const QStringList &vocabulary = m_generated.vocabulary;
    const QString stored = randomStoredText(kind);
    const QStringList storedWords = VellArchiveModule::splitMessage(stored);
    QStringList texts;
    const int count = 1 + int(m_random() % 3);
    for (int i = 0; i < count; ++i) {
        const QString anyWord = vocabulary.at(int(m_random() % (m_random() % 2 ? 50 : 600)));
        const QString storedWord
            = storedWords.value(int(m_random() % std::max(1, storedWords.size())), anyWord);
        switch (textMode) {
        case 0:
            texts.append(m_random() % 5 == 0 ? anyWord.toUpper() : anyWord);
            break;
        case 1:
            texts.append(storedWord);
            break;
        case 2: { // whole words of the text, as it holds them
            const QStringList pieces = stored.split(QLatin1Char(' '));
            texts.append(pieces.mid(int(m_random() % pieces.size()), 1 + int(m_random() % 3))
                             .join(QLatin1Char(' ')));
            break;
        }
        case 3:
            texts.append(randomWordPart(anyWord));
            break;
        default:
            texts.append(randomWordPart(storedWord));
            break;
        }
    }
    return texts;
}

Criteria tst_VellArchiveSearchQuery::randomCriteria(Kind kind, int textMode)
{
    Criteria criteria;
    const bool sms = kind == Kind::Sms;
    if (textMode >= 0) {
        criteria.text(randomTexts(kind, textMode), textMode);
    }
    if (m_random() % 3 == 0) {
        const QStringList &names = sms ? m_generated.smsRecipients : m_generated.contacts;
        QStringList chosen;
        for (unsigned i = 0, count = 1 + m_random() % 3; i < count; ++i) {
            chosen.append(names.at(int(m_random() % names.size())));
        }
        criteria.to(chosen, int(m_random() % 2));
    }
    if (m_random() % 4 == 0) {
        const int account = int(m_random() % 3);
        criteria.ownerUid = sms ? m_generated.smsSenders.at(int(m_random() % 20))
                                : m_generated.accounts.at(account);
        if (!sms && m_random() % 2) {
            criteria.protocol = m_generated.protocols.at(account);
        }
    } else if (!sms && m_random() % 4 == 0) {
        criteria.protocol = m_generated.protocols.at(int(m_random() % 3));
    }
    const qint64 span = m_generated.firstTime.secsTo(m_generated.lastTime);
    if (m_random() % 4 == 0) {
        criteria.timeFrom = m_generated.firstTime.addSecs(qint64(m_random() % span));
    }
    if (m_random() % 4 == 0) {
        criteria.timeTo = m_generated.firstTime.addSecs(qint64(m_random() % span));
    }
    if (!sms && m_random() % 4 == 0) {
        criteria.ofTypes(
            m_random() % 2 ? QList<
                VellArchiveBackendConversation::Type> {VellArchiveBackendConversation::GroupChat}
                           : QList<VellArchiveBackendConversation::Type> {
                               VellArchiveBackendConversation::Chat,
                               VellArchiveBackendConversation::GroupChat});
    }
    return criteria;
}

void tst_VellArchiveSearchQuery::sameRowsAsBuilders_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("textMode"); // -1: no texts
    const QList<QPair<const char *, int>> modes {{"no texts", -1}, {"any word", 0},
        {"all words", 1}, {"phrases", 2}, {"any word part", 3}, {"all word parts", 4}};
    for (const auto &mode : modes) {
        QTest::addRow("conversations, %s", mode.first) << Kind::Conversations << mode.second;
        QTest::addRow("SMS, %s", mode.first) << Kind::Sms << mode.second;
    }
}

void tst_VellArchiveSearchQuery::sameRowsAsBuilders()
{
    // The builders' statements leave the join order to SQLite; the searches
    // run the same joins in a fixed order. Rows and their order must agree:
    // of the ID queries themselves, and of the statements that read the
    // found conversations and SMS around the builders' queries.
    QFETCH(Kind, kind);
    QFETCH(int, textMode);
    const bool sms = kind == Kind::Sms;
    QVERIFY(m_probe->exec(sms ? QStringLiteral("PRAGMA case_sensitive_like = 0")
                              : QStringLiteral("PRAGMA case_sensitive_like = 1")));
    int found = 0;
    for (int round = 0; round < 30; ++round) {
        const Criteria criteria = randomCriteria(kind, textMode);
        const QString reference = sms ? VellArchiveModule::createQuerySearchSMS(criteria)
                                      : VellArchiveModule::createQuerySearchChats(criteria);
        const QString ours = sms ? VellArchiveSearchQuery::textMessages(criteria)
                                 : VellArchiveSearchQuery::conversations(criteria);
        const QStringList expected = m_probe->rows(reference);
        QVERIFY2(
            expected.value(0).left(7) != QLatin1String("<error:"), qPrintable(expected.value(0)));
        QVERIFY2(m_probe->rows(ours) == expected, qPrintable(described(criteria)));

        const QStringList read
            = firstColumn(m_probe->rows(QLatin1String(sms ? ReadSms : ReadChats).arg(reference)));
        QStringList searched;
        if (sms) {
            for (const VellArchiveBackendSMS &message :
                m_module->searchForTextMessages(criteria, true)) {
                searched.append(QString::number(message.getId()));
            }
        } else {
            for (const VellArchiveBackendConversation &conversation :
                m_module->searchForConversations(criteria, false)) {
                searched.append(QString::number(conversation.getId()));
            }
        }
        QVERIFY2(searched == read, qPrintable(described(criteria)));
        found += searched.isEmpty() ? 0 : 1;
    }
    // The criteria are worth comparing only when many of them find something.
    QVERIFY2(found >= 10, qPrintable(QString::number(found)));
}

void tst_VellArchiveSearchQuery::planUsesIndexes_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<Criteria>("criteria");
    QTest::addColumn<QString>("scanned"); // the one table that has to be read whole, if any

    const QStringList words {QStringLiteral("kota"), QStringLiteral("mie")};
    const QStringList names {QStringLiteral("friend1"), QStringLiteral("friend2")};
    const auto from = QDateTime(QDate(2009, 3, 5), QTime(0, 0));
    for (const Kind kind : {Kind::Conversations, Kind::Sms}) {
        const char *prefix = kind == Kind::Sms ? "SMS" : "conversations";
        // Word parts test every dictionary entry: the dictionary is read whole.
        QTest::addRow("%s, any word", prefix) << kind << Criteria().text(words, 0) << QString();
        QTest::addRow("%s, all words", prefix) << kind << Criteria().text(words, 1) << QString();
        QTest::addRow("%s, any word part", prefix) << kind << Criteria().text(words, 3) << "w";
        QTest::addRow("%s, all word parts", prefix) << kind << Criteria().text(words, 4) << "w";
        QTest::addRow("%s, word part and recipient", prefix)
            << kind << Criteria().text({"ko"}, 3).to(names, 0) << "w";
        QTest::addRow("%s, word part and time", prefix)
            << kind << Criteria().text({"ko"}, 3).between(from, from.addDays(1)) << "w";
        QTest::addRow("%s, any recipient", prefix) << kind << Criteria().to(names, 0) << QString();
        QTest::addRow("%s, all recipients", prefix) << kind << Criteria().to(names, 1) << QString();
        QTest::addRow("%s, time", prefix)
            << kind << Criteria().between(from, from.addDays(1)) << QString();
    }
    QTest::newRow("conversations, phrase")
        << Kind::Conversations << Criteria().text({"kota mie"}, 2) << QString();
    QTest::newRow("conversations, account")
        << Kind::Conversations << Criteria().account("jabber", "me@jabber.org") << QString();
    QTest::newRow("conversations, owner")
        << Kind::Conversations << Criteria().account(QString(), "me@jabber.org") << QString();
    // A phrase is looked for in every SMS body: there is no index to narrow it.
    QTest::newRow("SMS, phrase") << Kind::Sms << Criteria().text({"kota mie"}, 2) << "SMS_Message";
    Criteria sender;
    sender.ownerUid = QStringLiteral("+48600000001");
    QTest::newRow("SMS, sender") << Kind::Sms << sender << QString();
}

void tst_VellArchiveSearchQuery::planUsesIndexes()
{
    QFETCH(Kind, kind);
    QFETCH(Criteria, criteria);
    QFETCH(QString, scanned);
    const bool sms = kind == Kind::Sms;
    QVERIFY(m_probe->exec(sms ? QStringLiteral("PRAGMA case_sensitive_like = 0")
                              : QStringLiteral("PRAGMA case_sensitive_like = 1")));
    const QString query = sms ? VellArchiveSearchQuery::textMessages(criteria)
                              : VellArchiveSearchQuery::conversations(criteria);
    // Rows are "id|parent|notused|detail".
    const QStringList plan = m_probe->rows(QStringLiteral("EXPLAIN QUERY PLAN ") + query);
    const QString shown = plan.join(QLatin1Char('\n')) + QLatin1Char('\n') + query;
    QStringList scans;
    for (const QString &row : plan) {
        const QString detail = row.section(QLatin1Char('|'), 3);
        QVERIFY2(!detail.startsWith(QLatin1String("<error")), qPrintable(shown));
        if (detail.startsWith(QLatin1String("SCAN "))) {
            scans.append(detail.section(QLatin1Char(' '), 1, 1));
        }
    }
    scans.removeDuplicates();
    QCOMPARE(scans.join(QLatin1Char(' ')), scanned);
}

void tst_VellArchiveSearchQuery::moreTermsThanOneCompoundTakes_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("recipients"); // else words
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("withStranger"); // one more name or word that nothing holds
    QTest::addColumn<bool>("found");

    for (const Kind kind : {Kind::Conversations, Kind::Sms}) {
        const char *prefix = kind == Kind::Sms ? "SMS" : "conversations";
        QTest::addRow("%s, all of 2000 recipients", prefix) << kind << true << 1 << false << true;
        QTest::addRow("%s, all of 2000 recipients and a stranger", prefix)
            << kind << true << 1 << true << false;
        QTest::addRow("%s, any of 2000 recipients", prefix) << kind << true << 0 << true << true;
        QTest::addRow("%s, all of 1200 words", prefix) << kind << false << 1 << false << true;
        QTest::addRow("%s, all of 1200 words and a stranger", prefix)
            << kind << false << 1 << true << false;
        QTest::addRow("%s, any of 1200 words", prefix) << kind << false << 0 << true << true;
        QTest::addRow("%s, all of 1200 phrases", prefix) << kind << false << 2 << false << true;
        QTest::addRow("%s, any of 1200 word parts", prefix) << kind << false << 3 << true << true;
        QTest::addRow("%s, all of 1200 word parts", prefix) << kind << false << 4 << false << true;
        QTest::addRow("%s, all of 1200 word parts and a stranger", prefix)
            << kind << false << 4 << true << false;
    }
}

void tst_VellArchiveSearchQuery::moreTermsThanOneCompoundTakes()
{
    // SQLite takes at most 500 terms in one compound SELECT and refuses the
    // whole statement beyond: a search would find nothing at all.
    QFETCH(Kind, kind);
    QFETCH(bool, recipients);
    QFETCH(int, mode);
    QFETCH(bool, withStranger);
    QFETCH(bool, found);

    ArchiveFixture archive;
    QVERIFY(archive.open());
    QStringList names;
    for (int i = 0; i < 2000; ++i) {
        names.append(QStringLiteral("member%1").arg(i));
    }
    QStringList words;
    for (int i = 0; i < 1200; ++i) {
        words.append(QStringLiteral("word%1x").arg(i));
    }
    const QString text = words.join(QLatin1Char(' '));
    const QDateTime time(QDate(2009, 3, 1), QTime(10, 0));
    int id = 0;
    if (kind == Kind::Sms) {
        id = archive.module->addSMS(QStringLiteral("+48600000001"), names, text, time);
    } else {
        id = archive.module->startConversation(VellArchiveBackendConversation::GroupChat, names,
            QStringLiteral("me"), QStringLiteral("jabber"), QString());
        archive.module->addEntry(id, QStringLiteral("me"), text, time, QString(),
            VellArchiveBackendConversationEntry::Message);
        archive.module->finishConversation(id);
    }
    QVERIFY(id > 0);

    Criteria criteria;
    QStringList terms = recipients ? names : words;
    if (withStranger) {
        terms.append(QStringLiteral("stranger"));
    }
    if (recipients) {
        criteria.to(terms, mode);
    } else {
        criteria.text(terms, mode);
    }
    const QList<int> expected = found ? QList<int> {id} : QList<int> {};
    QList<int> ids;
    if (kind == Kind::Sms) {
        for (const VellArchiveBackendSMS &message :
            archive.module->searchForTextMessages(criteria, false)) {
            ids.append(message.getId());
        }
    } else {
        for (const VellArchiveBackendConversation &conversation :
            archive.module->searchForConversations(criteria, false)) {
            ids.append(conversation.getId());
        }
    }
    QCOMPARE(ids, expected);
}

QTEST_GUILESS_MAIN(tst_VellArchiveSearchQuery)
#include "tst_vellarchivesearchquery.moc"
