#pragma once

#include "platform/print/PrintDevice.h"

#include <QList>

#include <memory>

class QBuffer;
class QPdfWriter;

// A device that paints into memory, records what the printer object asked of it and can be
// told to fail when a document starts or when it is sent.
class FakePrintDevice final : public PrintDevice {
public:
    explicit FakePrintDevice(QString name = QStringLiteral("Fausse"));
    ~FakePrintDevice() override;

    bool failBegin = false;
    bool failFinish = false;

    int begun = 0;
    int cancelled = 0;
    QList<bool> finished; // the `send` flag of each finishDocument

    QString name() const override { return m_name; }
    QPagedPaintDevice* beginDocument(QString* error) override;
    void cancelDocument() override { ++cancelled; }
    bool finishDocument(bool send, QString* error) override;

private:
    QString m_name;
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<QPdfWriter> m_writer;
};
