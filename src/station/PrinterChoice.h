#pragma once

#include <QString>

class Printer;
class PrinterCatalog;

// The printer choice shared by the label run and the dispatch: the first device of the
// catalogue with the chosen name becomes the application's current printer.
class PrinterChoice final {
public:
    // An empty name keeps the current printer. False with a French `error` when no device of
    // that name can be opened.
    static bool choose(Printer& printer, const PrinterCatalog& catalog, const QString& name, QString* error);
};
