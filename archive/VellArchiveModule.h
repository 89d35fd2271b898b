#ifndef VELLARCHIVEMODULE_H
#define VELLARCHIVEMODULE_H

#include "VellArchiveBackend.h"
#include "VellArchiveChatsSet.h"
#include "VellArchiveUsersSet.h"
#include "msgvault_export.h"

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

    // Sends an INSERT that must add exactly one row; its row ID, or 0.
    int insertOneRow(const QString &sql) const;

    std::unique_ptr<VellDatabase::VellDBConnection> connection;
    VellArchiveChatsSet chats;
    VellArchiveUsersSet users;

    VellArchiveModule(const VellArchiveModule &) = delete;
    VellArchiveModule &operator=(const VellArchiveModule &) = delete;
};

} // namespace VellArchive

#endif // VELLARCHIVEMODULE_H
