#include "../ProcessStartup.h"

#include <QString>

#include <cstdio>

#include <windows.h>

#include <shellapi.h>

namespace {

bool usable(HANDLE handle)
{
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

void prepareProcess()
{
    // A drive without media (an empty reader picked in the local pane) is a failure the program
    // reports itself, not a system box that waits for a disk.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // A program of the windows subsystem gets no console. A stream its caller redirected (a pipe,
    // a file) is already ours; the others go to the caller's console when it has one (a command
    // prompt, a scheduled cmd), so that the lines of an unattended run and its status are seen.
    const bool outUsable = usable(GetStdHandle(STD_OUTPUT_HANDLE));
    const bool errUsable = usable(GetStdHandle(STD_ERROR_HANDLE));
    if ((outUsable && errUsable) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!outUsable && std::freopen("CONOUT$", "w", stdout))
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (!errUsable && std::freopen("CONOUT$", "w", stderr))
        std::setvbuf(stderr, nullptr, _IONBF, 0);
}

QStringList commandLineArguments(int argc, char* argv[])
{
    // argv holds the ANSI code page's idea of the arguments; the UTF-16 command line has them all.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    QStringList arguments;
    if (!wide) {
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        return arguments;
    }
    for (int i = 0; i < count; ++i)
        arguments << QString::fromWCharArray(wide[i]);
    LocalFree(wide);
    return arguments;
}

bool sessionHasDisplay()
{
    // A service, or a task run while nobody is logged on, has a window station nobody sees.
    USEROBJECTFLAGS flags{};
    HWINSTA station = GetProcessWindowStation();
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr))
        return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}
