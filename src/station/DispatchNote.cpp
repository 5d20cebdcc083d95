#include "DispatchNote.h"

#include "platform/Printer.h"

#include <algorithm>

namespace {
const QString CourierNew = QStringLiteral("Courier New");
const QString Underline = QString(86, QLatin1Char('_'));
const QStringList Headings = {QStringLiteral("POIDS"), QStringLiteral("LONGUEUR"), QStringLiteral("LARGEUR"),
                              QStringLiteral("HAUTEUR")};

QString spaces(qsizetype n)
{
    return QString(std::max<qsizetype>(0, n), QLatin1Char(' '));
}

QString printedDate(const QDate& date)
{
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

// The note's rule of 86 underscores, shortened to what the printable width holds in the current
// font: on A4 in 15 pt Courier only about 65 fit, and the rest ran off the page.
QString rule(Printer& printer)
{
    const double one = printer.textWidth(QStringLiteral("_"));
    const double width = printer.printableWidth();
    if (one <= 0 || width <= 0)
        return Underline; // the document did not start: the next line reports the failure
    return Underline.left(std::clamp(static_cast<qsizetype>(width / one), qsizetype(1), Underline.size()));
}

bool emptyLines(Printer& printer, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!printer.printLine())
            return false;
    }
    return true;
}
} // namespace

DispatchNote::DispatchNote(QString trainNumber, QList<PalletRow> pallets, QDate date, double totalWeight)
    : m_trainNumber(std::move(trainNumber))
    , m_pallets(std::move(pallets))
    , m_date(date)
    , m_totalWeight(totalWeight)
{}

bool DispatchNote::sumWeights(const QList<PalletRow>& pallets, double* total, QString* error)
{
    double sum = 0;
    for (const PalletRow& pallet : pallets) {
        bool ok = false;
        // The column may come back with a decimal comma from a French data source.
        const double weight = pallet.weight.trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok) {
            if (error)
                *error = QStringLiteral("La palette %1 n'a pas de poids numérique (« %2 »).")
                             .arg(pallet.code, pallet.weight);
            return false;
        }
        sum += weight;
    }
    if (total)
        *total = sum;
    return true;
}

QString DispatchNote::numberText(double value)
{
    return QString::number(value, 'g', 15);
}

QString DispatchNote::field(const QString& value)
{
    return (value + spaces(5)).left(4);
}

bool DispatchNote::printCover(Printer& printer) const
{
    const QString indent = spaces(8);
    printer.setFont(CourierNew, 15);
    if (!emptyLines(printer, 11) || !printer.printLine(rule(printer)) || !emptyLines(printer, 1) ||
        !printer.printLine(indent + QStringLiteral("EXPEDITION D'UN TRAIN")) || !emptyLines(printer, 1) ||
        !printer.printLine(indent + printedDate(m_date)) || !emptyLines(printer, 1) ||
        !printer.printLine(indent + QStringLiteral("Numéro de TRAIN: ") + m_trainNumber) || !emptyLines(printer, 1))
        return false;
    printer.setFont(Printer::BarcodeFont, 20);
    if (!printer.printLine(QStringLiteral("   *") + m_trainNumber + QStringLiteral("*")))
        return false;
    printer.setFont(CourierNew, 15);
    return printer.printLine(rule(printer)) && emptyLines(printer, 3) &&
           printer.printLine(indent + QStringLiteral("Nombre de palette: ") + QString::number(m_pallets.size())) &&
           emptyLines(printer, 1) &&
           printer.printLine(indent + QStringLiteral("Poids Total      : ") + numberText(m_totalWeight) +
                             QStringLiteral(" Kg")) &&
           emptyLines(printer, 3) && printer.printLine(rule(printer)) && emptyLines(printer, 2) &&
           printer.printLine(indent + QStringLiteral("Pris en charge le :   ")) && emptyLines(printer, 2) &&
           printer.printLine(indent + QStringLiteral("Observations      :   "));
}

QString DispatchNote::headingLine()
{
    return QStringLiteral("  PALETTE") + spaces(37) + Headings[0] + spaces(7) + Headings[1] + spaces(7) + Headings[2] +
           spaces(7) + Headings[3];
}

bool DispatchNote::printHeader(Printer& printer, int page) const
{
    printer.setFont(CourierNew, 10);
    const QString title = QStringLiteral("  BORDEREAU D'EXPEDITION  ") + printedDate(m_date);
    const QString number = QStringLiteral("Page: ") + QString::number(page);
    if (!printer.printText(title))
        return false;
    // 55 spaces on, unless that runs past the printable area: then against its right edge.
    const double left = std::min(printer.column() + printer.textWidth(spaces(55)),
                                 printer.printableWidth() - printer.textWidth(number));
    if (!printer.printTextAt(left, number) || !printer.printLine())
        return false;
    printer.setFont(CourierNew, 9);
    return printer.printLine(headingLine());
}

bool DispatchNote::printPallet(Printer& printer, const PalletRow& pallet, const QList<double>& columns) const
{
    printer.setFont(CourierNew, 10);
    if (!printer.printLine())
        return false;
    printer.setFont(Printer::BarcodeFont, 8);
    if (!printer.printText(QStringLiteral("  *") + pallet.code + QStringLiteral("*")))
        return false;
    printer.setFont(CourierNew, 11);
    if (!printer.printText(QStringLiteral(" ") + pallet.code))
        return false;
    // Each value under its heading; a long code pushes the values right instead of covering them.
    const QStringList values = {pallet.weight, pallet.length, pallet.width, pallet.height};
    const double character = printer.textWidth(QStringLiteral(" "));
    for (qsizetype k = 0; k < values.size(); ++k) {
        const double left = std::max(columns[k], printer.column() + character);
        if (!printer.printTextAt(left, field(values[k])))
            return false;
    }
    return printer.printLine(QStringLiteral(" "));
}

bool DispatchNote::print(Printer& printer, QString* error, const std::function<void(int)>& onPallet) const
{
    auto failed = [&printer, error] {
        if (error)
            *error = printer.errorText();
        printer.abortDocument();
        return false;
    };
    // Whatever was left open belongs to someone else's run; the note is a document of its own.
    if (!printer.endDocument())
        return failed();
    if (!printCover(printer))
        return failed();

    // Where the headings stand, so the values can stand under them.
    printer.setFont(CourierNew, 9);
    const QString heading = headingLine();
    QList<double> columns;
    for (const QString& name : Headings)
        columns << printer.textWidth(heading.left(heading.indexOf(name)));

    int linesOnPage = PalletsPerPage;
    int page = 0;
    for (qsizetype j = 0; j < m_pallets.size(); ++j) {
        if (onPallet)
            onPallet(static_cast<int>(j + 1));
        if (linesOnPage == PalletsPerPage) {
            ++page;
            if (!printer.newPage() || !printHeader(printer, page))
                return failed();
            linesOnPage = 0;
        }
        ++linesOnPage;
        if (!printPallet(printer, m_pallets[j], columns))
            return failed();
    }
    if (!printer.endDocument()) {
        if (error)
            *error = printer.errorText();
        return false;
    }
    return true;
}
