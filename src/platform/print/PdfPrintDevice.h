#pragma once

#include "PrintDevice.h"

#include <QString>

#include <memory>

class QBuffer;
class QPdfWriter;

// Writes every document as a new PDF file in a folder: A4 portrait with a printer's 5 mm
// margins, 1200 dpi so bar-code modules fall on whole device pixels. A file appears whole or not
// at all.
class PdfPrintDevice final : public PrintDevice {
public:
    explicit PdfPrintDevice(QString folder);
    ~PdfPrintDevice() override;
    PdfPrintDevice(const PdfPrintDevice&) = delete;
    PdfPrintDevice& operator=(const PdfPrintDevice&) = delete;

    // "PDF - " and the folder: cannot collide with a queue name, and tells where the files go.
    static QString deviceName(const QString& folder);

    QString name() const override;
    QPagedPaintDevice* beginDocument(QString* error) override;
    bool finishDocument(bool send, QString* error) override;

    // Path of the last file written, empty before the first.
    QString lastFile() const { return m_lastFile; }

    static constexpr int Resolution = 1200;
    static constexpr double MarginMm = 5;

private:
    QString nextFileName() const;

    QString m_folder;
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<QPdfWriter> m_writer;
    QString m_lastFile;
    mutable int m_sequence = 0;
};
