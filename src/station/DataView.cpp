#include "DataView.h"

#include <QMetaType>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlRecord>

namespace {
const QString RowIdColumn = QStringLiteral("vorn_row_id");

bool isNumericType(const QMetaType& type)
{
    switch (type.id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}
} // namespace

DataView::DataView(QString dataSource, QString table, QString appDir, QObject* parent)
    : QAbstractTableModel(parent)
    , m_dataSource(std::move(dataSource))
    , m_table(std::move(table))
    , m_appDir(std::move(appDir))
{}

DataView::~DataView() = default;

void DataView::setRecordSource(const QString& sql, const QVariantList& values)
{
    m_sql = sql;
    m_values = values;
}

bool DataView::fail(const QString& error)
{
    m_error = error;
    return false;
}

bool DataView::ensureOpen()
{
    if (m_connection && m_connection->isOpen())
        return true;
    m_connection = std::make_unique<DatabaseConnection>(m_dataSource, m_appDir);
    if (!m_connection->open()) {
        const QString error = m_connection->error();
        m_connection.reset();
        return fail(error);
    }
    // Rows carry no key of their own; the engine's row address tells them apart for write-back.
    if (m_connection->isEmbedded())
        m_identity = RowIdentity::SqliteRowid;
    else if (m_connection->database().driver()->dbmsType() == QSqlDriver::PostgreSQL)
        m_identity = RowIdentity::PostgresqlCtid;
    else
        m_identity = RowIdentity::None;
    return true;
}

QString DataView::statementWithIdentity() const
{
    if (m_identity == RowIdentity::None)
        return m_sql;
    const QRegularExpression selectAll(
        QStringLiteral("^(\\s*select\\s+)\\*(\\s+from\\s+%1\\b)").arg(QRegularExpression::escape(m_table)),
        QRegularExpression::CaseInsensitiveOption);
    const QString identity =
        m_identity == RowIdentity::SqliteRowid ? QStringLiteral("rowid") : QStringLiteral("cast(ctid as text)");
    QString sql = m_sql;
    sql.replace(selectAll, QStringLiteral("\\1%1 as %2, %3.*\\2").arg(identity, RowIdColumn, m_table));
    return sql;
}

bool DataView::refresh()
{
    m_error.clear();
    if (!update())
        return false;
    beginResetModel();
    m_rows.clear();
    m_columns.clear();
    m_written.clear();
    m_current = 0;
    bool ok = ensureOpen();
    if (ok && !m_connection->read(statementWithIdentity(), m_values, m_rows)) {
        ok = fail(m_connection->error());
        m_connection.reset();
    }
    if (ok && !m_rows.isEmpty()) {
        const QSqlRecord& first = m_rows.record(0);
        for (int i = 0; i < first.count(); ++i) {
            if (first.fieldName(i).compare(RowIdColumn, Qt::CaseInsensitive) != 0)
                m_columns << first.fieldName(i);
        }
    }
    endResetModel();
    emit currentChanged();
    return ok;
}

bool DataView::moveNext()
{
    if (!update())
        return false;
    if (!eof())
        ++m_current;
    emit currentChanged();
    return true;
}

bool DataView::moveLast()
{
    if (!update())
        return false;
    m_current = recordCount() > 0 ? recordCount() - 1 : 0;
    emit currentChanged();
    return true;
}

int DataView::columnIndex(const QString& column) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].compare(column, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant DataView::rawValue(int row, const QString& column) const
{
    const QString key = column.toUpper();
    if (row == m_current && m_pending.contains(key))
        return m_pending.value(key);
    const auto written = m_written.constFind(row);
    if (written != m_written.cend() && written->contains(key))
        return written->value(key);
    return m_rows.value(row, column);
}

QString DataView::displayText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    if (isNumericType(value.metaType()))
        return QString::number(value.toDouble(), 'g', 15);
    QString text = value.toString();
    // Decimal columns come back as text with the column's scale ("120.000"); a label shows "120".
    static const QRegularExpression scaled(QStringLiteral("^-?\\d+\\.\\d*$"));
    if (scaled.match(text).hasMatch()) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

QString DataView::text(const QString& column) const
{
    if (eof())
        return QString();
    return displayText(rawValue(m_current, column));
}

QString DataView::textAt(int row, const QString& column) const
{
    if (row < 0 || row >= recordCount())
        return QString();
    return displayText(rawValue(row, column));
}

void DataView::setValue(const QString& column, const QVariant& value)
{
    if (eof())
        return;
    m_pending.insert(column.toUpper(), value);
    const int col = columnIndex(column);
    if (col >= 0)
        emit dataChanged(index(m_current, col), index(m_current, col));
    emit currentChanged();
}

bool DataView::update()
{
    if (m_pending.isEmpty())
        return true;
    if (eof()) {
        m_pending.clear();
        return true;
    }
    if (!ensureOpen())
        return false;

    QStringList assignments;
    QVariantList values;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        assignments << it.key() + QStringLiteral(" = ?");
        values << it.value();
    }
    QString where;
    switch (m_identity) {
    case RowIdentity::SqliteRowid:
        where = QStringLiteral("rowid = ?");
        values << rawValue(m_current, RowIdColumn);
        break;
    case RowIdentity::PostgresqlCtid:
        where = QStringLiteral("ctid = cast(? as tid)");
        values << rawValue(m_current, RowIdColumn).toString();
        break;
    case RowIdentity::None: {
        // Without a row address, the row is the one that still holds every value read.
        QStringList conditions;
        for (const QString& column : m_columns) {
            const QVariant original = rawValue(m_current, column);
            if (original.isNull()) {
                conditions << column + QStringLiteral(" is null");
            } else {
                conditions << column + QStringLiteral(" = ?");
                values << original;
            }
        }
        where = conditions.join(QStringLiteral(" and "));
        break;
    }
    }

    const QString sql =
        QStringLiteral("update %1 set %2 where %3").arg(m_table, assignments.join(QStringLiteral(", ")), where);
    if (m_identity == RowIdentity::PostgresqlCtid) {
        // An updated row moves: keep its new address so a second change finds it.
        RecordSet moved;
        if (!m_connection->read(sql + QStringLiteral(" returning cast(ctid as text) as ") + RowIdColumn, values,
                                moved)) {
            const QString error = m_connection->error();
            m_connection.reset();
            return fail(QStringLiteral("Impossible d'enregistrer la ligne :\n") + error);
        }
        if (moved.recordCount() != 1)
            return fail(QStringLiteral("La ligne à enregistrer n'a pas été retrouvée dans la table %1 : elle a été "
                                       "modifiée ou supprimée entre-temps.")
                            .arg(m_table));
        m_written[m_current].insert(RowIdColumn.toUpper(), moved.value(0, RowIdColumn));
    } else {
        int affected = -1;
        if (!m_connection->execute(sql, values, &affected)) {
            const QString error = m_connection->error();
            m_connection.reset();
            return fail(QStringLiteral("Impossible d'enregistrer la ligne :\n") + error);
        }
        if (affected == 0)
            return fail(QStringLiteral("La ligne à enregistrer n'a pas été retrouvée dans la table %1 : elle a été "
                                       "modifiée ou supprimée entre-temps.")
                            .arg(m_table));
    }
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        m_written[m_current].insert(it.key(), it.value());
    m_pending.clear();
    return true;
}

int DataView::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : recordCount();
}

int DataView::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant DataView::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.column() >= m_columns.size())
        return {};
    return displayText(rawValue(index.row(), m_columns[index.column()]));
}

QVariant DataView::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        const QString name = columnName(section);
        return name.isEmpty() ? QVariant() : QVariant(m_headings.value(name, name));
    }
    return section + 1;
}

QString DataView::columnName(int section) const
{
    return section >= 0 && section < m_columns.size() ? m_columns[section].toUpper() : QString();
}
