#pragma once

#include <QLockFile>
#include <QString>

// One running station per application folder: a lock file held while the station runs. A lock
// left by a crashed process is taken over.
class SingleInstance final {
public:
    explicit SingleInstance(const QString& lockFile);

    // True when this process holds the lock (also when it already did).
    bool claim();
    bool isHeld() const { return m_lock.isLocked(); }

    static QString lockFileIn(const QString& folder);

private:
    QLockFile m_lock;
};
