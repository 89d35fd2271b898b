#ifndef VELLARCHIVESTATEMENTS_P_H
#define VELLARCHIVESTATEMENTS_P_H

#include <QLatin1String>

// Every statement the archive sends, each written out whole with its blanks,
// so that it reads and compares as the database receives it. A template is
// filled by one multi-argument QString::arg() call: %1, %2, ... stand for the
// values in order, text values already masked (apostrophes doubled) and
// written between the apostrophes that the template holds. One call replaces
// every marker in a single pass, so a value holding "%1" or "%" is written as
// it is. "'%%1%'" is a word-part pattern: the value between two LIKE wildcards.

// clang-format off
namespace VellArchive {
namespace Statements {

// --- Schema, in the order it is created ---------------------------------------
// Index names are global to the database: the second "SMSId" finds the first
// one in place and creates nothing.
const char *const Schema[] = {
    R"(CREATE TABLE IF NOT EXISTS Chats(ID         INTEGER PRIMARY KEY, Time       TEXT, Type       INTEGER NOT NULL, Owner_ID   INTEGER NOT NULL, Properties TEXT))",
    R"(CREATE TABLE IF NOT EXISTS Users(ID         INTEGER PRIMARY KEY, UID        TEXT NOT NULL, Protocol   TEXT NOT NULL, Owner_ID   INTEGER NOT NULL, Properties TEXT))",
    R"(CREATE TABLE IF NOT EXISTS Messages(ID         INTEGER PRIMARY KEY, Text       TEXT NOT NULL, Time       TEXT NOT NULL, User_ID    INTEGER NOT NULL, Chat_ID    INTEGER NOT NULL, Type       INTEGER NOT NULL, Properties TEXT))",
    R"(CREATE TABLE IF NOT EXISTS UserToChat(User_ID INTEGER NOT NULL, Chat_ID INTEGER NOT NULL))",
    R"(CREATE TABLE IF NOT EXISTS WordToMessage(Word_ID    INTEGER NOT NULL, Message_ID INTEGER NOT NULL))",
    R"(CREATE TABLE IF NOT EXISTS Words(ID    INTEGER PRIMARY KEY, Word  TEXT NOT NULL))",
    R"(CREATE TABLE IF NOT EXISTS SMS(ID     INTEGER PRIMARY KEY, Time   TEXT NOT NULL, Sender TEXT NOT NULL))",
    R"(CREATE TABLE IF NOT EXISTS SMS_Recipient(ID     INTEGER PRIMARY KEY, SMS_ID INTEGER NOT NULL, Name   TEXT NOT NULL))",
    R"(CREATE TABLE IF NOT EXISTS SMS_Message(ID     INTEGER PRIMARY KEY, SMS_ID INTEGER NOT NULL, Body   TEXT NOT NULL))",
    R"(CREATE TABLE IF NOT EXISTS WordToSMS(Word_ID INTEGER NOT NULL, SMS_ID  INTEGER NOT NULL))",
    R"(CREATE INDEX IF NOT EXISTS MessagesIndex ON Messages(Chat_ID))",
    R"(CREATE INDEX IF NOT EXISTS ChatsIndex ON Chats(Owner_ID))",
    R"(CREATE INDEX IF NOT EXISTS UserToChatIndex1 ON UserToChat(User_ID))",
    R"(CREATE INDEX IF NOT EXISTS UserToChatIndex2 ON UserToChat(Chat_ID))",
    // Created first under the name of the next one, which then finds it in
    // place: one index answers both the lookups by word and a word's messages
    // (from the index alone). Every link written or removed changes each index
    // over Word_ID at a random place, so a second one would double that cost.
    R"(CREATE INDEX IF NOT EXISTS WordToMessageIndex1 ON WordToMessage(Word_ID, Message_ID))",
    R"(CREATE INDEX IF NOT EXISTS WordToMessageIndex1 ON WordToMessage(Word_ID))",
    R"(CREATE INDEX IF NOT EXISTS WordToMessageIndex2 ON WordToMessage(Message_ID))",
    R"(CREATE INDEX IF NOT EXISTS WordsIndex ON Words(Word))",
    R"(CREATE INDEX IF NOT EXISTS SMSTime ON SMS(Time))",
    R"(CREATE INDEX IF NOT EXISTS SMSSender ON SMS(Sender))",
    R"(CREATE INDEX IF NOT EXISTS SMSId ON SMS_Recipient(SMS_ID))",
    R"(CREATE INDEX IF NOT EXISTS SMSName ON SMS_Recipient(Name))",
    R"(CREATE INDEX IF NOT EXISTS SMSId ON SMS_Message(SMS_ID))",
    R"(CREATE INDEX IF NOT EXISTS WordToSMSIndex1 ON WordToSMS(Word_ID))",
    R"(CREATE INDEX IF NOT EXISTS WordToSMSIndex2 ON WordToSMS(SMS_ID))",
    // Indexes of this module's own, after the ones every archive has:
    // - SMS_Message(SMS_ID), which the second "SMSId" above never created; the
    //   body join and every SMS removal would scan the table without it;
    // - Words(Word) without letter case, for the SMS search, whose LIKE is
    //   case-insensitive and cannot use WordsIndex;
    // - Chats(Time), for searches within a time range;
    // - Users(UID), for searches by account or recipient, which would
    //   otherwise scan the users or every recipient link.
    R"(CREATE INDEX IF NOT EXISTS SMSMessageIndex ON SMS_Message(SMS_ID))",
    R"(CREATE INDEX IF NOT EXISTS WordsNoCaseIndex ON Words(Word COLLATE NOCASE))",
    R"(CREATE INDEX IF NOT EXISTS ChatsTimeIndex ON Chats(Time))",
    R"(CREATE INDEX IF NOT EXISTS UsersUidIndex ON Users(UID))",
};

// An archive whose WordToMessageIndex1 holds Word_ID alone (made before the
// index above was) gets the index that answers a word's messages by itself.
const QLatin1String WordIndexColumns(
    R"(SELECT count(*) FROM pragma_index_info('WordToMessageIndex1'))");
const QLatin1String CreateWordMessagesIndex(
    R"(CREATE INDEX IF NOT EXISTS WordToMessageWordIndex ON WordToMessage(Word_ID, Message_ID))");

const QLatin1String SelectUsers(R"(SELECT ID, UID, Protocol, Owner_ID FROM Users)");
const QLatin1String CaseSensitiveLikeOn(R"(PRAGMA case_sensitive_like = 1)");
const QLatin1String CaseSensitiveLikeOff(R"(PRAGMA case_sensitive_like = 0)");

// --- Recording -----------------------------------------------------------------
// uid, protocol, owner index, properties
const QLatin1String InsertUser(R"(INSERT INTO Users(ID, UID, Protocol, Owner_ID, Properties) VALUES(NULL, '%1', '%2', %3, '%4'))");
// time, type, owner index, properties
const QLatin1String InsertChat(
    R"(INSERT INTO Chats(ID, Time, Type, Owner_ID, Properties) VALUES(NULL, '%1', %2, %3, '%4'))");
// user index, conversation ID
const QLatin1String InsertUserToChat(R"(INSERT INTO UserToChat(User_ID, Chat_ID) VALUES(%1, %2))");
// text, time, sender index, conversation ID, type, properties
const QLatin1String InsertMessage(R"(INSERT INTO Messages(ID, Text, Time, User_ID, Chat_ID, Type, Properties) VALUES(NULL, '%1', '%2', %3, %4, %5, '%6'))");
// word
const QLatin1String InsertWord(R"(INSERT INTO Words(ID, Word) VALUES(NULL, '%1'))");
// word ID, message ID
const QLatin1String InsertWordToMessage(
    R"(INSERT INTO WordToMessage(Word_ID, Message_ID) VALUES(%1, %2))");
// time, conversation ID
const QLatin1String UpdateChatTime(R"(UPDATE Chats SET    Time = '%1' WHERE  ID   = %2)");
// word
const QLatin1String SelectWordId(R"(SELECT ID FROM   Words WHERE  Word = '%1')");

// --- SMS -------------------------------------------------------------------------
// time, sender
const QLatin1String InsertSms(R"(INSERT INTO SMS(ID, Time, Sender) VALUES (NULL, '%1', '%2'))");
// SMS ID, name
const QLatin1String InsertSmsRecipient(
    R"(INSERT INTO SMS_Recipient(ID, SMS_ID, Name) VALUES (NULL, %1, '%2'))");
// SMS ID, body
const QLatin1String InsertSmsMessage(
    R"(INSERT INTO SMS_Message(ID, SMS_ID, Body) VALUES (NULL, %1, '%2'))");
// word ID, SMS ID
const QLatin1String InsertWordToSms(R"(INSERT INTO WordToSMS(Word_ID, SMS_ID) VALUES(%1, %2))");
const QLatin1String SelectAllSmsWithBody(
    R"(SELECT s.ID, s.Sender, s.Time, m.Body FROM SMS s JOIN SMS_Message m ON m.SMS_ID = s.ID)");
const QLatin1String SelectAllSms(R"(SELECT ID, Sender, Time FROM SMS)");
// SMS IDs joined by ","; each SMS's names come in storing order
const QLatin1String SelectSmsRecipients(R"(SELECT SMS_ID, Name FROM SMS_Recipient WHERE SMS_ID IN (%1) ORDER BY SMS_ID, ID)");
const QLatin1String SelectSmsRecipientNames(R"(SELECT DISTINCT Name FROM SMS_Recipient)");
// ID query
const QLatin1String SearchSmsWithBody(R"(SELECT s.ID, s.Time, s.Sender, m.Body FROM SMS s JOIN SMS_Message m ON m.SMS_ID = s.ID WHERE s.ID IN (%1))");
const QLatin1String SearchSms(R"(SELECT s.ID, s.Time, s.Sender FROM SMS s WHERE s.ID IN (%1))");
// One SMS ID, or a list of them joined by "," ("= %1" or "IN (%1)").
const char *const DeleteSms[] = {
    R"(DELETE FROM SMS WHERE ID = %1)",
    R"(DELETE FROM SMS_Recipient WHERE SMS_ID = %1)",
    R"(DELETE FROM SMS_Message WHERE SMS_ID = %1)",
    R"(DELETE FROM WordToSMS WHERE SMS_ID = %1)",
};
const char *const DeleteSmsList[] = {
    R"(DELETE FROM SMS WHERE ID IN (%1))",
    R"(DELETE FROM SMS_Recipient WHERE SMS_ID IN (%1))",
    R"(DELETE FROM SMS_Message WHERE SMS_ID IN (%1))",
    R"(DELETE FROM WordToSMS WHERE SMS_ID IN (%1))",
};

// --- Conversation retrieval and removal -----------------------------------------
// ID query
const QLatin1String ReadChats(
    R"(SELECT c.ID, c.Time, c.Type, u1.UID, u1.Protocol, u2.UID FROM   Chats c, UserToChat utc, Users u1, Users u2 WHERE  c.ID IN (%1) AND c.Owner_ID = u1.ID                AND c.ID = utc.Chat_ID                AND utc.User_ID = u2.ID ORDER BY c.ID DESC)");
// conversation IDs joined by ","; each conversation's entries come in recording order
const QLatin1String ReadEntries(R"(SELECT m.Chat_ID, m.Text, m.Time, u.UID, m.Type, m.Properties FROM   Messages m, Users u WHERE  m.Chat_ID IN (%1) AND m.User_ID = u.ID ORDER BY m.Chat_ID, m.ID)");
// conversation ID
const QLatin1String ChatById(R"(SELECT ID FROM   Chats WHERE  ID = %1)");
// owner UID, protocol, recipient UID. max() of no rows is NULL, and "IN (NULL)" selects nothing.
const QLatin1String LastChatForRecipient(
    R"(SELECT max(c.ID) FROM   Users u1, Chats c, UserToChat utc, Users u2 WHERE  u1.UID      = '%1'   AND u1.Protocol = '%2' AND u1.ID       = c.Owner_ID        AND c.ID        = utc.Chat_ID       AND utc.User_ID = u2.ID             AND u2.UID      = '%3')");
// conversation IDs joined by ","
const char *const DeleteChats[] = {
    R"(DELETE FROM  Chats WHERE ID IN (%1))",
    R"(DELETE FROM  WordToMessage WHERE Message_ID IN (SELECT ID FROM Messages WHERE Chat_ID IN (%1)))",
    R"(DELETE FROM  Messages WHERE Chat_ID IN (%1))",
    R"(DELETE FROM  UserToChat WHERE Chat_ID IN (%1))",
};
// Words stay while a message or an SMS uses them: the dictionary is shared
// with the SMS index. Two NOT IN tests, so that each is answered by the link
// table's own index instead of a list of every link.
const QLatin1String PruneWords(R"(DELETE FROM Words WHERE ID NOT IN (SELECT Word_ID FROM WordToMessage) AND ID NOT IN (SELECT Word_ID FROM WordToSMS))");
const QLatin1String PruneUsers(R"(DELETE FROM Users WHERE ID NOT IN ( SELECT User_ID FROM UserToChat UNION SELECT Owner_ID FROM Chats ))");

// --- Search: conversation and SMS ID queries --------------------------------------
// A value in a list of "IN (...)", and the joiners of lists and sub-queries.
const QLatin1String ListItem(R"('%1')");
const QLatin1String ListComma(R"(, )");
const QLatin1String Or(R"( OR )");
const QLatin1String Intersect(R"( INTERSECT )");
const QLatin1String Union(R"( UNION )");

// A group of terms of a longer compound SELECT, standing as one term of it.
const QLatin1String CompoundGroup(R"(SELECT * FROM (%1))");

// conversation type
const QLatin1String ChatType(R"(c.Type = %1)");

/**
 * The word conditions of one kind of ID query, each a template of one word
 * or word part: matching entries of the Words dictionary and their links.
 */
struct WordTexts
{
    const char *wordAny; // one word, R"( UNION )"-joined
    const char *wordAll; // one word, R"( INTERSECT )"-joined
    const char *wordPartAny;
    const char *wordPartAll;
    const char *messagesWithWord; // messages holding a word (conversations only)
    // The conversations of a sub-query (%1) that hold a word part (%2), for
    // "all word parts"; none: the parts' own terms are intersected instead.
    const char *wordPartWithin;
};

// The word conditions as the query builders give them. They leave the join
// order to SQLite, which on an archive without statistics starts a word-part
// search from a scan of every word link.
const WordTexts ChatWords {
    R"(SELECT m.Chat_ID FROM Words w, WordToMessage wtm, Messages m WHERE w.Word LIKE '%1' AND w.ID = wtm.Word_ID         AND wtm.Message_ID = m.ID)",
    R"(SELECT m.Chat_ID FROM   Words w, WordToMessage wtm, Messages m WHERE  w.Word LIKE '%1' AND w.ID   = wtm.Word_ID       AND wtm.Message_ID = m.ID)",
    R"(SELECT m.Chat_ID FROM Words w, WordToMessage wtm, Messages m WHERE w.Word LIKE '%%1%' AND w.ID = wtm.Word_ID           AND wtm.Message_ID = m.ID)",
    R"(SELECT m.Chat_ID FROM   Words w, WordToMessage wtm, Messages m WHERE  w.Word LIKE '%%1%' AND w.ID   = wtm.Word_ID         AND wtm.Message_ID = m.ID)",
    R"(SELECT wtm.Message_ID FROM   Words w, WordToMessage wtm WHERE  w.Word LIKE '%1' AND w.ID   = wtm.Word_ID)",
    nullptr,
};
const WordTexts SmsWords {
    R"(SELECT ws.SMS_ID FROM WordToSMS ws, Words w WHERE w.Word LIKE '%1' AND ws.Word_ID = w.ID)",
    R"(SELECT ws.SMS_ID FROM WordToSMS ws, Words w WHERE w.Word LIKE '%1' AND ws.Word_ID = w.ID)",
    R"(SELECT ws.SMS_ID FROM WordToSMS ws, Words w WHERE w.Word LIKE '%%1%' AND ws.Word_ID = w.ID)",
    R"(SELECT ws.SMS_ID FROM WordToSMS ws, Words w WHERE w.Word LIKE '%%1%' AND ws.Word_ID = w.ID)",
    nullptr,
    nullptr,
};

// The same conditions as the searches run them: SQLite never moves the left
// table of a CROSS JOIN inward, so the dictionary is read first (through its
// index for a whole word, whole for a word part: some ten thousand short
// rows) and only the matching words' links are followed through their
// Word_ID index, never a scan of the link table. A conversation's messages
// are then looked up once each, in the order of their IDs, which reads the
// large Messages table in file order. The IDs are the same as above.
//
// Every word part that a conversation must hold after the first is looked for
// within the conversations found so far only: their messages come from the
// Chat_ID index alone, and the "+" keeps SQLite from looking up each message
// of the part by its ID instead (the costly step of a common part).
const WordTexts ChatWordsFirst {
    R"(SELECT m.Chat_ID FROM Messages m WHERE m.ID IN (SELECT wtm.Message_ID FROM Words w CROSS JOIN WordToMessage wtm WHERE w.Word LIKE '%1' AND w.ID = wtm.Word_ID))",
    R"(SELECT m.Chat_ID FROM Messages m WHERE m.ID IN (SELECT wtm.Message_ID FROM Words w CROSS JOIN WordToMessage wtm WHERE w.Word LIKE '%1' AND w.ID = wtm.Word_ID))",
    R"(SELECT m.Chat_ID FROM Messages m WHERE m.ID IN (SELECT wtm.Message_ID FROM Words w CROSS JOIN WordToMessage wtm WHERE w.Word LIKE '%%1%' AND w.ID = wtm.Word_ID))",
    R"(SELECT m.Chat_ID FROM Messages m WHERE m.ID IN (SELECT wtm.Message_ID FROM Words w CROSS JOIN WordToMessage wtm WHERE w.Word LIKE '%%1%' AND w.ID = wtm.Word_ID))",
    R"(SELECT wtm.Message_ID FROM Words w CROSS JOIN WordToMessage wtm WHERE w.Word LIKE '%1' AND w.ID = wtm.Word_ID)",
    R"(SELECT m.Chat_ID FROM Messages m WHERE m.Chat_ID IN (%1) AND +m.ID IN (SELECT wtm.Message_ID FROM Words w CROSS JOIN WordToMessage wtm WHERE w.Word LIKE '%%2%' AND w.ID = wtm.Word_ID))",
};
const WordTexts SmsWordsFirst {
    R"(SELECT ws.SMS_ID FROM Words w CROSS JOIN WordToSMS ws WHERE w.Word LIKE '%1' AND ws.Word_ID = w.ID)",
    R"(SELECT ws.SMS_ID FROM Words w CROSS JOIN WordToSMS ws WHERE w.Word LIKE '%1' AND ws.Word_ID = w.ID)",
    R"(SELECT ws.SMS_ID FROM Words w CROSS JOIN WordToSMS ws WHERE w.Word LIKE '%%1%' AND ws.Word_ID = w.ID)",
    R"(SELECT ws.SMS_ID FROM Words w CROSS JOIN WordToSMS ws WHERE w.Word LIKE '%%1%' AND ws.Word_ID = w.ID)",
    nullptr,
    nullptr,
};

/**
 * The texts of one kind of ID query (conversations or SMS) apart from its
 * word conditions, each a template of one value: the search builders are the
 * same for both kinds and take the kind's texts.
 */
struct SearchTexts
{
    const char *all; // no condition
    const char *allOfAccounts; // no condition, the owners' Users rows joined
    const char *protocol; // the owner's protocol (with the Users join)
    const char *owner; // the owner's UID when no protocol joined the Users rows
    const char *ownerJoined; // the owner's UID after the protocol
    const char *from; // time lower bound
    const char *to; // time upper bound
    const char *types; // R"( OR )"-joined type conditions
    const char *idIn; // a sub-query that the IDs must be in
    const char *recipientsAny; // R"(, )"-joined quoted names
    const char *recipientAll; // one name, R"( INTERSECT )"-joined
    // One phrase; for conversations (narrowed through the messages holding
    // each of its index words) the messages' sub-query comes first.
    const char *phrase;
    bool ownerLeads; // the owner's condition comes first, else after the protocol's
};

const SearchTexts ChatSearch {
    R"(SELECT c.ID FROM   Chats c WHERE  1 = 1)",
    R"(SELECT c.ID FROM   Chats c, Users u WHERE  1 = 1)",
    R"( AND c.Owner_ID = u.ID AND u.Protocol = '%1')",
    R"( AND c.Owner_ID = u.ID AND u.UID = '%1')",
    R"( AND u.UID = '%1')",
    R"( AND c.Time >= '%1')",
    R"( AND c.Time <= '%1')",
    R"( AND (%1))",
    R"( AND c.ID IN (%1))",
    R"(SELECT utc.Chat_ID FROM   Users u, UserToChat utc WHERE u.UID IN (%1) AND u.ID = utc.User_ID)",
    R"(SELECT utc.Chat_ID FROM Users u, UserToChat utc WHERE u.UID = '%1' AND u.ID  = utc.User_ID)",
    R"(SELECT Chat_ID FROM   Messages WHERE  ID IN (%1) AND Text LIKE '%%2%')",
    false,
};

// SMS have no owner account: the owner's UID stands for the sender and leads
// the conditions; the protocol and the types do not apply.
const SearchTexts SmsSearch {
    R"(SELECT ID FROM SMS WHERE 1 = 1)",
    R"(SELECT ID FROM SMS WHERE 1 = 1)",
    nullptr,
    R"( AND Sender = '%1')",
    R"( AND Sender = '%1')",
    R"( AND Time >= '%1')",
    R"( AND Time <= '%1')",
    nullptr,
    R"( AND ID IN (%1))",
    R"(SELECT SMS_ID FROM SMS_Recipient WHERE Name IN (%1))",
    R"(SELECT SMS_ID FROM SMS_Recipient WHERE Name = '%1')",
    R"(SELECT SMS_ID FROM   SMS_Message WHERE  Body LIKE '%%1%')",
    true,
};

} // namespace Statements
} // namespace VellArchive
// clang-format on

#endif // VELLARCHIVESTATEMENTS_P_H
