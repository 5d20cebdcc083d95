#pragma once

#include "release/ReleaseManifest.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class Clock;
class FtpConnection;

// The signed manifest of the release on the server: fetched and checked before any other
// transfer, then the one word on which files make the release and what each must be.
class SignedRelease final {
public:
    SignedRelease(FtpConnection& ftp, QStringList keys, const Clock& clock);

    // Fetches VORN.manifest and its signature (listed in `remoteNames`) into `folder` and checks
    // them against the keys, the release installed in `appDir` and today's date. False with the
    // French `refusal` otherwise.
    bool fetchAndCheck(const QStringList& remoteNames, const QString& folder, const QString& appDir, QString& refusal);

    const ReleaseManifest& manifest() const { return *m_manifest; }
    const QByteArray& manifestBytes() const { return m_manifestBytes; }
    const QByteArray& signatureBytes() const { return m_signatureBytes; }

    // After a refusal: whether it was the release's own doing (see ReleasePolicy), and the release
    // number its manifest claims, when it reads at all (0 otherwise).
    bool refusedForRelease() const { return m_releaseFault; }
    qint64 claimedRelease() const { return m_claimed; }

    // The manifest and its signature: never files of the application.
    static bool isRecordName(const QString& name);

private:
    // Nothing when the server does not have it; the transfer bounded by `maxBytes`.
    std::optional<QByteArray> fetchSmall(const QStringList& remoteNames, const QString& name, qint64 maxBytes,
                                         const QString& folder, QString& failure);

    FtpConnection& m_ftp;
    QStringList m_keys;
    const Clock& m_clock;
    std::optional<ReleaseManifest> m_manifest;
    QByteArray m_manifestBytes;
    QByteArray m_signatureBytes;
    bool m_releaseFault = false;
    qint64 m_claimed = 0;
};
