#pragma once

#include "platform/clock/SystemClock.h"

#include <QString>
#include <QStringList>

#include <optional>

class Clock;
class Dialogs;
class FtpConnection;
class ProcessControl;
class RunLog;
class UpdateView;

// The update run once the server has accepted the login: the login folder listed, the version
// folder entered and listed, every entry fetched, the outcome said to the operator and written
// to the run log. The window and a run without a window share it.
class UpdateRun final {
public:
    struct Settings {
        QString versionFolder; // relative to the login folder
        QString localFolder;   // where the entries are written
        QString appFolder;     // where VORN.exe is started from
        int transferType = 0;
        QString userName; // of the operator context, after "All is OK...  73 "
        bool startApplication = true;
        bool update = true; // false: list the version folder and stop there (the file manager)
        bool skipUnchanged = false;
        int sessions = 1;             // control sessions the download runs over at once
        bool staged = true;           // the whole release put in place at once, or nothing of it
        int startCheck = 0;           // seconds to watch a new VORN.exe before the run counts as done
        bool rolloutIgnored = false;  // a phased release taken at once
        QStringList releaseKeys;      // signed releases: the publisher's public keys
        QString keyRefusal;           // a configured key that does not read: every update refused
        const Clock* clock = nullptr; // today's date for expiry (the system's when null)
    };

    UpdateRun(FtpConnection& ftp, ProcessControl& processes, Dialogs& dialogs, UpdateView& view, RunLog& log);

    // After the "257" reply to the working-directory query. Returns the program's exit status
    // once the run is over; nothing when it stays connected (the file manager).
    std::optional<int> afterLogin(const Settings& settings);
    // Fetches the listed version folder, hands over to the application and returns the exit status.
    int download(const QStringList& remoteList, const Settings& settings);

    // The outcome of a login the server did not accept.
    static QString loginFailureText(const QString& server, const QString& why);

private:
    int versionFolderUnavailable(const Settings& settings);

    FtpConnection& m_ftp;
    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    UpdateView& m_view;
    RunLog& m_log;
    SystemClock m_systemClock; // when the settings name none
};
