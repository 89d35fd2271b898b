#include "VellArchiveModule.h"

#include "VellArchiveCastException.h"
#include "VellArchiveTransactionGuard.h"
#include "VellDBConnection.h"
#include "VellDBModule.h"
#include "VellDBResult.h"

#include <QLatin1String>
#include <QRegExp>
#include <QSet>

#include <algorithm>
#include <memory>

namespace VellArchive {

using VellDatabase::VellDBResult;
using Result = std::unique_ptr<VellDBResult>;

namespace {

// The schema, in the order it is created. Index names are global to the
// database: the second "SMSId" finds the first one in place and creates nothing.
const char *const SchemaStatements[] = {
    "CREATE TABLE IF NOT EXISTS Chats(ID         INTEGER PRIMARY KEY, Time       TEXT, Type       "
    "INTEGER NOT NULL, Owner_ID   INTEGER NOT NULL, Properties TEXT)",
    "CREATE TABLE IF NOT EXISTS Users(ID         INTEGER PRIMARY KEY, UID        TEXT NOT NULL, "
    "Protocol   TEXT NOT NULL, Owner_ID   INTEGER NOT NULL, Properties TEXT)",
    "CREATE TABLE IF NOT EXISTS Messages(ID         INTEGER PRIMARY KEY, Text       TEXT NOT NULL, "
    "Time       TEXT NOT NULL, User_ID    INTEGER NOT NULL, Chat_ID    INTEGER NOT NULL, Type      "
    " "
    "INTEGER NOT NULL, Properties TEXT)",
    "CREATE TABLE IF NOT EXISTS UserToChat(User_ID INTEGER NOT NULL, Chat_ID INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS WordToMessage(Word_ID    INTEGER NOT NULL, Message_ID INTEGER NOT "
    "NULL)",
    "CREATE TABLE IF NOT EXISTS Words(ID    INTEGER PRIMARY KEY, Word  TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS SMS(ID     INTEGER PRIMARY KEY, Time   TEXT NOT NULL, Sender TEXT "
    "NOT NULL)",
    "CREATE TABLE IF NOT EXISTS SMS_Recipient(ID     INTEGER PRIMARY KEY, SMS_ID INTEGER NOT NULL, "
    "Name   TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS SMS_Message(ID     INTEGER PRIMARY KEY, SMS_ID INTEGER NOT NULL, "
    "Body   TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS WordToSMS(Word_ID INTEGER NOT NULL, SMS_ID  INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS MessagesIndex ON Messages(Chat_ID)",
    "CREATE INDEX IF NOT EXISTS ChatsIndex ON Chats(Owner_ID)",
    "CREATE INDEX IF NOT EXISTS UserToChatIndex1 ON UserToChat(User_ID)",
    "CREATE INDEX IF NOT EXISTS UserToChatIndex2 ON UserToChat(Chat_ID)",
    "CREATE INDEX IF NOT EXISTS WordToMessageIndex1 ON WordToMessage(Word_ID)",
    "CREATE INDEX IF NOT EXISTS WordToMessageIndex2 ON WordToMessage(Message_ID)",
    "CREATE INDEX IF NOT EXISTS WordsIndex ON Words(Word)",
    "CREATE INDEX IF NOT EXISTS SMSTime ON SMS(Time)",
    "CREATE INDEX IF NOT EXISTS SMSSender ON SMS(Sender)",
    "CREATE INDEX IF NOT EXISTS SMSId ON SMS_Recipient(SMS_ID)",
    "CREATE INDEX IF NOT EXISTS SMSName ON SMS_Recipient(Name)",
    "CREATE INDEX IF NOT EXISTS SMSId ON SMS_Message(SMS_ID)",
    "CREATE INDEX IF NOT EXISTS WordToSMSIndex1 ON WordToSMS(Word_ID)",
    "CREATE INDEX IF NOT EXISTS WordToSMSIndex2 ON WordToSMS(SMS_ID)",
};

// A text value as it stands in a statement.
QString quoted(const QString &value)
{
    return QLatin1Char('\'') + VellArchiveModule::maskApostrophe(value) + QLatin1Char('\'');
}

QString timeText(const QDateTime &time)
{
    return time.toString(Qt::DateFormat(VellArchiveModule::ARCHIVE_TIME_FORMAT));
}

VellArchiveBackendConversation emptyConversation()
{
    return VellArchiveBackendConversation();
}

} // namespace

VellArchiveCastException::~VellArchiveCastException() = default;

const QString VellArchiveModule::ARCHIVE_ID = QStringLiteral("VellArchiveSQLite");

VellArchiveModule::VellArchiveModule(const QString &databaseName)
    : connection(VellDatabase::VellDBModule::getDBConnection(databaseName, false))
{
    if (connection && connection->isOpen() && createTables()) {
        readAllUsersFromDB();
    }
}

VellArchiveModule::~VellArchiveModule()
{
    connection.reset();
}

QString VellArchiveModule::backendId() const
{
    return ARCHIVE_ID;
}

bool VellArchiveModule::createTables() const
{
    if (!connection) {
        return false;
    }
    for (const char *statement : SchemaStatements) {
        if (connection->exec(QLatin1String(statement)) == -1) {
            return false;
        }
    }
    return true;
}

bool VellArchiveModule::readAllUsersFromDB()
{
    users.clear();
    if (!connection) {
        return false;
    }
    const Result result(
        connection->query(QStringLiteral("SELECT ID, UID, Protocol, Owner_ID FROM Users")));
    if (!result) {
        return false;
    }
    try {
        for (int row = 0; row < result->rowCount(); ++row) {
            const int index = strToInt(result->value(row, 0));
            const QString uid = result->value(row, 1);
            const QString protocol = result->value(row, 2);
            const int ownerIndex = strToInt(result->value(row, 3));
            if (index >= 1 && !uid.isEmpty() && !protocol.isEmpty() && ownerIndex >= 0) {
                users.addUser(index, uid, protocol, ownerIndex); // a refused duplicate is skipped
            }
        }
    } catch (const VellArchiveCastException &) {
        return false; // a damaged row: the users before it stay loaded
    }
    return true;
}

int VellArchiveModule::strToInt(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok) {
        throw VellArchiveCastException();
    }
    return value;
}

QString VellArchiveModule::maskApostrophe(const QString &text)
{
    QString masked = text;
    return masked.replace(QLatin1Char('\''), QLatin1String("''"));
}

void VellArchiveModule::setCaseSensitive(bool on) const
{
    if (connection) {
        connection->exec(on ? QStringLiteral("PRAGMA case_sensitive_like = 1")
                            : QStringLiteral("PRAGMA case_sensitive_like = 0"));
    }
}

QList<int> VellArchiveModule::readChatsIndexesFromDB(const QString &sql) const
{
    QList<int> ids;
    if (!connection) {
        return ids;
    }
    const Result result(connection->query(sql));
    if (!result) {
        return ids;
    }
    try {
        for (int row = 0; row < result->rowCount(); ++row) {
            ids.append(strToInt(result->value(row, 0)));
        }
    } catch (const VellArchiveCastException &) {
        return QList<int>();
    }
    return ids;
}

QStringList VellArchiveModule::readSMSIndexesFromDB(const QString &sql) const
{
    QStringList ids;
    if (!connection) {
        return ids;
    }
    const Result result(connection->query(sql));
    if (!result) {
        return ids;
    }
    for (int row = 0; row < result->rowCount(); ++row) {
        ids.append(result->value(row, 0));
    }
    return ids;
}

// --- Recording ---------------------------------------------------------------

int VellArchiveModule::startConversation(VellArchiveBackendConversation::Type type,
    QStringList recipients, const QString &ownerUid, const QString &protocol,
    const QString &properties)
{
    if (!connection || ownerUid.isEmpty() || protocol.isEmpty()) {
        return -1;
    }
    if (std::any_of(recipients.cbegin(), recipients.cend(),
            [](const QString &uid) { return uid.isEmpty(); })) {
        return -1;
    }
    // One contact named twice would otherwise get two Users rows and two links.
    recipients.removeDuplicates();

    VellArchiveTransactionGuard guard(connection.get(), true);
    // Users are kept with their own owner index: the owner's UID may also be
    // listed as a recipient, and that contact row is another user.
    QList<VellArchiveUser> newUsers;

    int ownerIndex = users.getUserIndex(ownerUid, protocol, 0);
    if (ownerIndex == 0) {
        ownerIndex = insertUserRowToDB(ownerUid, protocol, 0, QString());
        if (ownerIndex == 0) {
            return -1;
        }
        newUsers.append(VellArchiveUser(ownerIndex, ownerUid, protocol, 0));
    }

    // A null time writes the empty text: the conversation has no time until
    // its first entry or its end.
    const int chatId = insertChatRowToDB(QDateTime(), type, ownerIndex, properties);
    if (chatId == 0) {
        return -1;
    }

    QList<VellArchiveUser> members;
    for (const QString &uid : qAsConst(recipients)) {
        int userIndex = users.getUserIndex(uid, protocol, ownerIndex);
        if (userIndex == 0) {
            userIndex = insertUserRowToDB(uid, protocol, ownerIndex, QString());
            if (userIndex == 0) {
                return -1;
            }
            newUsers.append(VellArchiveUser(userIndex, uid, protocol, ownerIndex));
        }
        if (insertUserToChatRowToDB(userIndex, chatId) == 0) {
            return -1;
        }
        members.append(VellArchiveUser(userIndex, uid, protocol, ownerIndex));
    }

    // Memory follows the database only once the rows are committed.
    if (!guard.commit()) {
        return -1;
    }
    for (const VellArchiveUser &user : qAsConst(newUsers)) {
        users.addUser(user.getIndex(), user.getID(), user.getProtocolID(), user.getOwnerIndex());
    }
    chats.addChat(chatId, ownerIndex, ownerUid, protocol, QDateTime::currentDateTime());
    for (const VellArchiveUser &member : qAsConst(members)) {
        chats.addRecipientToChat(chatId, member.getIndex(), member.getID());
    }
    return chatId;
}

void VellArchiveModule::addEntry(int conversationId, const QString &senderUid, const QString &text,
    const QDateTime &time, const QString &properties,
    VellArchiveBackendConversationEntry::Type type)
{
    if (!connection || conversationId <= 0 || senderUid.isEmpty() || text.isEmpty()
        || !time.isValid()) {
        return;
    }
    if (!chats.isUserInChat(conversationId, senderUid)) {
        return; // not open in this run, or the sender takes no part in it
    }
    const int senderIndex = chats.getUserIndexFromChat(conversationId, senderUid);
    if (senderIndex <= 0) {
        return;
    }

    VellArchiveTransactionGuard guard(connection.get(), true);
    const int messageId
        = insertMessageRowToDB(text, time, senderIndex, conversationId, type, properties);
    if (messageId == 0 || !writeIndexWordsToDB(text, messageId)) {
        return;
    }
    // The conversation's time is the time of its first recorded entry.
    const bool firstEntry = !chats.isSetChatTime(conversationId);
    if (firstEntry && !updateChatTimeInDB(conversationId, time)) {
        return;
    }
    if (guard.commit() && firstEntry) {
        chats.setChatTime(conversationId);
    }
}

void VellArchiveModule::addRecipient(int conversationId, const QString &uid)
{
    if (!connection || conversationId <= 0 || uid.isEmpty()) {
        return;
    }
    if (!chats.isChat(conversationId) || chats.isUserInChat(conversationId, uid)) {
        return;
    }
    const QString protocol = chats.getChatProtocol(conversationId);
    const int ownerIndex = chats.getChatOwnerIndex(conversationId);
    if (protocol.isEmpty() || ownerIndex <= 0) {
        return;
    }

    VellArchiveTransactionGuard guard(connection.get(), true);
    int userIndex = users.getUserIndex(uid, protocol, ownerIndex);
    const bool newUser = userIndex == 0;
    if (newUser) {
        userIndex = insertUserRowToDB(uid, protocol, ownerIndex, QString());
        if (userIndex == 0) {
            return;
        }
    }
    if (insertUserToChatRowToDB(userIndex, conversationId) == 0 || !guard.commit()) {
        return;
    }
    if (newUser) {
        users.addUser(userIndex, uid, protocol, ownerIndex);
    }
    chats.addRecipientToChat(conversationId, userIndex, uid);
}

void VellArchiveModule::finishConversation(int conversationId)
{
    if (!connection || conversationId <= 0 || !chats.isChat(conversationId)) {
        return;
    }
    if (chats.isSetChatTime(conversationId)) {
        chats.removeChat(conversationId);
        return;
    }
    // A conversation without entries takes the time it was started. When that
    // cannot be written it stays open, so a later finish can try again.
    const QDateTime startTime = chats.getChatStartTime(conversationId);
    if (startTime.isValid() && updateChatTimeInDB(conversationId, startTime)) {
        chats.setChatTime(conversationId);
        chats.removeChat(conversationId);
    }
}

// --- Row operations ------------------------------------------------------------

int VellArchiveModule::insertOneRow(const QString &sql) const
{
    if (connection->exec(sql) != 1) {
        return 0;
    }
    const int id = connection->lastInsertId();
    return id == -1 ? 0 : id;
}

int VellArchiveModule::insertUserRowToDB(
    const QString &uid, const QString &protocol, int ownerIndex, const QString &properties) const
{
    return insertOneRow(
        QStringLiteral("INSERT INTO Users(ID, UID, Protocol, Owner_ID, Properties) VALUES(")
        + QStringLiteral("NULL, ") + quoted(uid) + QStringLiteral(", ") + quoted(protocol)
        + QStringLiteral(", ") + QString::number(ownerIndex) + QStringLiteral(", ")
        + quoted(properties) + QStringLiteral(")"));
}

int VellArchiveModule::insertChatRowToDB(
    const QDateTime &time, int type, int ownerIndex, const QString &properties) const
{
    return insertOneRow(
        QStringLiteral("INSERT INTO Chats(ID, Time, Type, Owner_ID, Properties) VALUES(")
        + QStringLiteral("NULL, ") + quoted(timeText(time)) + QStringLiteral(", ")
        + QString::number(type) + QStringLiteral(", ") + QString::number(ownerIndex)
        + QStringLiteral(", ") + quoted(properties) + QStringLiteral(")"));
}

int VellArchiveModule::insertUserToChatRowToDB(int userIndex, int chatId) const
{
    return insertOneRow(QStringLiteral("INSERT INTO UserToChat(User_ID, Chat_ID) VALUES(")
        + QString::number(userIndex) + QStringLiteral(", ") + QString::number(chatId)
        + QStringLiteral(")"));
}

int VellArchiveModule::insertMessageRowToDB(const QString &text, const QDateTime &time,
    int userIndex, int chatId, int type, const QString &properties) const
{
    return insertOneRow(
        QStringLiteral(
            "INSERT INTO Messages(ID, Text, Time, User_ID, Chat_ID, Type, Properties) VALUES(")
        + QStringLiteral("NULL, ") + quoted(text) + QStringLiteral(", ") + quoted(timeText(time))
        + QStringLiteral(", ") + QString::number(userIndex) + QStringLiteral(", ")
        + QString::number(chatId) + QStringLiteral(", ") + QString::number(type)
        + QStringLiteral(", ") + quoted(properties) + QStringLiteral(")"));
}

int VellArchiveModule::insertWordRowToDB(const QString &word) const
{
    if (connection->exec(QStringLiteral("INSERT INTO Words(ID, Word) VALUES(")
            + QStringLiteral("NULL, ") + quoted(word) + QStringLiteral(")"))
        == -1) {
        return 0;
    }
    // -1 (no row ID) must not become a word ID that links get written with.
    const int id = connection->lastInsertId();
    return id == -1 ? 0 : id;
}

int VellArchiveModule::insertWordToMessageRowToDB(int wordId, int messageId) const
{
    return insertOneRow(QStringLiteral("INSERT INTO WordToMessage(Word_ID, Message_ID) VALUES(")
        + QString::number(wordId) + QStringLiteral(", ") + QString::number(messageId)
        + QStringLiteral(")"));
}

bool VellArchiveModule::updateChatTimeInDB(int chatId, const QDateTime &time) const
{
    return connection->exec(QStringLiteral("UPDATE Chats SET    Time = '") + timeText(time)
               + QStringLiteral("' WHERE  ID   = ") + QString::number(chatId))
        == 1;
}

int VellArchiveModule::getWordIndexFromDB(const QString &word) const
{
    const Result result(connection->query(QStringLiteral("SELECT ID FROM   Words WHERE  Word = '")
        + maskApostrophe(word) + QStringLiteral("'")));
    if (!result || result->isEmpty()) {
        return 0;
    }
    try {
        return strToInt(result->value(0, 0));
    } catch (const VellArchiveCastException &) {
        return 0;
    }
}

// --- Word index ----------------------------------------------------------------

QStringList VellArchiveModule::splitMessage(const QString &text)
{
    // QRegExp's \W knows Unicode: Polish letters, digits and '_' are word characters.
    const QStringList parts = text.split(QRegExp(QStringLiteral("\\W+")), Qt::SkipEmptyParts);
    QStringList words;
    words.reserve(parts.size());
    for (const QString &part : parts) {
        if (part.size() >= ARCHIVE_MIN_INDEX_WORD_LENGTH) {
            words.append(part);
        }
    }
    return words;
}

bool VellArchiveModule::writeIndexWordsToDB(const QString &text, int messageId) const
{
    const QStringList parts = splitMessage(text);
    // Each distinct word once per message; words differing in case are distinct.
    const QSet<QString> words(parts.cbegin(), parts.cend());
    for (const QString &word : words) {
        if (word.isEmpty()) {
            continue;
        }
        int wordId = getWordIndexFromDB(word);
        if (wordId == 0) {
            wordId = insertWordRowToDB(word);
            if (wordId == 0) {
                return false;
            }
        }
        if (insertWordToMessageRowToDB(wordId, messageId) == 0) {
            return false;
        }
    }
    return true;
}

// --- Retrieval, search, removal and SMS ------------------------------------------
// These answer their empty values until the archive's readers are built on the
// store above.

QList<VellArchiveBackendConversation> VellArchiveModule::getAllConversations(bool) const
{
    return {};
}

VellArchiveBackendConversation VellArchiveModule::getConversation(int, bool) const
{
    return emptyConversation();
}

QList<VellArchiveBackendConversation> VellArchiveModule::getConversationsForProtocol(
    const QString &, bool) const
{
    return {};
}

QList<VellArchiveBackendConversation> VellArchiveModule::getConversationsForAccount(
    const QString &, const QString &, bool) const
{
    return {};
}

QList<VellArchiveBackendConversation> VellArchiveModule::getConversationsForRecipients(
    const QString &, const QString &, const QStringList &, bool) const
{
    return {};
}

QList<VellArchiveBackendConversation> VellArchiveModule::getConversationsForType(
    VellArchiveBackendConversation::Type, bool) const
{
    return {};
}

QList<VellArchiveBackendConversation> VellArchiveModule::searchForConversations(
    const VellArchiveBackendSearchCriteria &, bool) const
{
    return {};
}

QList<VellArchiveBackendSMS> VellArchiveModule::searchForTextMessages(
    const VellArchiveBackendSearchCriteria &, bool) const
{
    return {};
}

VellArchiveBackendConversation VellArchiveModule::getLastConversationForRecipient(
    const QString &, const QString &, const QString &, bool) const
{
    return emptyConversation();
}

void VellArchiveModule::removeConversation(int) { }

void VellArchiveModule::removeConversations(const VellArchiveBackendSearchCriteria &) { }

QStringList VellArchiveModule::getSMSRecipients() const
{
    return {};
}

int VellArchiveModule::addSMS(
    const QString &, const QStringList &, const QString &, const QDateTime &)
{
    return 0;
}

QList<VellArchiveBackendSMS> VellArchiveModule::getAllTextMessages(bool)
{
    return {};
}

void VellArchiveModule::removeSMS(int) { }

void VellArchiveModule::removeSMS(const VellArchiveBackendSearchCriteria &) { }

} // namespace VellArchive
