#include "../ConsoleText.h"

#include <algorithm>

#include <io.h>
#include <windows.h>

void writeText(std::FILE* stream, const QString& text)
{
    // Whatever the stream already holds goes first, so the lines keep their order.
    std::fflush(stream);
    const int fd = _fileno(stream);
    const auto handle = fd >= 0 ? reinterpret_cast<HANDLE>(_get_osfhandle(fd)) : INVALID_HANDLE_VALUE;
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        // A console shows UTF-16 as it is, whatever its code page (850 for a French one).
        const std::wstring wide = text.toStdWString();
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
    // Redirected: one encoding, the same on every system (see README).
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}
