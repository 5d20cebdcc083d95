#include "../ConsoleText.h"

#include <algorithm>

#include <io.h>
#include <windows.h>

namespace {

// The system's handle behind `stream`. A windows-subsystem program's C streams may be unopened
// while the handles it inherited (a console, a redirection) are there all the same.
HANDLE handleOf(std::FILE* stream, bool& viaStream)
{
    const int fd = _fileno(stream);
    if (fd >= 0) {
        const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
        if (handle != INVALID_HANDLE_VALUE && handle != nullptr) {
            viaStream = true;
            return handle;
        }
    }
    viaStream = false;
    if (stream == stdout)
        return GetStdHandle(STD_OUTPUT_HANDLE);
    if (stream == stderr)
        return GetStdHandle(STD_ERROR_HANDLE);
    return INVALID_HANDLE_VALUE;
}

} // namespace

void writeText(std::FILE* stream, const QString& text)
{
    // Whatever the stream already holds goes first, so the lines keep their order.
    std::fflush(stream);
    bool viaStream = false;
    const HANDLE handle = handleOf(stream, viaStream);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        return;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        // A console shows UTF-16 as it is, whatever its code page (850 for a French one).
        const std::wstring wide = QString(text).replace(QLatin1Char('\n'), QLatin1String("\r\n")).toStdWString();
        const wchar_t* p = wide.data();
        size_t left = wide.size();
        while (left > 0) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(left, 8192));
            if (!WriteConsoleW(handle, p, chunk, &written, nullptr) || written == 0)
                break;
            p += written;
            left -= written;
        }
        return;
    }
    // Redirected: one encoding, the same on every system (see README), with Windows line ends.
    if (viaStream) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
        std::fflush(stream);
        return;
    }
    const QByteArray bytes = QString(text).replace(QLatin1Char('\n'), QLatin1String("\r\n")).toUtf8();
    DWORD written = 0;
    WriteFile(handle, bytes.constData(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
