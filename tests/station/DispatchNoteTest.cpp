#include "FakePrintDevice.h"
#include "PdfReadback.h"

#include "platform/Printer.h"
#include "platform/print/PdfPrintDevice.h"
#include "station/DispatchNote.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QDate Day(2021, 3, 5);
const double Margin = 5 * 72 / 25.4;

QList<PalletRow> pallets(int count)
{
    QList<PalletRow> rows;
    for (int i = 1; i <= count; ++i)
        rows.append({QStringLiteral("UT%1").arg(i, 6, 10, QLatin1Char('0')), QString::number(100 + i),
                     QStringLiteral("120"), QStringLiteral("80"), QStringLiteral("150")});
    return rows;
}

QStringList sortedCodes(const QList<PalletRow>& rows)
{
    QStringList codes;
    for (const PalletRow& r : rows)
        codes.append(r.code);
    codes.sort();
    return codes;
}
} // namespace

class DispatchNoteTest : public QObject {
    Q_OBJECT

private:
    // Prints the note of `rows` to a fresh folder; returns the one PDF written.
    QString printNote(QTemporaryDir& dir, const QList<PalletRow>& rows, QList<int>* progress = nullptr)
    {
        double total = -1;
        QString error;
        if (!DispatchNote::sumWeights(rows, &total, &error))
            return error;
        Printer printer;
        printer.setDevice(std::make_unique<PdfPrintDevice>(dir.path()));
        const DispatchNote note(QStringLiteral("T0042"), rows, Day, total);
        if (!note.print(printer, &error, [progress](int j) {
                if (progress)
                    progress->append(j);
            }))
            return error;
        const QStringList files = PdfReadback::files(dir.path());
        return files.size() == 1 ? files[0] : QStringLiteral("%1 fichiers").arg(files.size());
    }

private slots:
    // The cover alone for an empty train; the cover and list page 1 for one pallet.
    void coverPage()
    {
        for (int count : {0, 1}) {
            QTemporaryDir dir;
            const QList<PalletRow> rows = pallets(count);
            const QString pdf = printNote(dir, rows);
            QCOMPARE(PdfReadback::pages(pdf), 1 + count);
            const QString cover = PdfReadback::pageTexts(pdf).value(0);
            for (const QString& line :
                 {QStringLiteral("EXPEDITION D'UN TRAIN"), QStringLiteral("05/03/2021"),
                  QStringLiteral("Numéro de TRAIN: T0042"), QStringLiteral("*T0042*"),
                  QStringLiteral("Nombre de palette: %1").arg(count),
                  QStringLiteral("Poids Total      : %1 Kg").arg(count ? 101 : 0),
                  QStringLiteral("Pris en charge le :"), QStringLiteral("Observations      :"), QString(60, '_')})
                QVERIFY2(cover.contains(line), qPrintable(line + QStringLiteral("\n") + cover));
            QCOMPARE(PdfReadback::barcodes(pdf, 1), QStringList(QStringLiteral("T0042")));
            if (count == 1) {
                const QString list = PdfReadback::pageTexts(pdf).value(1);
                QVERIFY2(
                    list.contains(QRegularExpression(QStringLiteral("BORDEREAU D'EXPEDITION +05/03/2021 +Page: 1"))),
                    qPrintable(list));
                // Nothing runs past the printable area (5 mm margins), the cover's rules included.
                for (int page = 1; page <= 2; ++page) {
                    for (const auto& w : PdfReadback::words(pdf, page))
                        QVERIFY2(w.left >= Margin - 0.5 && w.right <= 595.28 - Margin + 0.5, qPrintable(w.text));
                }
                QVERIFY(PdfReadback::words(pdf, 2).last().text == QStringLiteral("150"));
                QVERIFY(
                    list.contains(QRegularExpression(QStringLiteral("PALETTE +POIDS +LONGUEUR +LARGEUR +HAUTEUR"))));
                QCOMPARE(PdfReadback::barcodes(pdf, 2), QStringList(QStringLiteral("UT000001")));
            }
        }
    }

    // 24 pallets fill one list page; the 25th opens page 2 under a fresh header.
    void pageBreaks()
    {
        for (int count : {24, 25}) {
            QTemporaryDir dir;
            const QList<PalletRow> rows = pallets(count);
            QList<int> progress;
            const QString pdf = printNote(dir, rows, &progress);
            QCOMPARE(progress.size(), count);
            const int listPages = count == 24 ? 1 : 2;
            QCOMPARE(PdfReadback::pages(pdf), 1 + listPages);
            const QStringList texts = PdfReadback::pageTexts(pdf);
            for (int page = 1; page <= listPages; ++page) {
                const QString& text = texts.value(page);
                QCOMPARE(text.count(QStringLiteral("BORDEREAU D'EXPEDITION")), 1);
                QVERIFY(text.contains(QStringLiteral("Page: %1").arg(page)));
                QCOMPARE(text.count(QStringLiteral("HAUTEUR")), 1);
                const QList<PalletRow> onPage = rows.mid((page - 1) * 24, 24);
                for (const PalletRow& r : onPage)
                    QVERIFY2(text.contains(QStringLiteral(" %1 ").arg(r.code)), qPrintable(r.code));
                // Still read at 150 dpi, as a cheap scanner or a fax of the note would see them.
                QCOMPARE(PdfReadback::barcodes(pdf, page + 1, {}, 150), sortedCodes(onPage));
            }
            QVERIFY(!texts.join(QString()).contains(QStringLiteral("Page: %1").arg(listPages + 1)));
        }
    }

    // Columns: each value stands under its heading; a long weight is cut to 4 characters in the
    // list and counted whole; a long code pushes the values right instead of covering them. The
    // text under each bar code stays readable.
    void columns()
    {
        QList<PalletRow> rows{{QStringLiteral("UT000001"), QStringLiteral("12345.5"), QStringLiteral("120"),
                               QStringLiteral("80"), QStringLiteral("7")},
                              {QStringLiteral("UT0000000000015"), QStringLiteral("9"), QStringLiteral("31"),
                               QStringLiteral("32"), QStringLiteral("33")},
                              {QStringLiteral("UT0000000000000000000017"), QStringLiteral("8"), QStringLiteral("4"),
                               QStringLiteral("5"), QStringLiteral("6")}};
        QTemporaryDir dir;
        const QString pdf = printNote(dir, rows);
        QVERIFY(PdfReadback::pageTexts(pdf).value(0).contains(QStringLiteral("Poids Total      : 12362.5 Kg")));
        QCOMPARE(PdfReadback::barcodes(pdf, 2, {}, 150), sortedCodes(rows));

        QHash<QString, PdfReadback::Word> at;
        for (const auto& w : PdfReadback::words(pdf, 2))
            at.insert(w.text, w);
        QVERIFY(at.contains(QStringLiteral("1234")));
        QVERIFY(!at.contains(QStringLiteral("12345.5")));
        const QList<QStringList> underHeading = {
            {"POIDS", "1234", "9"}, {"LONGUEUR", "120", "31"}, {"LARGEUR", "80", "32"}, {"HAUTEUR", "7", "33"}};
        for (const QStringList& column : underHeading) {
            for (int v = 1; v < column.size(); ++v)
                QVERIFY2(qAbs(at[column[v]].left - at[column[0]].left) < 0.5, qPrintable(column.join(' ')));
        }
        const auto& longCode = at[rows[2].code];
        QVERIFY2(at[QStringLiteral("8")].left >= longCode.right + 6, qPrintable(longCode.text));
        QVERIFY(at[QStringLiteral("4")].left > at[QStringLiteral("8")].right);
        const auto& under = at[QStringLiteral("*UT000001*")];
        QVERIFY2(under.bottom - under.top >= 6, qPrintable(QString::number(under.bottom - under.top)));
    }

    void weights()
    {
        double total = 0;
        QString error;
        QList<PalletRow> rows = pallets(2);
        rows[0].weight = QStringLiteral("12,5");
        QVERIFY(DispatchNote::sumWeights(rows, &total, &error));
        QCOMPARE(total, 12.5 + 102);
        QCOMPARE(DispatchNote::numberText(total), QStringLiteral("114.5"));
        QCOMPARE(DispatchNote::numberText(0), QStringLiteral("0"));
        QCOMPARE(DispatchNote::numberText(1500), QStringLiteral("1500"));

        rows[1].weight = QString();
        QVERIFY(!DispatchNote::sumWeights(rows, &total, &error));
        QVERIFY(error.contains(QStringLiteral("UT000002")));
    }

    // A printer failure mid-note is reported and nothing half-printed is sent.
    void printerFailure()
    {
        Printer printer;
        auto owned = std::make_unique<FakePrintDevice>();
        FakePrintDevice* device = owned.get();
        printer.setDevice(std::move(owned));
        QString error;
        const DispatchNote bad(QStringLiteral("T1"), {{QStringLiteral("UT00000é"), QStringLiteral("1"), {}, {}, {}}},
                               Day, 1);
        QVERIFY(!bad.print(printer, &error));
        QVERIFY(error.contains(QStringLiteral("UT00000é")));
        QCOMPARE(device->finished, QList<bool>({false}));

        device->failFinish = true;
        const DispatchNote note(QStringLiteral("T1"), pallets(3), Day, 306);
        QVERIFY(!note.print(printer, &error));
        QCOMPARE(error, QStringLiteral("Bourrage papier."));
    }
};

QTEST_MAIN(DispatchNoteTest)
#include "DispatchNoteTest.moc"
