#pragma once

#include <QString>

struct TerminateResult {
    bool ok = true;           // false: the process table could not be read
    int requested = 0;        // terminate requests sent to other processes
    bool matchedSelf = false; // our own process carries the name; it was not signalled
    QString error;            // French description when !ok
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
};
