#pragma once

#include "PrintDevice.h"
#include "PrinterCatalog.h"

#include <memory>

class QPrinter;

// An installed printer queue (CUPS on Linux) through Qt's print support. Lives in vorn_gui
// because QtPrintSupport pulls in QtWidgets.
class SystemPrintDevice final : public PrintDevice {
public:
    explicit SystemPrintDevice(QString printerName);
    ~SystemPrintDevice() override;
    SystemPrintDevice(const SystemPrintDevice&) = delete;
    SystemPrintDevice& operator=(const SystemPrintDevice&) = delete;

    // The installed printers in the system's order, plus the PDF device when `pdfDir` is set.
    static PrinterCatalog catalog(const QString& pdfDir);

    QString name() const override { return m_name; }
    QPagedPaintDevice* beginDocument(QString* error) override;
    void cancelDocument() override;
    bool finishDocument(bool send, QString* error) override;

private:
    QString m_name;
    std::unique_ptr<QPrinter> m_printer;
};
