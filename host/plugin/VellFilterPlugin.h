#ifndef VELLFILTERPLUGIN_H
#define VELLFILTERPLUGIN_H

#include "VellPlugin.h"
#include "vell_plugin_export.h"

class VellBuddy;

/// A plug-in that offers a roster filter: while the user has chosen it, the
/// roster shows only the entries it accepts, in the order it gives.
class VELL_PLUGIN_EXPORT VellFilterPlugin : public VellPlugin
{
public:
    ~VellFilterPlugin() override;

    /// Name of the filter in the roster's filter list.
    virtual QString filterName() const = 0;
    /// True when the roster shows @p buddy.
    virtual bool filter(const VellBuddy &buddy) const = 0;
    /// Roster order; by name (case-insensitive, then exact) and then id unless overridden.
    virtual bool lessThan(const VellBuddy &left, const VellBuddy &right) const;
};

#endif // VELLFILTERPLUGIN_H
