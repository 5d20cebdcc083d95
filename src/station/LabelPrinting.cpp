#include "LabelPrinting.h"

#include "platform/Printer.h"

namespace {
const QString CourierNew = QStringLiteral("Courier New");

bool emptyLines(Printer& printer, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!printer.printLine())
            return false;
    }
    return true;
}

bool failed(Printer& printer, QString* error)
{
    if (error)
        *error = printer.errorText();
    printer.abortDocument();
    return false;
}
} // namespace

bool LabelPrinting::XImprmEtiq(Printer& printer, const PageCodes& codes, QString* error)
{
    printer.setFont(CourierNew, 15);
    if (!emptyLines(printer, 3))
        return failed(printer, error);
    const double width = printer.printableWidth();
    if (width <= 0)
        return failed(printer, error);
    for (std::size_t row = 0; row < codes.size(); ++row) {
        const QString& code = codes[row];
        const QString line = QStringLiteral("   ") + code + QStringLiteral("   ") + code;
        // A long code prints smaller rather than losing its right-hand copy off the sheet.
        printer.setFont(CourierNew, TextPoints);
        const double natural = printer.textWidth(line);
        printer.setFont(CourierNew, natural > width ? TextPoints * width / natural : TextPoints);
        const double left = printer.textWidth(QStringLiteral("   "));
        const double right = printer.textWidth(QStringLiteral("   ") + code + QStringLiteral("   "));
        if (!printer.printLine(line))
            return failed(printer, error);
        // Each bar code under its own text and inside its half of the sheet.
        printer.setFont(Printer::BarcodeFont, BarcodePoints);
        const QString symbol = QStringLiteral("*") + code + QStringLiteral("*");
        printer.setBarcodeWidthLimit(width / 2 - left);
        const bool leftPrinted = printer.printTextAt(left, symbol);
        printer.setBarcodeWidthLimit(width - right);
        const bool rightPrinted = leftPrinted && printer.printTextAt(right, symbol);
        printer.setBarcodeWidthLimit(0);
        if (!rightPrinted || !printer.printLine())
            return failed(printer, error);
        if (row + 1 < codes.size()) {
            printer.setFont(CourierNew, 15);
            if (!emptyLines(printer, 4))
                return failed(printer, error);
        }
    }
    return true;
}

bool LabelPrinting::printRun(Printer& printer, const QStringList& codes, QString* error,
                             const std::function<void(int)>& onLabel)
{
    PageCodes page;
    int onPage = 0;
    for (qsizetype i = 0; i < codes.size(); ++i) {
        if (++onPage == 5) {
            if (!XImprmEtiq(printer, page, error))
                return false;
            page.fill(QString());
            onPage = 1;
        }
        page[static_cast<std::size_t>(onPage - 1)] = codes[i];
        if (onLabel)
            onLabel(static_cast<int>(i + 1));
        // Sends the page printed above, if any: one document per page.
        if (!printer.endDocument())
            return failed(printer, error);
    }
    if (!XImprmEtiq(printer, page, error))
        return false;
    if (!printer.endDocument())
        return failed(printer, error);
    return true;
}
