#ifndef VELLARCHIVEBACKENDSMS_H
#define VELLARCHIVEBACKENDSMS_H

#include "vell_archive_backend_export.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

/// An archived SMS as the client receives it.
class VELL_ARCHIVE_BACKEND_EXPORT VellArchiveBackendSMS
{
public:
    VellArchiveBackendSMS(int id, const QString &sender, const QString &body,
        const QStringList &recipients, const QDateTime &time);

    int getId() const { return m_id; }
    QString getSender() const { return m_sender; }
    /// Null when the SMS was read without its body.
    QString getBody() const { return m_body; }
    QStringList getRecipients() const { return m_recipients; }
    QDateTime getTime() const { return m_time; }

private:
    int m_id;
    QString m_sender;
    QString m_body;
    QStringList m_recipients;
    QDateTime m_time;
};

#endif // VELLARCHIVEBACKENDSMS_H
