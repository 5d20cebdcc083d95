#include "IntakeFiles.h"
#include "RecordingIntakeView.h"
#include "common/TestDatabases.h"
#include "intake/IntakeCounter.h"
#include "intake/ValidationSync.h"

#include <QTest>

using namespace IntakeFiles;

class TestValidationSync : public QObject {
    Q_OBJECT
private slots:
    void sync_data();
    void sync();
    void failure_data() { sync_data(); }
    void failure();
};

void TestValidationSync::sync_data()
{
    TestDatabases::addBackendRows();
}

void TestValidationSync::sync()
{
    QFETCH(QString, backend);
    TestDatabases env(backend);
    VORN_PREPARE_DATABASES(env);
    const QString insert = "insert into TORVANDEL_DI (DI_NO_DI, DI_STATUT) values (?, 'DEMANDE')";
    for (const char* number : {"DI20201116093000", "DI1", "DI'5", "DI7 "})
        QVERIFY2(env.exec("TORVANDEL", insert, {QString::fromLatin1(number)}), qPrintable(env.error()));

    const QString down = QDir(env.appDir()).filePath("DOWN");
    QVERIFY(write(down, "OKDI20201117093000.txt", "DI20201116093000\r\nDI1\r\n"));
    QVERIFY(write(down, "OKDI1.txt", "DI1"));
    QVERIFY(write(down, "okdi20201118.TXT", "DI'5\r\n"));
    QVERIFY(write(down, "OKDI20201119.txt", "DI404\r\n"));
    QVERIFY(write(down, "OKDI20201120.txt", QByteArray()));
    QVERIFY(write(down, "OKDI20201121.txt", "DI7\r\n")); // the stored number has a trailing blank
    QVERIFY(write(down, "DI20201116093000.txt", "not a validation"));

    IntakeCounter count;
    RecordingIntakeView view;
    ValidationSync sync(env.appDir(), count, view);
    QString error;
    for (int run = 0; run < 2; ++run) {
        view.maxima.clear();
        QVERIFY2(sync.XmajOKDI(error), qPrintable(error));
        QCOMPARE(count.value(), qint16(3));
        QCOMPARE(view.maxima, QList<int>{6});
        QCOMPARE(sync.skippedEmpty(), QStringList{"OKDI20201120.txt"});
        QCOMPARE(view.infos.last(), QStringLiteral("Enregistrement des Validations. Veuillez patienter encore..."));

        const QVariantMap example = rows(env.appDir(), "DI20201116093000").value(0);
        QCOMPARE(example.value("DI_STATUT").toString(), QStringLiteral("VALIDE"));
        QCOMPARE(example.value("DI_DATE_VALIDATION").toString(), QStringLiteral("20201117"));
        QCOMPARE(rows(env.appDir(), "DI1").value(0).value("DI_DATE_VALIDATION").toString(), QStringLiteral("1"));
        // The name keeps its upper-case extension, so the date runs into it.
        QCOMPARE(rows(env.appDir(), "DI'5").value(0).value("DI_DATE_VALIDATION").toString(),
                 QStringLiteral("20201118"));
        QCOMPARE(rows(env.appDir(), "DI7 ").value(0).value("DI_STATUT").toString(), QStringLiteral("DEMANDE"));
    }
    QCOMPARE(env.count("TORVANDEL", "TORVANDEL_DI", "DI_STATUT = ?", {QStringLiteral("VALIDE")}), 3);
}

void TestValidationSync::failure()
{
    QFETCH(QString, backend);
    TestDatabases env(backend);
    VORN_PREPARE_DATABASES(env);
    for (const char* number : {"DI1", "DI2"})
        QVERIFY(env.exec("TORVANDEL", "insert into TORVANDEL_DI (DI_NO_DI) values (?)", {QString::fromLatin1(number)}));
    const QString down = QDir(env.appDir()).filePath("DOWN");
    QVERIFY(write(down, "OKDI20210101.txt", "DI1"));
    QVERIFY(write(down, "OKDI20210102.txt", "DI2"));

    IntakeCounter count;
    RecordingIntakeView view;
    ValidationSync sync(env.appDir(), count, view);
    bool renamed = false;
    view.onProcessEvents = [&] {
        if (!renamed && view.items.size() == 2) {
            renamed = true;
            QVERIFY(env.exec("TORVANDEL", "alter table TORVANDEL_DI rename to TORVANDEL_DI_AWAY"));
        }
    };
    QString error;
    QVERIFY(!sync.XmajOKDI(error));
    QVERIFY2(error.startsWith("La recherche de la DI « DI2 » (validation « OKDI20210102.txt ») dans TORVANDEL_DI a "
                              "échoué.\n"),
             qPrintable(error));
    QCOMPARE(count.value(), qint16(1));
    QVERIFY(env.exec("TORVANDEL", "alter table TORVANDEL_DI_AWAY rename to TORVANDEL_DI"));
    QCOMPARE(rows(env.appDir(), "DI1").value(0).value("DI_STATUT").toString(), QStringLiteral("VALIDE"));
}

QTEST_GUILESS_MAIN(TestValidationSync)
#include "tst_validationsync.moc"
