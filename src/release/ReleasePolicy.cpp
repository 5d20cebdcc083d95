#include "ReleasePolicy.h"

#include "MinisignSignature.h"
#include "platform/Clock.h"
#include "platform/text/ControlCharacters.h"

namespace {

const QString Refused = QStringLiteral("Mise à jour refusée : ");

} // namespace

ReleasePolicy::Verdict ReleasePolicy::check(const std::optional<QByteArray>& manifest,
                                            const std::optional<QByteArray>& signature, const QStringList& publicKeys,
                                            std::optional<qint64> installed) const
{
    Verdict v;
    if (!manifest || !signature) {
        v.refusal = noSignature(manifest ? ReleaseManifest::signatureFileName() : ReleaseManifest::fileName());
        return v;
    }
    if (manifest->size() > ReleaseManifest::MaxBytes) {
        v.refusal = malformedManifest(QStringLiteral("plus de %1 octets").arg(ReleaseManifest::MaxBytes));
        return v;
    }
    const MinisignSignature::Result r = MinisignSignature::verify(*manifest, *signature, publicKeys);
    switch (r.outcome) {
    case MinisignSignature::Outcome::Valid:
        break;
    case MinisignSignature::Outcome::Malformed:
        v.refusal = malformedSignature(r.detail);
        v.releaseFault = true;
        return v;
    case MinisignSignature::Outcome::UnknownKey:
        v.refusal = unknownKey(r.detail);
        v.releaseFault = true;
        return v;
    case MinisignSignature::Outcome::SignatureInvalid:
        v.refusal = signatureInvalid();
        v.releaseFault = true;
        return v;
    case MinisignSignature::Outcome::TrustedCommentInvalid:
        v.refusal = trustedCommentInvalid();
        v.releaseFault = true;
        return v;
    }
    QString why;
    std::optional<ReleaseManifest> m = ReleaseManifest::parse(*manifest, why);
    if (!m) {
        v.refusal = malformedManifest(why);
        v.releaseFault = true;
        return v;
    }
    if (installed && m->release() < *installed) {
        v.refusal = olderRelease(m->release(), *installed);
        return v;
    }
    if (m->expires() && m_clock.now().date() > *m->expires()) {
        v.refusal = expired(*m->expires());
        return v;
    }
    v.manifest = std::move(m);
    return v;
}

QString ReleasePolicy::noSignature(const QString& missing)
{
    return Refused + QStringLiteral("la version publiée n'est pas signée (%1 manque sur le serveur).").arg(missing);
}

QString ReleasePolicy::malformedSignature(const QString& why)
{
    return Refused +
           QStringLiteral("la signature %1 est illisible (%2).").arg(ReleaseManifest::signatureFileName(), why);
}

QString ReleasePolicy::unknownKey(const QString& keyId)
{
    return Refused + QStringLiteral("la version publiée est signée par une clé inconnue (identifiant %1), ni "
                                    "public_key ni public_key_next.")
                         .arg(keyId);
}

QString ReleasePolicy::signatureInvalid()
{
    return Refused + QStringLiteral("la signature de %1 n'est pas valide : le manifeste a été modifié après sa "
                                    "signature.")
                         .arg(ReleaseManifest::fileName());
}

QString ReleasePolicy::trustedCommentInvalid()
{
    return Refused + QStringLiteral("la signature de %1 n'est pas valide : son commentaire de confiance a été "
                                    "modifié.")
                         .arg(ReleaseManifest::fileName());
}

QString ReleasePolicy::malformedManifest(const QString& why)
{
    return Refused + QStringLiteral("le manifeste %1 est illisible (%2).").arg(ReleaseManifest::fileName(), why);
}

QString ReleasePolicy::olderRelease(qint64 offered, qint64 installed)
{
    return Refused + QStringLiteral("la version publiée (%1) est plus ancienne que la version installée (%2).")
                         .arg(offered)
                         .arg(installed);
}

QString ReleasePolicy::expired(const QDate& day)
{
    return Refused +
           QStringLiteral("la version publiée a expiré le %1.").arg(day.toString(QStringLiteral("dd/MM/yyyy")));
}

QString ReleasePolicy::fileChanged(const QString& name)
{
    return Refused + QStringLiteral("le fichier « %1 » du serveur n'est pas celui de la version signée (taille ou "
                                    "empreinte SHA-256 différente).")
                         .arg(ControlCharacters::shown(name, 80));
}

QString ReleasePolicy::unlisted(const QString& name)
{
    return QStringLiteral("« %1 » ne figure pas dans la version signée : il n'est pas installé.")
        .arg(ControlCharacters::shown(name, 80));
}

QString ReleasePolicy::keyRefusal(const QString& key, const QString& value, const QString& configFile,
                                  const QString& why)
{
    return Refused + QStringLiteral("%1=%2 dans « %3 » n'est pas une clé publique minisign (%4) ; la mise à jour "
                                    "n'est pas faite sans vérification.")
                         .arg(key, ControlCharacters::shown(value, 80), configFile, why);
}
