#ifndef VELLONLINEFILTER_H
#define VELLONLINEFILTER_H

#include "VellFilterPlugin.h"

/// The roster filter "show online": keeps the contacts and temporary buddies
/// that are not offline and hides every other entry. The plug-in file holds
/// exactly one object of this class, returned by get_plugin_handle().
class VellOnlineFilter : public VellFilterPlugin
{
public:
    bool load() override;
    void unload() override;
    QString name() const override;
    QString icon(int size) const override;
    QString author() const override;
    QString description() const override;
    int version() const override;
    QString web() const override;
    QString email() const override;
    QList<VellService> getProvidedServices() const override;

    QString filterName() const override;
    bool filter(const VellBuddy &buddy) const override;
};

#endif // VELLONLINEFILTER_H
