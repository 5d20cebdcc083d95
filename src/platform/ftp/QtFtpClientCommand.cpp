#include "FtpReplyReader.h"
#include "FtpSocketErrors.h"
#include "QtFtpClientInternals.h"

#include <algorithm>

// One command and its reply on the control connection. Commands may go out several at once:
// `pending` counts the final replies still owed, so each step reads its own.

using namespace ftpclient;

namespace {

constexpr qint64 AheadReplyMinMs = 1500;

} // namespace

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
    c.loginFolder.reset();
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

std::optional<FtpReply> QtFtpClient::nextReply(Connection& c, bool ahead)
{
    FtpReplyReader reader;
    FtpReply reply;
    // A reply to a command sent ahead comes right behind the one before it; a server that lost the
    // command never sends it. The bound leaves room for a slow link and a slow server.
    const qint64 aheadMs = std::min<qint64>(m_timeoutMs, std::max<qint64>(AheadReplyMinMs, 8 * c.roundTripMs));
    const QDeadlineTimer until = ahead ? QDeadlineTimer(aheadMs) : deadline();
    switch (reader.read(*c.control, m_wait, until, reply)) {
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
        if (ahead) {
            aheadLost(c, QStringLiteral("ne répond plus à une commande envoyée d'avance (délai de %1 s dépassé)")
                             .arg(static_cast<double>(aheadMs) / 1000.0));
            return std::nullopt;
        }
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

namespace {

// The replies that may answer `verb`: its own positive one, or a refusal.
bool answers(const QString& verb, int code)
{
    if (code >= 400)
        return true;
    if (verb == QLatin1String("RETR") || verb == QLatin1String("MLSD") || verb == QLatin1String("NLST"))
        return code == 125 || code == 150;
    if (verb == QLatin1String("EPSV"))
        return code == 229;
    if (verb == QLatin1String("RNTO"))
        return code == 250;
    if (verb == QLatin1String("PWD"))
        return code == 257;
    return code == 213; // SIZE, MDTM
}

} // namespace

std::optional<FtpReply> QtFtpClient::aheadReply(Connection& c, const QString& verb)
{
    auto reply = nextReply(c, true);
    if (reply && !answers(verb, reply->code)) {
        aheadLost(c, QStringLiteral("a répondu « %1 » à %2 envoyée d'avance").arg(visible(reply->text), verb));
        return std::nullopt;
    }
    return reply;
}

bool QtFtpClient::sendsAhead(const Connection& c) const
{
    return !*m_oneAtATime && !c.oneAtATime;
}

void QtFtpClient::aheadLost(Connection& c, const QString& what)
{
    const QString message =
        QStringLiteral("Le serveur %1 %2 : les commandes lui sont envoyées une à une pour la suite.").arg(c.host, what);
    if (!m_oneAtATime->exchange(true) && m_noticeObserver)
        m_noticeObserver(message);
    m_aheadLost = true;
    // Which of its commands the server still means to answer is unknown: a new session.
    markLost(c, FtpErrorTimeout, message);
    c.revivable = true;
}

void QtFtpClient::dropAhead(Connection& c)
{
    c.fileAhead.clear();
    c.pending = 0;
    c.lost = true;
    c.revivable = true;
    if (c.control)
        c.control->abort();
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
    return c.type == type ||
           (settle(c) && send(c, {QStringLiteral("TYPE ") + QLatin1Char(type)}) && typeReply(c, type));
}

bool QtFtpClient::typeReply(Connection& c, char type)
{
    const auto reply = nextReply(c);
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
    c.fileAhead.clear();
    if (c.control)
        c.control->abort();
    fail(error, message);
}
