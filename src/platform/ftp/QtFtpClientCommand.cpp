#include "FtpReplyReader.h"
#include "FtpSocketErrors.h"
#include "QtFtpClientInternals.h"

// One command and its reply on the control connection. Commands may go out several at once:
// `pending` counts the final replies still owed, so each step reads its own.

using namespace ftpclient;

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

void QtFtpClient::markLost(Connection& c, quint32 error, const QString& message)
{
    c.lost = true;
    c.pending = 0;
    if (c.control)
        c.control->abort();
    fail(error, message);
}
