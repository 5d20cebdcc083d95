#include "QtFtpClient.h"

#include "BackgroundSha256.h"
#include "platform/text/ControlCharacters.h"

#include "FtpListing.h"
#include "FtpReply.h"
#include "FtpReplyReader.h"
#include "PartFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

#include <algorithm>
#include <utility>

namespace {

constexpr qint64 ChunkSize = 256 * 1024;
constexpr qint64 ControlBufferSize = 256 * 1024;
constexpr qint64 DataBufferSize = 1024 * 1024;
constexpr int QuitWaitMs = 2000;
// How long a listing's sizes are trusted for the files fetched after it.
constexpr qint64 FactsLifetimeMs = 30 * 1000;

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

QString visible(const QString& text)
{
    return ControlCharacters::shown(text, 200);
}

// The reply to SIZE is read by its leading number ("213 100" and "213 100 bytes" alike).
qint64 sizeFromReply(const FtpReply& reply)
{
    static const QRegularExpression re(QStringLiteral("^213 +(\\d{1,18})"));
    const QRegularExpressionMatch m = re.match(reply.text);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

// The first `length` bytes of `file` into `hash`.
bool hashPrefix(QFile& file, qint64 length, BackgroundSha256& hash)
{
    QByteArray chunk(static_cast<qsizetype>(std::min(length, ChunkSize)), Qt::Uninitialized);
    while (length > 0) {
        const qint64 n = file.read(chunk.data(), std::min<qint64>(length, chunk.size()));
        if (n <= 0)
            return false;
        hash.addData(QByteArrayView(chunk.constData(), n));
        length -= n;
    }
    return true;
}

} // namespace

struct QtFtpClient::Connection {
    FtpHandle session = 0;
    std::unique_ptr<QTcpSocket> control;                 // a QSslSocket when the session is encrypted
    bool encrypted = false;                              // control under TLS, and every data connection too
    std::unique_ptr<QSslConfiguration> tlsConfiguration; // only made for TLS: it loads the TLS library
    QString host;         // as the operator wrote it: names the server in messages and for TLS
    QHostAddress address; // where data connections go
    quint16 port = 21;
    char type = 0;          // current TYPE, 0 until set
    bool noEpsv = false;    // the server refused EPSV once: use PASV from then on
    bool epsvWorks = false; // an EPSV reply was understood: a command may follow it unanswered
    bool noMlsd = false;
    bool lost = false;
    int pending = 0; // final replies the server still owes for commands already sent
    // The working folder's last listing, while it is recent: its sizes spare a SIZE per file.
    std::shared_ptr<const FtpListing> facts;
    QDeadlineTimer factsFresh;
    void forgetFacts() { facts.reset(); }
    // What a lost connection needs to log in again and return to its folder.
    QString server;
    quint16 serverPort = 21;
    QString user;
    QString password;
    QStringList folders;    // the CWDs since the login, from the last absolute one
    int restStream = -1;    // the server resumes downloads (FEAT): -1 not asked yet
    bool revivable = false; // lost to a reset or a busy server: the next call logs in again
};

struct QtFtpClient::Listing {
    FtpHandle connection = 0;
    std::shared_ptr<FtpListing> entries;
    qsizetype next = 0;
};

// Calls that wait on the network run the wait callback, and a window's events with it: a second
// call arriving from there must not interleave with the first on the same control connection.
class QtFtpClient::CallGuard {
public:
    explicit CallGuard(QtFtpClient& client)
        : m_client(client)
        , m_entered(!client.m_inCall)
    {
        if (m_entered)
            m_client.m_inCall = true;
        else
            m_client.fail(FtpErrorBusy, QStringLiteral("Une opération FTP est déjà en cours."));
    }
    ~CallGuard()
    {
        if (m_entered)
            m_client.m_inCall = false;
    }
    CallGuard(const CallGuard&) = delete;
    CallGuard& operator=(const CallGuard&) = delete;
    explicit operator bool() const { return m_entered; }

private:
    QtFtpClient& m_client;
    bool m_entered;
};

QtFtpClient::QtFtpClient(int timeoutMs)
    : m_buffer(ChunkSize, Qt::Uninitialized)
{
    setTimeout(timeoutMs);
}

QtFtpClient::~QtFtpClient()
{
    std::vector<FtpHandle> open;
    for (const auto& [h, c] : m_connections)
        open.push_back(h);
    for (FtpHandle h : open)
        closeConnection(h);
}

void QtFtpClient::setTimeout(int timeoutMs)
{
    m_timeoutMs = std::clamp(timeoutMs, MinTimeoutMs, MaxTimeoutMs);
}

void QtFtpClient::setTls(const FtpTlsSettings& settings)
{
    m_tls = settings;
}

QString QtFtpClient::seconds() const
{
    return QString::number(m_timeoutMs / 1000.0);
}

void QtFtpClient::fail(quint32 error, const QString& message)
{
    m_lastError = error;
    if (!message.isEmpty())
        m_lastResponse = message;
}

void QtFtpClient::failReply(const FtpReply& reply)
{
    m_lastError = FtpErrorExtended;
    m_lastResponse = reply.text;
    if (RetryPolicy::transientReply(reply.code))
        markTransient();
}

void QtFtpClient::markTransient(bool cut)
{
    const QStringList lines = m_lastResponse.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    m_transient = visible(lines.isEmpty() ? QStringLiteral("?") : lines.constLast());
    m_transientCut = cut;
}

void QtFtpClient::clearTransient()
{
    m_transient.clear();
    m_transientCut = false;
}

bool QtFtpClient::retryAfter(int k, int& cuts)
{
    if (m_transient.isEmpty())
        return false;
    // Refusals are bounded by the budget alone; a transfer cut part-way by the tries of its file.
    if (m_transientCut && ++cuts >= RetryPolicy::MaxTries)
        return false;
    const std::optional<qint64> wait = m_retry.waitBefore(k);
    if (!wait)
        return false;
    // The failure stays the last response while the client waits.
    FtpRetryNotice notice{m_transient, *wait, *wait, true, m_transientCut};
    if (m_retryObserver)
        m_retryObserver(notice);
    notice.starting = false;
    const QDeadlineTimer end(*wait);
    qint64 shownSecond = (*wait + 999) / 1000;
    while (!end.hasExpired()) {
        m_wait.pause(static_cast<int>(std::min<qint64>(end.remainingTime(), 250)));
        notice.remainingMs = std::max<qint64>(0, end.remainingTime());
        const qint64 second = (notice.remainingMs + 999) / 1000;
        if (second != shownSecond && notice.remainingMs > 0 && m_retryObserver)
            m_retryObserver(notice);
        shownSecond = second;
    }
    notice.remainingMs = 0;
    if (m_retryObserver)
        m_retryObserver(notice);
    clearTransient();
    return true;
}

void QtFtpClient::markLost(Connection& c, quint32 error, const QString& message)
{
    c.lost = true;
    c.pending = 0;
    if (c.control)
        c.control->abort();
    fail(error, message);
}

QtFtpClient::Connection* QtFtpClient::connectionFor(FtpHandle handle)
{
    const auto it = m_connections.find(handle);
    if (it == m_connections.end()) {
        fail(FtpErrorInvalidHandle, QString());
        return nullptr;
    }
    if (it->second->lost) {
        if (it->second->revivable && m_retry.enabled())
            return revive(handle);
        fail(FtpErrorConnectionAborted,
             QStringLiteral("La connexion avec le serveur %1 est perdue.").arg(it->second->host));
        return nullptr;
    }
    return it->second.get();
}

FtpHandle QtFtpClient::open(const QString& agent)
{
    const FtpHandle h = newHandle();
    m_sessions[h] = agent;
    succeed();
    return h;
}

bool QtFtpClient::send(Connection& c, const QStringList& commands)
{
    QByteArray bytes;
    for (const QString& line : commands) {
        if (ControlCharacters::contains(line)) {
            const QString shown = line.startsWith(QLatin1String("PASS ")) ? QStringLiteral("PASS ****") : visible(line);
            fail(FtpErrorInvalidName,
                 QStringLiteral("Commande refusée : « %1 » contient un caractère de contrôle.").arg(shown));
            return false;
        }
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    c.control->write(bytes);
    c.control->flush(); // out now, without a wait, as a rule
    c.pending += static_cast<int>(commands.size());
    switch (m_wait.written(*c.control, deadline())) {
    case SocketWait::Result::Ready:
        return true;
    case SocketWait::Result::Expired:
        markLost(c, FtpErrorTimeout,
                 QStringLiteral("Le serveur %1 ne reçoit plus (délai de %2 s dépassé).").arg(c.host, seconds()));
        return false;
    case SocketWait::Result::Closed:
        break;
    }
    markLost(c, FtpErrorConnectionAborted,
             QStringLiteral("La connexion avec le serveur %1 a été interrompue (%2).")
                 .arg(c.host, describeSocketError(*c.control)));
    return false;
}

std::optional<FtpReply> QtFtpClient::nextReply(Connection& c)
{
    FtpReplyReader reader;
    FtpReply reply;
    switch (reader.read(*c.control, m_wait, deadline(), reply)) {
    case FtpReplyReader::Status::Complete:
        break;
    case FtpReplyReader::Status::Closed:
        markLost(c, FtpErrorConnectionAborted,
                 QStringLiteral("La connexion avec le serveur %1 a été interrompue (%2).")
                     .arg(c.host, describeSocketError(*c.control)));
        markTransient(); // a reset, or a busy server hanging up
        c.revivable = true;
        return std::nullopt;
    case FtpReplyReader::Status::Expired:
        markLost(c, FtpErrorTimeout,
                 QStringLiteral("Le serveur %1 ne répond plus (délai de %2 s dépassé).").arg(c.host, seconds()));
        return std::nullopt;
    case FtpReplyReader::Status::LineTooLong:
        markLost(
            c, FtpErrorConnectionAborted,
            QStringLiteral("Réponse refusée du serveur %1 : une ligne dépasse 64 Kio. Connexion fermée.").arg(c.host));
        return std::nullopt;
    case FtpReplyReader::Status::ReplyTooLong:
        markLost(c, FtpErrorConnectionAborted,
                 QStringLiteral("Réponse refusée du serveur %1 : elle dépasse 1 Mio. Connexion fermée.").arg(c.host));
        return std::nullopt;
    case FtpReplyReader::Status::Invalid:
        markLost(c, FtpErrorConnectionAborted,
                 QStringLiteral("Réponse invalide du serveur %1 : %2").arg(c.host, visible(reader.offendingLine())));
        return std::nullopt;
    }
    if (!reply.preliminary() && c.pending > 0)
        --c.pending;
    m_lastResponse = reply.text;
    return reply;
}

bool QtFtpClient::settle(Connection& c)
{
    if (c.pending <= 0)
        return true;
    // Replies still owed for commands of an earlier step: read and drop them, so that the next
    // command gets its own reply. The step's outcome stays what it was.
    const QString response = m_lastResponse;
    const quint32 error = m_lastError;
    while (c.pending > 0)
        if (!nextReply(c))
            return false;
    m_lastResponse = response;
    m_lastError = error;
    return true;
}

std::optional<FtpReply> QtFtpClient::command(Connection& c, const QString& line)
{
    if (!settle(c) || !send(c, {line}))
        return std::nullopt;
    return nextReply(c);
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
        if (!retryAfter(k, cuts))
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
    if (tls && !startTls(*c)) {
        c->control->abort();
        return nullptr;
    }
    reply = command(*c, QStringLiteral("USER ") + user);
    if (!reply)
        return nullptr;
    if (reply->code == 331 || reply->code == 332) {
        reply = command(*c, QStringLiteral("PASS ") + password);
        if (!reply)
            return nullptr;
    }
    if (reply->code != 230 && reply->code != 202) {
        failReply(*reply);
        c->control->abort();
        return nullptr;
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

bool QtFtpClient::currentDirectory(FtpHandle connection, QString& directory)
{
    CallGuard guard(*this);
    if (!guard)
        return false;
    Connection* c = connectionFor(connection);
    if (!c)
        return false;
    const auto reply = command(*c, QStringLiteral("PWD"));
    if (!reply)
        return false;
    if (reply->code != 257) {
        failReply(*reply);
        return false;
    }
    // 257 "dir" comment; a doubled quote inside stands for one quote.
    const QString text = reply->text.section(QLatin1Char('\n'), 0, 0).mid(4);
    const qsizetype open = text.indexOf(QLatin1Char('"'));
    if (open < 0) {
        directory = text.section(QLatin1Char(' '), 0, 0);
    } else {
        QString dir;
        for (qsizetype i = open + 1; i < text.size(); ++i) {
            if (text[i] == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    dir += QLatin1Char('"');
                    ++i;
                    continue;
                }
                break;
            }
            dir += text[i];
        }
        directory = dir;
    }
    succeed();
    return true;
}

bool QtFtpClient::simpleCommand(FtpHandle connection, const QString& verb, const QString& argument)
{
    CallGuard guard(*this);
    if (!guard)
        return false;
    Connection* c = connectionFor(connection);
    if (!c)
        return false;
    c->forgetFacts();
    const auto reply = command(*c, verb + QLatin1Char(' ') + argument);
    if (!reply)
        return false;
    if (!reply->positive()) {
        failReply(*reply);
        return false;
    }
    succeed();
    return true;
}

bool QtFtpClient::setCurrentDirectory(FtpHandle connection, const QString& directory)
{
    if (!simpleCommand(connection, QStringLiteral("CWD"), directory))
        return false;
    // Remembered, so that a connection logged in again returns to the same folder.
    Connection& c = *m_connections.at(connection);
    if (directory.startsWith(QLatin1Char('/')))
        c.folders.clear();
    c.folders << directory;
    return true;
}

QtFtpClient::Connection* QtFtpClient::revive(FtpHandle handle)
{
    const auto it = m_connections.find(handle);
    if (it == m_connections.end())
        return nullptr;
    Connection& old = *it->second;
    if (!old.lost && old.control->state() == QAbstractSocket::ConnectedState)
        return &old;
    std::unique_ptr<Connection> fresh = loginRetried(old.session, old.server, old.serverPort, old.user, old.password);
    if (!fresh)
        return nullptr;
    for (const QString& folder : std::as_const(old.folders)) {
        const auto reply = command(*fresh, QStringLiteral("CWD ") + folder);
        if (!reply)
            return nullptr;
        if (!reply->positive()) {
            failReply(*reply);
            return nullptr;
        }
    }
    fresh->folders = old.folders;
    old.control->abort();
    it->second = std::move(fresh);
    return it->second.get();
}

bool QtFtpClient::resumable(Connection& c)
{
    if (c.restStream < 0) {
        const QString kept = m_lastResponse;
        const quint32 keptError = m_lastError;
        const auto reply = command(c, QStringLiteral("FEAT"));
        if (!reply)
            return false;
        c.restStream = 0;
        if (reply->code == 211)
            for (const QString& line : reply->text.split(QLatin1Char('\n')))
                if (line.trimmed().compare(QLatin1String("REST STREAM"), Qt::CaseInsensitive) == 0)
                    c.restStream = 1;
        m_lastResponse = kept;
        m_lastError = keptError;
    }
    return c.restStream == 1;
}

bool QtFtpClient::deleteFile(FtpHandle connection, const QString& name)
{
    return simpleCommand(connection, QStringLiteral("DELE"), name);
}

bool QtFtpClient::removeDirectory(FtpHandle connection, const QString& name)
{
    return simpleCommand(connection, QStringLiteral("RMD"), name);
}

bool QtFtpClient::createDirectory(FtpHandle connection, const QString& name)
{
    return simpleCommand(connection, QStringLiteral("MKD"), name);
}

bool QtFtpClient::setType(Connection& c, char type)
{
    if (c.type == type)
        return true;
    const auto reply = command(c, QStringLiteral("TYPE ") + QLatin1Char(type));
    if (!reply)
        return false;
    if (!reply->positive()) {
        failReply(*reply);
        return false;
    }
    c.type = type;
    return true;
}

std::unique_ptr<QTcpSocket> QtFtpClient::openDataConnection(Connection& c, bool epsvSent)
{
    int dataPort = -1;
    if (!c.noEpsv) {
        const auto reply = epsvSent ? nextReply(c) : command(c, QStringLiteral("EPSV"));
        if (!reply)
            return nullptr;
        if (reply->code == 229) {
            static const QRegularExpression re(QStringLiteral("\\((.)\\1\\1(\\d+)\\1\\)"));
            const auto m = re.match(reply->text);
            if (m.hasMatch())
                dataPort = m.captured(2).toInt();
            c.epsvWorks = dataPort > 0;
        } else if (RetryPolicy::transientReply(reply->code)) {
            failReply(*reply); // a busy server, not one without EPSV
            if (c.pending > 0) {
                // The transfer command sent behind it may be kept waiting for a data connection
                // that never comes (pyftpdlib queues it): the session is given up, to be logged in
                // again, rather than wait for that reply.
                const quint32 error = m_lastError;
                markLost(c, error, m_lastResponse);
                c.revivable = true;
            }
            return nullptr;
        } else {
            c.noEpsv = true;
        }
    }
    if (dataPort <= 0) {
        // A command sent behind a refused EPSV is answered (and dropped) before PASV goes out.
        const auto reply = command(c, QStringLiteral("PASV"));
        if (!reply)
            return nullptr;
        if (reply->code != 227) {
            failReply(*reply);
            return nullptr;
        }
        static const QRegularExpression re(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
        const auto m = re.match(reply->text);
        if (!m.hasMatch()) {
            failReply(*reply);
            return nullptr;
        }
        // Only the port is taken: the data connection goes to the host we are already talking to.
        dataPort = m.captured(5).toInt() * 256 + m.captured(6).toInt();
    }
    if (dataPort <= 0 || dataPort > 65535) {
        fail(FtpErrorExtended, QStringLiteral("Port de données invalide annoncé par le serveur %1.").arg(c.host));
        return nullptr;
    }

    std::unique_ptr<QTcpSocket> data;
    if (c.encrypted) {
        auto tls = std::make_unique<QSslSocket>();
        QSslConfiguration conf = *c.tlsConfiguration;
        conf.setSessionTicket(static_cast<QSslSocket&>(*c.control).sslConfiguration().sessionTicket());
        tls->setSslConfiguration(conf);
        tls->setPeerVerifyName(c.host);
        data = std::move(tls);
    } else {
        data = std::make_unique<QTcpSocket>();
    }
    data->setReadBufferSize(DataBufferSize);
    SocketWait::watchPeerClose(*data);
    const SocketWait::Result connected = m_wait.connect(*data, c.address, static_cast<quint16>(dataPort), deadline());
    if (connected != SocketWait::Result::Ready) {
        fail(connected == SocketWait::Result::Expired ? FtpErrorTimeout : FtpErrorCannotConnect,
             QStringLiteral("Connexion de données impossible avec le serveur %1 (%2).")
                 .arg(c.host, connected == SocketWait::Result::Expired ? QStringLiteral("délai d'attente dépassé")
                                                                       : describeSocketError(*data)));
        if (connected == SocketWait::Result::Closed && (data->error() == QAbstractSocket::ConnectionRefusedError ||
                                                        data->error() == QAbstractSocket::RemoteHostClosedError))
            markTransient();
        // The server may still answer the EPSV's command sent with it.
        return nullptr;
    }
    // The handshake starts now and completes once the server has taken the transfer command.
    if (c.encrypted)
        static_cast<QSslSocket&>(*data).startClientEncryption();
    return data;
}

bool QtFtpClient::dataReady(Connection& c, QTcpSocket& data)
{
    if (!c.encrypted)
        return true;
    auto& tls = static_cast<QSslSocket&>(data);
    const SocketWait::Result r = m_wait.encrypted(tls, deadline());
    if (r == SocketWait::Result::Ready)
        return true;
    const QString why = r == SocketWait::Result::Expired ? QStringLiteral("délai de %1 s dépassé").arg(seconds())
                                                         : describeTlsFailure(tls, c.host);
    return finishAbortedTransfer(
        c, data,
        QStringLiteral("La connexion de données chiffrée avec le serveur %1 a échoué (%2). Si le serveur exige la "
                       "reprise de la session TLS sur les connexions de données et la refuse encore, désactivez "
                       "cette exigence sur le serveur (require_ssl_reuse=NO pour vsftpd).")
            .arg(c.host, why),
        FtpErrorConnectionAborted);
}

bool QtFtpClient::finishAbortedTransfer(Connection& c, QTcpSocket& data, const QString& message, quint32 error)
{
    data.abort();
    // The server answers the transfer it was serving; that answer is read here, or the next
    // command would take it for its own. No answer within the timeout: the connection is closed.
    QString serverWord;
    if (c.pending > 0) {
        if (const auto reply = nextReply(c)) {
            serverWord = reply->text + QLatin1Char('\n');
            settle(c);
        } else {
            serverWord = m_lastResponse + QLatin1Char('\n');
        }
    }
    fail(error, serverWord + message);
    clearTransient(); // the client's own refusal, or a server too slow: trying again would not help
    return false;
}

bool QtFtpClient::receive(Connection& c, QTcpSocket& data, QFile& out, qint64 expected, const QString& remote,
                          const QString& localPath, BackgroundSha256* hash, qint64 offset)
{
    qint64 received = offset;
    QDeadlineTimer quiet = deadline(); // a transfer may take long; each byte must not
    for (;;) {
        const SocketWait::Result r = m_wait.readable(data, quiet);
        if (r == SocketWait::Result::Closed)
            break;
        if (r == SocketWait::Result::Expired)
            return finishAbortedTransfer(
                c, data,
                QStringLiteral("Le serveur %1 n'envoie plus de données (délai de %2 s dépassé).")
                    .arg(c.host, seconds()),
                FtpErrorTimeout);
        const qint64 n = data.read(m_buffer.data(), m_buffer.size());
        if (n < 0)
            break;
        if (n == 0)
            continue;
        received += n;
        if (expected >= 0 && received > expected)
            return finishAbortedTransfer(c, data,
                                         QStringLiteral("Transfert refusé : le serveur envoie plus que les %1 octets "
                                                        "annoncés pour %2.")
                                             .arg(expected)
                                             .arg(visible(remote)),
                                         // checked content: not what was signed
                                         hash ? FtpErrorContentMismatch : FtpErrorConnectionAborted);
        if (hash)
            hash->addData(QByteArrayView(m_buffer.constData(), n));
        if (out.write(m_buffer.constData(), n) != n)
            return finishAbortedTransfer(c, data,
                                         QStringLiteral("Impossible d'écrire le fichier local %1 (%2).")
                                             .arg(QDir::toNativeSeparators(localPath), out.errorString()),
                                         FtpErrorLocalFile);
        quiet = deadline();
    }
    data.abort();
    const auto done = closingReply(c);
    if (!done)
        return false;
    if (expected >= 0 && received != expected) {
        fail(FtpErrorConnectionAborted,
             done->text + QStringLiteral("\nTransfert incomplet de %1 : %2 octets reçus sur %3.")
                              .arg(visible(remote))
                              .arg(received)
                              .arg(expected));
        if (received < expected)
            markTransient(true); // cut part-way: what came is kept for a resumed try
        return false;
    }
    return true;
}

bool QtFtpClient::expectContent(const FtpExpectedContent& content)
{
    m_expected = content;
    return true;
}

bool QtFtpClient::getFile(FtpHandle connection, const QString& remote, const QString& localPath, bool failIfExists,
                          int transferType)
{
    const std::optional<FtpExpectedContent> wanted = std::exchange(m_expected, std::nullopt);
    CallGuard guard(*this);
    if (!guard)
        return false;
    Connection* c = connectionFor(connection);
    if (!c)
        return false;
    if (failIfExists && QFileInfo::exists(localPath)) {
        fail(FtpErrorFileExists, QString());
        return false;
    }
    const bool ascii = transferType == FtpTransferAscii;
    if (!setType(*c, ascii ? 'A' : 'I') || !settle(*c))
        return false;

    // The size the transfer must have: from a recent listing of this folder, or asked with SIZE.
    // SIZE, EPSV and RETR go out together once the server has shown that it answers EPSV: a small
    // file then costs one round trip of commands instead of three.
    qint64 expected = -1;
    if (wanted && wanted->size >= 0)
        expected = wanted->size; // the server's word on the size no longer matters
    else if (!ascii && c->facts && !c->factsFresh.hasExpired())
        if (const auto fact = c->facts->find(remote))
            expected = fact->size;
    const bool askSize = !ascii && expected < 0;
    QStringList batch;
    if (askSize)
        batch << QStringLiteral("SIZE ") + remote;
    const bool epsvSent = !c->noEpsv;
    if (epsvSent)
        batch << QStringLiteral("EPSV");
    const bool retrSent = epsvSent && c->epsvWorks;
    if (retrSent)
        batch << QStringLiteral("RETR ") + remote;
    if (!send(*c, batch))
        return false;

    // The local file is made while the server works on the commands; a refused transfer removes
    // it again, so nothing is left of a fetch that did not happen.
    const QFileInfo target(localPath);
    const QString targetName = target.fileName();
    const QString folder = target.absolutePath();
    if (!m_sweptFolders.contains(folder)) {
        PartFile::sweepStale(folder);
        m_sweptFolders.insert(folder);
    }
    PartFile part(localPath);
    QString why = QStringLiteral("ce n'est pas un nom de fichier");
    const bool writable = !targetName.isEmpty() && targetName != QLatin1String(".") &&
                          targetName != QLatin1String("..") && !target.isDir() && part.open(why);

    clearTransient();
    std::optional<FtpReply> sizeReply;
    if (askSize) {
        sizeReply = nextReply(*c);
        if (sizeReply && sizeReply->code == 213)
            expected = sizeFromReply(*sizeReply);
    }

    std::optional<BackgroundSha256> hash;
    if (wanted && !wanted->sha256.isEmpty())
        hash.emplace();
    bool done = false;
    std::unique_ptr<QTcpSocket> data;
    if ((sizeReply || !askSize) && (data = openDataConnection(*c, epsvSent))) {
        const bool retrPending = retrSent && c->pending > 0;
        const auto start = retrPending ? nextReply(*c) : command(*c, QStringLiteral("RETR ") + remote);
        if (start && start->code != 125 && start->code != 150)
            failReply(*start);
        else if (start && dataReady(*c, *data)) {
            if (!writable)
                return finishAbortedTransfer(*c, *data,
                                             QStringLiteral("Impossible de créer le fichier local %1 (%2).")
                                                 .arg(QDir::toNativeSeparators(localPath), why),
                                             FtpErrorLocalFile);
            done = receive(*c, *data, part.file(), expected, remote, localPath, hash ? &*hash : nullptr);
        }
    }
    // A busy server or a cut transfer: tried again, from where it stopped when the server can
    // resume, with the hash taking in again the bytes kept.
    int cuts = 0;
    for (int k = 0; !done && writable && retryAfter(k, cuts); ++k) {
        c = revive(connection);
        if (!c || !setType(*c, ascii ? 'A' : 'I'))
            return false;
        if (expected < 0 && !ascii)
            if (const auto size = command(*c, QStringLiteral("SIZE ") + remote); size && size->code == 213)
                expected = sizeFromReply(*size);
        qint64 offset = part.file().flush() ? part.file().size() : 0;
        if (offset > 0 && (ascii || expected < 0 || !resumable(*c)))
            offset = 0;
        if (!part.file().flush() || !part.file().resize(offset) || !part.file().seek(offset)) {
            fail(FtpErrorLocalFile, QStringLiteral("Impossible d'écrire le fichier local %1 (%2).")
                                        .arg(QDir::toNativeSeparators(localPath), part.file().errorString()));
            return false;
        }
        if (hash) {
            hash->reset();
            QFile kept(part.file().fileName());
            if (offset > 0 && (!kept.open(QIODevice::ReadOnly) || !hashPrefix(kept, offset, *hash))) {
                fail(FtpErrorLocalFile, QStringLiteral("Impossible de relire le fichier local %1 (%2).")
                                            .arg(QDir::toNativeSeparators(localPath), kept.errorString()));
                return false;
            }
        }
        clearTransient();
        done = retrieveAgain(*c, remote, part.file(), offset, expected, localPath, hash ? &*hash : nullptr);
    }
    if (!done) {
        return false;
    }
    const QString doneText = m_lastResponse;
    if (hash && hash->result() != wanted->sha256) {
        fail(FtpErrorContentMismatch,
             doneText +
                 QStringLiteral("\nLe contenu reçu de %1 n'est pas celui attendu (empreinte SHA-256 différente).")
                     .arg(visible(remote)));
        return false;
    }
    if (!part.commit(why)) {
        fail(FtpErrorLocalFile, doneText + QStringLiteral("\nImpossible de remplacer le fichier local %1 (%2).")
                                               .arg(QDir::toNativeSeparators(localPath), why));
        return false;
    }
    succeed();
    return true;
}

bool QtFtpClient::retrieveAgain(Connection& c, const QString& remote, QFile& out, qint64 offset, qint64 expected,
                                const QString& localPath, BackgroundSha256* hash)
{
    if (!settle(c))
        return false;
    std::unique_ptr<QTcpSocket> data = openDataConnection(c);
    if (!data)
        return false;
    if (offset > 0) {
        const auto rest = command(c, QStringLiteral("REST %1").arg(offset));
        if (!rest)
            return false;
        if (rest->code != 350) {
            failReply(*rest);
            return false;
        }
    }
    return startTransfer(c, QStringLiteral("RETR ") + remote) && dataReady(c, *data) &&
           receive(c, *data, out, expected, remote, localPath, hash, offset);
}

bool QtFtpClient::fileFacts(FtpHandle connection, const QString& remote, qint64& size, QDateTime& modified)
{
    size = -1;
    modified = QDateTime();
    CallGuard guard(*this);
    if (!guard)
        return false;
    Connection* c = connectionFor(connection);
    if (!c || !setType(*c, 'I') || !settle(*c) ||
        !send(*c, {QStringLiteral("SIZE ") + remote, QStringLiteral("MDTM ") + remote}))
        return false;
    const auto sizeReply = nextReply(*c);
    if (!sizeReply)
        return false;
    const auto timeReply = nextReply(*c);
    if (!timeReply)
        return false;
    if (sizeReply->code == 213)
        size = sizeFromReply(*sizeReply);
    if (timeReply->code == 213) {
        const qint64 ms = FtpListing::parseTime(timeReply->text.mid(4).trimmed().toLatin1());
        if (ms >= 0)
            modified = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
    }
    if (size < 0 && !modified.isValid()) {
        failReply(*timeReply);
        return false;
    }
    succeed();
    return true;
}

bool QtFtpClient::send(Connection& c, QTcpSocket& data, QFile& in, bool ascii)
{
    bool previousCr = false;
    for (;;) {
        QByteArray chunk = in.read(ChunkSize);
        if (chunk.isEmpty()) {
            if (in.error() != QFileDevice::NoError)
                return finishAbortedTransfer(c, data,
                                             QStringLiteral("Impossible de lire le fichier local %1 (%2).")
                                                 .arg(QDir::toNativeSeparators(in.fileName()), in.errorString()),
                                             FtpErrorLocalFile);
            break;
        }
        if (ascii) {
            // Network text: every line ends with CR LF.
            QByteArray converted;
            converted.reserve(chunk.size() + chunk.size() / 16);
            for (char ch : std::as_const(chunk)) {
                if (ch == '\n' && !previousCr)
                    converted += '\r';
                converted += ch;
                previousCr = ch == '\r';
            }
            chunk = std::move(converted);
        }
        data.write(chunk);
        const SocketWait::Result sent = m_wait.written(data, deadline());
        if (sent != SocketWait::Result::Ready) {
            finishAbortedTransfer(c, data,
                                  QStringLiteral("L'envoi vers le serveur %1 a été interrompu (%2).")
                                      .arg(c.host, describeSocketError(data)),
                                  sent == SocketWait::Result::Expired ? FtpErrorTimeout : FtpErrorConnectionAborted);
            if (sent == SocketWait::Result::Closed)
                markTransient(true); // cut part-way
            return false;
        }
    }
    SocketWait::drain(data);
    data.disconnectFromHost();
    if (m_wait.disconnected(data, deadline()) != SocketWait::Result::Ready)
        data.abort();
    return true;
}

bool QtFtpClient::putFile(FtpHandle connection, const QString& localPath, const QString& remote, int transferType)
{
    CallGuard guard(*this);
    if (!guard)
        return false;
    Connection* c = connectionFor(connection);
    if (!c)
        return false;
    QFile in(localPath);
    if (!in.open(QIODevice::ReadOnly)) {
        fail(FtpErrorLocalFile, QStringLiteral("Impossible de lire le fichier local %1 (%2).")
                                    .arg(QDir::toNativeSeparators(localPath), in.errorString()));
        return false;
    }
    const bool ascii = transferType == FtpTransferAscii;
    if (!setType(*c, ascii ? 'A' : 'I'))
        return false;
    c->forgetFacts();
    clearTransient();
    bool done = store(*c, remote, in, ascii);
    // An upload tried again starts again: what the server kept of it is replaced.
    int cuts = 0;
    for (int k = 0; !done && retryAfter(k, cuts); ++k) {
        c = revive(connection);
        if (!c || !in.seek(0) || !setType(*c, ascii ? 'A' : 'I'))
            return false;
        clearTransient();
        done = store(*c, remote, in, ascii);
    }
    if (!done)
        return false;
    succeed();
    return true;
}

std::optional<FtpReply> QtFtpClient::closingReply(Connection& c)
{
    auto done = nextReply(c);
    if (done && !done->positive()) {
        failReply(*done);
        return std::nullopt;
    }
    return done;
}

bool QtFtpClient::startTransfer(Connection& c, const QString& line)
{
    const auto start = command(c, line);
    if (!start)
        return false;
    if (start->code != 125 && start->code != 150) {
        failReply(*start);
        return false;
    }
    return true;
}

bool QtFtpClient::store(Connection& c, const QString& remote, QFile& in, bool ascii)
{
    if (!settle(c))
        return false;
    std::unique_ptr<QTcpSocket> data = openDataConnection(c);
    if (!data)
        return false;
    if (!startTransfer(c, QStringLiteral("STOR ") + remote) || !dataReady(c, *data) || !send(c, *data, in, ascii))
        return false;
    return closingReply(c).has_value();
}

bool QtFtpClient::readListing(Connection& c, QTcpSocket& data, FtpListing& listing)
{
    QDeadlineTimer quiet = deadline(); // a long listing may take long; its progress must not stop
    for (;;) {
        const SocketWait::Result r = m_wait.readable(data, quiet);
        if (r == SocketWait::Result::Closed)
            break;
        if (r == SocketWait::Result::Expired)
            return finishAbortedTransfer(
                c, data,
                QStringLiteral("Le serveur %1 n'envoie plus la liste (délai de %2 s dépassé).").arg(c.host, seconds()),
                FtpErrorTimeout);
        const qint64 n = data.read(m_buffer.data(), m_buffer.size());
        if (n < 0)
            break;
        if (n == 0)
            continue;
        QString refused;
        switch (listing.feed(QByteArrayView(m_buffer.constData(), n))) {
        case FtpListing::Status::Ok:
            break;
        case FtpListing::Status::TooManyEntries:
            refused = QStringLiteral("plus de 1 000 000 d'entrées");
            break;
        case FtpListing::Status::TooLarge:
            refused = QStringLiteral("plus de 256 Mio");
            break;
        case FtpListing::Status::LineTooLong:
            refused = QStringLiteral("une ligne dépasse 64 Kio");
            break;
        }
        if (!refused.isEmpty()) {
            data.abort();
            markLost(c, FtpErrorConnectionAborted,
                     QStringLiteral("Liste refusée du serveur %1 : %2. Connexion fermée.").arg(c.host, refused));
            return false;
        }
        quiet = deadline();
    }
    if (listing.finish() != FtpListing::Status::Ok) {
        data.abort();
        markLost(
            c, FtpErrorConnectionAborted,
            QStringLiteral("Liste refusée du serveur %1 : une ligne dépasse 64 Kio. Connexion fermée.").arg(c.host));
        return false;
    }
    data.abort();
    return true;
}

FtpHandle QtFtpClient::findFirstFile(FtpHandle connection, const QString& pattern, FtpFindData& data)
{
    CallGuard guard(*this);
    if (!guard)
        return 0;
    Connection* c = connectionFor(connection);
    if (!c)
        return 0;
    // Listings come as text in whatever type is current; names travel as UTF-8.
    if (!setType(*c, 'A'))
        return 0;

    auto listing = std::make_unique<Listing>();
    listing->connection = connection;
    clearTransient();
    bool listed = list(*c, pattern, listing->entries);
    int cuts = 0;
    for (int k = 0; !listed && retryAfter(k, cuts); ++k) {
        c = revive(connection);
        if (!c || !setType(*c, 'A'))
            return 0;
        clearTransient();
        listed = list(*c, pattern, listing->entries);
    }
    if (!listed)
        return 0;
    if (!listing->entries || listing->entries->size() == 0) {
        fail(FtpErrorNoMoreFiles, QString());
        return 0;
    }
    // One listing per connection: a new one replaces any that was left open.
    for (auto it = m_listings.begin(); it != m_listings.end();) {
        if (it->second->connection == connection)
            it = m_listings.erase(it);
        else
            ++it;
    }
    data = listing->entries->at(0);
    listing->next = 1;
    const FtpHandle h = newHandle();
    m_listings[h] = std::move(listing);
    succeed();
    return h;
}

bool QtFtpClient::list(Connection& c, const QString& pattern, std::shared_ptr<FtpListing>& entries)
{
    entries.reset();
    for (int attempt = 0; attempt < 2 && !entries; ++attempt) {
        const bool mlsd = !c.noMlsd;
        std::unique_ptr<QTcpSocket> socket = openDataConnection(c);
        if (!socket)
            return false;
        const auto start = command(c, mlsd ? QStringLiteral("MLSD") : QStringLiteral("NLST"));
        if (!start)
            return false;
        if (start->code != 125 && start->code != 150) {
            socket->abort();
            if (mlsd && (start->code == 500 || start->code == 502 || start->code == 504)) {
                c.noMlsd = true;
                continue;
            }
            failReply(*start);
            return false;
        }
        if (!dataReady(c, *socket))
            return false;
        auto received =
            std::make_shared<FtpListing>(mlsd ? FtpListing::Format::Mlsd : FtpListing::Format::Nlst, pattern);
        if (!readListing(c, *socket, *received))
            return false;
        if (!closingReply(c))
            return false;
        entries = std::move(received);
        if (mlsd) {
            c.facts = entries;
            c.factsFresh.setRemainingTime(FactsLifetimeMs);
        }
    }
    return true;
}

bool QtFtpClient::findNextFile(FtpHandle find, FtpFindData& data)
{
    const auto it = m_listings.find(find);
    if (it == m_listings.end()) {
        fail(FtpErrorInvalidHandle, QString());
        return false;
    }
    Listing& l = *it->second;
    if (l.next >= l.entries->size()) {
        fail(FtpErrorNoMoreFiles, QString());
        return false;
    }
    data = l.entries->at(l.next++);
    succeed();
    return true;
}

void QtFtpClient::closeConnection(FtpHandle handle)
{
    const auto it = m_connections.find(handle);
    if (it == m_connections.end())
        return;
    Connection& c = *it->second;
    if (!c.lost && c.control->state() == QAbstractSocket::ConnectedState) {
        // Replies still owed (a transfer cut short) would be taken for the answer to QUIT.
        const bool inStep = c.pending == 0;
        const QDeadlineTimer quick(std::min(QuitWaitMs, m_timeoutMs));
        c.control->write("QUIT\r\n");
        if (m_wait.written(*c.control, quick) == SocketWait::Result::Ready && inStep) {
            FtpReplyReader reader;
            FtpReply reply;
            if (reader.read(*c.control, m_wait, quick, reply) == FtpReplyReader::Status::Complete)
                m_lastResponse = reply.text;
        }
    }
    c.control->abort();
    for (auto l = m_listings.begin(); l != m_listings.end();) {
        if (l->second->connection == handle)
            l = m_listings.erase(l);
        else
            ++l;
    }
    m_connections.erase(it);
}

bool QtFtpClient::closeHandle(FtpHandle handle)
{
    if (m_listings.erase(handle) > 0) {
        succeed();
        return true;
    }
    CallGuard guard(*this);
    if (!guard)
        return false;
    if (m_connections.count(handle) > 0) {
        closeConnection(handle);
        succeed();
        return true;
    }
    if (m_sessions.count(handle) > 0) {
        std::vector<FtpHandle> children;
        for (const auto& [h, c] : m_connections)
            if (c->session == handle)
                children.push_back(h);
        for (FtpHandle h : children)
            closeConnection(h);
        m_sessions.erase(handle);
        succeed();
        return true;
    }
    fail(FtpErrorInvalidHandle, QString());
    return false;
}
