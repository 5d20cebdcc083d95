#include "FleetState.h"

#include "release/InstalledRelease.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

FleetState::FleetState(QString appDir)
    : m_path(QDir(InstalledRelease::folder(appDir)).filePath(fileName()))
{}

QByteArray FleetState::manifestKey(const QByteArray& manifestBytes)
{
    return QCryptographicHash::hash(manifestBytes, QCryptographicHash::Sha256).toHex();
}

void FleetState::load()
{
    lastRecord.clear();
    failedReleases.clear();
    haltedManifests.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray& line : file.read(1024 * 1024).split('\n')) {
        if (line.startsWith("record "))
            lastRecord = QString::fromUtf8(line.mid(7));
        else if (line.startsWith("failed ")) {
            bool ok = false;
            const qint64 release = line.mid(7).toLongLong(&ok);
            if (ok)
                failedReleases.insert(release);
        } else if (line.startsWith("halted ") && line.size() == 7 + 64) {
            haltedManifests.insert(line.mid(7));
        }
    }
}

bool FleetState::save(QString& error) const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QByteArray text;
    if (!lastRecord.isEmpty())
        text += "record " + lastRecord.toUtf8() + '\n';
    for (const qint64 release : failedReleases)
        text += "failed " + QByteArray::number(release) + '\n';
    for (const QByteArray& key : haltedManifests)
        text += "halted " + key + '\n';
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = QStringLiteral("La mémoire du parc %1 ne peut pas être écrite (%2).")
                    .arg(QDir::toNativeSeparators(m_path), file.errorString());
        return false;
    }
    return true;
}
