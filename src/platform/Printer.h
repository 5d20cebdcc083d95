#pragma once

#include <QFont>
#include <QHash>
#include <QString>

#include <memory>

class PrintDevice;
class QPagedPaintDevice;
class QPainter;

// The application's printer object, used the old way: choose a device, set a font by name and
// size, print lines one below the other from the left margin of the printable area, start new
// pages, end the document. A document starts with the first output and is one print job.
//
// Text printed in the bar-code font (BarcodeFont) is drawn as Code 39 bars: every run between
// two "*" becomes a symbol with its human-readable text under it; text outside the runs prints
// as plain text. The bars sit on whole device pixels so the printed symbol scans.
class Printer final {
public:
    static const QString BarcodeFont; // "IDAutomationHC39M"

    Printer();
    ~Printer(); // an open document is ended and sent
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    // Makes `device` the current printer (null: none). An open document is ended first; returns
    // false when that failed.
    bool setDevice(std::unique_ptr<PrintDevice> device);
    PrintDevice* device() const { return m_device.get(); }
    QString deviceName() const;

    // Current font; takes effect for the next output. Size in points.
    void setFont(const QString& name, double pointSize);
    QString fontName() const { return m_fontName; }
    double fontSize() const { return m_fontSize; }

    // Prints `text` at the current position, then moves to the start of the next line, below
    // by the current font's height. An empty text only moves down.
    bool printLine(const QString& text = QString());

    // Prints `text` and stays on the same line, after it.
    bool printText(const QString& text);

    // Prints `text` on the current line from `left` points right of the printable area's left
    // edge, and stays on the line after it.
    bool printTextAt(double left, const QString& text);

    // Where the next output of the current line starts, in points from the printable area's left.
    double column() const;

    // Width in points of `text` in the current font (bar codes included). Starts the document,
    // as the next output would; -1 when it cannot start.
    double textWidth(const QString& text);

    // Width in points of the printable area; starts the document like textWidth().
    double printableWidth();

    // Bar codes drawn from now on are narrowed, module by module, to at most `points` wide;
    // 0 lets them take their natural width again.
    void setBarcodeWidthLimit(double points) { m_barcodeLimit = points; }

    // Ends the current page; the next output goes to the top of a new one.
    bool newPage();

    // Ends the document and sends it as one job. Without output since the last end nothing
    // is sent and the call succeeds.
    bool endDocument();

    // Drops the open document without sending it, after a failure in the middle of a layout.
    void abortDocument();

    bool documentOpen() const { return m_painter != nullptr; }

    // French description of the last failure.
    QString errorText() const { return m_error; }

private:
    bool ensureDocument();
    bool output(const QString& text, bool endLine);
    bool outputBarcodeText(const QString& text);
    void drawPlain(const QString& text, const QFont& font);
    bool drawSymbol(const QString& run, bool draw = true);
    double symbolsWidth(const QString& text);
    double toPoints(double deviceX) const;
    double toDevice(double points) const;
    bool breakPageIfFull(double lineHeight);
    bool fail(const QString& error);
    QFont resolvedFont(const QString& name, double pointSize);
    QString resolvedFamily(const QString& name);
    bool isBarcodeFont() const;

    std::unique_ptr<PrintDevice> m_device;
    QPagedPaintDevice* m_paintDevice = nullptr;
    std::unique_ptr<QPainter> m_painter;
    QString m_fontName = QStringLiteral("Courier New");
    double m_fontSize = 10;
    double m_x = 0; // device units from the left of the printable area
    double m_y = 0;
    double m_barcodeLimit = 0; // points, 0 for none
    QString m_error;
    QHash<QString, QString> m_families;
};
