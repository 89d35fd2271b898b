#ifndef VELLARG_H
#define VELLARG_H

#include "vell_data_export.h"

#include <QString>
#include <QVariant>

/// One named argument handed to a plug-in action when the client triggers it.
class VELL_DATA_EXPORT VellArg
{
public:
    VellArg() = default;
    VellArg(const QString &name, const QVariant &value);

    QString getName() const { return m_name; }
    QVariant getValue() const { return m_value; }

private:
    QString m_name;
    QVariant m_value;
};

#endif // VELLARG_H
