#ifndef VELLDBRESULT_H
#define VELLDBRESULT_H

#include "db_module_export.h"

#include <QString>
#include <QVector>

namespace VellDatabase {

/**
 * The rows returned by VellDBConnection::query, every value as text. A SQL
 * NULL is a null QString; an empty text is an empty, non-null QString. The
 * order of the virtual operations is the client's binary interface.
 */
class DB_MODULE_EXPORT VellDBResult
{
public:
    /// @p values holds the rows one after the other, @p columnCount values each.
    VellDBResult(int columnCount, QVector<QString> values);
    virtual ~VellDBResult();

    /// The value at @p row and @p column; a null QString when out of range.
    virtual QString value(int row, int column) const;
    virtual int rowCount() const;
    /// True when there is no row.
    virtual bool isEmpty() const;

    virtual int columnCount() const;

private:
    int m_columnCount;
    QVector<QString> m_values;
};

} // namespace VellDatabase

#endif // VELLDBRESULT_H
