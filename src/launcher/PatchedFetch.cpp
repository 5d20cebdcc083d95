#include "PatchedFetch.h"

#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "platform/ftp/BackgroundSha256.h"
#include "platform/ftp/PartFile.h"
#include "release/HashCache.h"
#include "release/ReleasePatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

PatchedFetch::PatchedFetch(FtpConnection& ftp, const ReleaseManifest& manifest, HashCache& hashes, QString localFolder,
                           QString workFolder)
    : m_ftp(ftp)
    , m_manifest(manifest)
    , m_hashes(hashes)
    , m_localFolder(std::move(localFolder))
    , m_workFolder(std::move(workFolder))
{}

void PatchedFetch::fallBack(const QString& name, const QString& why)
{
    m_ftp.appendLog(QStringLiteral("Correctif de « %1 » inutilisable (%2) : le fichier entier est téléchargé.")
                        .arg(LocalTarget::shown(name), why));
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

DownloadJob PatchedFetch::job(const ReleaseManifest::Entry& entry, const ReleaseManifest::Patch& patch,
                              const QString& path) const
{
    DownloadJob job;
    job.remote = remoteName(patch);
    job.localPath = fetchedPath(patch);
    job.size = entry.size; // rebuilding the file takes longer than fetching its patch
    job.expected = {patch.size, patch.sha256};
    job.transferType = FtpTransferBinary;
    job.afterFetch = [this, &entry, &patch, path](QString& why) { return make(entry, patch, path, why); };
    return job;
}

void PatchedFetch::settle(const ReleaseManifest::Entry& entry, const ReleaseManifest::Patch& patch,
                          DownloadResult& result, const std::function<DownloadResult()>& whole)
{
    if (result.ok && result.afterDone) {
        ++m_files;
        m_saved += entry.size - patch.size;
        return;
    }
    if (result.ok) {
        fallBack(entry.name, result.afterWhy); // make() took the fetched patch away
    } else {
        fallBack(entry.name, result.error == FtpErrorContentMismatch
                                 ? QStringLiteral("il n'est pas celui de la version signée")
                                 : QStringLiteral("non téléchargé"));
        QFile::remove(fetchedPath(patch));
    }
    result = whole();
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
    patchFile.close();
    QFile::remove(patchPath);
    // The old copy is read where it lies, in the system's file cache, rather than copied out.
    const qint64 oldSize = old.size();
    const uchar* mapped = oldSize > 0 && oldSize <= ReleasePatch::MaxFileBytes ? old.map(0, oldSize) : nullptr;
    QByteArray oldRead;
    if (!mapped)
        oldRead = old.read(ReleasePatch::MaxFileBytes + 1);
    const QByteArrayView oldBytes = mapped ? QByteArrayView(mapped, oldSize) : QByteArrayView(oldRead);
    // Each frame rebuilt is hashed on a second thread and written out here while the next one is
    // rebuilt, as a download is hashed and written while it arrives; the part file is renamed over
    // the target only once whole and found to be the signed file.
    PartFile out(path);
    why.clear();
    if (!out.open(why))
        return false;
    BackgroundSha256 digest;
    // Written in the pieces a download is written in: on the systems measured, one large write
    // costs several times as much as the same bytes in pieces of a quarter mebibyte.
    const auto hashAndWrite = [&out, &digest](QByteArrayView stretch, QString& error) {
        for (qsizetype at = 0; at < stretch.size();) {
            const qsizetype length = std::min(digest.room(), stretch.size() - at);
            const char* piece = stretch.data() + at;
            std::memcpy(digest.buffer(), piece, static_cast<size_t>(length));
            digest.add(length);
            if (out.file().write(piece, length) != length) {
                error = out.file().errorString();
                return false;
            }
            at += length;
        }
        return true;
    };
    const bool applied = ReleasePatch::apply(oldBytes, patchBytes, entry.size, hashAndWrite, why);
    old.close(); // and unmapped: the file it makes may take its place next
    // The judge of whatever was made, from whichever local copy (it may have changed since it was
    // hashed): the signed digest of the file.
    const QByteArray sha256 = digest.result();
    if (!applied)
        return false;
    if (sha256 != entry.sha256) {
        why = QStringLiteral("le fichier obtenu n'est pas celui de la version signée");
        return false;
    }
    return out.commit(why);
}

QString PatchedFetch::summary() const
{
    return QStringLiteral("Correctifs : %1 fichier(s) reconstruit(s) à partir de la version installée, %2 octets "
                          "économisés.")
        .arg(m_files)
        .arg(m_saved);
}
