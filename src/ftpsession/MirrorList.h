#pragma once

#include <QString>
#include <QStringList>

// The servers of [server] host: one, or mirrors of the same version folder separated by commas
// ("a.example:21, b.example, c.example").
class MirrorList final {
public:
    static QStringList parse(const QString& host);
    // Every mirror once, starting with this station's own (its id mod their number), so that a
    // fleet spreads evenly over them and each station goes on in the same order.
    static QStringList forStation(const QStringList& mirrors, quint64 stationId);
};
