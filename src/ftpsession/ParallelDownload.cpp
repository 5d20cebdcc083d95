#include "ParallelDownload.h"

#include "FtpConnection.h"
#include "SessionThreads.h"

#include <QMutex>
#include <QObject>
#include <QWaitCondition>

#include <algorithm>
#include <atomic>
#include <deque>
#include <vector>

// What the calling thread and the extra sessions' threads share, under one mutex.
struct ParallelDownload::Shared {
    QMutex mutex;
    QWaitCondition changed;
    std::deque<qsizetype> queue;    // jobs any session may take, largest first
    std::deque<qsizetype> underWay; // jobs the extra sessions are fetching, the longest under way first
    std::deque<std::pair<qsizetype, DownloadResult>> results;
    QStringList notices;  // what the extra sessions' clients want the log to keep
    QStringList refusals; // logins the server refused
    int working = 0;      // extra sessions not yet finished
    int loggedIn = 0;
    std::atomic<bool> stop = false;
    // Lives on the calling thread: a file's arrival is told through its events even while that
    // thread waits on the network for a transfer of its own.
    QObject* context = nullptr;
    std::function<void(qsizetype)> arrived;

    void post(const std::function<void()>& change)
    {
        {
            const QMutexLocker lock(&mutex);
            change();
        }
        changed.wakeAll();
    }
};

ParallelDownload::ParallelDownload(FtpConnection& ftp, int sessions)
    : m_ftp(ftp)
    , m_sessions(std::clamp(sessions, 1, MaxSessions))
{}

ParallelDownload::~ParallelDownload() = default;

namespace {

// A small file, in binary, whose size is known: its transfer is mostly its round trips.
constexpr qint64 SmallFile = 256 * 1024;

qint64 sizeOf(const DownloadJob& job)
{
    return job.expected.size >= 0 ? job.expected.size : job.size;
}

bool fetchedAhead(const DownloadJob& job)
{
    const qint64 size = sizeOf(job);
    return size >= 0 && size <= SmallFile && job.transferType != FtpTransferAscii && !job.failIfExists;
}

} // namespace

void ParallelDownload::work(Shared& shared, FtpClient& client, const Login& login, const QList<DownloadJob>& jobs)
{
    client.setNoticeObserver([&shared](const QString& notice) { shared.post([&] { shared.notices << notice; }); });
    // A download that ends (a refusal, say) leaves no session waiting to try again.
    client.setWaitCallback([&shared, &client] {
        if (shared.stop)
            client.cancelRetryWait();
    });
    const FtpHandle session = client.open(QStringLiteral("Transfert"));
    FtpHandle connection = client.connect(session, login.server, 21, login.user, login.password, true);
    if (connection && !client.setCurrentDirectory(connection, login.folder)) {
        const QString why = client.lastResponse();
        client.closeHandle(connection);
        connection = 0;
        shared.post([&] { shared.refusals << why; });
    } else if (!connection) {
        shared.post([&] { shared.refusals << client.lastResponse(); });
    } else {
        shared.post([&] { ++shared.loggedIn; });
    }
    // Between small files the session takes its next one before the transfer under way ends, so
    // that the client sends that file's commands as soon as this one's data has come.
    qsizetype next = -1;
    while (connection) {
        qsizetype job = -1;
        {
            const QMutexLocker lock(&shared.mutex);
            if (shared.stop || (next < 0 && shared.queue.empty()))
                break;
            job = std::exchange(next, -1);
            if (job < 0) {
                job = shared.queue.front();
                shared.queue.pop_front();
            }
            shared.underWay.push_back(job);
            if (!shared.queue.empty() && fetchedAhead(jobs.at(job)) && fetchedAhead(jobs.at(shared.queue.front()))) {
                next = shared.queue.front();
                shared.queue.pop_front();
            }
        }
        const DownloadJob& j = jobs.at(job);
        if (next >= 0)
            client.fetchNextAhead(connection, jobs.at(next).remote, sizeOf(jobs.at(next)));
        if (j.expected.size >= 0 || !j.expected.sha256.isEmpty())
            client.expectContent(j.expected);
        DownloadResult result;
        result.ok = client.getFile(connection, j.remote, j.localPath, j.failIfExists, j.transferType);
        result.error = client.lastError();
        result.reply = client.lastResponse();
        if (result.ok && j.afterFetch)
            result.afterDone = j.afterFetch(result.afterWhy);
        if (shared.arrived && (result.ok || result.error == FtpErrorContentMismatch))
            QMetaObject::invokeMethod(
                shared.context, [&shared, job] { shared.arrived(job); }, Qt::QueuedConnection);
        shared.post([&] {
            shared.results.emplace_back(job, result);
            shared.underWay.erase(std::find(shared.underWay.begin(), shared.underWay.end(), job));
        });
        if (!result.ok)
            break; // what this session could not do, the main session does
    }
    if (next >= 0) // taken ahead, not fetched: back for the other sessions
        shared.post([&] { shared.queue.push_front(next); });
    // Handles closed here, so that their sockets end on the thread that made them.
    if (connection)
        client.closeHandle(connection);
    client.closeHandle(session);
    client.setNoticeObserver({});
    shared.post([&] { --shared.working; });
}

DownloadResult ParallelDownload::fetchOnMain(const DownloadJob& job)
{
    const FtpResult got = m_ftp.getFile(job.remote, job.localPath, job.transferType, job.expected, job.failIfExists);
    DownloadResult result;
    static_cast<FtpResult&>(result) = got;
    result.main = true;
    if (result.ok && job.afterFetch)
        result.afterDone = job.afterFetch(result.afterWhy);
    return result;
}

bool ParallelDownload::settle(const Callbacks& callbacks, qsizetype job, DownloadResult result)
{
    const bool carryOn = callbacks.settle(job, result);
    m_outcomes[job] = std::move(result);
    return carryOn;
}

bool ParallelDownload::deliver(const Callbacks& callbacks, QList<qsizetype>& backToMain)
{
    std::deque<std::pair<qsizetype, DownloadResult>> results;
    QStringList notices;
    QStringList refusals;
    {
        const QMutexLocker lock(&m_shared->mutex);
        results.swap(m_shared->results);
        notices.swap(m_shared->notices);
        refusals.swap(m_shared->refusals);
        m_loggedIn = m_shared->loggedIn;
    }
    m_refused += static_cast<int>(refusals.size());
    for (const QString& notice : std::as_const(notices))
        if (!m_said.contains(notice)) {
            m_said.insert(notice);
            m_ftp.appendLog(notice);
        }
    if (!refusals.isEmpty() && !m_said.contains(QStringLiteral("refused"))) {
        m_said.insert(QStringLiteral("refused"));
        const QString why = refusals.first().trimmed().replace(QLatin1Char('\n'), QLatin1Char(' '));
        m_ftp.appendLog(QStringLiteral("Le serveur refuse une session de téléchargement de plus (%1) : le "
                                       "téléchargement continue avec %2 session(s).")
                            .arg(why.isEmpty() ? QStringLiteral("pas de réponse") : why)
                            .arg(1 + m_extra - m_refused));
    }
    bool carryOn = !m_shared->stop;
    for (auto& [job, result] : results) {
        if (!carryOn)
            break;
        if (result.ok || result.error == FtpErrorContentMismatch) {
            m_ftp.appendLog(result.reply);
            carryOn = settle(callbacks, job, std::move(result));
        } else {
            backToMain << job;
        }
    }
    return carryOn;
}

void ParallelDownload::run(const QList<DownloadJob>& jobs, const Callbacks& callbacks)
{
    m_shared = std::make_shared<Shared>();
    QObject context; // what it was told after run() ends is dropped with it
    m_shared->context = &context;
    m_shared->arrived = callbacks.arrived;
    m_loggedIn = 0;
    m_refused = 0;
    m_said.clear();
    m_outcomes = QList<DownloadResult>(jobs.size());
    QList<qsizetype> mainFirst;
    std::vector<qsizetype> shared;
    for (qsizetype i = 0; i < jobs.size(); ++i)
        (jobs.at(i).mainOnly ? mainFirst.append(i) : shared.push_back(i));
    std::stable_sort(shared.begin(), shared.end(),
                     [&jobs](qsizetype a, qsizetype b) { return jobs.at(a).size > jobs.at(b).size; });
    m_shared->queue.assign(shared.begin(), shared.end());

    // Extra sessions only where there is something for them beside the main session's share.
    qsizetype extra = std::min<qsizetype>(m_sessions - 1, qsizetype(shared.size()) - (mainFirst.isEmpty() ? 1 : 0));
    std::vector<std::unique_ptr<FtpClient>> clients;
    // They go to the main session's folder by its whole path, however that session got there.
    Login login{m_ftp.server(), m_ftp.user(), m_ftp.password(), QString()};
    if (extra > 0) {
        login.folder = m_ftp.workingDirectory();
        if (login.folder.isEmpty())
            extra = 0;
    }
    for (qsizetype i = 0; i < extra; ++i) {
        std::unique_ptr<FtpClient> client = m_ftp.companion();
        if (!client)
            break;
        FtpClient* c = client.get();
        m_shared->post([this] { ++m_shared->working; });
        // The task keeps what it shares alive until its last touch of it.
        SessionThreads::instance().start([shared = m_shared, c, login, &jobs] { work(*shared, *c, login, jobs); });
        clients.push_back(std::move(client));
    }
    m_extra = static_cast<int>(clients.size());

    QList<qsizetype> backToMain;
    bool carryOn = true;
    auto waitForHelpers = [this, &callbacks] {
        QMutexLocker lock(&m_shared->mutex);
        if (m_shared->results.empty() && m_shared->notices.isEmpty() && m_shared->working > 0)
            m_shared->changed.wait(&m_shared->mutex, 50);
        const qsizetype longest = m_shared->underWay.empty() ? -1 : m_shared->underWay.front();
        lock.unlock();
        if (callbacks.idle)
            callbacks.idle(longest);
    };
    while (carryOn) {
        carryOn = deliver(callbacks, backToMain);
        if (!carryOn)
            break;
        qsizetype job = -1;
        if (!mainFirst.isEmpty()) {
            job = mainFirst.takeFirst();
        } else if (!backToMain.isEmpty()) {
            job = backToMain.takeFirst();
        } else {
            const QMutexLocker lock(&m_shared->mutex);
            if (!m_shared->queue.empty()) {
                job = m_shared->queue.front();
                m_shared->queue.pop_front();
            } else if (m_shared->working == 0 && m_shared->results.empty()) {
                break;
            }
        }
        if (job >= 0) {
            if (callbacks.beforeMain)
                callbacks.beforeMain(job);
            carryOn = settle(callbacks, job, fetchOnMain(jobs.at(job)));
        } else {
            waitForHelpers();
        }
    }
    m_shared->stop = true;
    for (;;) {
        {
            const QMutexLocker lock(&m_shared->mutex);
            if (m_shared->working == 0)
                break;
        }
        waitForHelpers();
    }
}
