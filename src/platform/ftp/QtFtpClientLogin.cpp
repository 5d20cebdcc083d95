#include "FtpSocketErrors.h"
#include "QtFtpClientInternals.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QSslCertificate>
#include <QSslSocket>

// A control connection: the server reached, TLS negotiated, the user logged in.

using namespace ftpclient;

namespace {

constexpr qint64 ControlBufferSize = 256 * 1024;

// "host", "host:port", "[v6]" or "[v6]:port".
void splitServer(const QString& server, quint16 defaultPort, QString& host, quint16& port)
{
    host = server.trimmed();
    port = defaultPort;
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        if (close > 0) {
            const QString rest = host.mid(close + 1);
            if (rest.startsWith(QLatin1Char(':'))) {
                bool ok = false;
                const uint p = rest.mid(1).toUInt(&ok);
                if (ok && p > 0 && p < 65536)
                    port = static_cast<quint16>(p);
            }
            host = host.mid(1, close - 1);
        }
        return;
    }
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon > 0 && host.indexOf(QLatin1Char(':')) == colon) {
        bool ok = false;
        const uint p = host.mid(colon + 1).toUInt(&ok);
        if (ok && p > 0 && p < 65536) {
            port = static_cast<quint16>(p);
            host = host.left(colon);
        }
    }
}

} // namespace

FtpHandle QtFtpClient::connect(FtpHandle session, const QString& server, quint16 port, const QString& user,
                               const QString& password, bool /*passive: the client always works in passive mode*/)
{
    CallGuard guard(*this);
    if (!guard)
        return 0;
    if (m_sessions.find(session) == m_sessions.end()) {
        fail(FtpErrorInvalidHandle, QString());
        return 0;
    }
    if (!m_tls.refusal.isEmpty()) {
        fail(FtpErrorCannotConnect, m_tls.refusal);
        return 0;
    }
    std::unique_ptr<Connection> c = loginRetried(session, server, port, user, password);
    if (!c)
        return 0;
    const FtpHandle h = newHandle();
    m_connections[h] = std::move(c);
    succeed();
    return h;
}

std::unique_ptr<QtFtpClient::Connection> QtFtpClient::loginRetried(FtpHandle session, const QString& server,
                                                                   quint16 port, const QString& user,
                                                                   const QString& password)
{
    int cuts = 0;
    for (int k = 0;; ++k) {
        clearTransient();
        if (std::unique_ptr<Connection> c = login(session, server, port, user, password))
            return c;
        if ((m_loginTries > 0 && k + 1 >= m_loginTries) || !retryAfter(k, cuts))
            return nullptr;
    }
}

std::unique_ptr<QtFtpClient::Connection> QtFtpClient::login(FtpHandle session, const QString& server, quint16 port,
                                                            const QString& user, const QString& password)
{
    auto c = std::make_unique<Connection>();
    c->session = session;
    c->server = server;
    c->serverPort = port;
    c->user = user;
    c->password = password;
    splitServer(server, port, c->host, c->port);
    const bool tls = m_tls.mode == FtpTlsSettings::Mode::Explicit;
    if (tls) {
        if (!QSslSocket::supportsSsl()) {
            fail(FtpErrorCannotConnect,
                 QStringLiteral("Le chiffrement TLS n'est pas disponible sur ce poste (bibliothèque TLS absente)."));
            return nullptr;
        }
        QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
        // Data connections resume the control connection's session; some servers demand it.
        conf.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
        // TLS 1.2: an upload ends when the client closes its data connection, and a TLS 1.3 server
        // sends session tickets after the handshake; arriving at a socket already closed they make
        // it reset the connection, and the server drops the end of the file it had not yet read.
        conf.setProtocol(QSsl::TlsV1_2);
        conf.setPeerVerifyMode(m_tls.verify ? QSslSocket::VerifyPeer : QSslSocket::VerifyNone);
        if (!m_tls.caFile.isEmpty()) {
            const QList<QSslCertificate> authorities = QSslCertificate::fromPath(m_tls.caFile, QSsl::Pem);
            if (authorities.isEmpty()) {
                fail(FtpErrorCannotConnect,
                     QStringLiteral("Le fichier d'autorités TLS « %1 » est illisible ou ne contient aucun certificat.")
                         .arg(QDir::toNativeSeparators(m_tls.caFile)));
                return nullptr;
            }
            conf.setCaCertificates(authorities);
        }
        c->tlsConfiguration = std::make_unique<QSslConfiguration>(conf);
        auto socket = std::make_unique<QSslSocket>();
        socket->setSslConfiguration(conf);
        socket->setPeerVerifyName(c->host);
        c->control = std::move(socket);
    } else {
        c->control = std::make_unique<QTcpSocket>();
    }
    c->control->setReadBufferSize(ControlBufferSize);
    // The name is looked up first, so that the connection itself is waited for in slices.
    QList<QHostAddress> addresses;
    if (QHostAddress literal; literal.setAddress(c->host)) {
        addresses << literal;
    } else {
        const QHostInfo info = QHostInfo::fromName(c->host);
        addresses = info.addresses();
        if (addresses.isEmpty()) {
            fail(FtpErrorCannotConnect, QStringLiteral("Connexion impossible au serveur %1:%2 (serveur introuvable).")
                                            .arg(c->host)
                                            .arg(c->port));
            return nullptr;
        }
    }
    const QDeadlineTimer connecting = deadline();
    SocketWait::Result connected = SocketWait::Result::Closed;
    for (const QHostAddress& address : std::as_const(addresses)) {
        connected = m_wait.connect(*c->control, address, c->port, connecting);
        if (connected != SocketWait::Result::Closed)
            break;
    }
    switch (connected) {
    case SocketWait::Result::Ready:
        break;
    case SocketWait::Result::Expired:
        c->control->abort();
        fail(FtpErrorTimeout, QStringLiteral("Connexion impossible au serveur %1:%2 (délai d'attente dépassé).")
                                  .arg(c->host)
                                  .arg(c->port));
        return nullptr;
    case SocketWait::Result::Closed:
        fail(FtpErrorCannotConnect, QStringLiteral("Connexion impossible au serveur %1:%2 (%3).")
                                        .arg(c->host)
                                        .arg(c->port)
                                        .arg(describeSocketError(*c->control)));
        if (c->control->error() == QAbstractSocket::ConnectionRefusedError ||
            c->control->error() == QAbstractSocket::RemoteHostClosedError)
            markTransient();
        return nullptr;
    }
    c->address = c->control->peerAddress();

    c->pending = 1; // the greeting
    std::optional<FtpReply> reply;
    do
        reply = nextReply(*c);
    while (reply && reply->preliminary());
    if (!reply)
        return nullptr;
    if (reply->code != 220) {
        failReply(*reply);
        c->control->abort();
        return nullptr;
    }
    // Microsoft's FTP service is known to lose commands that arrive together.
    c->oneAtATime = reply->text.contains(QLatin1String("Microsoft FTP Service"), Qt::CaseInsensitive);
    if (tls && !startTls(*c)) {
        c->control->abort();
        return nullptr;
    }
    QElapsedTimer roundTrip;
    roundTrip.start();
    reply = command(*c, QStringLiteral("USER ") + user);
    if (!reply)
        return nullptr;
    c->roundTripMs = roundTrip.elapsed();
    bool folderAsked = false;
    if (reply->code == 331 || reply->code == 332) {
        // The working folder is asked with the password, its reply right behind the login's (the
        // password itself goes first: a slow check of it is no lost command).
        folderAsked = sendsAhead(*c);
        const QString pass = QStringLiteral("PASS ") + password;
        if (!settle(*c) || !send(*c, folderAsked ? QStringList{pass, QStringLiteral("PWD")} : QStringList{pass}))
            return nullptr;
        reply = nextReply(*c);
        if (!reply)
            return nullptr;
    }
    if (reply->code != 230 && reply->code != 202) {
        failReply(*reply);
        c->control->abort();
        return nullptr;
    }
    if (folderAsked) {
        std::optional<FtpReply> folder = aheadReply(*c, QStringLiteral("PWD"));
        if (!folder) // a server that loses commands sent ahead: once more, one command at a time
            return login(session, server, port, user, password);
        c->loginFolder = std::move(folder);
    }
    QString loginReply = reply->text;
    if (tls) {
        if (!protectData(*c)) {
            c->control->abort();
            return nullptr;
        }
        if (!m_tls.verify)
            loginReply +=
                QStringLiteral("\nAttention : le certificat du serveur %1 n'est pas vérifié (tls_verify=false) ; "
                               "rien ne garantit que c'est le vrai serveur.")
                    .arg(c->host);
    }
    m_lastResponse = loginReply;
    return c;
}

bool QtFtpClient::startTls(Connection& c)
{
    const auto reply = command(c, QStringLiteral("AUTH TLS"));
    if (!reply)
        return false;
    if (reply->code != 234) {
        fail(FtpErrorExtended,
             reply->text +
                 QStringLiteral("\nLe serveur %1 n'accepte pas le chiffrement TLS (AUTH TLS) : connexion abandonnée, "
                                "rien n'a été envoyé en clair.")
                     .arg(c.host));
        return false;
    }
    auto& tls = static_cast<QSslSocket&>(*c.control);
    tls.startClientEncryption();
    switch (m_wait.encrypted(tls, deadline())) {
    case SocketWait::Result::Ready:
        c.encrypted = true;
        return true;
    case SocketWait::Result::Expired:
        fail(FtpErrorTimeout, QStringLiteral("La négociation TLS avec le serveur %1 n'a pas abouti (délai de %2 s "
                                             "dépassé). Rien n'a été envoyé en clair.")
                                  .arg(c.host, seconds()));
        return false;
    case SocketWait::Result::Closed:
        break;
    }
    fail(FtpErrorCannotConnect,
         QStringLiteral("Connexion TLS refusée avec le serveur %1 : %2. Rien n'a été envoyé en clair.")
             .arg(c.host, describeTlsFailure(tls, c.host)));
    return false;
}

bool QtFtpClient::protectData(Connection& c)
{
    for (const QString& step : {QStringLiteral("PBSZ 0"), QStringLiteral("PROT P")}) {
        const auto reply = command(c, step);
        if (!reply)
            return false;
        if (!reply->positive()) {
            fail(FtpErrorExtended,
                 reply->text + QStringLiteral("\nLe serveur %1 refuse de chiffrer les connexions de données (%2) : "
                                              "connexion abandonnée.")
                                   .arg(c.host, step));
            return false;
        }
    }
    return true;
}
