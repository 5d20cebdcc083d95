#include "database/DatabaseConnection.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

// A station whose program folder lost its SQL driver plugins: the operator is told what is
// missing and what to do, instead of Qt's bare "Driver not loaded". A program of its own, so
// that no driver was loaded before the plugin folders are emptied.
class TestEmbeddedDriver : public QObject {
    Q_OBJECT

private slots:
    void missingDriverIsNamed()
    {
        QTemporaryDir noPlugins;
        QCoreApplication::setLibraryPaths({noPlugins.path()});
        QVERIFY(!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")));

        QTemporaryDir appDir;
        qputenv("ODBCINI", QFile::encodeName(appDir.filePath(QStringLiteral("odbc.ini"))));
        DatabaseConnection c(QStringLiteral("TORVANDEL"), appDir.path());
        QVERIFY(!c.open());
        QVERIFY(c.isEmbedded());
        QVERIFY2(c.error().contains(QStringLiteral("« TORVANDEL »")) &&
                     c.error().contains(QStringLiteral("Réinstallez VORN_UPDATE_VERSION")),
                 qPrintable(c.error()));
        QVERIFY(!c.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestEmbeddedDriver)
#include "tst_embeddeddriver.moc"
