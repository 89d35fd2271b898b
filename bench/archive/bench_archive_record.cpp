// Records N conversations of M messages through VellArchiveModule, and the
// same rows with raw SQLite (prepared statements with bound values, the
// physical limit of this design, and statements compiled anew from their
// text), in the same journal settings, the variants taking turns; the ratio
// module / prepared is taken per round and its median printed. Then times
// starting conversations of 1,000, 10,000 and 100,000 recipients, and opening
// an archive that holds many users.

#include "Interleaved.h"
#include "PseudoWords.h"
#include "VellArchiveModule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <random>

using VellArchive::VellArchiveModule;

namespace {

const QString Protocol = QStringLiteral("jabber");
const QString Owner = QStringLiteral("me@example.org");
constexpr int Contacts = 40;
constexpr int Repeats = 5;

struct Workload
{
    int conversations = 0;
    int messagesPerConversation = 0;
    QStringList texts; // conversations * messagesPerConversation, in recording order
    int vocabulary = 0;

    int messageCount() const { return texts.size(); }
    QString contact(int conversation) const
    {
        return QStringLiteral("friend%1@example.org").arg(conversation % Contacts);
    }
    QDateTime time(int message) const
    {
        return QDateTime(QDate(2009, 3, 1), QTime(8, 0)).addSecs(message * 7);
    }
};

// Chat-like texts of about 12 words: a Zipf-distributed vocabulary of a few
// thousand made-up words, some short words and punctuation.
Workload makeWorkload(int conversations, int messages)
{
    static const char *const onsets[] = {"b", "d", "g", "k", "l", "m", "n", "p", "r", "s", "t", "w",
        "z", "st", "pr", "kr", "sz", "ch"};
    static const char *const vowels[] = {"a", "e", "i", "o", "u", "y", "ie", "ou"};
    std::mt19937 random(20090301);
    const QStringList words = pseudoWords(random, 4000, 1, 4, onsets, vowels);
    std::discrete_distribution<int> pick = zipfPick(words.size());
    static const char *const shortWords[] = {"a", "i", "to", "is", "ok", "no"};
    static const char *const endings[] = {".", "!", "?", "...", " :)"};

    Workload workload;
    workload.conversations = conversations;
    workload.messagesPerConversation = messages;
    workload.vocabulary = words.size();
    for (int m = 0; m < conversations * messages; ++m) {
        QStringList text;
        const int length = 8 + int(random() % 9); // 8..16
        for (int w = 0; w < length; ++w) {
            QString word = random() % 8 == 0 ? QLatin1String(shortWords[random() % 6])
                                             : words.at(pick(random));
            if (w == 0) {
                word[0] = word.at(0).toUpper();
            } else if (random() % 10 == 0) {
                word += QLatin1Char(',');
            }
            text << word;
        }
        workload.texts << text.join(QLatin1Char(' ')) + QLatin1String(endings[random() % 5]);
    }
    return workload;
}

// --- the module ------------------------------------------------------------------

double recordWithModule(const Workload &work, const QString &path)
{
    VellArchiveModule archive(path);
    QElapsedTimer timer;
    timer.start();
    int message = 0;
    for (int c = 0; c < work.conversations; ++c) {
        const QString contact = work.contact(c);
        const int id = archive.startConversation(
            VellArchiveBackendConversation::Chat, {contact}, Owner, Protocol, QString());
        for (int m = 0; m < work.messagesPerConversation; ++m, ++message) {
            archive.addEntry(id, m % 2 ? Owner : contact, work.texts.at(message),
                work.time(message), QString(), VellArchiveBackendConversationEntry::Message);
        }
        archive.finishConversation(id);
    }
    return timer.nsecsElapsed() / 1e9;
}

// --- raw SQLite --------------------------------------------------------------------

// The same statements as the module sends, either prepared once with bound
// values or compiled from a text with the values written in.
class RawRecorder
{
public:
    enum Mode { Prepared, FromText };

    RawRecorder(const QString &path, Mode mode)
        : m_mode(mode)
    {
        sqlite3_open(path.toUtf8().constData(), &m_db);
        sqlite3_exec(m_db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    }
    ~RawRecorder()
    {
        for (sqlite3_stmt *statement : qAsConst(m_prepared)) {
            sqlite3_finalize(statement);
        }
        sqlite3_close(m_db);
    }

    int startConversation(const QString &contact)
    {
        run("BEGIN TRANSACTION", {});
        int owner = m_users.value(Owner);
        if (!owner) {
            owner = insertUser(Owner, 0);
        }
        run("INSERT INTO Chats(ID, Time, Type, Owner_ID, Properties) VALUES(NULL, ?, ?, ?, ?)",
            {QString(""), 0, owner, QString("")});
        const int chat = int(sqlite3_last_insert_rowid(m_db));
        int user = m_users.value(contact);
        if (!user) {
            user = insertUser(contact, owner);
        }
        run("INSERT INTO UserToChat(User_ID, Chat_ID) VALUES(?, ?)", {user, chat});
        run("COMMIT TRANSACTION", {});
        m_owner = owner;
        m_contact = user;
        m_timeSet = false;
        return chat;
    }

    void addEntry(int chat, bool fromOwner, const QString &text, const QDateTime &time)
    {
        const QString timeText = time.toString(Qt::ISODate);
        run("BEGIN TRANSACTION", {});
        run("INSERT INTO Messages(ID, Text, Time, User_ID, Chat_ID, Type, Properties) "
            "VALUES(NULL, ?, ?, ?, ?, ?, ?)",
            {text, timeText, fromOwner ? m_owner : m_contact, chat, 0, QString("")});
        const int message = int(sqlite3_last_insert_rowid(m_db));
        const QStringList parts = VellArchiveModule::splitMessage(text);
        for (const QString &word : QSet<QString>(parts.cbegin(), parts.cend())) {
            int wordId = 0;
            run("SELECT ID FROM   Words WHERE  Word = ?", {word}, &wordId);
            if (!wordId) {
                run("INSERT INTO Words(ID, Word) VALUES(NULL, ?)", {word});
                wordId = int(sqlite3_last_insert_rowid(m_db));
            }
            run("INSERT INTO WordToMessage(Word_ID, Message_ID) VALUES(?, ?)", {wordId, message});
        }
        if (!m_timeSet) {
            run("UPDATE Chats SET    Time = ? WHERE  ID   = ?", {timeText, chat});
            m_timeSet = true;
        }
        run("COMMIT TRANSACTION", {});
    }

private:
    int insertUser(const QString &uid, int owner)
    {
        run("INSERT INTO Users(ID, UID, Protocol, Owner_ID, Properties) VALUES(NULL, ?, ?, ?, ?)",
            {uid, Protocol, owner, QString("")});
        const int id = int(sqlite3_last_insert_rowid(m_db));
        m_users.insert(uid, id);
        return id;
    }

    // Runs one statement; with @p firstValue, stores column 0 of its first row.
    void run(const char *sql, const QVariantList &values, int *firstValue = nullptr)
    {
        sqlite3_stmt *statement = nullptr;
        if (m_mode == Prepared) {
            statement = m_prepared.value(sql);
            if (!statement) {
                sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
                m_prepared.insert(sql, statement);
            }
            for (int i = 0; i < values.size(); ++i) {
                if (values.at(i).type() == QVariant::Int) {
                    sqlite3_bind_int(statement, i + 1, values.at(i).toInt());
                } else {
                    const QByteArray text = values.at(i).toString().toUtf8();
                    sqlite3_bind_text(
                        statement, i + 1, text.constData(), text.size(), SQLITE_TRANSIENT);
                }
            }
        } else {
            const QByteArray text = withValues(sql, values);
            sqlite3_prepare_v2(m_db, text.constData(), text.size() + 1, &statement, nullptr);
        }
        if (sqlite3_step(statement) == SQLITE_ROW && firstValue) {
            *firstValue = sqlite3_column_int(statement, 0);
        }
        if (m_mode == Prepared) {
            sqlite3_reset(statement);
        } else {
            sqlite3_finalize(statement);
        }
    }

    static QByteArray withValues(const char *sql, const QVariantList &values)
    {
        const QStringList pieces = QString::fromLatin1(sql).split(QLatin1Char('?'));
        QString text = pieces.first();
        for (int i = 0; i < values.size(); ++i) {
            const QVariant &value = values.at(i);
            text += value.type() == QVariant::Int ? value.toString()
                                                  : QLatin1Char('\'')
                    + VellArchiveModule::maskApostrophe(value.toString()) + QLatin1Char('\'');
            text += pieces.at(i + 1);
        }
        return text.toUtf8();
    }

    Mode m_mode;
    sqlite3 *m_db = nullptr;
    QHash<const char *, sqlite3_stmt *> m_prepared;
    QHash<QString, int> m_users;
    int m_owner = 0;
    int m_contact = 0;
    bool m_timeSet = false;
};

double recordRaw(const Workload &work, const QString &path, RawRecorder::Mode mode)
{
    {
        VellArchiveModule schema(path);
    } // the same tables and indexes, nothing else
    RawRecorder raw(path, mode);
    QElapsedTimer timer;
    timer.start();
    int message = 0;
    for (int c = 0; c < work.conversations; ++c) {
        const int chat = raw.startConversation(work.contact(c));
        for (int m = 0; m < work.messagesPerConversation; ++m, ++message) {
            raw.addEntry(chat, m % 2, work.texts.at(message), work.time(message));
        }
    }
    return timer.nsecsElapsed() / 1e9;
}

// --- helpers -----------------------------------------------------------------------

struct Figure
{
    double messagesPerSecond = 0; // wall clock
    double messagesPerCpuSecond = 0; // this process's CPU time, steadier on a busy machine
    qint64 bytes = 0;
};

double cpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// Records the workload into a fresh file; its rate and the file's size.
Figure measure(const Workload &work, const std::function<double(const QString &)> &record)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.db"));
    const double cpuBefore = cpuSeconds();
    const double seconds = record(path);
    Figure figure;
    figure.messagesPerSecond = work.messageCount() / seconds;
    figure.messagesPerCpuSecond = work.messageCount() / (cpuSeconds() - cpuBefore);
    figure.bytes = QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
    return figure;
}

void keepBest(Figure *best, const Figure &figure)
{
    best->messagesPerSecond = std::max(best->messagesPerSecond, figure.messagesPerSecond);
    best->messagesPerCpuSecond = std::max(best->messagesPerCpuSecond, figure.messagesPerCpuSecond);
    best->bytes = figure.bytes;
}

// Seconds that startConversation takes for one conversation with @p count new recipients.
double timeStartingWithRecipients(int count)
{
    QTemporaryDir dir;
    VellArchiveModule archive(dir.filePath(QStringLiteral("recipients.db")));
    QStringList recipients;
    recipients.reserve(count);
    for (int r = 0; r < count; ++r) {
        recipients << QStringLiteral("member%1@example.org").arg(r);
    }
    QElapsedTimer timer;
    timer.start();
    const int id = archive.startConversation(
        VellArchiveBackendConversation::GroupChat, recipients, Owner, Protocol, QString());
    const double seconds = timer.nsecsElapsed() / 1e9;
    return id > 0 ? seconds : -1;
}

double timeOpeningWithUsers(int userCount, int rounds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("users.db"));
    {
        VellArchiveModule schema(path);
    }
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Users(ID, UID, Protocol, Owner_ID) VALUES(?, ?, ?, ?)", -1,
        &insert, nullptr);
    constexpr int Accounts = 10;
    for (int id = 1; id <= userCount; ++id) {
        const QByteArray uid = QStringLiteral("user%1@example.org").arg(id).toUtf8();
        sqlite3_bind_int(insert, 1, id);
        sqlite3_bind_text(insert, 2, uid.constData(), uid.size(), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, id % 2 ? "jabber" : "gg", -1, SQLITE_STATIC);
        sqlite3_bind_int(insert, 4, id <= Accounts ? 0 : 1 + id % Accounts);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);

    double best = 1e9;
    for (int run = 0; run < rounds; ++run) {
        QElapsedTimer timer;
        timer.start();
        VellArchiveModule archive(path);
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

int argument(const QStringList &arguments, int index, int fallback)
{
    bool ok = false;
    const int value = arguments.value(index).toInt(&ok);
    return ok && value > 0 ? value : fallback;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList numbers;
    QString only;
    for (const QString &argument : app.arguments().mid(1)) {
        if (argument.startsWith(QLatin1String("--only="))) {
            only = argument.mid(7);
        } else if (argument.startsWith(QLatin1Char('-'))) {
            std::printf(
                "usage: bench-archive-record [--only=module|prepared|text|recipients|users] "
                "[CONVERSATIONS [MESSAGES [USERS]]]\n"
                "  defaults: 100 conversations of 50 messages, 100000 users;\n"
                "  --only runs one measurement once, e.g. under a profiler\n");
            return argument == QLatin1String("-h") || argument == QLatin1String("--help") ? 0 : 2;
        } else {
            numbers << argument;
        }
    }
    const int conversations = argument(numbers, 0, 100);
    const int messages = argument(numbers, 1, 50);
    const int users = argument(numbers, 2, 100000);
    const int rounds = only.isEmpty() ? Repeats : 1;
    const Workload work = makeWorkload(conversations, messages);

    struct Variant
    {
        const char *name;
        const char *label;
        std::function<double(const QString &)> record;
        Figure best;
    };
    Variant variants[] = {
        {"module", "libmsgvault (VellArchiveModule)",
            [&](const QString &path) { return recordWithModule(work, path); }, {}},
        {"prepared", "raw SQLite, prepared statements",
            [&](const QString &path) { return recordRaw(work, path, RawRecorder::Prepared); }, {}},
        {"text", "raw SQLite, compiled from text each time",
            [&](const QString &path) { return recordRaw(work, path, RawRecorder::FromText); }, {}},
    };
    const auto selected
        = [&](const char *name) { return only.isEmpty() || only == QLatin1String(name); };

    if (only != QLatin1String("users")) {
        std::printf("Recording %d conversations x %d messages = %d messages of 8-16 words "
                    "(vocabulary %d words), WAL + synchronous=NORMAL, best of %d runs\n",
            conversations, messages, work.messageCount(), work.vocabulary, rounds);
        std::printf("  %-42s %8s %9s   %s\n", "", "msg/s", "msg/cpu-s", "database");
        // Interleaved rounds, so that every variant meets the same load of the machine.
        std::vector<double> ratios, wallRatios;
        for (int round = 0; round < rounds; ++round) {
            Figure figures[3];
            for (int v = 0; v < 3; ++v) {
                if (selected(variants[v].name)) {
                    figures[v] = measure(work, variants[v].record);
                    keepBest(&variants[v].best, figures[v]);
                }
            }
            if (only.isEmpty()) {
                ratios.push_back(figures[0].messagesPerCpuSecond / figures[1].messagesPerCpuSecond);
                wallRatios.push_back(figures[0].messagesPerSecond / figures[1].messagesPerSecond);
                std::printf("  round %d: module %.0f, prepared %.0f msg/cpu-s, ratio %.2f "
                            "(wall clock %.2f)\n",
                    round + 1, figures[0].messagesPerCpuSecond, figures[1].messagesPerCpuSecond,
                    ratios.back(), wallRatios.back());
            }
        }
        for (const Variant &variant : variants) {
            if (selected(variant.name)) {
                std::printf("  %-42s %8.0f %9.0f   %6.2f MiB\n", variant.label,
                    variant.best.messagesPerSecond, variant.best.messagesPerCpuSecond,
                    variant.best.bytes / 1048576.0);
            }
        }
        if (only.isEmpty()) {
            std::printf("  %-42s %8.2f %9.2f   (target >= 0.80)\n",
                "ratio module / prepared, median per round", median(wallRatios), median(ratios));
        }
    }
    if (selected("recipients")) {
        std::printf("Starting one conversation with n new recipients (startConversation):\n");
        for (const int count : {1000, 10000, 100000}) {
            const double seconds = timeStartingWithRecipients(count);
            std::printf("  %7d recipients: %8.3f s, %6.2f us per recipient%s\n", count, seconds,
                seconds * 1e6 / count, count == 100000 ? "   (target < 2 s)" : "");
        }
    }
    if (selected("users")) {
        std::printf("Opening an archive of %d users (VellArchiveModule constructor): %.1f ms, "
                    "best of %d\n",
            users, timeOpeningWithUsers(users, rounds), rounds);
    }
    return 0;
}
