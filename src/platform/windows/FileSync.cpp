#include "../FileSync.h"

#include <QDir>

#include <windows.h>

bool syncFolder(const QString& folder)
{
    // A folder opens only with backup semantics; flushing it needs write access. NTFS journals
    // its renames itself, so where Windows refuses to flush a folder the renames already are as
    // durable as it makes them: that refusal is not a failure.
    const std::wstring path = QDir::toNativeSeparators(QDir(folder).absolutePath()).toStdWString();
    HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; // a folder that is not there fails
    const bool flushed = FlushFileBuffers(handle) != 0;
    const DWORD error = flushed ? ERROR_SUCCESS : GetLastError();
    CloseHandle(handle);
    return flushed || error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_HANDLE;
}
