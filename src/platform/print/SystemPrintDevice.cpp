#include "SystemPrintDevice.h"

#include <QPrinter>
#include <QPrinterInfo>

SystemPrintDevice::SystemPrintDevice(QString printerName)
    : m_name(std::move(printerName))
{}

SystemPrintDevice::~SystemPrintDevice() = default;

PrinterCatalog SystemPrintDevice::catalog(const QString& pdfDir)
{
    return PrinterCatalog(
        QPrinterInfo::availablePrinterNames(),
        [](const QString& name) { return std::make_unique<SystemPrintDevice>(name); }, pdfDir);
}

QPagedPaintDevice* SystemPrintDevice::beginDocument(QString* error)
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(m_name);
    if (info.isNull()) {
        if (error)
            *error = QStringLiteral("L'imprimante %1 n'est plus installée.").arg(m_name);
        return nullptr;
    }
    m_printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    m_printer->setCopyCount(1);
    m_printer->setDocName(QStringLiteral("VORN_UPDATE_VERSION"));
    if (!m_printer->isValid()) {
        if (error)
            *error = QStringLiteral("L'imprimante %1 n'est pas utilisable.").arg(m_name);
        m_printer.reset();
        return nullptr;
    }
    return m_printer.get();
}

void SystemPrintDevice::cancelDocument()
{
    if (m_printer)
        m_printer->abort();
}

bool SystemPrintDevice::finishDocument(bool send, QString* error)
{
    const bool failed = send && m_printer && m_printer->printerState() == QPrinter::Error;
    m_printer.reset();
    if (failed && error)
        *error = QStringLiteral("L'imprimante %1 a signalé une erreur.").arg(m_name);
    return !failed;
}
