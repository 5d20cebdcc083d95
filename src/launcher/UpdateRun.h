#pragma once

#include "ServerLogin.h"
#include "UpdateSettings.h"
#include "VersionDownload.h"

#include <QString>
#include <QStringList>

#include <optional>

struct AppConfig;
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
    using Settings = UpdateSettings;

    UpdateRun(FtpConnection& ftp, ProcessControl& processes, Dialogs& dialogs, UpdateView& view, RunLog& log);

    // What the configuration says of a run that writes into `appDir`; the caller adds what the
    // command line and the operator give (the local folder, the transfer type, the user name...).
    static Settings settingsFor(const AppConfig& config, const QString& appDir);

    struct Result {
        bool loggedIn = false;
        std::optional<int> exitCode; // the program ends with it
    };
    // The whole run from the login on. A login the server refuses is said in the run log and
    // leaves the session closed; the caller decides whether the program ends.
    Result run(const ServerLogin& login, const Settings& settings);

    // Fetches the listed version folder, hands over to the application and returns the exit status.
    int download(const QStringList& remoteList, const Settings& settings);

    // The outcome of a login the server did not accept.
    static QString loginFailureText(const QString& server, const QString& why);

private:
    // After the "257" reply to the working-directory query. Returns the program's exit status
    // once the run is over; nothing when it stays connected (the file manager).
    std::optional<int> afterLogin(const Settings& settings);
    int versionFolderUnavailable(const Settings& settings, const QString& reply);
    // The station's record of the run, in the fleet's reports folder when there is one.
    void report(const VersionDownload::Outcome& outcome, const Settings& settings);

    FtpConnection& m_ftp;
    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    UpdateView& m_view;
    RunLog& m_log;
};
