#pragma once

#include "platform/FtpClient.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

class FtpConnection;

// One file of a download.
struct DownloadJob {
    QString remote; // its name in the working folder
    QString localPath;
    qint64 size = -1;            // as the listing or the manifest gives it: the largest go first
    FtpExpectedContent expected; // nothing checked when its size is -1 and its digest empty
    bool failIfExists = false;
    int transferType = FtpTransferBinary;
    bool mainOnly = false; // fetched by the main session, before it takes its share of the rest
    // Run by an extra session on its own thread once the file is fetched (a patch applied, say):
    // false with why. The main session's own share is left to `fetchOnMain`.
    std::function<bool(QString& why)> afterFetch;
};

// What an extra session made of one job.
struct DownloadResult {
    bool ok = false;
    quint32 error = FtpErrorNone;
    QString response;       // the server's last reply, or the client's own message
    bool afterDone = false; // afterFetch ran and succeeded
    QString afterWhy;       // why it failed
};

// Fetches the files of the working folder over the main connection and up to `sessions - 1` extra
// sessions logged in alike (same server or mirror, same user, same encryption), each on a thread
// of its own, the largest files first so that the longest transfer starts early. The extra
// sessions exist only while run() runs.
//
// The main session's share runs on the calling thread through `fetchOnMain`, as a one-session
// download does: its messages, its retries, its mirrors. What an extra session fetched reaches
// `helperDone` on the calling thread too, with the server's reply. A job an extra session could
// not fetch (anything but content that is not what was expected) goes back to the main session,
// and that extra session takes no more. An extra session the server refuses (421: no more
// sessions for this user or this address) only means fewer sessions: one line of the log says so.
class ParallelDownload final {
public:
    static constexpr int MaxSessions = 16;

    // `sessions` is clamped to 1..MaxSessions; 1 is the download over the main connection alone.
    ParallelDownload(FtpConnection& ftp, int sessions);
    ~ParallelDownload();
    ParallelDownload(const ParallelDownload&) = delete;
    ParallelDownload& operator=(const ParallelDownload&) = delete;

    // Each returns false to end the download: no job is started after it, and run() returns once
    // the extra sessions have finished the transfers under way.
    using MainFetch = std::function<bool(qsizetype job)>;
    using HelperDone = std::function<bool(qsizetype job, const DownloadResult& result)>;

    // Runs every few tens of milliseconds while the calling thread waits on extra sessions, with
    // the job under way the longest (-1: none).
    using Idle = std::function<void(qsizetype job)>;

    void run(const QList<DownloadJob>& jobs, const MainFetch& fetchOnMain, const HelperDone& helperDone,
             const Idle& idle);

    // Told on the calling thread, as soon as it runs its events (while it waits on the network,
    // say), of each file an extra session fetched, before `helperDone` is.
    void setArrival(std::function<void(qsizetype job)> arrived) { m_arrived = std::move(arrived); }

    // Extra sessions that logged in during the last run().
    int extraSessions() const { return m_loggedIn; }

private:
    struct Shared;
    struct Login {
        QString server;
        QString user;
        QString password;
        QString folder;
    };
    static void work(Shared& shared, FtpClient& client, const Login& login, const QList<DownloadJob>& jobs);
    // Hands what the extra sessions reported to the calling thread's callbacks; false once the
    // download is to end.
    bool deliver(const HelperDone& helperDone, QList<qsizetype>& backToMain);

    FtpConnection& m_ftp;
    int m_sessions;
    int m_loggedIn = 0;
    int m_extra = 0;
    int m_refused = 0;
    QSet<QString> m_said; // log lines already written for this run
    std::shared_ptr<Shared> m_shared;
    std::function<void(qsizetype)> m_arrived;
};
