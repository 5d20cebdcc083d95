#pragma once

#include "FtpConnection.h"
#include "platform/FtpClient.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

// One file of a download.
struct DownloadJob {
    QString remote; // its name in the working folder
    QString localPath;
    qint64 size = -1;            // as the listing or the manifest gives it: the largest go first
    FtpExpectedContent expected; // nothing checked when its size is -1 and its digest empty
    bool failIfExists = false;
    int transferType = FtpTransferBinary;
    bool mainOnly = false; // fetched by the main session, before it takes its share of the rest
    // Run once the file is fetched, by the session that fetched it, on that session's thread (a
    // patch applied, say): false with why.
    std::function<bool(QString& why)> afterFetch;
};

// What a session made of one job: its transfer (the server's reply logged as it came), and what
// followed it.
struct DownloadResult : FtpResult {
    bool afterDone = false; // afterFetch ran and succeeded
    QString afterWhy;       // why it failed
    bool main = false;      // fetched by the main session
};

// Fetches the files of the working folder over the main connection and up to `sessions - 1` extra
// sessions logged in alike (same server or mirror, same user, same encryption), each on a thread
// of its own, the largest files first so that the longest transfer starts early. The extra
// sessions exist only while run() runs, and only when there is something for them to fetch.
//
// The main session's share runs on the calling thread as a one-session download does: its
// messages, its retries, its replies in the log. What any session fetched reaches `settle` on the
// calling thread, the server's reply logged first, in the order the transfers end. A job an extra
// session could not fetch (anything but content that is not what was expected) goes back to the
// main session, and that extra session takes no more. An extra session the server refuses (421:
// no more sessions for this user or this address) only means fewer sessions: one line of the log
// says so. Once run() returns, outcome() gives each job's result in the jobs' own order (the
// listing's), whatever order the sessions finished in.
class ParallelDownload final {
public:
    static constexpr int MaxSessions = 16;

    // `sessions` is clamped to 1..MaxSessions; 1 is the download over the main connection alone.
    ParallelDownload(FtpConnection& ftp, int sessions);
    ~ParallelDownload();
    ParallelDownload(const ParallelDownload&) = delete;
    ParallelDownload& operator=(const ParallelDownload&) = delete;

    struct Callbacks {
        // Before the main session fetches a job: the panel names it, a program is stopped.
        std::function<void(qsizetype job)> beforeMain;
        // What came of a job, on the calling thread. It may fetch the job again some other way
        // and leave what that came to in `result`, which outcome() then gives. False ends the
        // download: no job is started after it, and run() returns once the extra sessions have
        // finished the transfers under way.
        std::function<bool(qsizetype job, DownloadResult& result)> settle;
        // Every few tens of milliseconds while the calling thread waits on extra sessions, with
        // the job under way the longest (-1: none).
        std::function<void(qsizetype job)> idle;
        // Each file an extra session fetched, as soon as the calling thread runs its events (while
        // it waits on the network, say), before `settle` is told.
        std::function<void(qsizetype job)> arrived;
    };

    void run(const QList<DownloadJob>& jobs, const Callbacks& callbacks);

    // Job `job` of the last run() as `settle` left it; not ok for a job the download never settled.
    const DownloadResult& outcome(qsizetype job) const { return m_outcomes.at(job); }
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
    // The main session's transfer of one job, and what is to follow it there.
    DownloadResult fetchOnMain(const DownloadJob& job);
    bool settle(const Callbacks& callbacks, qsizetype job, DownloadResult result);
    // Hands what the extra sessions reported to the calling thread's callbacks; false once the
    // download is to end.
    bool deliver(const Callbacks& callbacks, QList<qsizetype>& backToMain);

    FtpConnection& m_ftp;
    int m_sessions;
    int m_loggedIn = 0;
    int m_extra = 0;
    int m_refused = 0;
    QSet<QString> m_said; // log lines already written for this run
    QList<DownloadResult> m_outcomes;
    std::shared_ptr<Shared> m_shared;
};
