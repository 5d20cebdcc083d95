// A stand-in for the operator's application, for the update runs under Wine: says it started
// (its folder and command line, in started.txt beside it), then waits to be terminated, and ends
// by itself after two minutes or as soon as a file "stop" appears beside it. A file "exit" beside
// it holding a hexadecimal number makes it end at once with that status (an exception code
// stands for a crash).
#include <windows.h>

#include <cstdlib>
#include <string>

int wmain()
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, length);
    folder.resize(folder.find_last_of(L'\\') + 1);
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);

    const std::wstring line = std::wstring(L"cwd=") + cwd + L"\nargs=" + GetCommandLineW() + L"\n";
    HANDLE out = CreateFileW((folder + L"started.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        char utf8[4 * MAX_PATH * 2];
        const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8, sizeof utf8,
                                             nullptr, nullptr);
        DWORD written = 0;
        WriteFile(out, utf8, static_cast<DWORD>(size), &written, nullptr);
        CloseHandle(out);
    }
    HANDLE exitFile = CreateFileW((folder + L"exit").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (exitFile != INVALID_HANDLE_VALUE) {
        char text[16] = {};
        DWORD read = 0;
        ReadFile(exitFile, text, sizeof text - 1, &read, nullptr);
        CloseHandle(exitFile);
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(std::strtoul(text, nullptr, 16)));
    }
    const std::wstring stop = folder + L"stop";
    for (int i = 0; i < 600 && GetFileAttributesW(stop.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(200);
    return 0;
}
