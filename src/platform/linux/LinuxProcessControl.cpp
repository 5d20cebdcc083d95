#include "LinuxProcessControl.h"
#include "../PlatformFactory.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int KernelCommandLength = 15; // the kernel keeps this many characters of a command name

QByteArray readSmallFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(64 * 1024);
}

} // namespace

LinuxProcessControl::LinuxProcessControl(QString procRoot)
    : m_procRoot(std::move(procRoot))
{}

QStringList LinuxProcessControl::imageNamesOf(qint64 pid) const
{
    const QString base = m_procRoot + QLatin1Char('/') + QString::number(pid);
    QStringList names;
    const QString exe = QFileInfo(base + QStringLiteral("/exe")).symLinkTarget();
    if (!exe.isEmpty())
        names << QFileInfo(exe.endsWith(QLatin1String(" (deleted)")) ? exe.chopped(10) : exe).fileName();

    QByteArray comm = readSmallFile(base + QStringLiteral("/comm"));
    if (comm.endsWith('\n'))
        comm.chop(1);
    const QString command = QString::fromLocal8Bit(comm);
    if (command.isEmpty())
        return names;
    // A script: the kernel names the process after the script's file, cut to 15 characters; the
    // whole name is in the command line (argv[0], or argv[1] behind the interpreter).
    const QList<QByteArray> argv = readSmallFile(base + QStringLiteral("/cmdline")).split('\0');
    for (int i = 0; i < 2 && i < argv.size(); ++i) {
        const QString arg = QFileInfo(QString::fromLocal8Bit(argv[i])).fileName();
        if (!arg.isEmpty() && arg.left(KernelCommandLength) == command && !names.contains(arg))
            names << arg;
    }
    if (names.isEmpty())
        names << command;
    return names;
}

TerminateResult LinuxProcessControl::terminateByImageName(const QString& imageName)
{
    TerminateResult result;
    QDir proc(m_procRoot);
    if (!proc.exists()) {
        result.ok = false;
        result.error = QStringLiteral("La liste des processus est illisible (%1).").arg(m_procRoot);
        return result;
    }
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric || pid <= 1)
            continue;
        if (!imageNamesOf(pid).contains(imageName))
            continue;
        if (pid == self) {
            result.matchedSelf = true;
            continue;
        }
        if (::kill(static_cast<pid_t>(pid), SIGTERM) == 0)
            ++result.requested;
    }
    return result;
}

bool LinuxProcessControl::prepareProgram(const QString& program, QString* error)
{
    const QFileInfo info(program);
    if (!info.exists() || !info.isFile()) {
        if (error)
            *error = QStringLiteral("Fichier introuvable : %1").arg(QDir::toNativeSeparators(program));
        return false;
    }
    // Programs fetched over FTP arrive without mode bits. Where a program may be read it may be
    // run, as it would be on the stations the updates are made for.
    if (!info.isExecutable()) {
        QFile f(program);
        QFile::Permissions p = f.permissions();
        if (p & QFile::ReadOwner)
            p |= QFile::ExeOwner | QFile::ExeUser;
        if (p & QFile::ReadGroup)
            p |= QFile::ExeGroup;
        if (p & QFile::ReadOther)
            p |= QFile::ExeOther;
        f.setPermissions(p);
    }
    return true;
}

bool LinuxProcessControl::startDetached(const QString& program, QString* error)
{
    if (!prepareProgram(program, error))
        return false;
    const QFileInfo info(program);
    QProcess process;
    process.setProgram(info.absoluteFilePath());
    process.setWorkingDirectory(info.absolutePath());
    process.setStandardInputFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        if (error)
            *error = QStringLiteral("Impossible de démarrer %1 : %2")
                         .arg(QDir::toNativeSeparators(program), process.errorString());
        return false;
    }
    return true;
}

WatchedStart LinuxProcessControl::startWatched(const QString& program, int seconds, const std::function<void()>& tick)
{
    WatchedStart result;
    if (!prepareProgram(program, &result.error))
        return result;
    const QFileInfo info(program);
    const QByteArray path = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());

    // A child of ours, so that its status can be read; once we end it is the system's.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    char* argv[] = {const_cast<char*>(path.constData()), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path.constData(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        result.error = QStringLiteral("Impossible de démarrer %1 : %2")
                           .arg(QDir::toNativeSeparators(program), QString::fromLocal8Bit(std::strerror(spawned)));
        return result;
    }
    result.started = true;

    const QDeadlineTimer watch(qint64(seconds) * 1000);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            result.ended = true;
            if (WIFEXITED(status)) {
                result.failed = WEXITSTATUS(status) != 0;
                result.how = QStringLiteral("code de sortie %1").arg(WEXITSTATUS(status));
            } else {
                result.failed = true;
                const int sig = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
                result.how =
                    QStringLiteral("arrêté par le signal %1 (%2)").arg(sig).arg(QString::fromLocal8Bit(strsignal(sig)));
            }
            return result;
        }
        if (done < 0 && errno != EINTR)
            return result; // not ours to watch after all: taken as still running
        if (watch.hasExpired())
            return result;
        if (tick)
            tick();
        ::usleep(50 * 1000);
    }
}

std::unique_ptr<ProcessControl> createProcessControl()
{
    return std::make_unique<LinuxProcessControl>();
}
