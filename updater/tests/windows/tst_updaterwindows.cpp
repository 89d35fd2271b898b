// The four windows of an update run on the offscreen platform, driven the way
// a user drives them, against a fake update server and, inside a private
// network namespace, a small HTTP server on port 80.

#include "EngineTestSupport.h"
#include "FakeQueryServer.h"
#include "MessageBoxAnswerer.h"
#include "MiniHttpServer.h"
#include "ScriptedUserPrompt.h"
#include "TestFiles.h"
#include "TestNamespace.h"
#include "TestPackage.h"
#include "UpdaterForms.h"

#include "Update.h"
#include "VellChangelogDialog.h"
#include "VellDownloadDialog.h"
#include "VellFormLoader.h"
#include "VellInstallDialog.h"
#include "VellLanguageChoice.h"
#include "VellMessageBoxPrompt.h"
#include "VellSummaryDialog.h"
#include "VellSystemError.h"
#include "VellUpdaterEngine.h"

#include <QApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <memory>

class tst_UpdaterWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void forms_haveTheCommonFrame_data();
    void forms_haveTheCommonFrame();
    void formLoader_reportsWhatIsMissing_data();
    void formLoader_reportsWhatIsMissing();
    void formLoader_abandonEndsTheProgram();
    void messageBoxPrompt_showsParentlessBoxes_data();
    void messageBoxPrompt_showsParentlessBoxes();
    void changelogText_data();
    void changelogText();
    void changelogWindow_togglesDetailsAtFixedWidth();
    void downloadLater_endsTheRun();
    void cancel_stopsTheDownload();
    void downloadError_closesWindowAndShowsBox_data();
    void downloadError_closesWindowAndShowsBox();
    void download_leadsToInstallationAndSummary();
    void summary_showsResultAndLog_data();
    void summary_showsResultAndLog();
    void polishFormTexts_data();
    void polishFormTexts();
    void polishControllerTexts();
    void polishRetryAbortBox();
    void polishDownloadError_translatesTheStatus();
    void missingClient_criticalBoxNamesIt_data();
    void missingClient_criticalBoxNamesIt();
    void systemErrors_speakTheUsersLanguage_data();
    void systemErrors_speakTheUsersLanguage();

    void changelogKeys_data();
    void changelogKeys();
    void summaryKeys_data();
    void summaryKeys();
    void summaryViewDetails_togglesTheLog();

private:
    std::unique_ptr<VellUpdaterEngine> engineWith(const QByteArray &answer);
    void requireIsolation();
    void storePackage(VellUpdaterEngine &engine, const QString &base, const QByteArray &name,
        const QByteArray &type);

    QTemporaryDir scratch;
    ScriptedUserPrompt prompt; ///< answers the engines of engineWith()
};

namespace {
template<class T>
T *child(QWidget *form, const char *name)
{
    return form ? form->findChild<T *>(QLatin1String(name)) : nullptr;
}

std::unique_ptr<Update> makeUpdate(
    const char *description, const char *version, const char *changelog)
{
    return std::make_unique<Update>("vell", "core", "app", version, description, "", "", "", "",
        changelog, "http://127.0.0.1/core.zip", false, 0);
}
} // namespace

void tst_UpdaterWindows::initTestCase()
{
    Q_INIT_RESOURCE(updater);
    QVERIFY2(scratch.isValid(), qPrintable(scratch.errorString()));
    // The engine's work directory and the plug-in folder land in the scratch folder.
    QDir().mkpath(scratch.filePath(QStringLiteral("tmp")));
    QDir().mkpath(scratch.filePath(QStringLiteral("home")));
    qputenv("TMPDIR", QFile::encodeName(scratch.filePath(QStringLiteral("tmp"))));
    qputenv("HOME", QFile::encodeName(scratch.filePath(QStringLiteral("home"))));
}

void tst_UpdaterWindows::cleanup()
{
    prompt = ScriptedUserPrompt();
    const QStringList leftBehind = takeWindowsLeftBehind();
    QVERIFY2(leftBehind.isEmpty(), qPrintable(leftBehind.join(QLatin1Char(' '))));
}

std::unique_ptr<VellUpdaterEngine> tst_UpdaterWindows::engineWith(const QByteArray &answer)
{
    FakeQueryServer server(answer);
    if (!server.startListening()) {
        return nullptr;
    }
    qputenv("VELL_UPDATE_SERVER", server.address());
    // The client program is the stand-in "vell" beside the test.
    auto engine = std::make_unique<VellUpdaterEngine>();
    engine->setUserPrompt(&prompt);
    if (!engine->checkUpdates()) {
        return nullptr;
    }
    return engine;
}

void tst_UpdaterWindows::requireIsolation()
{
    QString notInside;
    if (!TestNamespace::isInside(TestNamespace::Network, &notInside)) {
        QSKIP(qPrintable(notInside));
    }
}

void tst_UpdaterWindows::storePackage(
    VellUpdaterEngine &engine, const QString &base, const QByteArray &name, const QByteArray &type)
{
    const QByteArray zip
        = TestPackage(QString::fromLatin1(name), QString::fromLatin1(type))
              .add(QLatin1String("files/") + QString::fromLatin1(name) + QLatin1String(".kwx"),
                  "new " + name)
              .bytes(base);
    QVERIFY(!zip.isEmpty());
    QFile file(engine.workDirectory() + base + QLatin1String(".zip"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(zip), zip.size());
}

void tst_UpdaterWindows::forms_haveTheCommonFrame_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fixedWidth");
    QTest::addColumn<QSize>("initialSize");

    QTest::newRow("change log") << QStringLiteral(":/res/Changelog.ui")
                                << QStringLiteral("Updater_Changelog_MainWindow") << true
                                << QSize(450, 218);
    QTest::newRow("download") << QStringLiteral(":/res/Download.ui")
                              << QStringLiteral("Updater_Download_MainWindow") << true
                              << QSize(450, 189);
    QTest::newRow("installation") << QStringLiteral(":/res/Install.ui")
                                  << QStringLiteral("Updater_Install_MainWindow") << true
                                  << QSize(450, 158);
    QTest::newRow("summary") << QStringLiteral(":/res/Summary.ui")
                             << QStringLiteral("Updater_Summary_MainWindow") << false
                             << QSize(400, 222);
}

void tst_UpdaterWindows::forms_haveTheCommonFrame()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(bool, fixedWidth);
    QFETCH(QSize, initialSize);

    VellFormLoader loader(path);
    auto *icon = loader.find<QLabel>("label");
    QVERIFY2(loader.isComplete(), qPrintable(loader.errorString()));
    std::unique_ptr<QWidget> form(loader.takeForm());
    QCOMPARE(form->objectName(), name);
    QCOMPARE(form->windowTitle(), QStringLiteral("Update"));
    QCOMPARE(form->size(), initialSize);
    QVERIFY(!form->windowIcon().isNull());
    const QPixmap pixmap = icon->pixmap(Qt::ReturnByValue);
    QCOMPARE(pixmap.size(), QSize(64, 64));
    QVERIFY(pixmap.hasAlphaChannel());
    QCOMPARE(icon->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    if (fixedWidth) {
        QCOMPARE(form->minimumWidth(), 450);
        QCOMPARE(form->maximumWidth(), 450);
        QCOMPARE(form->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    } else {
        QCOMPARE(form->minimumSize(), QSize(0, 0));
        QCOMPARE(form->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    }
}

void tst_UpdaterWindows::formLoader_reportsWhatIsMissing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("objectName");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QString>("inError");

    QTest::newRow("present") << QStringLiteral(":/res/Download.ui")
                             << QByteArray("Updater_Download_Cancel") << true << QString();
    QTest::newRow("of another type")
        << QStringLiteral(":/res/Download.ui") << QByteArray("Updater_Download_Progress") << false
        << QStringLiteral("Updater_Download_Progress");
    QTest::newRow("absent") << QStringLiteral(":/res/Download.ui")
                            << QByteArray("Updater_Download_Later") << false
                            << QStringLiteral("Updater_Download_Later");
    QTest::newRow("no such form") << QStringLiteral(":/res/Nothing.ui")
                                  << QByteArray("Updater_Download_Cancel") << false
                                  << QStringLiteral(":/res/Nothing.ui");
}

void tst_UpdaterWindows::formLoader_reportsWhatIsMissing()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, objectName);
    QFETCH(bool, complete);
    QFETCH(QString, inError);

    VellFormLoader loader(path);
    QPushButton *button = loader.find<QPushButton>(objectName.constData());
    QCOMPARE(loader.isComplete(), complete);
    QCOMPARE(button != nullptr, complete);
    if (complete) {
        QVERIFY(loader.errorString().isEmpty());
    } else {
        QVERIFY2(loader.errorString().contains(inError), qPrintable(loader.errorString()));
    }
    // Whatever was not taken goes with the loader.
}

void tst_UpdaterWindows::formLoader_abandonEndsTheProgram()
{
    QPointer<QObject> controller = new QObject;
    MessageBoxAnswerer answerer;
    VellFormLoader::abandon(controller, QStringLiteral("The form is broken."));
    QCOMPARE(answerer.texts, QStringList {QStringLiteral("The form is broken.")});
    QCOMPARE(QApplication::exec(), 1);
    QVERIFY(!controller);
}

void tst_UpdaterWindows::messageBoxPrompt_showsParentlessBoxes_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("answer"); // a QMessageBox::StandardButton
    QTest::addColumn<QString>("look");
    QTest::addColumn<bool>("retry");

    const QString ask = QStringLiteral("askRetry");
    const QString question = QStringLiteral("Warning [Abort|Retry] default Retry, no parent");
    QTest::newRow("ask, Retry") << ask << int(QMessageBox::Retry) << question << true;
    QTest::newRow("ask, Abort") << ask << int(QMessageBox::Abort) << question << false;
    QTest::newRow("ask, closed") << ask << int(QMessageBox::Cancel) << question << false;
    QTest::newRow("error") << QStringLiteral("tellError") << int(QMessageBox::Ok)
                           << QStringLiteral("Critical [Ok] default Ok, no parent") << false;
    QTest::newRow("information") << QStringLiteral("tellInformation") << int(QMessageBox::Ok)
                                 << QStringLiteral("Information [Ok] default Ok, no parent")
                                 << false;
}

void tst_UpdaterWindows::messageBoxPrompt_showsParentlessBoxes()
{
    QFETCH(QString, call);
    QFETCH(int, answer);
    QFETCH(QString, look);
    QFETCH(bool, retry);

    MessageBoxAnswerer answerer({QMessageBox::StandardButton(answer)});
    // Texts carry words of the update server: markup in them stays text.
    Qt::TextFormat format = Qt::AutoText;
    answerer.beforeAnswer = [&format](int) {
        format = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())->textFormat();
    };
    VellMessageBoxPrompt boxes;
    const QString title = QStringLiteral("A title");
    const QString text
        = QStringLiteral("418 <a href=\"http://elsewhere.example/\">Get it here</a>");
    bool retried = false;
    if (call == QLatin1String("askRetry")) {
        retried = boxes.askRetry(title, text);
    } else if (call == QLatin1String("tellError")) {
        boxes.tellError(title, text);
    } else {
        boxes.tellInformation(title, text);
    }
    QCOMPARE(answerer.titles, QStringList {title});
    QCOMPARE(answerer.texts, QStringList {text});
    QCOMPARE(answerer.looks, QStringList {look});
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(retried, retry);
}

void tst_UpdaterWindows::changelogText_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");

    QTest::newRow("none") << 0 << QString();
    QTest::newRow("one") << 1 << QStringLiteral("Core\nZmiany w wersji 2.0\n- faster start");
    QTest::newRow("two, one empty line apart")
        << 2
        << QStringLiteral("Core\nZmiany w wersji 2.0\n- faster start\n\n"
                          "Wtyczka ąę\nZmiany w wersji 3.1\n- naprawiono błąd\n- second line");
}

void tst_UpdaterWindows::changelogText()
{
    QFETCH(int, count);
    QFETCH(QString, expected);

    std::vector<std::unique_ptr<Update>> owned;
    owned.push_back(makeUpdate("Core", "2.0", "- faster start"));
    owned.push_back(makeUpdate("Wtyczka \xc4\x85\xc4\x99", "3.1",
        "- naprawiono b\xc5\x82\xc4\x85"
        "d\n- second line"));
    QVector<Update *> updates;
    for (int i = 0; i < count; ++i) {
        updates << owned[size_t(i)].get();
    }

    QCOMPARE(VellChangelogDialog::changelogText(updates), expected);
}

void tst_UpdaterWindows::changelogWindow_togglesDetailsAtFixedWidth()
{
    auto engine = engineWith(queryAnswer(
        {{"alpha", "http://127.0.0.1/alpha.zip"}, {"beta", "http://127.0.0.1/beta.zip"}}));
    QVERIFY(engine);
    QCOMPARE(engine->getUpdates().size(), 2);

    QPointer<VellChangelogDialog> controller = new VellChangelogDialog(engine.get());
    QWidget *form = topLevel(QStringLiteral("Updater_Changelog_MainWindow"));
    QVERIFY(form);
    auto *details = child<QPlainTextEdit>(form, "Updater_Changelog_Details");
    auto *toggle = child<QPushButton>(form, "Updater_Changelog_ViewChangelog");
    QVERIFY(details && toggle);

    QCOMPARE(form->windowTitle(), QStringLiteral("Update"));
    QCOMPARE(details->toPlainText(),
        QStringLiteral("alpha description\nZmiany w wersji 2.0\n- alpha fixed\n\n"
                       "beta description\nZmiany w wersji 2.0\n- beta fixed"));
    QVERIFY(details->isHidden());
    QCOMPARE(form->width(), 450);
    const int collapsedHeight = form->height();

    toggle->click();
    QVERIFY(details->isVisible());
    QCOMPARE(toggle->text(), QStringLiteral("Hide changelog"));
    QCOMPARE(form->width(), 450);
    QVERIFY2(form->height() > collapsedHeight,
        qPrintable(QStringLiteral("%1 <= %2").arg(form->height()).arg(collapsedHeight)));

    toggle->click();
    QVERIFY(details->isHidden());
    QCOMPARE(toggle->text(), QStringLiteral("Show changelog"));
    QCOMPARE(form->width(), 450);
    QCOMPARE(form->height(), collapsedHeight);

    // Closing the window takes its controller with it.
    QVERIFY(controller);
    form->close();
    settle();
    QVERIFY(!controller);
}

void tst_UpdaterWindows::downloadLater_endsTheRun()
{
    auto engine = engineWith(queryAnswer({{"alpha", "http://127.0.0.1/alpha.zip"}}));
    QVERIFY(engine);
    QPointer<VellChangelogDialog> controller = new VellChangelogDialog(engine.get());
    QWidget *form = topLevel(QStringLiteral("Updater_Changelog_MainWindow"));
    auto *later = child<QPushButton>(form, "Updater_Changelog_DownloadLater");
    QVERIFY(later);

    later->click();
    settle();
    QVERIFY(visibleForms().isEmpty());
    QVERIFY(!controller);
    QCOMPARE(engine->downloadState(), VellUpdaterEngine::Idle);
}

void tst_UpdaterWindows::cancel_stopsTheDownload()
{
    requireIsolation();
    MiniHttpServer http;
    QVERIFY(http.listen());
    http.addFile("/alpha.zip", QByteArray(4000, 'x'), true);
    auto engine = engineWith(queryAnswer({{"alpha", "http://127.0.0.1/alpha.zip"}}));
    QVERIFY(engine);
    MessageBoxAnswerer boxes;
    WarningLog warnings;

    QPointer<VellChangelogDialog> changelog = new VellChangelogDialog(engine.get());
    auto *now = child<QPushButton>(
        topLevel(QStringLiteral("Updater_Changelog_MainWindow")), "Updater_Changelog_DownloadNow");
    QVERIFY(now);
    now->click();
    settle();
    QCOMPARE(visibleForms(), QStringList {QStringLiteral("Updater_Download_MainWindow")});
    QVERIFY(!changelog);

    QWidget *form = topLevel(QStringLiteral("Updater_Download_MainWindow"));
    auto *bar = child<QProgressBar>(form, "Updater_Download_Progress");
    auto *text = child<QLabel>(form, "Updater_Download_ProgressText");
    auto *cancel = child<QPushButton>(form, "Updater_Download_Cancel");
    QVERIFY(bar && text && cancel);
    // Half of the only package arrives, then the server falls silent.
    QTRY_COMPARE(bar->value(), 50);
    QCOMPARE(text->text(), QStringLiteral("alpha"));

    cancel->click();
    QCOMPARE(engine->downloadState(), VellUpdaterEngine::Aborted);
    QTest::qWait(300);
    settle();
    QVERIFY(visibleForms().isEmpty());
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1Char('\n'))));
    // The partial package goes, quietly ("Empty filename", "Empty or null
    // file name" were warnings of removing it), and so does the cancelled reply.
    QCOMPARE(filesBelow(engine->workDirectory()), QStringList());
    engine.reset();
    QTest::qWait(50);
    QCOMPARE(warnings.containing(QStringLiteral("Empty")), QStringList());
    QCOMPARE(warnings.containing(QStringLiteral("QNetworkReply")), QStringList());
}

void tst_UpdaterWindows::downloadError_closesWindowAndShowsBox_data()
{
    QTest::addColumn<QByteArray>("link");
    QTest::addColumn<QString>("expectedInText");

    QTest::newRow("404") << QByteArray("http://127.0.0.1/missing.zip") << QStringLiteral("404");
    QTest::newRow("nobody listening")
        << QByteArray("http://127.0.0.2/alpha.zip") << QStringLiteral("alpha.zip");
}

void tst_UpdaterWindows::downloadError_closesWindowAndShowsBox()
{
    QFETCH(QByteArray, link);
    QFETCH(QString, expectedInText);
    requireIsolation();
    MiniHttpServer http;
    QVERIFY(http.listen());
    auto engine = engineWith(queryAnswer({{"alpha", link}}));
    QVERIFY(engine);
    MessageBoxAnswerer boxes;

    QPointer<VellDownloadDialog> controller = new VellDownloadDialog(engine.get());
    QVERIFY(topLevel(QStringLiteral("Updater_Download_MainWindow")));
    QTRY_COMPARE(boxes.texts.size(), 1);
    QCOMPARE(boxes.titles.first(), QStringLiteral("Update"));
    QCOMPARE(boxes.looks.first(), QStringLiteral("Critical [Ok] default Ok, no parent"));
    QVERIFY2(boxes.texts.first().contains(expectedInText), qPrintable(boxes.texts.first()));
    settle();
    QVERIFY(visibleForms().isEmpty());
    QVERIFY(!controller);
}

void tst_UpdaterWindows::download_leadsToInstallationAndSummary()
{
    requireIsolation();
    const QByteArray zip = TestPackage(QStringLiteral("gamma"), QStringLiteral("plugin"))
                               .add(QStringLiteral("files/gamma.kwx"), "gamma 2.0")
                               .bytes(QStringLiteral("gamma"));
    QVERIFY(!zip.isEmpty());
    MiniHttpServer http;
    QVERIFY(http.listen());
    http.addFile("/gamma.zip", zip);
    auto engine = engineWith(queryAnswer({{"gamma", "http://127.0.0.1/gamma.zip"}}));
    QVERIFY(engine);
    MessageBoxAnswerer boxes;
    QStringList formsSeen;
    connect(engine.get(), &VellUpdaterEngine::installFile, this,
        [&formsSeen] { formsSeen << visibleForms(); });

    new VellDownloadDialog(engine.get());
    QTRY_VERIFY(topLevel(QStringLiteral("Updater_Summary_MainWindow")));
    settle();
    QCOMPARE(formsSeen, QStringList {QStringLiteral("Updater_Install_MainWindow")});
    QCOMPARE(visibleForms(), QStringList {QStringLiteral("Updater_Summary_MainWindow")});
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1Char('\n'))));
    QVERIFY2(prompt.texts.isEmpty(), qPrintable(prompt.texts.join(QLatin1Char('\n'))));
    QCOMPARE(http.requests, QList<QByteArray>({"HEAD /gamma.zip", "GET /gamma.zip"}));

    QFile installed(scratch.filePath(QStringLiteral("home/.Vellnet/plugins/files/gamma.kwx")));
    QVERIFY(installed.open(QIODevice::ReadOnly));
    QCOMPARE(installed.readAll(), QByteArray("gamma 2.0"));

    QWidget *summary = topLevel(QStringLiteral("Updater_Summary_MainWindow"));
    QCOMPARE(child<QLabel>(summary, "Updater_Summary_Status")->text(),
        QStringLiteral("Installation complete"));
    QCOMPARE(
        child<QPlainTextEdit>(summary, "Updater_Summary_Details")->toPlainText(), engine->getLog());
    QVERIFY(engine->getLog().startsWith(QLatin1String("Installing package gamma:\n")));

    // "Close" ends the run.
    child<QPushButton>(summary, "Updater_Summary_Close")->click();
    settle();
    QVERIFY(visibleForms().isEmpty());
}

void tst_UpdaterWindows::summary_showsResultAndLog_data()
{
    QTest::addColumn<QByteArray>("descriptorType");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("instruction");
    QTest::addColumn<QString>("logStart");
    QTest::addColumn<QStringList>("questions");

    QTest::newRow("installed") << QByteArray("plugin") << QStringLiteral("Installation complete")
                               << QStringLiteral("To complete the update process please restart "
                                                 "Vellnet instant messenger.")
                               << QStringLiteral("Installing package delta:\n - delta.xml\n")
                               << QStringList();
    QTest::newRow("rolled back")
        << QByteArray("app") << QStringLiteral("Installation failed")
        << QStringLiteral("Please reinstall application with package from official web page")
        << QStringLiteral("An error occured while installing updates")
        << QStringList {QStringLiteral("askRetry")};
}

void tst_UpdaterWindows::summary_showsResultAndLog()
{
    QFETCH(QByteArray, descriptorType);
    QFETCH(QString, status);
    QFETCH(QString, instruction);
    QFETCH(QString, logStart);
    QFETCH(QStringList, questions);

    auto engine = engineWith(queryAnswer({{"delta", "http://127.0.0.1/delta.zip"}}));
    QVERIFY(engine);
    // The package is already downloaded; a descriptor of another type than the
    // update's makes the installation fail, and Abort rolls it back.
    storePackage(*engine, QStringLiteral("delta"), "delta", descriptorType);
    prompt = ScriptedUserPrompt({ScriptedUserPrompt::Abort});
    bool closedDuringInstallation = false;
    prompt.beforeAnswer = [&closedDuringInstallation](int) {
        if (QWidget *install = topLevel(QStringLiteral("Updater_Install_MainWindow"))) {
            closedDuringInstallation = install->close() || !install->isVisible();
        }
    };

    new VellInstallDialog(engine.get());
    QCOMPARE(prompt.kinds, questions);
    QVERIFY(!closedDuringInstallation);
    settle();
    QWidget *summary = topLevel(QStringLiteral("Updater_Summary_MainWindow"));
    QVERIFY(summary);
    QCOMPARE(visibleForms().size(), 1);
    QCOMPARE(child<QLabel>(summary, "Updater_Summary_Status")->text(), status);
    QCOMPARE(child<QLabel>(summary, "Updater_Summary_Instruction")->text(), instruction);
    const QString log = child<QPlainTextEdit>(summary, "Updater_Summary_Details")->toPlainText();
    QVERIFY2(log.startsWith(logStart), qPrintable(log));
    QCOMPARE(log, engine->getLog());
    summary->close();
}

namespace {
// The Polish catalogue compiled into the program, installed for one scope.
class PolishCatalogue
{
public:
    PolishCatalogue()
    {
        loaded = translator.load(QStringLiteral(":/languages/vell_pl_PL.qm"))
            && QCoreApplication::installTranslator(&translator);
    }
    ~PolishCatalogue() { QCoreApplication::removeTranslator(&translator); }
    bool loaded = false;

private:
    QTranslator translator;
};

QString widgetText(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        return label->text();
    }
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        return button->text();
    }
    return widget ? widget->windowTitle() : QString();
}
} // namespace

void tst_UpdaterWindows::polishFormTexts_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("object"); // empty: the window title
    QTest::addColumn<QString>("polish");

    const QString changelog = QStringLiteral(":/res/Changelog.ui");
    const QString download = QStringLiteral(":/res/Download.ui");
    const QString install = QStringLiteral(":/res/Install.ui");
    const QString summary = QStringLiteral(":/res/Summary.ui");
    const QString heading = QStringLiteral("Aktualizacja komunikatora Vellnet");
    QTest::newRow("change log: title") << changelog << QString() << QStringLiteral("Aktualizuj");
    QTest::newRow("change log: heading") << changelog << QStringLiteral("label_2") << heading;
    QTest::newRow("change log: question")
        << changelog << QStringLiteral("label_3")
        << QStringLiteral("Są dostępne aktualizacje dla komunikatora Vellnet. "
                          "Czy chcesz pobrać je teraz?");
    QTest::newRow("change log: show")
        << changelog << QStringLiteral("Updater_Changelog_ViewChangelog")
        << QStringLiteral("Pokaż listę zmian");
    QTest::newRow("change log: now") << changelog << QStringLiteral("Updater_Changelog_DownloadNow")
                                     << QStringLiteral("Pobierz teraz");
    QTest::newRow("change log: later")
        << changelog << QStringLiteral("Updater_Changelog_DownloadLater")
        << QStringLiteral("Pobierz później");
    QTest::newRow("download: title") << download << QString() << QStringLiteral("Aktualizuj");
    QTest::newRow("download: heading") << download << QStringLiteral("label_2") << heading;
    QTest::newRow("download: progress")
        << download << QStringLiteral("Updater_Download_ProgressText")
        << QStringLiteral("Pobieranie...");
    QTest::newRow("download: cancel")
        << download << QStringLiteral("Updater_Download_Cancel") << QStringLiteral("Anuluj");
    QTest::newRow("installation: title") << install << QString() << QStringLiteral("Aktualizuj");
    QTest::newRow("installation: heading") << install << QStringLiteral("label_2") << heading;
    QTest::newRow("installation: progress")
        << install << QStringLiteral("Updater_Install_ProgressText")
        << QStringLiteral("Instalacja...");
    QTest::newRow("summary: title") << summary << QString() << QStringLiteral("Aktualizuj");
    QTest::newRow("summary: complete") << summary << QStringLiteral("Updater_Summary_Status")
                                       << QStringLiteral("Aktualizacje zainstalowane pomyślnie");
    QTest::newRow("summary: restart")
        << summary << QStringLiteral("Updater_Summary_Instruction")
        << QStringLiteral("By zakończyć proces instalacji należy uruchomić ponownie komunikator.");
    QTest::newRow("summary: details") << summary << QStringLiteral("Updater_Summary_ViewDetails")
                                      << QStringLiteral("Pokaż szczegóły");
    QTest::newRow("summary: close")
        << summary << QStringLiteral("Updater_Summary_Close") << QStringLiteral("Zamknij");
}

void tst_UpdaterWindows::polishFormTexts()
{
    QFETCH(QString, path);
    QFETCH(QString, object);
    QFETCH(QString, polish);

    PolishCatalogue catalogue;
    QVERIFY(catalogue.loaded);
    VellFormLoader loader(path);
    QVERIFY2(loader.isComplete(), qPrintable(loader.errorString()));
    std::unique_ptr<QWidget> form(loader.takeForm());
    QWidget *widget = object.isEmpty() ? form.get() : form->findChild<QWidget *>(object);
    QVERIFY(widget);
    QCOMPARE(widgetText(widget), polish);
}

void tst_UpdaterWindows::polishControllerTexts()
{
    PolishCatalogue catalogue;
    QVERIFY(catalogue.loaded);
    auto engine = engineWith(queryAnswer({{"alpha", "http://127.0.0.1/alpha.zip"}}));
    QVERIFY(engine);

    new VellChangelogDialog(engine.get());
    QWidget *changelog = topLevel(QStringLiteral("Updater_Changelog_MainWindow"));
    auto *toggle = child<QPushButton>(changelog, "Updater_Changelog_ViewChangelog");
    QVERIFY(toggle);
    toggle->click();
    QCOMPARE(toggle->text(), QStringLiteral("Ukryj listę zmian"));
    toggle->click();
    QCOMPARE(toggle->text(), QStringLiteral("Pokaż listę zmian"));
    changelog->close();

    // Nothing installed yet: the summary reports a failure.
    new VellSummaryDialog(engine.get());
    QWidget *summary = topLevel(QStringLiteral("Updater_Summary_MainWindow"));
    QVERIFY(summary);
    QCOMPARE(child<QLabel>(summary, "Updater_Summary_Status")->text(),
        QStringLiteral("Aktualizacja nie powiodła się"));
    QCOMPARE(child<QLabel>(summary, "Updater_Summary_Instruction")->text(),
        QStringLiteral("Pobierz pakiet instalacyjny komunikatora Vellnet ze strony "
                       "www.vell.example i zainstaluj go ponownie."));
    summary->close();
}

void tst_UpdaterWindows::polishRetryAbortBox()
{
    // As the program installs them for a Polish user: ours, then Qt's own.
    PolishCatalogue catalogue;
    QVERIFY(catalogue.loaded);
    const VellLanguageChoice polish(
        scratch.filePath(QStringLiteral("none")), QStringLiteral("pl_PL"));
    QTranslator qtCatalogue;
    QVERIFY2(polish.installQtCatalogue(
                 qtCatalogue, QLibraryInfo::location(QLibraryInfo::TranslationsPath)),
        "Qt's Polish catalogue (qttranslations5-l10n) is missing");
    const auto removeQtCatalogue
        = qScopeGuard([&qtCatalogue] { QCoreApplication::removeTranslator(&qtCatalogue); });

    auto engine = engineWith(queryAnswer({{"delta", "http://127.0.0.1/delta.zip"}}));
    QVERIFY(engine);
    // A descriptor of another component type: the installation fails, and
    // the program's own boxes ask.
    storePackage(*engine, QStringLiteral("delta"), "delta", "app");
    VellMessageBoxPrompt boxes;
    engine->setUserPrompt(&boxes);
    MessageBoxAnswerer answerer({QMessageBox::Abort});
    QStringList buttons;
    answerer.beforeAnswer = [&buttons](int) {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        for (QAbstractButton *button : box->buttons()) {
            buttons << button->text().remove(QLatin1Char('&'));
        }
    };

    new VellInstallDialog(engine.get());
    QCOMPARE(answerer.texts.size(), 1);
    QCOMPARE(answerer.titles.first(), QStringLiteral("Aktualizuj"));
    QCOMPARE(answerer.texts.first(), QStringLiteral("Nie udało się zainstalować pakietu delta"));
    buttons.sort();
    QCOMPARE(buttons, QStringList({QStringLiteral("Ponów"), QStringLiteral("Przerwij")}));

    QWidget *summary = topLevel(QStringLiteral("Updater_Summary_MainWindow"));
    QVERIFY(summary);
    // The log after the rollback is the engine's fixed, untranslated line.
    QCOMPARE(child<QPlainTextEdit>(summary, "Updater_Summary_Details")->toPlainText(),
        QStringLiteral("An error occured while installing updates"));
    summary->close();
    settle();
}

void tst_UpdaterWindows::polishDownloadError_translatesTheStatus()
{
    requireIsolation();
    PolishCatalogue catalogue;
    QVERIFY(catalogue.loaded);
    MiniHttpServer http; // its 404 says "Not Found"; a server may say anything
    QVERIFY(http.listen());
    auto engine = engineWith(queryAnswer({{"alpha", "http://127.0.0.1/missing.zip"}}));
    QVERIFY(engine);
    MessageBoxAnswerer boxes;

    new VellDownloadDialog(engine.get());
    QTRY_COMPARE(boxes.texts.size(), 1);
    QCOMPARE(boxes.texts.first(),
        QStringLiteral("Pobieranie http://127.0.0.1/missing.zip nie powiodło się: serwer "
                       "odpowiedział 404 Nie znaleziono."));
    settle();
}

void tst_UpdaterWindows::missingClient_criticalBoxNamesIt_data()
{
    QTest::addColumn<bool>("polish");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text"); ///< %1 is the program's path

    QTest::newRow("English") << false << QStringLiteral("Check updates")
                             << QStringLiteral("The client program %1 could not be started: No "
                                               "such file or directory");
    QTest::newRow("Polish") << true << QStringLiteral("Sprawdzanie aktualizacji")
                            << QStringLiteral("Nie można uruchomić programu klienta %1: Nie ma "
                                              "takiego pliku ani katalogu");
}

// The start-up's box when there is no client program to ask for the query.
void tst_UpdaterWindows::missingClient_criticalBoxNamesIt()
{
    QFETCH(bool, polish);
    QFETCH(QString, title);
    QFETCH(QString, text);

    std::unique_ptr<PolishCatalogue> catalogue(polish ? new PolishCatalogue : nullptr);
    QVERIFY(!catalogue || catalogue->loaded);
    const QString client = scratch.filePath(QStringLiteral("no client here/vell"));
    VellUpdaterEngine engine;
    engine.setClientProgram(client);
    VellMessageBoxPrompt boxes;
    engine.setUserPrompt(&boxes);
    MessageBoxAnswerer answerer;

    QVERIFY(!engine.checkUpdates());
    QCOMPARE(answerer.titles, QStringList {title});
    QCOMPARE(answerer.texts, QStringList {text.arg(client)});
    QVERIFY2(answerer.looks.first().startsWith(QLatin1String("Critical [Ok]")),
        qPrintable(answerer.looks.first()));
}

void tst_UpdaterWindows::systemErrors_speakTheUsersLanguage_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("polish");

    QTest::newRow("read-only") << EROFS << QStringLiteral("System plików tylko do odczytu");
    QTest::newRow("no permission") << EACCES << QStringLiteral("Brak dostępu");
    QTest::newRow("disk full") << ENOSPC << QStringLiteral("Brak miejsca na urządzeniu");
    QTest::newRow("quota") << EDQUOT << QStringLiteral("Przekroczono przydział miejsca na dysku");
    QTest::newRow("busy program") << ETXTBSY << QStringLiteral("Plik wykonywalny jest w użyciu");
    QTest::newRow("rare: the C library's text") << ENOTSOCK << QString();
}

void tst_UpdaterWindows::systemErrors_speakTheUsersLanguage()
{
    QFETCH(int, code);
    QFETCH(QString, polish);

    // In English the C library's own words, as the tests' C locale has them;
    // the same words from Qt (a QFile's errorString()) are recognised.
    const QString english = QString::fromLocal8Bit(std::strerror(code));
    QCOMPARE(VellSystemError::text(code), english);
    QCOMPARE(VellSystemError::fromText(english), english);
    PolishCatalogue catalogue;
    QVERIFY(catalogue.loaded);
    const QString expected = polish.isEmpty() ? english : polish;
    QCOMPARE(VellSystemError::text(code), expected);
    QCOMPARE(VellSystemError::fromText(english), expected);
}

namespace {
// The window activated, as a person's click or the window manager would.
bool activate(QWidget *window)
{
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}
} // namespace

void tst_UpdaterWindows::changelogKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("focus"); // the widget that has the keyboard focus
    QTest::addColumn<QStringList>("formsAfter");

    const QStringList download {QStringLiteral("Updater_Download_MainWindow")};
    const QString details = QStringLiteral("Updater_Changelog_Details");
    const QString link = QStringLiteral("Updater_Changelog_ViewChangelog");
    QTest::newRow("Return") << int(Qt::Key_Return) << link << download;
    QTest::newRow("Enter, in the change log") << int(Qt::Key_Enter) << details << download;
    QTest::newRow("Return, in the change log") << int(Qt::Key_Return) << details << download;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << link << QStringList();
    QTest::newRow("Escape, in the change log") << int(Qt::Key_Escape) << details << QStringList();
}

void tst_UpdaterWindows::changelogKeys()
{
    QFETCH(int, key);
    QFETCH(QString, focus);
    QFETCH(QStringList, formsAfter);

    auto engine = engineWith(queryAnswer({{"alpha", "http://127.0.0.1/alpha.zip"}}));
    QVERIFY(engine);
    QPointer<VellChangelogDialog> controller = new VellChangelogDialog(engine.get());
    QWidget *form = topLevel(QStringLiteral("Updater_Changelog_MainWindow"));
    QVERIFY(form);
    child<QPushButton>(form, "Updater_Changelog_ViewChangelog")->click(); // the log shows
    QVERIFY(activate(form));
    auto *focused = form->findChild<QWidget *>(focus);
    QVERIFY(focused);
    focused->setFocus();

    QTest::keyClick(focused, Qt::Key(key));
    // The download window is closed at once, before its download would start.
    const QStringList formsNow = visibleForms();
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        widget->close();
    }
    settle();
    QCOMPARE(formsNow, formsAfter);
    QVERIFY(!controller);
    QCOMPARE(engine->downloadState(), VellUpdaterEngine::Idle);
}

void tst_UpdaterWindows::summaryKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("focus");

    QTest::newRow("Return") << int(Qt::Key_Return) << QStringLiteral("Updater_Summary_Close");
    QTest::newRow("Enter, in the log")
        << int(Qt::Key_Enter) << QStringLiteral("Updater_Summary_Details");
    QTest::newRow("Escape") << int(Qt::Key_Escape) << QStringLiteral("Updater_Summary_ViewDetails");
    QTest::newRow("Escape, in the log")
        << int(Qt::Key_Escape) << QStringLiteral("Updater_Summary_Details");
}

void tst_UpdaterWindows::summaryKeys()
{
    QFETCH(int, key);
    QFETCH(QString, focus);

    VellUpdaterEngine engine;
    QPointer<VellSummaryDialog> controller = new VellSummaryDialog(&engine);
    QWidget *form = topLevel(QStringLiteral("Updater_Summary_MainWindow"));
    QVERIFY(form);
    QVERIFY(activate(form));
    auto *focused = form->findChild<QWidget *>(focus);
    QVERIFY(focused);
    focused->setFocus();

    QTest::keyClick(focused, Qt::Key(key));
    settle();
    QVERIFY(visibleForms().isEmpty());
    QVERIFY(!controller);
}

void tst_UpdaterWindows::summaryViewDetails_togglesTheLog()
{
    VellUpdaterEngine engine;
    new VellSummaryDialog(&engine);
    QWidget *form = topLevel(QStringLiteral("Updater_Summary_MainWindow"));
    QVERIFY(form);
    auto *details = child<QPlainTextEdit>(form, "Updater_Summary_Details");
    auto *link = child<QPushButton>(form, "Updater_Summary_ViewDetails");
    QVERIFY(details && link);
    QVERIFY(details->isVisible());
    QCOMPARE(link->text(), QStringLiteral("Hide details"));
    const int shownHeight = form->height();
    const int width = form->width();
    const int logHeight = details->height();

    link->click();
    QVERIFY(details->isHidden());
    QCOMPARE(link->text(), QStringLiteral("View details"));
    // The window gives back most of the log's height, not a little of it.
    QVERIFY2(form->height() < shownHeight - logHeight / 2,
        qPrintable(QStringLiteral("%1 of %2 with a log of %3")
                       .arg(form->height())
                       .arg(shownHeight)
                       .arg(logHeight)));
    // Narrower, the texts would wrap anew.
    QCOMPARE(form->width(), width);

    link->click();
    QVERIFY(details->isVisible());
    QCOMPARE(link->text(), QStringLiteral("Hide details"));
    QCOMPARE(form->height(), shownHeight);
    QCOMPARE(form->width(), width);
    QCOMPARE(details->toPlainText(), engine.getLog());
    QVERIFY(form->isVisible());
    form->close();
    settle();
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tst_UpdaterWindows test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_updaterwindows.moc"
