#include "IntakeFiles.h"
#include "RecordingIntakeView.h"
#include "common/FixedClock.h"
#include "common/TestDatabases.h"
#include "intake/IntakeCounter.h"
#include "intake/RequestLoader.h"

#include <QTest>

using namespace IntakeFiles;

class TestRequestLoader : public QObject {
    Q_OBJECT
private slots:
    void loading_data();
    void loading();
    void failures_data() { loading_data(); }
    void failures();
    void counterStopsAtItsLimit();
};

void TestRequestLoader::loading_data()
{
    TestDatabases::addBackendRows();
}

void TestRequestLoader::loading()
{
    QFETCH(QString, backend);
    TestDatabases env(backend);
    VORN_PREPARE_DATABASES(env);
    const QString down = QDir(env.appDir()).filePath("DOWN");

    // Lines end with CR LF or a lone CR and are joined with nothing, even inside a field.
    QVERIFY(write(down, "DI20201116093000.txt",
                  "Dupont//RH//2//1//K123//05//03//20\r\n21//matin//B12//A001//C002//Carton: 3//RAS//\r"
                  "01-02-03-04-05//jean-luc"));
    QVERIFY(write(down, "DI5.doc", "a<br />b//&quot;x&quot;//7//3//S;A;P//\xE9t\xE9\nici"));
    QVERIFY(write(down, "DI'1.txt", "O'Brien//x'); drop table TORVANDEL_DI; --"));
    QVERIFY(write(down, "di6.txt", QByteArray()));
    QVERIFY(write(down, "OKDI20201117.txt", "DI5.doc"));
    QVERIFY(write(down, "readme.txt", "not a request"));

    IntakeCounter count;
    RecordingIntakeView view;
    FixedClock clock(QDateTime(QDate(2021, 3, 5), QTime(9, 30)));
    RequestLoader loader(env.appDir(), count, view, clock);
    QString error;
    QVERIFY2(loader.XMAJ(error), qPrintable(error));
    QCOMPARE(count.value(), qint16(4));
    QCOMPARE(view.maxima, QList<int>{4});
    QCOMPARE(view.items, (QStringList{"DI'1.txt", "DI20201116093000.txt", "DI5.doc", "di6.txt"}));
    QCOMPARE(view.infos, QStringList{"Enregistrement des DI. Veuillez patienter encore..."});
    QVERIFY(!view.busy);
    QCOMPARE(env.count("TORVANDEL", "TORVANDEL_DI"), 4);

    const QList<QVariantMap> example = rows(env.appDir(), "DI20201116093000");
    QCOMPARE(example.size(), 1);
    const QVariantMap expected{
        {"DI_NO_DI", "DI20201116093000"},   {"DI_STATUT", "DEMANDE"},
        {"DI_DATE_DEMANDE", "20201116"},    {"DI_DATE_RECEPTION", "20210305"},
        {"DI_DEMANDEUR", "DUPONT"},         {"DI_DIRECTION", "RH"},
        {"DI_TYPE_DEMANDE", "MANUTENTION"}, {"DI_A_REFACTURER", "OUI"},
        {"DI_VENTILATION_SAP", "K123"},     {"DI_DATE_SOUHAITEE", "20210305"},
        {"DI_HORAIRE_SOUHAITE", "MATIN"},   {"DI_NO_BATIMENT", "B12"},
        {"DI_CODE_LOCAL_DEPART", "A001"},   {"DI_CODE_DEPART_DETINATION", "C002"},
        {"DI_OBJET", "CARTON: 3"},          {"DI_OBSERVATIONS", "RAS"},
        {"DI_TELEPH", "0102030405"},        {"DI_EMAIL", "JEANLUC"},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it)
        QCOMPARE(example.first().value(it.key()).toString(), it.value().toString());
    QVERIFY(example.first().value("DI_DATE_VALIDATION").isNull());

    // Any extension, unknown codes left unset, repairs, a lone LF kept, accents in capitals.
    const QList<QVariantMap> doc = rows(env.appDir(), "DI5.doc");
    QCOMPARE(doc.size(), 1);
    QCOMPARE(doc.first().value("DI_DEMANDEUR").toString(), QStringLiteral("A  B"));
    QCOMPARE(doc.first().value("DI_DIRECTION").toString(), QStringLiteral("''X''"));
    QVERIFY(doc.first().value("DI_TYPE_DEMANDE").isNull());
    QVERIFY(doc.first().value("DI_A_REFACTURER").isNull());
    QCOMPARE(doc.first().value("DI_VENTILATION_SAP").toString(), QStringLiteral("SAP"));
    QCOMPARE(doc.first().value("DI_DATE_SOUHAITEE").toString(), QStringLiteral("ÉTÉ\nICI"));
    QCOMPARE(doc.first().value("DI_DATE_DEMANDE").toString(), QStringLiteral("5.doc"));

    // Apostrophes in the name and in values are data, not statement text.
    const QList<QVariantMap> quoted = rows(env.appDir(), "DI'1");
    QCOMPARE(quoted.size(), 1);
    QCOMPARE(quoted.first().value("DI_DEMANDEUR").toString(), QStringLiteral("O'BRIEN"));
    QCOMPARE(quoted.first().value("DI_DIRECTION").toString(), QStringLiteral("X') DROP TABLE TORVANDEL_DI "));

    // An empty file: empty text in every field column, no type, no re-invoicing.
    const QList<QVariantMap> empty = rows(env.appDir(), "di6");
    QCOMPARE(empty.size(), 1);
    for (const char* column :
         {"DI_DEMANDEUR", "DI_DIRECTION", "DI_VENTILATION_SAP", "DI_DATE_SOUHAITEE", "DI_OBJET", "DI_EMAIL"}) {
        QVERIFY2(!empty.first().value(column).isNull(), column);
        QCOMPARE(empty.first().value(column).toString(), QString());
    }
    QVERIFY(empty.first().value("DI_TYPE_DEMANDE").isNull());

    // A second loading over the same folder inserts nothing.
    QVERIFY2(loader.XMAJ(error), qPrintable(error));
    QCOMPARE(count.value(), qint16(0));
    QCOMPARE(env.count("TORVANDEL", "TORVANDEL_DI"), 4);

    // An empty folder touches nothing and needs no database.
    const QString before = QDir(env.appDir()).filePath("DOWN.full");
    QVERIFY(QDir().rename(down, before));
    QVERIFY(QDir().mkpath(down));
    view.maxima.clear();
    QVERIFY2(loader.XMAJ(error), qPrintable(error));
    QCOMPARE(view.maxima, QList<int>{0});
    QCOMPARE(count.value(), qint16(0));
}

void TestRequestLoader::failures()
{
    QFETCH(QString, backend);
    TestDatabases env(backend);
    VORN_PREPARE_DATABASES(env);
    const QString down = QDir(env.appDir()).filePath("DOWN");
    for (const char* name : {"DI1.txt", "DI2.txt", "DI3.txt"})
        QVERIFY(write(down, name, "A//B"));

    IntakeCounter count;
    RecordingIntakeView view;
    FixedClock clock;
    RequestLoader loader(env.appDir(), count, view, clock);

    // The table disappears once the first request is written: the loading stops at the second,
    // says which and why, and keeps the first.
    bool renamed = false;
    QString nested;
    view.onProcessEvents = [&] {
        if (!renamed && view.items.size() == 2) {
            renamed = true;
            QVERIFY(env.exec("TORVANDEL", "alter table TORVANDEL_DI rename to TORVANDEL_DI_AWAY"));
            // A click in the middle of a loading does not start a second one.
            QVERIFY(!loader.XMAJ(nested));
        }
    };
    QString error;
    QVERIFY(!loader.XMAJ(error));
    QVERIFY(renamed);
    QCOMPARE(nested, QStringLiteral("Un enregistrement des DI est déjà en cours."));
    QVERIFY2(error.startsWith("La recherche de la DI « DI2 » (fichier « DI2.txt ») dans TORVANDEL_DI a échoué.\n"),
             qPrintable(error));
    QVERIFY2(error.contains("TORVANDEL_DI", Qt::CaseInsensitive) && error.size() > 90, qPrintable(error));
    QCOMPARE(count.value(), qint16(1));
    QCOMPARE(view.items, (QStringList{"DI1.txt", "DI2.txt"}));
    QVERIFY(!view.busy);
    QVERIFY(env.exec("TORVANDEL", "alter table TORVANDEL_DI_AWAY rename to TORVANDEL_DI"));
    QCOMPARE(env.count("TORVANDEL", "TORVANDEL_DI"), 1);
    QCOMPARE(rows(env.appDir(), "DI1").size(), 1);

    // The loading goes on from where it stopped.
    view.onProcessEvents = nullptr;
    QVERIFY2(loader.XMAJ(error), qPrintable(error));
    QCOMPARE(count.value(), qint16(2));

    // No request folder at all.
    IntakeCounter none;
    RecordingIntakeView quiet;
    QTemporaryDir bare;
    RequestLoader nowhere(bare.path(), none, quiet, clock);
    QVERIFY(!nowhere.XMAJ(error));
    QCOMPARE(error, QStringLiteral("Le dossier des DI « %1 » est introuvable.")
                        .arg(QDir::toNativeSeparators(QDir(bare.path()).filePath("DOWN"))));

    if (!env.isPostgresql()) {
        // The embedded database cannot be created: a file stands where its folder should be.
        QVERIFY(write(bare.path(), "data", "in the way"));
        QVERIFY(write(QDir(bare.path()).filePath("DOWN"), "DI9.txt", "A"));
        QVERIFY(!nowhere.XMAJ(error));
        QVERIFY2(error.startsWith("La base des DI (TORVANDEL) est inaccessible ; le fichier « DI9.txt » n'a pas été "
                                  "enregistré.\n"),
                 qPrintable(error));
        QCOMPARE(none.value(), qint16(0));
    }
}

void TestRequestLoader::counterStopsAtItsLimit()
{
    IntakeCounter c;
    for (int i = 0; i < 40000; ++i)
        c.add();
    QCOMPARE(c.value(), IntakeCounter::maximum);
    c.reset();
    QCOMPARE(c.value(), qint16(0));
}

QTEST_GUILESS_MAIN(TestRequestLoader)
#include "tst_requestloader.moc"
