#include "PrinterChoice.h"

#include "platform/Printer.h"
#include "platform/print/PrintDevice.h"
#include "platform/print/PrinterCatalog.h"

bool PrinterChoice::choose(Printer& printer, const PrinterCatalog& catalog, const QString& name, QString* error)
{
    if (name.isEmpty())
        return true;
    std::unique_ptr<PrintDevice> device = catalog.open(name);
    if (!device) {
        if (error)
            *error = QStringLiteral("L'imprimante « %1 » n'est pas disponible.").arg(name);
        return false;
    }
    if (!printer.setDevice(std::move(device))) {
        if (error)
            *error = printer.errorText();
        return false;
    }
    return true;
}
