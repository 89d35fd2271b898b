#ifndef VELLPLUGIN_H
#define VELLPLUGIN_H

#include "VellService.h"
#include "vell_plugin_export.h"

#include <QList>
#include <QString>
#include <QStringList>

/// Base of every plug-in the client loads. A plug-in file exports, with C
/// linkage, a function named "get_plugin_handle" (see VellPluginHandleFunction)
/// that returns the plug-in's one object, which lives as long as the file is loaded.
///
/// The order of the virtual operations is the client's binary interface:
/// new operations go at the end, never in between.
class VELL_PLUGIN_EXPORT VellPlugin
{
public:
    VellPlugin();
    virtual ~VellPlugin();

    /// Called after the client obtained the object; false keeps the plug-in out.
    virtual bool load() = 0;
    /// Called before the client unloads the file.
    virtual void unload() = 0;
    /// Untranslated name that identifies the plug-in.
    virtual QString name() const = 0;
    /// Name shown to the user; the plug-in's name unless overridden.
    virtual QString friendlyName() const;
    /// Icon file of the given size in pixels (0: the default size); empty for none.
    virtual QString icon(int size) const = 0;
    virtual QString author() const = 0;
    virtual QString description() const = 0;
    virtual int version() const = 0;
    virtual QString web() const = 0;
    virtual QString email() const = 0;
    virtual QList<VellService> getProvidedServices() const = 0;
    /// Tags of the settings pages the plug-in adds; none unless overridden.
    virtual QStringList getSettingsTags() const { return QStringList(); }
    /// Links the client shows on those settings pages; none unless overridden.
    virtual QStringList getSettingsLinks() const { return QStringList(); }
    /// Extra phrases under which the client's settings search finds the plug-in;
    /// none unless overridden.
    virtual QStringList getSearchPhrases() const;
    /// Name of the plug-in's licence; null when the plug-in states none.
    virtual QString getLicenseName();

private:
    Q_DISABLE_COPY(VellPlugin)
};

extern "C" {
/// Type of the "get_plugin_handle" entry point of a plug-in file.
typedef VellPlugin *(*VellPluginHandleFunction)();
}

#endif // VELLPLUGIN_H
