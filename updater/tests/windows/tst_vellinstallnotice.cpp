// The box before the change log: every paragraph names the folder it speaks
// of and what to do, in English and in Polish.
#include "VellInstallNotice.h"

#include <QTranslator>
#include <QtTest>

#include <cerrno>

Q_DECLARE_METATYPE(VellInstallability::Reason)
Q_DECLARE_METATYPE(VellInstallationOwner::Source)

class TestVellInstallNotice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(updater); }
    void blockedNamesFolderAndWhatToDo_data();
    void blockedNamesFolderAndWhatToDo();
    void managedNamesVersionFolderAndManager_data();
    void managedNamesVersionFolderAndManager();
};

namespace {

// The language of a row: "en" keeps the source texts, "pl" installs the compiled-in catalogue.
class Language
{
public:
    explicit Language(const QString &name)
    {
        if (name == QLatin1String("pl")) {
            loaded = translator.load(QStringLiteral(":/languages/vell_pl_PL.qm"))
                && QCoreApplication::installTranslator(&translator);
        }
    }
    ~Language() { QCoreApplication::removeTranslator(&translator); }
    bool loaded = true;

private:
    QTranslator translator;
};

const QString programDir = QStringLiteral("/opt/vell");

} // namespace

void TestVellInstallNotice::blockedNamesFolderAndWhatToDo_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<VellInstallability::Reason>("reason");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected"); // a part of the text that says why or what to do

    using R = VellInstallability::Reason;
    QTest::newRow("en, not writable")
        << "en" << R::NotWritable << programDir << "Ask your administrator";
    QTest::newRow("en, read-only") << "en" << R::ReadOnlyFileSystem << programDir << "read-only";
    QTest::newRow("en, backup folder") << "en" << R::UnwindUnusable << programDir + "/.vell-unwind"
                                       << "backup folder";
    QTest::newRow("en, no folder") << "en" << R::NoFolder << "/home/u/.Vellnet"
                                   << "cannot be made";
    QTest::newRow("pl, not writable")
        << "pl" << R::NotWritable << programDir << "Poproś administratora";
    QTest::newRow("pl, read-only")
        << "pl" << R::ReadOnlyFileSystem << programDir << "tylko do odczytu";
}

void TestVellInstallNotice::blockedNamesFolderAndWhatToDo()
{
    QFETCH(QString, language);
    QFETCH(VellInstallability::Reason, reason);
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    const Language chosen(language);
    QVERIFY(chosen.loaded);
    VellInstallability::Verdict verdict;
    verdict.reason = reason;
    verdict.folder = folder;
    verdict.errorCode = reason == VellInstallability::Reason::ReadOnlyFileSystem ? EROFS : EACCES;
    const QString text
        = VellInstallNotice::text({VellInstallNotice::blocked("Vell core", verdict)});
    QVERIFY2(text.contains(folder), qPrintable(text));
    QVERIFY2(text.contains("Vell core"), qPrintable(text));
    QVERIFY2(text.contains(expected), qPrintable(text));
    QVERIFY2(!text.contains('%'), qPrintable(text)); // every placeholder filled
}

void TestVellInstallNotice::managedNamesVersionFolderAndManager_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<VellInstallationOwner::Source>("source");
    QTest::addColumn<QString>("expected");

    using S = VellInstallationOwner::Source;
    QTest::newRow("en, setting") << "en" << S::Setting << "package manager";
    QTest::newRow("en, detected") << "en" << S::Detected << "records";
    QTest::newRow("pl, setting") << "pl" << S::Setting << "menedżer pakietów";
    QTest::newRow("pl, detected") << "pl" << S::Detected << "rejestrze";
}

void TestVellInstallNotice::managedNamesVersionFolderAndManager()
{
    QFETCH(QString, language);
    QFETCH(VellInstallationOwner::Source, source);
    QFETCH(QString, expected);
    const Language chosen(language);
    QVERIFY(chosen.loaded);
    VellInstallationOwner::Owner owner;
    owner.source = source;
    owner.manager = "dpkg";
    owner.programDir = programDir;
    const QString text = VellInstallNotice::managed("Vell core", "3.1.0", owner);
    for (const QString &part : {programDir, QString("3.1.0"), QString("dpkg"), expected}) {
        QVERIFY2(text.contains(part), qPrintable(part + " not in: " + text));
    }
    // Only the detected case explains why the folder counts as the package manager's.
    const QString detectedOnly = language == "pl" ? "rejestrze" : "records";
    QCOMPARE(text.contains(detectedOnly), source == VellInstallationOwner::Source::Detected);
}

QTEST_GUILESS_MAIN(TestVellInstallNotice)
#include "tst_vellinstallnotice.moc"
