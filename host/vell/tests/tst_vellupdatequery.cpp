// The client stand-in's "-updatequery", run as the updater runs it.
#include "Component.h"
#include "ComponentsFile.h"
#include "Update.h"
#include "VellUpdatePackage.h"

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

class tst_VellUpdateQuery : public QObject
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
    void fragmentsReplaceRegistryEntries_data();
    void fragmentsReplaceRegistryEntries();
    void packageFragmentFollowsUpdateAndRollback_data();
    void packageFragmentFollowsUpdateAndRollback();

private:
    Run run(const QStringList &arguments) const;
    QString home() const { return dir->filePath(QStringLiteral("home")); }
    QString pluginDir() const { return home() + QLatin1String("/.Vellnet/plugins"); }
    void saveRegistry(const QString &path, const QList<Component> &components);

    std::unique_ptr<QTemporaryDir> dir;
    QString program;
};

void tst_VellUpdateQuery::init()
{
    // The program reads the registry beside itself: run a copy in a folder of our own.
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(dir->isValid(), qPrintable(dir->errorString()));
    program = dir->filePath(QStringLiteral("vell"));
    QVERIFY(QFile::copy(qEnvironmentVariable("VELL_BUILD_DIR") + "/bin/vell", program));
}

Run tst_VellUpdateQuery::run(const QStringList &arguments) const
{
    QProcess process;
    // The plug-in folder's fragments come from this home, not the tester's.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home());
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

void tst_VellUpdateQuery::printsTheQueryOfTheInstalledComponents()
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

void tst_VellUpdateQuery::queryOfAnEmptyRegistry()
{
    QVERIFY(ComponentsFile().save(dir->filePath(QStringLiteral("components.xml")).toStdString()));
    const Run result = run({QStringLiteral("-updatequery")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(queryIn(result.out), QByteArray("<s><update></update></s>"));
}

void tst_VellUpdateQuery::unreadableRegistryIsReported_data()
{
    QTest::addColumn<QByteArray>("contents"); // empty: no registry at all
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("not in the registry's format")
        << QByteArray("<?xml version='1.0'?><components></components>");
    QTest::newRow("cut short") << QByteArray("<components>\n<component project='vell' name='c");
}

void tst_VellUpdateQuery::unreadableRegistryIsReported()
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

void tst_VellUpdateQuery::otherArgumentsPrintUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("none") << QStringList();
    QTest::newRow("unknown") << QStringList {"-help"};
    QTest::newRow("extra") << QStringList {"-updatequery", "now"};
    QTest::newRow("double dash") << QStringList {"--updatequery"};
}

void tst_VellUpdateQuery::otherArgumentsPrintUsage()
{
    QFETCH(QStringList, arguments);
    QVERIFY(ComponentsFile().save(dir->filePath(QStringLiteral("components.xml")).toStdString()));
    const Run result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.out.isEmpty());
    QCOMPARE(result.err, QByteArray("usage: vell -updatequery\n"));
}

void tst_VellUpdateQuery::sampleRegistryBesideTheBuiltProgramIsValid()
{
    program = qEnvironmentVariable("VELL_BUILD_DIR") + "/bin/vell";
    const Run result = run({QStringLiteral("-updatequery")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(queryIn(result.out).contains("<component project='vell' name='core' type='app'"),
        result.out.constData());
}

namespace {
Component component(const char *name, const char *type, const char *version)
{
    return Component("vell", name, type, version, "", "", "", "", "");
}

QByteArray requestFor(const char *name, const char *type, const char *version)
{
    return QByteArray("<component project='vell' name='") + name + "' type='" + type + "' version='"
        + version + "' />";
}
} // namespace

void tst_VellUpdateQuery::saveRegistry(const QString &path, const QList<Component> &components)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    ComponentsFile registry;
    for (const Component &entry : components) {
        registry.addComponent(entry);
    }
    QVERIFY(registry.save(path.toStdString()));
}

void tst_VellUpdateQuery::fragmentsReplaceRegistryEntries_data()
{
    QTest::addColumn<QByteArray>("besideProgram"); // a fragment's contents, empty for none
    QTest::addColumn<QByteArray>("inPluginFolder");
    QTest::addColumn<QByteArray>("coreVersion");
    QTest::addColumn<QByteArray>("filterVersion");
    QTest::addColumn<QByteArray>("warning");

    const auto fragment = [](const char *name, const char *type, const char *version) {
        ComponentsFile registry;
        registry.addComponent(component(name, type, version));
        return QByteArray::fromStdString(registry.text());
    };
    QTest::newRow("none") << QByteArray() << QByteArray() << QByteArray("1.0") << QByteArray("1.0")
                          << QByteArray();
    QTest::newRow("the program's, beside it")
        << fragment("core", "app", "2.0") << QByteArray() << QByteArray("2.0") << QByteArray("1.0")
        << QByteArray();
    QTest::newRow("the plug-in's, in the plug-in folder")
        << QByteArray() << fragment("statusfilter", "plugin", "2.1") << QByteArray("1.0")
        << QByteArray("2.1") << QByteArray();
    QTest::newRow("the plug-in folder wins")
        << fragment("core", "app", "2.0") << fragment("core", "app", "3.0") << QByteArray("3.0")
        << QByteArray("1.0") << QByteArray();
    QTest::newRow("malformed: left out")
        << QByteArray("<components>\n<component project='vell' name='co") << QByteArray()
        << QByteArray("1.0") << QByteArray("1.0")
        << QByteArray("vell: ignoring the registry fragment ");
    QTest::newRow("two components: left out") << QByteArray::fromStdString([] {
        ComponentsFile two;
        two.addComponent(component("core", "app", "5.0"));
        two.addComponent(component("statusfilter", "plugin", "5.0"));
        return two.text();
    }()) << QByteArray() << QByteArray("1.0") << QByteArray("1.0")
                                              << QByteArray("it holds 2 components instead of one");
}

void tst_VellUpdateQuery::fragmentsReplaceRegistryEntries()
{
    QFETCH(QByteArray, besideProgram);
    QFETCH(QByteArray, inPluginFolder);
    QFETCH(QByteArray, coreVersion);
    QFETCH(QByteArray, filterVersion);
    QFETCH(QByteArray, warning);

    saveRegistry(dir->filePath(QStringLiteral("components.xml")),
        {component("core", "app", "1.0"), component("statusfilter", "plugin", "1.0")});
    const auto writeFragment = [](const QString &folder, const QByteArray &contents) {
        QDir().mkpath(folder);
        QFile file(folder + QLatin1String("/fragment.xml"));
        return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
    };
    if (!besideProgram.isEmpty()) {
        QVERIFY(writeFragment(dir->filePath(QStringLiteral("components.d")), besideProgram));
    }
    if (!inPluginFolder.isEmpty()) {
        QVERIFY(writeFragment(pluginDir() + QLatin1String("/components.d"), inPluginFolder));
    }

    const Run result = run({QStringLiteral("-updatequery")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(queryIn(result.out),
        "<s><update>" + requestFor("core", "app", coreVersion.constData())
            + requestFor("statusfilter", "plugin", filterVersion.constData()) + "</update></s>");
    if (warning.isEmpty()) {
        QVERIFY2(result.err.isEmpty(), result.err.constData());
    } else {
        QVERIFY2(result.err.contains(warning), result.err.constData());
        QVERIFY(result.err.contains("fragment.xml"));
    }
}

void tst_VellUpdateQuery::packageFragmentFollowsUpdateAndRollback_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("app, beside the program") << QStringLiteral("app");
    QTest::newRow("plugin, in the plug-in folder") << QStringLiteral("plugin");
}

void tst_VellUpdateQuery::packageFragmentFollowsUpdateAndRollback()
{
    QFETCH(QString, type);
    const QByteArray typeBytes = type.toLatin1();
    saveRegistry(dir->filePath(QStringLiteral("components.xml")),
        {component("core", "app", "1.0"), component("statusfilter", "plugin", "1.0")});
    const char *name = type == QLatin1String("app") ? "core" : "statusfilter";
    const QByteArray before = requestFor(name, typeBytes.constData(), "1.0");
    const QByteArray after = requestFor(name, typeBytes.constData(), "2.0");
    QVERIFY(queryIn(run({QStringLiteral("-updatequery")}).out).contains(before));

    // The package as a publisher writes it, with its fragment.
    const QString work = dir->filePath(QStringLiteral("work"));
    const QString files = dir->filePath(QStringLiteral("files"));
    QVERIFY(QDir().mkpath(work) && QDir().mkpath(files));
    QFile payload(files + QLatin1String("/payload.txt"));
    QVERIFY(payload.open(QIODevice::WriteOnly) && payload.write("2.0") == 3);
    payload.close();
    QProcess builder;
    builder.start(qEnvironmentVariable("VELL_BUILD_DIR") + "/bin/vell-package",
        {QStringLiteral("--project"), QStringLiteral("vell"), QStringLiteral("--name"),
            QLatin1String(name), QStringLiteral("--type"), type, QStringLiteral("--version"),
            QStringLiteral("2.0"), QStringLiteral("--files"), files,
            QStringLiteral("--registry-fragment"), work + QLatin1String("/package-2.0.zip")});
    QVERIFY(builder.waitForFinished(30000));
    QVERIFY2(builder.exitCode() == 0, builder.readAllStandardError().constData());

    // Installed by the updater's installer where the client looks.
    Update update("vell", name, typeBytes.constData(), "2.0", "", "", "", "", "", "",
        "http://packages.vell.example/package-2.0.zip", false, 0);
    const QString installDir = type == QLatin1String("app") ? dir->path() : pluginDir();
    QVERIFY(QDir().mkpath(installDir));
    VellUpdatePackage package(&update, installDir);
    QString errorText;
    QStringList installed;
    QVERIFY2(package.install(work, errorText, installed), qPrintable(errorText));
    QVERIFY2(installed.contains(QStringLiteral(" - components.d/vell") + QLatin1String(name) + type
                 + QLatin1String(".xml")),
        qPrintable(installed.join(QLatin1Char(','))));

    Run result = run({QStringLiteral("-updatequery")});
    QVERIFY2(result.err.isEmpty(), result.err.constData());
    QVERIFY2(queryIn(result.out).contains(after), result.out.constData());

    QVERIFY(package.unwind(work));
    result = run({QStringLiteral("-updatequery")});
    QVERIFY2(queryIn(result.out).contains(before), result.out.constData());
}

QTEST_GUILESS_MAIN(tst_VellUpdateQuery)
#include "tst_vellupdatequery.moc"
