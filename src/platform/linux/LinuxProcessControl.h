#pragma once

#include "../ProcessControl.h"

#include <QString>

// Processes read from /proc. A process's image name is the file name of its executable; for a
// script, whose executable is its interpreter, the kernel's command name together with the
// script's path in the command line identify it.
class LinuxProcessControl final : public ProcessControl {
public:
    explicit LinuxProcessControl(QString procRoot = QStringLiteral("/proc"));

    TerminateResult terminateByImageName(const QString& imageName) override;
    bool startDetached(const QString& program, QString* error) override;
    WatchedStart startWatched(const QString& program, int seconds, const std::function<void()>& tick) override;

    // Image names of process `pid` (several for a script: interpreter and script).
    QStringList imageNamesOf(qint64 pid) const;

private:
    // Checks that `program` is a file and gives it the run bits its read bits allow.
    static bool prepareProgram(const QString& program, QString* error);
    QString m_procRoot;
};
