#include "VellPlugin.h"

VellPlugin::VellPlugin() = default;

VellPlugin::~VellPlugin() = default;

QString VellPlugin::friendlyName() const
{
    return name();
}

QStringList VellPlugin::getSearchPhrases() const
{
    return QStringList();
}

QString VellPlugin::getLicenseName()
{
    return QString();
}
