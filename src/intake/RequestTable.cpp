#include "RequestTable.h"

#include "RequestRecord.h"
#include "database/LikePattern.h"

#include <QSqlError>
#include <QStringList>

namespace {

QString errorText(const QSqlError& e)
{
    // The driver text alone is often generic; the database's own text says what went wrong.
    const QString db = e.databaseText().trimmed();
    const QString driver = e.driverText().trimmed();
    if (db.isEmpty())
        return driver;
    if (driver.isEmpty() || db.contains(driver))
        return db;
    return driver + QStringLiteral(" : ") + db;
}

// A null QString is bound as SQL NULL; the table wants empty text for an empty field.
QString text(const QString& value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

} // namespace

RequestTable::RequestTable(QSqlDatabase database)
    : m_database(std::move(database))
{}

RequestTable::~RequestTable() = default;

QSqlQuery* RequestTable::prepared(const QString& sql, QString& error)
{
    auto it = m_queries.find(sql);
    if (it != m_queries.end())
        return it->second.get();
    auto query = std::make_unique<QSqlQuery>(m_database);
    if (!query->prepare(sql)) {
        error = errorText(query->lastError());
        return nullptr;
    }
    return m_queries.emplace(sql, std::move(query)).first->second.get();
}

bool RequestTable::exists(const QString& number, bool& found, QString& error)
{
    QSqlQuery* q = prepared(
        QStringLiteral("select DI_NO_DI from TORVANDEL_DI where DI_NO_DI like ?") + LikePattern::EscapeClause, error);
    if (!q)
        return false;
    q->bindValue(0, LikePattern::literal(text(number)));
    if (!q->exec()) {
        error = errorText(q->lastError());
        return false;
    }
    found = q->next();
    q->finish();
    return true;
}

bool RequestTable::insert(const RequestRecord& record, QString& error)
{
    QStringList names;
    QStringList marks;
    for (const RequestRecord::Column& c : record.columns()) {
        names << c.first;
        marks << QStringLiteral("?");
    }
    const QString sql = QStringLiteral("insert into TORVANDEL_DI (%1) values (%2)")
                            .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    QSqlQuery* q = prepared(sql, error);
    if (!q)
        return false;
    int i = 0;
    for (const RequestRecord::Column& c : record.columns())
        q->bindValue(i++, text(c.second));
    if (!q->exec()) {
        error = errorText(q->lastError());
        return false;
    }
    q->finish();
    return true;
}

bool RequestTable::validate(const QString& number, const QString& date, QString& error)
{
    QSqlQuery* q =
        prepared(QStringLiteral("update TORVANDEL_DI set DI_STATUT = ?, DI_DATE_VALIDATION = ? where DI_NO_DI like ?") +
                     LikePattern::EscapeClause,
                 error);
    if (!q)
        return false;
    q->bindValue(0, QStringLiteral("VALIDE"));
    q->bindValue(1, text(date));
    q->bindValue(2, LikePattern::literal(text(number)));
    if (!q->exec()) {
        error = errorText(q->lastError());
        return false;
    }
    q->finish();
    return true;
}
