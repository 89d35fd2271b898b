#include "VellBuddyContact.h"
#include "VellBuddyTemporary.h"
#include "VellRosterFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// "kind id name presence", the presence read through the entry's view ("-" when
// the entry has none or its view is not valid).
QString describe(const VellBuddy &buddy)
{
    QString presence = QStringLiteral("-");
    if (const VellBuddyContact contact(buddy); contact.isValid()) {
        presence = VellRosterFile::presenceName(contact.getPresence().getFlag());
    } else if (const VellBuddyTemporary temporary(buddy); temporary.isValid()) {
        presence = VellRosterFile::presenceName(temporary.getPresence().getFlag());
    }
    return QStringList {
        VellRosterFile::kindName(buddy.getType()), buddy.getId(), buddy.getName(), presence}
        .join(QLatin1Char(' '));
}

} // namespace

class tst_RosterFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void readsUtf8FileAndNamesItInErrors();
};

void tst_RosterFile::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("error");

    QTest::newRow("empty") << QString() << QStringList() << QString();
    QTest::newRow("comments, blank lines, CRLF")
        << QStringLiteral("# roster\r\n\r\n  contact a@x.org online Ala\r\n")
        << QStringList {QStringLiteral("contact a@x.org Ala online")} << QString();
    QTest::newRow("every presence word")
        << QStringLiteral("contact a online\ncontact b chat\ncontact c away\ncontact d na\n"
                          "contact e dnd\ncontact f invisible\ntemporary g offline\n"
                          "temporary h unknown\n")
        << QStringList {QStringLiteral("contact a a online"), QStringLiteral("contact b b chat"),
               QStringLiteral("contact c c away"), QStringLiteral("contact d d na"),
               QStringLiteral("contact e e dnd"), QStringLiteral("contact f f invisible"),
               QStringLiteral("temporary g g offline"), QStringLiteral("temporary h h unknown")}
        << QString();
    QTest::newRow("numbers for kind and presence")
        << QStringLiteral("3 a 6\n5 b 1\n42 c -\n")
        << QStringList {QStringLiteral("contact a a offline"),
               QStringLiteral("temporary b b online"), QStringLiteral("42 c c -")}
        << QString();
    QTest::newRow("name keeps its inner spaces")
        << QStringLiteral("group   friends\t-   Old   friends  \n")
        << QStringList {QStringLiteral("group friends Old   friends -")} << QString();
    QTest::newRow("contact without details")
        << QStringLiteral("contact eve@x.org -\n")
        << QStringList {QStringLiteral("contact eve@x.org eve@x.org -")} << QString();

    QTest::newRow("missing presence") << QStringLiteral("\ncontact a@x.org\n") << QStringList()
                                      << QStringLiteral("2: expected KIND ID PRESENCE [NAME]");
    QTest::newRow("unknown kind") << QStringLiteral("buddy a online") << QStringList()
                                  << QStringLiteral("1: unknown kind \"buddy\"");
    QTest::newRow("negative kind") << QStringLiteral("-3 a online") << QStringList()
                                   << QStringLiteral("1: unknown kind \"-3\"");
    QTest::newRow("unknown presence") << QStringLiteral("contact a busy") << QStringList()
                                      << QStringLiteral("1: unknown presence \"busy\"");
    QTest::newRow("presence number out of range") << QStringLiteral("contact a 8") << QStringList()
                                                  << QStringLiteral("1: unknown presence \"8\"");
    QTest::newRow("presence on a group") << QStringLiteral("group friends online") << QStringList()
                                         << QStringLiteral("1: a group entry has no presence");
}

void tst_RosterFile::parse()
{
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QFETCH(QString, error);

    const QList<VellBuddy> untouched {VellBuddy(VellBuddy::Group, QStringLiteral("earlier"))};
    QList<VellBuddy> parsed = untouched;
    QString message;
    const bool ok = VellRosterFile::parse(text, &parsed, &message);
    if (error.isEmpty()) {
        QVERIFY2(ok, qPrintable(message));
        QStringList described;
        for (const VellBuddy &buddy : qAsConst(parsed)) {
            described << describe(buddy);
        }
        QCOMPARE(described, entries);
    } else {
        QVERIFY(!ok);
        QVERIFY2(message.startsWith(error), qPrintable(message));
        QCOMPARE(parsed.size(), 1); // a failed parse leaves the list alone
        QCOMPARE(parsed.first().getId(), QStringLiteral("earlier"));
    }
}

void tst_RosterFile::readsUtf8FileAndNamesItInErrors()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("roster.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("contact zofia@x.org away Zofia Łęcka\ncontact x@x.org gone\n");
    file.close();

    QList<VellBuddy> entries;
    QString error;
    QVERIFY(!VellRosterFile::read(path, &entries, &error));
    QCOMPARE(error, path + QStringLiteral(":2: unknown presence \"gone\""));

    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("contact zofia@x.org away Zofia Łęcka\n");
    file.close();
    QVERIFY2(VellRosterFile::read(path, &entries, &error), qPrintable(error));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().getName(), QStringLiteral("Zofia Łęcka"));

    QVERIFY(!VellRosterFile::read(dir.filePath(QStringLiteral("missing.txt")), &entries, &error));
    QVERIFY2(error.startsWith(QStringLiteral("Cannot read the roster file ")), qPrintable(error));
}

QTEST_GUILESS_MAIN(tst_RosterFile)
#include "tst_rosterfile.moc"
