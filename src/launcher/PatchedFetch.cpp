#include "PatchedFetch.h"

#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "platform/ftp/PartFile.h"
#include "platform/hash/Sha256Stream.h"
#include "release/HashCache.h"
#include "release/ReleasePatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

PatchedFetch::PatchedFetch(FtpConnection& ftp, const ReleaseManifest& manifest, HashCache& hashes, QString localFolder,
                           QString workFolder)
    : m_ftp(ftp)
    , m_manifest(manifest)
    , m_hashes(hashes)
    , m_localFolder(std::move(localFolder))
    , m_workFolder(std::move(workFolder))
{}

bool PatchedFetch::fallBack(const QString& name, const QString& why)
{
    m_ftp.appendLog(QStringLiteral("Correctif de « %1 » inutilisable (%2) : le fichier entier est téléchargé.")
                        .arg(LocalTarget::shown(name), why));
    return false;
}

const ReleaseManifest::Patch* PatchedFetch::patchFor(const ReleaseManifest::Entry& entry)
{
    if (m_manifest.patches().isEmpty() || !ReleasePatch::available() || entry.size > ReleasePatch::MaxFileBytes)
        return nullptr;
    const QFileInfo local(QDir(m_localFolder).filePath(entry.name));
    if (!local.isFile() || local.size() > ReleasePatch::MaxFileBytes)
        return nullptr;
    QString error;
    const std::optional<QByteArray> base = m_hashes.sha256(entry.name, error);
    if (!base)
        return nullptr;
    return m_manifest.patchFor(entry.name, *base);
}

QString PatchedFetch::remoteName(const ReleaseManifest::Patch& patch)
{
    return ReleaseManifest::patchFolder() + QLatin1Char('/') + patch.name;
}

QString PatchedFetch::fetchedPath(const ReleaseManifest::Patch& patch) const
{
    return QDir(m_workFolder).filePath(QStringLiteral("patch-") + patch.name);
}

bool PatchedFetch::notFetched(const ReleaseManifest::Entry& entry, bool mismatch)
{
    return fallBack(entry.name, mismatch ? QStringLiteral("il n'est pas celui de la version signée")
                                         : QStringLiteral("non téléchargé"));
}

bool PatchedFetch::make(const ReleaseManifest::Entry& entry, const ReleaseManifest::Patch& patch, const QString& path,
                        QString& why) const
{
    const QString patchPath = fetchedPath(patch);
    QFile patchFile(patchPath);
    QFile old(QDir(m_localFolder).filePath(entry.name));
    if (!patchFile.open(QIODevice::ReadOnly) || !old.open(QIODevice::ReadOnly)) {
        QFile::remove(patchPath);
        why = QStringLiteral("lecture impossible");
        return false;
    }
    const QByteArray patchBytes = patchFile.read(patch.size + 1);
    const QByteArray oldBytes = old.read(ReleasePatch::MaxFileBytes + 1);
    patchFile.close();
    QFile::remove(patchPath);
    const std::optional<QByteArray> made = ReleasePatch::apply(oldBytes, patchBytes, entry.size, why);
    if (!made)
        return false;
    // The judge of whatever was made, from whichever local copy (it may have changed since it was
    // hashed): the signed digest of the file.
    Sha256Stream digest;
    digest.addData(*made);
    if (digest.result() != entry.sha256) {
        why = QStringLiteral("le fichier obtenu n'est pas celui de la version signée");
        return false;
    }
    // Written as a download is: a part file renamed over the target once whole.
    PartFile out(path);
    why.clear();
    if (!out.open(why) || out.file().write(*made) != made->size() || !out.commit(why)) {
        if (why.isEmpty())
            why = out.file().errorString();
        return false;
    }
    return true;
}

bool PatchedFetch::apply(const ReleaseManifest::Entry& entry, const ReleaseManifest::Patch& patch, const QString& path)
{
    QString why;
    return make(entry, patch, path, why) ? made(entry, patch) : failed(entry, why);
}

bool PatchedFetch::made(const ReleaseManifest::Entry& entry, const ReleaseManifest::Patch& patch)
{
    ++m_files;
    m_saved += entry.size - patch.size;
    return true;
}

bool PatchedFetch::failed(const ReleaseManifest::Entry& entry, const QString& why)
{
    return fallBack(entry.name, why);
}

QString PatchedFetch::summary() const
{
    return QStringLiteral("Correctifs : %1 fichier(s) reconstruit(s) à partir de la version installée, %2 octets "
                          "économisés.")
        .arg(m_files)
        .arg(m_saved);
}
