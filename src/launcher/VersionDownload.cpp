#include "VersionDownload.h"

#include "DownloadView.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"

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

void VersionDownload::fetch(const QString& name, const QString& localPath, int transferType)
{
    m_ftp.client().getFile(m_ftp.ConnectionHandle, name, localPath, false, transferType);
    m_ftp.ShowError(true);
}

VersionDownload::Outcome VersionDownload::Xdown(const QStringList& remoteList, const QString& localFolder,
                                                const QString& appFolder, int transferType, const QString& userName,
                                                bool startApplication)
{
    Outcome outcome;
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(static_cast<int>(remoteList.size()));
    m_view.setAnimationInterval(100);

    for (qsizetype i = 0; i < remoteList.size(); ++i) {
        m_view.setProgressValue(static_cast<int>(i));
        m_view.processEvents();
        const QString& name = remoteList.at(i);
        m_view.setInfo(name);
        m_view.processEvents();
        QString path;
        if (!localPathFor(name, localFolder, path))
            continue; // refused and logged: nothing stopped, nothing written
        if (name.endsWith(QLatin1String("exe")))
            Xkill(name);
        fetch(name, path, transferType);
    }
    m_view.refreshLocalFiles();
    m_view.setAnimationInterval(400);

    MessageRequest done;
    done.text = QStringLiteral("All is OK...  73 ") + userName;
    done.title = title();
    m_dialogs.message(done);

    m_view.setBusy(true);
    m_view.setProgressVisible(false);
    m_view.setInfo(QStringLiteral("VORN Log is going to start..."));
    m_view.processEvents();

    if (!startApplication) {
        m_view.setBusy(false);
        return outcome;
    }

    const TerminateResult stopped = m_processes.terminateByImageName(applicationName());
    if (!stopped.ok) {
        MessageRequest r;
        r.text = stopped.error;
        r.title = title();
        r.icon = DialogIcon::Exclamation;
        m_dialogs.message(r);
    }

    QString error;
    const QString program = LocalTarget::join(appFolder, applicationName());
    if (!m_processes.startDetached(program, &error)) {
        MessageRequest r;
        r.text = error;
        r.title = title();
        m_dialogs.message(r);
        m_processes.terminateByImageName(launcherImageName());
        outcome.error = error;
        outcome.exitCode = 2;
        m_view.setBusy(false);
        return outcome;
    }
    outcome.applicationStarted = true;
    m_processes.terminateByImageName(launcherImageName());
    m_view.setBusy(false);
    return outcome;
}
