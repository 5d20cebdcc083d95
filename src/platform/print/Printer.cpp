#include "platform/Printer.h"

#include "Code39Symbol.h"
#include "PrintDevice.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

const QString Printer::BarcodeFont = QStringLiteral("IDAutomationHC39M");

namespace {
// Geometry of the Code 39 font, in ems of its point size: a character of 13 modules is 13/16 em
// wide, the bars 0.7 em high, the human-readable text under them, 1.1 em from line to line.
constexpr double ModuleEm = 1.0 / 16.0;
constexpr double BarHeightEm = 0.7;
constexpr double TextGapEm = 0.03;
constexpr double TextSizeEm = 0.3;
constexpr double MinTextPoints = 6.0; // still readable on paper
constexpr double LineHeightEm = 1.1;

const QString CourierNew = QStringLiteral("Courier New");
} // namespace

Printer::Printer() = default;

Printer::~Printer()
{
    endDocument();
}

bool Printer::setDevice(std::unique_ptr<PrintDevice> device)
{
    const bool ended = endDocument();
    m_device = std::move(device);
    return ended;
}

QString Printer::deviceName() const
{
    return m_device ? m_device->name() : QString();
}

void Printer::setFont(const QString& name, double pointSize)
{
    m_fontName = name;
    m_fontSize = pointSize;
}

bool Printer::isBarcodeFont() const
{
    return m_fontName.compare(BarcodeFont, Qt::CaseInsensitive) == 0;
}

QString Printer::resolvedFamily(const QString& name)
{
    auto it = m_families.constFind(name);
    if (it != m_families.constEnd())
        return it.value();
    QString family = name;
    const QStringList installed = QFontDatabase::families();
    if (!installed.contains(name, Qt::CaseInsensitive) && name.compare(CourierNew, Qt::CaseInsensitive) == 0) {
        // Same advance widths and heights, so the fixed columns of the layouts stay in place.
        for (const QString& candidate : {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                                         QStringLiteral("Nimbus Mono PS"), QStringLiteral("DejaVu Sans Mono")}) {
            if (installed.contains(candidate, Qt::CaseInsensitive)) {
                family = candidate;
                break;
            }
        }
    }
    m_families.insert(name, family);
    return family;
}

QFont Printer::resolvedFont(const QString& name, double pointSize)
{
    QFont font(resolvedFamily(name));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(pointSize > 0 ? pointSize : 1);
    font.setKerning(false);
    return font;
}

bool Printer::fail(const QString& error)
{
    m_error = error;
    return false;
}

bool Printer::ensureDocument()
{
    if (m_painter)
        return true;
    if (!m_device)
        return fail(QStringLiteral("Aucune imprimante n'est choisie."));
    QString error;
    QPagedPaintDevice* paintDevice = m_device->beginDocument(&error);
    if (!paintDevice)
        return fail(error.isEmpty() ? QStringLiteral("L'imprimante %1 ne répond pas.").arg(m_device->name()) : error);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(paintDevice)) {
        m_device->finishDocument(false, nullptr);
        return fail(QStringLiteral("L'impression sur %1 n'a pas pu commencer.").arg(m_device->name()));
    }
    m_paintDevice = paintDevice;
    m_painter = std::move(painter);
    m_x = 0;
    m_y = 0;
    return true;
}

bool Printer::printLine(const QString& text)
{
    return output(text, true);
}

bool Printer::printText(const QString& text)
{
    return output(text, false);
}

bool Printer::printTextAt(double left, const QString& text)
{
    if (!ensureDocument())
        return false;
    m_x = toDevice(left);
    return output(text, false);
}

double Printer::toPoints(double deviceX) const
{
    return m_paintDevice ? deviceX * 72.0 / m_paintDevice->logicalDpiX() : 0;
}

double Printer::toDevice(double points) const
{
    return m_paintDevice ? points * m_paintDevice->logicalDpiX() / 72.0 : 0;
}

double Printer::column() const
{
    return toPoints(m_x);
}

double Printer::textWidth(const QString& text)
{
    if (!ensureDocument())
        return -1;
    if (isBarcodeFont())
        return symbolsWidth(text);
    const QFontMetricsF metrics(resolvedFont(m_fontName, m_fontSize), m_paintDevice);
    return toPoints(metrics.horizontalAdvance(text));
}

double Printer::printableWidth()
{
    return ensureDocument() ? toPoints(m_paintDevice->width()) : -1;
}

double Printer::symbolsWidth(const QString& text)
{
    // The same walk as outputBarcodeText, measuring instead of drawing.
    const QFontMetricsF plain(resolvedFont(CourierNew, m_fontSize), m_paintDevice);
    const double start = m_x;
    double width = 0;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype first = text.indexOf(QLatin1Char('*'), pos);
        const qsizetype stop = first < 0 ? -1 : text.indexOf(QLatin1Char('*'), first + 1);
        if (stop < 0) {
            width += plain.horizontalAdvance(text.mid(pos));
            break;
        }
        width += plain.horizontalAdvance(text.mid(pos, first - pos));
        m_x = start + width;
        if (!drawSymbol(text.mid(first, stop - first + 1), false))
            break;
        width = m_x - start;
        pos = stop + 1;
    }
    m_x = start;
    return toPoints(width);
}

bool Printer::breakPageIfFull(double lineHeight)
{
    // A line that would pass the bottom goes to the next page instead of being cut off.
    if (m_y > 0 && m_y + lineHeight > m_paintDevice->height())
        return newPage();
    return true;
}

bool Printer::output(const QString& text, bool endLine)
{
    if (!ensureDocument())
        return false;
    if (isBarcodeFont()) {
        const double lineHeight = LineHeightEm * m_fontSize * m_paintDevice->logicalDpiY() / 72.0;
        if (!breakPageIfFull(lineHeight) || !outputBarcodeText(text))
            return false;
        if (endLine) {
            m_y += lineHeight;
            m_x = 0;
        }
        return true;
    }
    const QFont font = resolvedFont(m_fontName, m_fontSize);
    const QFontMetricsF metrics(font, m_paintDevice);
    if (!breakPageIfFull(metrics.height()))
        return false;
    if (!text.isEmpty())
        drawPlain(text, font);
    if (endLine) {
        m_y += metrics.height();
        m_x = 0;
    }
    return true;
}

void Printer::drawPlain(const QString& text, const QFont& font)
{
    const QFontMetricsF metrics(font, m_paintDevice);
    m_painter->setFont(font);
    m_painter->drawText(QPointF(m_x, m_y + metrics.ascent()), text);
    m_x += metrics.horizontalAdvance(text);
}

bool Printer::outputBarcodeText(const QString& text)
{
    const QFont plain = resolvedFont(CourierNew, m_fontSize);
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype start = text.indexOf(QLatin1Char('*'), pos);
        const qsizetype stop = start < 0 ? -1 : text.indexOf(QLatin1Char('*'), start + 1);
        if (stop < 0) { // no complete run left
            drawPlain(text.mid(pos), plain);
            break;
        }
        if (start > pos)
            drawPlain(text.mid(pos, start - pos), plain);
        if (!drawSymbol(text.mid(start, stop - start + 1)))
            return false;
        pos = stop + 1;
    }
    return true;
}

bool Printer::drawSymbol(const QString& run, bool draw)
{
    const QString data = run.mid(1, run.size() - 2);
    Code39Symbol symbol;
    int modules = Code39Symbol::modulesFor(2);
    if (!data.isEmpty()) {
        QString error;
        if (!symbol.encode(data, &error))
            return fail(error);
        modules = symbol.modules();
    }
    const double dpiX = m_paintDevice->logicalDpiX();
    const double dpiY = m_paintDevice->logicalDpiY();
    int modulePx = std::max(1, qRound(ModuleEm * m_fontSize * dpiX / 72.0));
    // A long code keeps whole device pixels per module, so that it still scans once narrowed.
    if (m_barcodeLimit > 0 && modules > 0)
        modulePx = std::max(1, std::min(modulePx, static_cast<int>(toDevice(m_barcodeLimit) / modules)));
    const int barHeight = std::max(1, qRound(BarHeightEm * m_fontSize * dpiY / 72.0));
    const int left = qRound(m_x);
    const int top = qRound(m_y);
    const int width = modules * modulePx;
    if (!draw) {
        m_x = left + width;
        return true;
    }
    // An empty code draws no start and stop bars: the font's two asterisks alone would only
    // confuse a scanner.
    for (const Code39Symbol::Bar& bar : symbol.bars())
        m_painter->fillRect(QRect(left + bar.start * modulePx, top, bar.width * modulePx, barHeight), Qt::black);

    const QFont textFont = resolvedFont(CourierNew, std::max(MinTextPoints, TextSizeEm * m_fontSize));
    const QFontMetricsF metrics(textFont, m_paintDevice);
    const double textX = left + (width - metrics.horizontalAdvance(run)) / 2.0;
    const double textTop = top + barHeight + TextGapEm * m_fontSize * dpiY / 72.0;
    m_painter->setFont(textFont);
    m_painter->drawText(QPointF(textX, textTop + metrics.ascent()), run);
    m_x = left + width;
    return true;
}

bool Printer::newPage()
{
    if (!ensureDocument())
        return false;
    if (!m_paintDevice->newPage())
        return fail(QStringLiteral("L'imprimante %1 n'a pas pu passer à la page suivante.").arg(deviceName()));
    m_x = 0;
    m_y = 0;
    return true;
}

bool Printer::endDocument()
{
    if (!m_painter)
        return true;
    const bool painted = m_painter->end();
    m_painter.reset();
    m_paintDevice = nullptr;
    QString error;
    if (!m_device->finishDocument(painted, &error) || !painted)
        return fail(error.isEmpty() ? QStringLiteral("L'impression sur %1 a échoué.").arg(deviceName()) : error);
    return true;
}

void Printer::abortDocument()
{
    if (!m_painter)
        return;
    m_device->cancelDocument();
    m_painter->end();
    m_painter.reset();
    m_paintDevice = nullptr;
    m_device->finishDocument(false, nullptr);
}
