#ifndef ENGINETESTSUPPORT_H
#define ENGINETESTSUPPORT_H

// Fixtures shared by the engine tests: environment guards, the local update
// server, a stub client program, the engine's signals and Qt's warnings.

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVector>

#include <QTemporaryDir>

#include <memory>
#include <vector>

/** Sets an environment variable for its lifetime and restores the old value. */
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QByteArray &value);
    ~ScopedEnvironment();

private:
    const char *name;
    bool wasSet;
    QByteArray oldValue;
};

/**
 * One component of the update server's catalogue, offered in one version.
 */
struct CatalogueEntry
{
    QString project;
    QString name;
    QString type;
    QString version;
    QString link;
    QString description = QStringLiteral("Description");
    QString changelog = QStringLiteral("Changes");
    bool critical = false;
    quint32 timestamp = 0;
};

/** Writes the catalogue folder of the local update server. */
bool writeCatalogue(const QString &folder, const QVector<CatalogueEntry> &entries);

/** The local update server (tools/updateserver) on a free loopback port. */
class UpdateServerProcess
{
public:
    ~UpdateServerProcess();
    /** Starts the server on the catalogue folder with extra options; false on failure. */
    bool start(const QString &catalogue, const QStringList &options = QStringList());
    quint16 port() const { return serverPort; }
    /** "127.0.0.1:port", for VELL_UPDATE_SERVER. */
    QByteArray address() const;

private:
    QProcess process;
    quint16 serverPort = 0;
};

/**
 * The scene of the engine's installation tests: a scratch HOME and TMPDIR in
 * which plug-ins of the given names are installed in version 1.0 (the file
 * pluginFile(name) holds "<name>-old"), for each a package at
 * packagePath(name) that replaces that file with "<name>-new", and the local
 * update server offering every one as version 2.0 from
 * http://127.0.0.1/<name>.zip. The environment comes back with the object.
 */
class PluginUpdateScene
{
public:
    bool setUp(const QStringList &names);

    /// A path below the scene's scratch folder.
    QString filePath(const QString &relative) const { return dir.filePath(relative); }
    /// home/.Vellnet/plugins/data/<name>.dat
    QString pluginFile(const QString &name) const;
    /// packages/<name>.zip
    QString packagePath(const QString &name) const;

private:
    QTemporaryDir dir;
    std::vector<std::unique_ptr<ScopedEnvironment>> environment;
    std::unique_ptr<UpdateServerProcess> server;
};

/**
 * Writes an executable shell script that prints output whatever its
 * arguments, and records its arguments one per line in path + ".args".
 */
bool writeStubClient(const QString &path, const QByteArray &output);

/** A query document for components given as "project name type version" lines. */
QByteArray queryFor(const QStringList &components);

class VellUpdaterEngine;

/**
 * Records every signal of an engine in the order of emission, as
 * "downloadFile:name", "downloadProgress:25", "error:text", ...
 */
class EngineSignalLog : public QObject
{
    Q_OBJECT

public:
    explicit EngineSignalLog(VellUpdaterEngine *engine);

    QStringList events;
    /** The events whose name is signal, with the name and colon taken off. */
    QStringList of(const QString &signal) const;
};

/**
 * Records the warnings Qt prints while it lives (they still reach the previous
 * handler), so that a test can show that the code under test caused none.
 */
class WarningLog
{
public:
    WarningLog();
    ~WarningLog();
    WarningLog(const WarningLog &) = delete;
    WarningLog &operator=(const WarningLog &) = delete;

    /** The warnings recorded so far that contain text. */
    QStringList containing(const QString &text) const;

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &message);

    QtMessageHandler previous;
    QStringList warnings;
};

#endif // ENGINETESTSUPPORT_H
