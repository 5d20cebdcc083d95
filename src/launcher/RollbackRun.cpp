#include "RollbackRun.h"

#include "ReleaseSwap.h"
#include "VersionDownload.h"
#include "fleet/FleetReport.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "ftpsession/RunLog.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"
#include "release/InstalledRelease.h"
#include "release/ReleaseManifest.h"

#include <QDir>
#include <QFileInfo>

RollbackRun::RollbackRun(ProcessControl& processes, Dialogs& dialogs, QString appDir, const Clock& clock,
                         bool mirrorLog)
    : m_processes(processes)
    , m_dialogs(dialogs)
    , m_appDir(std::move(appDir))
    , m_clock(clock)
    , m_mirrorLog(mirrorLog)
{}

void RollbackRun::say(const QString& text)
{
    MessageRequest r;
    r.text = text;
    r.title = VersionDownload::title();
    m_dialogs.message(r);
}

int RollbackRun::run(bool startApplication)
{
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
    RunLog log(QDir(m_appDir).filePath(RunLog::fileName()), m_clock, m_mirrorLog);
    ReleaseSwap swap(m_appDir);
    if (!swap.hasPrevious()) {
        const QString text = QStringLiteral("Aucune version précédente n'est conservée dans « %1 » : rien n'a été "
                                            "changé.")
                                 .arg(QDir::toNativeSeparators(m_appDir));
        say(text);
        log.outcome(QStringLiteral("retour impossible : ") + text);
        return ExitNoPrevious;
    }
    QString unread;
    m_release = InstalledRelease::number(m_appDir, unread).value_or(0);
    m_sameDay = QFileInfo(QDir(InstalledRelease::folder(m_appDir)).filePath(ReleaseManifest::fileName()))
                    .lastModified()
                    .date() == m_clock.now().date();
    m_processes.terminateByImageName(VersionDownload::applicationName());
    QString why;
    const auto stop = [this](const QString& name) {
        if (name.endsWith(QLatin1String("exe")) && name != VersionDownload::launcherImageName())
            m_processes.terminateByImageName(name);
    };
    if (!swap.rollback(stop, why)) {
        const QString text = QStringLiteral("La version précédente n'a pas pu être remise en place : %1").arg(why);
        say(text);
        log.outcome(QStringLiteral("retour échoué : ") + why);
        return finish(log, ExitFailed, text);
    }
    log.write(QStringLiteral("La version précédente a été remise en place."));
    if (!startApplication) {
        log.outcome(QStringLiteral("retour à la version précédente effectué."));
        return finish(log, 0, {});
    }
    QString error;
    if (!m_processes.startDetached(LocalTarget::join(m_appDir, VersionDownload::applicationName()), &error)) {
        say(error);
        log.outcome(QStringLiteral("retour à la version précédente effectué ; %1 n'a pas pu être démarré : %2")
                        .arg(VersionDownload::applicationName(), error));
        return finish(log, VersionDownload::ExitNotStarted, error);
    }
    log.outcome(
        QStringLiteral("retour à la version précédente effectué, %1 démarré.").arg(VersionDownload::applicationName()));
    return finish(log, 0, {});
}

int RollbackRun::finish(RunLog& log, int exitStatus, const QString& error)
{
    if (!m_client || m_config.fleetReports.isEmpty())
        return exitStatus;
    // The login's own lines are kept only when it succeeds: a report that cannot be written is
    // one line of the log, whatever the reason.
    FtpConnection ftp(*m_client);
    ftp.setStationFolder(m_appDir);
    QStringList lines;
    ftp.onLogAppended = [&lines](const QString& text) { lines << text; };
    const FtpResult login = ftp.login(m_config.host, m_config.user, m_config.password);
    if (!login.ok) {
        log.write(QStringLiteral("Rapport du poste non écrit : connexion impossible (%1).")
                      .arg(login.reply.trimmed().replace(QLatin1Char('\n'), QLatin1Char(' '))));
        ftp.closeHandles();
        return exitStatus;
    }
    for (const QString& line : std::as_const(lines))
        log.write(line);
    ftp.onLogAppended = [&log](const QString& text) { log.write(text); };
    FleetRecord record;
    record.offered = m_release;
    record.result = FleetRecord::Result::RolledBack;
    record.exitStatus = exitStatus;
    record.at = QDateTime::currentDateTimeUtc();
    record.durationMs = record.at.toMSecsSinceEpoch() - m_startedMs;
    record.mirror = ftp.server();
    record.error = FleetRecord::firstError(error);
    FleetReport(ftp, m_appDir, m_config.fleetReports, m_config.timeoutSeconds)
        .write(record, m_release > 0 && m_sameDay && exitStatus != ExitFailed);
    ftp.closeHandles();
    return exitStatus;
}
