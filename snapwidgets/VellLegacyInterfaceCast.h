#ifndef VELLLEGACYINTERFACECAST_H
#define VELLLEGACYINTERFACECAST_H

#include <QObject>

#include <cstring>

// QObject base of the Designer interface classes that also answers qt_metacast()
// with the interface identifier of the older Designer, which the client's own
// plug-in checks still ask for. `Derived` is the interface class, `Interface`
// the Designer interface it implements; moc answers the current identifier.
template<typename Derived, typename Interface>
class VellLegacyInterfaceCast : public QObject
{
public:
    explicit VellLegacyInterfaceCast(const char *legacyIid, QObject *parent = nullptr)
        : QObject(parent)
        , legacyIid(legacyIid)
    { }

    void *qt_metacast(const char *name) override
    {
        if (name && std::strcmp(name, legacyIid) == 0)
            return static_cast<Interface *>(static_cast<Derived *>(this));
        return QObject::qt_metacast(name);
    }

private:
    const char *legacyIid;
};

#endif // VELLLEGACYINTERFACECAST_H
