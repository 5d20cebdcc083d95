#include "../ProcessLiveness.h"

#include <cerrno>
#include <csignal>

bool processIsRunning(qint64 pid)
{
    if (pid <= 0)
        return false;
    // Signal 0 checks existence only; EPERM means it exists but belongs to someone else.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
