#include "QtFtpClient.h"

#include "FtpReplyReader.h"
#include "QtFtpClientInternals.h"

#include <algorithm>
#include <vector>

// The client's handles and the calls that are one command on the control connection.

using namespace ftpclient;

namespace {

constexpr int QuitWaitMs = 2000;

} // namespace

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

std::unique_ptr<FtpClient> QtFtpClient::companion() const
{
    auto other = std::make_unique<QtFtpClient>(m_timeoutMs);
    other->m_tls = m_tls;
    other->m_retry = m_retry.companion();
    other->m_loginTries = 1;
    other->m_oneAtATime = m_oneAtATime;
    return other;
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

QtFtpClient::Connection* QtFtpClient::connectionFor(FtpHandle handle, const QString& fetching)
{
    const auto it = m_connections.find(handle);
    if (it == m_connections.end()) {
        fail(FtpErrorInvalidHandle, QString());
        return nullptr;
    }
    if (!it->second->fileAhead.isEmpty() && it->second->fileAhead != fetching) {
        // Another call than the announced file's: what went ahead for it goes with the connection.
        dropAhead(*it->second);
        return revive(handle);
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

bool QtFtpClient::currentDirectory(FtpHandle connection, QString& directory)
{
    CallGuard guard(*this);
    if (!guard)
        return false;
    Connection* c = connectionFor(connection);
    if (!c)
        return false;
    std::optional<FtpReply> reply = std::move(c->loginFolder);
    c->loginFolder.reset();
    if (reply)
        m_lastResponse = reply->text; // asked with the password
    else
        reply = command(*c, QStringLiteral("PWD"));
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

bool QtFtpClient::deleteFile(FtpHandle connection, const QString& name)
{
    return simpleCommand(connection, QStringLiteral("DELE"), name);
}

bool QtFtpClient::renameFile(FtpHandle connection, const QString& from, const QString& to)
{
    CallGuard guard(*this);
    if (!guard)
        return false;
    Connection* c = connectionFor(connection);
    if (!c)
        return false;
    c->forgetFacts();
    const QString rnfr = QStringLiteral("RNFR ") + from;
    const QString rnto = QStringLiteral("RNTO ") + to;
    std::optional<FtpReply> reply;
    if (sendsAhead(*c)) {
        // Both in one round trip: a server that refused the RNFR refuses the RNTO behind it (503).
        m_aheadLost = false;
        if (!settle(*c) || !send(*c, {rnfr, rnto}))
            return false;
        const auto first = nextReply(*c);
        if (!first)
            return false;
        reply = aheadReply(*c, QStringLiteral("RNTO"));
        if (!reply)
            return false;
        if (first->code != 350) {
            failReply(*first);
            return false;
        }
    } else {
        reply = command(*c, rnfr);
        if (!reply)
            return false;
        if (reply->code != 350) {
            failReply(*reply);
            return false;
        }
        reply = command(*c, rnto);
        if (!reply)
            return false;
    }
    if (!reply->positive()) {
        failReply(*reply);
        return false;
    }
    succeed();
    return true;
}

bool QtFtpClient::removeDirectory(FtpHandle connection, const QString& name)
{
    return simpleCommand(connection, QStringLiteral("RMD"), name);
}

bool QtFtpClient::createDirectory(FtpHandle connection, const QString& name)
{
    return simpleCommand(connection, QStringLiteral("MKD"), name);
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
