#include "RecordSet.h"

#include <QSqlError>
#include <QSqlQuery>

bool RecordSet::load(QSqlQuery& query)
{
    m_rows.clear();
    while (query.next())
        m_rows.append(query.record());
    return !query.lastError().isValid();
}

QVariant RecordSet::value(int row, const QString& column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const QSqlRecord& r = m_rows.at(row);
    const int index = r.indexOf(column);
    return index < 0 ? QVariant() : r.value(index);
}

QString RecordSet::text(int row, const QString& column) const
{
    const QVariant v = value(row, column);
    return v.isValid() && !v.isNull() ? v.toString() : QString();
}
