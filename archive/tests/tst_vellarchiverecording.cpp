#include "ArchiveFixture.h"
#include "VellArchiveModule.h"

#include <QtTest>

using namespace VellArchive;

namespace {

const QString Jabber = QStringLiteral("jabber");
const QString Alice = QStringLiteral("alice");
const QString Bob = QStringLiteral("bob");
const QString Carol = QStringLiteral("carol");
const auto Chat = VellArchiveBackendConversation::Chat;
const auto Message = VellArchiveBackendConversationEntry::Message;

QDateTime at(int minute)
{
    return QDateTime(QDate(2009, 3, 1), QTime(14, minute));
}

} // namespace

class tst_VellArchiveRecording : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void startStoresOwnerRecipientsAndLinks();
    void startReusesKnownUsers();
    void startKeepsOwnerAndSameNamedContactApart();
    void startReducesRepeatedRecipients();
    void startRefusesEmptyRecipientOwnerOrProtocol_data();
    void startRefusesEmptyRecipientOwnerOrProtocol();
    void startLeavesNothingWhenStatementRefused_data();
    void startLeavesNothingWhenStatementRefused();
    void uidsWithApostrophesAreStoredAndFound();

    void entryIndexesItsWords_data();
    void entryIndexesItsWords();
    void wordsAreSharedBetweenMessages();
    void entryStoresTextPropertiesAndSender();
    void entryIsIgnoredWhenNotAcceptable();
    void entryLeavesNothingWhenStatementRefused_data();
    void entryLeavesNothingWhenStatementRefused();

    void conversationTimeIsFirstEntryOrStart();
    void recipientJoinsOnce();
    void recipientLeavesNothingWhenStatementRefused();
    void finishThatCannotWriteTheTimeLeavesConversationOpen();
    void finishedConversationTakesNothingMore();

private:
    int start(const QStringList &recipients, const QString &owner = Alice);
    QStringList wordsOfMessage(int messageId);

    ArchiveFixture m_archive;
};

void tst_VellArchiveRecording::init()
{
    QVERIFY(m_archive.open());
}

void tst_VellArchiveRecording::cleanup()
{
    m_archive.close();
}

int tst_VellArchiveRecording::start(const QStringList &recipients, const QString &owner)
{
    return m_archive.module->startConversation(Chat, recipients, owner, Jabber, QString());
}

QStringList tst_VellArchiveRecording::wordsOfMessage(int messageId)
{
    return m_archive.probe->rows(
        QStringLiteral("SELECT w.Word FROM Words w, WordToMessage l WHERE "
                       "l.Word_ID = w.ID AND l.Message_ID = %1 ORDER BY w.Word")
            .arg(messageId));
}

void tst_VellArchiveRecording::startStoresOwnerRecipientsAndLinks()
{
    const int id = m_archive.module->startConversation(VellArchiveBackendConversation::GroupChat,
        {Bob, Carol}, Alice, Jabber, QStringLiteral("room=o'clock"));
    QVERIFY(id > 0);
    QCOMPARE(m_archive.probe->rows(
                 QStringLiteral("SELECT ID, Time, Type, Owner_ID, Properties FROM Chats")),
        QStringList {QStringLiteral("%1||1|1|room=o'clock").arg(id)});
    QCOMPARE(m_archive.probe->rows(
                 QStringLiteral("SELECT ID, UID, Protocol, Owner_ID FROM Users ORDER BY ID")),
        (QStringList {"1|alice|jabber|0", "2|bob|jabber|1", "3|carol|jabber|1"}));
    QCOMPARE(m_archive.probe->rows(
                 QStringLiteral("SELECT User_ID, Chat_ID FROM UserToChat ORDER BY User_ID")),
        (QStringList {QStringLiteral("2|%1").arg(id), QStringLiteral("3|%1").arg(id)}));

    // A conversation without recipients is stored and open all the same.
    const int alone = start({});
    QVERIFY(alone > id);
    m_archive.module->addEntry(
        alone, Alice, QStringLiteral("note to self"), at(1), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 1);
}

void tst_VellArchiveRecording::startReusesKnownUsers()
{
    const int first = start({Bob, Carol});
    const int second = start({Carol, Bob});
    QVERIFY(first > 0 && second > first);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 3);
    QCOMPARE(m_archive.probe->count(QStringLiteral("UserToChat")), 4);

    // Bob as an account of his own is a different user from Alice's contact bob.
    QVERIFY(start({Alice}, Bob) > second);
    QCOMPARE(m_archive.probe->rows(
                 QStringLiteral("SELECT UID, Owner_ID FROM Users WHERE ID > 3 ORDER BY ID")),
        (QStringList {"bob|0", "alice|4"}));
}

void tst_VellArchiveRecording::startKeepsOwnerAndSameNamedContactApart()
{
    // Alice talking to a contact that has her own UID: two rows, and both stay known.
    const int first = start({Alice});
    QVERIFY(first > 0);
    QCOMPARE(
        m_archive.probe->rows(QStringLiteral("SELECT ID, UID, Owner_ID FROM Users ORDER BY ID")),
        (QStringList {"1|alice|0", "2|alice|1"}));
    const int second = start({Alice});
    QVERIFY(second > first);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 2);
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT Owner_ID FROM Chats")),
        (QStringList {"1", "1"}));

    // The owner's UID sends as the owner.
    m_archive.module->addEntry(second, Alice, QStringLiteral("hello"), at(1), QString(), Message);
    QCOMPARE(
        m_archive.probe->rows(QStringLiteral("SELECT User_ID FROM Messages")), QStringList {"1"});
}

void tst_VellArchiveRecording::startReducesRepeatedRecipients()
{
    const int id = start({Bob, Carol, Bob});
    QVERIFY(id > 0);
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT UID FROM Users ORDER BY ID")),
        (QStringList {"alice", "bob", "carol"}));
    QCOMPARE(m_archive.probe->count(QStringLiteral("UserToChat")), 2);
}

void tst_VellArchiveRecording::startRefusesEmptyRecipientOwnerOrProtocol_data()
{
    QTest::addColumn<QStringList>("recipients");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("protocol");
    QTest::newRow("empty recipient first") << QStringList {QString(), Bob} << Alice << Jabber;
    QTest::newRow("empty recipient last") << QStringList {Bob, Carol, ""} << Alice << Jabber;
    QTest::newRow("empty owner") << QStringList {Bob} << QString() << Jabber;
    QTest::newRow("empty protocol") << QStringList {Bob} << Alice << QString();
}

void tst_VellArchiveRecording::startRefusesEmptyRecipientOwnerOrProtocol()
{
    QFETCH(QStringList, recipients);
    QFETCH(QString, owner);
    QFETCH(QString, protocol);
    QCOMPARE(m_archive.module->startConversation(Chat, recipients, owner, protocol, QString()), -1);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Chats")), 0);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 0);
    QCOMPARE(m_archive.probe->count(QStringLiteral("UserToChat")), 0);
}

void tst_VellArchiveRecording::startLeavesNothingWhenStatementRefused_data()
{
    QTest::addColumn<QString>("table");
    QTest::newRow("owner or recipient row") << "Users";
    QTest::newRow("conversation row") << "Chats";
    QTest::newRow("recipient link") << "UserToChat";
}

void tst_VellArchiveRecording::startLeavesNothingWhenStatementRefused()
{
    QFETCH(QString, table);
    QVERIFY(m_archive.probe->refuse(table));
    QCOMPARE(start({Bob, Carol}), -1);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Chats")), 0);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 0);
    QCOMPARE(m_archive.probe->count(QStringLiteral("UserToChat")), 0);

    // Nothing of the failed call stayed in memory: the retry writes every row
    // again, and every link points at a stored user.
    QVERIFY(m_archive.probe->allow(table));
    const int id = start({Bob, Carol});
    QVERIFY(id > 0);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 3);
    QCOMPARE(m_archive.probe->count(
                 QStringLiteral("UserToChat u WHERE u.User_ID IN (SELECT ID FROM Users)")),
        2);
    m_archive.module->addEntry(id, Bob, QStringLiteral("hello"), at(1), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 1);
}

void tst_VellArchiveRecording::uidsWithApostrophesAreStoredAndFound()
{
    const QString irish = QStringLiteral("o'brien@example.org");
    const QString hostile = QStringLiteral("x', 'y', 0, ''); DELETE FROM Users; --");
    const QString protocol = QStringLiteral("gg'");
    const int first
        = m_archive.module->startConversation(Chat, {irish, hostile}, Alice, protocol, QString());
    QVERIFY(first > 0);
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT UID, Protocol FROM Users ORDER BY ID")),
        (QStringList {"alice|gg'", "o'brien@example.org|gg'", hostile + QStringLiteral("|gg'")}));

    const int second
        = m_archive.module->startConversation(Chat, {irish}, Alice, protocol, QString());
    QVERIFY(second > first);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 3);
    m_archive.module->addEntry(
        second, irish, QStringLiteral("top o' the morning"), at(1), QString(), Message);
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT u.UID, m.Text FROM Messages m, Users u "
                                                  "WHERE m.User_ID = u.ID")),
        QStringList {"o'brien@example.org|top o' the morning"});
}

void tst_VellArchiveRecording::entryIndexesItsWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("punctuation and short words")
        << "ab, abc! Is it:abcd?" << QStringList {"abc", "abcd"};
    QTest::newRow("letter case is kept")
        << "Hello hello HELLO" << QStringList {"HELLO", "Hello", "hello"};
    QTest::newRow("repeated words once") << "one two one two one" << QStringList {"one", "two"};
    QTest::newRow("one letter") << "x" << QStringList();
    QTest::newRow("apostrophe splits") << "don't stop 'til" << QStringList {"don", "stop", "til"};
    QTest::newRow("polish letters")
        << QStringLiteral("Zażółć gęślą jaźń, źdźbło!")
        << QStringList {QStringLiteral("Zażółć"), QStringLiteral("gęślą"), QStringLiteral("jaźń"),
               QStringLiteral("źdźbło")};
    QTest::newRow("digits and underscore")
        << "call 112 or 4567_x now" << QStringList {"112", "4567_x", "call", "now"};
    QTest::newRow("percent and underscore as text")
        << "100% _a_ a_b" << QStringList {"100", "_a_", "a_b"};
}

void tst_VellArchiveRecording::entryIndexesItsWords()
{
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    const int id = start({Bob});
    m_archive.module->addEntry(id, Bob, text, at(1), QString(), Message);

    const QStringList stored
        = m_archive.probe->rows(QStringLiteral("SELECT ID, Text FROM Messages"));
    QCOMPARE(stored.size(), 1);
    const int messageId = stored.first().section(QLatin1Char('|'), 0, 0).toInt();
    QCOMPARE(stored.first().section(QLatin1Char('|'), 1), text); // unchanged, apostrophes too
    std::sort(words.begin(), words.end());
    QCOMPARE(wordsOfMessage(messageId), words);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Words")), words.size());
    QCOMPARE(m_archive.probe->count(QStringLiteral("WordToMessage")), words.size());
}

void tst_VellArchiveRecording::wordsAreSharedBetweenMessages()
{
    const int id = start({Bob});
    m_archive.module->addEntry(id, Bob, QStringLiteral("hello world"), at(1), QString(), Message);
    m_archive.module->addEntry(id, Alice, QStringLiteral("hello again"), at(2), QString(), Message);
    QCOMPARE(m_archive.probe->rows(QStringLiteral("SELECT Word FROM Words ORDER BY Word")),
        (QStringList {"again", "hello", "world"}));
    QCOMPARE(m_archive.probe->count(QStringLiteral("Words")), 3);
    QCOMPARE(m_archive.probe->count(QStringLiteral("WordToMessage")), 4);
    QCOMPARE(
        m_archive.probe->count(QStringLiteral("WordToMessage l, Words w WHERE l.Word_ID = w.ID AND "
                                              "w.Word = 'hello'")),
        2);
}

void tst_VellArchiveRecording::entryStoresTextPropertiesAndSender()
{
    const int id = start({Bob});
    m_archive.module->addEntry(id, Bob, QStringLiteral("it's here"), at(1),
        QStringLiteral("font='x'"), VellArchiveBackendConversationEntry::Notice);
    m_archive.module->addEntry(id, Alice, QStringLiteral("thanks"), at(2), QString(), Message);
    QCOMPARE(
        m_archive.probe->rows(QStringLiteral("SELECT m.Text, m.Time, u.UID, m.Chat_ID, m.Type, "
                                             "m.Properties FROM Messages m, Users u "
                                             "WHERE m.User_ID = u.ID ORDER BY m.ID")),
        (QStringList {QStringLiteral("it's here|2009-03-01T14:01:00|bob|%1|1|font='x'").arg(id),
            QStringLiteral("thanks|2009-03-01T14:02:00|alice|%1|0|").arg(id)}));
}

void tst_VellArchiveRecording::entryIsIgnoredWhenNotAcceptable()
{
    const int id = start({Bob});
    m_archive.module->addEntry(
        id, Carol, QStringLiteral("not a member"), at(1), QString(), Message);
    m_archive.module->addEntry(
        id, QString(), QStringLiteral("no sender"), at(1), QString(), Message);
    m_archive.module->addEntry(id, Bob, QString(), at(1), QString(), Message);
    m_archive.module->addEntry(id, Bob, QStringLiteral("no time"), QDateTime(), QString(), Message);
    m_archive.module->addEntry(
        id + 1, Bob, QStringLiteral("no such conversation"), at(1), QString(), Message);
    m_archive.module->addEntry(
        0, Bob, QStringLiteral("no conversation"), at(1), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 0);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Words")), 0);
    QCOMPARE(m_archive.probe->value(QStringLiteral("SELECT Time FROM Chats")), QString(""));
}

void tst_VellArchiveRecording::entryLeavesNothingWhenStatementRefused_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("event");
    QTest::newRow("message") << "Messages"
                             << "INSERT";
    QTest::newRow("new word") << "Words"
                              << "INSERT";
    QTest::newRow("word link") << "WordToMessage"
                               << "INSERT";
    QTest::newRow("conversation time") << "Chats"
                                       << "UPDATE";
}

void tst_VellArchiveRecording::entryLeavesNothingWhenStatementRefused()
{
    QFETCH(QString, table);
    QFETCH(QString, event);
    const int id = start({Bob});
    QVERIFY(m_archive.probe->refuse(table, event));
    m_archive.module->addEntry(id, Bob, QStringLiteral("hello world"), at(1), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 0);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Words")), 0);
    QCOMPARE(m_archive.probe->count(QStringLiteral("WordToMessage")), 0);
    QCOMPARE(m_archive.probe->value(QStringLiteral("SELECT Time FROM Chats")), QString(""));

    // The conversation's time was not marked as written: the next entry writes it.
    QVERIFY(m_archive.probe->allow(table, event));
    m_archive.module->addEntry(id, Bob, QStringLiteral("hello again"), at(2), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 1);
    QCOMPARE(m_archive.probe->value(QStringLiteral("SELECT Time FROM Chats")),
        QStringLiteral("2009-03-01T14:02:00"));
}

void tst_VellArchiveRecording::conversationTimeIsFirstEntryOrStart()
{
    const int talked = start({Bob});
    m_archive.module->addEntry(talked, Bob, QStringLiteral("first"), at(5), QString(), Message);
    m_archive.module->addEntry(talked, Alice, QStringLiteral("second"), at(9), QString(), Message);
    m_archive.module->finishConversation(talked);

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const int silent = start({Carol});
    QCOMPARE(
        m_archive.probe->value(QStringLiteral("SELECT Time FROM Chats WHERE ID = %1").arg(silent)),
        QString(""));
    m_archive.module->finishConversation(silent);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    QCOMPARE(
        m_archive.probe->value(QStringLiteral("SELECT Time FROM Chats WHERE ID = %1").arg(talked)),
        QStringLiteral("2009-03-01T14:05:00"));
    const QDateTime started = QDateTime::fromString(
        m_archive.probe->value(QStringLiteral("SELECT Time FROM Chats WHERE ID = %1").arg(silent)),
        Qt::ISODate);
    QVERIFY2(started >= before && started <= after, qPrintable(started.toString(Qt::ISODate)));
}

void tst_VellArchiveRecording::recipientJoinsOnce()
{
    const int id = start({Bob});
    m_archive.module->addRecipient(id, Carol);
    m_archive.module->addRecipient(id, Carol); // already a recipient
    m_archive.module->addRecipient(id, Bob);
    m_archive.module->addRecipient(id, Alice); // the owner
    m_archive.module->addRecipient(id, QString());
    m_archive.module->addRecipient(id + 1, Carol); // never started
    QCOMPARE(
        m_archive.probe->rows(QStringLiteral("SELECT u.UID, u.Owner_ID FROM UserToChat l, Users u "
                                             "WHERE l.User_ID = u.ID ORDER BY u.ID")),
        (QStringList {"bob|1", "carol|1"}));
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 3);

    // Carol may now write, and a later conversation knows her.
    m_archive.module->addEntry(id, Carol, QStringLiteral("hi all"), at(1), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 1);
    QVERIFY(start({Carol}) > id);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 3);
}

void tst_VellArchiveRecording::recipientLeavesNothingWhenStatementRefused()
{
    const int id = start({Bob});
    QVERIFY(m_archive.probe->refuse(QStringLiteral("UserToChat")));
    m_archive.module->addRecipient(id, Carol);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 2);
    QCOMPARE(m_archive.probe->count(QStringLiteral("UserToChat")), 1);
    m_archive.module->addEntry(id, Carol, QStringLiteral("not yet"), at(1), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 0);

    QVERIFY(m_archive.probe->allow(QStringLiteral("UserToChat")));
    m_archive.module->addRecipient(id, Carol);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 3);
    QCOMPARE(m_archive.probe->count(
                 QStringLiteral("UserToChat u WHERE u.User_ID IN (SELECT ID FROM Users)")),
        2);
}

void tst_VellArchiveRecording::finishThatCannotWriteTheTimeLeavesConversationOpen()
{
    const int id = start({Bob});
    QVERIFY(m_archive.probe->refuse(QStringLiteral("Chats"), QStringLiteral("UPDATE")));
    m_archive.module->finishConversation(id);
    QCOMPARE(m_archive.probe->value(QStringLiteral("SELECT Time FROM Chats")), QString(""));

    QVERIFY(m_archive.probe->allow(QStringLiteral("Chats"), QStringLiteral("UPDATE")));
    m_archive.module->addEntry(id, Bob, QStringLiteral("still open"), at(4), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 1);
    QCOMPARE(m_archive.probe->value(QStringLiteral("SELECT Time FROM Chats")),
        QStringLiteral("2009-03-01T14:04:00"));
    m_archive.module->finishConversation(id);
    m_archive.module->addEntry(id, Bob, QStringLiteral("closed now"), at(5), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 1);
}

void tst_VellArchiveRecording::finishedConversationTakesNothingMore()
{
    const int id = start({Bob});
    m_archive.module->addEntry(id, Bob, QStringLiteral("bye"), at(1), QString(), Message);
    m_archive.module->finishConversation(id);
    m_archive.module->addEntry(id, Bob, QStringLiteral("too late"), at(2), QString(), Message);
    m_archive.module->addRecipient(id, Carol);
    m_archive.module->finishConversation(id);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 1);
    QCOMPARE(m_archive.probe->count(QStringLiteral("UserToChat")), 1);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Users")), 2);
    QCOMPARE(m_archive.probe->value(QStringLiteral("SELECT Time FROM Chats")),
        QStringLiteral("2009-03-01T14:01:00"));

    // A new module forgets the open conversations of the previous one.
    const int open = start({Bob});
    m_archive.module.reset(new VellArchiveModule(m_archive.path()));
    m_archive.module->addEntry(open, Bob, QStringLiteral("lost"), at(3), QString(), Message);
    QCOMPARE(m_archive.probe->count(QStringLiteral("Messages")), 1);
}

QTEST_GUILESS_MAIN(tst_VellArchiveRecording)
#include "tst_vellarchiverecording.moc"
