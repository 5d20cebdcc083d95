#include "QtFtpClientInternals.h"

#include <algorithm>
#include <utility>

// The retry rules: which failure may be tried again, the wait before the next try (said to the
// observer and painted through), and the connection logged in again after a loss.

using namespace ftpclient;

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
    m_retryCancelled = false;
    while (!end.hasExpired() && !m_retryCancelled) {
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
    if (std::exchange(m_retryCancelled, false)) {
        m_retry.spend(); // the refusal stands, for this call and the rest of the run
        return false;
    }
    clearTransient();
    return true;
}

bool QtFtpClient::waitToRetry(int attempt, const QString& reason)
{
    const QString kept = m_lastResponse;
    const quint32 keptError = m_lastError;
    m_transient = visible(reason.section(QLatin1Char('\n'), -1));
    m_transientCut = false;
    int cuts = 0;
    const bool waited = retryAfter(attempt, cuts);
    clearTransient();
    m_lastResponse = kept;
    m_lastError = keptError;
    return waited;
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
