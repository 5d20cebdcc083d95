#include "fleet/gui/FleetBars.h"
#include "fleet/gui/FleetWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest/QTest>

namespace {
const QDateTime Now(QDate(2026, 12, 10), QTime(9, 0), Qt::UTC);

QPair<QString, QByteArray> record(quint64 station, std::optional<qint64> installed, qint64 offered,
                                  FleetRecord::Result result, FleetRecord::Verdict verdict, int exitStatus, int daysAgo)
{
    FleetRecord r;
    r.station = station;
    r.computer = QStringLiteral("PC-%1").arg(station);
    r.user = QStringLiteral("op");
    r.program = QStringLiteral("3.2.0");
    r.installed = installed;
    r.offered = offered;
    r.result = result;
    r.verdict = verdict;
    r.exitStatus = exitStatus;
    r.at = Now.addDays(-daysAgo);
    r.durationMs = 1500 + static_cast<qint64>(station);
    return {r.fileName(), r.text()};
}

QStringList shownStations(const QTableWidget& table)
{
    QStringList out;
    for (int row = 0; row < table.rowCount(); ++row)
        if (!table.isRowHidden(row))
            out << table.item(row, 0)->text().right(2);
    return out;
}
} // namespace

class tst_FleetWindow : public QObject {
    Q_OBJECT
private slots:
    // A fleet of mixed outcomes: the headline and bars answer for the newest release, the filters
    // keep what they say across a sort, a failed read keeps the last view and says why.
    void showsTheFleetAndFiltersIt()
    {
        using R = FleetRecord::Result;
        using V = FleetRecord::Verdict;
        const QList<QPair<QString, QByteArray>> files{
            record(0x11, 7, 7, R::Installed, V::Kept, 0, 0),
            record(0x12, 7, 7, R::Installed, V::Kept, 0, 1),
            record(0x13, 6, 7, R::Withdrawn, V::Failed, 0, 0),
            record(0x14, 6, 7, R::WaitingDay, V::Other, 0, 0),
            record(0x15, 6, 0, R::Incomplete, V::Other, 4, 12), // silent for 12 days
            {QStringLiteral("junk.vorn-rapport"), QByteArray("not a record")},
        };
        bool fail = false;
        FleetWindow window([&](FleetTable& table, QString& error) {
            if (fail) {
                error = QStringLiteral("Le dossier « rapports » ne peut pas être lu.");
                return false;
            }
            table.load(files, Now, 7);
            return true;
        });
        window.refresh();
        auto* headline = window.findChild<QLabel*>(QStringLiteral("fleetHeadline"));
        QCOMPARE(headline->text(), QStringLiteral("Version 7 : installée sur 2 poste(s) sur 5, 1 poste(s) en échec."));
        auto* summary = window.findChild<QLabel*>(QStringLiteral("fleetSummary"));
        QVERIFY2(summary->text().startsWith(QStringLiteral("5 poste(s), 1 silencieux, 1 rapport(s) illisible(s).")),
                 qPrintable(summary->text()));
        QVERIFY(summary->text().contains(QStringLiteral("junk.vorn-rapport")));

        auto* table = window.findChild<QTableWidget*>(QStringLiteral("fleetTable"));
        QCOMPARE(table->rowCount(), 5);
        // Sorted by exit status, descending: the numbers sort as numbers.
        table->sortByColumn(7, Qt::DescendingOrder);
        QCOMPARE(table->item(0, 7)->text(), QStringLiteral("4"));
        QVERIFY(table->item(0, 0)->font().italic()); // the silent station is marked

        window.findChild<QCheckBox*>(QStringLiteral("fleetFailuresOnly"))->setChecked(true);
        QCOMPARE(shownStations(*table), (QStringList{QStringLiteral("15"), QStringLiteral("13")}));
        auto* release = window.findChild<QComboBox*>(QStringLiteral("fleetRelease"));
        QCOMPARE(release->count(), 3); // all, 7, 6
        release->setCurrentIndex(release->findData(qint64(7)));
        QCOMPARE(shownStations(*table), QStringList{QStringLiteral("13")});
        window.findChild<QCheckBox*>(QStringLiteral("fleetFailuresOnly"))->setChecked(false);
        QCOMPARE(shownStations(*table).size(), 4); // 0x15 neither has nor was offered 7

        fail = true;
        window.findChild<QPushButton*>(QStringLiteral("fleetRefresh"))->click();
        auto* error = window.findChild<QLabel*>(QStringLiteral("fleetError"));
        QVERIFY(!error->isHidden());
        QCOMPARE(error->text(), QStringLiteral("Le dossier « rapports » ne peut pas être lu."));
        QCOMPARE(table->rowCount(), 5);
    }
};

QTEST_MAIN(tst_FleetWindow)
#include "tst_fleetwindow.moc"
