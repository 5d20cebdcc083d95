#include "VersionDownload.h"

#include "DownloadView.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "platform/Dialogs.h"
#include "platform/NativePath.h"
#include "platform/ProcessControl.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <filesystem>

VersionDownload::VersionDownload(FtpConnection& ftp, ProcessControl& processes, Dialogs& dialogs, DownloadView& view)
    : m_ftp(ftp)
    , m_processes(processes)
    , m_dialogs(dialogs)
    , m_view(view)
{}

void VersionDownload::Xkill(const QString& appli)
{
    if (appli != launcherImageName())
        m_processes.terminateByImageName(appli);
    // The old copy is not deleted here: the fetch replaces it only once the new one is complete.
}

bool VersionDownload::localPathFor(const QString& name, const QString& localFolder, QString& path)
{
    QString why;
    if (LocalTarget::resolveListed(localFolder, name, path, why))
        return true;
    m_ftp.appendLog(why);
    return false;
}

bool VersionDownload::fetch(const QString& name, const QString& localPath, int transferType)
{
    const bool ok = m_ftp.client().getFile(m_ftp.ConnectionHandle, name, localPath, false, transferType);
    m_ftp.ShowError(true);
    return ok;
}

namespace {

QString shownNames(const QStringList& names)
{
    QStringList shown;
    for (const QString& name : names)
        shown << LocalTarget::shown(name);
    return shown.join(QStringLiteral(", "));
}

} // namespace

QString VersionDownload::unchangedLine(int unchanged)
{
    if (unchanged <= 0)
        return {};
    return unchanged == 1 ? QStringLiteral("\n1 fichier inchangé")
                          : QStringLiteral("\n%1 fichiers inchangés").arg(unchanged);
}

FtpFindData VersionDownload::serverFacts(const QString& name)
{
    const auto known = m_ftp.facts().constFind(name);
    if (known != m_ftp.facts().constEnd() && known->size >= 0 && known->modified.isValid())
        return *known;
    // A listing without facts: the server is asked for this one.
    FtpFindData facts;
    facts.fileName = name;
    m_ftp.client().fileFacts(m_ftp.ConnectionHandle, name, facts.size, facts.modified);
    return facts;
}

bool VersionDownload::isUnchanged(const QString& path, const FtpFindData& server)
{
    if (server.size < 0 || !server.modified.isValid())
        return false;
    const QFileInfo local(path);
    if (!local.isFile() || local.size() != server.size)
        return false;
    // Times to the second, what every server's facts carry, and in UTC: a local time would look
    // up the time zone for every file.
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(nativePath(path), ec);
    if (ec)
        return false;
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::file_clock::to_sys(written).time_since_epoch());
    return seconds.count() == server.modified.toSecsSinceEpoch();
}

void VersionDownload::keepServerTime(const QString& path, const QDateTime& modified)
{
    // Not kept, the file is only fetched once more by the next run.
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        file.setFileTime(modified, QFileDevice::FileModificationTime);
}

QString VersionDownload::incompleteText(const QStringList& notFetched)
{
    const qsizetype n = notFetched.size();
    QString text = n == 1
                       ? QStringLiteral("La mise à jour est incomplète : 1 fichier n'a pas été mis à jour, son "
                                        "ancienne copie a été conservée :")
                       : QStringLiteral("La mise à jour est incomplète : %1 fichiers n'ont pas été mis à jour, leurs "
                                        "anciennes copies ont été conservées :")
                             .arg(n);
    for (qsizetype i = 0; i < std::min(n, ListedNames); ++i)
        text += QLatin1Char('\n') + LocalTarget::shown(notFetched.at(i));
    if (n > ListedNames)
        text += QLatin1Char('\n') + QChar(0x2026);
    return text;
}

void VersionDownload::warn(const QString& text)
{
    MessageRequest r;
    r.text = text;
    r.title = title();
    r.icon = DialogIcon::Exclamation;
    m_dialogs.message(r);
}

VersionDownload::Outcome VersionDownload::Xdown(const QStringList& remoteList, const QString& localFolder,
                                                const QString& appFolder, int transferType, const QString& userName,
                                                bool startApplication)
{
    Outcome outcome;
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(static_cast<int>(remoteList.size()));
    m_view.setAnimationInterval(100);

    int fetched = 0;
    for (qsizetype i = 0; i < remoteList.size(); ++i) {
        m_view.setProgressValue(static_cast<int>(i));
        m_view.processEvents();
        const QString& name = remoteList.at(i);
        m_view.setInfo(name);
        m_view.processEvents();
        QString path;
        if (!localPathFor(name, localFolder, path)) {
            outcome.notFetched << name; // refused and logged: nothing stopped, nothing written
            continue;
        }
        FtpFindData server;
        if (m_skipUnchanged && !LocalTarget::isParentLine(name)) {
            server = serverFacts(name);
            if (isUnchanged(path, server)) {
                ++outcome.unchanged; // nothing stopped, nothing fetched
                continue;
            }
        }
        if (name.endsWith(QLatin1String("exe")))
            Xkill(name);
        // The listing's own parent line is fetched as it always was; its refusal is no failure.
        if (fetch(name, path, transferType)) {
            ++fetched;
            if (m_skipUnchanged && server.modified.isValid())
                keepServerTime(path, server.modified);
        } else if (!LocalTarget::isParentLine(name)) {
            outcome.notFetched << name;
        }
    }
    m_view.refreshLocalFiles();
    m_view.setAnimationInterval(400);

    if (outcome.notFetched.isEmpty()) {
        MessageRequest done;
        done.text = QStringLiteral("All is OK...  73 ") + userName + unchangedLine(outcome.unchanged);
        done.title = title();
        m_dialogs.message(done);
        outcome.summary = QStringLiteral("mise à jour complète, %1 fichier(s) à jour.").arg(fetched);
        if (m_skipUnchanged)
            outcome.summary += QStringLiteral(" %1 fichier(s) inchangé(s).").arg(outcome.unchanged);
    } else {
        warn(incompleteText(outcome.notFetched) + unchangedLine(outcome.unchanged));
        outcome.exitCode = ExitIncomplete;
        outcome.summary = QStringLiteral("mise à jour incomplète, %1 fichier(s) non mis à jour : %2")
                              .arg(outcome.notFetched.size())
                              .arg(shownNames(outcome.notFetched));
    }
    handOver(outcome, appFolder, startApplication);
    return outcome;
}

VersionDownload::Outcome VersionDownload::versionFolderUnavailable(const QString& folder, const QString& reply,
                                                                   const QString& appFolder, bool startApplication)
{
    Outcome outcome;
    outcome.exitCode = ExitIncomplete;
    warn(QStringLiteral("Le dossier des versions « %1 » est inaccessible sur le serveur : aucun fichier n'a été mis à "
                        "jour.\nRéponse du serveur : %2")
             .arg(folder, reply));
    outcome.summary = QStringLiteral("mise à jour impossible, le dossier des versions « %1 » est inaccessible : %2")
                          .arg(folder, QString(reply).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    handOver(outcome, appFolder, startApplication);
    return outcome;
}

void VersionDownload::handOver(Outcome& outcome, const QString& appFolder, bool startApplication)
{
    m_view.setBusy(true);
    m_view.setProgressVisible(false);
    m_view.setInfo(QStringLiteral("VORN Log is going to start..."));
    m_view.processEvents();

    if (!startApplication) {
        m_view.setBusy(false);
        return;
    }

    const TerminateResult stopped = m_processes.terminateByImageName(applicationName());
    if (!stopped.ok)
        warn(stopped.error);

    QString error;
    const QString program = LocalTarget::join(appFolder, applicationName());
    if (!m_processes.startDetached(program, &error)) {
        MessageRequest r;
        r.text = error;
        r.title = title();
        m_dialogs.message(r);
        m_processes.terminateByImageName(launcherImageName());
        outcome.error = error;
        outcome.exitCode = ExitNotStarted;
        outcome.summary += QStringLiteral(" %1 n'a pas pu être démarré : %2").arg(applicationName(), error);
        m_view.setBusy(false);
        return;
    }
    outcome.applicationStarted = true;
    m_processes.terminateByImageName(launcherImageName());
    m_view.setBusy(false);
}
