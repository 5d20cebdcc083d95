#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class PrintDevice;

// The devices the operator can choose from: the installed printers in the system's order and,
// when a PDF folder is configured, one more device that writes each document as a PDF file.
class PrinterCatalog final {
public:
    using Opener = std::function<std::unique_ptr<PrintDevice>(const QString& name)>;

    // `openInstalled` builds the device of an installed printer from its name. An empty `pdfDir`
    // leaves the PDF device out.
    PrinterCatalog(QStringList installed, Opener openInstalled, QString pdfDir);

    // Device names in list order; empty without printers and without PDF folder.
    QStringList deviceNames() const { return m_names; }

    // The device of the first entry equal to `name`; null when no entry matches.
    std::unique_ptr<PrintDevice> open(const QString& name) const;

private:
    QStringList m_names;
    qsizetype m_installedCount = 0;
    Opener m_openInstalled;
    QString m_pdfDir;
};
