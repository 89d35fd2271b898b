#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Qt Designer itself, started on the X server with the build's plug-in folder,
// loads the library as one of its plug-ins without an error.
class tst_DesignerApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void designerLoadsThePlugin();
};

void tst_DesignerApp::designerLoadsThePlugin()
{
    const QString designer = QStandardPaths::findExecutable(QStringLiteral("designer"));
    if (designer.isEmpty()) {
        QSKIP("Qt Designer is not installed (qttools5-dev-tools)");
    }
    QTemporaryDir home;
    QVERIFY2(home.isValid(), qPrintable(home.errorString()));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Settings, caches and backups go to a private folder, not the real home.
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(SNAPWIDGETS_PLUGIN_ROOT));
    environment.insert(QStringLiteral("QT_DEBUG_PLUGINS"), QStringLiteral("1"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(designer, {});
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));

    const QString plugin = QStringLiteral(SNAPWIDGETS_PLUGIN_ROOT "/designer/libsnapwidgets.so");
    const QByteArray loaded = "loaded library \"" + QFile::encodeName(plugin) + '"';
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    while (!output.contains(loaded) && process.state() == QProcess::Running
        && clock.elapsed() < 60000) {
        process.waitForReadyRead(500);
        output += process.readAll();
    }
    // Designer then asks the plug-in for its widgets and builds its widget box;
    // it must still be running a moment later.
    const bool stillRunning = output.contains(loaded) && !process.waitForFinished(2000);
    process.kill();
    process.waitForFinished();
    output += process.readAll();

    QVERIFY2(output.contains(loaded), output.right(3000).constData());
    QVERIFY2(stillRunning, output.right(3000).constData());
    // Every line that names the plug-in reports success.
    for (const QByteArray &line : output.split('\n')) {
        if (!line.contains("libsnapwidgets")) {
            continue;
        }
        QVERIFY2(!line.contains("Cannot load") && !line.contains("undefined symbol")
                && !line.contains("not a valid"),
            line.constData());
    }
}

QTEST_MAIN(tst_DesignerApp)
#include "tst_designerapp.moc"
