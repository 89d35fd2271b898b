#ifndef VELLPLUGINLOADER_H
#define VELLPLUGINLOADER_H

#include "VellPlugin.h"

#include <QString>

class VellFilterPlugin;

/// Owns one loaded plug-in file, as the client's plug-in manager holds it: the
/// file is opened with dlopen, its "get_plugin_handle" gives the plug-in object,
/// whose load() must agree. Unloading calls unload() and closes the file.
class VellPluginLoader
{
public:
    VellPluginLoader() = default;
    ~VellPluginLoader();

    /// Loads the plug-in file at @p path, unloading any earlier one first.
    /// On failure nothing stays loaded and @p error, if given, tells why.
    bool load(const QString &path, QString *error = nullptr);
    void unload();

    bool isLoaded() const { return m_plugin != nullptr; }
    /// Absolute path of the loaded file.
    QString fileName() const { return m_fileName; }
    /// The plug-in object; null when nothing is loaded.
    VellPlugin *plugin() const { return m_plugin; }
    /// The plug-in object when it offers a roster filter, otherwise null.
    VellFilterPlugin *filterPlugin() const;
    /// The file's "get_plugin_handle"; null when nothing is loaded.
    VellPluginHandleFunction entryPoint() const { return m_entryPoint; }

private:
    Q_DISABLE_COPY(VellPluginLoader)

    void closeLibrary();

    void *m_library = nullptr;
    VellPluginHandleFunction m_entryPoint = nullptr;
    VellPlugin *m_plugin = nullptr;
    QString m_fileName;
};

#endif // VELLPLUGINLOADER_H
