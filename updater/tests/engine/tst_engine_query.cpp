// The update check: the query taken from the client program's output, the
// exchange with the local update server and its failures.

#include "EngineTestSupport.h"
#include "ScriptedUserPrompt.h"
#include "TestAnswers.h"
#include "TestFiles.h"
#include "Update.h"
#include "VellUpdateServerAddress.h"
#include "VellUpdaterEngine.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>

namespace {

const QByteArray CoreQuery = queryFor({QStringLiteral("vell core app 1.0")});

QVector<CatalogueEntry> coreCatalogue(const QString &version)
{
    CatalogueEntry core;
    core.project = QStringLiteral("vell");
    core.name = QStringLiteral("core");
    core.type = QStringLiteral("app");
    core.version = version;
    core.link = QStringLiteral("http://packages.vell.example/core-2.0.zip");
    core.description = QStringLiteral("The client");
    core.changelog = QStringLiteral("Faster & smaller");
    core.critical = true;
    core.timestamp = 1767225600;
    return {core};
}

// Generous where the exchange is meant to succeed, so that a loaded machine
// does not fail it; short where the silence limit is meant to expire.
VellUpdaterEngine::Limits testLimits()
{
    VellUpdaterEngine::Limits limits;
    limits.connectMs = 10000;
    limits.writeMs = 10000;
    limits.answerSilenceMs = 10000;
    return limits;
}

VellUpdaterEngine::Limits expiringLimits()
{
    VellUpdaterEngine::Limits limits = testLimits();
    limits.answerSilenceMs = 400;
    limits.maxAnswerBytes = 256 * 1024;
    return limits;
}

} // namespace

class tst_EngineQuery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void sendsQueryBetweenFirstOpenAndLastCloseTag_data();
    void sendsQueryBetweenFirstOpenAndLastCloseTag();
    void readsAnswerAcrossSegments_data();
    void readsAnswerAcrossSegments();
    void reportsEveryComponentUpToDate();
    void failsOnBrokenAnswer_data();
    void failsOnBrokenAnswer();
    void failsOnHostileAnswer_data();
    void failsOnHostileAnswer();
    void readsLargeAnswerInSmallChunks();
    void answerSizeBoundIsExact_data();
    void answerSizeBoundIsExact();
    void failsWithoutServer();
    void malformedServerAddressIsReported();
    void refillsUpdatesOnEachCheck();
    void clientFailureIsReportedAtOnce_data();
    void clientFailureIsReportedAtOnce();

private:
    bool startServer(
        const QVector<CatalogueEntry> &catalogue, const QStringList &options = QStringList());
    bool startServerAnswering(const QByteArray &answer, const QStringList &options);
    void expectCommunicationFailure();
    std::unique_ptr<VellUpdaterEngine> makeEngine(const QByteArray &clientOutput);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<UpdateServerProcess> server;
    std::unique_ptr<ScopedEnvironment> serverAddress;
    std::unique_ptr<ScopedEnvironment> tempDir;
    QString clientPath;
    ScriptedUserPrompt prompt;
};

void tst_EngineQuery::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY2(dir->isValid(), qPrintable(dir->errorString()));
    tempDir.reset(new ScopedEnvironment("TMPDIR", QFile::encodeName(dir->filePath("tmp"))));
    QVERIFY(QDir().mkpath(dir->filePath("tmp")));
    clientPath = dir->filePath("client dir/vell");
    prompt = ScriptedUserPrompt();
}

void tst_EngineQuery::cleanup()
{
    serverAddress.reset();
    server.reset();
    tempDir.reset();
    dir.reset();
}

bool tst_EngineQuery::startServer(
    const QVector<CatalogueEntry> &catalogue, const QStringList &options)
{
    const QString folder = dir->filePath("catalogue");
    if (!writeCatalogue(folder, catalogue)) {
        return false;
    }
    server.reset(new UpdateServerProcess);
    if (!server->start(folder, options)) {
        return false;
    }
    serverAddress.reset(
        new ScopedEnvironment(VellUpdateServerAddress::EnvironmentVariable, server->address()));
    return true;
}

// The server answers every query with these bytes, whatever it was asked.
bool tst_EngineQuery::startServerAnswering(const QByteArray &answer, const QStringList &options)
{
    const QString file = dir->filePath("answer.xml");
    return writeFile(file, answer)
        && startServer({}, QStringList {QStringLiteral("--answer-file"), file} + options);
}

void tst_EngineQuery::expectCommunicationFailure()
{
    QCOMPARE(prompt.kinds, QStringList {QStringLiteral("tellError")});
    QCOMPARE(prompt.titles, QStringList {QStringLiteral("Check updates")});
    QCOMPARE(prompt.texts,
        QStringList {QStringLiteral("An error occured while comunicating update "
                                    "server. Check your internet connection.")});
}

std::unique_ptr<VellUpdaterEngine> tst_EngineQuery::makeEngine(const QByteArray &clientOutput)
{
    if (!writeStubClient(clientPath, clientOutput)) {
        return nullptr;
    }
    std::unique_ptr<VellUpdaterEngine> engine(new VellUpdaterEngine);
    engine->setClientProgram(clientPath);
    engine->setLimits(testLimits());
    engine->setUserPrompt(&prompt);
    return engine;
}

void tst_EngineQuery::sendsQueryBetweenFirstOpenAndLastCloseTag_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("expectedQuery");

    QTest::newRow("bare query") << CoreQuery << CoreQuery;
    QTest::newRow("text around") << "Vell 3.1 starting </s>\n" + CoreQuery + "\ndone <s>"
                                 << CoreQuery;
    // A nested element: only first "<s>" to last "</s>" gives a whole document.
    const QByteArray nested = "<s><update><component project='vell' name='core' type='app' "
                              "version='1.0' /></update><s>inner</s></s>";
    QTest::newRow("nested s elements") << "log " + nested + " bye" << nested;
    // The client prints 8-bit text; the server gets it as UTF-8.
    QTest::newRow("8-bit text as UTF-8")
        << QByteArray("<s><update><component name='caf\xe9' version='1.0' /></update></s>")
        << QByteArray("<s><update><component name='caf\xc3\xa9' version='1.0' /></update></s>");
    QTest::newRow("ends at NUL byte")
        << QByteArray("x" + CoreQuery.left(20) + QByteArray(1, '\0') + CoreQuery.mid(20))
        << CoreQuery.left(20);
}

void tst_EngineQuery::sendsQueryBetweenFirstOpenAndLastCloseTag()
{
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, expectedQuery);

    const QString record = dir->filePath("queries.log");
    QVERIFY(
        startServer(coreCatalogue(QStringLiteral("2.0")), {QStringLiteral("--record"), record}));
    auto engine = makeEngine(output);
    QVERIFY(engine);
    // A query cut short by a NUL byte never completes: the server stays silent.
    const bool complete = !expectedQuery.contains('\0') && expectedQuery.endsWith("</s>");
    if (!complete) {
        engine->setLimits(expiringLimits());
    }
    QCOMPARE(engine->checkUpdates(), complete);

    engine.reset(); // closes the connection, so the server records what it got
    QTRY_COMPARE(readFile(record), expectedQuery + '\n');
    QCOMPARE(readFile(clientPath + ".args"), QByteArray("-updatequery\n"));
    QCOMPARE(prompt.texts.size(), complete ? 0 : 1);
}

void tst_EngineQuery::readsAnswerAcrossSegments_data()
{
    QTest::addColumn<QStringList>("serverOptions");

    QTest::newRow("seven segments")
        << QStringList {QStringLiteral("--segments"), QStringLiteral("7")};
    // The answer is already buffered while the query is still being written.
    QTest::newRow("answer before the query") << QStringList {QStringLiteral("--early")};
}

void tst_EngineQuery::readsAnswerAcrossSegments()
{
    QFETCH(QStringList, serverOptions);

    QVERIFY(startServer(coreCatalogue(QStringLiteral("2.0")), serverOptions));
    auto engine = makeEngine(CoreQuery);
    QVERIFY(engine);

    QVERIFY(engine->checkUpdates());
    QVERIFY(prompt.texts.isEmpty());
    QVERIFY(engine->updatesAvailable());
    const QVector<Update *> updates = engine->getUpdates();
    QCOMPARE(updates.size(), 1);
    const Update *core = updates.first();
    QCOMPARE(core->getProject(), std::string("vell"));
    QCOMPARE(core->getName(), std::string("core"));
    QCOMPARE(core->getType(), std::string("app"));
    QCOMPARE(core->getVersion(), std::string("2.0"));
    QCOMPARE(core->getChangelog(), std::string("Faster & smaller"));
    QCOMPARE(core->getLink(), std::string("http://packages.vell.example/core-2.0.zip"));
    QVERIFY(core->isCritical());
    QCOMPARE(core->getTimestamp(), 1767225600u);
}

void tst_EngineQuery::reportsEveryComponentUpToDate()
{
    QVERIFY(startServer(coreCatalogue(QStringLiteral("1.0"))));
    auto engine = makeEngine(
        queryFor({QStringLiteral("vell core app 1.0"), QStringLiteral("vell unknown plugin 1")}));
    QVERIFY(engine);

    QVERIFY(engine->checkUpdates());
    QVERIFY(!engine->updatesAvailable());
    QVERIFY(engine->getUpdates().isEmpty());
    QVERIFY(prompt.texts.isEmpty());
}

void tst_EngineQuery::failsOnBrokenAnswer_data()
{
    QTest::addColumn<QStringList>("serverOptions");

    QTest::newRow("trailing bytes after the root")
        << QStringList {QStringLiteral("--trailing"), QStringLiteral("<extra/>")};
    QTest::newRow("server never answers") << QStringList {QStringLiteral("--stall")};
    QTest::newRow("answer without end") << QStringList {QStringLiteral("--flood")};
}

void tst_EngineQuery::failsOnBrokenAnswer()
{
    QFETCH(QStringList, serverOptions);

    QVERIFY(startServer(coreCatalogue(QStringLiteral("2.0")), serverOptions));
    auto engine = makeEngine(CoreQuery);
    QVERIFY(engine);
    engine->setLimits(expiringLimits());

    QVERIFY(!engine->checkUpdates());
    QVERIFY(!engine->updatesAvailable());
    expectCommunicationFailure();
}

// Answers that once crashed the updater, ate gigabytes or kept it waiting
// for ever: each ends in the communication failure, with the default bounds.
void tst_EngineQuery::failsOnHostileAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("serverOptions");

    using namespace TestAnswers;
    QTest::newRow("100,000 nested elements") << nestedElements(100000) << QStringList();
    QTest::newRow("entity declarations") << entityExpansion() << QStringList();
    QTest::newRow("external entity") << externalEntity() << QStringList();
    QTest::newRow("1,000,000 request elements") << manyRequests(1000000) << QStringList();
    QTest::newRow("100,000 attributes") << manyAttributes(100000) << QStringList();
    // One byte every 50 ms, well within the silence limit: only the deadline
    // of the whole exchange ends it.
    QTest::newRow("trickle under the silence limit")
        << response(1)
        << QStringList {QStringLiteral("--chunk-size"), QStringLiteral("1"),
               QStringLiteral("--segment-delay"), QStringLiteral("0.05")};
}

void tst_EngineQuery::failsOnHostileAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, serverOptions);

    QVERIFY(startServerAnswering(answer, serverOptions));
    auto engine = makeEngine(CoreQuery);
    QVERIFY(engine);
    VellUpdaterEngine::Limits limits = testLimits();
    limits.answerSilenceMs = 2000;
    limits.exchangeMs = 3000;
    engine->setLimits(limits);

    QVERIFY(!engine->checkUpdates());
    QVERIFY(!engine->updatesAvailable());
    expectCommunicationFailure();
}

void tst_EngineQuery::readsLargeAnswerInSmallChunks()
{
    const int size = 4 * 1024 * 1024;
    const QByteArray answer = TestAnswers::largeResponse(size);
    QVERIFY(answer.size() <= size);
    const int count = answer.count("<request ");
    QVERIFY(startServerAnswering(answer,
        {QStringLiteral("--chunk-size"), QStringLiteral("4096"), QStringLiteral("--segment-delay"),
            QStringLiteral("0")}));
    auto engine = makeEngine(CoreQuery);
    QVERIFY(engine);

    QVERIFY(engine->checkUpdates());
    QVERIFY(prompt.texts.isEmpty());
    const QVector<Update *> updates = engine->getUpdates();
    QCOMPARE(updates.size(), count);
    const Update *last = updates.last();
    QCOMPARE(last->getName(), "c" + std::to_string(count - 1));
    QCOMPARE(
        last->getLink(), "http://packages.vell.example/c" + std::to_string(count - 1) + ".zip");
    QCOMPARE(last->getChangelog(), QByteArray(" - fixed a fault\n").repeated(230).toStdString());
}

void tst_EngineQuery::answerSizeBoundIsExact_data()
{
    QTest::addColumn<int>("spare");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("exactly the bound") << 0 << true;
    QTest::newRow("one byte beyond the bound") << -1 << false;
}

// Sent at once, the whole answer arrives in one read: the bound must hold
// all the same.
void tst_EngineQuery::answerSizeBoundIsExact()
{
    QFETCH(int, spare);
    QFETCH(bool, accepted);

    const QByteArray answer = TestAnswers::response(3);
    QVERIFY(startServerAnswering(answer, QStringList()));
    auto engine = makeEngine(CoreQuery);
    QVERIFY(engine);
    VellUpdaterEngine::Limits limits = testLimits();
    limits.maxAnswerBytes = answer.size() + spare;
    engine->setLimits(limits);

    QCOMPARE(engine->checkUpdates(), accepted);
    QCOMPARE(engine->getUpdates().size(), accepted ? 3 : 0);
    if (!accepted) {
        expectCommunicationFailure();
    }
}

void tst_EngineQuery::malformedServerAddressIsReported()
{
    ScopedEnvironment environment(
        VellUpdateServerAddress::EnvironmentVariable, "updates.vell.example:port");
    auto engine = makeEngine(CoreQuery);
    QVERIFY(engine);

    QVERIFY(!engine->checkUpdates());
    QVERIFY(!engine->updatesAvailable());
    QCOMPARE(prompt.kinds, QStringList {QStringLiteral("tellError")});
    QCOMPARE(prompt.titles, QStringList {QStringLiteral("Check updates")});
    QCOMPARE(prompt.texts,
        QStringList {QStringLiteral(
            "The environment variable VELL_UPDATE_SERVER holds \"updates.vell.example:port\", "
            "which is not an update server address (\"host\" or \"host:port\").")});
    // Neither the client nor any server was asked.
    QVERIFY(!QFileInfo::exists(clientPath + ".args"));
}

void tst_EngineQuery::failsWithoutServer()
{
    // A port that was just free: nobody listens there.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QByteArray address = "127.0.0.1:" + QByteArray::number(probe.serverPort());
    probe.close();
    ScopedEnvironment environment(VellUpdateServerAddress::EnvironmentVariable, address);

    auto engine = makeEngine(CoreQuery);
    QVERIFY(engine);

    QVERIFY(!engine->checkUpdates());
    QVERIFY(!engine->updatesAvailable());
    QCOMPARE(prompt.kinds, QStringList {QStringLiteral("tellError")});
    QCOMPARE(prompt.titles, QStringList {QStringLiteral("Check updates")});
    QCOMPARE(prompt.texts,
        QStringList {
            QStringLiteral("Couldn't connect to update server. Check your internet connection.")});
}

void tst_EngineQuery::refillsUpdatesOnEachCheck()
{
    QVERIFY(startServer(coreCatalogue(QStringLiteral("2.0"))));
    auto engine = makeEngine(CoreQuery);
    QVERIFY(engine);

    QVERIFY(engine->checkUpdates());
    QCOMPARE(engine->getUpdates().size(), 1);
    QVERIFY(writeCatalogue(dir->filePath("catalogue"), coreCatalogue(QStringLiteral("1.0"))));
    QVERIFY(engine->checkUpdates());
    QVERIFY(!engine->updatesAvailable());
}

void tst_EngineQuery::clientFailureIsReportedAtOnce_data()
{
    QTest::addColumn<QByteArray>("script"); ///< empty: no program at all
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QString>("expected"); ///< %1 is the program's path

    QTest::newRow("missing") << QByteArray() << false
                             << "The client program %1 could not be started: No such file or "
                                "directory";
    QTest::newRow("not executable")
        << QByteArray("#!/bin/sh\nexit 0\n") << false
        << "The client program %1 could not be started: Permission denied";
    // Whatever it printed before: a client that failed is not trusted to have
    // named what is installed.
    QTest::newRow("exits non-zero")
        << "#!/bin/sh\necho '" + CoreQuery + "'\necho 'profile locked' >&2\nexit 3\n"
        << true << "The client program %1 ended with exit status 3: profile locked";
    QTest::newRow("exits non-zero silently") << QByteArray("#!/bin/sh\nexit 4\n") << true
                                             << "The client program %1 ended with exit status 4.";
    QTest::newRow("crashes") << QByteArray("#!/bin/sh\nkill -SEGV $$\n") << true
                             << QStringLiteral("The client program %1 was ended by signal %2 (%3).")
                                    .arg(QStringLiteral("%1"), QString::number(SIGSEGV),
                                        QString::fromLocal8Bit(::strsignal(SIGSEGV)));
    QTest::newRow("prints nothing") << QByteArray("#!/bin/sh\nexit 0\n") << true
                                    << "The client program %1 printed no update query.";
    QTest::newRow("prints no query") << QByteArray("#!/bin/sh\necho 'Vell 3.1: no profile'\n")
                                     << true << "The client program %1 printed no update query.";
}

// A client that gives no query is named at once, with the system's reason,
// and the update server is never asked.
void tst_EngineQuery::clientFailureIsReportedAtOnce()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, executable);
    QFETCH(QString, expected);

    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    ScopedEnvironment environment(VellUpdateServerAddress::EnvironmentVariable,
        "127.0.0.1:" + QByteArray::number(listener.serverPort()));
    auto engine = makeEngine(CoreQuery);
    QVERIFY(engine);
    engine->setLimits(expiringLimits());
    QVERIFY(QFile::remove(clientPath));
    if (!script.isEmpty()) {
        QVERIFY(writeFile(clientPath, script));
        QVERIFY(QFile::setPermissions(clientPath,
            QFile::ReadOwner | QFile::WriteOwner
                | (executable ? QFile::ExeOwner : QFile::Permissions())));
    }

    QVERIFY(!engine->checkUpdates());
    QVERIFY(!engine->updatesAvailable());
    QVERIFY2(!listener.waitForNewConnection(100), "the update server was asked");
    QCOMPARE(prompt.kinds, QStringList {QStringLiteral("tellError")});
    QCOMPARE(prompt.titles, QStringList {QStringLiteral("Check updates")});
    QCOMPARE(prompt.texts, QStringList {expected.arg(clientPath)});
}

QTEST_GUILESS_MAIN(tst_EngineQuery)
#include "tst_engine_query.moc"
