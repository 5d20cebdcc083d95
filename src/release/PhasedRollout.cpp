#include "PhasedRollout.h"

QDate PhasedRollout::dayFor(const QDate& start, int days, quint64 stationId)
{
    if (days < 1)
        return start;
    return start.addDays(static_cast<qint64>(stationId % static_cast<quint64>(days)));
}

QString PhasedRollout::waitingLine(qint64 release, const QDate& day)
{
    return QStringLiteral("Nouvelle version %1 disponible sur ce poste à partir du %2.")
        .arg(release)
        .arg(day.toString(QStringLiteral("dd/MM/yyyy")));
}
