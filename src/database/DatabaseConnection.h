#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <utility>

class QSqlError;
class QSqlQuery;
class RecordSet;

// One conversation with a named data source ("TORVANDEL", "KESTRAVO2019"), opened for one
// operation and closed at its end. The data source is reached through ODBC with the shared
// credentials. When no data source of that name is registered, an embedded SQLite file
// <appDir>/data/<name>.sqlite is used instead, created with its tables when missing, so a fresh
// install works with no set-up.
//
// Every value goes into statements as a bound parameter ("?" placeholders, in order).
class DatabaseConnection final {
public:
    DatabaseConnection(const QString& dataSource, const QString& appDir);
    ~DatabaseConnection();
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    // False when the data source cannot be reached; error() then says why, in French, with the
    // driver's own text.
    bool open();
    // Also drops the Qt connection; queries made on database() must be gone by then.
    void close();
    bool isOpen() const;
    QSqlDatabase database() const;
    QString error() const { return m_error; }
    // True when the embedded SQLite file is used (known after open()).
    bool isEmbedded() const { return m_embedded; }

    QString dataSource() const { return m_dataSource; }
    // Where the embedded file of this data source lives (whether used or not).
    QString embeddedFile() const;

    // Runs a query and fetches all its rows into `rows`, whose recordCount() is then exact.
    bool read(const QString& sql, const QVariantList& values, RecordSet& rows);
    // Runs a statement with no result. `affected` receives the number of rows changed when given.
    bool execute(const QString& sql, const QVariantList& values = {}, int* affected = nullptr);
    // Adds one row; the columns are set in the given order. Column names are never operator input.
    bool insert(const QString& table, const QList<std::pair<QString, QVariant>>& columns);

    // The shared user name and password of every data source.
    static QString credentials() { return QStringLiteral("Q7MAZ"); }

private:
    bool openEmbedded();
    bool prepareAndRun(QSqlQuery& query, const QString& sql, const QVariantList& values);
    void setQueryError(const QSqlError& error);

    QString m_dataSource;
    QString m_appDir;
    QString m_connectionName;
    bool m_embedded = false;
    QString m_error;
};
