// Search and bulk removal latency of libmsgvault on a large archive, beside
// SQLite FTS5 tables over the same texts (a trigram table for word parts).
//
//   bench-archive-search [MESSAGES [SMS [ARCHIVE]]]
//
// Defaults: 1,000,000 messages (ten per conversation) and 100,000 SMS. The
// archive is filled once with raw SQLite in large transactions, in exactly
// the rows the module writes (its recording rate is measured by
// bench-archive-record); the FTS5 tables go into ARCHIVE + ".fts". Given an
// ARCHIVE path, both files are kept and reused by the next run of the same
// size; without one they live in a temporary folder. Bulk removals change the
// files: a kept archive loses a few thousand conversations and some hundred
// SMS per run.
//
// Each question is asked in several rounds, each round taking in turn the
// whole module operation (reading the conversations included), the ID query
// that it runs, the query builders' ID query for the same criteria (both on a
// connection of the database module) and the FTS5 query; medians are printed,
// and the ID query's ratios to FTS5 and to the builders' query taken within
// each round. Both ID queries must give the same IDs. FTS5 runs in the
// module's journal mode and synchronous level (WAL, NORMAL), so removals
// compare at equal durability. The query plan of each ID query follows.

#include "Interleaved.h"
#include "PseudoWords.h"
#include "VellArchiveModule.h"
#include "VellArchiveSearchQuery.h"
#include "VellDBConnection.h"
#include "VellDBModule.h"
#include "VellDBResult.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

using VellArchive::VellArchiveModule;

namespace {

constexpr int MessagesPerConversation = 10;
constexpr int Contacts = 3000;
constexpr int SmsSenders = 1000;
constexpr int Repeats = 9;
const QStringList Accounts {"me@jabber.org", "1234567", "me@gg"};
const QStringList Protocols {"jabber", "icq", "gg"};
const QDateTime Epoch(QDate(2005, 1, 1), QTime(8, 0));

// --- Raw SQLite ------------------------------------------------------------------

class Database
{
public:
    explicit Database(const QString &path)
    {
        if (sqlite3_open(path.toUtf8().constData(), &m_db) != SQLITE_OK) {
            std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
            std::exit(1);
        }
    }
    ~Database() { sqlite3_close_v2(m_db); }
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    void exec(const QString &sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::fprintf(stderr, "%s\n  in %s\n", error, qPrintable(sql.left(200)));
            std::exit(1);
        }
    }
    // Column 0 of every row.
    QStringList column(const QString &sql)
    {
        QStringList values;
        sqlite3_stmt *statement = prepare(sql);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            values << QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
        return values;
    }
    QStringList plan(const QString &sql)
    {
        QStringList lines;
        sqlite3_stmt *statement = prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            lines << QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(statement, 3)));
        }
        sqlite3_finalize(statement);
        return lines;
    }
    sqlite3_stmt *prepare(const QString &sql)
    {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &statement, nullptr)
            != SQLITE_OK) {
            std::fprintf(stderr, "%s\n  in %s\n", sqlite3_errmsg(m_db), qPrintable(sql.left(200)));
            std::exit(1);
        }
        return statement;
    }

private:
    sqlite3 *m_db = nullptr;
};

// One prepared INSERT, bound and stepped per row.
class Insert
{
public:
    Insert(Database &db, const char *sql)
        : m_statement(db.prepare(QLatin1String(sql)))
    { }
    ~Insert() { sqlite3_finalize(m_statement); }
    Insert &operator<<(qint64 value)
    {
        sqlite3_bind_int64(m_statement, ++m_column, value);
        return *this;
    }
    Insert &operator<<(const QString &value)
    {
        const QByteArray utf8 = value.toUtf8();
        sqlite3_bind_text(m_statement, ++m_column, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
        return *this;
    }
    void run()
    {
        if (sqlite3_step(m_statement) != SQLITE_DONE) {
            std::fprintf(
                stderr, "insert failed: %s\n", sqlite3_errmsg(sqlite3_db_handle(m_statement)));
            std::exit(1);
        }
        sqlite3_reset(m_statement);
        m_column = 0;
    }

private:
    sqlite3_stmt *m_statement;
    int m_column = 0;
};

// --- Workload ----------------------------------------------------------------------

// A Zipf-distributed vocabulary of made-up words, so that word ranks give
// known frequencies: rank 20,000 is rare (a few dozen messages per million),
// rank 1,000 medium, rank 10 in almost every tenth message.
class Vocabulary
{
public:
    Vocabulary()
        : m_random(20090301)
    {
        static const char *const onsets[] = {"b", "d", "g", "k", "l", "m", "n", "p", "r", "s", "t",
            "w", "z", "st", "pr", "kr", "sz", "ch", "f", "h"};
        static const char *const vowels[] = {"a", "e", "i", "o", "u", "y", "ie", "ou", "ai"};
        m_words = pseudoWords(m_random, 50000, 2, 4, onsets, vowels);
        m_pick = zipfPick(m_words.size());
    }

    QString word(int rank) const { return m_words.at(rank); }

    // Chat-like text of 6 to 14 words with short words and punctuation.
    QString text()
    {
        static const char *const shortWords[] = {"a", "i", "to", "is", "ok", "no", "so"};
        static const char *const endings[] = {".", "!", "?", "...", " :)", ""};
        const int length = 6 + int(m_random() % 9);
        QString text;
        for (int i = 0; i < length; ++i) {
            if (i > 0) {
                text += m_random() % 9 == 0 ? QStringLiteral(", ") : QStringLiteral(" ");
            }
            text += m_random() % 6 == 0 ? QString(QLatin1String(shortWords[m_random() % 7]))
                                        : m_words.at(m_pick(m_random));
        }
        return text + QLatin1String(endings[m_random() % 6]);
    }

    unsigned next() { return m_random(); }

private:
    std::mt19937 m_random;
    QStringList m_words;
    std::discrete_distribution<int> m_pick;
};

// What the benchmark asks for; fixed by the vocabulary.
struct Questions
{
    explicit Questions(const Vocabulary &words)
        : rare(words.word(20000))
        , medium(words.word(1000))
        , allFirst(words.word(300))
        , allSecond(words.word(700))
        , phrase(words.word(800) + QLatin1Char(' ') + words.word(1200))
        , commonPart(words.word(15000).mid(1, 3))
        , rarePart(rare.mid(2, 5))
    { }
    QString rare, medium, allFirst, allSecond, phrase, commonPart, rarePart;
};

QString timeText(const QDateTime &time)
{
    return time.toString(Qt::ISODate);
}

QString contactUid(int contact)
{
    return QStringLiteral("friend%1@example.org").arg(contact);
}

QDateTime conversationStart(int conversation)
{
    return Epoch.addSecs(qint64(conversation) * 300); // one every five minutes
}

// Fills the archive (schema made by the module, big indexes rebuilt after the
// load) and the FTS5 file.
void build(const QString &archivePath, const QString &ftsPath, int messages, int smsCount,
    const Questions &questions, Vocabulary &words)
{
    QElapsedTimer timer;
    timer.start();
    {
        VellArchiveModule schema(archivePath);
    }
    QFile::remove(ftsPath);
    Database db(archivePath);
    db.exec(QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; "
                           "PRAGMA cache_size = -1000000"));
    for (const char *index : {"MessagesIndex", "UserToChatIndex1", "UserToChatIndex2",
             "WordToMessageIndex1", "WordToMessageIndex2", "WordToSMSIndex1", "WordToSMSIndex2",
             "SMSId", "SMSName", "SMSTime", "SMSSender"}) {
        db.exec(QStringLiteral("DROP INDEX IF EXISTS ") + QLatin1String(index));
    }
    db.exec(QStringLiteral("ATTACH '%1' AS fts").arg(ftsPath));
    db.exec(QStringLiteral(
        "PRAGMA fts.journal_mode = OFF; PRAGMA fts.synchronous = OFF;"
        "CREATE VIRTUAL TABLE fts.MessageText USING fts5(Text, Chat_ID UNINDEXED);"
        "CREATE VIRTUAL TABLE fts.MessageTrigram USING fts5(Text, Chat_ID UNINDEXED, "
        "tokenize = 'trigram');"
        "CREATE VIRTUAL TABLE fts.SmsText USING fts5(Body);"
        "CREATE VIRTUAL TABLE fts.SmsTrigram USING fts5(Body, tokenize = 'trigram')"));
    db.exec(QStringLiteral("BEGIN"));

    Insert user(
        db, "INSERT INTO Users(ID, UID, Protocol, Owner_ID, Properties) VALUES(?, ?, ?, ?, '')");
    for (int a = 0; a < Accounts.size(); ++a) {
        user << a + 1 << Accounts.at(a) << Protocols.at(a) << 0;
        user.run();
    }
    // Contact c belongs to account c % 3 and has the Users ID 4 + c.
    for (int c = 0; c < Contacts; ++c) {
        user << 4 + c << contactUid(c) << Protocols.at(c % 3) << 1 + c % 3;
        user.run();
    }

    QHash<QString, int> dictionary;
    auto wordId = [&](const QString &word, Insert &insertWord) {
        int &id = dictionary[word];
        if (id == 0) {
            id = dictionary.size();
            insertWord << id << word;
            insertWord.run();
        }
        return id;
    };
    Insert word(db, "INSERT INTO Words(ID, Word) VALUES(?, ?)");
    Insert chat(
        db, "INSERT INTO Chats(ID, Time, Type, Owner_ID, Properties) VALUES(?, ?, ?, ?, '')");
    Insert link(db, "INSERT INTO UserToChat(User_ID, Chat_ID) VALUES(?, ?)");
    Insert message(db,
        "INSERT INTO Messages(ID, Text, Time, User_ID, Chat_ID, Type, Properties) "
        "VALUES(?, ?, ?, ?, ?, 0, '')");
    Insert wordLink(db, "INSERT INTO WordToMessage(Word_ID, Message_ID) VALUES(?, ?)");
    Insert text(db, "INSERT INTO fts.MessageText(rowid, Text, Chat_ID) VALUES(?, ?, ?)");
    Insert trigram(db, "INSERT INTO fts.MessageTrigram(rowid, Text, Chat_ID) VALUES(?, ?, ?)");

    const int conversations = std::max(1, messages / MessagesPerConversation);
    int messageId = 0;
    for (int k = 0; k < conversations; ++k) {
        const int chatId = k + 1;
        const int contact = int(words.next() % Contacts);
        const int account = contact % 3;
        QList<int> members {4 + contact};
        if (words.next() % 5 == 0) { // a group: one or two more of the account's contacts
            const int more = 1 + int(words.next() % 2);
            for (int m = 0; m < more; ++m) {
                const int other = int(words.next() % (Contacts / 3)) * 3 + account;
                if (!members.contains(4 + other)) {
                    members << 4 + other;
                }
            }
        }
        const QDateTime start = conversationStart(k);
        chat << chatId << timeText(start) << (members.size() > 1 ? 1 : 0) << account + 1;
        chat.run();
        for (const int member : qAsConst(members)) {
            link << member << chatId;
            link.run();
        }
        for (int m = 0; m < MessagesPerConversation && messageId < messages; ++m) {
            ++messageId;
            QString body = words.text();
            if (messageId % 5000 == 0) {
                body += QLatin1Char(' ') + questions.phrase;
            }
            const int sender = m % 2 ? members.at(m / 2 % members.size()) : account + 1;
            message << messageId << body << timeText(start.addSecs(m * 20)) << sender << chatId;
            message.run();
            const QStringList parts = VellArchiveModule::splitMessage(body);
            for (const QString &w : QSet<QString>(parts.cbegin(), parts.cend())) {
                wordLink << wordId(w, word) << messageId;
                wordLink.run();
            }
            text << messageId << body << chatId;
            text.run();
            trigram << messageId << body << chatId;
            trigram.run();
        }
    }

    Insert sms(db, "INSERT INTO SMS(ID, Time, Sender) VALUES (?, ?, ?)");
    Insert smsRecipient(db, "INSERT INTO SMS_Recipient(ID, SMS_ID, Name) VALUES (NULL, ?, ?)");
    Insert smsBody(db, "INSERT INTO SMS_Message(ID, SMS_ID, Body) VALUES (NULL, ?, ?)");
    Insert smsWord(db, "INSERT INTO WordToSMS(Word_ID, SMS_ID) VALUES(?, ?)");
    Insert smsText(db, "INSERT INTO fts.SmsText(rowid, Body) VALUES(?, ?)");
    Insert smsTrigram(db, "INSERT INTO fts.SmsTrigram(rowid, Body) VALUES(?, ?)");
    for (int id = 1; id <= smsCount; ++id) {
        const QString body = words.text();
        sms << id << timeText(Epoch.addSecs(qint64(id) * 600))
            << QStringLiteral("+48600%1").arg(id % SmsSenders, 6, 10, QLatin1Char('0'));
        sms.run();
        const int recipients = 1 + int(words.next() % 2);
        for (int r = 0; r < recipients; ++r) {
            smsRecipient
                << id
                << QStringLiteral("+48500%1").arg(words.next() % 5000, 6, 10, QLatin1Char('0'));
            smsRecipient.run();
        }
        smsBody << id << body;
        smsBody.run();
        const QStringList parts = VellArchiveModule::splitMessage(body);
        for (const QString &w : QSet<QString>(parts.cbegin(), parts.cend())) {
            smsWord << wordId(w, word) << id;
            smsWord.run();
        }
        smsText << id << body;
        smsText.run();
        smsTrigram << id << body;
        smsTrigram.run();
    }
    db.exec(QStringLiteral("COMMIT"));
    std::printf("filled %d conversations, %d messages, %d words, %d SMS in %.1f s\n", conversations,
        messageId, int(dictionary.size()), smsCount, timer.elapsed() / 1000.0);
}

// --- Measuring ------------------------------------------------------------------------

struct Row
{
    QString mode;
    double module = 0; // whole operation
    double idQuery = 0; // the ID query the operation runs
    double moduleCpu = 0; // CPU time of the whole operation
    double idQueryCpu = 0;
    double builders = 0; // the query builders' ID query for the same criteria
    double fts = 0;
    double toFts = 0; // median ratio of idQuery to fts within a round
    double toBuilders = 0; // median ratio of idQuery to builders within a round
    int found = 0;
    bool sameIds = true; // the two ID queries gave the same IDs
    QString plan;
};

void printHeading(const char *kind)
{
    std::printf("%-34s %7s %10s %10s %10s %10s %10s %10s %8s %8s\n", kind, "found", "operation",
        "(CPU)", "ID query", "(CPU)", "builders'", "FTS5", "/FTS5", "/builders");
}

void printRow(const Row &row)
{
    const bool wordPart = row.mode.contains(QLatin1String("word part"));
    const bool missed = (wordPart && (row.idQuery > 50 || row.module > 50)) || !row.sameIds;
    const auto cell = [](double value) {
        return value > 0 ? QString::number(value, 'f', 3) : QStringLiteral("-");
    };
    std::printf("%-34s %7d %10s %10s %10s %10s %10s %10s %8s %8s%s\n", qPrintable(row.mode),
        row.found, qPrintable(cell(row.module)), qPrintable(cell(row.moduleCpu)),
        qPrintable(cell(row.idQuery)), qPrintable(cell(row.idQueryCpu)),
        qPrintable(cell(row.builders)), qPrintable(cell(row.fts)),
        qPrintable(row.fts > 0 ? QString::number(row.toFts, 'f', 2) : QStringLiteral("-")),
        qPrintable(
            row.builders > 0 ? QString::number(row.toBuilders, 'f', 3) : QStringLiteral("-")),
        !row.sameIds ? "  <- other IDs than the builders'"
            : missed ? "  <- misses 50 ms"
                     : "");
}

int countRows(Database &db, const QString &sql)
{
    sqlite3_stmt *statement = db.prepare(sql);
    int rows = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        ++rows;
    }
    sqlite3_finalize(statement);
    return rows;
}

// The operation, the ID query it runs and the builders' ID query on
// @p connection, and the FTS5 query when there is one, in turn, round after
// round; fills the medians and the ratios within a round into @p row. An
// empty @p buildersQuery leaves the builders' query out.
void measure(Row &row, const std::function<void()> &operation,
    VellDatabase::VellDBConnection *connection, const QString &idQuery,
    const QString &buildersQuery, Database &fts, const QString &ftsQuery)
{
    std::vector<double> moduleCpu, idQueryCpu;
    std::vector<std::function<double()>> variants {
        [&] { return timedMs(operation, &moduleCpu); },
        [&] { return timedMs([&] { delete connection->query(idQuery); }, &idQueryCpu); },
    };
    const std::size_t builders = buildersQuery.isEmpty() ? 0 : variants.size();
    if (builders) {
        variants.push_back(
            [&] { return timedMs([&] { delete connection->query(buildersQuery); }); });
    }
    const std::size_t withFts = ftsQuery.isEmpty() ? 0 : variants.size();
    if (withFts) {
        variants.push_back([&] { return timedMs([&] { countRows(fts, ftsQuery); }); });
    }
    const Rounds rounds(variants, Repeats);
    row.module = rounds.medianOf(0);
    row.moduleCpu = median(moduleCpu);
    row.idQuery = rounds.medianOf(1);
    row.idQueryCpu = median(idQueryCpu);
    if (builders) {
        row.builders = rounds.medianOf(builders);
        row.toBuilders = rounds.medianRatio(1, builders);
    }
    if (withFts) {
        row.fts = rounds.medianOf(withFts);
        row.toFts = rounds.medianRatio(1, withFts);
    }
}

// The IDs that @p sql answers, in order.
QStringList ids(VellDatabase::VellDBConnection *connection, const QString &sql)
{
    QStringList values;
    const std::unique_ptr<VellDatabase::VellDBResult> result(connection->query(sql));
    for (int row = 0; result && row < result->rowCount(); ++row) {
        values.append(result->value(row, 0));
    }
    return values;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int messages = args.size() > 1 ? args.at(1).toInt() : 1000000;
    const int smsCount = args.size() > 2 ? args.at(2).toInt() : 100000;
    if (messages < MessagesPerConversation * 100 || smsCount < 1000) {
        std::fprintf(stderr,
            "usage: bench-archive-search [MESSAGES >= 1000 [SMS >= 1000 [ARCHIVE [searches]]]]\n");
        return 2;
    }
    QTemporaryDir temporary;
    const QString archivePath
        = args.size() > 3 ? args.at(3) : temporary.filePath(QStringLiteral("archive.db"));
    // "searches": only the searches, without the builders' queries and the
    // removals, for quick runs that compare builds on a kept archive.
    const bool searchesOnly = args.size() > 4 && args.at(4) == QLatin1String("searches");
    const QString ftsPath = archivePath + QStringLiteral(".fts");
    const QString sizeMark = archivePath + QStringLiteral(".size");

    Vocabulary words;
    const Questions questions(words);
    const QString size = QStringLiteral("%1 %2").arg(messages).arg(smsCount);
    QFile mark(sizeMark);
    const bool reuse = QFileInfo::exists(archivePath) && QFileInfo::exists(ftsPath)
        && mark.open(QIODevice::ReadOnly) && QString::fromLatin1(mark.readAll()) == size;
    mark.close();
    if (!reuse) {
        QFile::remove(archivePath);
        build(archivePath, ftsPath, messages, smsCount, questions, words);
        if (mark.open(QIODevice::WriteOnly)) {
            mark.write(size.toLatin1());
            mark.close();
        }
    }

    QElapsedTimer opening;
    opening.start();
    VellArchiveModule module(archivePath); // recreates the indexes dropped for the load
    std::printf("module opened in %.1f s\n", opening.elapsed() / 1000.0);
    std::unique_ptr<VellDatabase::VellDBConnection> connection(
        VellDatabase::VellDBModule::getDBConnection(archivePath, false));
    Database raw(archivePath);
    Database fts(ftsPath);
    // The same page cache (SQLite's default), journal mode and synchronous
    // level as the module.
    fts.exec(QStringLiteral("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL"));

    const int conversations = messages / MessagesPerConversation;
    std::printf("\n%d messages in %d conversations, %d SMS; median of %d runs, ms\n", messages,
        conversations, smsCount, Repeats);
    std::printf("rare word %s, medium %s, pair %s + %s, phrase \"%s\", parts \"%s\" and "
                "\"%s\"\n\n",
        qPrintable(questions.rare), qPrintable(questions.medium), qPrintable(questions.allFirst),
        qPrintable(questions.allSecond), qPrintable(questions.phrase),
        qPrintable(questions.commonPart), qPrintable(questions.rarePart));
    std::printf("operation: the module's search; ID query: the one it runs; builders': the query "
                "builders' ID query\nfor the same criteria; the ratios are those of the ID query "
                "within one round (all columns taken in turn)\n\n");
    printHeading("conversations");

    using Criteria = VellArchiveBackendSearchCriteria;
    auto word = [](const QStringList &texts, int mode) {
        Criteria criteria;
        criteria.texts = texts;
        criteria.textMode = mode;
        return criteria;
    };
    auto chatsFts = [](const QString &table, const QString &match) {
        return QStringLiteral("SELECT DISTINCT Chat_ID FROM %1 WHERE %1 MATCH '%2'")
            .arg(table, match);
    };
    Criteria byRecipient;
    byRecipient.recipients = QStringList {contactUid(17)};
    Criteria byTime;
    byTime.timeFrom = conversationStart(conversations / 2);
    byTime.timeTo = byTime.timeFrom.addDays(1);
    const QString quotedPhrase = QLatin1Char('"') + questions.phrase + QLatin1Char('"');

    struct Question
    {
        const char *mode;
        Criteria criteria;
        QString ftsQuery; // empty: FTS5 has no part in it
        bool withEntries = false; // the conversations are read with their entries
    };
    const QList<Question> chatQuestions {
        {"whole word, rare", word({questions.rare}, 0), chatsFts("MessageText", questions.rare)},
        {"whole word, medium", word({questions.medium}, 0),
            chatsFts("MessageText", questions.medium)},
        {"word part, 3 letters (trigram)", word({questions.commonPart}, 3),
            chatsFts("MessageTrigram", QLatin1Char('"') + questions.commonPart + QLatin1Char('"'))},
        {"word part, 5 letters (trigram)", word({questions.rarePart}, 3),
            chatsFts("MessageTrigram", QLatin1Char('"') + questions.rarePart + QLatin1Char('"'))},
        {"word part, 5 letters, with entries", word({questions.rarePart}, 3),
            chatsFts("MessageTrigram", QLatin1Char('"') + questions.rarePart + QLatin1Char('"')),
            true},
        {"any of two words", word({questions.allFirst, questions.allSecond}, 0),
            chatsFts(
                "MessageText", questions.allFirst + QLatin1String(" OR ") + questions.allSecond)},
        {"all of two words", word({questions.allFirst, questions.allSecond}, 1),
            chatsFts("MessageText", questions.allFirst) + QStringLiteral(" INTERSECT ")
                + chatsFts("MessageText", questions.allSecond)},
        {"all of two word parts", word({questions.commonPart, questions.rarePart}, 4),
            chatsFts("MessageTrigram", QLatin1Char('"') + questions.commonPart + QLatin1Char('"'))
                + QStringLiteral(" INTERSECT ")
                + chatsFts(
                    "MessageTrigram", QLatin1Char('"') + questions.rarePart + QLatin1Char('"'))},
        {"phrase", word({questions.phrase}, 2), chatsFts("MessageText", quotedPhrase)},
        {"recipient", byRecipient, QString()},
        {"time range, one day", byTime, QString()},
    };
    QList<Row> plans;
    for (const Question &question : chatQuestions) {
        Row row;
        row.mode = QLatin1String(question.mode);
        const QString idQuery
            = VellArchive::VellArchiveSearchQuery::conversations(question.criteria);
        const QString buildersQuery = searchesOnly
            ? QString()
            : VellArchiveModule::createQuerySearchChats(question.criteria);
        connection->exec(QStringLiteral("PRAGMA case_sensitive_like = 1"));
        row.sameIds = searchesOnly
            || ids(connection.get(), idQuery) == ids(connection.get(), buildersQuery);
        connection->exec(QStringLiteral("PRAGMA case_sensitive_like = 0"));
        measure(
            row,
            [&] {
                row.found
                    = module.searchForConversations(question.criteria, question.withEntries).size();
                // The search leaves LIKE case-insensitive: the ID queries
                // alone run as the search runs them.
                connection->exec(QStringLiteral("PRAGMA case_sensitive_like = 1"));
            },
            connection.get(), idQuery, buildersQuery, fts, question.ftsQuery);
        connection->exec(QStringLiteral("PRAGMA case_sensitive_like = 0"));
        printRow(row);
        raw.exec(QStringLiteral("PRAGMA case_sensitive_like = 1"));
        row.plan = raw.plan(idQuery).join(QStringLiteral("\n      "));
        raw.exec(QStringLiteral("PRAGMA case_sensitive_like = 0"));
        plans << row;
    }

    std::printf("\n");
    printHeading("SMS");
    Criteria bySender;
    bySender.ownerUid = QStringLiteral("+48600000017");
    Criteria bySmsRecipient;
    bySmsRecipient.recipients = QStringList {QStringLiteral("+48500000017")};
    Criteria bySmsTime;
    bySmsTime.timeFrom = Epoch.addSecs(qint64(smsCount / 2) * 600);
    bySmsTime.timeTo = bySmsTime.timeFrom.addDays(1);
    const auto smsFts = [](const QString &table, const QString &match) {
        return QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH '%2'").arg(table, match);
    };
    const auto quoted
        = [](const QString &text) -> QString { return QLatin1Char('"') + text + QLatin1Char('"'); };
    const QList<Question> smsQuestions {
        {"whole word, rare", word({questions.rare}, 0), smsFts("SmsText", questions.rare)},
        {"word part, 3 letters (trigram)", word({questions.commonPart}, 3),
            smsFts("SmsTrigram", quoted(questions.commonPart))},
        {"word part, 5 letters (trigram)", word({questions.rarePart}, 3),
            smsFts("SmsTrigram", quoted(questions.rarePart))},
        {"all of two words", word({questions.allFirst, questions.allSecond}, 1),
            smsFts("SmsText", questions.allFirst + QLatin1Char(' ') + questions.allSecond)},
        {"all of two word parts", word({questions.commonPart, questions.rarePart}, 4),
            smsFts("SmsTrigram",
                quoted(questions.commonPart) + QLatin1Char(' ') + quoted(questions.rarePart))},
        {"phrase", word({questions.phrase}, 2), smsFts("SmsText", quotedPhrase)},
        {"sender", bySender, QString()},
        {"recipient", bySmsRecipient, QString()},
        {"time range, one day", bySmsTime, QString()},
    };
    for (const Question &question : smsQuestions) {
        Row row;
        row.mode = QLatin1String(question.mode);
        const QString idQuery
            = VellArchive::VellArchiveSearchQuery::textMessages(question.criteria);
        const QString buildersQuery
            = searchesOnly ? QString() : VellArchiveModule::createQuerySearchSMS(question.criteria);
        row.sameIds = searchesOnly
            || ids(connection.get(), idQuery) == ids(connection.get(), buildersQuery);
        measure(
            row, [&] { row.found = module.searchForTextMessages(question.criteria, true).size(); },
            connection.get(), idQuery, buildersQuery, fts, question.ftsQuery);
        printRow(row);
        row.mode = QStringLiteral("SMS ") + row.mode;
        row.plan = raw.plan(idQuery).join(QStringLiteral("\n      "));
        plans << row;
    }

    if (searchesOnly) {
        return 0; // the removals change the archive
    }

    // Bulk removal: each run removes other conversations (one contact's, or
    // one day's); FTS5 deletes the same messages from both of its tables in
    // one transaction. Module and FTS5 take turns, one pair per run. Both
    // copy their write-ahead logs into the database now and then, each at its
    // own pace: the runs that do stand out in the ratios per pair, and the
    // ratio of the sums over all runs counts them in.
    std::printf("\n%-34s %7s %11s %11s %7s %7s   %s\n", "bulk removal", "rows", "operation", "FTS5",
        "ratio", "of sums", "ratio per pair");
    constexpr int RemovalRuns = 5;
    auto printRemoval = [](const char *mode, int rows, const Interleaved &pairs) {
        QStringList perPair;
        for (const double ratio : pairs.ratios) {
            perPair << QString::number(ratio, 'f', 2);
        }
        const double sumA = std::accumulate(pairs.a.begin(), pairs.a.end(), 0.0);
        const double sumB = std::accumulate(pairs.b.begin(), pairs.b.end(), 0.0);
        std::printf("%-34s %7d %11.3f %11.3f %7.2f %7.2f   %s\n", mode, rows, pairs.medianA(),
            pairs.medianB(), pairs.medianRatio(), sumB > 0 ? sumA / sumB : 0.0,
            qPrintable(perPair.join(QLatin1Char(' '))));
    };
    auto removal = [&](const char *mode, const std::function<Criteria()> &nextCriteria) {
        int removed = 0;
        QString list;
        Criteria criteria;
        const Interleaved pairs(
            [&] {
                criteria = nextCriteria();
                raw.exec(QStringLiteral("PRAGMA case_sensitive_like = 1"));
                const QStringList ids
                    = raw.column(QStringLiteral("SELECT ID FROM Messages WHERE Chat_ID IN (%1)")
                                     .arg(VellArchiveModule::createQuerySearchChats(criteria)));
                raw.exec(QStringLiteral("PRAGMA case_sensitive_like = 0"));
                removed += ids.size();
                list = ids.join(QLatin1Char(','));
                return timedMs([&] { module.removeConversations(criteria); });
            },
            [&] {
                return timedMs([&] {
                    fts.exec(
                        QStringLiteral("BEGIN; DELETE FROM MessageText WHERE rowid IN (%1); "
                                       "DELETE FROM MessageTrigram WHERE rowid IN (%1); COMMIT")
                            .arg(list));
                });
            },
            RemovalRuns);
        printRemoval(mode, removed / RemovalRuns, pairs);
    };
    // The victims are looked up in what is left, so a kept archive still has
    // something to remove in its next run.
    removal("one contact's conversations", [&] {
        Criteria criteria;
        criteria.recipients = raw.column(
            QStringLiteral("SELECT UID FROM Users WHERE Owner_ID > 0 AND ID IN (SELECT User_ID "
                           "FROM UserToChat) ORDER BY ID LIMIT 1 OFFSET 100"));
        return criteria;
    });
    removal("one day's conversations", [&] {
        Criteria criteria;
        criteria.timeFrom = QDateTime::fromString(
            raw.column(QStringLiteral("SELECT min(Time) FROM Chats WHERE Time >= '%1'")
                           .arg(timeText(conversationStart(conversations / 4))))
                .value(0),
            Qt::ISODate);
        criteria.timeTo = criteria.timeFrom.addDays(1);
        return criteria;
    });
    {
        int removed = 0;
        QString list;
        const Interleaved pairs(
            [&] {
                Criteria criteria;
                criteria.ownerUid = raw.column(QStringLiteral("SELECT Sender FROM SMS WHERE ID >= "
                                                              "%1 ORDER BY ID LIMIT 1")
                                                   .arg(smsCount / 2))
                                        .value(0);
                const QStringList ids
                    = raw.column(VellArchiveModule::createQuerySearchSMS(criteria));
                removed += ids.size();
                list = ids.join(QLatin1Char(','));
                return timedMs([&] { module.removeSMS(criteria); });
            },
            [&] {
                return timedMs([&] {
                    fts.exec(QStringLiteral("BEGIN; DELETE FROM SmsText WHERE rowid IN (%1); "
                                            "DELETE FROM SmsTrigram WHERE rowid IN (%1); COMMIT")
                                 .arg(list));
                });
            },
            RemovalRuns);
        printRemoval("one sender's SMS", removed / RemovalRuns, pairs);
    }

    std::printf("\nquery plans of the ID queries\n");
    for (const Row &row : qAsConst(plans)) {
        std::printf("  %s\n      %s\n", qPrintable(row.mode), qPrintable(row.plan));
    }
    return 0;
}
