#pragma once

#include "FleetRecord.h"

#include <QString>

class FtpConnection;

// Leaves this station's record of its run in the fleet's reports folder, over the session the run
// already has: written under a temporary name of its own, then renamed into place (RNFR/RNTO), so
// a reader never sees half a record; the record it left last under another name is removed after.
// When the record's name tells it all (no error to tell), the last record is only renamed. Runs
// of one station take turns (a lock in the station's folder). The station writes and renames only
// names of its own id; anything else in the folder is left alone. Reporting never costs the run: a
// record that cannot be written leaves one log line, and the run's outcome and exit status stay
// what they were.
class FleetReport final {
public:
    // `folder`: relative to the login folder (as version_root), or absolute.
    FleetReport(FtpConnection& ftp, QString appDir, QString folder, int timeoutSeconds);

    // Fills in the station, computer, user, program, installed release and time; decides what the
    // gate reads of it (kept, failed with the release offered, or neither), remembering a failure
    // so that later records of the station keep saying it; and writes it. `releaseFault`: the run
    // failed for a reason of the release itself (a name or a signature refused).
    // False (said in the log) when it could not be written.
    bool write(FleetRecord record, bool releaseFault);

    // The folder's path on the server, as the session names it.
    static QString remoteFolder(const QString& homeDirectory, const QString& folder);

private:
    // The station's last record `last` renamed to `name`: enough when the name tells the whole
    // record. False when it is not there any more, or the server refuses.
    bool renamed(const QString& last, const QString& name, const QString& folder);
    bool upload(const FleetRecord& record, const QString& folder, QString& why);

    FtpConnection& m_ftp;
    QString m_appDir;
    QString m_folder;
    int m_timeoutSeconds;
};
