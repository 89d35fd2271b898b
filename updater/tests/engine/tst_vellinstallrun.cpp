// VellInstallRun alone, the user a script: how the answers to Retry/Abort
// decide between an installed run and a rolled back one, and what the log says.

#include "EngineTestSupport.h"
#include "MinisignTool.h"
#include "ScriptedUserPrompt.h"
#include "TestFiles.h"
#include "VellInstallRun.h"
#include "VellTrustedComment.h"
#include "VellUpdaterEngine.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QStringList Names {QStringLiteral("one"), QStringLiteral("two")};

} // namespace

class tst_VellInstallRun : public QObject
{
    Q_OBJECT

private slots:
    void answersDecideTheOutcome_data();
    void answersDecideTheOutcome();
    void refusesDowngradeOfInstalledComponent_data();
    void refusesDowngradeOfInstalledComponent();
};

void tst_VellInstallRun::answersDecideTheOutcome_data()
{
    QTest::addColumn<int>("retries"); ///< Retry answers before the script gives up
    QTest::addColumn<int>("arrivesBeforeAnswer"); ///< -1: the package never arrives
    QTest::addColumn<bool>("installed");

    QTest::newRow("abort at once") << 0 << -1 << false;
    QTest::newRow("retry in vain, then abort") << 2 << -1 << false;
    QTest::newRow("retry after it arrived") << 1 << 0 << true;
    QTest::newRow("second retry after it arrived") << 2 << 1 << true;
}

void tst_VellInstallRun::answersDecideTheOutcome()
{
    QFETCH(int, retries);
    QFETCH(int, arrivesBeforeAnswer);
    QFETCH(bool, installed);

    PluginUpdateScene scene;
    QVERIFY(scene.setUp(Names));
    const QString client = scene.filePath("client/vell");
    QVERIFY(writeStubClient(client,
        queryFor({QStringLiteral("vell one plugin 1.0"), QStringLiteral("vell two plugin 1.0")})));
    VellUpdaterEngine engine; // only for the update list and the work directory
    engine.setClientProgram(client);
    QVERIFY(engine.checkUpdates());
    QCOMPARE(engine.getUpdates().size(), 2);
    const QString workDir = engine.workDirectory();
    auto place = [&](const QString &name) {
        return QFile::copy(scene.packagePath(name), workDir + name + QLatin1String(".zip"));
    };
    QVERIFY(place("one")); // "two" is missing at first

    ScriptedUserPrompt prompt(
        QVector<ScriptedUserPrompt::Answer>(retries, ScriptedUserPrompt::Retry));
    prompt.beforeAnswer = [&](int index) {
        if (index == arrivesBeforeAnswer) {
            QVERIFY(place("two"));
        }
    };
    VellInstallRun run;
    QSignalSpy finished(&run, &VellInstallRun::finished);
    run.run(engine.getUpdates(), workDir, scene.filePath("no-keys"), prompt);

    QCOMPARE(finished.count(), 1);
    QCOMPARE(run.succeeded(), installed);
    const int asked = installed ? arrivesBeforeAnswer + 1 : retries + 1;
    QCOMPARE(prompt.kinds, QVector<QString>(asked, QStringLiteral("askRetry")).toList());
    for (const QString &name : Names) {
        QCOMPARE(readFile(scene.pluginFile(name)), name.toUtf8() + (installed ? "-new" : "-old"));
    }
    if (installed) {
        QVERIFY(run.log().startsWith(QLatin1String("Installing package one:\n")));
    } else {
        QCOMPARE(run.log(), QStringLiteral("An error occured while installing updates"));
    }
    QCOMPARE(filesBelow(workDir), QStringList());
}

void tst_VellInstallRun::refusesDowngradeOfInstalledComponent_data()
{
    QTest::addColumn<QString>("installed"); ///< the client's query line
    QTest::addColumn<QByteArray>("extra"); ///< added to the signed comment
    QTest::addColumn<QString>("refusal"); ///< empty: installs

    QTest::newRow("newer") << "vell one plugin 1.0" << QByteArray() << QString();
    QTest::newRow("equal") << "vell one plugin 2.0" << QByteArray()
                           << "The version 2.0 is not newer than the installed 2.0.";
    QTest::newRow("older") << "vell one plugin 3.0" << QByteArray()
                           << "The version 2.0 is not newer than the installed 3.0.";
    QTest::newRow("older, downgrade allowed")
        << "vell one plugin 3.0" << QByteArray(" downgrade=allowed") << QString();
    QTest::newRow("component not installed")
        << "vell other plugin 9.0" << QByteArray() << QString();
}

// The offered version is always 2.0; the query says what is installed.
void tst_VellInstallRun::refusesDowngradeOfInstalledComponent()
{
    QFETCH(QString, installed);
    QFETCH(QByteArray, extra);
    QFETCH(QString, refusal);

    PluginUpdateScene scene;
    QVERIFY(scene.setUp({QStringLiteral("one")}));
    QVERIFY(QDir(scene.filePath(".")).mkpath("update-keys"));
    MinisignTool signer;
    QVERIFY2(signer.generate(scene.filePath(".")), qPrintable(signer.lastError));
    QVERIFY(QFile::copy(signer.publicKeyPath(), scene.filePath("update-keys/minisign.pub")));
    const QString package = scene.packagePath("one");
    QVERIFY2(signer.sign(
                 package, VellTrustedComment::forComponent("vell", "one", "plugin", "2.0") + extra),
        qPrintable(signer.lastError));

    const QString client = scene.filePath("client/vell");
    // The server offers 2.0 only over 1.0; the run is told the installed version itself.
    QVERIFY(writeStubClient(client, queryFor({QStringLiteral("vell one plugin 1.0")})));
    VellUpdaterEngine engine; // only for the update list and the work directory
    engine.setClientProgram(client);
    QVERIFY(engine.checkUpdates());
    QCOMPARE(engine.getUpdates().size(), 1);
    const QString workDir = engine.workDirectory();
    QVERIFY(QFile::copy(package, workDir + QLatin1String("one.zip")));
    QVERIFY(QFile::copy(package + ".minisig", workDir + QLatin1String("one.zip.minisig")));

    ScriptedUserPrompt prompt {QVector<ScriptedUserPrompt::Answer>()};
    VellInstallRun run;
    run.setInstalledVersions(VellInstalledVersions::fromQuery(queryFor({installed})));
    run.run(engine.getUpdates(), workDir, scene.filePath("update-keys"), prompt);

    QCOMPARE(run.succeeded(), refusal.isEmpty());
    QCOMPARE(
        readFile(scene.pluginFile("one")), QByteArray(refusal.isEmpty() ? "one-new" : "one-old"));
    if (!refusal.isEmpty()) {
        QVERIFY2(run.log().contains(refusal), qPrintable(run.log()));
        QCOMPARE(prompt.kinds, QStringList {QStringLiteral("tellError")});
    }
}

QTEST_GUILESS_MAIN(tst_VellInstallRun)
#include "tst_vellinstallrun.moc"
