#ifndef VELLPLUGINACTION_H
#define VELLPLUGINACTION_H

#include "VellArg.h"
#include "vell_plugin_export.h"

#include <QList>

#include <functional>

/// What the client does when the user chooses a plug-in's service. A default
/// action does nothing of its own: the client then treats the service by its id
/// (a filter service, for example, is offered in the roster's filter list).
class VELL_PLUGIN_EXPORT VellPluginAction
{
public:
    using Handler = std::function<bool(const QList<VellArg> &)>;

    VellPluginAction() = default;
    explicit VellPluginAction(Handler handler);

    /// True for a default action, which has no handler.
    bool isNull() const { return !m_handler; }
    /// Runs the handler; false when it fails or when there is none.
    bool trigger(const QList<VellArg> &arguments = {}) const;

private:
    Handler m_handler;
};

#endif // VELLPLUGINACTION_H
