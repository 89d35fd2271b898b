// Turning the update server's response into Update records.
#include "TestAnswers.h"
#include "UpdateResponseParser.h"

#include <QTextCodec>
#include <QtTest>

using Status = UpdateResponseParser::Status;
Q_DECLARE_METATYPE(Status)

namespace {

QByteArray request(const QByteArray &attributes, const QByteArray &children)
{
    return "<request " + attributes + ">" + children + "</request>";
}

/** Every field of every update, for comparing two parses. */
QStringList describe(const std::vector<Update> &updates)
{
    QStringList lines;
    for (const Update &u : updates) {
        const std::string fields[]
            = {u.getProject(), u.getName(), u.getType(), u.getVersion(), u.getDescription(),
                u.getCopyrights(), u.getAuthor(), u.getWebpage(), u.getEmail(), u.getChangelog(),
                u.getLink(), u.isCritical() ? "critical" : "-", std::to_string(u.getTimestamp())};
        QStringList line;
        for (const std::string &field : fields) {
            line << QString::fromStdString(field);
        }
        lines << line.join(QLatin1Char('|'));
    }
    return lines;
}

struct ChunkedParse
{
    Status status = Status::Incomplete;
    QString errorText;
    std::vector<Update> updates;
};

/** Feeds answer in pieces of chunkBytes, as a socket might, then finishes. */
ChunkedParse parseInChunks(const QByteArray &answer, int chunkBytes,
    const UpdateResponseParser::Bounds &bounds = UpdateResponseParser::Bounds())
{
    UpdateResponseParser parser(bounds);
    for (int offset = 0; offset < answer.size(); offset += chunkBytes) {
        parser.addData(answer.mid(offset, chunkBytes));
    }
    ChunkedParse result;
    result.status = parser.finish();
    result.errorText = parser.errorString();
    result.updates = parser.takeUpdates();
    return result;
}

constexpr int FourMiB = 4 * 1024 * 1024;

/** The length of the one long run of "x" in an answer behind a section. */
int fillerSize(const QByteArray &answer)
{
    return answer.lastIndexOf("xx") - answer.indexOf("xx") + 2;
}

} // namespace

class tst_UpdateResponseParser : public QObject
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
    void hostileAnswersAreRefused_data();
    void hostileAnswersAreRefused();
    void largeAnswersInSmallChunks_data();
    void largeAnswersInSmallChunks();
    void sizeBoundIsExact_data();
    void sizeBoundIsExact();
    void chunkingChangesNothing_data();
    void chunkingChangesNothing();
};

void tst_UpdateResponseParser::requestsYieldUpdates_data()
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

void tst_UpdateResponseParser::requestsYieldUpdates()
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

void tst_UpdateResponseParser::fieldsAreTakenFromTheirPlaces()
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

void tst_UpdateResponseParser::criticalAndTimestamp_data()
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

void tst_UpdateResponseParser::criticalAndTimestamp()
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

void tst_UpdateResponseParser::textIsStoredAsUtf8_data()
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

void tst_UpdateResponseParser::textIsStoredAsUtf8()
{
    QFETCH(QByteArray, document);
    std::vector<Update> updates;
    QVERIFY(UpdateResponseParser::parse(document, updates));
    QCOMPARE(updates.size(), std::size_t(1));
    const QString name = QString::fromStdString(updates.front().getName());
    QVERIFY2(name.startsWith(QStringLiteral("Łódź")), qPrintable(name));
    QCOMPARE(QString::fromStdString(updates.front().getDescription()), name);
}

void tst_UpdateResponseParser::incompleteDocumentsAreNotParsed_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("cut in the middle") << QByteArray("<r><request name='a'><link>http");
    QTest::newRow("unclosed root") << QByteArray("<r><request name='a'/>");
    QTest::newRow("bytes after the root") << QByteArray("<r/>junk");
}

void tst_UpdateResponseParser::incompleteDocumentsAreNotParsed()
{
    QFETCH(QByteArray, document);
    std::vector<Update> updates;
    QString error;
    QVERIFY(!UpdateResponseParser::parse(document, updates, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(updates.empty());
}

void tst_UpdateResponseParser::hostileAnswersAreRefused_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<qint64>("maxBytes");

    using namespace TestAnswers;
    const qint64 bound = UpdateResponseParser::Bounds().maxBytes;
    QTest::newRow("100,000 nested elements") << nestedElements(100000) << bound;
    QTest::newRow("entity declarations") << entityExpansion() << bound;
    QTest::newRow("external entity") << externalEntity() << bound;
    QTest::newRow("document type alone")
        << QByteArray("<!DOCTYPE response><response><request name='a'/></response>") << bound;
    QTest::newRow("1,000,000 request elements, no size bound")
        << manyRequests(1000000) << (qint64(1) << 40);
    QTest::newRow("100,000 attributes") << manyAttributes(100000) << bound;
    // Each level would keep the same text once more.
    const int levels = 200;
    QTest::newRow("nested requests repeating one text")
        << QByteArray("<request><changelog>").repeated(levels) + QByteArray(64 * 1024, 'x')
            + QByteArray("</changelog></request>").repeated(levels)
        << bound;
    QTest::newRow("bytes after the root") << QByteArray("<response/>junk") << bound;
}

// Each ends at once in a refusal, without waiting for more data.
void tst_UpdateResponseParser::hostileAnswersAreRefused()
{
    QFETCH(QByteArray, answer);
    QFETCH(qint64, maxBytes);

    UpdateResponseParser::Bounds bounds;
    bounds.maxBytes = maxBytes;
    const ChunkedParse parse = parseInChunks(answer, 4096, bounds);
    QCOMPARE(parse.status, Status::Failed);
    QVERIFY(!parse.errorText.isEmpty());
    QVERIFY(parse.updates.empty());
}

void tst_UpdateResponseParser::largeAnswersInSmallChunks_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("updates");
    QTest::addColumn<int>("firstChangelogSize");

    using namespace TestAnswers;
    const QByteArray requests = largeResponse(FourMiB);
    QTest::newRow("4 MiB of requests") << requests << requests.count("<request ")
                                       << QByteArray(" - fixed a fault\n").repeated(230).size();
    const QByteArray changelog = responseBehindSection(
        FourMiB, "<request name='big'><changelog>", "</changelog></request>");
    QTest::newRow("4 MiB change log") << changelog << 2 << fillerSize(changelog);
    const QByteArray cdata = responseBehindSection(
        FourMiB, "<request name='big'><changelog><![CDATA[", "]]></changelog></request>");
    QTest::newRow("4 MiB CDATA section") << cdata << 2 << fillerSize(cdata);
    QTest::newRow("4 MiB comment") << responseBehindSection(FourMiB, "<!--", "-->") << 1 << 5;
    QTest::newRow("4 MiB processing instruction")
        << responseBehindSection(FourMiB, "<?filler ", "?>") << 1 << 5;
}

// Each chunk is read once: a section longer than many chunks is not read
// again from its start with every chunk (the benchmark shows the time).
void tst_UpdateResponseParser::largeAnswersInSmallChunks()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, updates);
    QFETCH(int, firstChangelogSize);

    QVERIFY(answer.size() <= FourMiB);
    const ChunkedParse parse = parseInChunks(answer, 4096);
    QVERIFY2(parse.status == Status::Complete, qPrintable(parse.errorText));
    QCOMPARE(int(parse.updates.size()), updates);
    QCOMPARE(int(parse.updates.front().getChangelog().size()), firstChangelogSize);
}

void tst_UpdateResponseParser::sizeBoundIsExact_data()
{
    QTest::addColumn<int>("chunkBytes");
    QTest::addColumn<int>("spare");
    QTest::addColumn<Status>("status");

    for (const int chunkBytes : {1 << 20, 7}) {
        const QByteArray how = chunkBytes > 7 ? "at once" : "in 7-byte chunks";
        QTest::addRow("exactly the bound, %s", how.constData())
            << chunkBytes << 0 << Status::Complete;
        QTest::addRow("one byte beyond, %s", how.constData()) << chunkBytes << -1 << Status::Failed;
    }
}

void tst_UpdateResponseParser::sizeBoundIsExact()
{
    QFETCH(int, chunkBytes);
    QFETCH(int, spare);
    QFETCH(Status, status);

    const QByteArray answer = TestAnswers::response(2);
    UpdateResponseParser::Bounds bounds;
    bounds.maxBytes = answer.size() + spare;
    QCOMPARE(parseInChunks(answer, chunkBytes, bounds).status, status);
}

void tst_UpdateResponseParser::chunkingChangesNothing_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("complete");

    const QByteArray update = "<version>2</version><link>http://h/p.zip</link>";
    QTest::newRow("markup look-alikes in sections")
        << "<?xml version='1.0'?><!-- <request name='no'/> - -> --><response>"
            + request("name='a'",
                "<changelog>one<![CDATA[ <b>]]b]> ]]]><?pi a?b > c?"
                "?>two</changelog>"
                    + update)
            + "<!----></response><!-- after -->"
        << true;
    QTest::newRow("quotes, > and = in attribute values") << "<response>"
            + request("name='a>b=c' project=\"it's\" type=\"x'y\"", update)
            + "</response>" << true;
    QTest::newRow("marks and nested requests") << "<response>" + request("name='a'", "<latest/>")
            + request(
                "name='b'", "<description>x" + request("name='c'", update) + "y</description>")
            + "</response>" << true;
    QTest::newRow("blank text between markup") << "<response>"
            + request("name='a'", "<changelog> <b>x</b> \n <!-- --> &#32; </changelog>")
            + "</response>" << true;
    const QString polish = QStringLiteral("Zażółć gęślą jaźń");
    const QByteArray polishRequest = "<request name='" + polish.toUtf8() + "'><changelog>"
        + polish.toUtf8() + "</changelog></request>";
    QTextCodec *latin2 = QTextCodec::codecForName("ISO-8859-2");
    QTest::newRow("ISO-8859-2") << "<?xml version='1.0' encoding='ISO-8859-2'?>"
            + latin2->fromUnicode(QString::fromUtf8(polishRequest))
                                << true;
    // The codec writes the byte order mark.
    for (const char *utf16 : {"UTF-16LE", "UTF-16BE"}) {
        QTest::newRow(utf16) << QTextCodec::codecForName(utf16)->fromUnicode(
            QString::fromUtf8("<!-- x --><response><?pi ?>" + polishRequest + "</response>"))
                             << true;
    }

    // Not well-formed, whichever piece the fault lands in.
    const QByteArray answer = "<response>" + request("name='a'", update) + "</response>";
    QTest::newRow("]]> in text") << "<response>"
            + request("name='a'", "<changelog>a]]>b</changelog>")
            + "</response>" << false;
    QTest::newRow("UTF-8 byte order mark, Latin-1 declared")
        << "\xEF\xBB\xBF<?xml version='1.0' encoding='iso-8859-1'?>" + answer << false;
    QTest::newRow("bytes after the root") << answer + "junk" << false;
    QTest::newRow("a NUL byte in the change log") << "<response>"
            + request("name='a'", "<changelog>a" + QByteArray(1, '\0') + "b</changelog>" + update)
            + "</response>" << false;
    QTest::newRow("blanks and a comment after the root") << answer + " \n<!-- end -->\n" << true;
}

// However the answer is cut into chunks, it gives the same verdict and the
// same updates: in pieces of a few bytes and cut in two at every byte.
void tst_UpdateResponseParser::chunkingChangesNothing()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, complete);

    std::vector<Update> whole;
    QString error;
    QCOMPARE(UpdateResponseParser::parse(answer, whole, &error), complete);
    QCOMPARE(whole.empty(), !complete);
    const Status verdict = complete ? Status::Complete : Status::Failed;
    for (const int chunkBytes : {1, 2, 3, 5}) {
        const ChunkedParse parse = parseInChunks(answer, chunkBytes);
        QVERIFY2(parse.status == verdict,
            qPrintable(QStringLiteral("%1-byte chunks: %2").arg(chunkBytes).arg(parse.errorText)));
        QCOMPARE(describe(parse.updates), describe(whole));
    }
    for (int split = 1; split < answer.size(); ++split) {
        UpdateResponseParser parser;
        parser.addData(answer.left(split));
        parser.addData(answer.mid(split));
        QVERIFY2(parser.finish() == verdict,
            qPrintable(QStringLiteral("cut at %1: %2").arg(split).arg(parser.errorString())));
        QCOMPARE(describe(parser.takeUpdates()), describe(whole));
    }
}

QTEST_GUILESS_MAIN(tst_UpdateResponseParser)
#include "tst_updateresponseparser.moc"
