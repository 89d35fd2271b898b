#ifndef VELLARCHIVEMODULE_H
#define VELLARCHIVEMODULE_H

#include "VellArchiveBackend.h"
#include "VellArchiveChatsSet.h"
#include "VellArchiveUsersSet.h"
#include "msgvault_export.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace VellDatabase {
class VellDBConnection;
}

namespace VellArchive {

/**
 * The client's message archive over an SQLite database reached through the
 * client's database module. The client constructs it with a database name and
 * then calls only the VellArchiveBackend operations; each writing operation is
 * one transaction.
 *
 * Every value written into a statement is text between apostrophes with its
 * apostrophes doubled (maskApostrophe), or a number, so no value can change a
 * statement's meaning. Times are stored as ISO 8601 text.
 *
 * Without a database (null or closed connection) every operation does nothing
 * and every query answers its empty value.
 */
class MSGVAULT_EXPORT VellArchiveModule : public VellArchiveBackend
{
public:
    /// Format of every stored time (Qt::ISODate).
    static constexpr int ARCHIVE_TIME_FORMAT = Qt::ISODate;
    /// Shortest word that enters the word index.
    static constexpr int ARCHIVE_MIN_INDEX_WORD_LENGTH = 3;
    /// What backendId() answers.
    static const QString ARCHIVE_ID;

    /// Opens @p databaseName, creates the schema if needed and loads the users.
    explicit VellArchiveModule(const QString &databaseName);
    ~VellArchiveModule() override;

    // Recording conversations.
    int startConversation(VellArchiveBackendConversation::Type type, QStringList recipients,
        const QString &ownerUid, const QString &protocol, const QString &properties) override;
    void addEntry(int conversationId, const QString &senderUid, const QString &text,
        const QDateTime &time, const QString &properties,
        VellArchiveBackendConversationEntry::Type type) override;
    void addRecipient(int conversationId, const QString &uid) override;
    void finishConversation(int conversationId) override;

    // Retrieval, search and removal.
    QList<VellArchiveBackendConversation> getAllConversations(bool withEntries) const override;
    VellArchiveBackendConversation getConversation(int id, bool withEntries) const override;
    QList<VellArchiveBackendConversation> getConversationsForProtocol(
        const QString &protocol, bool withEntries) const override;
    QList<VellArchiveBackendConversation> getConversationsForAccount(
        const QString &protocol, const QString &ownerUid, bool withEntries) const override;
    QList<VellArchiveBackendConversation> getConversationsForRecipients(const QString &protocol,
        const QString &ownerUid, const QStringList &recipients, bool withEntries) const override;
    QList<VellArchiveBackendConversation> getConversationsForType(
        VellArchiveBackendConversation::Type type, bool withEntries) const override;
    QList<VellArchiveBackendConversation> searchForConversations(
        const VellArchiveBackendSearchCriteria &criteria, bool withEntries) const override;
    QList<VellArchiveBackendSMS> searchForTextMessages(
        const VellArchiveBackendSearchCriteria &criteria, bool withBody) const override;
    VellArchiveBackendConversation getLastConversationForRecipient(const QString &protocol,
        const QString &ownerUid, const QString &recipientUid, bool withEntries) const override;
    void removeConversation(int id) override;
    void removeConversations(const VellArchiveBackendSearchCriteria &criteria) override;

    // SMS.
    QStringList getSMSRecipients() const override;
    int addSMS(const QString &sender, const QStringList &recipients, const QString &body,
        const QDateTime &time) override;
    QList<VellArchiveBackendSMS> getAllTextMessages(bool withBody) override;
    void removeSMS(int id) override;
    void removeSMS(const VellArchiveBackendSearchCriteria &criteria) override;

    QString backendId() const override;

    /// Creates every table and index that is missing; true when all statements succeeded.
    bool createTables() const;
    /// Refills the users set from the Users table; false when the table could not be read.
    bool readAllUsersFromDB();

    /// Base-10 conversion of a database text; throws VellArchiveCastException when it is none.
    static int strToInt(const QString &text);
    /// @p text with every apostrophe doubled, to stand between apostrophes in a statement.
    static QString maskApostrophe(const QString &text);
    /// Switches LIKE between case-sensitive and case-insensitive matching.
    void setCaseSensitive(bool on) const;
    /// Column 0 of every row of @p sql as numbers; empty when the query fails or a value is none.
    QList<int> readChatsIndexesFromDB(const QString &sql) const;
    /// Column 0 of every row of @p sql as text; empty when the query fails.
    QStringList readSMSIndexesFromDB(const QString &sql) const;

    /// The index words of @p text in text order: runs of word characters
    /// (Unicode letters, digits, marks, '_') of at least
    /// ARCHIVE_MIN_INDEX_WORD_LENGTH characters, letter case kept.
    static QStringList splitMessage(const QString &text);

    // Query builders. Each answers the text of a SELECT whose only column is a
    // conversation, message or SMS ID, meant to stand inside "IN (...)"; the
    // empty text when the criteria are invalid (an unknown recipientsMode or
    // textMode with a list to apply it to). Every text value is written with
    // its apostrophes doubled; '%' and '_' in words and phrases keep their
    // LIKE meaning. The searches and removals run VellArchiveSearchQuery's
    // form of the same queries, which selects the same IDs.

    /// Conversations matching every field of @p criteria that is set.
    static QString createQuerySearchChats(const VellArchiveBackendSearchCriteria &criteria);
    /// The condition "any of @p types" (not a query).
    static QString createQuerySearchChatsTypes(
        const QList<VellArchiveBackendConversation::Type> &types);
    /// Conversations that have at least one of @p uids among their recipients.
    static QString createQuerySearchChatsRecipientsAny(const QStringList &uids);
    /// Conversations that have every one of @p uids among their recipients.
    static QString createQuerySearchChatsRecipientsAll(const QStringList &uids);
    /// Conversations with a message holding any of @p words (whole index words or parts of them).
    static QString createQuerySearchChatsWordsAny(const QStringList &words, bool wholeWords);
    /// Conversations holding every one of @p words, each in some message.
    static QString createQuerySearchChatsWordsAll(const QStringList &words, bool wholeWords);
    /// Messages that hold every one of @p words as whole index words.
    static QString createQuerySearchMessagesWithAllWords(const QStringList &words);
    /// Conversations holding every one of @p phrases, each within one message.
    static QString createQuerySearchChatsPhrases(const QStringList &phrases);
    /// SMS matching every field of @p criteria that applies to SMS.
    static QString createQuerySearchSMS(const VellArchiveBackendSearchCriteria &criteria);
    /// SMS sent to at least one of @p names.
    static QString createQuerySearchSMSRecipientsAny(const QStringList &names);
    /// SMS sent to every one of @p names.
    static QString createQuerySearchSMSRecipientsAll(const QStringList &names);
    /// SMS whose body holds any of @p words (whole index words or parts of them).
    static QString createQuerySearchSMSWordsAny(const QStringList &words, bool wholeWords);
    /// SMS whose body holds every one of @p words.
    static QString createQuerySearchSMSWordsAll(const QStringList &words, bool wholeWords);
    /// SMS whose body holds every one of @p phrases.
    static QString createQuerySearchSMSPhrases(const QStringList &phrases);

private:
    // Row operations: each sends one statement and answers the new row ID, 0 on failure.
    int insertUserRowToDB(const QString &uid, const QString &protocol, int ownerIndex,
        const QString &properties) const;
    int insertChatRowToDB(
        const QDateTime &time, int type, int ownerIndex, const QString &properties) const;
    int insertUserToChatRowToDB(int userIndex, int chatId) const;
    int insertMessageRowToDB(const QString &text, const QDateTime &time, int userIndex, int chatId,
        int type, const QString &properties) const;
    int insertWordRowToDB(const QString &word) const;
    int insertWordToMessageRowToDB(int wordId, int messageId) const;
    bool updateChatTimeInDB(int chatId, const QDateTime &time) const;
    /// The word's ID in the dictionary, 0 when it is not there.
    int getWordIndexFromDB(const QString &word) const;
    /// Links each distinct index word of @p text to the message, adding new words.
    bool writeIndexWordsToDB(const QString &text, int messageId) const;

    // SMS row operations, as the conversation ones above.
    int insertSMSToDB(const QString &sender, const QDateTime &time) const;
    int insertSMSRecipientToDB(const QString &name, int smsId) const;
    int insertSMSMessageToDB(const QString &body, int smsId) const;
    int insertWordToSMSRowToDB(int wordId, int smsId) const;
    /// Links each distinct index word of @p body to the SMS, adding new words.
    bool writeSMSIndexWordsToDB(const QString &body, int smsId) const;

    // Adds the dictionary entries of @p text that are missing and links each
    // distinct word to a message or an SMS through @p link (word ID, owner ID).
    using WordLink = int (VellArchiveModule::*)(int, int) const;
    bool writeWordsToDB(const QString &text, int ownerId, WordLink link) const;

    /// The conversations whose ID @p idSelection yields, newest first, with
    /// their recipients and, with @p withEntries, their entries; LIKE in
    /// @p idSelection compares case-sensitively when @p caseSensitive.
    QList<VellArchiveBackendConversation> readChatsFromDB(
        const QString &idSelection, bool withEntries, bool caseSensitive) const;
    /// Appends to each of @p conversations its stored entries in recording
    /// order, reading them a group of conversations per statement.
    bool readChatMessages(QList<VellArchiveBackendConversation> *conversations) const;
    /// Deletes the conversations (skipping those still open) and prunes the
    /// dictionary and the users that nothing references any more. Opens no
    /// transaction: the caller holds one.
    bool removeChatsFromDB(const QList<int> &ids) const;

    /// The SMS of @p sql (ID, sender, time and, with @p withBody, body in the
    /// given columns), each with its recipients; empty on any failure.
    QList<VellArchiveBackendSMS> readSMSFromDB(
        const QString &sql, bool withBody, int senderColumn, int timeColumn) const;
    /// The recipient names of each SMS of @p smsIds (IDs as the database gave
    /// them), in storing order, by ID; a group of SMS per statement.
    QHash<QString, QStringList> readSMSRecipientsFromDB(const QStringList &smsIds) const;

    // Sends an INSERT that must add exactly one row; its row ID, or 0.
    int insertOneRow(const QString &sql) const;
    // Sends an INSERT judged only by failure (-1); its row ID as the
    // connection answers it (-1 when there is none), or 0.
    int insertRow(const QString &sql) const;

    std::unique_ptr<VellDatabase::VellDBConnection> connection;
    VellArchiveChatsSet chats;
    VellArchiveUsersSet users;

    VellArchiveModule(const VellArchiveModule &) = delete;
    VellArchiveModule &operator=(const VellArchiveModule &) = delete;
};

} // namespace VellArchive

#endif // VELLARCHIVEMODULE_H
