#include "GeneratedArchive.h"

#include "SqliteProbe.h"
#include "VellArchiveModule.h"

#include <QHash>
#include <QSet>

#include <random>
#include <vector>

using VellArchive::VellArchiveModule;

namespace {

constexpr int MessagesPerConversation = 5;

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + VellArchiveModule::maskApostrophe(text) + QLatin1Char('\'');
}

QString stored(const QDateTime &time)
{
    return quoted(time.toString(Qt::ISODate));
}

// Multi-row INSERTs of one table, sent in batches.
class RowWriter
{
public:
    RowWriter(SqliteProbe &db, const QString &head)
        : m_db(db)
        , m_head(head)
    { }
    bool add(const QStringList &values)
    {
        m_rows.append(QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')'));
        return m_rows.size() < 500 || flush();
    }
    bool flush()
    {
        if (m_rows.isEmpty()) {
            return true;
        }
        const bool done = m_db.exec(m_head + m_rows.join(QLatin1Char(',')));
        m_rows.clear();
        return done;
    }

private:
    SqliteProbe &m_db;
    QString m_head;
    QStringList m_rows;
};

QStringList madeUpWords(std::mt19937 &random, int count)
{
    static const char *const onsets[]
        = {"b", "d", "k", "l", "m", "n", "p", "r", "s", "t", "w", "z", "st", "pr", "sz", "ch"};
    static const char *const vowels[] = {"a", "e", "i", "o", "u", "y", "ie", "ou"};
    QStringList words;
    QSet<QString> seen;
    while (words.size() < count) {
        QString word;
        const int syllables = 1 + int(random() % 4);
        for (int s = 0; s < syllables; ++s) {
            word += QLatin1String(onsets[random() % 16]);
            word += QLatin1String(vowels[random() % 8]);
        }
        if (random() % 10 == 0) {
            word[0] = word[0].toUpper();
        }
        if (!seen.contains(word)) {
            seen.insert(word);
            words.append(word);
        }
    }
    return words;
}

} // namespace

bool GeneratedArchive::fill(
    const QString &path, int conversations, int smsCount, quint32 seed, QString *errorText)
{
    const auto fail = [&](const QString &reason) {
        if (errorText) {
            *errorText = reason;
        }
        return false;
    };
    {
        VellArchiveModule schema(path);
        if (!schema.createTables()) {
            return fail(QStringLiteral("the module could not make the schema in ") + path);
        }
    }
    std::mt19937 random(seed);
    vocabulary = madeUpWords(random, 2000);
    std::vector<double> weights;
    for (int i = 0; i < vocabulary.size(); ++i) {
        weights.push_back(1.0 / (i + 1));
    }
    std::discrete_distribution<int> pick(weights.begin(), weights.end());
    const auto text = [&] {
        QStringList words;
        const int length = 2 + int(random() % 9);
        for (int i = 0; i < length; ++i) {
            words.append(random() % 6 == 0 ? QStringLiteral("ok") : vocabulary.at(pick(random)));
        }
        return words.join(random() % 3 ? QStringLiteral(" ") : QStringLiteral(", "));
    };
    protocols = QStringList {QStringLiteral("jabber"), QStringLiteral("icq"), QStringLiteral("gg")};
    accounts = QStringList {
        QStringLiteral("me@jabber.org"), QStringLiteral("1234567"), QStringLiteral("me@gg")};
    contacts.clear();
    for (int c = 0; c < 60; ++c) {
        contacts.append(QStringLiteral("friend%1").arg(c));
    }
    firstTime = QDateTime(QDate(2009, 3, 1), QTime(8, 0));

    SqliteProbe db(path);
    if (!db.exec(QStringLiteral("PRAGMA synchronous = OFF; BEGIN"))) {
        return fail(QStringLiteral("cannot write ") + path);
    }
    RowWriter users(
        db, QStringLiteral("INSERT INTO Users(ID, UID, Protocol, Owner_ID, Properties) VALUES"));
    bool written = true;
    for (int a = 0; a < accounts.size(); ++a) {
        written &= users.add({QString::number(a + 1), quoted(accounts.at(a)),
            quoted(protocols.at(a)), QStringLiteral("0"), QStringLiteral("''")});
    }
    // Contact c of account a has the Users ID 4 + a * contacts + c.
    const auto contactId
        = [&](int account, int contact) { return 4 + account * contacts.size() + contact; };
    for (int a = 0; a < accounts.size(); ++a) {
        for (int c = 0; c < contacts.size(); ++c) {
            written &= users.add({QString::number(contactId(a, c)), quoted(contacts.at(c)),
                quoted(protocols.at(a)), QString::number(a + 1), QStringLiteral("''")});
        }
    }
    written &= users.flush();

    QHash<QString, int> dictionary;
    RowWriter words(db, QStringLiteral("INSERT INTO Words(ID, Word) VALUES"));
    RowWriter chats(
        db, QStringLiteral("INSERT INTO Chats(ID, Time, Type, Owner_ID, Properties) VALUES"));
    RowWriter members(db, QStringLiteral("INSERT INTO UserToChat(User_ID, Chat_ID) VALUES"));
    RowWriter messages(db,
        QStringLiteral(
            "INSERT INTO Messages(ID, Text, Time, User_ID, Chat_ID, Type, Properties) VALUES"));
    RowWriter messageWords(
        db, QStringLiteral("INSERT INTO WordToMessage(Word_ID, Message_ID) VALUES"));
    RowWriter smsWords(db, QStringLiteral("INSERT INTO WordToSMS(Word_ID, SMS_ID) VALUES"));
    // Links each distinct index word of @p body to @p ownerId, as the module does.
    const auto index = [&](const QString &body, int ownerId, RowWriter &links) {
        const QStringList parts = VellArchiveModule::splitMessage(body);
        for (const QString &word : QSet<QString>(parts.cbegin(), parts.cend())) {
            int &id = dictionary[word];
            if (id == 0) {
                id = dictionary.size();
                written &= words.add({QString::number(id), quoted(word)});
            }
            written &= links.add({QString::number(id), QString::number(ownerId)});
        }
    };

    int messageId = 0;
    QDateTime time = firstTime;
    for (int chatId = 1; chatId <= conversations; ++chatId) {
        const int account = int(random() % 3);
        QList<int> recipients {int(random() % contacts.size())};
        const bool group = random() % 4 == 0;
        while (group && recipients.size() < 3) {
            const int other = int(random() % contacts.size());
            if (!recipients.contains(other)) {
                recipients.append(other);
            }
        }
        time = time.addSecs(600 + random() % 7200);
        // Now and then a conversation without entries: its time stays empty.
        const int entries = chatId % 50 == 0 ? 0 : 1 + int(random() % MessagesPerConversation);
        written &= chats.add({QString::number(chatId),
            entries ? stored(time) : QStringLiteral("''"), QString::number(group ? 1 : 0),
            QString::number(account + 1), QStringLiteral("''")});
        for (const int recipient : recipients) {
            written &= members.add(
                {QString::number(contactId(account, recipient)), QString::number(chatId)});
        }
        for (int m = 0; m < entries; ++m) {
            const QString body = text();
            const int sender = m % 2 ? contactId(account, recipients.at(m / 2 % recipients.size()))
                                     : account + 1;
            written &= messages.add({QString::number(++messageId), quoted(body),
                stored(time.addSecs(m * 30)), QString::number(sender), QString::number(chatId),
                QStringLiteral("0"), QStringLiteral("''")});
            index(body, messageId, messageWords);
        }
    }
    lastTime = time;

    smsSenders.clear();
    smsRecipients.clear();
    for (int n = 0; n < 20; ++n) {
        smsSenders.append(QStringLiteral("+48600%1").arg(n, 6, 10, QLatin1Char('0')));
        smsRecipients.append(QStringLiteral("+48500%1").arg(n, 6, 10, QLatin1Char('0')));
    }
    RowWriter sms(db, QStringLiteral("INSERT INTO SMS(ID, Time, Sender) VALUES"));
    RowWriter smsTo(db, QStringLiteral("INSERT INTO SMS_Recipient(SMS_ID, Name) VALUES"));
    RowWriter smsBodies(db, QStringLiteral("INSERT INTO SMS_Message(SMS_ID, Body) VALUES"));
    const qint64 span = firstTime.secsTo(lastTime);
    for (int smsId = 1; smsId <= smsCount; ++smsId) {
        const QString body = text();
        written
            &= sms.add({QString::number(smsId), stored(firstTime.addSecs(span / smsCount * smsId)),
                quoted(smsSenders.at(int(random() % smsSenders.size())))});
        const int first = int(random() % smsRecipients.size());
        written &= smsTo.add({QString::number(smsId), quoted(smsRecipients.at(first))});
        if (random() % 2) {
            written &= smsTo.add({QString::number(smsId),
                quoted(smsRecipients.at((first + 1 + int(random() % 5)) % smsRecipients.size()))});
        }
        written &= smsBodies.add({QString::number(smsId), quoted(body)});
        index(body, smsId, smsWords);
    }
    for (RowWriter *table :
        {&words, &chats, &members, &messages, &messageWords, &sms, &smsTo, &smsBodies, &smsWords}) {
        written &= table->flush();
    }
    if (!written || !db.exec(QStringLiteral("COMMIT"))) {
        return fail(QStringLiteral("the generated rows could not be written to ") + path);
    }
    return true;
}
