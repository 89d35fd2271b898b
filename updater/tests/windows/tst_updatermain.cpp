// The program's start-up: language choice from the client's settings, the
// "-q" switch, the first window and the exit statuses, in-process against a
// fake update server, plus the real `updater` program in quiet mode.

#include "EngineTestSupport.h"
#include "FakeQueryServer.h"
#include "MessageBoxAnswerer.h"
#include "UpdaterForms.h"

#include "TestFiles.h"
#include "VellLanguageChoice.h"
#include "VellMessageBoxPrompt.h"
#include "VellRunGuard.h"
#include "VellUpdaterCommandLine.h"
#include "VellUpdaterProgram.h"

#include <QApplication>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <stdexcept>

Q_DECLARE_METATYPE(VellUpdaterCommandLine::Action)

class tst_UpdaterMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void languageChoice_data();
    void languageChoice();
    void catalogueBesideProgramWins();
    void englishNeedsNoCatalogue();

    void commandLine_data();
    void commandLine();
    void program_answersWithoutARun_data();
    void program_answersWithoutARun();

    void run_data();
    void run();
    void run_returnsTheEventLoopsValue();
    void run_malformedServerAddress_data();
    void run_malformedServerAddress();
    void guarded_data();
    void guarded();

    void program_quietRunEndsSilently_data();
    void program_quietRunEndsSilently();

    void run_secondUpdaterIsTurnedAway();
    void run_rollsBackAnInterruptedUpdateFirst();

private:
    QTemporaryDir scratch;
};

namespace {
void writeSettings(const QString &path, const QVariantMap &values)
{
    QSettings settings(path, QSettings::IniFormat);
    for (auto value = values.cbegin(); value != values.cend(); ++value) {
        settings.setValue(value.key(), value.value());
    }
}
} // namespace

void tst_UpdaterMain::initTestCase()
{
    Q_INIT_RESOURCE(updater);
    QVERIFY2(scratch.isValid(), qPrintable(scratch.errorString()));
    QDir().mkpath(scratch.filePath(QStringLiteral("tmp")));
    qputenv("TMPDIR", QFile::encodeName(scratch.filePath(QStringLiteral("tmp"))));
    qputenv("HOME", QFile::encodeName(scratch.path()));
    // The one-run lock lies in the runtime folder: a private one.
    QVERIFY(QDir().mkpath(scratch.filePath(QStringLiteral("run"))));
    QVERIFY(QFile::setPermissions(scratch.filePath(QStringLiteral("run")),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(scratch.filePath(QStringLiteral("run"))));
}

void tst_UpdaterMain::cleanup()
{
    const QStringList leftBehind = takeWindowsLeftBehind();
    QVERIFY2(leftBehind.isEmpty(), qPrintable(leftBehind.join(QLatin1Char(' '))));
}

void tst_UpdaterMain::languageChoice_data()
{
    QTest::addColumn<QVariantMap>("settings"); // empty: no settings file at all
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QString>("language");

    const QStringList discovered {QStringLiteral("english"), QStringLiteral("pl_PL")};
    QTest::newRow("no settings, Polish system")
        << QVariantMap() << QStringLiteral("pl_PL") << discovered << QStringLiteral("pl_PL");
    QTest::newRow("no settings, German system")
        << QVariantMap() << QStringLiteral("de_DE") << discovered << QStringLiteral("english");
    QTest::newRow("selected 1") << QVariantMap {{QStringLiteral("language/selected"), 1}}
                                << QStringLiteral("en_US") << discovered << QStringLiteral("pl_PL");
    QTest::newRow("selected 0 beats the system locale")
        << QVariantMap {{QStringLiteral("language/selected"), 0}} << QStringLiteral("pl_PL")
        << discovered << QStringLiteral("english");
    QTest::newRow("selected 7 of two")
        << QVariantMap {{QStringLiteral("language/selected"), 7}} << QStringLiteral("pl_PL")
        << discovered << QStringLiteral("english");
    QTest::newRow("selected -1") << QVariantMap {{QStringLiteral("language/selected"), -1}}
                                 << QStringLiteral("pl_PL") << discovered
                                 << QStringLiteral("english");
    const QStringList clientList {
        QStringLiteral("english"), QStringLiteral("de_DE"), QStringLiteral("pl_PL")};
    QTest::newRow("the client's own list")
        << QVariantMap {{QStringLiteral("General/language"), clientList},
               {QStringLiteral("language/selected"), 2}}
        << QStringLiteral("en_US") << clientList << QStringLiteral("pl_PL");
    QTest::newRow("the client's list, index from the discovered one")
        << QVariantMap {{QStringLiteral("General/language"), clientList}} << QStringLiteral("pl_PL")
        << clientList << QStringLiteral("de_DE");
    QTest::newRow("an empty list")
        << QVariantMap {{QStringLiteral("General/language"), QStringList()}}
        << QStringLiteral("pl_PL") << QStringList() << QStringLiteral("english");
}

void tst_UpdaterMain::languageChoice()
{
    QFETCH(QVariantMap, settings);
    QFETCH(QString, locale);
    QFETCH(QStringList, languages);
    QFETCH(QString, language);

    QTemporaryDir home;
    QVERIFY2(home.isValid(), qPrintable(home.errorString()));
    const QString settingsFile = home.filePath(QStringLiteral(".Vellnet/settings/globals"));
    if (!settings.isEmpty()) {
        writeSettings(settingsFile, settings);
    }

    const VellLanguageChoice choice(settingsFile, locale);
    QCOMPARE(choice.languages(), languages);
    QCOMPARE(choice.language(), language);
}

void tst_UpdaterMain::catalogueBesideProgramWins()
{
    const QString noFile = scratch.filePath(QStringLiteral("none"));
    const VellLanguageChoice choice(noFile, QStringLiteral("pl_PL"));
    QCOMPARE(choice.cataloguePath(scratch.path()), QStringLiteral(":/languages/vell_pl_PL.qm"));
    QCOMPARE(choice.cataloguePath(QStringLiteral(BESIDE_PROGRAM_DIR)),
        QStringLiteral(BESIDE_PROGRAM_DIR "/languages/vell_pl_PL.qm"));

    const auto downloadNow = [] {
        return QCoreApplication::translate("Updater_Changelog_MainWindow", "Download now");
    };
    {
        QTranslator translator;
        QVERIFY(choice.install(translator, scratch.path()));
        QCOMPARE(downloadNow(), QStringLiteral("Pobierz teraz"));
    }
    {
        QTranslator translator;
        QVERIFY(choice.install(translator, QStringLiteral(BESIDE_PROGRAM_DIR)));
        QCOMPARE(downloadNow(), QStringLiteral("Pobierz (katalog obok programu)"));
    }
    QCOMPARE(downloadNow(), QStringLiteral("Download now"));
}

void tst_UpdaterMain::englishNeedsNoCatalogue()
{
    const VellLanguageChoice choice(
        scratch.filePath(QStringLiteral("none")), QStringLiteral("en_GB"));
    QVERIFY(choice.cataloguePath(scratch.path()).isEmpty());
    QTranslator translator;
    QVERIFY(!choice.install(translator, scratch.path()));
    QVERIFY(translator.isEmpty());
}

void tst_UpdaterMain::commandLine_data()
{
    using Action = VellUpdaterCommandLine::Action;
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("quiet");

    QTest::newRow("none") << QStringList() << Action::Run << false;
    QTest::newRow("-q") << QStringList {"-q"} << Action::Run << true;
    QTest::newRow("-q twice") << QStringList {"-q", "-q"} << Action::Run << true;
    QTest::newRow("--help") << QStringList {"--help"} << Action::Help << false;
    QTest::newRow("-h with -q") << QStringList {"-q", "-h"} << Action::Help << true;
    QTest::newRow("--version") << QStringList {"--version"} << Action::Version << false;
    QTest::newRow("--version, then --help")
        << QStringList {"--version", "--help"} << Action::Help << false;
    QTest::newRow("only begins with -q") << QStringList {"-quiet"} << Action::UsageError << false;
    QTest::newRow("--q") << QStringList {"--q"} << Action::UsageError << false;
    QTest::newRow("-Q") << QStringList {"-Q"} << Action::UsageError << false;
    QTest::newRow("a word") << QStringList {"x", "-q"} << Action::UsageError << false;
    QTest::newRow("unknown after --help")
        << QStringList {"--help", "--bogus"} << Action::UsageError << false;
}

void tst_UpdaterMain::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(VellUpdaterCommandLine::Action, action);
    QFETCH(bool, quiet);
    const VellUpdaterCommandLine commandLine(arguments);
    QCOMPARE(commandLine.action(), action);
    QCOMPARE(commandLine.quiet(), quiet);
}

void tst_UpdaterMain::program_answersWithoutARun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("--help") << QStringList {"--help"} << 0 << QByteArray("usage: updater [-q]")
                            << QByteArray();
    QTest::newRow("--version") << QStringList {"--version"} << 0 << QByteArray("updater 1.")
                               << QByteArray();
    QTest::newRow("unknown option")
        << QStringList {"--bogus"} << 2 << QByteArray()
        << QByteArray("updater: unknown argument: --bogus\nusage: updater [-q]");
}

void tst_UpdaterMain::program_answersWithoutARun()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    // Any query would reach this server; any window would need the display there is none of.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QProcess updater;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VELL_UPDATE_SERVER"),
        QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    updater.setProcessEnvironment(environment);
    updater.start(QStringLiteral(UPDATER_PROGRAM), arguments);
    QVERIFY2(updater.waitForFinished(20000), "the updater did not end by itself");
    QCOMPARE(updater.exitStatus(), QProcess::NormalExit);
    const QByteArray stdOut = updater.readAllStandardOutput();
    const QByteArray stdErr = updater.readAllStandardError();
    QVERIFY2(updater.exitCode() == exitCode, stdErr.constData());
    QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), stdOut.constData());
    QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.startsWith(err), stdErr.constData());
    QVERIFY(!server.waitForNewConnection(100));
}

void tst_UpdaterMain::run_data()
{
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<bool>("updates");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<QString>("firstWindow");
    QTest::addColumn<QStringList>("boxes");

    const QString noUpdates = QStringLiteral("No updates available.");
    const QString noServer
        = QStringLiteral("Couldn't connect to update server. Check your internet connection.");
    QTest::newRow("nothing new") << true << false << false << QString() << QStringList {noUpdates};
    QTest::newRow("nothing new, quiet") << true << false << true << QString() << QStringList();
    QTest::newRow("updates") << true << true << false
                             << QStringLiteral("Updater_Changelog_MainWindow") << QStringList();
    QTest::newRow("updates, quiet")
        << true << true << true << QStringLiteral("Updater_Download_MainWindow") << QStringList();
    QTest::newRow("no server") << false << false << false << QString() << QStringList {noServer};
    QTest::newRow("no server, quiet")
        << false << false << true << QString() << QStringList {noServer};
}

void tst_UpdaterMain::run()
{
    QFETCH(bool, serverUp);
    QFETCH(bool, updates);
    QFETCH(bool, quiet);
    QFETCH(QString, firstWindow);
    QFETCH(QStringList, boxes);

    FakeQueryServer server(queryAnswer({{"alpha", updates ? "http://127.0.0.1/alpha.zip" : ""}}));
    QVERIFY(server.startListening());
    quint16 port = server.port();
    if (!serverUp) {
        // A port that was free a moment ago: nobody answers there.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    qputenv("VELL_UPDATE_SERVER", "127.0.0.1:" + QByteArray::number(port));

    MessageBoxAnswerer answerer;
    // Runs at the event loop's first turn, before the first window starts any
    // download: records that window and closes it, which ends the run.
    QStringList windowsSeen;
    QTimer::singleShot(0, this, [&windowsSeen] {
        windowsSeen = visibleForms();
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->objectName().startsWith(QLatin1String("Updater_"))) {
                widget->close();
            }
        }
    });

    QCOMPARE(VellUpdaterProgram::run(quiet), 0);
    QCOMPARE(answerer.texts, boxes);
    QCOMPARE(windowsSeen, firstWindow.isEmpty() ? QStringList() : QStringList {firstWindow});
    QCoreApplication::processEvents(); // the recording timer of a run without windows
}

void tst_UpdaterMain::run_returnsTheEventLoopsValue()
{
    FakeQueryServer server(queryAnswer({{"alpha", "http://127.0.0.1/alpha.zip"}}));
    QVERIFY(server.startListening());
    qputenv("VELL_UPDATE_SERVER", server.address());
    QTimer::singleShot(0, this, [] { QCoreApplication::exit(7); });
    QCOMPARE(VellUpdaterProgram::run(false), 7);
    // Ended from outside, the run leaves its first window open.
    QWidget *changelog = topLevel(QStringLiteral("Updater_Changelog_MainWindow"));
    QVERIFY(changelog);
    changelog->close();
}

void tst_UpdaterMain::run_malformedServerAddress_data()
{
    QTest::addColumn<bool>("quiet");
    QTest::newRow("normal") << false;
    QTest::newRow("quiet") << true;
}

void tst_UpdaterMain::run_malformedServerAddress()
{
    QFETCH(bool, quiet);
    // A server that would answer: the malformed value must not fall back to it.
    FakeQueryServer server(queryAnswer({{"alpha", "http://127.0.0.1/alpha.zip"}}));
    QVERIFY(server.startListening());
    const QByteArray value = "127.0.0.1;" + QByteArray::number(server.port());
    qputenv("VELL_UPDATE_SERVER", value);

    MessageBoxAnswerer answerer;
    QCOMPARE(VellUpdaterProgram::run(quiet), 0);
    QCOMPARE(answerer.titles, QStringList {QStringLiteral("Check updates")});
    QCOMPARE(answerer.texts,
        QStringList {QStringLiteral("The environment variable VELL_UPDATE_SERVER holds \"%1\", "
                                    "which is not an update server address (\"host\" or "
                                    "\"host:port\").")
                         .arg(QString::fromLatin1(value))});
    QVERIFY(answerer.looks.first().startsWith(QLatin1String("Critical [Ok]")));
    QVERIFY(visibleForms().isEmpty());
}

void tst_UpdaterMain::guarded_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("boxes");

    QTest::newRow("normal return") << 0 << 5 << QStringList();
    QTest::newRow("standard exception") << 1 << 1 << QStringList {QStringLiteral("disk on fire")};
    QTest::newRow("other exception") << 2 << 1 << QStringList();
}

void tst_UpdaterMain::guarded()
{
    QFETCH(int, kind);
    QFETCH(int, status);
    QFETCH(QStringList, boxes);

    MessageBoxAnswerer answerer;
    const int result = VellUpdaterProgram::guarded([kind]() -> int {
        if (kind == 1) {
            throw std::runtime_error("disk on fire");
        }
        if (kind == 2) {
            throw 42;
        }
        return 5;
    });
    QCOMPARE(result, status);
    QCOMPARE(answerer.texts, boxes);
    if (!boxes.isEmpty()) {
        QCOMPARE(answerer.titles.first(), QStringLiteral("Update"));
    }
}

void tst_UpdaterMain::program_quietRunEndsSilently_data()
{
    QTest::addColumn<bool>("updateOffered");
    QTest::addColumn<bool>("anotherRunning");
    QTest::newRow("no updates") << false << false;
    // With the update available, a run that went on would open its download window.
    QTest::newRow("another updater running") << true << true;
}

void tst_UpdaterMain::program_quietRunEndsSilently()
{
    QFETCH(bool, updateOffered);
    QFETCH(bool, anotherRunning);
    FakeQueryServer server(updateOffered ? queryAnswer({{"alpha", "http://127.0.0.1/alpha.zip"}})
                                         : queryAnswer({{"alpha", ""}, {"beta", ""}}));
    QVERIFY(server.startListening());
    VellMessageBoxPrompt boxes;
    VellRunGuard running(boxes, false);
    QVERIFY(!anotherRunning || running.claim());

    QProcess updater;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VELL_UPDATE_SERVER"), QString::fromLatin1(server.address()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    updater.setProcessEnvironment(environment);
    updater.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    updater.start(QStringLiteral(UPDATER_PROGRAM), {QStringLiteral("-q")});
    // Any window or box would keep it running until killed.
    QVERIFY2(updater.waitForFinished(20000), "the updater did not end by itself");
    QCOMPARE(updater.exitStatus(), QProcess::NormalExit);
    QCOMPARE(updater.exitCode(), 0);
}

void tst_UpdaterMain::run_secondUpdaterIsTurnedAway()
{
    FakeQueryServer server(queryAnswer({{"alpha", "http://127.0.0.1/alpha.zip"}}));
    QVERIFY(server.startListening());
    qputenv("VELL_UPDATE_SERVER", server.address());
    VellMessageBoxPrompt boxes;
    VellRunGuard running(boxes, false); // the updater that was there first
    QVERIFY(running.claim());

    MessageBoxAnswerer answerer;
    QCOMPARE(VellUpdaterProgram::run(false), 0);
    QCOMPARE(answerer.texts, QStringList {"Another update is already running."});
    QCOMPARE(answerer.titles, QStringList {"Update"});
}

void tst_UpdaterMain::run_rollsBackAnInterruptedUpdateFirst()
{
    // A plug-in updater killed after it added stray.kwx.
    const QString plugins = scratch.filePath(QStringLiteral(".Vellnet/plugins"));
    QVERIFY(writeFile(plugins + "/stray.kwx", "half-installed"));
    QVERIFY(writeFile(plugins + "/.vell-unwind/journal", "run 1 boot\nabsent stray.kwx\n"));
    QVERIFY(QFile::setPermissions(plugins + "/.vell-unwind",
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    FakeQueryServer server(queryAnswer({{"alpha", ""}}));
    QVERIFY(server.startListening());
    qputenv("VELL_UPDATE_SERVER", server.address());

    MessageBoxAnswerer answerer;
    QCOMPARE(VellUpdaterProgram::run(false), 0);
    QCOMPARE(answerer.texts,
        (QStringList {"The previous update was interrupted. The previous version has been "
                      "restored.",
            "No updates available."}));
    QVERIFY(filesBelow(plugins).isEmpty());
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tst_UpdaterMain test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_updatermain.moc"
