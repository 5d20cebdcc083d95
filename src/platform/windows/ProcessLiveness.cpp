#include "../ProcessLiveness.h"

#include <windows.h>

bool processIsRunning(qint64 pid)
{
    if (pid <= 0 || pid > qint64(MAXDWORD))
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED; // it exists, but is someone else's
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}
