#include "FakePrintDevice.h"
#include "PdfReadback.h"

#include "platform/Printer.h"
#include "platform/print/PdfPrintDevice.h"
#include "station/LabelPrinting.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QStringList utCodes(int count)
{
    QStringList codes;
    for (int i = 1; i <= count; ++i)
        codes.append(QStringLiteral("UT%1").arg(i, 6, 10, QLatin1Char('0')));
    return codes;
}

// The middle of the A4 sheet: each half carries one copy of the code and its bar code.
constexpr double PageWidth = 595.28;
const QList<double> BetweenColumns{PageWidth / 2};
} // namespace

class LabelPrintingTest : public QObject {
    Q_OBJECT

private slots:
    void run_data()
    {
        QTest::addColumn<int>("labels");
        QTest::addColumn<int>("pages");
        QTest::newRow("4: one full page") << 4 << 1;
        QTest::newRow("5: second page, three empty rows") << 5 << 2;
        QTest::newRow("8: two full pages, no third") << 8 << 2;
        QTest::newRow("0: one page of empty rows") << 0 << 1;
    }

    // Four codes a page, each twice; every page a document (a file) of its own.
    void run()
    {
        QFETCH(int, labels);
        QFETCH(int, pages);
        QTemporaryDir dir;
        Printer printer;
        printer.setDevice(std::make_unique<PdfPrintDevice>(dir.path()));
        const QStringList codes = utCodes(labels);
        QList<int> progress;
        QString error;
        QVERIFY2(LabelPrinting::printRun(printer, codes, &error, [&progress](int i) { progress.append(i); }),
                 qPrintable(error));
        QCOMPARE(progress.size(), labels);
        if (labels > 0)
            QCOMPARE(progress.last(), labels);

        const QStringList files = PdfReadback::files(dir.path());
        QCOMPARE(files.size(), pages);
        for (int p = 0; p < pages; ++p) {
            QCOMPARE(PdfReadback::pages(files[p]), 1);
            const QStringList onPage = codes.mid(p * 4, 4);
            QStringList expected = onPage + onPage;
            expected.sort();
            QCOMPARE(PdfReadback::barcodes(files[p], 1, BetweenColumns), expected);

            const QString text = PdfReadback::pageTexts(files[p]).value(0);
            for (const QString& code : onPage) {
                QVERIFY2(text.contains(QRegularExpression(QStringLiteral("^ *%1 +%1 *$").arg(code),
                                                          QRegularExpression::MultilineOption)),
                         qPrintable(text));
                QCOMPARE(text.count(QStringLiteral("*%1*").arg(code)), 2);
            }
            // An empty row keeps its place: a bar-code line of two pairs of asterisks.
            const qsizetype emptyRows = 4 - onPage.size();
            QCOMPARE(text.count(QRegularExpression(QStringLiteral("^ *\\*\\* +\\*\\* *$"),
                                                   QRegularExpression::MultilineOption)),
                     emptyRows);
        }
    }

    // The rows sit where the page's lines, fonts and sizes put them.
    void rowPositions()
    {
        QTemporaryDir dir;
        Printer printer;
        printer.setDevice(std::make_unique<PdfPrintDevice>(dir.path()));
        QString error;
        const LabelPrinting::PageCodes codes{QStringLiteral("UT000011"), QStringLiteral("UT000012"),
                                             QStringLiteral("UT000013"), QStringLiteral("UT000014")};
        QVERIFY(LabelPrinting::XImprmEtiq(printer, codes, &error));
        QVERIFY(printer.endDocument());
        QList<double> tops;
        for (const auto& w : PdfReadback::words(PdfReadback::files(dir.path()).value(0), 1)) {
            if (w.text.startsWith(QStringLiteral("UT")))
                tops.append(w.top);
        }
        QCOMPARE(tops.size(), 8);
        std::sort(tops.begin(), tops.end());
        // Three 15 pt lines; then per row a 40 pt line, a 24 pt bar-code line, four 15 pt lines.
        const double courier = 1.133;
        const double first = 5 * 72 / 25.4 + 3 * 15 * courier;
        const double row = 40 * courier + 24 * 1.1 + 4 * 15 * courier;
        for (int r = 0; r < 4; ++r) {
            QVERIFY2(qAbs(tops[2 * r] - (first + r * row)) < 0.5, qPrintable(QString::number(tops[2 * r])));
            QCOMPARE(tops[2 * r + 1], tops[2 * r]);
        }
    }

    // Each copy's bars stand under its own text, inside its half of the sheet, and scan there;
    // a 12-character test code is narrowed to fit instead of running off the sheet.
    void copiesStayInTheirHalves()
    {
        QTemporaryDir dir;
        Printer printer;
        printer.setDevice(std::make_unique<PdfPrintDevice>(dir.path()));
        const QStringList codes{QStringLiteral("771376010001"), QStringLiteral("UT000001")};
        QString error;
        QVERIFY2(LabelPrinting::printRun(printer, codes, &error), qPrintable(error));
        const QString pdf = PdfReadback::files(dir.path()).value(0);
        QCOMPARE(PdfReadback::barcodes(pdf, 1, BetweenColumns), QStringList({codes[0], codes[0], codes[1], codes[1]}));

        // Words in reading order: per row the two code texts, then the two lines under the bars.
        QList<PdfReadback::Word> words = PdfReadback::words(pdf, 1);
        words.removeIf([](const PdfReadback::Word& w) { return w.text == QStringLiteral("**"); }); // empty rows
        QCOMPARE(words.size(), 8);
        for (int i = 0; i < 8; i += 4) {
            for (int copy = 0; copy < 2; ++copy) {
                const auto& text = words[i + copy];
                const auto& under = words[i + 2 + copy];
                QCOMPARE(under.text, QStringLiteral("*%1*").arg(text.text));
                QVERIFY2(copy == 0 ? text.right < PageWidth / 2 : text.left > PageWidth / 2, qPrintable(text.text));
                QVERIFY2(text.right <= PageWidth - 5 * 72 / 25.4 + 0.5, qPrintable(text.text));
                QVERIFY2(qAbs(under.left + under.right - text.left - text.right) < 24, qPrintable(under.text));
            }
        }
    }

    // A printer that fails stops the run with its message; the page in the making is dropped.
    void printerFailure()
    {
        Printer printer;
        auto owned = std::make_unique<FakePrintDevice>();
        FakePrintDevice* device = owned.get();
        printer.setDevice(std::move(owned));
        device->failFinish = true;
        QString error;
        int placed = 0;
        QVERIFY(!LabelPrinting::printRun(printer, utCodes(6), &error, [&placed](int) { ++placed; }));
        QCOMPARE(error, QStringLiteral("Bourrage papier."));
        QCOMPARE(placed, 5); // the first page went out when the fifth label was placed
        QVERIFY(!printer.documentOpen());

        device->failFinish = false;
        QVERIFY(!LabelPrinting::printRun(printer, {QStringLiteral("UT00000é")}, &error));
        QVERIFY(error.contains(QStringLiteral("UT00000é")));
        QCOMPARE(device->finished.last(), false);
    }
};

QTEST_MAIN(LabelPrintingTest)
#include "LabelPrintingTest.moc"
