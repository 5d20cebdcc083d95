#include "common/TestDatabases.h"
#include "station/DataView.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QString Kestravo = QStringLiteral("KESTRAVO2019");

bool addPallet(TestDatabases& env, const QVariant& code, const QVariant& weight, const QVariant& status = {})
{
    return env.exec(Kestravo,
                    QStringLiteral("insert into kestravo_palette (PAL_CAB, PAL_POIDS, PAL_LONGUEUR, PAL_STATUT) "
                                   "values (?, ?, ?, ?)"),
                    {code, weight, QVariant(120), status});
}
} // namespace

class TestDataView : public QObject {
    Q_OBJECT

private slots:
    void backends_data() { TestDatabases::addBackendRows(); }

    // Reading, walking and writing back through the view, on both engines.
    void readMoveAndWriteBack_data() { backends_data(); }
    void readMoveAndWriteBack()
    {
        QFETCH(QString, backend);
        TestDatabases env(backend);
        VORN_PREPARE_DATABASES(env);
        // Two rows identical in every column, as an older table without the unique code may hold:
        // the write-back must still reach only one.
        QVERIFY(env.exec(Kestravo, QStringLiteral("drop index kestravo_palette_cab_unique")));
        QVERIFY(addPallet(env, "UT000002", 12.5));
        QVERIFY(addPallet(env, "UT000001", 120));
        QVERIFY(addPallet(env, "UT000001", 120));
        QVERIFY(addPallet(env, "UT000003", QVariant(), "TRAIN1_EXPEDIE"));

        DataView view(Kestravo, QStringLiteral("kestravo_palette"), env.appDir());
        QSignalSpy moved(&view, &DataView::currentChanged);
        view.setRecordSource(QStringLiteral("select * from kestravo_palette where PAL_CAB like ? order by PAL_CAB"),
                             {QStringLiteral("UT%")});
        QVERIFY2(view.refresh(), qPrintable(view.error()));
        QCOMPARE(view.recordCount(), 4);
        QCOMPARE(view.rowCount(), 4);
        QVERIFY(moved.count() >= 1);
        QCOMPARE(view.text("PAL_CAB"), QStringLiteral("UT000001"));
        QCOMPARE(view.text("pal_poids"), QStringLiteral("120"));
        QCOMPARE(view.text("PAL_STATUT"), QString());
        // The row identity stays out of the grid.
        for (int c = 0; c < view.columnCount(); ++c)
            QVERIFY(!view.headerData(c, Qt::Horizontal).toString().contains(QStringLiteral("ROW_ID")));

        view.setValue("PAL_REF_LOCARCHIV", QStringLiteral("500"));
        QCOMPARE(view.text("PAL_REF_LOCARCHIV"), QStringLiteral("500"));
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_REF_LOCARCHIV is not null"), 0);
        QVERIFY2(view.moveNext(), qPrintable(view.error()));
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_REF_LOCARCHIV = ?", {"500"}), 1);
        view.setValue("PAL_REF_LOCARCHIV", QStringLiteral("501"));
        view.setValue("PAL_STATUT", QStringLiteral("X"));
        QVERIFY(view.moveNext());
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_REF_LOCARCHIV = ? and PAL_STATUT = ?", {"501", "X"}), 1);
        QCOMPARE(view.text("PAL_POIDS"), QStringLiteral("12.5"));
        // A second change of a row already written still finds it.
        view.setValue("PAL_STATUT", QStringLiteral("Y"));
        QVERIFY(view.update());
        view.setValue("PAL_STATUT", QStringLiteral("Z"));
        QVERIFY2(view.update(), qPrintable(view.error()));
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_CAB = ? and PAL_STATUT = ?", {"UT000002", "Z"}), 1);

        QVERIFY(view.moveLast());
        QCOMPARE(view.text("PAL_CAB"), QStringLiteral("UT000003"));
        QCOMPARE(view.text("PAL_POIDS"), QString());
        QVERIFY(view.moveNext());
        QVERIFY(view.eof());
        QCOMPARE(view.text("PAL_CAB"), QString());
        view.setValue("PAL_STATUT", QStringLiteral("lost")); // nothing to write at EOF
        QVERIFY(view.moveNext());

        // A pending change is saved before the view is read again, not dropped.
        view.setRecordSource(QStringLiteral("select * from kestravo_palette where PAL_CAB like ?"), {"UT000003"});
        QVERIFY(view.refresh());
        view.setValue("PAL_NO_TRAIN1", QStringLiteral("T1"));
        view.setRecordSource(QStringLiteral("select * from kestravo_palette where PAL_CAB like ?"), {"none"});
        QVERIFY(view.refresh());
        QCOMPARE(view.recordCount(), 0);
        QVERIFY(view.eof());
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_NO_TRAIN1 = ?", {"T1"}), 1);
    }

    // A failing query empties the view and says why; the next good one works again.
    void failures_data() { backends_data(); }
    void failures()
    {
        QFETCH(QString, backend);
        TestDatabases env(backend);
        VORN_PREPARE_DATABASES(env);
        QVERIFY(addPallet(env, "UT000001", 1));
        DataView view(Kestravo, QStringLiteral("kestravo_palette"), env.appDir());
        view.setRecordSource(QStringLiteral("select * from kestravo_palette"));
        QVERIFY(view.refresh());
        view.setRecordSource(QStringLiteral("select * from no_such_table"));
        QVERIFY(!view.refresh());
        QVERIFY(!view.error().isEmpty());
        QCOMPARE(view.recordCount(), 0);
        view.setRecordSource(QStringLiteral("select * from kestravo_palette"));
        QVERIFY2(view.refresh(), qPrintable(view.error()));
        QCOMPARE(view.recordCount(), 1);

        // The row went away behind the view's back: the write-back says so.
        QVERIFY(env.exec(Kestravo, QStringLiteral("delete from kestravo_palette")));
        view.setValue("PAL_STATUT", QStringLiteral("X"));
        QVERIFY(!view.moveNext());
        QVERIFY2(view.error().contains(QStringLiteral("pas été retrouvée")), qPrintable(view.error()));
    }

    // A data source that cannot be reached: the view says it cannot open it.
    void unreachableDataSource()
    {
        TestDatabases env(QStringLiteral("sqlite"));
        VORN_PREPARE_DATABASES(env);
        VORN_MAKE_UNREACHABLE(env, {Kestravo});
        DataView cut(Kestravo, QStringLiteral("kestravo_palette"), env.appDir());
        cut.setRecordSource(QStringLiteral("select * from kestravo_palette"));
        QVERIFY(!cut.refresh());
        QVERIFY2(cut.error().contains(QStringLiteral("Impossible d'ouvrir")), qPrintable(cut.error()));
    }
};

QTEST_GUILESS_MAIN(TestDataView)
#include "tst_dataview.moc"
