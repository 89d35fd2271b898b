#include "VellPluginLoader.h"

#include "VellFilterPlugin.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <dlfcn.h>

namespace {

const char entryPointName[] = "get_plugin_handle";

QString tr(const char *text)
{
    return QCoreApplication::translate("VellPluginLoader", text);
}

QString lastDlError()
{
    const char *message = dlerror();
    return message ? QString::fromLocal8Bit(message) : tr("unknown error");
}

} // namespace

VellPluginLoader::~VellPluginLoader()
{
    unload();
}

bool VellPluginLoader::load(const QString &path, QString *error)
{
    unload();

    const auto fail = [this, error](const QString &reason) {
        closeLibrary();
        m_fileName.clear();
        if (error) {
            *error = reason;
        }
        return false;
    };

    // dlopen() looks for a bare file name in the library path, not here.
    const QFileInfo file(path);
    m_fileName = file.absoluteFilePath();
    if (!file.isFile()) {
        const int reason = file.exists() ? EISDIR : ENOENT;
        return fail(tr("Cannot load the plug-in %1: %2")
                        .arg(m_fileName, QString::fromLocal8Bit(std::strerror(reason))));
    }

    dlerror();
    m_library = dlopen(QFile::encodeName(m_fileName).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library) {
        return fail(tr("Cannot load the plug-in %1: %2").arg(m_fileName, lastDlError()));
    }

    m_entryPoint = reinterpret_cast<VellPluginHandleFunction>(dlsym(m_library, entryPointName));
    if (!m_entryPoint) {
        return fail(tr("%1 is not a roster plug-in: it exports no %2")
                        .arg(m_fileName, QLatin1String(entryPointName)));
    }

    VellPlugin *plugin = m_entryPoint();
    if (!plugin) {
        return fail(tr("The plug-in %1 gave no plug-in object").arg(m_fileName));
    }
    if (!plugin->load()) {
        return fail(tr("The plug-in %1 refused to load").arg(m_fileName));
    }
    m_plugin = plugin;
    return true;
}

void VellPluginLoader::unload()
{
    if (m_plugin) {
        m_plugin->unload();
        m_plugin = nullptr;
    }
    closeLibrary();
    m_fileName.clear();
}

VellFilterPlugin *VellPluginLoader::filterPlugin() const
{
    return dynamic_cast<VellFilterPlugin *>(m_plugin);
}

void VellPluginLoader::closeLibrary()
{
    m_entryPoint = nullptr;
    if (m_library) {
        // The plug-in's static object is destroyed here, so no pointer into it may survive.
        dlclose(m_library);
        m_library = nullptr;
    }
}
