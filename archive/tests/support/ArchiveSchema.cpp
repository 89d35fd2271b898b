#include "ArchiveSchema.h"

#include "SqliteProbe.h"

namespace ArchiveSchema {

QStringList expected()
{
    // The second SMSId (on SMS_Message) found the first one and created nothing;
    // so did the second WordToMessageIndex1.
    return {
        "CREATE TABLE Chats(ID         INTEGER PRIMARY KEY, Time       TEXT, Type       INTEGER "
        "NOT NULL, Owner_ID   INTEGER NOT NULL, Properties TEXT)",
        "CREATE TABLE Users(ID         INTEGER PRIMARY KEY, UID        TEXT NOT NULL, Protocol   "
        "TEXT NOT NULL, Owner_ID   INTEGER NOT NULL, Properties TEXT)",
        "CREATE TABLE Messages(ID         INTEGER PRIMARY KEY, Text       TEXT NOT NULL, Time      "
        " TEXT NOT NULL, User_ID    INTEGER NOT NULL, Chat_ID    INTEGER NOT NULL, Type       "
        "INTEGER NOT NULL, Properties TEXT)",
        "CREATE TABLE UserToChat(User_ID INTEGER NOT NULL, Chat_ID INTEGER NOT NULL)",
        "CREATE TABLE WordToMessage(Word_ID    INTEGER NOT NULL, Message_ID INTEGER NOT NULL)",
        "CREATE TABLE Words(ID    INTEGER PRIMARY KEY, Word  TEXT NOT NULL)",
        "CREATE TABLE SMS(ID     INTEGER PRIMARY KEY, Time   TEXT NOT NULL, Sender TEXT NOT NULL)",
        "CREATE TABLE SMS_Recipient(ID     INTEGER PRIMARY KEY, SMS_ID INTEGER NOT NULL, Name   "
        "TEXT NOT NULL)",
        "CREATE TABLE SMS_Message(ID     INTEGER PRIMARY KEY, SMS_ID INTEGER NOT NULL, Body   TEXT "
        "NOT NULL)",
        "CREATE TABLE WordToSMS(Word_ID INTEGER NOT NULL, SMS_ID  INTEGER NOT NULL)",
        "CREATE INDEX MessagesIndex ON Messages(Chat_ID)",
        "CREATE INDEX ChatsIndex ON Chats(Owner_ID)",
        "CREATE INDEX UserToChatIndex1 ON UserToChat(User_ID)",
        "CREATE INDEX UserToChatIndex2 ON UserToChat(Chat_ID)",
        "CREATE INDEX WordToMessageIndex1 ON WordToMessage(Word_ID, Message_ID)",
        "CREATE INDEX WordToMessageIndex2 ON WordToMessage(Message_ID)",
        "CREATE INDEX WordsIndex ON Words(Word)",
        "CREATE INDEX SMSTime ON SMS(Time)",
        "CREATE INDEX SMSSender ON SMS(Sender)",
        "CREATE INDEX SMSId ON SMS_Recipient(SMS_ID)",
        "CREATE INDEX SMSName ON SMS_Recipient(Name)",
        "CREATE INDEX WordToSMSIndex1 ON WordToSMS(Word_ID)",
        "CREATE INDEX WordToSMSIndex2 ON WordToSMS(SMS_ID)",
        "CREATE INDEX SMSMessageIndex ON SMS_Message(SMS_ID)",
        "CREATE INDEX WordsNoCaseIndex ON Words(Word COLLATE NOCASE)",
        "CREATE INDEX ChatsTimeIndex ON Chats(Time)",
        "CREATE INDEX UsersUidIndex ON Users(UID)",
    };
}

QStringList stored(SqliteProbe &probe)
{
    return probe.rows(QStringLiteral(
        "SELECT sql FROM sqlite_master WHERE name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY rowid"));
}

QStringList snapshot(SqliteProbe &probe)
{
    QStringList all = stored(probe);
    for (const QString &table : probe.rows(
             QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
                            "LIKE 'sqlite!_%' ESCAPE '!' ORDER BY name"))) {
        all << table << probe.rows(QStringLiteral("SELECT * FROM ") + table);
    }
    return all;
}

} // namespace ArchiveSchema
