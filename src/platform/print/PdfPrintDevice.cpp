#include "PdfPrintDevice.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>

PdfPrintDevice::PdfPrintDevice(QString folder)
    : m_folder(std::move(folder))
{}

PdfPrintDevice::~PdfPrintDevice() = default;

QString PdfPrintDevice::deviceName(const QString& folder)
{
    return QStringLiteral("PDF - ") + QDir::toNativeSeparators(folder);
}

QString PdfPrintDevice::name() const
{
    return deviceName(m_folder);
}

QPagedPaintDevice* PdfPrintDevice::beginDocument(QString* error)
{
    if (!QDir().mkpath(m_folder)) {
        if (error)
            *error = QStringLiteral("Impossible de créer le dossier PDF %1.").arg(QDir::toNativeSeparators(m_folder));
        return nullptr;
    }
    m_writer.reset();
    m_buffer = std::make_unique<QBuffer>();
    m_buffer->open(QIODevice::WriteOnly);
    m_writer = std::make_unique<QPdfWriter>(m_buffer.get());
    m_writer->setResolution(Resolution);
    m_writer->setCreator(QStringLiteral("VORN_UPDATE_VERSION"));
    // The printable margins of a real printer: a PDF printed on paper loses nothing, and lines
    // count from the printable area as they do on a printer.
    m_writer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                        QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter,
                                        QMarginsF(0, 0, 0, 0)));
    return m_writer.get();
}

QString PdfPrintDevice::nextFileName() const
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
    QString path;
    do {
        ++m_sequence;
        path = QDir(m_folder).filePath(
            QStringLiteral("impression-%1-%2.pdf").arg(stamp).arg(m_sequence, 4, 10, QLatin1Char('0')));
    } while (QFileInfo::exists(path));
    return path;
}

bool PdfPrintDevice::finishDocument(bool send, QString* error)
{
    m_writer.reset(); // flushes the end of the PDF into the buffer
    std::unique_ptr<QBuffer> buffer = std::move(m_buffer);
    if (!send || !buffer)
        return true;
    const QString path = nextFileName();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(buffer->data()) != buffer->data().size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Impossible d'écrire le fichier PDF %1 : %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    m_lastFile = path;
    return true;
}
