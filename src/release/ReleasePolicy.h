#pragma once

#include "ReleaseManifest.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class Clock;

// Whether a published release may be installed, and the French message of every refusal. An
// update refused here installs nothing and ends with exit status 6.
class ReleasePolicy final {
public:
    static constexpr int RefusedExitStatus = 6;

    struct Verdict {
        std::optional<ReleaseManifest> manifest; // set when the release may be installed
        QString refusal;                         // otherwise why not
        // The refusal is the release's own doing (its signature or its manifest), not the
        // station's (an older release offered, a date passed): the fleet counts it against it.
        bool releaseFault = false;
    };

    explicit ReleasePolicy(const Clock& clock)
        : m_clock(clock)
    {}

    // The manifest and its signature as fetched (nullopt: not on the server), checked against the
    // configured keys, the installed release number and today's date, in that order.
    Verdict check(const std::optional<QByteArray>& manifest, const std::optional<QByteArray>& signature,
                  const QStringList& publicKeys, std::optional<qint64> installed) const;

    static QString noSignature(const QString& missing);
    static QString malformedSignature(const QString& why);
    static QString unknownKey(const QString& keyId);
    static QString signatureInvalid();
    static QString trustedCommentInvalid();
    static QString malformedManifest(const QString& why);
    static QString olderRelease(qint64 offered, qint64 installed);
    static QString expired(const QDate& day);
    static QString fileChanged(const QString& name);
    // Not a refusal: the log line of a name on the server that the signed manifest does not list.
    static QString unlisted(const QString& name);
    static QString keyRefusal(const QString& key, const QString& value, const QString& configFile, const QString& why);

private:
    const Clock& m_clock;
};
