#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <map>
#include <memory>

class RequestRecord;

// The statements of the intake on TORVANDEL_DI, prepared once per conversation, every value bound.
// Must be destroyed before the connection it runs on is closed.
class RequestTable final {
public:
    explicit RequestTable(QSqlDatabase database);
    ~RequestTable();
    RequestTable(const RequestTable&) = delete;
    RequestTable& operator=(const RequestTable&) = delete;

    // Whether a row's DI_NO_DI matches `number` with like, letter case as the database compares it;
    // "%" and "_" in `number` match only themselves.
    bool exists(const QString& number, bool& found, QString& error);
    bool insert(const RequestRecord& record, QString& error);
    // Status "VALIDE" and the validation date on every row matching `number`.
    bool validate(const QString& number, const QString& date, QString& error);

    static QString tableName() { return QStringLiteral("TORVANDEL_DI"); }

private:
    QSqlQuery* prepared(const QString& sql, QString& error);

    QSqlDatabase m_database;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_queries;
};
