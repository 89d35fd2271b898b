#include "VellArchiveModule.h"

#include "VellArchiveCastException.h"
#include "VellArchiveSearchQuery.h"
#include "VellArchiveStatements_p.h"
#include "VellArchiveTransactionGuard.h"
#include "VellDBConnection.h"
#include "VellDBModule.h"
#include "VellDBResult.h"

#include <QFile>
#include <QLatin1String>
#include <QRegExp>
#include <QSet>

#include <algorithm>
#include <memory>

#include <cerrno>
#include <sys/stat.h>

namespace VellArchive {

using VellDatabase::VellDBResult;
using Result = std::unique_ptr<VellDBResult>;
namespace Sql = Statements;

namespace {

// A text value as it stands between the apostrophes of a statement template.
QString masked(const QString &value)
{
    return VellArchiveModule::maskApostrophe(value);
}

QString number(int value)
{
    return QString::number(value);
}

QString timeText(const QDateTime &time)
{
    return time.toString(Qt::DateFormat(VellArchiveModule::ARCHIVE_TIME_FORMAT));
}

VellArchiveBackendConversation emptyConversation()
{
    return VellArchiveBackendConversation();
}

// Whether the archive file may be handed to the database module: a regular
// file, or nothing yet (the module creates it). Opening a FIFO would block
// the client's GUI thread for ever inside the open, and a socket, a device, a
// folder or a dangling link is no archive either, so they are not opened at
// all and the module works as on a file it cannot read.
bool mayOpenArchiveFile(const QString &databaseName)
{
    const QByteArray path = QFile::encodeName(databaseName);
    struct stat entry;
    if (::lstat(path.constData(), &entry) != 0) {
        return errno == ENOENT;
    }
    if (S_ISLNK(entry.st_mode) && ::stat(path.constData(), &entry) != 0) {
        return false; // a link that leads nowhere
    }
    return S_ISREG(entry.st_mode);
}

} // namespace

VellArchiveCastException::~VellArchiveCastException() = default;

const QString VellArchiveModule::ARCHIVE_ID = QStringLiteral("VellArchiveSQLite");

VellArchiveModule::VellArchiveModule(const QString &databaseName)
    : connection(mayOpenArchiveFile(databaseName)
            ? VellDatabase::VellDBModule::getDBConnection(databaseName, false)
            : nullptr)
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
    for (const char *statement : Sql::Schema) {
        if (connection->exec(QLatin1String(statement)) == -1) {
            return false;
        }
    }
    const Result columns(connection->query(Sql::WordIndexColumns));
    if (!columns) {
        return false;
    }
    return columns->value(0, 0) != QLatin1String("1")
        || connection->exec(Sql::CreateWordMessagesIndex) != -1;
}

bool VellArchiveModule::readAllUsersFromDB()
{
    users.clear();
    if (!connection) {
        return false;
    }
    const Result result(connection->query(Sql::SelectUsers));
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
        connection->exec(on ? Sql::CaseSensitiveLikeOn : Sql::CaseSensitiveLikeOff);
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
        Sql::InsertUser.arg(masked(uid), masked(protocol), number(ownerIndex), masked(properties)));
}

int VellArchiveModule::insertChatRowToDB(
    const QDateTime &time, int type, int ownerIndex, const QString &properties) const
{
    return insertOneRow(
        Sql::InsertChat.arg(timeText(time), number(type), number(ownerIndex), masked(properties)));
}

int VellArchiveModule::insertUserToChatRowToDB(int userIndex, int chatId) const
{
    return insertOneRow(Sql::InsertUserToChat.arg(number(userIndex), number(chatId)));
}

int VellArchiveModule::insertMessageRowToDB(const QString &text, const QDateTime &time,
    int userIndex, int chatId, int type, const QString &properties) const
{
    return insertOneRow(Sql::InsertMessage.arg(masked(text), timeText(time), number(userIndex),
        number(chatId), number(type), masked(properties)));
}

int VellArchiveModule::insertRow(const QString &sql) const
{
    return connection->exec(sql) == -1 ? 0 : connection->lastInsertId();
}

int VellArchiveModule::insertWordRowToDB(const QString &word) const
{
    // -1 (no row ID) must not become an ID that links get written with.
    const int id = insertRow(Sql::InsertWord.arg(masked(word)));
    return id == -1 ? 0 : id;
}

int VellArchiveModule::insertWordToMessageRowToDB(int wordId, int messageId) const
{
    return insertOneRow(Sql::InsertWordToMessage.arg(number(wordId), number(messageId)));
}

bool VellArchiveModule::updateChatTimeInDB(int chatId, const QDateTime &time) const
{
    return connection->exec(Sql::UpdateChatTime.arg(timeText(time), number(chatId))) == 1;
}

int VellArchiveModule::getWordIndexFromDB(const QString &word) const
{
    const Result result(connection->query(Sql::SelectWordId.arg(masked(word))));
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
// Conversations and SMS are searched alike: one builder, given the statement
// texts of the kind (Statements::ChatSearch or SmsSearch) and of its word
// conditions. The searches themselves run VellArchiveSearchQuery's own form.

namespace {

VellArchiveSearchQuery chatBuilder()
{
    return VellArchiveSearchQuery(Sql::ChatSearch, Sql::ChatWords);
}

VellArchiveSearchQuery smsBuilder()
{
    return VellArchiveSearchQuery(Sql::SmsSearch, Sql::SmsWords);
}

} // namespace

QString VellArchiveModule::createQuerySearchChats(const VellArchiveBackendSearchCriteria &criteria)
{
    return chatBuilder().matching(criteria);
}

QString VellArchiveModule::createQuerySearchChatsTypes(
    const QList<VellArchiveBackendConversation::Type> &types)
{
    return VellArchiveSearchQuery::types(types);
}

QString VellArchiveModule::createQuerySearchChatsRecipientsAny(const QStringList &uids)
{
    return chatBuilder().recipientsAny(uids);
}

QString VellArchiveModule::createQuerySearchChatsRecipientsAll(const QStringList &uids)
{
    return chatBuilder().recipientsAll(uids);
}

QString VellArchiveModule::createQuerySearchChatsWordsAny(const QStringList &words, bool wholeWords)
{
    return chatBuilder().wordsAny(words, wholeWords);
}

QString VellArchiveModule::createQuerySearchChatsWordsAll(const QStringList &words, bool wholeWords)
{
    return chatBuilder().wordsAll(words, wholeWords);
}

QString VellArchiveModule::createQuerySearchMessagesWithAllWords(const QStringList &words)
{
    return chatBuilder().messagesWithAllWords(words);
}

QString VellArchiveModule::createQuerySearchChatsPhrases(const QStringList &phrases)
{
    return chatBuilder().phrases(phrases);
}

QString VellArchiveModule::createQuerySearchSMS(const VellArchiveBackendSearchCriteria &criteria)
{
    return smsBuilder().matching(criteria);
}

QString VellArchiveModule::createQuerySearchSMSRecipientsAny(const QStringList &names)
{
    return smsBuilder().recipientsAny(names);
}

QString VellArchiveModule::createQuerySearchSMSRecipientsAll(const QStringList &names)
{
    return smsBuilder().recipientsAll(names);
}

QString VellArchiveModule::createQuerySearchSMSWordsAny(const QStringList &words, bool wholeWords)
{
    return smsBuilder().wordsAny(words, wholeWords);
}

QString VellArchiveModule::createQuerySearchSMSWordsAll(const QStringList &words, bool wholeWords)
{
    return smsBuilder().wordsAll(words, wholeWords);
}

QString VellArchiveModule::createQuerySearchSMSPhrases(const QStringList &phrases)
{
    return smsBuilder().phrases(phrases);
}

// --- Conversation retrieval and removal ----------------------------------------------

namespace {

VellArchiveBackendSearchCriteria noCriteria()
{
    return VellArchiveBackendSearchCriteria {};
}

QDateTime storedTime(const QString &text)
{
    return QDateTime::fromString(text, Qt::DateFormat(VellArchiveModule::ARCHIVE_TIME_FORMAT));
}

// Sends each statement template filled with @p ids, in order; false at the first that fails.
template<std::size_t Count>
bool execAll(VellDatabase::VellDBConnection &connection, const char *const (&statements)[Count],
    const QString &ids)
{
    return std::all_of(std::begin(statements), std::end(statements), [&](const char *statement) {
        return connection.exec(QLatin1String(statement).arg(ids)) != -1;
    });
}

// @p ids split into comma-joined lists of at most IdsPerStatement each. One
// statement per group keeps a retrieval of many conversations or SMS to a few
// statements while bounding the rows each result holds at once.
QStringList idGroups(const QStringList &ids)
{
    constexpr int IdsPerStatement = 2000;
    QStringList groups;
    for (int first = 0; first < ids.size(); first += IdsPerStatement) {
        groups.append(ids.mid(first, IdsPerStatement).join(QLatin1Char(',')));
    }
    return groups;
}

} // namespace

QList<VellArchiveBackendConversation> VellArchiveModule::readChatsFromDB(
    const QString &idSelection, bool withEntries, bool caseSensitive) const
{
    if (!connection) {
        return {};
    }
    const QString sql = Sql::ReadChats.arg(idSelection);
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

    if (withEntries && !readChatMessages(&conversations)) {
        return {};
    }
    return conversations;
}

bool VellArchiveModule::readChatMessages(QList<VellArchiveBackendConversation> *conversations) const
{
    QHash<int, VellArchiveBackendConversation *> byId;
    QStringList ids;
    for (VellArchiveBackendConversation &conversation : *conversations) {
        byId.insert(conversation.getId(), &conversation);
        ids.append(number(conversation.getId()));
    }
    for (const QString &group : idGroups(ids)) {
        const Result result(connection->query(Sql::ReadEntries.arg(group)));
        if (!result) {
            return false;
        }
        try {
            for (int row = 0; row < result->rowCount(); ++row) {
                VellArchiveBackendConversation *conversation
                    = byId.value(strToInt(result->value(row, 0)));
                if (!conversation) {
                    return false;
                }
                conversation->addEntry(result->value(row, 3), result->value(row, 1),
                    storedTime(result->value(row, 2)), result->value(row, 5),
                    VellArchiveBackendConversationEntry::Type(strToInt(result->value(row, 4))));
            }
        } catch (const VellArchiveCastException &) {
            return false;
        }
    }
    return true;
}

bool VellArchiveModule::removeChatsFromDB(const QList<int> &ids) const
{
    QStringList finished;
    for (const int id : ids) {
        if (!chats.isChat(id)) { // not still being recorded in this run
            finished.append(number(id));
        }
    }
    for (const QString &group : idGroups(finished)) {
        if (!execAll(*connection, Sql::DeleteChats, group)) {
            return false;
        }
    }
    return connection->exec(Sql::PruneWords) != -1 && connection->exec(Sql::PruneUsers) != -1;
}

QList<VellArchiveBackendConversation> VellArchiveModule::getAllConversations(bool withEntries) const
{
    if (!connection) {
        return {};
    }
    return readChatsFromDB(VellArchiveSearchQuery::conversations(noCriteria()), withEntries, true);
}

VellArchiveBackendConversation VellArchiveModule::getConversation(int id, bool withEntries) const
{
    if (!connection) {
        return emptyConversation();
    }
    const QList<VellArchiveBackendConversation> found
        = readChatsFromDB(Sql::ChatById.arg(number(id)), withEntries, true);
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
    return readChatsFromDB(VellArchiveSearchQuery::conversations(criteria), withEntries, true);
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
    return readChatsFromDB(VellArchiveSearchQuery::conversations(criteria), withEntries, true);
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
    return readChatsFromDB(VellArchiveSearchQuery::conversations(criteria), withEntries, true);
}

QList<VellArchiveBackendConversation> VellArchiveModule::getConversationsForType(
    VellArchiveBackendConversation::Type type, bool withEntries) const
{
    if (!connection) {
        return {};
    }
    VellArchiveBackendSearchCriteria criteria = noCriteria();
    criteria.types = {type};
    return readChatsFromDB(VellArchiveSearchQuery::conversations(criteria), withEntries, true);
}

VellArchiveBackendConversation VellArchiveModule::getLastConversationForRecipient(
    const QString &protocol, const QString &ownerUid, const QString &recipientUid,
    bool withEntries) const
{
    if (!connection || protocol.isEmpty() || ownerUid.isEmpty() || recipientUid.isEmpty()) {
        return emptyConversation();
    }
    const QList<VellArchiveBackendConversation> found = readChatsFromDB(
        Sql::LastChatForRecipient.arg(masked(ownerUid), masked(protocol), masked(recipientUid)),
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
    const QString idQuery = VellArchiveSearchQuery::conversations(criteria);
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
    const QString idQuery = VellArchiveSearchQuery::conversations(criteria);
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
    const QString idQuery = VellArchiveSearchQuery::textMessages(criteria);
    if (idQuery.isEmpty()) {
        return {};
    }
    return readSMSFromDB(
        (withBody ? Sql::SearchSmsWithBody : Sql::SearchSms).arg(idQuery), withBody, 2, 1);
}

void VellArchiveModule::removeSMS(const VellArchiveBackendSearchCriteria &criteria)
{
    if (!connection) {
        return;
    }
    const QString idQuery = VellArchiveSearchQuery::textMessages(criteria);
    if (idQuery.isEmpty()) {
        return;
    }
    const QString ids = readSMSIndexesFromDB(idQuery).join(QLatin1Char(','));

    VellArchiveTransactionGuard guard(connection.get(), true);
    if (execAll(*connection, Sql::DeleteSmsList, ids)) {
        guard.commit();
    }
}

// --- SMS ---------------------------------------------------------------------------------

int VellArchiveModule::insertSMSToDB(const QString &sender, const QDateTime &time) const
{
    return insertOneRow(Sql::InsertSms.arg(timeText(time), masked(sender)));
}

int VellArchiveModule::insertSMSRecipientToDB(const QString &name, int smsId) const
{
    return insertRow(Sql::InsertSmsRecipient.arg(number(smsId), masked(name)));
}

int VellArchiveModule::insertSMSMessageToDB(const QString &body, int smsId) const
{
    return insertRow(Sql::InsertSmsMessage.arg(number(smsId), masked(body)));
}

int VellArchiveModule::insertWordToSMSRowToDB(int wordId, int smsId) const
{
    return insertOneRow(Sql::InsertWordToSms.arg(number(wordId), number(smsId)));
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

QHash<QString, QStringList> VellArchiveModule::readSMSRecipientsFromDB(
    const QStringList &smsIds) const
{
    QHash<QString, QStringList> names;
    for (const QString &group : idGroups(smsIds)) {
        const Result result(connection->query(Sql::SelectSmsRecipients.arg(group)));
        if (!result) {
            continue; // those SMS show no recipients, as one unreadable SMS would
        }
        for (int row = 0; row < result->rowCount(); ++row) {
            names[result->value(row, 0)].append(result->value(row, 1));
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
    QStringList ids;
    for (int row = 0; row < result->rowCount(); ++row) {
        ids.append(result->value(row, 0));
    }
    const QHash<QString, QStringList> recipients = readSMSRecipientsFromDB(ids);
    QList<VellArchiveBackendSMS> messages;
    try {
        for (int row = 0; row < result->rowCount(); ++row) {
            const QString &idText = ids.at(row);
            messages.append(VellArchiveBackendSMS(strToInt(idText),
                result->value(row, senderColumn), withBody ? result->value(row, 3) : QString(),
                recipients.value(idText), storedTime(result->value(row, timeColumn))));
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
    return readSMSFromDB(withBody ? Sql::SelectAllSmsWithBody : Sql::SelectAllSms, withBody, 1, 2);
}

QStringList VellArchiveModule::getSMSRecipients() const
{
    if (!connection) {
        return {};
    }
    QStringList names;
    const Result result(connection->query(Sql::SelectSmsRecipientNames));
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
    VellArchiveTransactionGuard guard(connection.get(), true);
    if (execAll(*connection, Sql::DeleteSms, number(id))) {
        guard.commit();
    }
}

} // namespace VellArchive
