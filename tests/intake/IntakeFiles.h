#pragma once

#include "database/DatabaseConnection.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariantMap>

// Request-folder files and table rows for the intake tests.
namespace IntakeFiles {

inline bool write(const QString& folder, const QString& name, const QByteArray& content)
{
    QDir().mkpath(folder);
    QFile f(QDir(folder).filePath(name));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

// Every row of TORVANDEL_DI whose DI_NO_DI equals `number`, column names upper-cased.
inline QList<QVariantMap> rows(const QString& appDir, const QString& number)
{
    QList<QVariantMap> out;
    DatabaseConnection db(QStringLiteral("TORVANDEL"), appDir);
    if (!db.open())
        return out;
    {
        QSqlQuery q(db.database());
        q.prepare(QStringLiteral("select * from TORVANDEL_DI where DI_NO_DI = ?"));
        q.addBindValue(number);
        q.exec();
        while (q.next()) {
            QVariantMap row;
            for (int i = 0; i < q.record().count(); ++i)
                row.insert(q.record().fieldName(i).toUpper(), q.value(i));
            out << row;
        }
    }
    db.close();
    return out;
}

} // namespace IntakeFiles
