#include "FakePrintDevice.h"

#include <QBuffer>
#include <QPdfWriter>

FakePrintDevice::FakePrintDevice(QString name)
    : m_name(std::move(name))
{}

FakePrintDevice::~FakePrintDevice() = default;

QPagedPaintDevice* FakePrintDevice::beginDocument(QString* error)
{
    ++begun;
    if (failBegin) {
        *error = QStringLiteral("Imprimante hors ligne.");
        return nullptr;
    }
    m_buffer = std::make_unique<QBuffer>();
    m_buffer->open(QIODevice::WriteOnly);
    m_writer = std::make_unique<QPdfWriter>(m_buffer.get());
    return m_writer.get();
}

bool FakePrintDevice::finishDocument(bool send, QString* error)
{
    finished.append(send);
    m_writer.reset();
    m_buffer.reset();
    if (send && failFinish) {
        if (error)
            *error = QStringLiteral("Bourrage papier.");
        return false;
    }
    return true;
}
