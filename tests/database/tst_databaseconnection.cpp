#include "common/TestDatabases.h"
#include "database/DatabaseConnection.h"
#include "database/RecordSet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

class TestDatabaseConnection : public QObject {
    Q_OBJECT

private slots:
    void reachesBackend_data();
    void reachesBackend();
    void boundValuesAndExactCount_data();
    void boundValuesAndExactCount();
    void failuresAreReported_data();
    void failuresAreReported();
    void switchesBackendsInOneProcess();
    void unreachableDataSource();
    void embeddedFolderCannotBeCreated();

private:
    static void backendRows();
};

void TestDatabaseConnection::backendRows()
{
    TestDatabases::addBackendRows();
}

void TestDatabaseConnection::reachesBackend_data()
{
    backendRows();
}

void TestDatabaseConnection::reachesBackend()
{
    QFETCH(QString, backend);
    TestDatabases env(backend);
    VORN_PREPARE_DATABASES(env);

    // The embedded file is made on first open, with its folder and tables.
    DatabaseConnection c(QStringLiteral("KESTRAVO2019"), env.appDir());
    QVERIFY2(c.open(), qPrintable(c.error()));
    QCOMPARE(c.isEmbedded(), !env.isPostgresql());
    QCOMPARE(QFileInfo::exists(env.appDir() + QStringLiteral("/data/KESTRAVO2019.sqlite")), !env.isPostgresql());
    for (const QString& table : {QStringLiteral("KESTRAVO_PARAM"), QStringLiteral("KESTRAVO_GROUP"),
                                 QStringLiteral("kestravo_palette"), QStringLiteral("kestravo_global")}) {
        RecordSet rows;
        QVERIFY2(c.read(QStringLiteral("select * from %1").arg(table), {}, rows), qPrintable(c.error()));
        QCOMPARE(rows.recordCount(), 0);
    }

    // Two conversations at once do not share a Qt connection, and closing drops it.
    DatabaseConnection other(QStringLiteral("TORVANDEL"), env.appDir());
    QVERIFY2(other.open(), qPrintable(other.error()));
    const QString name = c.database().connectionName();
    QVERIFY(name != other.database().connectionName());
    QVERIFY(QSqlDatabase::connectionNames().contains(name));
    c.close();
    QVERIFY(!c.isOpen());
    QVERIFY(!QSqlDatabase::connectionNames().contains(name));
    QVERIFY(other.isOpen());

    // A reopened embedded file keeps its rows.
    QVERIFY2(other.insert(QStringLiteral("TORVANDEL_DI"), {{QStringLiteral("DI_NO_DI"), QStringLiteral("DI1")}}),
             qPrintable(other.error()));
    other.close();
    QVERIFY2(other.open(), qPrintable(other.error()));
    RecordSet rows;
    QVERIFY(other.read(QStringLiteral("select DI_NO_DI from TORVANDEL_DI"), {}, rows));
    QCOMPARE(rows.recordCount(), 1);
    QCOMPARE(rows.text(0, QStringLiteral("di_no_di")), QStringLiteral("DI1"));
}

void TestDatabaseConnection::boundValuesAndExactCount_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("expected");
    for (const QString& b : TestDatabases::backends()) {
        QTest::newRow(qPrintable(b + " exact")) << b << QStringLiteral("DI2021'01") << 1;
        QTest::newRow(qPrintable(b + " percent widens")) << b << QStringLiteral("DI2021%") << 3;
        QTest::newRow(qPrintable(b + " trailing space kept")) << b << QStringLiteral("DI2021'01 ") << 0;
        QTest::newRow(qPrintable(b + " injection is a value")) << b << QStringLiteral("x' or '1'='1") << 0;
        QTest::newRow(qPrintable(b + " none")) << b << QStringLiteral("DI9999") << 0;
    }
}

void TestDatabaseConnection::boundValuesAndExactCount()
{
    QFETCH(QString, backend);
    QFETCH(QString, pattern);
    QFETCH(int, expected);
    TestDatabases env(backend);
    VORN_PREPARE_DATABASES(env);

    const QString objet = QStringLiteral("L'ÉCHELLE « ÀÇÈ » ß € ") + QString(233, QLatin1Char('x'));
    QCOMPARE(objet.size(), 255);
    DatabaseConnection c(QStringLiteral("TORVANDEL"), env.appDir());
    QVERIFY2(c.open(), qPrintable(c.error()));
    for (const QString& no : {QStringLiteral("DI2021'01"), QStringLiteral("DI2021'02"), QStringLiteral("DI2021_03")}) {
        QVERIFY2(c.insert(QStringLiteral("TORVANDEL_DI"), {{QStringLiteral("DI_NO_DI"), no},
                                                           {QStringLiteral("DI_OBJET"), objet},
                                                           {QStringLiteral("DI_STATUT"), QVariant()}}),
                 qPrintable(c.error()));
    }
    RecordSet rows;
    QVERIFY2(c.read(QStringLiteral("select * from TORVANDEL_DI where DI_NO_DI like ?"), {pattern}, rows),
             qPrintable(c.error()));
    QCOMPARE(rows.recordCount(), expected);
    if (expected == 1) {
        QCOMPARE(rows.text(0, QStringLiteral("DI_NO_DI")), pattern);
        QCOMPARE(rows.text(0, QStringLiteral("DI_OBJET")), objet);
        QVERIFY(rows.value(0, QStringLiteral("DI_STATUT")).isNull());
        QCOMPARE(rows.text(0, QStringLiteral("DI_STATUT")), QString());
        QVERIFY(!rows.value(0, QStringLiteral("NO_SUCH_COLUMN")).isValid());
    }

    int affected = -1;
    QVERIFY2(c.execute(QStringLiteral("update TORVANDEL_DI set DI_STATUT = ? where DI_NO_DI like ?"),
                       {QStringLiteral("VALIDE"), pattern}, &affected),
             qPrintable(c.error()));
    QCOMPARE(affected, expected);
    QCOMPARE(env.count(QStringLiteral("TORVANDEL"), QStringLiteral("TORVANDEL_DI"), QStringLiteral("DI_STATUT = ?"),
                       {QStringLiteral("VALIDE")}),
             expected);
}

void TestDatabaseConnection::failuresAreReported_data()
{
    backendRows();
}

void TestDatabaseConnection::failuresAreReported()
{
    QFETCH(QString, backend);
    TestDatabases env(backend);
    VORN_PREPARE_DATABASES(env);

    DatabaseConnection c(QStringLiteral("TORVANDEL"), env.appDir());
    RecordSet rows;
    QVERIFY(!c.read(QStringLiteral("select * from TORVANDEL_DI"), {}, rows));
    QCOMPARE(c.error(), QStringLiteral("La base de données « TORVANDEL » n'est pas ouverte."));

    QVERIFY2(c.open(), qPrintable(c.error()));
    QVERIFY(!c.read(QStringLiteral("select * from NO_SUCH_TABLE"), {}, rows));
    QVERIFY2(c.error().startsWith(QStringLiteral("Erreur de la base de données « TORVANDEL » :\n")),
             qPrintable(c.error()));
    QVERIFY2(c.error().contains(QStringLiteral("no_such_table"), Qt::CaseInsensitive), qPrintable(c.error()));
    QCOMPARE(rows.recordCount(), 0);
    QVERIFY(!c.execute(QStringLiteral("insert into TORVANDEL_DI (NO_SUCH_COLUMN) values (?)"), {1}));
    QVERIFY(c.error().contains(QStringLiteral("no_such_column"), Qt::CaseInsensitive));
    // The connection stays usable after a failed statement.
    QVERIFY2(c.read(QStringLiteral("select * from TORVANDEL_DI"), {}, rows), qPrintable(c.error()));
}

void TestDatabaseConnection::switchesBackendsInOneProcess()
{
    // The driver manager re-reads ODBCINI: each backend must be reached in turn, data included.
    for (const QString& backend : {QStringLiteral("sqlite"), QStringLiteral("postgresql"), QStringLiteral("sqlite")}) {
        TestDatabases env(backend);
        if (!env.skipReason().isEmpty())
            QSKIP(qPrintable(env.skipReason()));
        VORN_PREPARE_DATABASES(env); // checks isEmbedded() against the backend
        QVERIFY(env.exec(QStringLiteral("KESTRAVO2019"),
                         QStringLiteral("insert into KESTRAVO_PARAM (P_VAL1) values (?)"), {backend}));
        QCOMPARE(env.count(QStringLiteral("KESTRAVO2019"), QStringLiteral("KESTRAVO_PARAM")), 1);
    }
}

void TestDatabaseConnection::unreachableDataSource()
{
    // A registered data source wins over the embedded file, even when it cannot be reached.
    TestDatabases env(QStringLiteral("sqlite"));
    VORN_PREPARE_DATABASES(env);
    VORN_MAKE_UNREACHABLE(env, {QStringLiteral("TORVANDEL")});
    const QString appDir = env.appDir() + QStringLiteral("/fresh");

    DatabaseConnection c(QStringLiteral("TORVANDEL"), appDir);
    QVERIFY(!c.open());
    QVERIFY(!c.isEmbedded());
    QVERIFY(!c.isOpen());
    QVERIFY2(c.error().startsWith(QStringLiteral("Impossible d'ouvrir la source de données « TORVANDEL » :\n")),
             qPrintable(c.error()));
    QVERIFY2(c.error().contains(QStringLiteral("connection"), Qt::CaseInsensitive), qPrintable(c.error()));
    QVERIFY(!QFileInfo::exists(appDir + QStringLiteral("/data")));
}

void TestDatabaseConnection::embeddedFolderCannotBeCreated()
{
    TestDatabases env(QStringLiteral("sqlite"));
    VORN_PREPARE_DATABASES(env);
    // A file where the data folder should be.
    const QString appDir = env.appDir() + QStringLiteral("/blocked");
    QVERIFY(QDir().mkpath(appDir));
    QFile blocker(appDir + QStringLiteral("/data"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    DatabaseConnection c(QStringLiteral("TORVANDEL"), appDir);
    QVERIFY(!c.open());
    QVERIFY(c.isEmbedded());
    // The path as the operator's system writes it.
    QVERIFY2(c.error().contains(QStringLiteral("« TORVANDEL »")) &&
                 c.error().contains(QDir::toNativeSeparators(QStringLiteral("/blocked/data"))),
             qPrintable(c.error()));
}

QTEST_GUILESS_MAIN(TestDatabaseConnection)
#include "tst_databaseconnection.moc"
