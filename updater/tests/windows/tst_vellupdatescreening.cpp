// Which offered updates go on to the download, and what the box before the
// change log says about the others.
#include "InstallTestSupport.h"
#include "TestFiles.h"
#include "TestNamespace.h"
#include "Update.h"
#include "VellUpdateScreening.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestVellUpdateScreening : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void screening_data();
    void screening();

private:
    std::unique_ptr<QTemporaryDir> base;
    bool privateMounts = false;
};

namespace {

std::unique_ptr<Update> offer(const std::string &name, const std::string &type)
{
    return std::make_unique<Update>("vell", name, type, "3.1", name + " " + type, "", "", "", "",
        "", "http://updates.example/" + name + ".zip", false, 0);
}

} // namespace

void TestVellUpdateScreening::initTestCase()
{
    privateMounts = TestNamespace::isInside(TestNamespace::Mount);
}

void TestVellUpdateScreening::init()
{
    base.reset(new QTemporaryDir);
    QVERIFY(base->isValid());
    QVERIFY(QDir().mkpath(base->filePath("app")));
    QVERIFY(QDir().mkpath(base->filePath("dpkg/info")));
}

void TestVellUpdateScreening::screening_data()
{
    QTest::addColumn<QString>("program"); // "writable", "read-only", "setting" or "dpkg"
    QTest::addColumn<QStringList>("installed"); // the updates that go on
    QTest::addColumn<QStringList>("told"); // parts of the box; empty: no box

    const QString app = QStringLiteral("%1/app");
    QTest::newRow("writable: everything goes on")
        << "writable" << QStringList {"core", "filter"} << QStringList {};
    QTest::newRow("read-only program folder: the program is not downloaded")
        << "read-only" << QStringList {"filter"}
        << QStringList {"core app", app, "read-only", "administrator"};
    QTest::newRow("package manager's by setting: the program only announced")
        << "setting" << QStringList {"filter"} << QStringList {"core app", "3.1", app, "dpkg"};
    QTest::newRow("package manager's by dpkg's records")
        << "dpkg" << QStringList {"filter"} << QStringList {"core app", "3.1", app, "records"};
}

void TestVellUpdateScreening::screening()
{
    QFETCH(QString, program);
    QFETCH(QStringList, installed);
    QFETCH(QStringList, told);
    const QString app = base->filePath("app");
    std::unique_ptr<TestMount> mount;
    if (program == "read-only") {
        if (!privateMounts) {
            QSKIP("no private mount namespace");
        }
        mount = std::make_unique<TestMount>(TestMount::readOnly(app));
        QVERIFY(mount->isMounted());
    } else if (program == "setting") {
        QVERIFY(writeFile(app + "/updater.conf", "[installation]\nmanaged-by=dpkg\n"));
    } else if (program == "dpkg") {
        QVERIFY(writeFile(
            base->filePath("dpkg/info/vell.list"), (app + "\n" + app + "/updater\n").toUtf8()));
    }
    const auto core = offer("core", "app");
    const auto filter = offer("filter", "plugin");
    const VellUpdateScreening::Result result
        = VellUpdateScreening::screen({core.get(), filter.get()}, app,
            base->filePath("home/.Vellnet/plugins"), base->filePath("dpkg"));
    QStringList names;
    for (const Update *update : result.toInstall) {
        names << QString::fromStdString(update->getName());
    }
    QCOMPARE(names, installed);
    QCOMPARE(result.paragraphs.size(), told.isEmpty() ? 0 : 1);
    for (const QString &part : told) {
        QVERIFY2(result.paragraphs.value(0).contains(part.arg(base->path())),
            qPrintable(part + " not in: " + result.paragraphs.value(0)));
    }
}

QTEST_GUILESS_MAIN(TestVellUpdateScreening)
#include "tst_vellupdatescreening.moc"
