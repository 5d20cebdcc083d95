#pragma once

#include "../ProcessControl.h"

// Processes listed with Toolhelp32 and stopped with TerminateProcess; programs started with
// CreateProcessW. Image names are compared as Windows compares file names: ignoring case.
class WindowsProcessControl final : public ProcessControl {
public:
    TerminateResult terminateByImageName(const QString& imageName) override;
    bool startDetached(const QString& program, QString* error) override;
    WatchedStart startWatched(const QString& program, int seconds, const std::function<void()>& tick) override;

    // French words for how a program ended with `code` (an exit status or an exception code).
    static QString describeExit(quint32 code);
};
