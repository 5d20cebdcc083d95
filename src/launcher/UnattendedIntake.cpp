#include "UnattendedIntake.h"

#include "ftpsession/FtpConnection.h"
#include "ftpsession/RunLog.h"

#include <QDir>

UnattendedIntake::UnattendedIntake(FtpClient& client, ProcessControl& processes, Dialogs& dialogs, AppConfig config,
                                   QString appDir, const Clock& clock)
    : m_client(client)
    , m_processes(processes)
    , m_dialogs(dialogs)
    , m_config(std::move(config))
    , m_appDir(std::move(appDir))
    , m_clock(clock)
{}

int UnattendedIntake::run()
{
    RunLog log(QDir(m_appDir).filePath(RunLog::fileName()), m_clock, true);
    FtpConnection ftp(m_client);
    ftp.setStationFolder(m_appDir);
    ftp.onLogAppended = [&log](const QString& text) { log.write(text); };
    for (const QString& problem : m_config.problems)
        ftp.appendLog(problem);
    IntakeRun intake(ftp, m_processes, m_dialogs, *this, log, m_clock,
                     {m_appDir, m_config.intakeRemoteDir, m_config.sessions, true});
    const int exitCode = intake.run({m_config.host, m_config.user, m_config.password}, 0);
    ftp.closeHandles();
    return exitCode;
}
