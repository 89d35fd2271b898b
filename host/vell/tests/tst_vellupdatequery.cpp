// The client stand-in's "-updatequery", run as the updater runs it.
#include "Component.h"
#include "ComponentsFile.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

/// The text the updater sends: from the first "<s>" to the last "</s>".
QByteArray queryIn(const QByteArray &output)
{
    const int begin = output.indexOf("<s>");
    const int end = output.lastIndexOf("</s>");
    return begin < 0 || end < 0 ? QByteArray() : output.mid(begin, end + 4 - begin);
}

} // namespace

class TestVellUpdateQuery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void printsTheQueryOfTheInstalledComponents();
    void queryOfAnEmptyRegistry();
    void unreadableRegistryIsReported_data();
    void unreadableRegistryIsReported();
    void otherArgumentsPrintUsage_data();
    void otherArgumentsPrintUsage();
    void sampleRegistryBesideTheBuiltProgramIsValid();

private:
    Run run(const QStringList &arguments) const;

    std::unique_ptr<QTemporaryDir> dir;
    QString program;
};

void TestVellUpdateQuery::init()
{
    // The program reads the registry beside itself: run a copy in a folder of our own.
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(dir->isValid(), qPrintable(dir->errorString()));
    program = dir->filePath(QStringLiteral("vell"));
    QVERIFY(QFile::copy(qEnvironmentVariable("VELL_BUILD_DIR") + "/bin/vell", program));
}

Run TestVellUpdateQuery::run(const QStringList &arguments) const
{
    QProcess process;
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

void TestVellUpdateQuery::printsTheQueryOfTheInstalledComponents()
{
    ComponentsFile registry;
    registry.addComponent(Component("vell", "statusfilter", "plugin", "1.2", "Filter <b>", "(c)",
        "me", "http://w/?a&b", "e@x"));
    registry.addComponent(Component("vell", "core", "app", "1.0", "", "", "", "", ""));
    registry.addComponent(Component("o'neil", "x", "app", "2", "", "", "", "", ""));
    QVERIFY(registry.save(dir->filePath(QStringLiteral("components.xml")).toStdString()));

    const Run result = run({QStringLiteral("-updatequery")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.isEmpty(), result.err.constData());
    QCOMPARE(queryIn(result.out),
        QByteArray("<s><update>"
                   "<component project='o&apos;neil' name='x' type='app' version='2' />"
                   "<component project='vell' name='core' type='app' version='1.0' />"
                   "<component project='vell' name='statusfilter' type='plugin' "
                   "version='1.2' />"
                   "</update></s>"));
    QVERIFY(result.out.startsWith("Vell: update query for 3 installed components\n<s>"));
    QVERIFY(result.out.endsWith("</s>\nVell: end of update query\n"));
}

void TestVellUpdateQuery::queryOfAnEmptyRegistry()
{
    QVERIFY(ComponentsFile().save(dir->filePath(QStringLiteral("components.xml")).toStdString()));
    const Run result = run({QStringLiteral("-updatequery")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(queryIn(result.out), QByteArray("<s><update></update></s>"));
}

void TestVellUpdateQuery::unreadableRegistryIsReported_data()
{
    QTest::addColumn<QByteArray>("contents"); // empty: no registry at all
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("not in the registry's format")
        << QByteArray("<?xml version='1.0'?><components></components>");
    QTest::newRow("cut short") << QByteArray("<components>\n<component project='vell' name='c");
}

void TestVellUpdateQuery::unreadableRegistryIsReported()
{
    QFETCH(QByteArray, contents);
    if (!contents.isEmpty()) {
        QFile file(dir->filePath(QStringLiteral("components.xml")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    const Run result = run({QStringLiteral("-updatequery")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.out.isEmpty());
    QVERIFY2(result.err.startsWith("vell: cannot read the installed components registry "),
        result.err.constData());
    QVERIFY(result.err.contains("components.xml"));
    QVERIFY(queryIn(result.err).isEmpty()); // the updater finds no query in it
}

void TestVellUpdateQuery::otherArgumentsPrintUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("none") << QStringList();
    QTest::newRow("unknown") << QStringList {"-help"};
    QTest::newRow("extra") << QStringList {"-updatequery", "now"};
    QTest::newRow("double dash") << QStringList {"--updatequery"};
}

void TestVellUpdateQuery::otherArgumentsPrintUsage()
{
    QFETCH(QStringList, arguments);
    QVERIFY(ComponentsFile().save(dir->filePath(QStringLiteral("components.xml")).toStdString()));
    const Run result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.out.isEmpty());
    QCOMPARE(result.err, QByteArray("usage: vell -updatequery\n"));
}

void TestVellUpdateQuery::sampleRegistryBesideTheBuiltProgramIsValid()
{
    program = qEnvironmentVariable("VELL_BUILD_DIR") + "/bin/vell";
    const Run result = run({QStringLiteral("-updatequery")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(queryIn(result.out).contains("<component project='vell' name='core' type='app'"),
        result.out.constData());
}

QTEST_GUILESS_MAIN(TestVellUpdateQuery)
#include "tst_vellupdatequery.moc"
