#include "SignedRelease.h"

#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "release/InstalledRelease.h"
#include "release/MinisignSignature.h"
#include "release/ReleasePolicy.h"

#include <QDir>
#include <QFile>

SignedRelease::SignedRelease(FtpConnection& ftp, QStringList keys, const Clock& clock)
    : m_ftp(ftp)
    , m_keys(std::move(keys))
    , m_clock(clock)
{}

bool SignedRelease::isRecordName(const QString& name)
{
    return name == ReleaseManifest::fileName() || name == ReleaseManifest::signatureFileName();
}

std::optional<QByteArray> SignedRelease::fetchSmall(const QStringList& remoteNames, const QString& name,
                                                    qint64 maxBytes, const QString& folder, QString& failure)
{
    if (!remoteNames.contains(name))
        return std::nullopt;
    // The size first: a server cannot make the launcher write more than a manifest can be.
    const qint64 size = m_ftp.factsOf(name).size;
    if (size > maxBytes) {
        failure = ReleasePolicy::malformedManifest(
            QStringLiteral("%1 : %2 octets annoncés, %3 au plus").arg(name).arg(size).arg(maxBytes));
        return std::nullopt;
    }
    const QString path = LocalTarget::join(folder, name);
    FtpResult got = m_ftp.getFile(name, path, FtpTransferBinary);
    // Another mirror serves the same signed release.
    while (!got.ok && FtpConnection::serverUnavailable(got) && m_ftp.moveToNextMirror())
        got = m_ftp.getFile(name, path, FtpTransferBinary);
    if (!got.ok) {
        failure = QStringLiteral("Mise à jour refusée : %1 n'a pas pu être téléchargé.").arg(name);
        return std::nullopt;
    }
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.read(maxBytes + 1);
    file.close();
    QFile::remove(path);
    return bytes;
}

bool SignedRelease::fetchAndCheck(const QStringList& remoteNames, const QString& folder, const QString& appDir,
                                  QString& refusal)
{
    QString failure;
    const std::optional<QByteArray> manifest =
        fetchSmall(remoteNames, ReleaseManifest::fileName(), ReleaseManifest::MaxBytes, folder, failure);
    const std::optional<QByteArray> signature = failure.isEmpty()
                                                    ? fetchSmall(remoteNames, ReleaseManifest::signatureFileName(),
                                                                 MinisignSignature::MaxBytes, folder, failure)
                                                    : std::nullopt;
    if (!failure.isEmpty()) {
        refusal = failure;
        return false;
    }
    QString unreadable;
    const std::optional<qint64> installed = InstalledRelease::number(appDir, unreadable);
    if (!unreadable.isEmpty()) {
        // Without the installed number, going backwards could not be seen.
        refusal = QStringLiteral("Mise à jour refusée : ") + unreadable;
        return false;
    }
    ReleasePolicy::Verdict verdict = ReleasePolicy(m_clock).check(manifest, signature, m_keys, installed);
    if (!verdict.manifest) {
        refusal = verdict.refusal;
        m_releaseFault = verdict.releaseFault;
        QString ignored;
        if (manifest)
            if (const std::optional<ReleaseManifest> claimed = ReleaseManifest::parse(*manifest, ignored))
                m_claimed = claimed->release();
        return false;
    }
    m_manifest = std::move(verdict.manifest);
    m_manifestBytes = *manifest;
    m_signatureBytes = *signature;
    m_ftp.appendLog(QStringLiteral("Version signée %1 vérifiée : %2 fichier(s) listé(s) dans %3.")
                        .arg(m_manifest->release())
                        .arg(m_manifest->files().size())
                        .arg(ReleaseManifest::fileName()));
    return true;
}
