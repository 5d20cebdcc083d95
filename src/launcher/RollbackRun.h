#pragma once

#include <QString>

#include "ftpsession/AppConfig.h"

class Clock;
class Dialogs;
class FtpClient;
class ProcessControl;
class RunLog;

// The administrator's way back: the release the last update replaced is put in place again and
// VORN.exe started from it.
class RollbackRun final {
public:
    static constexpr int ExitNoPrevious = 7; // no previous release is kept: nothing changed
    static constexpr int ExitFailed = 8;     // the previous release could not be put back

    RollbackRun(ProcessControl& processes, Dialogs& dialogs, QString appDir, const Clock& clock, bool mirrorLog);

    // With a reports folder in `config`, the run leaves its record there through `client` once the
    // release is back: a release put back on the day it was installed failed with its station.
    void reportTo(FtpClient& client, const AppConfig& config)
    {
        m_client = &client;
        m_config = config;
    }

    // Returns the program's exit status.
    int run(bool startApplication);

private:
    void say(const QString& text);
    int finish(RunLog& log, int exitStatus, const QString& error);

    FtpClient* m_client = nullptr;
    AppConfig m_config;
    qint64 m_release = 0;   // the release put back, when signed
    bool m_sameDay = false; // installed today
    qint64 m_startedMs = 0;

    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    QString m_appDir;
    const Clock& m_clock;
    bool m_mirrorLog;
};
