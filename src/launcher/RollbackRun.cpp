#include "RollbackRun.h"

#include "ReleaseSwap.h"
#include "VersionDownload.h"
#include "ftpsession/LocalTarget.h"
#include "ftpsession/RunLog.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"

#include <QDir>

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
        return ExitFailed;
    }
    log.write(QStringLiteral("La version précédente a été remise en place."));
    if (!startApplication) {
        log.outcome(QStringLiteral("retour à la version précédente effectué."));
        return 0;
    }
    QString error;
    if (!m_processes.startDetached(LocalTarget::join(m_appDir, VersionDownload::applicationName()), &error)) {
        say(error);
        log.outcome(QStringLiteral("retour à la version précédente effectué ; %1 n'a pas pu être démarré : %2")
                        .arg(VersionDownload::applicationName(), error));
        return VersionDownload::ExitNotStarted;
    }
    log.outcome(
        QStringLiteral("retour à la version précédente effectué, %1 démarré.").arg(VersionDownload::applicationName()));
    return 0;
}
