#include "PrinterCatalog.h"

#include "PdfPrintDevice.h"

PrinterCatalog::PrinterCatalog(QStringList installed, Opener openInstalled, QString pdfDir)
    : m_names(std::move(installed))
    , m_installedCount(m_names.size())
    , m_openInstalled(std::move(openInstalled))
    , m_pdfDir(std::move(pdfDir))
{
    if (!m_pdfDir.isEmpty())
        m_names.append(PdfPrintDevice::deviceName(m_pdfDir));
}

std::unique_ptr<PrintDevice> PrinterCatalog::open(const QString& name) const
{
    const qsizetype index = m_names.indexOf(name);
    if (index < 0)
        return nullptr;
    if (index < m_installedCount)
        return m_openInstalled ? m_openInstalled(name) : nullptr;
    return std::make_unique<PdfPrintDevice>(m_pdfDir);
}
