#pragma once

#include <QString>

class QPagedPaintDevice;

// One output device of the printer object: a printer queue or a folder of PDF files. A document
// is one print job (one file); the printer object paints it with a QPainter.
class PrintDevice {
public:
    virtual ~PrintDevice() = default;

    // The device name shown to the operator and matched by the printer choice.
    virtual QString name() const = 0;

    // Starts a document. Returns the device to paint on, owned by this object and valid until
    // finishDocument(); null with a French `error` when the device cannot print.
    virtual QPagedPaintDevice* beginDocument(QString* error) = 0;

    // Asks the device, while the painter is still active, to drop the document instead of
    // sending it. finishDocument(false, ...) follows once the painter has ended.
    virtual void cancelDocument() {}

    // Called after the painter has ended. With `send` the job goes to the printer (the file is
    // published); without it everything of the document is discarded. Returns false with a
    // French `error` when a document that should have been sent was not.
    virtual bool finishDocument(bool send, QString* error) = 0;
};
