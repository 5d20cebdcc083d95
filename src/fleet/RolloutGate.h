#pragma once

#include "platform/FtpClient.h"
#include "release/ReleaseManifest.h"

#include <QList>
#include <QString>
#include <QStringList>

// Whether a phased release with a gate goes on at this station, from one listing of the fleet's
// reports folder (the records' names say all it needs): it waits until at least `confirmations`
// stations of earlier days installed the release and kept it, and it halts, for every station
// that does not have it yet, once `failures` stations of any day failed with it. Stations of day
// 0 (the canaries) wait for no one, but a halt stops them too.
class RolloutGate final {
public:
    enum class Decision { Take, Wait, Halt };
    struct Count {
        int confirmations = 0; // of earlier days, kept
        int failures = 0;      // of any day, failed with it
        QStringList failed;    // their station ids, in the listing's order
    };

    RolloutGate(const ReleaseManifest::Rollout& rollout, qint64 release, quint64 station);

    // Every record of the folder read by its name; a station with several (a run cut between its
    // new record and the removal of its old one) counts once, by its newest.
    Count count(const QList<FtpFindData>& entries) const;
    Decision decide(const Count& count) const;
    // This station's day, counted from the first (0).
    int dayIndex() const { return dayIndexOf(m_station); }

    // The run log's lines.
    QString waitingLine(const Count& count) const;
    QString haltedLine(const Count& count) const;
    static QString unreadableLine(qint64 release, const QString& why);

private:
    int dayIndexOf(quint64 station) const;

    ReleaseManifest::Rollout m_rollout;
    ReleaseManifest::Gate m_gate;
    qint64 m_release;
    quint64 m_station;
};
