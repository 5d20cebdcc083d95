#include "RolloutGate.h"

#include "FleetRecord.h"
#include "release/PhasedRollout.h"

#include <QHash>

#include <algorithm>

RolloutGate::RolloutGate(const ReleaseManifest::Rollout& rollout, qint64 release, quint64 station)
    : m_rollout(rollout)
    , m_gate(rollout.gate.value_or(ReleaseManifest::Gate{}))
    , m_release(release)
    , m_station(station)
{}

int RolloutGate::dayIndexOf(quint64 station) const
{
    return static_cast<int>(m_rollout.start.daysTo(PhasedRollout::dayFor(m_rollout.start, m_rollout.days, station)));
}

RolloutGate::Count RolloutGate::count(const QList<FtpFindData>& entries) const
{
    struct Newest {
        FleetRecord::Name name;
        QDateTime modified;
        qsizetype order = 0;
    };
    QHash<quint64, Newest> byStation;
    QList<quint64> order;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const FtpFindData& e = entries.at(i);
        const std::optional<FleetRecord::Name> name = FleetRecord::parseName(e.fileName.section(QLatin1Char('/'), -1));
        if (!name || e.isDirectory)
            continue;
        const auto it = byStation.find(name->station);
        if (it == byStation.end()) {
            byStation.insert(name->station, Newest{*name, e.modified, i});
            order << name->station;
        } else if (!it->modified.isValid() || (e.modified.isValid() && e.modified >= it->modified)) {
            *it = Newest{*name, e.modified, it->order};
        }
    }
    std::sort(order.begin(), order.end()); // the failed stations named in the same order on every server
    Count c;
    const int mine = dayIndex();
    for (const quint64 station : std::as_const(order)) {
        const FleetRecord::Name& n = byStation.value(station).name;
        if (n.offered != m_release)
            continue;
        if (n.verdict == FleetRecord::Verdict::Failed) {
            ++c.failures;
            c.failed << FleetRecord::stationText(station);
        } else if (n.verdict == FleetRecord::Verdict::Kept && dayIndexOf(station) < mine) {
            ++c.confirmations;
        }
    }
    return c;
}

RolloutGate::Decision RolloutGate::decide(const Count& count) const
{
    if (count.failures >= m_gate.failures)
        return Decision::Halt;
    if (dayIndex() >= 1 && count.confirmations < m_gate.confirmations)
        return Decision::Wait;
    return Decision::Take;
}

QString RolloutGate::waitingLine(const Count& count) const
{
    return QStringLiteral("Version %1 en attente : %2 poste(s) sur %3 l'ont confirmée.")
        .arg(m_release)
        .arg(count.confirmations)
        .arg(m_gate.confirmations);
}

QString RolloutGate::haltedLine(const Count& count) const
{
    constexpr qsizetype Shown = 5;
    QString stations = QStringList(count.failed.mid(0, Shown)).join(QStringLiteral(", "));
    if (count.failed.size() > Shown)
        stations += QStringLiteral(", …");
    return QStringLiteral("Version %1 suspendue : %2 poste(s) en échec (%3).")
        .arg(m_release)
        .arg(count.failures)
        .arg(stations);
}

QString RolloutGate::unreadableLine(qint64 release, const QString& why)
{
    return QStringLiteral("Version %1 en attente : les rapports du parc ne peuvent pas être lus (%2).")
        .arg(release)
        .arg(why);
}
