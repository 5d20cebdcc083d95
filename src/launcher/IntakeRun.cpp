#include "IntakeRun.h"

#include "UpdateRun.h"
#include "ftpsession/CaseTwins.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "ftpsession/RunLog.h"
#include "intake/IntakeDownload.h"
#include "intake/RequestLoader.h"
#include "intake/ValidationSync.h"
#include "platform/ConsoleText.h"
#include "platform/Dialogs.h"

#include <QDir>

#include <cstdio>

IntakeRun::IntakeRun(FtpConnection& ftp, ProcessControl& processes, Dialogs& dialogs, IntakeRunView& view, RunLog& log,
                     const Clock& clock, Settings settings)
    : m_ftp(ftp)
    , m_processes(processes)
    , m_dialogs(dialogs)
    , m_view(view)
    , m_log(log)
    , m_clock(clock)
    , m_settings(std::move(settings))
    , m_localFolder(m_settings.appDir)
{}

int IntakeRun::run(const ServerLogin& login, int transferType)
{
    m_transferType = transferType;
    // Which database the run writes to, before anything is written to it.
    const QString database = RequestLoader::databaseInUse(m_settings.appDir);
    writeText(stdout, database + QLatin1Char('\n'));
    m_log.write(database);

    const FtpResult loggedIn = m_ftp.login(login.server, login.user, login.password);
    if (!loggedIn.ok) {
        const QString failure = UpdateRun::loginFailureText(login.server, loggedIn.reply);
        m_ftp.closeHandles();
        m_log.outcome(failure);
        if (!m_settings.unattended)
            report(false, failure);
        return 1;
    }
    m_view.showConnected();
    const FtpResult inFolder = m_ftp.changeDirectory(m_settings.remoteDir);
    if (inFolder.ok)
        showRemoteList(m_ftp.EnumFiles());
    if (!inFolder.ok || !m_ftp.lastListing().ok) {
        // The login folder is not the request folder, and a folder that cannot be listed tells
        // nothing: nothing may be fetched or deleted.
        const QString error = QStringLiteral("Le dossier des DI « %1 » est inaccessible sur le serveur : rien n'a été "
                                             "récupéré ni supprimé.\nRéponse du serveur : %2")
                                  .arg(m_settings.remoteDir, inFolder.ok ? m_ftp.lastListing().reply : inFolder.reply);
        report(false, error);
        return stop(error);
    }

    const QString requestFolder = QDir(m_settings.appDir).filePath(QStringLiteral("DOWN"));
    if (!fetchRequestFiles(requestFolder) || !XMAJ())
        return stop(m_lastError);
    const int loaded = m_count.value();
    // Both downloads clean the server of what they fetched.
    m_localFolder = requestFolder;
    m_view.setLocalFolder(requestFolder);
    if (const std::optional<int> end = xdownOKDI())
        return *end;
    const int validated = m_count.value();
    const std::optional<int> end = xdownIMGDI();
    const int exitCode = end.value_or(0);
    if (exitCode == 0)
        m_log.outcome(QStringLiteral("intake terminé, %1 DI enregistrée(s), %2 validation(s), %3 pièce(s) jointe(s).")
                          .arg(loaded)
                          .arg(validated)
                          .arg(m_attachments));
    return exitCode;
}

bool IntakeRun::XMAJ()
{
    QString error;
    RequestLoader loader(m_settings.appDir, m_count, m_view, m_clock);
    const bool ok = loader.XMAJ(error);
    m_view.showRequests(loader.ListDI());
    return report(ok, error);
}

bool IntakeRun::XmajOKDI()
{
    QString error;
    ValidationSync sync(m_settings.appDir, m_count, m_view);
    return report(sync.XmajOKDI(error), error);
}

std::optional<int> IntakeRun::xdownOKDI()
{
    ValidationSync sync(m_settings.appDir, m_count, m_view);
    IntakeDownload download(m_ftp, sync, m_processes, m_dialogs, m_view, m_clock, m_settings.appDir);
    download.setSessions(m_settings.sessions);
    // The first line current: what was fetched is deleted from the server.
    const IntakeDownload::Outcome outcome =
        download.xdownOKDI(m_remoteList, m_localFolder, m_remoteList.value(0), m_transferType);
    if (outcome.remoteListRefreshed)
        showRemoteList(outcome.remoteList);
    if (!report(outcome.ok, outcome.error))
        return stop(outcome.error);
    return std::nullopt;
}

std::optional<int> IntakeRun::xdownIMGDI()
{
    ValidationSync sync(m_settings.appDir, m_count, m_view);
    IntakeDownload download(m_ftp, sync, m_processes, m_dialogs, m_view, m_clock, m_settings.appDir);
    download.setSessions(m_settings.sessions);
    const IntakeDownload::Outcome outcome = download.xdownIMGDI(m_remoteList, m_remoteList.value(0), m_transferType);
    if (outcome.remoteListRefreshed)
        showRemoteList(outcome.remoteList);
    m_attachments = outcome.count;
    if (!report(outcome.ok, outcome.error))
        return stop(outcome.error);
    if (outcome.endProgram)
        return outcome.exitCode;
    return std::nullopt;
}

bool IntakeRun::fetchRequestFiles(const QString& folder)
{
    if (!QDir().mkpath(folder)) {
        report(false,
               QStringLiteral("Le dossier des DI « %1 » ne peut pas être créé.").arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    // Request files stay on the server: a later loading skips what the table already holds.
    const CaseTwins twins(m_remoteList);
    for (const QString& name : std::as_const(m_remoteList)) {
        if (!name.startsWith(QLatin1String("DI")))
            continue;
        QString path;
        QString why;
        if (!twins.admits(name, why) || !LocalTarget::resolve(folder, name, path, why)) {
            m_ftp.appendLog(why);
            continue;
        }
        m_view.setCurrentItem(name);
        m_view.processEvents();
        m_ftp.getFile(name, path, m_transferType);
    }
    return true;
}

void IntakeRun::showRemoteList(const QStringList& lines)
{
    m_remoteList = lines;
    m_view.showRemoteList(lines);
}

bool IntakeRun::report(bool ok, const QString& error)
{
    if (!ok)
        m_lastError = error;
    if (!ok && !error.isEmpty()) {
        MessageRequest r;
        r.text = error;
        r.title = IntakeDownload::title();
        r.icon = DialogIcon::Critical;
        m_dialogs.message(r);
    }
    return ok;
}

int IntakeRun::stop(const QString& why)
{
    m_log.outcome(QStringLiteral("intake arrêté : ") + why);
    return 3;
}
