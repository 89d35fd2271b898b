#include "VellArchiveBackendSMS.h"

VellArchiveBackendSMS::VellArchiveBackendSMS(int id, const QString &sender, const QString &body,
    const QStringList &recipients, const QDateTime &time)
    : m_id(id)
    , m_sender(sender)
    , m_body(body)
    , m_recipients(recipients)
    , m_time(time)
{ }
