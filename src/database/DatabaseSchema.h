#pragma once

#include <QString>
#include <QStringList>

// The tables the program relies on, per data source, as committed .sql files. Both dialects
// create only what is missing, so the statements can run on every open.
class DatabaseSchema final {
public:
    enum class Dialect { Sqlite, Postgresql };

    // CREATE statements for the data source ("TORVANDEL", "KESTRAVO2019"); empty for an unknown one.
    static QStringList statements(const QString& dataSource, Dialect dialect);

    // Names of the tables the statements create, in creation order.
    static QStringList tables(const QString& dataSource);

    // A unique index cannot be built over rows that already break it. Such a statement may fail on
    // an existing database without making the database unusable.
    static bool isUniqueIndex(const QString& statement);
    static QStringList uniqueIndexes(const QString& dataSource, Dialect dialect);
};
