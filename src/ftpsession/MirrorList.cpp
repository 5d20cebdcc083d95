#include "MirrorList.h"

QStringList MirrorList::parse(const QString& host)
{
    QStringList mirrors;
    for (const QString& part : host.split(QLatin1Char(','))) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            mirrors << trimmed;
    }
    return mirrors;
}

QStringList MirrorList::forStation(const QStringList& mirrors, quint64 stationId)
{
    if (mirrors.isEmpty())
        return mirrors;
    const auto first = static_cast<qsizetype>(stationId % static_cast<quint64>(mirrors.size()));
    return mirrors.mid(first) + mirrors.first(first);
}
