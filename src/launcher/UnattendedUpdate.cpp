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

    const FtpResult login = ftp.login(m_config.host, m_config.user, m_config.password);
    if (!login.ok) {
        log.outcome(UpdateRun::loginFailureText(m_config.host, login.reply));
        ftp.closeHandles();
        return 1;
    }
    UpdateRun::Settings settings;
    settings.versionFolder = m_config.versionFolder();
    settings.localFolder = m_appDir;
    settings.appFolder = m_appDir;
    settings.startApplication = startApplication;
    settings.skipUnchanged = m_config.skipUnchanged;
    settings.sessions = m_config.sessions;
    settings.staged = m_config.stagedUpdate;
    settings.startCheck = m_config.startCheckSeconds;
    settings.rolloutIgnored = m_config.rolloutIgnored;
    settings.releaseKeys = m_config.releaseKeys();
    settings.keyRefusal = m_config.keyRefusal;
    settings.fleetReports = m_config.fleetReports;
    settings.timeoutSeconds = m_config.timeoutSeconds;
    settings.startedMs = m_startedMs;
    UpdateRun update(ftp, m_processes, m_dialogs, *this, log);
    const int exitCode = update.afterLogin(settings).value_or(0);
    ftp.closeHandles();
    return exitCode;
}
