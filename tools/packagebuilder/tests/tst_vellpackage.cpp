// The package builder program, as publishers and the tests use it.
#include "Component.h"
#include "MinisignTool.h"
#include "VellPackageVerifier.h"

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
    void signsWithMinisign();
    void reportsFailedSigning();

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
            "settings.ini", archive});
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
        {"--project", "p", "--name", "n", "--type", "plugin", "--files", dir->filePath("src"),
            archive});
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
            "--files", dir->filePath("src"), "--add", "readme.txt", "--registry-fragment",
            archive});
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

    // Without a version there is nothing to register.
    const Run noVersion = runProgram(builder(),
        {"--project", "vell", "--name", "n", "--type", "app", "--files", dir->filePath("src"),
            "--registry-fragment", dir->filePath("n.zip")});
    QCOMPARE(noVersion.exitCode, 2);
    QVERIFY(noVersion.err.contains("--version"));
    QVERIFY(!QFileInfo::exists(dir->filePath("n.zip")));
}

void tst_VellPackage::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("no component") << QStringList {"--files", "src"} << 2;
    QTest::newRow("no archive") << QStringList {"--project", "p", "--name", "n", "--type", "app"}
                                << 2;
    QTest::newRow("missing file") << QStringList {"--project", "p", "--name", "n", "--type", "app",
        "--add", "nothing.txt"} << 1;
    QTest::newRow("climbing name") << QStringList {"--project", "p", "--name", "n", "--type", "app",
        "--add", "../outside.txt"} << 1;
    QTest::newRow("name beyond Latin-1") << QStringList {"--project", "p", "--name", "n", "--type",
        "app", "--add", "Ωmega.txt"} << 1;
}

void tst_VellPackage::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    const QString archive = dir->filePath("out.zip");
    QVERIFY(writeFile(archive, "previous package"));
    QStringList args = arguments;
    args.replaceInStrings(QRegularExpression("^src$"), dir->filePath("src"));
    if (exitCode == 1) {
        args << "--files" << dir->filePath("src") << archive;
    }
    const Run run = runProgram(builder(), args);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(!run.err.isEmpty());
    QFile previous(archive);
    QVERIFY(previous.open(QIODevice::ReadOnly));
    QCOMPARE(previous.readAll(), QByteArray("previous package")); // left alone
    QVERIFY(!QFileInfo::exists(archive + ".part"));
}

void tst_VellPackage::signsWithMinisign()
{
    MinisignTool minisign;
    QVERIFY2(minisign.generate(dir->path()), qPrintable(minisign.lastError));
    const QString archive = dir->filePath("my core.zip");
    QByteArray out;
    const Run run = runProgram(builder(),
        {"--project", "vell", "--name", "my core", "--type", "app", "--version", "2.0", "--files",
            dir->filePath("src"), "--sign", minisign.secretKeyPath(), archive},
        &out);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    // The command is printed as a shell takes it, so a maintainer can repeat it.
    QVERIFY2(out.startsWith("minisign -S -s " + QFile::encodeName(minisign.secretKeyPath())
                 + " -m '" + QFile::encodeName(archive) + "' -t 'vell-package project=vell "
                 + "name=my%20core type=app version=2.0'\n"),
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
}

void tst_VellPackage::reportsFailedSigning()
{
    const QString archive = dir->filePath("core.zip");
    const Run run = runProgram(builder(),
        {"--project", "vell", "--name", "core", "--type", "app", "--files", dir->filePath("src"),
            "--sign", dir->filePath("no-such.key"), archive});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("vell-package: minisign failed"), run.err.constData());
    QVERIFY(!QFileInfo::exists(archive + ".minisig"));
}

QTEST_GUILESS_MAIN(tst_VellPackage)
#include "tst_vellpackage.moc"
