#pragma once

#include <QString>

class Clock;
class Dialogs;
class ProcessControl;

// The administrator's way back: the release the last update replaced is put in place again and
// VORN.exe started from it.
class RollbackRun final {
public:
    static constexpr int ExitNoPrevious = 7; // no previous release is kept: nothing changed
    static constexpr int ExitFailed = 8;     // the previous release could not be put back

    RollbackRun(ProcessControl& processes, Dialogs& dialogs, QString appDir, const Clock& clock, bool mirrorLog);

    // Returns the program's exit status.
    int run(bool startApplication);

private:
    void say(const QString& text);

    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    QString m_appDir;
    const Clock& m_clock;
    bool m_mirrorLog;
};
