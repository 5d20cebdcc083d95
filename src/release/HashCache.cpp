#include "HashCache.h"

#include "InstalledRelease.h"
#include "platform/hash/Sha256Stream.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString cachePath(const QString& appDir)
{
    return QDir(InstalledRelease::folder(appDir)).filePath(QStringLiteral("hashes"));
}

constexpr qint64 MaxCacheBytes = 64 * 1024 * 1024;

} // namespace

HashCache::HashCache(QString appDir)
    : m_appDir(std::move(appDir))
{}

void HashCache::load()
{
    m_entries.clear();
    QFile file(cachePath(m_appDir));
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxCacheBytes)
        return;
    // "<sha256 hex> <size> <modified ms> <name>" per line; a line that does not read so is dropped.
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() < 4 || f.at(0).size() != 64)
            continue;
        bool sizeOk = false;
        bool timeOk = false;
        Entry e;
        e.size = f.at(1).toLongLong(&sizeOk);
        e.modifiedMs = f.at(2).toLongLong(&timeOk);
        e.sha256 = QByteArray::fromHex(f.at(0));
        const qsizetype nameStart = f.at(0).size() + f.at(1).size() + f.at(2).size() + 3;
        if (sizeOk && timeOk && e.sha256.size() == 32)
            m_entries.insert(QString::fromUtf8(line.mid(nameStart)), e);
    }
}

bool HashCache::save(QString& error)
{
    QByteArray out;
    qsizetype kept = 0;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (!it->used)
            continue;
        ++kept;
        out += it->sha256.toHex() + ' ' + QByteArray::number(it->size) + ' ' + QByteArray::number(it->modifiedMs) +
               ' ' + it.key().toUtf8() + '\n';
    }
    if (!m_changed && kept == m_entries.size())
        return true;
    const QString path = cachePath(m_appDir);
    QSaveFile file(path);
    if (!QDir().mkpath(InstalledRelease::folder(m_appDir)) || !file.open(QIODevice::WriteOnly) ||
        file.write(out) != out.size() || !file.commit()) {
        error =
            QStringLiteral("Impossible d'enregistrer %1 (%2).").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    m_changed = false;
    return true;
}

std::optional<QByteArray> HashCache::sha256(const QString& name, QString& error)
{
    const QFileInfo info(QDir(m_appDir).filePath(name));
    if (!info.isFile()) {
        error = QStringLiteral("Le fichier %1 n'existe pas.").arg(QDir::toNativeSeparators(info.filePath()));
        return std::nullopt;
    }
    const qint64 modified = info.lastModified().toMSecsSinceEpoch();
    const auto it = m_entries.find(name);
    if (it != m_entries.end() && it->size == info.size() && it->modifiedMs == modified) {
        it->used = true;
        return it->sha256;
    }
    std::optional<QByteArray> digest = Sha256Stream::ofFile(info.filePath(), error);
    ++m_filesRead;
    if (digest) {
        m_entries.insert(name, Entry{info.size(), modified, *digest, true});
        m_changed = true;
    }
    return digest;
}

bool HashCache::matches(const QString& name, qint64 size, const QByteArray& sha256)
{
    const QFileInfo info(QDir(m_appDir).filePath(name));
    if (!info.isFile() || info.size() != size)
        return false;
    QString ignored;
    const std::optional<QByteArray> digest = this->sha256(name, ignored);
    return digest && *digest == sha256;
}

void HashCache::remember(const QString& name, const QByteArray& sha256)
{
    const QFileInfo info(QDir(m_appDir).filePath(name));
    if (!info.isFile())
        return;
    m_entries.insert(name, Entry{info.size(), info.lastModified().toMSecsSinceEpoch(), sha256, true});
    m_changed = true;
}
