// The package builder program, as publishers and the tests use it.
#include "Component.h"
#include "MinisignTool.h"
#include "VellDebianVersion.h"
#include "VellPackageVerifier.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray err;
};

Run runProgram(const QString &program, const QStringList &arguments, QByteArray *out = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    }
    if (out) {
        *out = process.readAllStandardOutput();
    }
    result.err = process.readAllStandardError();
    return result;
}

QString builder()
{
    return qEnvironmentVariable("VELL_BUILD_DIR") + "/bin/vell-package";
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

class tst_VellPackage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void writesFilesAndDescriptor();
    void addsTheWholeFolderByDefault();
    void addsTheRegistryFragment();
    void refusesBadInput_data();
    void refusesBadInput();
    void acceptsDebianVersions_data();
    void acceptsDebianVersions();
    void signsWithMinisign();
    void writesTheCatalogueEntry();
    void verifies_data();
    void verifies();

private:
    QByteArray entry(const QString &archive, const QString &name) const;

    std::unique_ptr<QTemporaryDir> dir;
};

void tst_VellPackage::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(dir->isValid(), qPrintable(dir->errorString()));
    QVERIFY(writeFile(dir->filePath("src/bin/tool"), "tool"));
    QVERIFY(writeFile(dir->filePath("src/readme.txt"), "readme"));
}

QByteArray tst_VellPackage::entry(const QString &archive, const QString &name) const
{
    QByteArray out;
    const Run run = runProgram("unzip", {"-p", archive, name}, &out);
    return run.exitCode == 0 ? out : QByteArray("<no entry>");
}

void tst_VellPackage::writesFilesAndDescriptor()
{
    const QString archive = dir->filePath("core-2.0.zip");
    const Run run = runProgram(builder(),
        {"--project", "a&b", "--name", "core", "--type", "app", "--version", "2.0", "--files",
            dir->filePath("src"), "--add", "bin/tool", "--remove", "old/gone.txt", "--keep",
            "settings.ini", "--no-registry-fragment", archive});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(entry(archive, "bin/tool"), QByteArray("tool"));
    QCOMPARE(entry(archive, "readme.txt"), QByteArray("<no entry>")); // not asked for

    // The descriptor carries the archive's base name.
    QXmlStreamReader xml(entry(archive, "core-2.0.xml"));
    QStringList seen;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            const QXmlStreamAttributes a = xml.attributes();
            seen << xml.name().toString() + ':' + a.value("project") + a.value("name") + '|'
                    + a.value("type") + a.value("path") + '|' + a.value("action");
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(seen,
        (QStringList {"package:a&bcore|app|", "file:tool|bin|add", "file:gone.txt|old|remove",
            "file:settings.ini|.|keep"}));
}

void tst_VellPackage::addsTheWholeFolderByDefault()
{
    const QString archive = dir->filePath("all.zip");
    const Run run = runProgram(builder(),
        {"--project", "p", "--name", "n", "--type", "plugin", "--version", "1.0", "--files",
            dir->filePath("src"), "--no-registry-fragment", archive});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(entry(archive, "bin/tool"), QByteArray("tool"));
    QCOMPARE(entry(archive, "readme.txt"), QByteArray("readme"));
    QVERIFY(entry(archive, "all.xml")
                .contains("<file name=\"readme.txt\" path=\".\" action=\"add\"/>"));
}

void tst_VellPackage::addsTheRegistryFragment()
{
    const QString archive = dir->filePath("statusfilter-2.0.zip");
    const Run run = runProgram(builder(),
        {"--project", "vell", "--name", "statusfilter", "--type", "plugin", "--version", "2.0",
            "--files", dir->filePath("src"), "--add", "readme.txt", archive});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    // In the installed registry's own format, with the package's version.
    QCOMPARE(entry(archive, "components.d/vellstatusfilterplugin.xml"),
        QByteArray("<components>\n"
                   "<component project='vell' name='statusfilter' type='plugin' version='2.0'>\n"
                   "<description></description>\n<copyrights></copyrights>\n<author></author>\n"
                   "<webpage></webpage>\n<email></email>\n"
                   "</component></components>"));
    const QByteArray descriptor = entry(archive, "statusfilter-2.0.xml");
    QVERIFY2(
        descriptor.contains(
            "<file name=\"vellstatusfilterplugin.xml\" path=\"components.d\" action=\"add\"/>"),
        descriptor.constData());

    // Left out on request.
    const QString bare = dir->filePath("bare.zip");
    const Run without = runProgram(builder(),
        {"--project", "vell", "--name", "n", "--type", "app", "--version", "1:2.0~rc1-3", "--files",
            dir->filePath("src"), "--no-registry-fragment", bare});
    QVERIFY2(without.exitCode == 0, without.err.constData());
    QCOMPARE(entry(bare, "components.d/vellnapp.xml"), QByteArray("<no entry>"));
}

void tst_VellPackage::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");
    // %SRC% is the source folder, %OUT% the archive; a whole, valid command line:
    const QStringList valid {"--project", "p", "--name", "n", "--type", "app", "--version", "2.0",
        "--files", "%SRC%", "%OUT%"};
    const auto without = [&valid](const QString &option) {
        QStringList arguments = valid;
        const int at = arguments.indexOf(option);
        arguments.erase(arguments.begin() + at, arguments.begin() + at + 2);
        return arguments;
    };
    const auto with = [&valid](const QString &option, const QString &value) {
        QStringList arguments = valid;
        arguments.replace(arguments.indexOf(option) + 1, value);
        return arguments;
    };
    QTest::newRow("no project") << without("--project") << 2 << QString("--project");
    QTest::newRow("no archive") << QStringList(valid.mid(0, valid.size() - 1)) << 2
                                << QString("one archive");
    QTest::newRow("two archives") << QStringList(valid + QStringList {"%OUT%"}) << 2
                                  << QString("one archive");
    QTest::newRow("unknown option") << valid + QStringList {"--bogus"} << 2 << QString("bogus");
    // The current folder only when asked for by name: it may hold the signing key.
    QTest::newRow("no --files") << without("--files") << 2 << QString("--files .");
    QTest::newRow("no version") << without("--version") << 2 << QString("--version");
    QTest::newRow("empty version") << with("--version", "") << 2 << QString("empty");
    QTest::newRow("not a version")
        << with("--version", "not a version") << 2 << QString("not a version");
    QTest::newRow("version without a digit first")
        << with("--version", "v2.0") << 2 << QString("v2.0");
    QTest::newRow("empty revision") << with("--version", "2.0-") << 2 << QString("2.0-");
    QTest::newRow("epoch not a number") << with("--version", "a:2.0") << 2 << QString("a:2.0");
    QTest::newRow("colon without epoch") << with("--version", "2.0:1") << 2 << QString("2.0:1");
    QTest::newRow("--expires without --sign")
        << valid + QStringList {"--expires", "2030-01-01T00:00:00Z"} << 2 << QString("--sign");
    QTest::newRow("--expires not UTC")
        << valid + QStringList {"--sign", "k", "--expires", "2030-01-01T00:00:00+01:00"} << 2
        << QString("YYYY-MM-DDTHH:MM:SSZ");
    QTest::newRow("--expires no such day")
        << valid + QStringList {"--sign", "k", "--expires", "2030-02-30T00:00:00Z"} << 2
        << QString("2030-02-30");
    QTest::newRow("fragment both ways")
        << valid + QStringList {"--registry-fragment", "--no-registry-fragment"} << 2
        << QString("--no-registry-fragment");
    QTest::newRow("missing file") << valid + QStringList {"--add", "nothing.txt"} << 1
                                  << QString("nothing.txt");
    QTest::newRow("climbing name")
        << valid + QStringList {"--add", "../outside.txt"} << 1 << QString("inside the package");
    QTest::newRow("name beyond Latin-1")
        << valid + QStringList {"--add", "Ωmega.txt"} << 1 << QString("Ωmega.txt");
    QTest::newRow("failed signing")
        << valid + QStringList {"--sign", "%SRC%/no-such.key"} << 1 << QString("minisign failed");
}

void tst_VellPackage::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    const QString archive = dir->filePath("out.zip");
    QVERIFY(writeFile(archive, "previous package"));
    QVERIFY(writeFile(archive + ".minisig", "previous signature"));
    arguments.replaceInStrings("%SRC%", dir->filePath("src"));
    arguments.replaceInStrings("%OUT%", archive);
    const Run run = runProgram(builder(), arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(run.err).contains(reason), run.err.constData());
    // The published pair is left alone, and no temporary file stays behind.
    QFile previous(archive);
    QVERIFY(previous.open(QIODevice::ReadOnly));
    QCOMPARE(previous.readAll(), QByteArray("previous package"));
    QFile previousSignature(archive + ".minisig");
    QVERIFY(previousSignature.open(QIODevice::ReadOnly));
    QCOMPARE(previousSignature.readAll(), QByteArray("previous signature"));
    QCOMPARE(
        QDir(dir->path()).entryList(QDir::Files), (QStringList {"out.zip", "out.zip.minisig"}));
}

void tst_VellPackage::acceptsDebianVersions_data()
{
    QTest::addColumn<QString>("version");
    for (const char *version :
        {"0", "2.0", "1:2.0", "2.0-1", "2.0-rc-1", "2.0~rc1+dfsg.1-0ubuntu2", "10:1.2.3a"}) {
        QTest::newRow(version) << QString::fromLatin1(version);
    }
}

void tst_VellPackage::acceptsDebianVersions()
{
    QFETCH(QString, version);
    QVERIFY(VellDebianVersion::isWellFormed(version));
}

void tst_VellPackage::signsWithMinisign()
{
    MinisignTool minisign;
    QVERIFY2(minisign.generate(dir->path()), qPrintable(minisign.lastError));
    const QString archive = dir->filePath("my core.zip");
    QByteArray out;
    const Run run = runProgram(builder(),
        {"--project", "vell", "--name", "my core", "--type", "app", "--version", "2.0", "--files",
            dir->filePath("src"), "--sign", minisign.secretKeyPath(), "--expires",
            "2030-01-02T03:04:05Z", archive},
        &out);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    // The command is printed as a shell takes it, so a maintainer can repeat it.
    QVERIFY2(out.startsWith("minisign -S -s " + QFile::encodeName(minisign.secretKeyPath())
                 + " -m '" + QFile::encodeName(archive) + ".new' -t 'vell-package project=vell "
                 + "name=my%20core type=app version=2.0 expires=2030-01-02T03%3A04%3A05Z'\n"),
        out.constData());

    const Component component("vell", "my core", "app", "2.0", "", "", "", "", "");
    VellMinisignPublicKey key;
    QFile keyFile(minisign.publicKeyPath());
    QVERIFY(keyFile.open(QIODevice::ReadOnly));
    QVERIFY(VellMinisignPublicKey::parse(keyFile.readAll(), key));
    QCOMPARE(VellPackageVerifier(VellTrustedKeys({key}))
                 .verify(archive, archive + ".minisig", component),
        VellPackageVerifier::Verdict::Accepted);
    QCOMPARE(runProgram("minisign", {"-V", "-q", "-p", minisign.publicKeyPath(), "-m", archive})
                 .exitCode,
        0);
    QCOMPARE(QDir(dir->path()).entryList({"my core*"}, QDir::Files),
        (QStringList {"my core.zip", "my core.zip.minisig"}));
}

void tst_VellPackage::writesTheCatalogueEntry()
{
    const QString catalogue = dir->filePath("catalogue");
    QVERIFY(QDir().mkpath(catalogue));
    // The component's file under a name of its own, beside another component's.
    QVERIFY(writeFile(catalogue + "/core.json",
        "{\"project\": \"vell\", \"name\": \"core\", \"type\": \"app\", \"author\": \"Ala\","
        " \"versions\": [{\"version\": \"1.0\", \"link\": \"http://h/core-1.0.zip\"},"
        " {\"version\": \"1.1\", \"link\": \"http://h/old.zip\"}]}"));
    QVERIFY(writeFile(catalogue + "/other.json",
        "{\"project\": \"vell\", \"name\": \"x\", \"type\": \"plugin\", \"versions\": []}"));
    const auto publish = [&](const QString &name, const QString &version, const QString &link) {
        return runProgram(builder(),
            {"catalogue", "--catalogue", catalogue, "--project", "vell", "--name", name, "--type",
                "app", "--version", version, "--link", link, "--changelog", "Faster", "--timestamp",
                "1767225600"});
    };
    Run run = publish("core", "1.1", "http://h/core-1.1.zip"); // published again: replaced
    QVERIFY2(run.exitCode == 0, run.err.constData());
    run = publish("new", "2.0", "http://h/new-2.0.zip");
    QVERIFY2(run.exitCode == 0, run.err.constData());

    const auto read = [&](const QString &name) {
        QFile file(catalogue + '/' + name);
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    };
    const QJsonObject core = read("core.json");
    QCOMPARE(core.value("author").toString(), QString("Ala")); // kept
    QCOMPARE(core.value("versions"),
        QJsonValue(QJsonArray {QJsonObject {{"version", "1.0"}, {"link", "http://h/core-1.0.zip"}},
            QJsonObject {{"version", "1.1"}, {"description", ""}, {"changelog", "Faster"},
                {"link", "http://h/core-1.1.zip"}, {"critical", false},
                {"timestamp", 1767225600}}}));
    QCOMPARE(read("vell-new-app.json").value("versions").toArray().size(), 1);
    QCOMPARE(read("other.json").value("name").toString(), QString("x"));

    // A file it cannot read is never rewritten.
    QVERIFY(writeFile(catalogue + "/broken.json", "{"));
    run = publish("core", "1.2", "http://h/core-1.2.zip");
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("broken.json"), run.err.constData());
    QCOMPARE(read("core.json").value("versions").toArray().size(), 2);
}

void tst_VellPackage::verifies_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("change"); // what happens to the package after signing
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");
    QTest::newRow("as signed") << QString("2.0") << QString("") << 0 << QString("accepted");
    QTest::newRow("another version")
        << QString("2.1") << QString("") << 1 << QString("signed for another component");
    QTest::newRow("changed file") << QString("2.0") << QString("tamper") << 1
                                  << QString("the file was changed");
    QTest::newRow("no signature") << QString("2.0") << QString("unsign") << 1
                                  << QString("is not signed");
    QTest::newRow("another key") << QString("2.0") << QString("rekey") << 1
                                 << QString("does not trust");
}

void tst_VellPackage::verifies()
{
    QFETCH(QString, version);
    QFETCH(QString, change);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    MinisignTool minisign;
    QVERIFY2(minisign.generate(dir->path()), qPrintable(minisign.lastError));
    const QString archive = dir->filePath("core-2.0.zip");
    const QStringList component {"--project", "vell", "--name", "core", "--type", "app"};
    Run run = runProgram(builder(),
        component
            + QStringList {"--version", "2.0", "--files", dir->filePath("src"), "--sign",
                minisign.secretKeyPath(), archive});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QString publicKey = minisign.publicKeyPath();
    if (change == "tamper") {
        QFile file(archive);
        QVERIFY(file.open(QIODevice::Append) && file.write("x") == 1);
    } else if (change == "unsign") {
        QVERIFY(QFile::remove(archive + ".minisig"));
    } else if (change == "rekey") {
        MinisignTool other;
        QVERIFY2(other.generate(dir->path(), "other"), qPrintable(other.lastError));
        publicKey = other.publicKeyPath();
    }
    QByteArray out;
    run = runProgram(builder(),
        QStringList {"verify", "--key", publicKey} + component
            + QStringList {"--version", version, archive},
        &out);
    QCOMPARE(run.exitCode, exitCode);
    // The updater's own refusal, naming the package.
    const QByteArray said = out + run.err;
    QVERIFY2(QString::fromUtf8(said).contains(reason), said.constData());
    if (exitCode != 0) {
        QVERIFY(run.err.contains("core-2.0.zip"));
    }
}

QTEST_GUILESS_MAIN(tst_VellPackage)
#include "tst_vellpackage.moc"
