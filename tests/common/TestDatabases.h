#pragma once

#include "common/ServiceSkip.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QtGlobal>

// Points DatabaseConnection at one backend for a test: "sqlite" (the embedded file, reached
// because ODBCINI names an odbc.ini without data sources) or "postgresql" (the data sources of
// $VORN_TEST_PG_ODBCINI, written by scripts/start-test-services). Each instance has its own
// application folder, creates the tables when missing and empties them, and restores ODBCINI
// when it goes. PostgreSQL cases work in a schema of their own (dropped at the end), so test
// programs that run side by side never see each other's rows.
class TestDatabases final {
public:
    // Both, unless the data sources were fixed when the program started (fixedBackend()).
    static QStringList backends();
    // Under Wine the host's driver manager reads ODBCINI from the Linux environment the program
    // started with, and the program cannot change it: ctest then starts each database test once
    // per backend with VORN_TEST_ODBC_FIXED naming it and ODBCINI already set. Empty otherwise.
    static QString fixedBackend() { return qEnvironmentVariable("VORN_TEST_ODBC_FIXED"); }
    // Under Wine, a third run of a database test (tests/windows/deadrun.sh) starts with every data
    // source on a PostgreSQL port where nothing listens, for the cases that need them unreachable:
    // nothing to prepare there, and nothing left to make unreachable.
    static bool unreachableRun() { return fixedBackend() == QLatin1String("unreachable"); }
    // A data table with one row per backend, in a column "backend".
    static void addBackendRows();
    static QStringList dataSources() { return {QStringLiteral("TORVANDEL"), QStringLiteral("KESTRAVO2019")}; }

    explicit TestDatabases(const QString& backend);
    ~TestDatabases();
    TestDatabases(const TestDatabases&) = delete;
    TestDatabases& operator=(const TestDatabases&) = delete;

    // Points the driver manager at `odbcIni` (ODBCINI) and makes it forget the data-source
    // settings it keeps for some seconds, so that a data source of the same name defined
    // differently in the new file is really used. `scratchDir` receives a throw-away ini file.
    static bool useOdbcIni(const QString& odbcIni, const QString& scratchDir);

    // Non-empty when this backend cannot run here (PostgreSQL without VORN_TEST_PG_ODBCINI).
    QString skipReason() const;
    // A PostgreSQL case whose server the test run did not start.
    bool missesItsServer() const;
    // Switches ODBCINI, creates the tables where missing and empties them. False: error().
    bool prepare();
    QString error() const { return m_error; }

    QString backend() const { return m_backend; }
    bool isPostgresql() const { return m_backend == QLatin1String("postgresql"); }
    QString appDir() const { return m_appDir.path(); }

    // Registers the data sources on a PostgreSQL port where nothing listens, so that opening
    // them fails the way a stopped server does. Call after prepare(); not with a fixed backend
    // (VORN_MAKE_UNREACHABLE skips the case then).
    bool makeUnreachable(const QStringList& names);

    // Empties every table of the data source.
    bool clear(const QString& dataSource);
    // Runs one statement with bound values on the data source (test data).
    bool exec(const QString& dataSource, const QString& sql, const QVariantList& values = {});
    // Rows of a table, -1 on error.
    int count(const QString& dataSource, const QString& table, const QString& where = {},
              const QVariantList& values = {});

private:
    bool createTables(const QString& dataSource);
    bool usePrivateSchema(const QString& sharedIni);
    void dropPrivateSchema();

    QString m_backend;
    QTemporaryDir m_appDir;
    QByteArray m_savedOdbcIni;
    bool m_hadOdbcIni = false;
    QString m_error;
    QString m_schema; // PostgreSQL only, once created
};

// Skips a PostgreSQL case that cannot run here, fails one that cannot be prepared.
#define VORN_PREPARE_DATABASES(env)                                                                                    \
    do {                                                                                                               \
        if ((env).missesItsServer())                                                                                   \
            VORN_SKIP_WITHOUT_SERVICE((env).skipReason());                                                             \
        if (!(env).skipReason().isEmpty())                                                                             \
            QSKIP(qPrintable((env).skipReason()));                                                                     \
        QVERIFY2((env).prepare(), qPrintable((env).error()));                                                          \
    } while (false)

// Points data sources at a stopped server. Where the data sources are fixed when the program
// starts, the case runs in the run whose data sources are unreachable from the start, and is
// skipped in the others.
#define VORN_MAKE_UNREACHABLE(env, ...)                                                                                \
    do {                                                                                                               \
        if (TestDatabases::unreachableRun())                                                                           \
            break;                                                                                                     \
        if (!TestDatabases::fixedBackend().isEmpty())                                                                  \
            QSKIP("the data sources are fixed when the program starts: this case runs in the run on unreachable "      \
                  "data sources");                                                                                     \
        QVERIFY((env).makeUnreachable(__VA_ARGS__));                                                                   \
    } while (false)
