#include "TestDatabases.h"

#include "database/DatabaseConnection.h"
#include "database/DatabaseSchema.h"
#include "database/RecordSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

// The driver manager's API first: its installer header builds on it.
#include "OdbcApi.h"

#include <odbcinst.h>

TestDatabases::TestDatabases(const QString& backend)
    : m_backend(backend)
    , m_savedOdbcIni(qgetenv("ODBCINI"))
    , m_hadOdbcIni(qEnvironmentVariableIsSet("ODBCINI"))
{}

TestDatabases::~TestDatabases()
{
    dropPrivateSchema();
    if (m_hadOdbcIni)
        qputenv("ODBCINI", m_savedOdbcIni);
    else
        qunsetenv("ODBCINI");
}

QStringList TestDatabases::backends()
{
    if (!fixedBackend().isEmpty())
        return {fixedBackend()};
    return {QStringLiteral("sqlite"), QStringLiteral("postgresql")};
}

QString TestDatabases::skipReason() const
{
    if (!fixedBackend().isEmpty() && fixedBackend() != m_backend && !unreachableRun())
        return QStringLiteral("this run's data sources are fixed to %1 (VORN_TEST_ODBC_FIXED)").arg(fixedBackend());
    if (isPostgresql() && qEnvironmentVariableIsEmpty("VORN_TEST_PG_ODBCINI"))
        return QStringLiteral("VORN_TEST_PG_ODBCINI is not set: source scripts/start-test-services first");
    return {};
}

bool TestDatabases::missesItsServer() const
{
    return fixedBackend().isEmpty() && isPostgresql() && qEnvironmentVariableIsEmpty("VORN_TEST_PG_ODBCINI");
}

bool TestDatabases::useOdbcIni(const QString& odbcIni, const QString& scratchDir)
{
    // Writing to a profile is what empties unixODBC's cache of them; the write goes to a scratch
    // file so that the shared test odbc.ini is never rewritten under a running test.
    const QString scratch = QDir(scratchDir).filePath(QStringLiteral("odbc-scratch.ini"));
    QFile f(scratch);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.close();
    qputenv("ODBCINI", QFile::encodeName(scratch));
    const bool cleared = SQLWritePrivateProfileString("vorn-forget", nullptr, nullptr, "odbc.ini");
    qputenv("ODBCINI", QFile::encodeName(odbcIni));
    return cleared;
}

bool TestDatabases::prepare()
{
    if (!m_appDir.isValid()) {
        m_error = QStringLiteral("no temporary application folder");
        return false;
    }
    if (!skipReason().isEmpty()) {
        m_error = skipReason();
        return false;
    }
    if (unreachableRun())
        return true; // no table can be reached, nor needs to be
    if (!fixedBackend().isEmpty()) {
        // ODBCINI was set before the program started; createTables() checks it reaches this backend.
        // The tables outlive a case here: emptied first (when there), or rows of an earlier case
        // break the creation of a unique index.
        for (const QString& dataSource : dataSources()) {
            clear(dataSource);
            if (!createTables(dataSource) || !clear(dataSource))
                return false;
        }
        return true;
    }
    QString ini = qEnvironmentVariable("VORN_TEST_PG_ODBCINI");
    if (!isPostgresql()) {
        ini = QDir(m_appDir.path()).filePath(QStringLiteral("odbc.ini"));
        QFile f(ini);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            m_error = QStringLiteral("cannot write %1").arg(ini);
            return false;
        }
    }
    if (!useOdbcIni(ini, m_appDir.path())) {
        m_error = QStringLiteral("cannot switch ODBCINI to %1").arg(ini);
        return false;
    }
    if (isPostgresql() && !usePrivateSchema(ini))
        return false;
    for (const QString& dataSource : dataSources()) {
        if (!createTables(dataSource) || !clear(dataSource))
            return false;
    }
    return true;
}

bool TestDatabases::usePrivateSchema(const QString& sharedIni)
{
    static int counter = 0;
    const QString schema = QStringLiteral("vorn_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    for (const QString& dataSource : dataSources()) {
        if (!exec(dataSource, QStringLiteral("create schema %1").arg(schema)))
            return false;
    }
    m_schema = schema;

    // The same data sources, each connection starting in the private schema.
    QFile in(sharedIni);
    if (!in.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read %1").arg(sharedIni);
        return false;
    }
    QByteArray text;
    for (const QByteArray& line : in.readAll().split('\n')) {
        text += line + '\n';
        if (line.trimmed().startsWith('['))
            text += "ConnSettings=SET search_path TO " + schema.toLatin1() + '\n';
    }
    const QString ini = QDir(m_appDir.path()).filePath(QStringLiteral("odbc-postgresql.ini"));
    QFile out(ini);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text) != text.size()) {
        m_error = QStringLiteral("cannot write %1").arg(ini);
        return false;
    }
    out.close();
    if (!useOdbcIni(ini, m_appDir.path())) {
        m_error = QStringLiteral("cannot switch ODBCINI to %1").arg(ini);
        return false;
    }
    return true;
}

void TestDatabases::dropPrivateSchema()
{
    if (m_schema.isEmpty())
        return;
    if (useOdbcIni(qEnvironmentVariable("VORN_TEST_PG_ODBCINI"), m_appDir.path())) {
        for (const QString& dataSource : dataSources())
            exec(dataSource, QStringLiteral("drop schema if exists %1 cascade").arg(m_schema));
    }
    m_schema.clear();
}

bool TestDatabases::createTables(const QString& dataSource)
{
    DatabaseConnection c(dataSource, appDir());
    if (!c.open()) {
        m_error = c.error();
        return false;
    }
    // Guards against a data source registered system-wide, which would take the place of the
    // embedded file, and against an ODBCINI switch that the driver manager did not see.
    if (c.isEmbedded() == isPostgresql()) {
        m_error = QStringLiteral("%1 reached the wrong backend (embedded: %2)").arg(dataSource).arg(c.isEmbedded());
        return false;
    }
    if (c.isEmbedded())
        return true; // the connection created them
    for (const QString& statement : DatabaseSchema::statements(dataSource, DatabaseSchema::Dialect::Postgresql)) {
        if (!c.execute(statement)) {
            m_error = c.error();
            return false;
        }
    }
    return true;
}

bool TestDatabases::makeUnreachable(const QStringList& names)
{
    if (!fixedBackend().isEmpty())
        return false;
    QByteArray text;
    for (const QString& name : names)
        text += "[" + name.toLatin1() + "]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=1\n";
    const QString ini = QDir(m_appDir.path()).filePath(QStringLiteral("odbc-unreachable.ini"));
    QFile f(ini);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
        return false;
    f.close();
    return useOdbcIni(ini, m_appDir.path());
}

bool TestDatabases::clear(const QString& dataSource)
{
    for (const QString& table : DatabaseSchema::tables(dataSource)) {
        if (!exec(dataSource, QStringLiteral("delete from %1").arg(table)))
            return false;
    }
    return true;
}

bool TestDatabases::exec(const QString& dataSource, const QString& sql, const QVariantList& values)
{
    DatabaseConnection c(dataSource, appDir());
    if (!c.open() || !c.execute(sql, values)) {
        m_error = c.error();
        return false;
    }
    return true;
}

int TestDatabases::count(const QString& dataSource, const QString& table, const QString& where,
                         const QVariantList& values)
{
    DatabaseConnection c(dataSource, appDir());
    RecordSet rows;
    const QString sql = QStringLiteral("select * from %1%2")
                            .arg(table, where.isEmpty() ? QString() : QStringLiteral(" where ") + where);
    if (!c.open() || !c.read(sql, values, rows)) {
        m_error = c.error();
        return -1;
    }
    return rows.recordCount();
}

void TestDatabases::addBackendRows()
{
    QTest::addColumn<QString>("backend");
    for (const QString& b : backends())
        QTest::newRow(qPrintable(b)) << b;
}
