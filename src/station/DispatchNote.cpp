#include "DispatchNote.h"

#include "platform/Printer.h"

#include <algorithm>

namespace {
const QString CourierNew = QStringLiteral("Courier New");
const QString Underline = QString(86, QLatin1Char('_'));

QString spaces(qsizetype n)
{
    return QString(std::max<qsizetype>(0, n), QLatin1Char(' '));
}

QString printedDate(const QDate& date)
{
    return date.toString(QStringLiteral("dd/MM/yyyy"));
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

QString DispatchNote::headerLine(const QDate& date, int page)
{
    return QStringLiteral("  BORDEREAU D'EXPEDITION  ") + printedDate(date) + spaces(55) + QStringLiteral("Page: ") +
           QString::number(page);
}

QString DispatchNote::palletLine(const PalletRow& pallet)
{
    // A code longer than 15 characters pushes the columns right instead of losing them.
    return QStringLiteral(" ") + pallet.code + spaces(15 - pallet.code.size()) + spaces(4) + field(pallet.weight) +
           spaces(8) + field(pallet.length) + spaces(7) + field(pallet.width) + spaces(8) + field(pallet.height);
}

bool DispatchNote::printCover(Printer& printer) const
{
    const QString indent = spaces(8);
    printer.setFont(CourierNew, 15);
    if (!emptyLines(printer, 11) || !printer.printLine(Underline) || !emptyLines(printer, 1) ||
        !printer.printLine(indent + QStringLiteral("EXPEDITION D'UN TRAIN")) || !emptyLines(printer, 1) ||
        !printer.printLine(indent + printedDate(m_date)) || !emptyLines(printer, 1) ||
        !printer.printLine(indent + QStringLiteral("Numéro de TRAIN: ") + m_trainNumber) || !emptyLines(printer, 1))
        return false;
    printer.setFont(Printer::BarcodeFont, 20);
    if (!printer.printLine(QStringLiteral("   *") + m_trainNumber + QStringLiteral("*")))
        return false;
    printer.setFont(CourierNew, 15);
    return printer.printLine(Underline) && emptyLines(printer, 3) &&
           printer.printLine(indent + QStringLiteral("Nombre de palette: ") + QString::number(m_pallets.size())) &&
           emptyLines(printer, 1) &&
           printer.printLine(indent + QStringLiteral("Poids Total      : ") + numberText(m_totalWeight) +
                             QStringLiteral(" Kg")) &&
           emptyLines(printer, 3) && printer.printLine(Underline) && emptyLines(printer, 2) &&
           printer.printLine(indent + QStringLiteral("Pris en charge le :   ")) && emptyLines(printer, 2) &&
           printer.printLine(indent + QStringLiteral("Observations      :   "));
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

    int linesOnPage = PalletsPerPage;
    int page = 0;
    for (qsizetype j = 0; j < m_pallets.size(); ++j) {
        const PalletRow& pallet = m_pallets[j];
        if (onPallet)
            onPallet(static_cast<int>(j + 1));
        if (linesOnPage == PalletsPerPage) {
            ++page;
            if (!printer.newPage())
                return failed();
            printer.setFont(CourierNew, 10);
            if (!printer.printLine(headerLine(m_date, page)))
                return failed();
            printer.setFont(CourierNew, 9);
            if (!printer.printLine(QStringLiteral("  PALETTE") + spaces(37) + QStringLiteral("POIDS") + spaces(7) +
                                   QStringLiteral("LONGUEUR") + spaces(7) + QStringLiteral("LARGEUR") + spaces(7) +
                                   QStringLiteral("HAUTEUR")))
                return failed();
            linesOnPage = 0;
        }
        ++linesOnPage;
        printer.setFont(CourierNew, 10);
        if (!printer.printLine())
            return failed();
        printer.setFont(Printer::BarcodeFont, 8);
        if (!printer.printText(QStringLiteral("  *") + pallet.code + QStringLiteral("*")))
            return failed();
        printer.setFont(CourierNew, 11);
        if (!printer.printText(palletLine(pallet)) || !printer.printLine(QStringLiteral(" ")))
            return failed();
    }
    if (!printer.endDocument()) {
        if (error)
            *error = printer.errorText();
        return false;
    }
    return true;
}
