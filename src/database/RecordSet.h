#pragma once

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

class QSqlQuery;

// The rows of one query, all fetched, so that recordCount() is exact whatever the driver
// reports as the query's size (ODBC reports none).
class RecordSet final {
public:
    // Reads every remaining row of an executed query. False when a fetch failed midway.
    bool load(QSqlQuery& query);
    void clear() { m_rows.clear(); }

    int recordCount() const { return static_cast<int>(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    const QSqlRecord& record(int row) const { return m_rows.at(row); }

    // Column looked up by name, case ignored (PostgreSQL reports unquoted names in lower case).
    // An unknown column or a row out of range gives an invalid QVariant.
    QVariant value(int row, const QString& column) const;
    // The value as text; NULL and missing values give the empty text.
    QString text(int row, const QString& column) const;

private:
    QList<QSqlRecord> m_rows;
};
