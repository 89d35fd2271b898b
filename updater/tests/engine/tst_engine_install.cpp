// Installation of downloaded packages: the log, progress, Retry and Abort with
// the rollback, and the work directory emptied afterwards.

#include "EngineTestSupport.h"
#include "ScriptedUserPrompt.h"
#include "TestFiles.h"
#include "TestPackage.h"
#include "VellUpdateServerAddress.h"
#include "VellUpdaterEngine.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList Names {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")};

} // namespace

class tst_EngineInstall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void installsEveryPackageAfterRetry();
    void rollsBackAfterAbort();
    void failedRollbackTellsTheUserAndQuits();
    void runThatCannotBeMadeDurableIsRolledBack();
    void emptyListSucceedsAtOnce();

private:
    std::unique_ptr<VellUpdaterEngine> checkedEngine(const QStringList &installedVersions);
    bool buildPackage(const TestPackage &package, const QString &name);
    bool placePackage(const QString &name, const VellUpdaterEngine &engine);
    QString pluginFile(const QString &name) const { return scene->pluginFile(name); }

    std::unique_ptr<PluginUpdateScene> scene;
};

void tst_EngineInstall::init()
{
    scene.reset(new PluginUpdateScene);
    QVERIFY(scene->setUp(Names));
}

void tst_EngineInstall::cleanup()
{
    scene.reset();
}

// Writes packages/<name>.zip, which the engine finds once placePackage() put it in place.
bool tst_EngineInstall::buildPackage(const TestPackage &package, const QString &name)
{
    return package.write(scene->packagePath(name));
}

// Puts a package where the download would have stored it.
bool tst_EngineInstall::placePackage(const QString &name, const VellUpdaterEngine &engine)
{
    const QString target = engine.workDirectory() + name + QLatin1String(".zip");
    QFile::remove(target);
    return QFile::copy(scene->packagePath(name), target);
}

std::unique_ptr<VellUpdaterEngine> tst_EngineInstall::checkedEngine(const QStringList &versions)
{
    QStringList installed;
    for (int i = 0; i < Names.size(); ++i) {
        installed << QStringLiteral("vell %1 plugin %2").arg(Names.at(i), versions.at(i));
    }
    const QString client = scene->filePath("client/vell");
    if (!writeStubClient(client, queryFor(installed))) {
        return nullptr;
    }
    std::unique_ptr<VellUpdaterEngine> engine(new VellUpdaterEngine);
    engine->setClientProgram(client);
    if (!engine->checkUpdates()) {
        return nullptr;
    }
    return engine;
}

void tst_EngineInstall::installsEveryPackageAfterRetry()
{
    auto engine = checkedEngine({"1.0", "1.0", "1.0"});
    QVERIFY(engine);
    QCOMPARE(engine->getUpdates().size(), 3);
    QVERIFY(placePackage("one", *engine));
    QVERIFY(placePackage("three", *engine));
    EngineSignalLog signalLog(engine.get());
    // The second package is missing at first; it arrives before the user retries.
    ScriptedUserPrompt prompt({ScriptedUserPrompt::Retry});
    engine->setUserPrompt(&prompt);
    prompt.beforeAnswer = [&](int) { QVERIFY(placePackage("two", *engine)); };

    engine->installUpdates();

    QCOMPARE(prompt.kinds, QStringList {QStringLiteral("askRetry")});
    QCOMPARE(prompt.titles.first(), QStringLiteral("Update"));
    QVERIFY2(prompt.texts.first().startsWith(QLatin1String("Failed installing package two")),
        qPrintable(prompt.texts.first()));
    QVERIFY(engine->installSucceeded);
    QCOMPARE(engine->getLog(),
        QStringLiteral("Installing package one:\n"
                       " - data/one.dat\n - one.xml\n\n"
                       "Installing package two:\n"
                       " - data/two.dat\n - two.xml\n\n"
                       "Installing package three:\n"
                       " - data/three.dat\n - three.xml\n\n"));
    QCOMPARE(signalLog.events,
        (QStringList {"installFile:one", "installProgress:33", "installFile:two",
            "installProgress:66", "installFile:three", "installProgress:100", "installFinished:"}));
    for (const QString &name : Names) {
        QCOMPARE(readFile(pluginFile(name)), name.toUtf8() + "-new");
    }
    QVERIFY(QDir(engine->workDirectory()).exists());
    QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
}

void tst_EngineInstall::runThatCannotBeMadeDurableIsRolledBack()
{
    auto engine = checkedEngine({"1.0", "1.0", "1.0"});
    QVERIFY(engine);
    QVERIFY(placePackage("one", *engine));
    QVERIFY(placePackage("three", *engine));
    // While the user is asked about the missing second package, something
    // puts a symbolic link where the first package's new file was placed:
    // the file the run must sync at its end is no longer there to sync.
    ScriptedUserPrompt prompt({ScriptedUserPrompt::Retry});
    engine->setUserPrompt(&prompt);
    prompt.beforeAnswer = [&](int) {
        QVERIFY(QFile::remove(pluginFile("one")));
        QVERIFY(QFile::link(scene->filePath("elsewhere"), pluginFile("one")));
        QVERIFY(placePackage("two", *engine));
    };

    engine->installUpdates();

    QCOMPARE(prompt.kinds, (QStringList {"askRetry", "tellError"}));
    QVERIFY2(prompt.texts.last().startsWith(QLatin1String("Failed installing package one\n"))
            && prompt.texts.last().contains(QString::fromLocal8Bit(strerror(ELOOP))),
        qPrintable(prompt.texts.last()));
    QVERIFY(!engine->installSucceeded);
    QCOMPARE(engine->getLog(), QStringLiteral("An error occured while installing updates"));
    for (const QString &name : Names) {
        QCOMPARE(readFile(pluginFile(name)), name.toUtf8() + "-old");
    }
    QVERIFY(!QFileInfo(pluginFile("one")).isSymLink());
}

void tst_EngineInstall::rollsBackAfterAbort()
{
    // The second package replaces its file, then fails: a file stands where
    // its next file needs a folder.
    QVERIFY(writeFile(pluginFile("blocker"), "in the way"));
    QVERIFY(buildPackage(TestPackage("two", QStringLiteral("plugin"))
                             .add(QStringLiteral("data/two.dat"), "two-new")
                             .add(QStringLiteral("data/blocker.dat/inner.dat"), "inner"),
        "two"));
    auto engine = checkedEngine({"1.0", "1.0", "1.0"});
    QVERIFY(engine);
    for (const QString &name : Names) {
        QVERIFY(placePackage(name, *engine));
    }
    EngineSignalLog signalLog(engine.get());
    QString twoWhenAsked;
    ScriptedUserPrompt prompt({ScriptedUserPrompt::Abort});
    engine->setUserPrompt(&prompt);
    prompt.beforeAnswer
        = [&](int) { twoWhenAsked = QString::fromUtf8(readFile(pluginFile("two"))); };

    engine->installUpdates();

    QCOMPARE(prompt.kinds, QStringList {QStringLiteral("askRetry")});
    QVERIFY2(prompt.texts.first().startsWith(QLatin1String("Failed installing package two")),
        qPrintable(prompt.texts.first()));
    // The failed package had replaced its file before it failed: both of the
    // started packages are unwound, the third was never touched.
    QCOMPARE(twoWhenAsked, QStringLiteral("two-new"));
    QVERIFY(!engine->installSucceeded);
    QCOMPARE(engine->getLog(), QStringLiteral("An error occured while installing updates"));
    QCOMPARE(signalLog.events,
        (QStringList {"installFile:one", "installProgress:33", "installFile:two",
            "installFile:Rollback update", "installProgress:0", "installProgress:33",
            "installProgress:66", "installProgress:100", "installFinished:"}));
    for (const QString &name : Names) {
        QCOMPARE(readFile(pluginFile(name)), name.toUtf8() + "-old");
    }
    QVERIFY(QDir(engine->workDirectory()).exists());
    QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
}

void tst_EngineInstall::failedRollbackTellsTheUserAndQuits()
{
    auto engine = checkedEngine({"1.0", "1.0", "1.0"});
    QVERIFY(engine);
    // The second package never arrived; before the user gives up, the first
    // package's backups vanish, so its unwinding cannot restore them.
    QVERIFY(placePackage("one", *engine));
    QVERIFY(placePackage("three", *engine));
    EngineSignalLog signalLog(engine.get());
    ScriptedUserPrompt prompt({ScriptedUserPrompt::Abort});
    engine->setUserPrompt(&prompt);
    prompt.beforeAnswer = [&](int) {
        // The backups lie in the plug-in directory's hidden unwind folder.
        QVERIFY(QDir(scene->filePath(QStringLiteral("home/.Vellnet/plugins/.vell-unwind/saved")))
                    .removeRecursively());
    };

    // Inside the event loop, so that the engine's request to quit ends it.
    QTimer start;
    start.setSingleShot(true);
    connect(&start, &QTimer::timeout, engine.get(), [&] { engine->installUpdates(); });
    start.start(0);
    QTimer neverAskedToQuit; // ends a loop that nothing else would end
    neverAskedToQuit.setSingleShot(true);
    connect(&neverAskedToQuit, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    neverAskedToQuit.start(60000);
    QCOMPARE(QCoreApplication::exec(), 0);

    QCOMPARE(prompt.kinds, (QStringList {"askRetry", "tellError"}));
    QCOMPARE(prompt.titles.last(), QStringLiteral("Update"));
    QCOMPARE(prompt.texts.last(),
        QStringLiteral("An error occured while rolling back update progress. Software may not "
                       "work properly. Try reinstalling whole application"));
    // The rollback went on to its end all the same.
    QCOMPARE(signalLog.of("installProgress"), (QStringList {"33", "0", "33", "66", "100"}));
    QCOMPARE(signalLog.of("installFinished").size(), 1);
    QVERIFY(!engine->installSucceeded);
    QCOMPARE(engine->getLog(), QStringLiteral("An error occured while installing updates"));
    // Without its backup the new file is the best there is: it stays.
    QCOMPARE(readFile(pluginFile("one")), QByteArray("one-new"));
}

void tst_EngineInstall::emptyListSucceedsAtOnce()
{
    auto engine = checkedEngine({"2.0", "2.0", "2.0"});
    QVERIFY(engine);
    QVERIFY(!engine->updatesAvailable());
    QVERIFY(writeFile(engine->workDirectory() + "leftover.zip", "stale"));
    EngineSignalLog signalLog(engine.get());
    ScriptedUserPrompt prompt;
    engine->setUserPrompt(&prompt);

    engine->installUpdates();

    QVERIFY(engine->installSucceeded);
    QVERIFY(engine->getLog().isEmpty());
    QCOMPARE(signalLog.events, QStringList {"installFinished:"});
    QVERIFY(prompt.texts.isEmpty());
    QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
}

QTEST_GUILESS_MAIN(tst_EngineInstall)
#include "tst_engine_install.moc"
