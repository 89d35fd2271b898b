// Signed packages end to end through the engine: the download fetches each
// package's signature from a real HTTP server on port 80 (inside a private
// network namespace), and the installation refuses the whole run, touching
// nothing, when one package fails the check. Signatures are made by the real
// minisign program.

#include "EngineTestSupport.h"
#include "MiniHttpServer.h"
#include "MinisignTool.h"
#include "ScriptedUserPrompt.h"
#include "SignatureFault.h"
#include "TestFiles.h"
#include "TestNamespace.h"
#include "TestPackage.h"
#include "VellPackageVerifier.h"
#include "VellTrustedComment.h"
#include "VellUpdateServerAddress.h"
#include "VellUpdaterEngine.h"

#include <QTemporaryDir>
#include <QtTest>

using Verdict = VellPackageVerifier::Verdict;
Q_DECLARE_METATYPE(MinisignTool::Format)

namespace {

const QStringList Names {QStringLiteral("one"), QStringLiteral("two")};

} // namespace

class tst_EngineSignatures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void installsSignedPackages_data();
    void installsSignedPackages();
    void refusedPackageLeavesEverythingUntouched_data();
    void refusedPackageLeavesEverythingUntouched();
    void withoutKeysInstallsUnsignedAsBefore();
    void oversizedSignatureFailsDownload();
    void trickledSignatureFailsAtDeadline();

private:
    bool serveSignature(const QString &name, MinisignTool &signer, const QByteArray &comment,
        MinisignTool::Format format = MinisignTool::Format::Prehashed);
    std::unique_ptr<VellUpdaterEngine> checkedEngine();
    bool download(VellUpdaterEngine &engine, EngineSignalLog &log);
    QString pluginFile(const QString &name) const { return scene->pluginFile(name); }

    QTemporaryDir keys;
    MinisignTool trusted;
    MinisignTool stranger;
    MiniHttpServer http;
    std::unique_ptr<PluginUpdateScene> scene;
};

void tst_EngineSignatures::initTestCase()
{
    QString notInside;
    QVERIFY2(TestNamespace::isInside(TestNamespace::Network, &notInside), qPrintable(notInside));
    QVERIFY2(keys.isValid(), qPrintable(keys.errorString()));
    for (const char *folder : {"trusted", "stranger", "update-keys"}) {
        QVERIFY(QDir(keys.path()).mkpath(folder));
    }
    QVERIFY2(trusted.generate(keys.filePath("trusted")), qPrintable(trusted.lastError));
    QVERIFY2(stranger.generate(keys.filePath("stranger")), qPrintable(stranger.lastError));
    QVERIFY(QFile::copy(trusted.publicKeyPath(), keys.filePath("update-keys/minisign.pub")));
    QVERIFY(http.listen());
}

void tst_EngineSignatures::init()
{
    http.answers.clear();
    http.requests.clear();
    scene.reset(new PluginUpdateScene);
    QVERIFY(scene->setUp(Names));
    for (const QString &name : Names) {
        http.addFile('/' + name.toUtf8() + ".zip", readFile(scene->packagePath(name)));
    }
}

void tst_EngineSignatures::cleanup()
{
    scene.reset();
}

bool tst_EngineSignatures::serveSignature(const QString &name, MinisignTool &signer,
    const QByteArray &comment, MinisignTool::Format format)
{
    const QString package = scene->packagePath(name);
    if (!signer.sign(package, comment, format)) {
        qWarning("%s", qPrintable(signer.lastError));
        return false;
    }
    http.addFile('/' + name.toUtf8() + ".zip.minisig", readFile(package + ".minisig"));
    return true;
}

std::unique_ptr<VellUpdaterEngine> tst_EngineSignatures::checkedEngine()
{
    const QString client = scene->filePath("client/vell");
    if (!writeStubClient(client, queryFor({"vell one plugin 1.0", "vell two plugin 1.0"}))) {
        return nullptr;
    }
    std::unique_ptr<VellUpdaterEngine> engine(new VellUpdaterEngine);
    engine->setClientProgram(client);
    engine->setTrustedKeysFolder(keys.filePath("update-keys"));
    if (!engine->checkUpdates() || engine->getUpdates().size() != Names.size()) {
        return nullptr;
    }
    return engine;
}

bool tst_EngineSignatures::download(VellUpdaterEngine &engine, EngineSignalLog &log)
{
    engine.beginDownload();
    QElapsedTimer waited;
    waited.start();
    while (log.of("downloadFinished").isEmpty() && log.of("error").isEmpty()
        && !waited.hasExpired(20000)) {
        QTest::qWait(10);
    }
    return !log.of("downloadFinished").isEmpty() && log.of("error").isEmpty();
}

void tst_EngineSignatures::installsSignedPackages_data()
{
    QTest::addColumn<MinisignTool::Format>("format");
    QTest::newRow("prehashed") << MinisignTool::Format::Prehashed;
    QTest::newRow("legacy") << MinisignTool::Format::Legacy;
}

void tst_EngineSignatures::installsSignedPackages()
{
    QFETCH(MinisignTool::Format, format);
    for (const QString &name : Names) {
        QVERIFY(serveSignature(name, trusted,
            VellTrustedComment::forComponent("vell", name.toUtf8(), "plugin", "2.0"), format));
    }
    auto engine = checkedEngine();
    QVERIFY(engine);
    EngineSignalLog signalLog(engine.get());
    QVERIFY2(download(*engine, signalLog), qPrintable(signalLog.events.join('\n')));
    // Each signature right after its package; progress counts the packages alone.
    QCOMPARE(http.requests,
        (QList<QByteArray> {"HEAD /one.zip", "HEAD /two.zip", "GET /one.zip",
            "GET /one.zip.minisig", "GET /two.zip", "GET /two.zip.minisig"}));
    QCOMPARE(signalLog.of("downloadProgress").last(), QStringLiteral("100"));

    ScriptedUserPrompt prompt;
    engine->setUserPrompt(&prompt);
    engine->installUpdates();

    QVERIFY2(prompt.texts.isEmpty(), qPrintable(prompt.texts.join('\n')));
    QVERIFY(engine->installSucceeded);
    for (const QString &name : Names) {
        QCOMPARE(readFile(pluginFile(name)), name.toUtf8() + "-new");
    }
    QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
}

void tst_EngineSignatures::refusedPackageLeavesEverythingUntouched_data()
{
    SignatureFault::addRows();
}

void tst_EngineSignatures::refusedPackageLeavesEverythingUntouched()
{
    QFETCH(SignatureFault::Kind, fault);
    QFETCH(Verdict, verdict);
    // The first package is sound: it must not be installed either.
    QVERIFY(serveSignature(
        "one", trusted, VellTrustedComment::forComponent("vell", "one", "plugin", "2.0")));
    const SignatureFault broken(fault);
    if (broken.hasSignature()) {
        QVERIFY(serveSignature("two", broken.byUnknownKey() ? stranger : trusted,
            broken.comment("vell", "two", "plugin", "2.0"), broken.format()));
    }
    QByteArray package = http.answers.value("/two.zip").body;
    QByteArray signature = http.answers.value("/two.zip.minisig").body;
    broken.damage(package, signature, "2.0");
    http.addFile("/two.zip", package);
    if (broken.hasSignature()) {
        http.addFile("/two.zip.minisig", signature);
    }

    auto engine = checkedEngine();
    QVERIFY(engine);
    EngineSignalLog signalLog(engine.get());
    QVERIFY2(download(*engine, signalLog), qPrintable(signalLog.events.join('\n')));
    ScriptedUserPrompt prompt;
    engine->setUserPrompt(&prompt);
    signalLog.events.clear();
    engine->installUpdates();

    QCOMPARE(prompt.kinds, QStringList {"tellError"});
    QCOMPARE(prompt.titles, QStringList {"Update"});
    const QString reason = VellPackageVerifier::refusalText(verdict, "two 2.0");
    QVERIFY2(prompt.texts.first().startsWith(reason + '\n'), qPrintable(prompt.texts.first()));
    QVERIFY(!engine->installSucceeded);
    QCOMPARE(engine->getLog(), prompt.texts.first());
    QCOMPARE(signalLog.events, QStringList {"installFinished:"});
    for (const QString &name : Names) {
        QCOMPARE(readFile(pluginFile(name)), name.toUtf8() + "-old");
    }
    QCOMPARE(filesBelow(scene->filePath("home")),
        QStringList({".Vellnet/plugins/data/one.dat", ".Vellnet/plugins/data/two.dat"}));
    QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
}

void tst_EngineSignatures::withoutKeysInstallsUnsignedAsBefore()
{
    auto engine = checkedEngine();
    QVERIFY(engine);
    engine->setTrustedKeysFolder(scene->filePath("no-keys"));
    EngineSignalLog signalLog(engine.get());
    QVERIFY2(download(*engine, signalLog), qPrintable(signalLog.events.join('\n')));
    QCOMPARE(http.requests,
        (QList<QByteArray> {"HEAD /one.zip", "HEAD /two.zip", "GET /one.zip", "GET /two.zip"}));

    ScriptedUserPrompt prompt;
    engine->setUserPrompt(&prompt);
    engine->installUpdates();
    QVERIFY(prompt.texts.isEmpty());
    QVERIFY(engine->installSucceeded);
    for (const QString &name : Names) {
        QCOMPARE(readFile(pluginFile(name)), name.toUtf8() + "-new");
    }
}

void tst_EngineSignatures::oversizedSignatureFailsDownload()
{
    QVERIFY(serveSignature(
        "one", trusted, VellTrustedComment::forComponent("vell", "one", "plugin", "2.0")));
    http.addFile("/one.zip.minisig", QByteArray(100 * 1024, 'x'));
    auto engine = checkedEngine();
    QVERIFY(engine);
    EngineSignalLog signalLog(engine.get());
    QVERIFY(!download(*engine, signalLog));
    QVERIFY2(signalLog.of("error").first().contains("/one.zip.minisig"),
        qPrintable(signalLog.events.join('\n')));
    QVERIFY(signalLog.of("downloadFinished").isEmpty());
    QVERIFY(!http.requests.contains("GET /two.zip"));
    QVERIFY(!QFileInfo::exists(engine->workDirectory() + "one.zip.minisig"));
}

void tst_EngineSignatures::trickledSignatureFailsAtDeadline()
{
    QVERIFY(serveSignature(
        "one", trusted, VellTrustedComment::forComponent("vell", "one", "plugin", "2.0")));
    // A genuine signature, one byte every 50 ms: far within the silence
    // limit, and about 15 s in all.
    http.answers["/one.zip.minisig"].trickleMs = 50;
    auto engine = checkedEngine();
    QVERIFY(engine);
    VellUpdaterEngine::Limits limits = engine->getLimits();
    limits.signatureDeadlineMs = 1000;
    engine->setLimits(limits);
    EngineSignalLog signalLog(engine.get());
    QVERIFY(!download(*engine, signalLog));
    const QStringList errors = signalLog.of("error");
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains("/one.zip.minisig")
            && errors.first().contains("did not arrive within 1 seconds"),
        qPrintable(errors.first()));
    QVERIFY(!http.requests.contains("GET /two.zip"));
    QVERIFY(!QFileInfo::exists(engine->workDirectory() + "one.zip.minisig"));
}

QTEST_GUILESS_MAIN(tst_EngineSignatures)
#include "tst_engine_signatures.moc"
