#include "UpdateRun.h"

#include "UpdateView.h"
#include "VersionDownload.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/RunLog.h"

UpdateRun::UpdateRun(FtpConnection& ftp, ProcessControl& processes, Dialogs& dialogs, UpdateView& view, RunLog& log)
    : m_ftp(ftp)
    , m_processes(processes)
    , m_dialogs(dialogs)
    , m_view(view)
    , m_log(log)
{}

QString UpdateRun::loginFailureText(const QString& server, const QString& why)
{
    return QStringLiteral("Échec de la connexion au serveur %1 : %2")
        .arg(server, why.isEmpty() ? QStringLiteral("pas de réponse") : why);
}

std::optional<int> UpdateRun::afterLogin(const Settings& settings)
{
    m_ftp.ShowError(true);
    m_ftp.HomeDirectory = m_ftp.CurrentDirectory;
    m_view.showRemoteList(m_ftp.EnumFiles(), true);
    m_view.showConnected();
    const bool entered = m_ftp.changeDirectory(settings.versionFolder);
    m_ftp.ShowError(true);
    // Listing and fetching the login folder instead would overwrite local files.
    if (!entered && settings.update)
        return versionFolderUnavailable(settings);
    // The listing's sizes also order the download, the largest files first.
    m_ftp.setKeepFacts(settings.update);
    const QStringList lines = m_ftp.EnumFiles();
    m_ftp.setKeepFacts(false);
    m_view.showRemoteList(lines, false);
    if (!settings.update)
        return std::nullopt;
    // Without the folder's list nothing can be said to be up to date.
    if (m_ftp.listingFailed())
        return versionFolderUnavailable(settings);
    return download(lines, settings);
}

int UpdateRun::download(const QStringList& remoteList, const Settings& settings)
{
    VersionDownload download(m_ftp, m_processes, m_dialogs, m_view);
    download.setSkipUnchanged(settings.skipUnchanged);
    download.setSessions(settings.sessions);
    download.setStaged(settings.staged);
    download.setStartCheck(settings.startCheck);
    download.setRolloutIgnored(settings.rolloutIgnored);
    if (!settings.releaseKeys.isEmpty() || !settings.keyRefusal.isEmpty())
        download.setSignedReleases(settings.releaseKeys, settings.keyRefusal,
                                   settings.clock ? *settings.clock : m_systemClock);
    const VersionDownload::Outcome outcome =
        download.Xdown(remoteList, settings.localFolder, settings.appFolder, settings.transferType, settings.userName,
                       settings.startApplication);
    m_log.outcome(outcome.summary);
    return outcome.exitCode;
}

int UpdateRun::versionFolderUnavailable(const Settings& settings)
{
    m_view.showRemoteList({}, false);
    VersionDownload download(m_ftp, m_processes, m_dialogs, m_view);
    const VersionDownload::Outcome outcome = download.versionFolderUnavailable(
        m_ftp.TargetDirectory, m_ftp.LastResponse, settings.appFolder, settings.startApplication);
    m_log.outcome(outcome.summary);
    return outcome.exitCode;
}
