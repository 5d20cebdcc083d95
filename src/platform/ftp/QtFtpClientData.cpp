#include "FtpSocketErrors.h"
#include "QtFtpClientInternals.h"

#include <QSslSocket>

#include <algorithm>

// Data connections: opened in passive mode to the control connection's host, the command that
// starts a transfer on them, and the reply that ends it.

using namespace ftpclient;

namespace {

constexpr qint64 DataBufferSize = 1024 * 1024;
// How long a reply to a command sent ahead may take to follow a refused data connection.
constexpr qint64 RefusalReplyMinMs = 300;

} // namespace

std::unique_ptr<QTcpSocket> QtFtpClient::openDataConnection(Connection& c, bool epsvSent, bool epsvAhead)
{
    int dataPort = -1;
    if (!c.noEpsv) {
        const auto reply = !epsvSent   ? command(c, QStringLiteral("EPSV"))
                           : epsvAhead ? aheadReply(c, QStringLiteral("EPSV"))
                                       : nextReply(c);
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
        refusalSentAhead(c);
        return nullptr;
    }
    // The handshake starts now and completes once the server has taken the transfer command.
    if (c.encrypted)
        static_cast<QSslSocket&>(*data).startClientEncryption();
    return data;
}

void QtFtpClient::refusalSentAhead(Connection& c)
{
    // A command sent with the EPSV may have been refused already: a server that will not send a
    // file answers so and closes its passive port without waiting for the data connection. Its
    // reply, on its way or already here, decides; only a data connection that failed with no
    // such reply is a passing failure.
    if (c.pending <= 0 || !c.control)
        return;
    const qint64 boundMs = std::min<qint64>(m_timeoutMs, std::max<qint64>(RefusalReplyMinMs, 4 * c.roundTripMs));
    if (c.control->bytesAvailable() == 0 &&
        m_wait.readable(*c.control, QDeadlineTimer(boundMs)) != SocketWait::Result::Ready)
        return;
    const QString dataFailure = m_lastResponse;
    const quint32 dataError = m_lastError;
    const QString transient = m_transient;
    const auto reply = nextReply(c);
    if (!reply)
        return; // the control connection went too: that failure is the one told
    if (reply->code < 400) {
        // Taken: the transfer waits for the data connection that failed. Its final reply is
        // read before the next command.
        m_lastResponse = dataFailure;
        m_lastError = dataError;
        m_transient = transient;
        return;
    }
    clearTransient();
    failReply(*reply);
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

std::optional<FtpReply> QtFtpClient::closingReply(Connection& c)
{
    auto done = nextReply(c);
    if (done && !done->positive()) {
        failReply(*done);
        return std::nullopt;
    }
    return done;
}
