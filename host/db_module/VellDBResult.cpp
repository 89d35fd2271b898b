#include "VellDBResult.h"

#include <utility>

namespace VellDatabase {

VellDBResult::VellDBResult(int columnCount, QVector<QString> values)
    : m_columnCount(columnCount)
    , m_values(std::move(values))
{ }

VellDBResult::~VellDBResult() = default;

QString VellDBResult::value(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columnCount) {
        return QString();
    }
    return m_values.at(row * m_columnCount + column);
}

int VellDBResult::rowCount() const
{
    return m_columnCount > 0 ? m_values.size() / m_columnCount : 0;
}

bool VellDBResult::isEmpty() const
{
    return rowCount() == 0;
}

int VellDBResult::columnCount() const
{
    return m_columnCount;
}

} // namespace VellDatabase
