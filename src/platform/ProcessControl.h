#pragma once

#include <QString>

#include <functional>

struct TerminateResult {
    bool ok = true;           // false: the process table could not be read
    int requested = 0;        // terminate requests sent to other processes
    bool matchedSelf = false; // our own process carries the name; it was not signalled
    int denied = 0;           // processes of that name we may not stop (another user's)
    QString error;            // French description when !ok
};

// How a program started under watch turned out.
struct WatchedStart {
    bool started = false; // false: `error` says why
    bool ended = false;   // it ended before the watch was over
    bool failed = false;  // it ended with a non-zero status, or by a crash or a signal
    QString how;          // French, when it ended: "code de sortie 1", "arrêté par le signal 11"...
    QString error;        // French, when it could not be started
};

// Starting and stopping programs.
class ProcessControl {
public:
    virtual ~ProcessControl() = default;

    // Asks every running process whose image name equals `imageName` (compared literally, case
    // included) to terminate. Does not wait for them. The calling process is never signalled; the
    // result says when it matched, so the caller can end itself cleanly.
    virtual TerminateResult terminateByImageName(const QString& imageName) = 0;

    // Starts `program` detached, with no arguments, its folder as working directory. On failure
    // returns false and a French description of the error.
    virtual bool startDetached(const QString& program, QString* error) = 0;

    // Starts `program` as startDetached does, then watches it for up to `seconds`, calling `tick`
    // about every 50 ms so that the caller's window keeps painting. Returns when it ends or when
    // the watch is over. The watch never stops the program, which outlives the caller.
    virtual WatchedStart startWatched(const QString& program, int seconds, const std::function<void()>& tick) = 0;
};
