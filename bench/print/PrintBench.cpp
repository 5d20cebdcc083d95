// Times the printing layouts against the PDF device:
//   bench_print [output folder]
// The note's time is printed for 250, 500 and 1,000 pallets so its growth can be judged; the
// 1,000-pallet note should stay under 3 s.
#include "platform/Printer.h"
#include "platform/print/PdfPrintDevice.h"
#include "station/DispatchNote.h"
#include "station/LabelPrinting.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {
QString code(int i)
{
    return QStringLiteral("UT%1").arg(i, 6, 10, QLatin1Char('0'));
}

int pdfPages(const QString& folder)
{
    int pages = 0;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.pdf")}, QDir::Files)) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            pages += static_cast<int>(f.readAll().count("/Type /Page\n"));
    }
    return pages;
}

bool noteRun(const QString& root, int pallets, QTextStream& out)
{
    const QString folder = QDir(root).filePath(QStringLiteral("note-%1").arg(pallets));
    QList<PalletRow> rows;
    for (int i = 1; i <= pallets; ++i)
        rows.append({code(i), QString::number(400 + i % 600), QStringLiteral("120"), QStringLiteral("80"),
                     QStringLiteral("150")});
    double total = 0;
    QString error;
    QElapsedTimer timer;
    timer.start();
    Printer printer;
    printer.setDevice(std::make_unique<PdfPrintDevice>(folder));
    const bool ok = DispatchNote::sumWeights(rows, &total, &error) &&
                    DispatchNote(QStringLiteral("T0001"), rows, QDate::currentDate(), total).print(printer, &error);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!ok) {
        out << "note " << pallets << ": " << error << Qt::endl;
        return false;
    }
    const int pages = pdfPages(folder);
    out << QStringLiteral("note %1 pallets: %2 s, %3 pages, %4 pages/s, %5 ms per 100 pallets")
               .arg(pallets, 5)
               .arg(seconds, 0, 'f', 3)
               .arg(pages)
               .arg(pages / seconds, 0, 'f', 1)
               .arg(seconds * 1e5 / pallets, 0, 'f', 1)
        << Qt::endl;
    return true;
}

bool labelRun(const QString& root, int labels, QTextStream& out)
{
    const QString folder = QDir(root).filePath(QStringLiteral("labels"));
    QStringList codes;
    for (int i = 1; i <= labels; ++i)
        codes.append(code(i));
    QString error;
    QElapsedTimer timer;
    timer.start();
    Printer printer;
    printer.setDevice(std::make_unique<PdfPrintDevice>(folder));
    const bool ok = LabelPrinting::printRun(printer, codes, &error);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!ok) {
        out << "labels: " << error << Qt::endl;
        return false;
    }
    const int pages = pdfPages(folder);
    out << QStringLiteral("labels %1: %2 s, %3 pages (one file each), %4 pages/s")
               .arg(labels)
               .arg(seconds, 0, 'f', 3)
               .arg(pages)
               .arg(pages / seconds, 0, 'f', 1)
        << Qt::endl;
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    QTemporaryDir scratch;
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : scratch.path();
    QTextStream out(stdout);
    bool ok = noteRun(root, 50, out); // warms up fonts and the PDF engine
    for (int pallets : {250, 500, 1000})
        ok = noteRun(root, pallets, out) && ok;
    ok = labelRun(root, 2000, out) && ok;
    return ok ? 0 : 1;
}
