#include "IntakeDownload.h"

#include "AttachmentName.h"
#include "IntakeCounter.h"
#include "IntakeView.h"
#include "ValidationSync.h"
#include "ftpsession/CaseTwins.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "ftpsession/ParallelDownload.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"
#include "platform/text/WindowsNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

IntakeDownload::IntakeDownload(FtpConnection& ftp, ValidationSync& sync, ProcessControl& processes, Dialogs& dialogs,
                               IntakeView& view, const Clock& clock, QString appDir)
    : m_ftp(ftp)
    , m_sync(sync)
    , m_processes(processes)
    , m_dialogs(dialogs)
    , m_view(view)
    , m_clock(clock)
    , m_appDir(std::move(appDir))
{}

QString IntakeDownload::attachmentFolder() const
{
    return QDir(m_appDir).filePath(QStringLiteral("IMG"));
}

QString IntakeDownload::prefix(Kind kind)
{
    return kind == Kind::Validation ? QStringLiteral("OKDI") : QStringLiteral("IMGDI");
}

void IntakeDownload::fetchAll(Kind kind, const QStringList& List1, const QString& folder, int transferType,
                              Outcome& outcome, QStringList& fetchedNames, QStringList& leftOnServer)
{
    const QString pre = prefix(kind);
    const qsizetype lines = List1.size();
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(static_cast<int>(lines));
    if (kind == Kind::Attachment)
        m_view.processEvents();
    m_view.setAnimationInterval(100);

    // Which lines are fetched, and under which local names.
    const CaseTwins twins(List1);
    QSet<QString> savedAs; // folded local names of this run's attachments
    QList<DownloadJob> jobs;
    for (qsizetype i = 0; i < lines; ++i) {
        const QString& line = List1.at(i);
        if (!line.startsWith(pre, Qt::CaseSensitive))
            continue;
        QString localName = line;
        QString why;
        if (kind == Kind::Attachment) {
            if (!AttachmentName::localName(line, m_clock.now(), localName)) {
                m_ftp.appendLog(QStringLiteral("« %1 » ignoré : nom sans extension.").arg(line));
                continue;
            }
            // Names that differ only by case (or not at all once upper-cased) would be one file
            // where names ignore case: each gets a name of its own.
            const QString first = localName;
            for (int n = 2; savedAs.contains(WindowsNames::folded(localName)); ++n)
                localName = AttachmentName::numbered(first, n);
            savedAs.insert(WindowsNames::folded(localName));
        } else if (!twins.admits(line, why)) {
            m_ftp.appendLog(why);
            continue;
        }
        QString path;
        if (!LocalTarget::resolve(folder, localName, path, why)) {
            m_ftp.appendLog(why);
            continue;
        }
        DownloadJob job;
        job.remote = line;
        job.localPath = path;
        job.size = m_ftp.facts().value(line).size;
        // An attachment never replaces another one that got the same name in the same second; it
        // stays on the server for the next run instead.
        job.failIfExists = kind == Kind::Attachment;
        job.transferType = transferType;
        jobs << job;
    }

    int progress = static_cast<int>(lines - jobs.size());
    m_view.setProgressValue(progress);
    m_view.processEvents();
    QSet<qsizetype> stillBeingSent;
    ParallelDownload::Callbacks callbacks;
    callbacks.beforeMain = [&](qsizetype k) {
        m_view.setCurrentItem(jobs.at(k).remote);
        m_view.processEvents();
    };
    callbacks.settle = [&](qsizetype k, DownloadResult& result) {
        if (result.main)
            m_view.setProgressValue(++progress);
        const QString& line = jobs.at(k).remote;
        const QString& path = jobs.at(k).localPath;
        if (result.ok && kind == Kind::Validation && QFileInfo(path).size() == 0) {
            // Still being sent: deleting it now would lose the validation for good.
            m_ftp.appendLog(
                QStringLiteral("« %1 » est vide : il reste sur le serveur pour une prochaine fois.").arg(line));
            stillBeingSent.insert(k);
        } else if (!result.ok && result.error == FtpErrorFileExists) {
            m_ftp.appendLog(QStringLiteral("« %1 » existe déjà ; « %2 » reste sur le serveur.")
                                .arg(QFileInfo(path).fileName(), line));
        }
        return true;
    };
    callbacks.idle = [&](qsizetype k) {
        if (k >= 0)
            m_view.setCurrentItem(jobs.at(k).remote);
        m_view.processEvents();
    };
    callbacks.arrived = [&](qsizetype) { m_view.setProgressValue(++progress); };
    ParallelDownload download(m_ftp, m_sessions);
    download.run(jobs, callbacks);
    // In the server's order, whatever order the sessions finished in.
    for (qsizetype k = 0; k < jobs.size(); ++k) {
        const DownloadResult& result = download.outcome(k);
        if (stillBeingSent.contains(k)) {
            leftOnServer << jobs.at(k).remote;
        } else if (result.ok) {
            fetchedNames << jobs.at(k).remote;
            outcome.saved << jobs.at(k).localPath;
        }
    }
    m_view.refreshLocalFiles();
    m_view.setAnimationInterval(400);
}

void IntakeDownload::report(Kind kind, int count)
{
    if (count == 0)
        return;
    MessageRequest r;
    r.text = QStringLiteral("Il y a ") + QString::number(count) +
             (kind == Kind::Validation ? QStringLiteral(" nouvelles DI arrivées...")
                                       : QStringLiteral(" nouvelles IMAGES arrivées..."));
    r.title = title();
    m_dialogs.message(r);
}

void IntakeDownload::cleanServer(Kind kind, const QStringList& List1, const QString& currentLine,
                                 const QStringList& fetchedNames, const QStringList& leftOnServer, Outcome& outcome)
{
    if (currentLine.isEmpty())
        return;
    const QString pre = prefix(kind);
    m_view.setAnimationInterval(100);
    for (const QString& line : List1) {
        if (!line.startsWith(pre, Qt::CaseSensitive))
            continue;
        if (leftOnServer.contains(line))
            continue; // already said why
        // A file that did not reach this machine is left on the server: deleting it would lose it.
        if (!fetchedNames.contains(line)) {
            m_ftp.appendLog(QStringLiteral("« %1 » n'a pas été récupéré : il reste sur le serveur.").arg(line));
            continue;
        }
        m_ftp.remove(line);
    }
    outcome.remoteList = m_ftp.EnumFiles();
    outcome.remoteListRefreshed = true;
}

IntakeDownload::Outcome IntakeDownload::xdownOKDI(const QStringList& List1, const QString& file1Folder,
                                                  const QString& currentLine, int transferType)
{
    Outcome outcome;
    QStringList fetchedNames;
    QStringList leftOnServer;
    fetchAll(Kind::Validation, List1, file1Folder, transferType, outcome, fetchedNames, leftOnServer);

    QString error;
    if (!m_sync.XmajOKDI(error)) {
        outcome.ok = false;
        outcome.error = error;
        return outcome;
    }
    outcome.count = m_sync.intakeCount().value();
    report(Kind::Validation, outcome.count);
    cleanServer(Kind::Validation, List1, currentLine, fetchedNames, leftOnServer, outcome);
    m_view.setAnimationInterval(400);
    return outcome;
}

IntakeDownload::Outcome IntakeDownload::xdownIMGDI(const QStringList& List1, const QString& currentLine,
                                                   int transferType)
{
    Outcome outcome;
    outcome.endProgram = true;
    const QString folder = attachmentFolder();
    // A fresh installation has no attachment folder yet.
    if (!QDir().mkpath(folder)) {
        outcome.ok = false;
        outcome.exitCode = 1;
        outcome.error = QStringLiteral("Le dossier des pièces jointes « %1 » ne peut pas être créé.")
                            .arg(QDir::toNativeSeparators(folder));
        return outcome;
    }
    m_view.setLocalFolder(folder);
    m_view.setInfo(QStringLiteral("Enregistrement des pièces jointes..."));

    QStringList fetchedNames;
    QStringList leftOnServer;
    fetchAll(Kind::Attachment, List1, folder, transferType, outcome, fetchedNames, leftOnServer);
    outcome.count = static_cast<int>(outcome.saved.size());
    report(Kind::Attachment, outcome.count);
    cleanServer(Kind::Attachment, List1, currentLine, fetchedNames, leftOnServer, outcome);
    m_view.setAnimationInterval(400);

    const TerminateResult stopped = m_processes.terminateByImageName(downImageName());
    if (!stopped.ok) {
        outcome.ok = false;
        outcome.exitCode = 1;
        outcome.error = stopped.error;
    }
    return outcome;
}
