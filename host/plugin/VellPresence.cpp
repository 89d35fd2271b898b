#include "VellPresence.h"

VellPresence::VellPresence(int flag, const QString &status)
    : m_flag(flag)
    , m_status(status)
{ }
