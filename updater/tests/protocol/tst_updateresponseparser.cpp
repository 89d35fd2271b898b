// Turning the update server's response into Update records.
#include "UpdateResponseParser.h"

#include <QTextCodec>
#include <QtTest>

namespace {

QByteArray request(const QByteArray &attributes, const QByteArray &children)
{
    return "<request " + attributes + ">" + children + "</request>";
}

} // namespace

class TestUpdateResponseParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requestsYieldUpdates_data();
    void requestsYieldUpdates();
    void fieldsAreTakenFromTheirPlaces();
    void criticalAndTimestamp_data();
    void criticalAndTimestamp();
    void textIsStoredAsUtf8_data();
    void textIsStoredAsUtf8();
    void incompleteDocumentsAreNotParsed_data();
    void incompleteDocumentsAreNotParsed();
};

void TestUpdateResponseParser::requestsYieldUpdates_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("names");

    const QByteArray update = "<version>2</version><link>http://h/p.zip</link>";
    QTest::newRow("no request") << QByteArray("<updates/>") << QStringList();
    QTest::newRow("one update") << "<r>" + request("name='a'", update) + "</r>"
                                << QStringList {"a"};
    QTest::newRow("the three marks") << "<r>" + request("name='a'", "<latest/>" + update)
            + request("name='b'", "<noSuchUpdate/>") + request("name='c'", "<noSuchComponent/>")
            + request("name='d'", update)
            + "</r>" << QStringList {"d"};
    QTest::newRow("a mark deeper down does not count")
        << "<r>" + request("name='a'", "<x><latest/></x>" + update) + "</r>" << QStringList {"a"};
    QTest::newRow("nested anywhere, in document order") << "<r><a><b>" + request("name='x'", update)
            + "</b></a>" + request("name='y'", update) + "<c>" + request("name='z'", update)
            + "</c></r>" << QStringList {"x", "y", "z"};
    QTest::newRow("the root itself") << request("name='root'", update) << QStringList {"root"};
    QTest::newRow("names are case-sensitive")
        << "<r><Request name='a'/>" + request("name='b'", "<Latest/>") + "</r>"
        << QStringList {"b"};
    QTest::newRow("namespaces are not processed")
        << QByteArray("<r xmlns:u='urn:u'><u:request name='a'/><request name='b'/></r>")
        << QStringList {"b"};
}

void TestUpdateResponseParser::requestsYieldUpdates()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, names);
    std::vector<Update> updates;
    QString error;
    QVERIFY2(UpdateResponseParser::parse(document, updates, &error), qPrintable(error));
    QStringList found;
    for (const Update &u : updates) {
        found << QString::fromStdString(u.getName());
    }
    QCOMPARE(found, names);
}

void TestUpdateResponseParser::fieldsAreTakenFromTheirPlaces()
{
    const QByteArray document = "<?xml version='1.0'?>\n<response>"
        + request("project='vell' name='core' type='app' version='9' link='http://attr/x.zip'",
            "<version>2.0</version><version>3.0</version>"
            "<description>New <b>core</b></description>"
            "<copyrights>(c) us</copyrights><author>me</author>"
            "<webpage>http://w</webpage><email>e@x</email>"
            "<changelog>\n - fixed\n</changelog>"
            "<critical>true</critical><timestamp>1700000000</timestamp>"
            "<extra><link>http://deep/x.zip</link></extra>")
        + "</response>";
    std::vector<Update> updates;
    QVERIFY(UpdateResponseParser::parse(document, updates));
    QCOMPARE(updates.size(), std::size_t(1));
    const Update &u = updates.front();
    QCOMPARE(u.getProject(), std::string("vell"));
    QCOMPARE(u.getName(), std::string("core"));
    QCOMPARE(u.getType(), std::string("app"));
    QCOMPARE(u.getVersion(), std::string("2.0")); // the first child, not the attribute
    QCOMPARE(u.getDescription(), std::string("New core")); // whole text content
    QCOMPARE(u.getCopyrights(), std::string("(c) us"));
    QCOMPARE(u.getAuthor(), std::string("me"));
    QCOMPARE(u.getWebpage(), std::string("http://w"));
    QCOMPARE(u.getEmail(), std::string("e@x"));
    QCOMPARE(u.getChangelog(), std::string("\n - fixed\n"));
    QCOMPARE(u.getLink(), std::string()); // neither an attribute nor a grandchild counts
    QVERIFY(u.isCritical());
    QCOMPARE(u.getTimestamp(), 1700000000u);

    // The parser appends to what the caller already has.
    QVERIFY(UpdateResponseParser::parse(document, updates));
    QCOMPARE(updates.size(), std::size_t(2));
}

void TestUpdateResponseParser::criticalAndTimestamp_data()
{
    QTest::addColumn<QByteArray>("children");
    QTest::addColumn<bool>("critical");
    QTest::addColumn<uint>("timestamp");
    QTest::newRow("absent") << QByteArray() << false << 0u;
    QTest::newRow("true, 42") << QByteArray("<critical>true</critical><timestamp>42</timestamp>")
                              << true << 42u;
    QTest::newRow("capitals") << QByteArray("<critical>TRUE</critical>") << false << 0u;
    QTest::newRow("capital first letter") << QByteArray("<critical>True</critical>") << false << 0u;
    QTest::newRow("letters after the digits")
        << QByteArray("<timestamp>123abc</timestamp>") << false << 0u;
    QTest::newRow("hexadecimal") << QByteArray("<timestamp>0x10</timestamp>") << false << 0u;
    QTest::newRow("negative") << QByteArray("<timestamp>-5</timestamp>") << false << 0u;
    QTest::newRow("beyond 32 bits")
        << QByteArray("<timestamp>4294967296</timestamp>") << false << 0u;
    QTest::newRow("largest") << QByteArray("<timestamp>4294967295</timestamp>") << false
                             << 4294967295u;
    QTest::newRow("first child wins")
        << QByteArray("<critical>false</critical><critical>true</critical>"
                      "<timestamp>1</timestamp><timestamp>2</timestamp>")
        << false << 1u;
}

void TestUpdateResponseParser::criticalAndTimestamp()
{
    QFETCH(QByteArray, children);
    QFETCH(bool, critical);
    QFETCH(uint, timestamp);
    std::vector<Update> updates;
    QVERIFY(UpdateResponseParser::parse("<r>" + request("name='a'", children) + "</r>", updates));
    QCOMPARE(updates.size(), std::size_t(1));
    QCOMPARE(updates.front().isCritical(), critical);
    QCOMPARE(updates.front().getTimestamp(), timestamp);
}

void TestUpdateResponseParser::textIsStoredAsUtf8_data()
{
    QTest::addColumn<QByteArray>("document");
    const QString text = QStringLiteral("Łódź – nowa wersja");
    const QByteArray body = "<r><request name='" + text.toUtf8() + "'><description>" + text.toUtf8()
        + "</description></request></r>";
    QTest::newRow("UTF-8 by default") << body;
    QTest::newRow("UTF-8 declared") << "<?xml version='1.0' encoding='UTF-8'?>" + body;
    QTextCodec *latin2 = QTextCodec::codecForName("ISO-8859-2");
    QVERIFY(latin2);
    const QString plain = QStringLiteral("Łódź - nowa wersja");
    QTest::newRow("ISO-8859-2 declared")
        << "<?xml version='1.0' encoding='ISO-8859-2'?><r><request name='"
            + latin2->fromUnicode(plain) + "'><description>" + latin2->fromUnicode(plain)
            + "</description></request></r>";
}

void TestUpdateResponseParser::textIsStoredAsUtf8()
{
    QFETCH(QByteArray, document);
    std::vector<Update> updates;
    QVERIFY(UpdateResponseParser::parse(document, updates));
    QCOMPARE(updates.size(), std::size_t(1));
    const QString name = QString::fromStdString(updates.front().getName());
    QVERIFY2(name.startsWith(QStringLiteral("Łódź")), qPrintable(name));
    QCOMPARE(QString::fromStdString(updates.front().getDescription()), name);
}

void TestUpdateResponseParser::incompleteDocumentsAreNotParsed_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("cut in the middle") << QByteArray("<r><request name='a'><link>http");
    QTest::newRow("unclosed root") << QByteArray("<r><request name='a'/>");
    QTest::newRow("bytes after the root") << QByteArray("<r/>junk");
}

void TestUpdateResponseParser::incompleteDocumentsAreNotParsed()
{
    QFETCH(QByteArray, document);
    std::vector<Update> updates;
    QString error;
    QVERIFY(!UpdateResponseParser::parse(document, updates, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(updates.empty());
}

QTEST_GUILESS_MAIN(TestUpdateResponseParser)
#include "tst_updateresponseparser.moc"
