#include "DatabaseConnection.h"

#include "DatabaseSchema.h"
#include "RecordSet.h"

#include "OdbcApi.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QAtomicInteger<quint64> g_connectionCounter;

// Whether `name` is among what `enumerate` lists (the driver manager's data sources or drivers,
// whose calls take the same arguments); names compared as ODBC compares them, ignoring case.
template <typename Enumerate>
bool listedBy(Enumerate enumerate, const QString& name)
{
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return false;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    bool found = false;
    SQLCHAR entry[256];
    SQLCHAR description[1024];
    SQLSMALLINT entryLength = 0;
    SQLSMALLINT descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (!found && SQL_SUCCEEDED(enumerate(env, direction, entry, sizeof entry, &entryLength, description,
                                             sizeof description, &descriptionLength))) {
        found = QString::fromLocal8Bit(reinterpret_cast<const char*>(entry)).compare(name, Qt::CaseInsensitive) == 0;
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return found;
}

// Data sources are looked up on every open, not cached: a site may register one while the
// program runs, and tests switch ODBCINI between cases.
bool isRegisteredDataSource(const QString& name)
{
    return listedBy(SQLDataSources, name);
}

// The driver of the embedded files: Qt's own, a plugin beside the program.
const QString kEmbeddedDriver = QStringLiteral("QSQLITE");

QString driverText(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

// Embedded files whose tables were created by this process; the CREATE statements are skipped
// for them while the file stays in place.
QMutex g_schemaMutex;
QSet<QString> g_schemaReady;

} // namespace

DatabaseConnection::DatabaseConnection(const QString& dataSource, const QString& appDir)
    : m_dataSource(dataSource)
    , m_appDir(appDir)
{}

DatabaseConnection::~DatabaseConnection()
{
    close();
}

QString DatabaseConnection::embeddedFile() const
{
    return QDir(m_appDir).filePath(QStringLiteral("data/%1.sqlite").arg(m_dataSource));
}

bool DatabaseConnection::open()
{
    close();
    m_error.clear();
    m_connectionName = QStringLiteral("vorn-%1-%2").arg(m_dataSource).arg(++g_connectionCounter);
    m_embedded = !isRegisteredDataSource(m_dataSource);
    if (m_embedded)
        return openEmbedded();

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
    db.setDatabaseName(m_dataSource);
    db.setUserName(credentials());
    db.setPassword(credentials());
    if (!db.open()) {
        m_error = QStringLiteral("Impossible d'ouvrir la source de données « %1 » :\n%2")
                      .arg(m_dataSource, driverText(db.lastError()));
        db = QSqlDatabase();
        close();
        return false;
    }
    return true;
}

bool DatabaseConnection::openEmbedded()
{
    const QString file = QDir::cleanPath(QFileInfo(embeddedFile()).absoluteFilePath());
    const bool existed = QFileInfo::exists(file);
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) {
        m_error = QStringLiteral("Impossible de créer le dossier de la base de données « %1 » :\n%2")
                      .arg(m_dataSource, QDir::toNativeSeparators(QFileInfo(file).absolutePath()));
        close();
        return false;
    }
    // Qt's own SQLite driver, shipped with the program: nothing to register on the station.
    if (!QSqlDatabase::isDriverAvailable(kEmbeddedDriver)) {
        m_error = QStringLiteral("Impossible d'ouvrir la base de données intégrée « %1 » : le pilote SQLite de Qt "
                                 "(%2) est absent du dossier du programme (sqldrivers). Réinstallez "
                                 "VORN_UPDATE_VERSION.")
                      .arg(m_dataSource, kEmbeddedDriver);
        close();
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(kEmbeddedDriver, m_connectionName);
    db.setDatabaseName(file);
    // A second station writing the same file is waited for, as long as the ODBC driver these
    // files were first opened through used to wait.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=100000"));
    if (!db.open()) {
        m_error = QStringLiteral("Impossible d'ouvrir la base de données intégrée « %1 » (%2) :\n%3")
                      .arg(m_dataSource, QDir::toNativeSeparators(file), driverText(db.lastError()));
        db = QSqlDatabase();
        close();
        return false;
    }

    QMutexLocker lock(&g_schemaMutex);
    if (existed && g_schemaReady.contains(file))
        return true;
    for (const QString& statement : DatabaseSchema::statements(m_dataSource, DatabaseSchema::Dialect::Sqlite)) {
        QSqlQuery query(db);
        // An older file whose rows break a unique index stays usable without it.
        if (!query.exec(statement) && !DatabaseSchema::isUniqueIndex(statement)) {
            m_error = QStringLiteral("Impossible de créer les tables de la base de données intégrée « %1 » (%2) :\n%3")
                          .arg(m_dataSource, QDir::toNativeSeparators(file), driverText(query.lastError()));
            query = QSqlQuery();
            db = QSqlDatabase();
            close();
            return false;
        }
    }
    g_schemaReady.insert(file);
    return true;
}

void DatabaseConnection::close()
{
    if (m_connectionName.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
}

bool DatabaseConnection::isOpen() const
{
    return !m_connectionName.isEmpty() && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase DatabaseConnection::database() const
{
    return m_connectionName.isEmpty() ? QSqlDatabase() : QSqlDatabase::database(m_connectionName, false);
}

bool DatabaseConnection::prepareAndRun(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    m_error.clear();
    if (!isOpen()) {
        m_error = QStringLiteral("La base de données « %1 » n'est pas ouverte.").arg(m_dataSource);
        return false;
    }
    if (!query.prepare(sql)) {
        setQueryError(query.lastError());
        return false;
    }
    for (const QVariant& v : values)
        query.addBindValue(v);
    if (!query.exec()) {
        setQueryError(query.lastError());
        return false;
    }
    return true;
}

void DatabaseConnection::setQueryError(const QSqlError& error)
{
    m_error = QStringLiteral("Erreur de la base de données « %1 » :\n%2").arg(m_dataSource, driverText(error));
}

bool DatabaseConnection::read(const QString& sql, const QVariantList& values, RecordSet& rows)
{
    rows.clear();
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!prepareAndRun(query, sql, values))
        return false;
    if (!rows.load(query)) {
        setQueryError(query.lastError());
        rows.clear();
        return false;
    }
    return true;
}

bool DatabaseConnection::execute(const QString& sql, const QVariantList& values, int* affected)
{
    QSqlQuery query(database());
    if (!prepareAndRun(query, sql, values))
        return false;
    if (affected)
        *affected = query.numRowsAffected();
    return true;
}

bool DatabaseConnection::insert(const QString& table, const QList<std::pair<QString, QVariant>>& columns)
{
    QStringList names;
    QStringList marks;
    QVariantList values;
    for (const auto& [name, value] : columns) {
        names << name;
        marks << QStringLiteral("?");
        values << value;
    }
    return execute(QStringLiteral("insert into %1 (%2) values (%3)")
                       .arg(table, names.join(QLatin1String(", ")), marks.join(QLatin1String(", "))),
                   values);
}
