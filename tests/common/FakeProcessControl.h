#pragma once

#include "platform/ProcessControl.h"

#include <QStringList>

// Records what it was asked; terminates nothing; can be told to fail.
class FakeProcessControl final : public ProcessControl {
public:
    TerminateResult terminateByImageName(const QString& imageName) override;
    bool startDetached(const QString& program, QString* error) override;
    // Recorded in `started` too; the watch ends as `watchResult` says.
    WatchedStart startWatched(const QString& program, int seconds, const std::function<void()>& tick) override;

    QStringList terminated; // every name asked for, in order
    QStringList started;
    bool failTerminate = false;
    bool failStart = false; // otherwise a start fails only when the file is missing
    QStringList selfNames;  // names that match the calling process
    WatchedStart watchResult{true, false, false, {}, {}};
    int watchedSeconds = -1;
};
