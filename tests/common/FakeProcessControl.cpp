#include "FakeProcessControl.h"

#include <QDir>
#include <QFileInfo>

TerminateResult FakeProcessControl::terminateByImageName(const QString& imageName)
{
    terminated << imageName;
    TerminateResult r;
    if (failTerminate) {
        r.ok = false;
        r.error = QStringLiteral("La liste des processus est illisible.");
    }
    r.matchedSelf = selfNames.contains(imageName);
    return r;
}

bool FakeProcessControl::startDetached(const QString& program, QString* error)
{
    if (failStart || !QFileInfo(program).isFile()) {
        if (error)
            *error = QStringLiteral("Fichier introuvable : %1").arg(QDir::toNativeSeparators(program));
        return false;
    }
    started << program;
    return true;
}

WatchedStart FakeProcessControl::startWatched(const QString& program, int seconds, const std::function<void()>& tick)
{
    WatchedStart r;
    if (!startDetached(program, &r.error))
        return r;
    watchedSeconds = seconds;
    if (tick)
        tick();
    return watchResult;
}
