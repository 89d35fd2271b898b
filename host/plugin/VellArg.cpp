#include "VellArg.h"

VellArg::VellArg(const QString &name, const QVariant &value)
    : m_name(name)
    , m_value(value)
{ }
