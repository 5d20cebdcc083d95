#include "FleetBars.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int RowHeight = 26;
constexpr int BarHeight = 18;
constexpr int LabelWidth = 96;
constexpr int Margin = 6;

const QColor Have(46, 125, 50);
const QColor Waiting(120, 144, 156);
const QColor Failed(198, 40, 40);
const QColor Halted(239, 108, 0);
} // namespace

FleetBars::FleetBars(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("fleetBars"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void FleetBars::setFleet(const QList<FleetTable::Tally>& tallies, int stations)
{
    m_tallies = tallies.mid(0, MaxReleases);
    m_stations = stations;
    updateGeometry();
    update();
}

QString FleetBars::headline() const
{
    if (m_tallies.isEmpty())
        return m_stations == 0 ? QStringLiteral("Aucun poste n'a encore laissé de rapport.")
                               : QStringLiteral("Aucune version installée n'est connue.");
    const FleetTable::Tally& t = m_tallies.constFirst();
    QString line =
        QStringLiteral("Version %1 : installée sur %2 poste(s) sur %3").arg(t.release).arg(t.have).arg(m_stations);
    if (t.halted > 0)
        return line + QStringLiteral(", suspendue (%1 poste(s) en échec).").arg(t.failed);
    if (t.failed > 0)
        return line + QStringLiteral(", %1 poste(s) en échec.").arg(t.failed);
    if (t.waiting > 0)
        return line + QStringLiteral(", %1 en attente, aucun échec.").arg(t.waiting);
    return line + QStringLiteral(", aucun échec.");
}

QSize FleetBars::sizeHint() const
{
    const int rows = std::max<int>(1, static_cast<int>(m_tallies.size()));
    return {560, Margin + rows * RowHeight + RowHeight + Margin};
}

QSize FleetBars::minimumSizeHint() const
{
    return {320, sizeHint().height()};
}

QList<FleetBars::Part> FleetBars::parts(const FleetTable::Tally& tally) const
{
    return {{tally.have, Have}, {tally.waiting, Waiting}, {tally.failed, Failed}, {tally.halted, Halted}};
}

void FleetBars::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const int barLeft = LabelWidth + Margin;
    const int barSpace = std::max(40, width() - barLeft - Margin);
    int top = Margin;
    for (const FleetTable::Tally& tally : std::as_const(m_tallies)) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(Margin, top, LabelWidth - Margin, BarHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Version %1").arg(tally.release));
        // The whole fleet is the full width: a release on few stations shows a short bar.
        painter.fillRect(QRect(barLeft, top, barSpace, BarHeight), palette().color(QPalette::AlternateBase));
        int x = barLeft;
        for (const Part& part : parts(tally)) {
            if (part.count <= 0)
                continue;
            const int w = std::max(2, m_stations > 0 ? barSpace * part.count / m_stations : 0);
            const QRect segment(x, top, std::min(w, barLeft + barSpace - x), BarHeight);
            painter.fillRect(segment, part.colour);
            const QString number = QString::number(part.count);
            if (metrics.horizontalAdvance(number) + 6 <= segment.width()) {
                painter.setPen(Qt::white);
                painter.drawText(segment, Qt::AlignCenter, number);
            } else {
                // Too narrow for its number: the number goes just above the part's start.
                painter.setPen(part.colour.darker(130));
                painter.drawText(QRect(segment.left(), top + BarHeight - 2, 40, RowHeight - BarHeight + 2),
                                 Qt::AlignLeft | Qt::AlignTop, number);
            }
            x += segment.width();
        }
        top += RowHeight;
    }
    paintLegend(painter, top);
}

void FleetBars::paintLegend(QPainter& painter, int top) const
{
    const QFontMetrics metrics(font());
    const QList<QPair<QString, QColor>> legend{{QStringLiteral("installée"), Have},
                                               {QStringLiteral("en attente"), Waiting},
                                               {QStringLiteral("en échec"), Failed},
                                               {QStringLiteral("suspendue"), Halted}};
    int x = LabelWidth + Margin;
    for (const auto& [text, colour] : legend) {
        painter.fillRect(QRect(x, top + 5, 12, 12), colour);
        x += 16;
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(x, top, metrics.horizontalAdvance(text) + 4, RowHeight - 4),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
        x += metrics.horizontalAdvance(text) + 18;
    }
}
