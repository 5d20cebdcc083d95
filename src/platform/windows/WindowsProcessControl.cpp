#include "WindowsProcessControl.h"
#include "../PlatformFactory.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <tlhelp32.h>

namespace {

// The exit code a terminated process gets; what Windows' own task manager gives.
constexpr UINT TerminatedExitCode = 1;

QString systemMessage(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_FRENCH, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = length ? QString::fromWCharArray(text, static_cast<int>(length)).trimmed() : QString();
    if (text)
        LocalFree(text);
    if (message.isEmpty())
        message = QStringLiteral("erreur système %1").arg(code);
    return message;
}

bool sameImageName(const wchar_t* a, const QString& b)
{
    const std::wstring wb = b.toStdWString();
    return CompareStringOrdinal(a, -1, wb.c_str(), static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

// A started program: its handles, closed when it goes.
struct Started {
    PROCESS_INFORMATION info{};
    bool ok = false;
    ~Started()
    {
        if (info.hThread)
            CloseHandle(info.hThread);
        if (info.hProcess)
            CloseHandle(info.hProcess);
    }
};

void start(const QString& program, Started& started, QString* error)
{
    const QFileInfo info(program);
    if (!info.exists() || !info.isFile()) {
        if (error)
            *error = QStringLiteral("Fichier introuvable : %1").arg(QDir::toNativeSeparators(program));
        return;
    }
    const std::wstring path = QDir::toNativeSeparators(info.absoluteFilePath()).toStdWString();
    const std::wstring folder = QDir::toNativeSeparators(info.absolutePath()).toStdWString();
    // No arguments: the command line is the quoted program alone (CreateProcessW may write to it).
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    // Its own process group, so that a Ctrl+C meant for us does not reach it.
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP | CREATE_DEFAULT_ERROR_MODE;
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr, folder.c_str(),
                        &startup, &started.info)) {
        if (error)
            *error = QStringLiteral("Impossible de démarrer %1 : %2")
                         .arg(QDir::toNativeSeparators(program), systemMessage(GetLastError()));
        return;
    }
    // The new program's window takes the focus rather than appearing behind ours.
    AllowSetForegroundWindow(started.info.dwProcessId);
    started.ok = true;
}

} // namespace

TerminateResult WindowsProcessControl::terminateByImageName(const QString& imageName)
{
    TerminateResult result;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        result.ok = false;
        result.error = QStringLiteral("La liste des processus est illisible (%1).").arg(systemMessage(GetLastError()));
        return result;
    }
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (!sameImageName(entry.szExeFile, imageName))
            continue;
        if (entry.th32ProcessID == self) {
            result.matchedSelf = true;
            continue;
        }
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (!process) {
            ++result.denied; // another user's, or already gone
            continue;
        }
        if (TerminateProcess(process, TerminatedExitCode))
            ++result.requested;
        else
            ++result.denied;
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return result;
}

bool WindowsProcessControl::startDetached(const QString& program, QString* error)
{
    Started started;
    start(program, started, error);
    return started.ok;
}

WatchedStart WindowsProcessControl::startWatched(const QString& program, int seconds, const std::function<void()>& tick)
{
    WatchedStart result;
    Started started;
    start(program, started, &result.error);
    if (!started.ok)
        return result;
    result.started = true;

    const QDeadlineTimer watch(qint64(seconds) * 1000);
    for (;;) {
        const DWORD waited = WaitForSingleObject(started.info.hProcess, 50);
        if (waited == WAIT_OBJECT_0) {
            DWORD code = 0;
            if (!GetExitCodeProcess(started.info.hProcess, &code))
                return result; // its status cannot be read: taken as still running
            result.ended = true;
            result.failed = code != 0;
            result.how = describeExit(code);
            return result;
        }
        if (waited != WAIT_TIMEOUT || watch.hasExpired())
            return result;
        if (tick)
            tick();
    }
}

QString WindowsProcessControl::describeExit(quint32 code)
{
    // Codes from 0xC0000000 up are exceptions (NTSTATUS errors): the program crashed.
    if (code < 0xC0000000u)
        return QStringLiteral("code de sortie %1").arg(code);
    QString what;
    switch (code) {
    case 0xC0000005u:
        what = QStringLiteral("violation d'accès");
        break;
    case 0xC000001Du:
        what = QStringLiteral("instruction illégale");
        break;
    case 0xC0000094u:
        what = QStringLiteral("division entière par zéro");
        break;
    case 0xC00000FDu:
        what = QStringLiteral("dépassement de pile");
        break;
    case 0xC000013Au:
        what = QStringLiteral("interrompu par Ctrl+C");
        break;
    case 0xC0000135u:
        what = QStringLiteral("bibliothèque DLL introuvable");
        break;
    case 0xC0000139u:
        what = QStringLiteral("point d'entrée introuvable dans une DLL");
        break;
    case 0xC0000142u:
        what = QStringLiteral("échec de l'initialisation d'une DLL");
        break;
    case 0xC0000409u:
        what = QStringLiteral("dépassement de tampon détecté");
        break;
    default:
        what = QStringLiteral("erreur grave");
        break;
    }
    const QString hex = QString::number(code, 16).toUpper();
    return QStringLiteral("arrêté par l'exception 0x%1 (%2)").arg(hex, what);
}

std::unique_ptr<ProcessControl> createProcessControl()
{
    return std::make_unique<WindowsProcessControl>();
}
