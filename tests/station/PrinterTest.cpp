#include "FakePrintDevice.h"
#include "PdfReadback.h"

#include "platform/Printer.h"
#include "platform/print/PdfPrintDevice.h"
#include "platform/print/PrinterCatalog.h"
#include "platform/print/SystemPrintDevice.h"

#include <QFontDatabase>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QtTest>

class PrinterTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Printer> m_printer;
    QString folder() const { return m_dir.path(); }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        for (const QString& f : PdfReadback::files(folder()))
            QFile::remove(f);
        m_printer = std::make_unique<Printer>();
        m_printer->setDevice(std::make_unique<PdfPrintDevice>(folder()));
    }

    // Lines go down by the font's height from the left margin; printText stays on the line.
    void linesAdvanceByFontHeight()
    {
        Printer& p = *m_printer;
        p.setFont(QStringLiteral("Courier New"), 15);
        QVERIFY(p.printLine(QStringLiteral("UN")));
        QVERIFY(p.printLine(QStringLiteral("DEUX")));
        QVERIFY(p.printLine());
        QVERIFY(p.printText(QStringLiteral("TROIS")));
        p.setFont(QStringLiteral("Courier New"), 40);
        QVERIFY(p.printText(QStringLiteral("-QUATRE")));
        QVERIFY(p.printLine(QStringLiteral("-CINQ")));
        p.setFont(QStringLiteral("Courier New"), 10);
        QVERIFY(p.printLine(QStringLiteral("SIX")));
        QVERIFY(p.endDocument());

        const QStringList files = PdfReadback::files(folder());
        QCOMPARE(files.size(), 1);
        QHash<QString, PdfReadback::Word> at;
        for (const auto& w : PdfReadback::words(files[0], 1))
            at.insert(w.text, w);
        QCOMPARE(at.keys().size(), 5);
        // Lines start at the printable area of a printer, 5 mm in from the paper's edges.
        const double margin = 5 * 72 / 25.4;
        for (const QString& w :
             {QStringLiteral("UN"), QStringLiteral("DEUX"), QStringLiteral("TROIS"), QStringLiteral("SIX")})
            QVERIFY2(qAbs(at[w].left - margin) < 0.5, qPrintable(QStringLiteral("%1 %2").arg(w).arg(at[w].left)));
        QVERIFY2(qAbs(at[QStringLiteral("UN")].top - margin) < 1, qPrintable(QString::number(at["UN"].top)));
        // Courier New's height is 1.133 em: 17 pt at 15 pt, an empty line too.
        const double courier15 = 15 * 1.133;
        QVERIFY(qAbs(at[QStringLiteral("DEUX")].top - at[QStringLiteral("UN")].top - courier15) < 0.3);
        QVERIFY(qAbs(at[QStringLiteral("TROIS")].top - at[QStringLiteral("UN")].top - 3 * courier15) < 0.3);
        // Text printed on the same line continues after the last character, from the same top,
        // and the next line is below the tallest font used on it (the current one, 40 pt).
        const auto& quatre = at[QStringLiteral("-QUATRE-CINQ")];
        QVERIFY(qAbs(quatre.left - (margin + 5 * 9.0)) < 0.5);
        QVERIFY(qAbs(quatre.top - at[QStringLiteral("TROIS")].top) < 0.3);
        QVERIFY(qAbs(at[QStringLiteral("SIX")].top - quatre.top - 40 * 1.133) < 0.3);

        // Courier New itself, or its metric twin where it is not installed.
        const QStringList fonts = PdfReadback::fonts(files[0]);
        const bool hasCourier = QFontDatabase::families().contains(QStringLiteral("Courier New"));
        QVERIFY2(fonts.contains(hasCourier ? QStringLiteral("CourierNewPSMT") : QStringLiteral("LiberationMono")),
                 qPrintable(fonts.join(QLatin1Char(','))));
    }

    // Runs between asterisks become bars that scan; the rest stays text; "**" is no symbol.
    void barcodesScan()
    {
        Printer& p = *m_printer;
        p.setFont(Printer::BarcodeFont, 24);
        QVERIFY(p.printLine(QStringLiteral("  *UT000001*  *UT000001*")));
        p.setFont(Printer::BarcodeFont, 20);
        QVERIFY(p.printLine(QStringLiteral("   *TRAIN-42*")));
        p.setFont(QStringLiteral("Courier New"), 10);
        QVERIFY(p.printLine());
        p.setFont(QStringLiteral("idautomationhc39m"), 8);
        QVERIFY(p.printText(QStringLiteral("  *771376010001*")));
        p.setFont(QStringLiteral("Courier New"), 11);
        QVERIFY(p.printLine(QStringLiteral(" suite")));
        p.setFont(Printer::BarcodeFont, 24);
        QVERIFY(p.printLine(QStringLiteral("  **  **")));
        QVERIFY(p.printLine(QStringLiteral("lot *SANS-FIN")));
        QVERIFY(p.endDocument());

        const QString pdf = PdfReadback::files(folder()).value(0);
        QCOMPARE(PdfReadback::barcodes(pdf, 1, {250}),
                 QStringList({QStringLiteral("771376010001"), QStringLiteral("TRAIN-42"), QStringLiteral("UT000001"),
                              QStringLiteral("UT000001")}));
        const QString text = PdfReadback::pageTexts(pdf).value(0);
        QVERIFY2(text.contains(QStringLiteral("*UT000001*")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("**")));
        QVERIFY(text.contains(QStringLiteral("lot *SANS-FIN")));
        QVERIFY(text.contains(QStringLiteral("suite")));

        // A character Code 39 cannot carry fails the line; the page is not sent half-made.
        QVERIFY(!p.printLine(QStringLiteral("*Été*")));
        QVERIFY(p.errorText().contains(QStringLiteral("Été")));
        p.abortDocument();
        QCOMPARE(PdfReadback::files(folder()).size(), 1);
    }

    // One file per document, none without output; new pages and full pages both add a page.
    void documentsAndPages()
    {
        Printer& p = *m_printer;
        QVERIFY(p.endDocument());
        QVERIFY(PdfReadback::files(folder()).isEmpty());

        p.setFont(QStringLiteral("Courier New"), 15);
        for (int i = 1; i <= 100; ++i)
            QVERIFY(p.printLine(QStringLiteral("ligne %1").arg(i)));
        QVERIFY(p.newPage());
        QVERIFY(p.printLine(QStringLiteral("apres saut")));
        QVERIFY(p.endDocument());
        QVERIFY(p.printLine(QStringLiteral("second document")));
        QVERIFY(p.endDocument());

        const QStringList files = PdfReadback::files(folder());
        QCOMPARE(files.size(), 2);
        // 48 lines of 17 pt fit in the printable height of A4; none may be lost off the bottom.
        QCOMPARE(PdfReadback::pages(files[0]), 4);
        const QString all = PdfReadback::pageTexts(files[0]).join(QLatin1Char('\n'));
        for (int i = 1; i <= 100; ++i)
            QVERIFY2(all.contains(QStringLiteral("ligne %1\n").arg(i)), qPrintable(QString::number(i)));
        QVERIFY(PdfReadback::pageTexts(files[0]).value(3).contains(QStringLiteral("apres saut")));
        QCOMPARE(PdfReadback::pages(files[1]), 1);
    }

    // A device that fails is reported, never taken for a printed page.
    void failuresAreReported()
    {
        Printer p;
        QVERIFY(!p.printLine(QStringLiteral("x")));
        QCOMPARE(p.errorText(), QStringLiteral("Aucune imprimante n'est choisie."));

        auto owned = std::make_unique<FakePrintDevice>();
        FakePrintDevice* device = owned.get();
        p.setDevice(std::move(owned));
        device->failBegin = true;
        QVERIFY(!p.printLine(QStringLiteral("x")));
        QCOMPARE(p.errorText(), QStringLiteral("Imprimante hors ligne."));
        QVERIFY(!p.documentOpen());

        device->failBegin = false;
        device->failFinish = true;
        QVERIFY(p.printLine(QStringLiteral("x")));
        QVERIFY(!p.endDocument());
        QCOMPARE(p.errorText(), QStringLiteral("Bourrage papier."));

        QVERIFY(p.printLine(QStringLiteral("y")));
        p.abortDocument();
        QCOMPARE(device->cancelled, 1);
        QCOMPARE(device->finished, QList<bool>({true, false}));
    }

    void catalogue()
    {
        QStringList opened;
        auto opener = [&opened](const QString& name) {
            opened.append(name);
            return std::make_unique<FakePrintDevice>(name);
        };
        const PrinterCatalog none({}, opener, QString());
        QVERIFY(none.deviceNames().isEmpty());
        QVERIFY(!none.open(QString()));

        const QString pdfName = PdfPrintDevice::deviceName(folder());
        const PrinterCatalog catalog({QStringLiteral("Laser"), QStringLiteral("Etiq"), QStringLiteral("Laser")}, opener,
                                     folder());
        QCOMPARE(catalog.deviceNames(),
                 QStringList({QStringLiteral("Laser"), QStringLiteral("Etiq"), QStringLiteral("Laser"), pdfName}));
        QCOMPARE(catalog.open(QStringLiteral("Etiq"))->name(), QStringLiteral("Etiq"));
        QVERIFY(!catalog.open(QStringLiteral("Absente")));
        QCOMPARE(opened, QStringList({QStringLiteral("Etiq")}));

        Printer p;
        p.setDevice(catalog.open(pdfName));
        QCOMPARE(p.deviceName(), pdfName);
        QVERIFY(p.printLine(QStringLiteral("vers le dossier")));
        QVERIFY(p.endDocument());
        QCOMPARE(PdfReadback::files(folder()).size(), 1);

        // The real list: the system's printers first, in its order, then the PDF folder.
        const QStringList system = SystemPrintDevice::catalog(folder()).deviceNames();
        QCOMPARE(system, QPrinterInfo::availablePrinterNames() + QStringList(pdfName));
        QCOMPARE(SystemPrintDevice::catalog(QString()).deviceNames(), QPrinterInfo::availablePrinterNames());
    }
};

QTEST_MAIN(PrinterTest)
#include "PrinterTest.moc"
