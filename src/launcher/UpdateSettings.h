#pragma once

#include <QString>
#include <QStringList>

class Clock;

// How an update run goes, as the configuration and the command line say: given whole to the run
// and to its download.
struct UpdateSettings {
    QString versionFolder; // relative to the login folder
    QString localFolder;   // where the entries are written
    QString appFolder;     // where VORN.exe is started from
    int transferType = 0;
    QString userName; // of the operator context, after "All is OK...  73 "
    bool startApplication = true;
    bool update = true;           // false: list the version folder and stop there (the file manager)
    bool skipUnchanged = false;   // an entry whose local copy is the server's is not fetched again
    int sessions = 1;             // control sessions the download runs over at once
    bool staged = true;           // the whole release put in place at once, or nothing of it
    int startCheck = 0;           // seconds to watch a new VORN.exe before the run counts as done
    bool rolloutIgnored = false;  // a phased release taken at once
    QStringList releaseKeys;      // signed releases: the publisher's public keys
    QString keyRefusal;           // a configured key that does not read: every update refused
    const Clock* clock = nullptr; // today's date for expiry and rollout (the system's when null)
    QString fleetReports;         // [fleet] reports: where the station leaves its record (none: nowhere)
    int timeoutSeconds = 30;      // the longest a record of the run may take to write
    qint64 startedMs = 0;         // when the run started (ms since the epoch): its record's duration

    bool isSigned() const { return !releaseKeys.isEmpty() || !keyRefusal.isEmpty(); }
};
