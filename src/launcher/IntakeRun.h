#pragma once

#include "ServerLogin.h"
#include "intake/IntakeCounter.h"
#include "intake/IntakeView.h"

#include <QString>
#include <QStringList>

#include <optional>

class Clock;
class Dialogs;
class FtpConnection;
class ProcessControl;
class RunLog;

// What the intake run shows beyond the intake's own steps: the remote list, the requests read,
// and the moment the connection counts as made.
class IntakeRunView : public IntakeView {
public:
    virtual void showRemoteList(const QStringList& lines) = 0; // List1
    virtual void showRequests(const QStringList& numbers) = 0; // ListDI
    virtual void showConnected() = 0;
};

// The scheduled request intake (--intake), from the login to the program's exit status: the
// request files of the server's request folder fetched into <app>/DOWN and loaded, the
// validations fetched and applied, the attachments fetched into <app>/IMG. Each failure is said
// to the operator (unless the login failed unattended), in the run log, and by the status: 1 for a
// refused login, 3 for an intake stopped on the way. The window and a run without a window share it.
class IntakeRun final {
public:
    struct Settings {
        QString appDir;
        QString remoteDir; // the server's request folder, from the login folder
        int sessions = 1;  // control sessions each download runs over at once
        bool unattended = false;
    };
    IntakeRun(FtpConnection& ftp, ProcessControl& processes, Dialogs& dialogs, IntakeRunView& view, RunLog& log,
              const Clock& clock, Settings settings);

    // The whole run; returns the program's exit status.
    int run(const ServerLogin& login, int transferType);

    // The run's steps, over the remote folder it listed; the downloads return the exit status when
    // the program ends there.
    bool XMAJ();                     // loads the request files of <app>/DOWN
    bool XmajOKDI();                 // applies the validation files of <app>/DOWN
    std::optional<int> xdownOKDI();  // fetches the validation files into the local folder, then applies them
    std::optional<int> xdownIMGDI(); // fetches the attachments into <app>/IMG; always ends the program

private:
    bool fetchRequestFiles(const QString& folder);
    void showRemoteList(const QStringList& lines);
    bool report(bool ok, const QString& error); // the message box of a failure; returns `ok`
    int stop(const QString& why);               // the run stopped on the way: status 3

    FtpConnection& m_ftp;
    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    IntakeRunView& m_view;
    RunLog& m_log;
    const Clock& m_clock;
    Settings m_settings;
    IntakeCounter m_count; // IntakeCount
    QStringList m_remoteList;
    QString m_localFolder;
    int m_transferType = 0;
    QString m_lastError;
    int m_attachments = 0; // saved by the last attachment download
};
