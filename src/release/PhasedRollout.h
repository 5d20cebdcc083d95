#pragma once

#include <QDate>
#include <QString>

// A release that reaches the fleet day by day: published with a start date and a number of days
// D, it is installed by a station on day start + (station id mod D), day 0 being the start itself.
class PhasedRollout final {
public:
    static constexpr int MaxDays = 30;

    static QDate dayFor(const QDate& start, int days, quint64 stationId);
    // The run log's line while this station waits for its day.
    static QString waitingLine(qint64 release, const QDate& day);
};
