// The installed components registry, its reader, the update query and the
// protocol helpers.
#include "Component.h"
#include "ComponentsFile.h"
#include "ComponentsFileReader.h"
#include "KwUpdaterClient.h"
#include "Request.h"
#include "Result.h"
#include "Update.h"
#include "Util.h"

#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <climits>
#include <cstdio>

namespace {

Component component(const std::string &project, const std::string &name, const std::string &type,
    const std::string &version = "1.0", const std::string &description = "d")
{
    return Component(project, name, type, version, description, "c", "a", "w", "e");
}

std::string componentText(const std::string &p, const std::string &n, const std::string &t,
    const std::string &v, const std::string &d)
{
    return "<component project='" + p + "' name='" + n + "' type='" + t + "' version='" + v
        + "'>\n<description>" + d
        + "</description>\n<copyrights>c</copyrights>\n<author>a</author>\n<webpage>w</"
          "webpage>\n<email>e</email>\n</component>";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

using ComponentList = std::vector<Component>;
Q_DECLARE_METATYPE(ComponentList)
Q_DECLARE_METATYPE(std::string)

class tst_UpdateProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registryIsSavedByteForByte_data();
    void registryIsSavedByteForByte();
    void readerReadsBackWhatSaveWrote_data();
    void readerReadsBackWhatSaveWrote();
    void readerRejectsOtherTexts_data();
    void readerRejectsOtherTexts();
    void removeUsesTheIdentifier();
    void saveReportsPathsItCannotWrite();

    void queryIsBuiltFromRequests();
    void queryEscapesValuesAndStaysWellFormed();
    void queryFromRegistryUsesKeyOrder();

    void stringToUINT_data();
    void stringToUINT();
    void resultKeepsTheAddedUpdates();
};

void tst_UpdateProtocol::registryIsSavedByteForByte_data()
{
    QTest::addColumn<ComponentList>("components");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty") << ComponentList() << QByteArray("<components>\n</components>");
    QTest::newRow("ordered by identifier, not by adding")
        << ComponentList {component("vell", "zeta", "plugin"), component("vell", "core", "app")}
        << QByteArray(("<components>\n" + componentText("vell", "core", "app", "1.0", "d")
               + componentText("vell", "zeta", "plugin", "1.0", "d") + "</components>")
                          .c_str());
    QTest::newRow("colliding identifiers: the first one stays")
        << ComponentList {component("ab", "c", "app", "1"), component("a", "bc", "app", "2"),
               component("ab", "c", "app", "3")}
        << QByteArray(
               ("<components>\n" + componentText("ab", "c", "app", "1", "d") + "</components>")
                   .c_str());
    QTest::newRow("values are written unescaped")
        << ComponentList {component("o'neil", "a<b", "app", "1&2", "x</description>y")}
        << QByteArray(("<components>\n"
               + componentText("o'neil", "a<b", "app", "1&2", "x</description>y") + "</components>")
                          .c_str());
}

void tst_UpdateProtocol::registryIsSavedByteForByte()
{
    QFETCH(ComponentList, components);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    ComponentsFile registry;
    for (const Component &c : components) {
        registry.addComponent(c);
    }
    const QString path = dir.filePath(QStringLiteral("components.xml"));
    QVERIFY(registry.save(path.toStdString()));
    QCOMPARE(readAll(path), expected);

    // Saving again replaces the whole file.
    QVERIFY(ComponentsFile().save(path.toStdString()));
    QCOMPARE(readAll(path), QByteArray("<components>\n</components>"));
}

void tst_UpdateProtocol::readerReadsBackWhatSaveWrote_data()
{
    QTest::addColumn<ComponentList>("components");
    QTest::newRow("empty") << ComponentList();
    QTest::newRow("several") << ComponentList {
        component("vell", "core", "app"), component("vell", "gg", "plugin", "0.9")};
    QTest::newRow("markup inside values") << ComponentList {
        Component("o'neil", "a<b", "app", "1&2", "x</description>y", "(c)</component>",
            "\xc5\x81ukasz", "http://x/?a=1&b=2", "e</email>\n</component></components>"),
        component("vell", "zz", "app")};
    QTest::newRow("empty fields") << ComponentList {Component("", "n", "", "", "", "", "", "", "")};
}

void tst_UpdateProtocol::readerReadsBackWhatSaveWrote()
{
    QFETCH(ComponentList, components);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    ComponentsFile saved;
    for (const Component &c : components) {
        saved.addComponent(c);
    }
    std::string const path = dir.filePath(QStringLiteral("components.xml")).toStdString();
    QVERIFY(saved.save(path));

    ComponentsFile read;
    std::string error;
    QVERIFY2(ComponentsFileReader::read(path, read, &error), error.c_str());
    QCOMPARE(read.getComponents().size(), saved.getComponents().size());
    auto r = read.getComponents().begin();
    for (const auto &entry : saved.getComponents()) {
        const Component &a = entry.second;
        const Component &b = r->second;
        QCOMPARE(r->first, entry.first);
        QCOMPARE(b.getProject(), a.getProject());
        QCOMPARE(b.getName(), a.getName());
        QCOMPARE(b.getType(), a.getType());
        QCOMPARE(b.getVersion(), a.getVersion());
        QCOMPARE(b.getDescription(), a.getDescription());
        QCOMPARE(b.getCopyrights(), a.getCopyrights());
        QCOMPARE(b.getAuthor(), a.getAuthor());
        QCOMPARE(b.getWebpage(), a.getWebpage());
        QCOMPARE(b.getEmail(), a.getEmail());
        ++r;
    }
}

void tst_UpdateProtocol::readerRejectsOtherTexts_data()
{
    QTest::addColumn<std::string>("text");
    std::string const one = componentText("p", "n", "app", "1", "d");
    QTest::newRow("nothing") << std::string();
    QTest::newRow("XML declaration")
        << std::string("<?xml version='1.0'?>\n<components>\n</components>");
    QTest::newRow("final line feed") << std::string("<components>\n</components>\n");
    QTest::newRow("double quotes") << std::string(
        "<components>\n<component project=\"p\" name=\"n\" type=\"app\" version=\"1\">\n"
        "<description>d</description>\n<copyrights>c</copyrights>\n<author>a</author>\n"
        "<webpage>w</webpage>\n<email>e</email>\n</component></components>");
    QTest::newRow("indented") << "<components>\n  " + one + "</components>";
    QTest::newRow("line feed between components") << "<components>\n" + one + "\n</components>";
    QTest::newRow("missing field")
        << std::string("<components>\n<component project='p' name='n' type='t' version='1'>\n"
                       "<description>d</description>\n<author>a</author>\n<webpage>w</webpage>\n"
                       "<email>e</email>\n</component></components>");
    QTest::newRow("truncated") << ("<components>\n" + one).substr(0, 60);
    QTest::newRow("unclosed registry") << "<components>\n" + one;
}

void tst_UpdateProtocol::readerRejectsOtherTexts()
{
    QFETCH(std::string, text);
    ComponentsFile registry;
    registry.addComponent(component("kept", "x", "app"));
    std::string error;
    QVERIFY(!ComponentsFileReader::parse(text, registry, &error));
    QVERIFY(!error.empty());
    QCOMPARE(registry.getComponents().size(), std::size_t(1));
}

void tst_UpdateProtocol::removeUsesTheIdentifier()
{
    ComponentsFile registry;
    registry.addComponent(component("ab", "c", "app", "1"));
    registry.addComponent(component("ab", "c", "app", "2"));
    QCOMPARE(registry.getComponents().at("abcapp").getVersion(), std::string("1"));

    registry.removeComponent("x", "y", "z"); // absent: no error
    QCOMPARE(registry.getComponents().size(), std::size_t(1));
    registry.removeComponent("a", "bc", "app"); // the other triple of the same identifier
    QVERIFY(registry.getComponents().empty());

    registry.addComponent(component("ab", "c", "app", "2"));
    QCOMPARE(registry.getComponents().at("abcapp").getVersion(), std::string("2"));
}

void tst_UpdateProtocol::saveReportsPathsItCannotWrite()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QVERIFY(
        !ComponentsFile().save(dir.filePath(QStringLiteral("no/such/folder/c.xml")).toStdString()));
    QVERIFY(!ComponentsFile().save(dir.path().toStdString())); // a folder
    QVERIFY(QFileInfo(dir.path()).isDir());
}

void tst_UpdateProtocol::queryIsBuiltFromRequests()
{
    KwUpdaterClient client;
    QCOMPARE(client.getQuery(), std::string("<s><update></update></s>"));

    client.addRequest("vell", "zeta", "plugin", "2");
    client.addRequest("client", "core", "app", "1.0");
    client.addRequest("", "bare", "", "");
    client.addRequest("client", "core", "app", "9.9"); // same identifier: dropped
    QCOMPARE(client.getQuery(),
        std::string("<s><update>"
                    "<component name='bare' version='' />"
                    "<component project='client' name='core' type='app' version='1.0' />"
                    "<component project='vell' name='zeta' type='plugin' version='2' />"
                    "</update></s>"));
}

void tst_UpdateProtocol::queryEscapesValuesAndStaysWellFormed()
{
    KwUpdaterClient client;
    client.addRequest("o'neil", "a<b>c", "x&y", "\"1\"");
    std::string const query = client.getQuery();
    QCOMPARE(query,
        std::string("<s><update><component project='o&apos;neil' "
                    "name='a&lt;b&gt;c' type='x&amp;y' version='&quot;1&quot;' />"
                    "</update></s>"));

    QXmlStreamReader xml(QByteArray::fromStdString(query));
    QString name;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement
            && xml.name() == QLatin1String("component")) {
            name = xml.attributes().value(QLatin1String("name")).toString();
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(name, QStringLiteral("a<b>c"));
}

void tst_UpdateProtocol::queryFromRegistryUsesKeyOrder()
{
    ComponentsFile registry;
    registry.addComponent(component("vell", "z", "app", "3"));
    registry.addComponent(component("vell", "a", "plugin", "1"));
    KwUpdaterClient client;
    client.addRequest("vell", "a", "plugin", "0"); // filed first: the registry's one is dropped
    client.addRequest(registry);
    QCOMPARE(client.getQuery(),
        std::string("<s><update>"
                    "<component project='vell' name='a' type='plugin' version='0' />"
                    "<component project='vell' name='z' type='app' version='3' />"
                    "</update></s>"));
}

void tst_UpdateProtocol::stringToUINT_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<uint>("value");
    QTest::newRow("decimal") << QByteArray("1234") << true << 1234u;
    QTest::newRow("hexadecimal") << QByteArray("0x1F") << true << 31u;
    QTest::newRow("octal") << QByteArray("017") << true << 15u;
    QTest::newRow("empty") << QByteArray("") << true << 0u;
    QTest::newRow("largest") << QByteArray("4294967295") << true << 4294967295u;
    QTest::newRow("trailing blank") << QByteArray("12 ") << false << 0u;
    QTest::newRow("letters after digits") << QByteArray("12ab") << false << 0u;
    QTest::newRow("bare prefix") << QByteArray("0x") << false << 0u;
    QTest::newRow("eight in octal") << QByteArray("08") << false << 0u;
    QTest::newRow("just beyond 32 bits") << QByteArray("4294967296") << false << 0u;
    QTest::newRow("far beyond 64 bits") << QByteArray("99999999999999999999999") << false << 0u;
    QTest::newRow("negative") << QByteArray("-1") << false << 0u;
    QTest::newRow("plus sign") << QByteArray("+1") << false << 0u;
    QTest::newRow("plus sign on hexadecimal") << QByteArray("+0x1F") << false << 0u;
    QTest::newRow("leading blank") << QByteArray(" 12") << false << 0u;
    QTest::newRow("leading tab") << QByteArray("\t12") << false << 0u;
    QTest::newRow("leading newline") << QByteArray("\n12") << false << 0u;
    QTest::newRow("blank alone") << QByteArray(" ") << false << 0u;
    QTest::newRow("minus inside") << QByteArray("1-2") << false << 0u;
}

void tst_UpdateProtocol::stringToUINT()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(uint, value);
    unsigned int result = 777;
    QCOMPARE(Util::stringToUINT(text.constData(), &result), ok);
    QCOMPARE(result, ok ? value : 777u);
    QVERIFY(!Util::stringToUINT(nullptr, &result));
}

void tst_UpdateProtocol::resultKeepsTheAddedUpdates()
{
    const Request request("vell", "core", "app", "1");
    const Update first(
        "vell", "core", "app", "2", "", "", "", "", "", "log", "http://h/a.zip", true, 7);
    const Update second("vell", "core", "app", "3", "", "", "", "", "", "", "", false, 0);
    Result result(request);
    QVERIFY(result.getUpdates().empty());
    result.addUpdate(first);
    result.addUpdate(second);
    QCOMPARE(result.getRequest(), &request);
    QCOMPARE(result.getUpdates(), (std::vector<const Update *> {&first, &second}));
    QCOMPARE(
        Util::generateComponentID("ab", "c", "app"), Util::generateComponentID("a", "bc", "app"));
}

QTEST_GUILESS_MAIN(tst_UpdateProtocol)
#include "tst_updateprotocol.moc"
