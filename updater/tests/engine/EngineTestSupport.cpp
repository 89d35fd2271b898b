#include "EngineTestSupport.h"

#include "TestFiles.h"
#include "TestPackage.h"
#include "VellUpdateServerAddress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "VellUpdaterEngine.h"

ScopedEnvironment::ScopedEnvironment(const char *name, const QByteArray &value)
    : name(name)
    , wasSet(qEnvironmentVariableIsSet(name))
    , oldValue(qgetenv(name))
{
    qputenv(name, value);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (wasSet) {
        qputenv(name, oldValue);
    } else {
        qunsetenv(name);
    }
}

bool PluginUpdateScene::setUp(const QStringList &names)
{
    if (!dir.isValid() || !QDir().mkpath(dir.filePath("tmp"))) {
        return false;
    }
    environment.emplace_back(
        new ScopedEnvironment("HOME", QFile::encodeName(dir.filePath("home"))));
    environment.emplace_back(
        new ScopedEnvironment("TMPDIR", QFile::encodeName(dir.filePath("tmp"))));
    QVector<CatalogueEntry> catalogue;
    for (const QString &name : names) {
        const bool prepared = writeFile(pluginFile(name), name.toUtf8() + "-old")
            && TestPackage(name, QStringLiteral("plugin"))
                   .add(QStringLiteral("data/%1.dat").arg(name), name.toUtf8() + "-new")
                   .write(packagePath(name));
        if (!prepared) {
            return false;
        }
        CatalogueEntry entry;
        entry.project = QStringLiteral("vell");
        entry.name = name;
        entry.type = QStringLiteral("plugin");
        entry.version = QStringLiteral("2.0");
        entry.link = QStringLiteral("http://127.0.0.1/%1.zip").arg(name);
        catalogue << entry;
    }
    server.reset(new UpdateServerProcess);
    if (!writeCatalogue(dir.filePath("catalogue"), catalogue)
        || !server->start(dir.filePath("catalogue"))) {
        return false;
    }
    environment.emplace_back(
        new ScopedEnvironment(VellUpdateServerAddress::EnvironmentVariable, server->address()));
    return true;
}

QString PluginUpdateScene::pluginFile(const QString &name) const
{
    return dir.filePath(QStringLiteral("home/.Vellnet/plugins/data/%1.dat").arg(name));
}

QString PluginUpdateScene::packagePath(const QString &name) const
{
    return dir.filePath(QStringLiteral("packages/%1.zip").arg(name));
}

bool writeCatalogue(const QString &folder, const QVector<CatalogueEntry> &entries)
{
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder)) {
        return false;
    }
    int index = 0;
    for (const CatalogueEntry &entry : entries) {
        const QJsonObject version {{"version", entry.version}, {"description", entry.description},
            {"changelog", entry.changelog}, {"link", entry.link}, {"critical", entry.critical},
            {"timestamp", qint64(entry.timestamp)}};
        const QJsonObject component {{"project", entry.project}, {"name", entry.name},
            {"type", entry.type}, {"versions", QJsonArray {version}}};
        const QString path = QStringLiteral("%1/%2.json").arg(folder).arg(index++);
        if (!writeFile(path, QJsonDocument(component).toJson())) {
            return false;
        }
    }
    return true;
}

UpdateServerProcess::~UpdateServerProcess()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool UpdateServerProcess::start(const QString &catalogue, const QStringList &options)
{
    const QString script = QStringLiteral(VELL_TOOLS_DIR "/updateserver/vell-update-server.py");
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("python3"),
        QStringList {script, QStringLiteral("--catalogue"), catalogue, QStringLiteral("--port"),
            QStringLiteral("0")}
            + options);
    // Limits for a server that hangs, not for a slow one: on a loaded machine
    // python3 alone took more than 10 s to start.
    if (!process.waitForStarted(60000)) {
        return false;
    }
    // The server announces "listening on HOST:PORT" once it accepts connections.
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(60000)) {
            return false;
        }
    }
    const QByteArray line = process.readLine().trimmed();
    serverPort = quint16(line.mid(line.lastIndexOf(':') + 1).toUInt());
    return serverPort != 0;
}

QByteArray UpdateServerProcess::address() const
{
    return "127.0.0.1:" + QByteArray::number(serverPort);
}

bool writeStubClient(const QString &path, const QByteArray &output)
{
    const QString outputPath = path + QLatin1String(".out");
    if (!writeFile(outputPath, output)) {
        return false;
    }
    QByteArray script = "#!/bin/sh\n"
                        "for arg in \"$@\"; do printf '%s\\n' \"$arg\"; done > \"$0.args\"\n"
                        "cat \"$0.out\"\n";
    if (!writeFile(path, script)) {
        return false;
    }
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QByteArray queryFor(const QStringList &components)
{
    QByteArray query = "<s><update>";
    for (const QString &line : components) {
        const QStringList fields = line.split(QLatin1Char(' '));
        query += "<component project='" + fields.value(0).toUtf8() + "' name='"
            + fields.value(1).toUtf8() + "' type='" + fields.value(2).toUtf8() + "' version='"
            + fields.value(3).toUtf8() + "' />";
    }
    return query + "</update></s>";
}

EngineSignalLog::EngineSignalLog(VellUpdaterEngine *engine)
{
    auto record = [this](const char *name, const QString &value) {
        events << QLatin1String(name) + QLatin1Char(':') + value;
    };
    connect(engine, &VellUpdaterEngine::downloadProgress, this,
        [=](int done) { record("downloadProgress", QString::number(done)); });
    connect(engine, &VellUpdaterEngine::downloadFile, this,
        [=](const QString &name) { record("downloadFile", name); });
    connect(engine, &VellUpdaterEngine::downloadFinished, this,
        [=] { record("downloadFinished", QString()); });
    connect(engine, &VellUpdaterEngine::installProgress, this,
        [=](int done) { record("installProgress", QString::number(done)); });
    connect(engine, &VellUpdaterEngine::installFile, this,
        [=](const QString &name) { record("installFile", name); });
    connect(engine, &VellUpdaterEngine::installFinished, this,
        [=] { record("installFinished", QString()); });
    connect(engine, &VellUpdaterEngine::error, this,
        [=](const QString &text) { record("error", text); });
}

QStringList EngineSignalLog::of(const QString &signal) const
{
    const QString prefix = signal + QLatin1Char(':');
    QStringList values;
    for (const QString &event : events) {
        if (event.startsWith(prefix)) {
            values << event.mid(prefix.size());
        }
    }
    return values;
}

namespace {
WarningLog *activeWarningLog = nullptr;
}

WarningLog::WarningLog()
{
    activeWarningLog = this;
    previous = qInstallMessageHandler(&WarningLog::record);
}

WarningLog::~WarningLog()
{
    qInstallMessageHandler(previous);
    activeWarningLog = nullptr;
}

QStringList WarningLog::containing(const QString &text) const
{
    return warnings.filter(text);
}

void WarningLog::record(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!activeWarningLog) {
        return;
    }
    if (type == QtWarningMsg) {
        activeWarningLog->warnings << message;
    }
    if (activeWarningLog->previous) {
        activeWarningLog->previous(type, context, message);
    }
}
