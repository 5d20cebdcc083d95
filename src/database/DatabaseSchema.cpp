#include "DatabaseSchema.h"

#include <QFile>
#include <QRegularExpression>

namespace {

QString schemaText(const QString& dataSource, DatabaseSchema::Dialect dialect)
{
    const QString suffix =
        dialect == DatabaseSchema::Dialect::Sqlite ? QStringLiteral("sqlite") : QStringLiteral("postgresql");
    QFile file(QStringLiteral(":/vorn/database/schema/%1.%2.sql").arg(dataSource.toLower(), suffix));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

QStringList DatabaseSchema::statements(const QString& dataSource, Dialect dialect)
{
    QStringList lines;
    for (const QString& line : schemaText(dataSource, dialect).split(QLatin1Char('\n'))) {
        if (!line.trimmed().startsWith(QLatin1String("--")))
            lines << line;
    }
    QStringList out;
    for (const QString& statement : lines.join(QLatin1Char('\n')).split(QLatin1Char(';'))) {
        if (!statement.trimmed().isEmpty())
            out << statement.trimmed();
    }
    return out;
}

QStringList DatabaseSchema::tables(const QString& dataSource)
{
    static const QRegularExpression createTable(QStringLiteral("^CREATE TABLE IF NOT EXISTS (\\w+)"));
    QStringList out;
    for (const QString& statement : statements(dataSource, Dialect::Sqlite)) {
        const QRegularExpressionMatch m = createTable.match(statement);
        if (m.hasMatch())
            out << m.captured(1);
    }
    return out;
}

bool DatabaseSchema::isUniqueIndex(const QString& statement)
{
    return statement.startsWith(QLatin1String("CREATE UNIQUE INDEX"), Qt::CaseInsensitive);
}

QStringList DatabaseSchema::uniqueIndexes(const QString& dataSource, Dialect dialect)
{
    QStringList out;
    for (const QString& statement : statements(dataSource, dialect)) {
        if (isUniqueIndex(statement))
            out << statement;
    }
    return out;
}
