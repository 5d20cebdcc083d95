#include "FtpSocketErrors.h"

#include <QSslError>
#include <QSslSocket>
#include <QStringList>

namespace {

QString describeTlsError(const QSslError& error, const QString& host)
{
    switch (error.error()) {
    case QSslError::HostNameMismatch:
        return QStringLiteral("le certificat ne porte pas le nom « %1 »").arg(host);
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
    case QSslError::CertificateRejected:
        return QStringLiteral("le certificat n'est pas signé par une autorité reconnue");
    case QSslError::CertificateExpired:
        return QStringLiteral("le certificat a expiré");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("le certificat n'est pas encore valide");
    default:
        return error.errorString();
    }
}

} // namespace

QString describeSocketError(const QAbstractSocket& socket)
{
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("connexion refusée");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("connexion fermée par le serveur");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("serveur introuvable");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("délai d'attente dépassé");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("erreur réseau");
    default:
        return socket.errorString();
    }
}

QString describeTlsFailure(const QSslSocket& socket, const QString& host)
{
    QStringList reasons;
    for (const QSslError& e : socket.sslHandshakeErrors()) {
        const QString reason = describeTlsError(e, host);
        if (!reasons.contains(reason))
            reasons << reason;
    }
    if (reasons.isEmpty())
        reasons << socket.errorString();
    return reasons.join(QStringLiteral(" ; "));
}
