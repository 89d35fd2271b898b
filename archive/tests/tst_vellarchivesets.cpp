#include "VellArchiveChatsSet.h"
#include "VellArchiveUsersSet.h"

#include <QtTest>

using namespace VellArchive;

class tst_VellArchiveSets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void usersAreFoundByKeyAndByIndex();
    void usersRefuseATakenKeyOrIndex();
    void usersKeysNeverCollide();
    void usersAreRemovedByKeyAndByIndex();
    void chatAnswersOwnerAndRecipients();
    void chatsAnswerEmptyValuesForUnknownIds();
    void chatTimeIsSetOnce();
};

void tst_VellArchiveSets::usersAreFoundByKeyAndByIndex()
{
    VellArchiveUsersSet users;
    QVERIFY(users.addUser(1, QStringLiteral("alice"), QStringLiteral("jabber"), 0));
    QVERIFY(users.addUser(2, QStringLiteral("alice"), QStringLiteral("jabber"), 1));

    // An account's own row is asked for with owner 0; under an owner it is a contact.
    QCOMPARE(users.getUserIndex(QStringLiteral("alice"), QStringLiteral("jabber"), 0), 1);
    QCOMPARE(users.getUserIndex(QStringLiteral("alice"), QStringLiteral("jabber"), 1), 2);
    QCOMPARE(users.getUserIndex(QStringLiteral("Alice"), QStringLiteral("jabber"), 0), 0);
    QCOMPARE(users.getUserIndex(QStringLiteral("alice"), QStringLiteral("gg"), 0), 0);
    QVERIFY(users.isUser(QStringLiteral("alice"), QStringLiteral("jabber"), 1));
    QVERIFY(users.isUser(2));
    QVERIFY(!users.isUser(3));

    QString uid;
    QString protocol;
    int owner = -1;
    QVERIFY(users.getUserData(2, &uid, &protocol, &owner));
    QCOMPARE(uid, QStringLiteral("alice"));
    QCOMPARE(protocol, QStringLiteral("jabber"));
    QCOMPARE(owner, 1);
    QVERIFY(users.getUserData(1, nullptr, nullptr, &owner));
    QCOMPARE(owner, 0);
    QVERIFY(!users.getUserData(3, &uid, nullptr, nullptr));
}

void tst_VellArchiveSets::usersRefuseATakenKeyOrIndex()
{
    VellArchiveUsersSet users;
    QVERIFY(users.addUser(1, QStringLiteral("alice"), QStringLiteral("jabber"), 0));
    QVERIFY(!users.addUser(2, QStringLiteral("alice"), QStringLiteral("jabber"), 0));
    QVERIFY(!users.addUser(1, QStringLiteral("bob"), QStringLiteral("jabber"), 0));
    QCOMPARE(users.getUserIndex(QStringLiteral("alice"), QStringLiteral("jabber"), 0), 1);
    QVERIFY(!users.isUser(QStringLiteral("bob"), QStringLiteral("jabber"), 0));
    QVERIFY(!users.isUser(2));

    users.clear();
    QVERIFY(!users.isUser(1));
    QVERIFY(users.addUser(1, QStringLiteral("bob"), QStringLiteral("jabber"), 0));
}

void tst_VellArchiveSets::usersKeysNeverCollide()
{
    // Joined without marks these pairs would share one key.
    VellArchiveUsersSet users;
    QVERIFY(users.addUser(1, QStringLiteral("ab"), QStringLiteral("c"), 7));
    QVERIFY(users.addUser(2, QStringLiteral("a"), QStringLiteral("bc"), 7));
    QVERIFY(users.addUser(3, QStringLiteral("x"), QStringLiteral("p1"), 2));
    QVERIFY(users.addUser(4, QStringLiteral("x"), QStringLiteral("p"), 12));
    QCOMPARE(users.getUserIndex(QStringLiteral("ab"), QStringLiteral("c"), 7), 1);
    QCOMPARE(users.getUserIndex(QStringLiteral("a"), QStringLiteral("bc"), 7), 2);
    QCOMPARE(users.getUserIndex(QStringLiteral("x"), QStringLiteral("p1"), 2), 3);
    QCOMPARE(users.getUserIndex(QStringLiteral("x"), QStringLiteral("p"), 12), 4);
}

void tst_VellArchiveSets::usersAreRemovedByKeyAndByIndex()
{
    VellArchiveUsersSet users;
    users.addUser(1, QStringLiteral("alice"), QStringLiteral("jabber"), 0);
    users.addUser(2, QStringLiteral("bob"), QStringLiteral("jabber"), 1);

    QVERIFY(users.removeUser(2));
    QVERIFY(!users.removeUser(2));
    QVERIFY(!users.isUser(QStringLiteral("bob"), QStringLiteral("jabber"), 1));
    QVERIFY(users.removeUser(QStringLiteral("alice"), QStringLiteral("jabber"), 0));
    QVERIFY(!users.removeUser(QStringLiteral("alice"), QStringLiteral("jabber"), 0));
    QVERIFY(!users.isUser(1));
    // Both the key and the index are free again.
    QVERIFY(users.addUser(1, QStringLiteral("carol"), QStringLiteral("jabber"), 0));
    QVERIFY(users.addUser(5, QStringLiteral("bob"), QStringLiteral("jabber"), 1));
}

void tst_VellArchiveSets::chatAnswersOwnerAndRecipients()
{
    VellArchiveChatsSet chats;
    const QDateTime start(QDate(2009, 3, 1), QTime(14, 5));
    QVERIFY(chats.addChat(10, 1, QStringLiteral("alice"), QStringLiteral("jabber"), start));
    QVERIFY(!chats.addChat(10, 2, QStringLiteral("bob"), QStringLiteral("gg"), QDateTime()));
    QVERIFY(chats.isChat(10));
    QCOMPARE(chats.getChatOwnerIndex(10), 1);
    QCOMPARE(chats.getChatProtocol(10), QStringLiteral("jabber"));
    QCOMPARE(chats.getChatStartTime(10), start);

    QVERIFY(chats.addRecipientToChat(10, 2, QStringLiteral("bob")));
    QVERIFY(!chats.addRecipientToChat(10, 3, QStringLiteral("bob"))); // UID taken
    QVERIFY(!chats.addRecipientToChat(10, 2, QStringLiteral("carol"))); // index taken
    QCOMPARE(chats.getUserIndexFromChat(10, QStringLiteral("bob")), 2);
    QVERIFY(!chats.isUserInChat(10, QStringLiteral("carol")));
    QCOMPARE(chats.getUserIndexFromChat(10, QStringLiteral("carol")), 0);

    // The owner's UID answers the owner even when it is a recipient as well.
    QVERIFY(chats.addRecipientToChat(10, 4, QStringLiteral("alice")));
    QVERIFY(chats.isUserInChat(10, QStringLiteral("alice")));
    QCOMPARE(chats.getUserIndexFromChat(10, QStringLiteral("alice")), 1);

    QVERIFY(chats.removeChat(10));
    QVERIFY(!chats.removeChat(10));
    QVERIFY(!chats.isUserInChat(10, QStringLiteral("alice")));
}

void tst_VellArchiveSets::chatsAnswerEmptyValuesForUnknownIds()
{
    VellArchiveChatsSet chats;
    chats.addChat(
        1, 1, QStringLiteral("alice"), QStringLiteral("jabber"), QDateTime::currentDateTime());
    const int unknown = 2;
    QVERIFY(!chats.isChat(unknown));
    QCOMPARE(chats.getChatOwnerIndex(unknown), 0);
    QVERIFY(chats.getChatProtocol(unknown).isEmpty());
    QVERIFY(chats.getChatStartTime(unknown).isNull());
    QVERIFY(!chats.isSetChatTime(unknown));
    QVERIFY(!chats.isUserInChat(unknown, QStringLiteral("alice")));
    QCOMPARE(chats.getUserIndexFromChat(unknown, QStringLiteral("alice")), 0);
    QVERIFY(!chats.addRecipientToChat(unknown, 2, QStringLiteral("bob")));
    chats.setChatTime(unknown);
    QVERIFY(!chats.isChat(unknown));
}

void tst_VellArchiveSets::chatTimeIsSetOnce()
{
    VellArchiveChatsSet chats;
    chats.addChat(1, 1, QStringLiteral("alice"), QStringLiteral("jabber"), QDateTime());
    QVERIFY(!chats.isSetChatTime(1));
    chats.setChatTime(1);
    QVERIFY(chats.isSetChatTime(1));
    chats.setChatTime(1);
    QVERIFY(chats.isSetChatTime(1));

    const VellArchiveChat chat;
    QCOMPARE(chat.getIndex(), 0);
    QVERIFY(!chat.isSetTime());
    QVERIFY(chat.getStartTime().isNull());
    QVERIFY(chat.getOwnerID().isEmpty() && !chat.getOwnerID().isNull());
}

QTEST_GUILESS_MAIN(tst_VellArchiveSets)
#include "tst_vellarchivesets.moc"
