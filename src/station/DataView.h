#pragma once

#include "database/DatabaseConnection.h"
#include "database/RecordSet.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QVariant>

#include <memory>

// A data control over one table of a data source: it is given a record source (a select on the
// table, values bound), refreshed, and then walked row by row. Values set on the current row are
// written back to that row when the view moves on, as bound labels used to do. As a table model
// it also shows its rows in a grid.
//
// The connection is opened on the first refresh and kept for the life of the view; a failed
// query closes it so that the next refresh opens it again.
class DataView final : public QAbstractTableModel {
    Q_OBJECT

public:
    DataView(QString dataSource, QString table, QString appDir, QObject* parent = nullptr);
    ~DataView() override;

    void setRecordSource(const QString& sql, const QVariantList& values = {});
    QString recordSource() const { return m_sql; }
    QVariantList recordSourceValues() const { return m_values; }

    // Saves a pending change, then runs the record source again; the first row becomes current.
    // On failure the view is empty and error() says why, in French.
    bool refresh();

    int recordCount() const { return m_rows.recordCount(); }
    // The position is past the last row (always so for an empty view).
    bool eof() const { return m_current >= recordCount(); }
    int currentRow() const { return m_current; }

    // Both save a pending change of the row they leave first; false when that failed.
    bool moveNext();
    bool moveLast();

    // The column of the current row as a label shows it: empty at EOF and for NULL, numbers
    // in their plain form ("12.5", "120").
    QString text(const QString& column) const;
    // The same for any row.
    QString textAt(int row, const QString& column) const;

    // Changes a column of the current row; written back when the view moves or update() runs.
    // Ignored at EOF.
    void setValue(const QString& column, const QVariant& value);
    bool hasPendingChange() const { return !m_pending.isEmpty(); }
    bool update();

    QString error() const { return m_error; }
    QString dataSource() const { return m_dataSource; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static QString displayText(const QVariant& value);

    // Column headings shown in a grid instead of the column names, keyed by upper-case name.
    void setHeadings(QHash<QString, QString> headings) { m_headings = std::move(headings); }
    // The upper-case name of a shown column; empty past the last.
    QString columnName(int section) const;

signals:
    // The current row changed or its values did; bound labels read text() again.
    void currentChanged();

private:
    enum class RowIdentity { None, SqliteRowid, PostgresqlCtid };

    bool ensureOpen();
    bool fail(const QString& error);
    QString statementWithIdentity() const;
    int columnIndex(const QString& column) const;
    QVariant rawValue(int row, const QString& column) const;

    QString m_dataSource;
    QString m_table;
    QString m_appDir;
    std::unique_ptr<DatabaseConnection> m_connection;
    RowIdentity m_identity = RowIdentity::None;
    QString m_sql;
    QVariantList m_values;
    RecordSet m_rows;
    QStringList m_columns; // shown columns, without the row identity
    int m_current = 0;
    QHash<QString, QVariant> m_pending;             // upper-case column name -> new value
    QHash<int, QHash<QString, QVariant>> m_written; // row -> values saved since the refresh
    QString m_error;
    QHash<QString, QString> m_headings;
};
