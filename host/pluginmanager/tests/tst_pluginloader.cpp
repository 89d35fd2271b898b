#include "VellPluginLoader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString fixture(const char *name)
{
    return QStringLiteral(FIXTURE_DIR "/") + QLatin1String(name) + QLatin1String(".kwx");
}

} // namespace

class tst_PluginLoader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failures_data();
    void failures();
    void pluginWithoutFilterLoadsWithBaseDefaults();
    void failedLoadUnloadsTheEarlierPlugin();
    void unloadAndReload();
};

void tst_PluginLoader::failures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing file") << QStringLiteral("/nonexistent/plugin.kwx")
                                  << QStringLiteral("No such file or directory");
    QTest::newRow("not a library")
        << QStringLiteral("NOT_A_LIBRARY") << QStringLiteral("Cannot load the plug-in");
    QTest::newRow("library without entry point")
        << QStringLiteral(LIBRARY_WITHOUT_ENTRY_POINT)
        << QStringLiteral("is not a roster plug-in: it exports no get_plugin_handle");
    QTest::newRow("entry point gives no object")
        << fixture("fixture_nohandle") << QStringLiteral("gave no plug-in object");
    QTest::newRow("plug-in refuses to load")
        << fixture("fixture_refuses") << QStringLiteral("refused to load");
}

void tst_PluginLoader::failures()
{
    QFETCH(QString, path);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    if (path == QLatin1String("NOT_A_LIBRARY")) {
        path = dir.filePath(QStringLiteral("text.kwx"));
        QFile text(path);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a shared library\n");
    }

    VellPluginLoader loader;
    QString error;
    QVERIFY(!loader.load(path, &error));
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(!loader.isLoaded());
    QVERIFY(!loader.plugin());
    QVERIFY(!loader.entryPoint());
    QVERIFY(loader.fileName().isEmpty());
}

void tst_PluginLoader::pluginWithoutFilterLoadsWithBaseDefaults()
{
    VellPluginLoader loader;
    QString error;
    QVERIFY2(loader.load(fixture("fixture_plain"), &error), qPrintable(error));
    QVERIFY(loader.plugin());
    QVERIFY(!loader.filterPlugin());

    VellPlugin &plugin = *loader.plugin();
    QCOMPARE(plugin.version(), 3);
    QCOMPARE(plugin.friendlyName(), QStringLiteral("Fixture"));
    QVERIFY(plugin.getSettingsTags().isEmpty());
    QVERIFY(plugin.getSettingsLinks().isEmpty());
    QVERIFY(plugin.getSearchPhrases().isEmpty());
    QVERIFY(plugin.getLicenseName().isNull());
}

void tst_PluginLoader::failedLoadUnloadsTheEarlierPlugin()
{
    VellPluginLoader loader;
    QVERIFY(loader.load(fixture("fixture_plain")));
    QVERIFY(!loader.load(fixture("fixture_refuses")));
    QVERIFY(!loader.isLoaded());
    QVERIFY(!loader.plugin());
}

void tst_PluginLoader::unloadAndReload()
{
    VellPluginLoader loader;
    QVERIFY(loader.load(fixture("fixture_plain")));
    loader.unload();
    QVERIFY(!loader.isLoaded());
    QVERIFY(loader.fileName().isEmpty());

    QVERIFY(loader.load(fixture("fixture_plain")));
    QCOMPARE(loader.plugin()->name(), QStringLiteral("Fixture"));
    QCOMPARE(loader.entryPoint()(), loader.plugin());
}

QTEST_GUILESS_MAIN(tst_PluginLoader)
#include "tst_pluginloader.moc"
