#include "SingleInstance.h"

#include <QDir>

SingleInstance::SingleInstance(const QString& lockFile)
    : m_lock(lockFile)
{
    // Never considered stale by age: a station stays open all day.
    m_lock.setStaleLockTime(0);
}

bool SingleInstance::claim()
{
    if (m_lock.isLocked())
        return true;
    if (m_lock.tryLock(0))
        return true;
    // tryLock already removes a lock whose process is gone; only a live owner is left here.
    return false;
}

QString SingleInstance::lockFileIn(const QString& folder)
{
    return QDir(folder).filePath(QStringLiteral("VORN_UPDATE_VERSION.station.lock"));
}
