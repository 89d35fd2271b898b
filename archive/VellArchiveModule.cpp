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
    // Indexes of this module's own, after the ones every archive has:
    // - SMS_Message(SMS_ID), which the second "SMSId" above never created; the
    //   body join and every SMS removal would scan the table without it;
    // - Words(Word) without letter case, for the SMS search, whose LIKE is
    //   case-insensitive and cannot use WordsIndex;
    // - Chats(Time), for searches within a time range;
    // - WordToMessage(Word_ID, Message_ID), which answers a word's messages
    //   from the index alone: word and phrase searches read no link rows;
    // - Users(UID), for searches by account or recipient, which would
    //   otherwise scan the users or every recipient link.
    "CREATE INDEX IF NOT EXISTS SMSMessageIndex ON SMS_Message(SMS_ID)",
    "CREATE INDEX IF NOT EXISTS WordsNoCaseIndex ON Words(Word COLLATE NOCASE)",
    "CREATE INDEX IF NOT EXISTS ChatsTimeIndex ON Chats(Time)",
    "CREATE INDEX IF NOT EXISTS WordToMessageWordIndex ON WordToMessage(Word_ID, Message_ID)",
    "CREATE INDEX IF NOT EXISTS UsersUidIndex ON Users(UID)",
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

int VellArchiveModule::insertRow(const QString &sql) const
{
    return connection->exec(sql) == -1 ? 0 : connection->lastInsertId();
}

int VellArchiveModule::insertWordRowToDB(const QString &word) const
{
    // -1 (no row ID) must not become an ID that links get written with.
    const int id = insertRow(QStringLiteral("INSERT INTO Words(ID, Word) VALUES(")
        + QStringLiteral("NULL, ") + quoted(word) + QStringLiteral(")"));
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
    return writeWordsToDB(text, messageId, &VellArchiveModule::insertWordToMessageRowToDB);
}

bool VellArchiveModule::writeWordsToDB(const QString &text, int ownerId, WordLink link) const
{
    const QStringList parts = splitMessage(text);
    // Each distinct word once per text; words differing in case are distinct.
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
        if ((this->*link)(wordId, ownerId) == 0) {
            return false;
        }
    }
    return true;
}

// --- Query builders ------------------------------------------------------------
// The texts below are the archive's statements as existing databases have seen
// them, blanks included; each builder appends values and joiners to them.

namespace {

const QLatin1String Or(" OR ");
const QLatin1String Intersect(" INTERSECT ");
const QLatin1String Union(" UNION ");
const QLatin1String Comma(", ");
const QLatin1String Apostrophe("'");
const QLatin1String Close(")");

// Conversations.
const QLatin1String ChatsAll("SELECT c.ID FROM   Chats c WHERE  1 = 1");
const QLatin1String ChatsOfAccounts("SELECT c.ID FROM   Chats c, Users u WHERE  1 = 1");
const QLatin1String ChatsFrom(" AND c.Time >= '");
const QLatin1String ChatsTo(" AND c.Time <= '");
const QLatin1String ChatsTypes(" AND (");
const QLatin1String ChatsProtocol(" AND c.Owner_ID = u.ID AND u.Protocol = '");
const QLatin1String ChatsOwnerJoined(" AND c.Owner_ID = u.ID AND u.UID = '");
const QLatin1String ChatsOwner(" AND u.UID = '");
const QLatin1String ChatsIdIn(" AND c.ID IN (");
const QLatin1String ChatType("c.Type = ");
const QLatin1String RecipientsAnyHead(
    "SELECT utc.Chat_ID FROM   Users u, UserToChat utc WHERE u.UID IN (");
const QLatin1String RecipientsAnyTail(") AND u.ID = utc.User_ID");
const QLatin1String RecipientAllHead(
    "SELECT utc.Chat_ID FROM Users u, UserToChat utc WHERE u.UID = '");
const QLatin1String RecipientAllTail("' AND u.ID  = utc.User_ID");
const QLatin1String WordAllHead("SELECT m.Chat_ID FROM   Words w, WordToMessage wtm, Messages m "
                                "WHERE  w.Word LIKE '");
const QLatin1String WordAllTail("' AND w.ID   = wtm.Word_ID       AND wtm.Message_ID = m.ID");
const QLatin1String WordPartAllHead("SELECT m.Chat_ID FROM   Words w, WordToMessage wtm, Messages "
                                    "m WHERE  w.Word LIKE '%");
const QLatin1String WordPartAllTail(
    "%' AND w.ID   = wtm.Word_ID         AND wtm.Message_ID = m.ID");
const QLatin1String WordAnyHead(
    "SELECT m.Chat_ID FROM Words w, WordToMessage wtm, Messages m WHERE w.Word LIKE '");
const QLatin1String WordAnyTail("' AND w.ID = wtm.Word_ID         AND wtm.Message_ID = m.ID");
const QLatin1String WordPartAnyHead(
    "SELECT m.Chat_ID FROM Words w, WordToMessage wtm, Messages m WHERE w.Word LIKE '%");
const QLatin1String WordPartAnyTail(
    "%' AND w.ID = wtm.Word_ID           AND wtm.Message_ID = m.ID");
const QLatin1String MessageWordHead(
    "SELECT wtm.Message_ID FROM   Words w, WordToMessage wtm WHERE  w.Word LIKE ");
const QLatin1String MessageWordTail(" AND w.ID   = wtm.Word_ID");
const QLatin1String PhraseHead("SELECT Chat_ID FROM   Messages WHERE  ID IN (");
const QLatin1String PhraseMiddle(") AND Text LIKE '%");
const QLatin1String PatternTail("%'");

// SMS.
const QLatin1String SmsAll("SELECT ID FROM SMS WHERE 1 = 1");
const QLatin1String SmsSender(" AND Sender = '");
const QLatin1String SmsFrom(" AND Time >= '");
const QLatin1String SmsTo(" AND Time <= '");
const QLatin1String SmsIdIn(" AND ID IN (");
const QLatin1String SmsRecipientsAnyHead("SELECT SMS_ID FROM SMS_Recipient WHERE Name IN (");
const QLatin1String SmsRecipientAllHead("SELECT SMS_ID FROM SMS_Recipient WHERE Name = '");
const QLatin1String SmsWordHead("SELECT ws.SMS_ID FROM WordToSMS ws, Words w WHERE w.Word LIKE '");
const QLatin1String SmsWordTail("' AND ws.Word_ID = w.ID");
const QLatin1String SmsWordPartHead(
    "SELECT ws.SMS_ID FROM WordToSMS ws, Words w WHERE w.Word LIKE '%");
const QLatin1String SmsWordPartTail("%' AND ws.Word_ID = w.ID");
const QLatin1String SmsPhraseHead("SELECT SMS_ID FROM   SMS_Message WHERE  Body LIKE '%");

// The pieces that @p piece makes of each item, with @p joiner between them.
template<typename Item, typename Piece>
QString joined(const QList<Item> &items, QLatin1String joiner, Piece piece)
{
    QString text;
    for (int i = 0; i < items.size(); ++i) {
        if (i > 0) {
            text += joiner;
        }
        text += piece(items.at(i));
    }
    return text;
}

QString masked(const QString &value)
{
    return VellArchiveModule::maskApostrophe(value);
}

// The sub-query that selects conversations by their recipients; empty for an unknown mode.
QString chatsRecipientsQuery(const QStringList &uids, int mode)
{
    switch (mode) {
    case 0:
        return VellArchiveModule::createQuerySearchChatsRecipientsAny(uids);
    case 1:
        return VellArchiveModule::createQuerySearchChatsRecipientsAll(uids);
    default:
        return QString();
    }
}

QString chatsTextsQuery(const QStringList &texts, int mode)
{
    switch (mode) {
    case 0:
        return VellArchiveModule::createQuerySearchChatsWordsAny(texts, true);
    case 1:
        return VellArchiveModule::createQuerySearchChatsWordsAll(texts, true);
    case 2:
        return VellArchiveModule::createQuerySearchChatsPhrases(texts);
    case 3:
        return VellArchiveModule::createQuerySearchChatsWordsAny(texts, false);
    case 4:
        return VellArchiveModule::createQuerySearchChatsWordsAll(texts, false);
    default:
        return QString();
    }
}

QString smsRecipientsQuery(const QStringList &names, int mode)
{
    switch (mode) {
    case 0:
        return VellArchiveModule::createQuerySearchSMSRecipientsAny(names);
    case 1:
        return VellArchiveModule::createQuerySearchSMSRecipientsAll(names);
    default:
        return QString();
    }
}

QString smsTextsQuery(const QStringList &texts, int mode)
{
    switch (mode) {
    case 0:
        return VellArchiveModule::createQuerySearchSMSWordsAny(texts, true);
    case 1:
        return VellArchiveModule::createQuerySearchSMSWordsAll(texts, true);
    case 2:
        return VellArchiveModule::createQuerySearchSMSPhrases(texts);
    case 3:
        return VellArchiveModule::createQuerySearchSMSWordsAny(texts, false);
    case 4:
        return VellArchiveModule::createQuerySearchSMSWordsAll(texts, false);
    default:
        return QString();
    }
}

} // namespace

QString VellArchiveModule::createQuerySearchChats(const VellArchiveBackendSearchCriteria &criteria)
{
    const bool byAccount = !criteria.protocol.isEmpty() || !criteria.ownerUid.isEmpty();
    QString sql = byAccount ? QString(ChatsOfAccounts) : QString(ChatsAll);
    if (criteria.timeFrom.isValid()) {
        sql += ChatsFrom + timeText(criteria.timeFrom) + Apostrophe;
    }
    if (criteria.timeTo.isValid()) {
        sql += ChatsTo + timeText(criteria.timeTo) + Apostrophe;
    }
    if (!criteria.types.isEmpty()) {
        sql += ChatsTypes + createQuerySearchChatsTypes(criteria.types) + Close;
    }
    if (!criteria.protocol.isEmpty()) {
        sql += ChatsProtocol + masked(criteria.protocol) + Apostrophe;
    }
    if (!criteria.ownerUid.isEmpty()) {
        sql += (criteria.protocol.isEmpty() ? ChatsOwnerJoined : ChatsOwner)
            + masked(criteria.ownerUid) + Apostrophe;
    }
    if (!criteria.recipients.isEmpty()) {
        const QString recipients
            = chatsRecipientsQuery(criteria.recipients, criteria.recipientsMode);
        if (recipients.isEmpty()) {
            return QString();
        }
        sql += ChatsIdIn + recipients + Close;
    }
    if (!criteria.texts.isEmpty()) {
        const QString texts = chatsTextsQuery(criteria.texts, criteria.textMode);
        if (texts.isEmpty()) {
            return QString();
        }
        sql += ChatsIdIn + texts + Close;
    }
    return sql;
}

QString VellArchiveModule::createQuerySearchChatsTypes(
    const QList<VellArchiveBackendConversation::Type> &types)
{
    return joined(types, Or, [](VellArchiveBackendConversation::Type type) -> QString {
        return ChatType + QString::number(int(type), 10);
    });
}

QString VellArchiveModule::createQuerySearchChatsRecipientsAny(const QStringList &uids)
{
    return RecipientsAnyHead + joined(uids, Comma, [](const QString &uid) -> QString {
        return Apostrophe + masked(uid) + Apostrophe;
    }) + RecipientsAnyTail;
}

QString VellArchiveModule::createQuerySearchChatsRecipientsAll(const QStringList &uids)
{
    return joined(uids, Intersect, [](const QString &uid) -> QString {
        return RecipientAllHead + masked(uid) + RecipientAllTail;
    });
}

QString VellArchiveModule::createQuerySearchChatsWordsAny(const QStringList &words, bool wholeWords)
{
    const QLatin1String head = wholeWords ? WordAnyHead : WordPartAnyHead;
    const QLatin1String tail = wholeWords ? WordAnyTail : WordPartAnyTail;
    return joined(
        words, Union, [&](const QString &word) -> QString { return head + masked(word) + tail; });
}

QString VellArchiveModule::createQuerySearchChatsWordsAll(const QStringList &words, bool wholeWords)
{
    const QLatin1String head = wholeWords ? WordAllHead : WordPartAllHead;
    const QLatin1String tail = wholeWords ? WordAllTail : WordPartAllTail;
    return joined(words, Intersect,
        [&](const QString &word) -> QString { return head + masked(word) + tail; });
}

QString VellArchiveModule::createQuerySearchMessagesWithAllWords(const QStringList &words)
{
    return joined(words, Intersect, [](const QString &word) -> QString {
        return MessageWordHead + Apostrophe + masked(word) + Apostrophe + MessageWordTail;
    });
}

QString VellArchiveModule::createQuerySearchChatsPhrases(const QStringList &phrases)
{
    // The word index narrows the messages to those holding every indexed word
    // of the phrase; only those are matched against the phrase itself. A
    // phrase without index words gives "IN ()", which matches nothing.
    return joined(phrases, Intersect, [](const QString &phrase) -> QString {
        return PhraseHead + createQuerySearchMessagesWithAllWords(splitMessage(phrase))
            + PhraseMiddle + masked(phrase) + PatternTail;
    });
}

QString VellArchiveModule::createQuerySearchSMS(const VellArchiveBackendSearchCriteria &criteria)
{
    QString sql = SmsAll;
    if (!criteria.ownerUid.isEmpty()) {
        sql += SmsSender + masked(criteria.ownerUid) + Apostrophe;
    }
    if (criteria.timeFrom.isValid()) {
        sql += SmsFrom + timeText(criteria.timeFrom) + Apostrophe;
    }
    if (criteria.timeTo.isValid()) {
        sql += SmsTo + timeText(criteria.timeTo) + Apostrophe;
    }
    if (!criteria.recipients.isEmpty()) {
        const QString recipients = smsRecipientsQuery(criteria.recipients, criteria.recipientsMode);
        if (recipients.isEmpty()) {
            return QString();
        }
        sql += SmsIdIn + recipients + Close;
    }
    if (!criteria.texts.isEmpty()) {
        const QString texts = smsTextsQuery(criteria.texts, criteria.textMode);
        if (texts.isEmpty()) {
            return QString();
        }
        sql += SmsIdIn + texts + Close;
    }
    return sql;
}

QString VellArchiveModule::createQuerySearchSMSRecipientsAny(const QStringList &names)
{
    return SmsRecipientsAnyHead + joined(names, Comma, [](const QString &name) -> QString {
        return Apostrophe + masked(name) + Apostrophe;
    }) + Close;
}

QString VellArchiveModule::createQuerySearchSMSRecipientsAll(const QStringList &names)
{
    return joined(names, Intersect, [](const QString &name) -> QString {
        return SmsRecipientAllHead + masked(name) + Apostrophe;
    });
}

QString VellArchiveModule::createQuerySearchSMSWordsAny(const QStringList &words, bool wholeWords)
{
    const QLatin1String head = wholeWords ? SmsWordHead : SmsWordPartHead;
    const QLatin1String tail = wholeWords ? SmsWordTail : SmsWordPartTail;
    return joined(
        words, Union, [&](const QString &word) -> QString { return head + masked(word) + tail; });
}

QString VellArchiveModule::createQuerySearchSMSWordsAll(const QStringList &words, bool wholeWords)
{
    const QLatin1String head = wholeWords ? SmsWordHead : SmsWordPartHead;
    const QLatin1String tail = wholeWords ? SmsWordTail : SmsWordPartTail;
    return joined(words, Intersect,
        [&](const QString &word) -> QString { return head + masked(word) + tail; });
}

QString VellArchiveModule::createQuerySearchSMSPhrases(const QStringList &phrases)
{
    return joined(phrases, Intersect, [](const QString &phrase) -> QString {
        return SmsPhraseHead + masked(phrase) + PatternTail;
    });
}

// --- Conversation retrieval and removal ----------------------------------------------

namespace {

const QLatin1String ChatsReaderHead(
    "SELECT c.ID, c.Time, c.Type, u1.UID, u1.Protocol, u2.UID FROM   Chats c, UserToChat utc, "
    "Users u1, Users u2 WHERE  c.ID IN (");
const QLatin1String ChatsReaderTail(") AND c.Owner_ID = u1.ID                AND c.ID = "
                                    "utc.Chat_ID                AND utc.User_ID = u2.ID ORDER BY "
                                    "c.ID DESC");
const QLatin1String EntriesReaderHead("SELECT m.Text, m.Time, u.UID, m.Type, m.Properties FROM   "
                                      "Messages m, Users u WHERE  m.Chat_ID = ");
const QLatin1String EntriesReaderTail(" AND m.User_ID = u.ID ORDER BY m.ID");
const QLatin1String ChatById("SELECT ID FROM   Chats WHERE  ID = ");
const QLatin1String LastChatOwner("SELECT max(c.ID) FROM   Users u1, Chats c, UserToChat utc, "
                                  "Users u2 WHERE  u1.UID      = '");
const QLatin1String LastChatProtocol("'   AND u1.Protocol = '");
const QLatin1String LastChatRecipient(
    "' AND u1.ID       = c.Owner_ID        AND c.ID        = utc.Chat_ID       AND utc.User_ID "
    "= u2.ID             AND u2.UID      = '");

const QLatin1String DeleteChat("DELETE FROM  Chats WHERE ID = ");
const QLatin1String DeleteChatWordLinks("DELETE FROM  WordToMessage WHERE Message_ID IN (SELECT "
                                        "ID FROM Messages WHERE Chat_ID = ");
const QLatin1String DeleteChatMessages("DELETE FROM  Messages WHERE Chat_ID = ");
const QLatin1String DeleteChatRecipients("DELETE FROM  UserToChat WHERE Chat_ID = ");
// Words stay while a message or an SMS uses them: the dictionary is shared
// with the SMS index. Two NOT IN tests, so that each is answered by the link
// table's own index instead of a list of every link.
const QLatin1String PruneWords("DELETE FROM Words WHERE ID NOT IN (SELECT Word_ID FROM "
                               "WordToMessage) AND ID NOT IN (SELECT Word_ID FROM WordToSMS)");
const QLatin1String PruneUsers("DELETE FROM Users WHERE ID NOT IN ( SELECT User_ID FROM "
                               "UserToChat UNION SELECT Owner_ID FROM Chats )");

VellArchiveBackendSearchCriteria noCriteria()
{
    return VellArchiveBackendSearchCriteria {};
}

QDateTime storedTime(const QString &text)
{
    return QDateTime::fromString(text, Qt::DateFormat(VellArchiveModule::ARCHIVE_TIME_FORMAT));
}

} // namespace

QList<VellArchiveBackendConversation> VellArchiveModule::readChatsFromDB(
    const QString &idSelection, bool withEntries, bool caseSensitive) const
{
    if (!connection) {
        return {};
    }
    const QString sql = ChatsReaderHead + idSelection + ChatsReaderTail;
    if (caseSensitive) {
        setCaseSensitive(true);
    }
    const Result result(connection->query(sql));
    if (caseSensitive) {
        setCaseSensitive(false);
    }
    if (!result || result->isEmpty()) {
        return {};
    }

    // One row per (conversation, recipient), grouped by the descending ID.
    QList<VellArchiveBackendConversation> conversations;
    try {
        QStringList recipients;
        const int rows = result->rowCount();
        for (int row = 0; row < rows; ++row) {
            const int id = strToInt(result->value(row, 0));
            recipients.append(result->value(row, 5));
            if (row + 1 < rows && strToInt(result->value(row + 1, 0)) == id) {
                continue;
            }
            conversations.append(VellArchiveBackendConversation(id, result->value(row, 4),
                result->value(row, 3), recipients, storedTime(result->value(row, 1)),
                VellArchiveBackendConversation::Type(strToInt(result->value(row, 2)))));
            recipients.clear();
        }
    } catch (const VellArchiveCastException &) {
        return {};
    }

    if (withEntries) {
        for (auto conversation = conversations.begin(); conversation != conversations.end();
             ++conversation) {
            if (!readChatMessages(conversation)) {
                return {};
            }
        }
    }
    return conversations;
}

bool VellArchiveModule::readChatMessages(
    QList<VellArchiveBackendConversation>::iterator conversation) const
{
    const Result result(connection->query(
        EntriesReaderHead + QString::number(conversation->getId()) + EntriesReaderTail));
    if (!result) {
        return false;
    }
    try {
        for (int row = 0; row < result->rowCount(); ++row) {
            conversation->addEntry(result->value(row, 2), result->value(row, 0),
                storedTime(result->value(row, 1)), result->value(row, 4),
                VellArchiveBackendConversationEntry::Type(strToInt(result->value(row, 3))));
        }
    } catch (const VellArchiveCastException &) {
        return false;
    }
    return true;
}

bool VellArchiveModule::execAll(const QStringList &statements) const
{
    return std::all_of(statements.cbegin(), statements.cend(),
        [this](const QString &statement) { return connection->exec(statement) != -1; });
}

bool VellArchiveModule::removeChatsFromDB(const QList<int> &ids) const
{
    for (const int id : ids) {
        if (chats.isChat(id)) {
            continue; // still being recorded in this run
        }
        const QString number = QString::number(id);
        if (!execAll({DeleteChat + number, DeleteChatWordLinks + number + Close,
                DeleteChatMessages + number, DeleteChatRecipients + number})) {
            return false;
        }
    }
    return execAll({PruneWords, PruneUsers});
}

QList<VellArchiveBackendConversation> VellArchiveModule::getAllConversations(bool withEntries) const
{
    if (!connection) {
        return {};
    }
    return readChatsFromDB(createQuerySearchChats(noCriteria()), withEntries, true);
}

VellArchiveBackendConversation VellArchiveModule::getConversation(int id, bool withEntries) const
{
    if (!connection) {
        return emptyConversation();
    }
    const QList<VellArchiveBackendConversation> found
        = readChatsFromDB(ChatById + QString::number(id), withEntries, true);
    return found.size() == 1 ? found.first() : emptyConversation();
}

QList<VellArchiveBackendConversation> VellArchiveModule::getConversationsForProtocol(
    const QString &protocol, bool withEntries) const
{
    if (!connection || protocol.isEmpty()) {
        return {};
    }
    VellArchiveBackendSearchCriteria criteria = noCriteria();
    criteria.protocol = protocol;
    return readChatsFromDB(createQuerySearchChats(criteria), withEntries, true);
}

QList<VellArchiveBackendConversation> VellArchiveModule::getConversationsForAccount(
    const QString &protocol, const QString &ownerUid, bool withEntries) const
{
    if (!connection || protocol.isEmpty() || ownerUid.isEmpty()) {
        return {};
    }
    VellArchiveBackendSearchCriteria criteria = noCriteria();
    criteria.protocol = protocol;
    criteria.ownerUid = ownerUid;
    return readChatsFromDB(createQuerySearchChats(criteria), withEntries, true);
}

QList<VellArchiveBackendConversation> VellArchiveModule::getConversationsForRecipients(
    const QString &protocol, const QString &ownerUid, const QStringList &recipients,
    bool withEntries) const
{
    if (!connection || protocol.isEmpty() || ownerUid.isEmpty() || recipients.isEmpty()) {
        return {};
    }
    VellArchiveBackendSearchCriteria criteria = noCriteria();
    criteria.protocol = protocol;
    criteria.ownerUid = ownerUid;
    criteria.recipients = recipients;
    criteria.recipientsMode = 1; // every listed recipient
    return readChatsFromDB(createQuerySearchChats(criteria), withEntries, true);
}

QList<VellArchiveBackendConversation> VellArchiveModule::getConversationsForType(
    VellArchiveBackendConversation::Type type, bool withEntries) const
{
    if (!connection) {
        return {};
    }
    VellArchiveBackendSearchCriteria criteria = noCriteria();
    criteria.types = {type};
    return readChatsFromDB(createQuerySearchChats(criteria), withEntries, true);
}

VellArchiveBackendConversation VellArchiveModule::getLastConversationForRecipient(
    const QString &protocol, const QString &ownerUid, const QString &recipientUid,
    bool withEntries) const
{
    if (!connection || protocol.isEmpty() || ownerUid.isEmpty() || recipientUid.isEmpty()) {
        return emptyConversation();
    }
    // max() of no rows is NULL, and "IN (NULL)" selects nothing.
    const QList<VellArchiveBackendConversation> found
        = readChatsFromDB(LastChatOwner + masked(ownerUid) + LastChatProtocol + masked(protocol)
                + LastChatRecipient + masked(recipientUid) + Apostrophe,
            withEntries, true);
    return found.isEmpty() ? emptyConversation() : found.first();
}

void VellArchiveModule::removeConversation(int id)
{
    if (!connection || id <= 0) {
        return;
    }
    VellArchiveTransactionGuard guard(connection.get(), true);
    // Pruning may have deleted Users rows: the set follows the committed table.
    if (removeChatsFromDB({id}) && guard.commit()) {
        readAllUsersFromDB();
    }
}

// --- Search and bulk removal ------------------------------------------------------------

QList<VellArchiveBackendConversation> VellArchiveModule::searchForConversations(
    const VellArchiveBackendSearchCriteria &criteria, bool withEntries) const
{
    if (!connection) {
        return {};
    }
    const QString idQuery = createQuerySearchChats(criteria);
    if (idQuery.isEmpty()) {
        return {};
    }
    return readChatsFromDB(idQuery, withEntries, true);
}

void VellArchiveModule::removeConversations(const VellArchiveBackendSearchCriteria &criteria)
{
    if (!connection) {
        return;
    }
    const QString idQuery = createQuerySearchChats(criteria);
    if (idQuery.isEmpty()) {
        return;
    }
    // The same case-sensitive matching as searchForConversations: a removal
    // takes exactly the conversations that the search shows for its criteria.
    setCaseSensitive(true);
    const QList<int> ids = readChatsIndexesFromDB(idQuery);
    setCaseSensitive(false);

    VellArchiveTransactionGuard guard(connection.get(), true);
    if (removeChatsFromDB(ids) && guard.commit()) {
        readAllUsersFromDB();
    }
}

QList<VellArchiveBackendSMS> VellArchiveModule::searchForTextMessages(
    const VellArchiveBackendSearchCriteria &criteria, bool withBody) const
{
    if (!connection) {
        return {};
    }
    const QString idQuery = createQuerySearchSMS(criteria);
    if (idQuery.isEmpty()) {
        return {};
    }
    const QString sql = withBody
        ? QStringLiteral("SELECT s.ID, s.Time, s.Sender, m.Body FROM SMS s JOIN SMS_Message m ON "
                         "m.SMS_ID = s.ID WHERE s.ID IN (")
            + idQuery + Close
        : QStringLiteral("SELECT s.ID, s.Time, s.Sender FROM SMS s WHERE s.ID IN (") + idQuery
            + Close;
    return readSMSFromDB(sql, withBody, 2, 1);
}

void VellArchiveModule::removeSMS(const VellArchiveBackendSearchCriteria &criteria)
{
    if (!connection) {
        return;
    }
    const QString idQuery = createQuerySearchSMS(criteria);
    if (idQuery.isEmpty()) {
        return;
    }
    const QString ids = readSMSIndexesFromDB(idQuery).join(QLatin1Char(','));

    VellArchiveTransactionGuard guard(connection.get(), true);
    if (execAll({QStringLiteral("DELETE FROM SMS WHERE ID IN (") + ids + Close,
            QStringLiteral("DELETE FROM SMS_Recipient WHERE SMS_ID IN (") + ids + Close,
            QStringLiteral("DELETE FROM SMS_Message WHERE SMS_ID IN (") + ids + Close,
            QStringLiteral("DELETE FROM WordToSMS WHERE SMS_ID IN (") + ids + Close})) {
        guard.commit();
    }
}

// --- SMS ---------------------------------------------------------------------------------

int VellArchiveModule::insertSMSToDB(const QString &sender, const QDateTime &time) const
{
    return insertOneRow(QStringLiteral("INSERT INTO SMS(ID, Time, Sender) VALUES (")
        + QStringLiteral("NULL, ") + quoted(timeText(time)) + QStringLiteral(", ") + quoted(sender)
        + QStringLiteral(")"));
}

int VellArchiveModule::insertSMSRecipientToDB(const QString &name, int smsId) const
{
    return insertRow(QStringLiteral("INSERT INTO SMS_Recipient(ID, SMS_ID, Name) VALUES (")
        + QStringLiteral("NULL, ") + QString::number(smsId) + QStringLiteral(", ") + quoted(name)
        + QStringLiteral(")"));
}

int VellArchiveModule::insertSMSMessageToDB(const QString &body, int smsId) const
{
    return insertRow(QStringLiteral("INSERT INTO SMS_Message(ID, SMS_ID, Body) VALUES (")
        + QStringLiteral("NULL, ") + QString::number(smsId) + QStringLiteral(", ") + quoted(body)
        + QStringLiteral(")"));
}

int VellArchiveModule::insertWordToSMSRowToDB(int wordId, int smsId) const
{
    return insertOneRow(QStringLiteral("INSERT INTO WordToSMS(Word_ID, SMS_ID) VALUES(")
        + QString::number(wordId) + QStringLiteral(", ") + QString::number(smsId)
        + QStringLiteral(")"));
}

bool VellArchiveModule::writeSMSIndexWordsToDB(const QString &body, int smsId) const
{
    return writeWordsToDB(body, smsId, &VellArchiveModule::insertWordToSMSRowToDB);
}

int VellArchiveModule::addSMS(const QString &sender, const QStringList &recipients,
    const QString &body, const QDateTime &time)
{
    if (!connection) {
        return 0;
    }
    VellArchiveTransactionGuard guard(connection.get(), true);
    const int smsId = insertSMSToDB(sender, time);
    if (smsId == 0 || !writeSMSIndexWordsToDB(body, smsId)
        || insertSMSMessageToDB(body, smsId) == 0) {
        return 0;
    }
    for (const QString &name : recipients) {
        if (insertSMSRecipientToDB(name, smsId) == 0) {
            return 0;
        }
    }
    return guard.commit() ? smsId : 0;
}

QStringList VellArchiveModule::readSMSRecipientsFromDB(const QString &smsId) const
{
    QStringList names;
    const Result result(connection->query(
        QStringLiteral("SELECT Name FROM SMS_Recipient WHERE SMS_ID = ") + smsId));
    if (result) {
        for (int row = 0; row < result->rowCount(); ++row) {
            names.append(result->value(row, 0));
        }
    }
    return names;
}

QList<VellArchiveBackendSMS> VellArchiveModule::readSMSFromDB(
    const QString &sql, bool withBody, int senderColumn, int timeColumn) const
{
    const Result result(connection->query(sql));
    if (!result || result->isEmpty()) {
        return {};
    }
    QList<VellArchiveBackendSMS> messages;
    try {
        for (int row = 0; row < result->rowCount(); ++row) {
            const QString idText = result->value(row, 0);
            const int id = strToInt(idText);
            messages.append(VellArchiveBackendSMS(id, result->value(row, senderColumn),
                withBody ? result->value(row, 3) : QString(), readSMSRecipientsFromDB(idText),
                storedTime(result->value(row, timeColumn))));
        }
    } catch (const VellArchiveCastException &) {
        return {};
    }
    return messages;
}

QList<VellArchiveBackendSMS> VellArchiveModule::getAllTextMessages(bool withBody)
{
    if (!connection) {
        return {};
    }
    return readSMSFromDB(withBody ? QStringLiteral("SELECT s.ID, s.Sender, s.Time, m.Body FROM SMS "
                                                   "s JOIN SMS_Message m ON m.SMS_ID = s.ID")
                                  : QStringLiteral("SELECT ID, Sender, Time FROM SMS"),
        withBody, 1, 2);
}

QStringList VellArchiveModule::getSMSRecipients() const
{
    if (!connection) {
        return {};
    }
    QStringList names;
    const Result result(
        connection->query(QStringLiteral("SELECT DISTINCT Name FROM SMS_Recipient")));
    if (result) {
        for (int row = 0; row < result->rowCount(); ++row) {
            names.append(result->value(row, 0));
        }
    }
    return names;
}

void VellArchiveModule::removeSMS(int id)
{
    if (!connection || id <= 0) {
        return;
    }
    const QString number = QString::number(id);
    VellArchiveTransactionGuard guard(connection.get(), true);
    if (execAll({QStringLiteral("DELETE FROM SMS WHERE ID = ") + number,
            QStringLiteral("DELETE FROM SMS_Recipient WHERE SMS_ID = ") + number,
            QStringLiteral("DELETE FROM SMS_Message WHERE SMS_ID = ") + number,
            QStringLiteral("DELETE FROM WordToSMS WHERE SMS_ID = ") + number})) {
        guard.commit();
    }
}

} // namespace VellArchive
