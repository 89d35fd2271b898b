// A plug-in that is no roster filter. Built three times: as it is, refusing
// to load, and with an entry point that gives no object.
#include "VellPlugin.h"

namespace {

class FixturePlugin : public VellPlugin
{
public:
    bool load() override
    {
#ifdef FIXTURE_REFUSES_TO_LOAD
        return false;
#else
        return true;
#endif
    }
    void unload() override { }
    QString name() const override
    {
        return QStringLiteral("Fixture");
    }
    QString icon(int) const override
    {
        return QString();
    }
    QString author() const override
    {
        return QStringLiteral("Fixture maker");
    }
    QString description() const override
    {
        return QStringLiteral("Does nothing");
    }
    int version() const override
    {
        return 3;
    }
    QString web() const override
    {
        return QStringLiteral("https://fixture.example/");
    }
    QString email() const override
    {
        return QStringLiteral("fixture@fixture.example");
    }
    QList<VellService> getProvidedServices() const override
    {
        return {};
    }
};

FixturePlugin fixture;

} // namespace

extern "C" Q_DECL_EXPORT VellPlugin *get_plugin_handle()
{
#ifdef FIXTURE_GIVES_NO_OBJECT
    return nullptr;
#else
    return &fixture;
#endif
}
