#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <functional>

class Printer;

// The handling-unit labels: four codes a page, each code twice side by side, one in each half of
// the sheet, in large characters above its Code 39 bar code.
class LabelPrinting final {
public:
    using PageCodes = std::array<QString, 4>;

    static constexpr double TextPoints = 40;
    static constexpr double BarcodePoints = 24;

    // One page from the four codes; an empty code prints an empty row. Does not end the page.
    static bool XImprmEtiq(Printer& printer, const PageCodes& codes, QString* error);

    // The label run over `codes`, one label each, in order: every page is a document of its own,
    // and no codes still print one page of empty rows. `onLabel` is called with the label's
    // 1-based number after it has been placed. On failure the unfinished page is dropped.
    static bool printRun(Printer& printer, const QStringList& codes, QString* error,
                         const std::function<void(int)>& onLabel = {});
};
