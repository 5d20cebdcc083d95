#include "UpdateRun.h"

#include "UpdateView.h"
#include "VersionDownload.h"
#include "fleet/FleetReport.h"
#include "ftpsession/AppConfig.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/RunLog.h"

UpdateRun::UpdateRun(FtpConnection& ftp, ProcessControl& processes, Dialogs& dialogs, UpdateView& view, RunLog& log)
    : m_ftp(ftp)
    , m_processes(processes)
    , m_dialogs(dialogs)
    , m_view(view)
    , m_log(log)
{}

UpdateRun::Settings UpdateRun::settingsFor(const AppConfig& config, const QString& appDir)
{
    Settings s;
    s.versionFolder = config.versionFolder();
    s.localFolder = appDir;
    s.appFolder = appDir;
    s.skipUnchanged = config.skipUnchanged;
    s.sessions = config.sessions;
    s.staged = config.stagedUpdate;
    s.startCheck = config.startCheckSeconds;
    s.rolloutIgnored = config.rolloutIgnored;
    s.releaseKeys = config.releaseKeys();
    s.keyRefusal = config.keyRefusal;
    s.fleetReports = config.fleetReports;
    s.timeoutSeconds = config.timeoutSeconds;
    return s;
}

UpdateRun::Result UpdateRun::run(const ServerLogin& login, const Settings& settings)
{
    const FtpResult loggedIn = m_ftp.login(login.server, login.user, login.password);
    if (!loggedIn.ok) {
        m_log.outcome(loginFailureText(login.server, loggedIn.reply));
        m_ftp.closeHandles();
        return {};
    }
    return {true, afterLogin(settings)};
}

QString UpdateRun::loginFailureText(const QString& server, const QString& why)
{
    return QStringLiteral("Échec de la connexion au serveur %1 : %2")
        .arg(server, why.isEmpty() ? QStringLiteral("pas de réponse") : why);
}

std::optional<int> UpdateRun::afterLogin(const Settings& settings)
{
    if (m_view.showsRemoteList())
        m_view.showRemoteList(m_ftp.EnumFiles(), true);
    m_view.showConnected();
    const FtpResult entered = m_ftp.changeDirectory(settings.versionFolder);
    // Listing and fetching the login folder instead would overwrite local files.
    if (!entered.ok && settings.update)
        return versionFolderUnavailable(settings, entered.reply);
    // The listing's sizes also order the download, the largest files first.
    m_ftp.setKeepFacts(settings.update);
    const QStringList lines = m_ftp.EnumFiles();
    m_ftp.setKeepFacts(false);
    m_view.showRemoteList(lines, false);
    if (!settings.update)
        return std::nullopt;
    // Without the folder's list nothing can be said to be up to date.
    if (!m_ftp.lastListing().ok)
        return versionFolderUnavailable(settings, m_ftp.lastListing().reply);
    return download(lines, settings);
}

int UpdateRun::download(const QStringList& remoteList, const Settings& settings)
{
    VersionDownload download(m_ftp, m_processes, m_dialogs, m_view, settings);
    const VersionDownload::Outcome outcome = download.Xdown(remoteList);
    report(outcome, settings);
    m_log.outcome(outcome.summary);
    return outcome.exitCode;
}

int UpdateRun::versionFolderUnavailable(const Settings& settings, const QString& reply)
{
    m_view.showRemoteList({}, false);
    VersionDownload download(m_ftp, m_processes, m_dialogs, m_view, settings);
    const VersionDownload::Outcome outcome = download.versionFolderUnavailable(m_ftp.targetDirectory(), reply);
    report(outcome, settings);
    m_log.outcome(outcome.summary);
    return outcome.exitCode;
}

void UpdateRun::report(const VersionDownload::Outcome& outcome, const Settings& settings)
{
    if (settings.fleetReports.isEmpty())
        return;
    FleetRecord record;
    record.offered = outcome.offered;
    record.result = outcome.result;
    record.day = outcome.day;
    record.exitStatus = outcome.exitCode;
    record.at = QDateTime::currentDateTimeUtc();
    record.durationMs = settings.startedMs > 0 ? record.at.toMSecsSinceEpoch() - settings.startedMs : 0;
    record.bytes = outcome.bytes;
    record.mirror = m_ftp.server();
    if (outcome.exitCode != 0 || outcome.result == FleetRecord::Result::Halted)
        record.error = FleetRecord::firstError(outcome.summary);
    FleetReport(m_ftp, settings.localFolder, settings.fleetReports, settings.timeoutSeconds)
        .write(record, outcome.releaseFault);
}
