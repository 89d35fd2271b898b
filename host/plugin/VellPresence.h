#ifndef VELLPRESENCE_H
#define VELLPRESENCE_H

#include "vell_data_export.h"

#include <QString>

/// The presence of a roster entry: a state flag and the buddy's optional status text.
class VELL_DATA_EXPORT VellPresence
{
public:
    /// Values of the client's presence enumeration; plug-ins compare the raw numbers.
    enum Flag {
        Unknown = 0,
        Online = 1,
        FreeForChat = 2,
        Away = 3,
        NotAvailable = 4,
        DoNotDisturb = 5,
        Offline = 6,
        Invisible = 7,
    };

    /// A presence the client has not learnt yet.
    VellPresence() = default;
    explicit VellPresence(int flag, const QString &status = QString());

    int getFlag() const { return m_flag; }
    QString getStatus() const { return m_status; }

private:
    int m_flag = Unknown;
    QString m_status;
};

#endif // VELLPRESENCE_H
