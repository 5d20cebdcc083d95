#include "UnattendedUpdate.h"

#include "UpdateRun.h"
#include "VersionDownload.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/RunLog.h"
#include "platform/ProcessControl.h"

#include <QDir>

UnattendedUpdate::UnattendedUpdate(FtpClient& client, ProcessControl& processes, Dialogs& dialogs, AppConfig config,
                                   QString appDir, const Clock& clock)
    : m_client(client)
    , m_processes(processes)
    , m_dialogs(dialogs)
    , m_config(std::move(config))
    , m_appDir(std::move(appDir))
    , m_clock(clock)
{}

int UnattendedUpdate::run(bool startApplication)
{
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
    RunLog log(QDir(m_appDir).filePath(RunLog::fileName()), m_clock, true);
    FtpConnection ftp(m_client);
    ftp.setStationFolder(m_appDir);
    ftp.onLogAppended = [&log](const QString& text) { log.write(text); };
    for (const QString& problem : m_config.problems)
        ftp.appendLog(problem);
    m_processes.terminateByImageName(VersionDownload::applicationName());

    UpdateRun::Settings settings = UpdateRun::settingsFor(m_config, m_appDir);
    settings.startApplication = startApplication;
    settings.startedMs = m_startedMs;
    UpdateRun update(ftp, m_processes, m_dialogs, *this, log);
    const UpdateRun::Result result = update.run({m_config.host, m_config.user, m_config.password}, settings);
    if (!result.loggedIn)
        return 1;
    const int exitCode = result.exitCode.value_or(0);
    ftp.closeHandles();
    return exitCode;
}
