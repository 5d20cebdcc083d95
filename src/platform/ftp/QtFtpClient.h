#pragma once

#include "FtpTlsSettings.h"
#include "RetryPolicy.h"
#include "SocketWait.h"
#include "platform/FtpClient.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QSslCertificate>

#include <atomic>
#include <map>
#include <memory>
#include <optional>

class QAbstractSocket;
class QFile;
class QTcpSocket;
class FtpListing;
class PartFile;
struct FtpReply;

// FTP over Qt's sockets (RFC 959 with EPSV, falling back to PASV; explicit TLS, RFC 4217, on
// request). Blocking calls on the caller's thread: every reply must arrive whole within the
// timeout, a transfer fails when no byte came for the timeout, and while a call waits the wait
// callback runs every few tens of milliseconds. Data connections always go to the address of the
// control connection: the address inside a PASV reply is ignored. What a server sends is bounded
// (reply lines, replies, listings), so a hostile server can make a call fail, not exhaust memory.
// What a busy server refuses for the moment (RetryPolicy) is tried again after a wait: a login on a
// new control connection, a listing or a transfer on the same one (a new one when it was lost), a
// cut download from where it stopped when the server can resume (REST STREAM).
class BackgroundSha256;

class QtFtpClient final : public FtpClient {
public:
    static constexpr int MinTimeoutMs = 1000;
    static constexpr int MaxTimeoutMs = 3600 * 1000;

    explicit QtFtpClient(int timeoutMs = 30000);
    ~QtFtpClient() override;
    QtFtpClient(const QtFtpClient&) = delete;
    QtFtpClient& operator=(const QtFtpClient&) = delete;

    // Clamped to MinTimeoutMs..MaxTimeoutMs.
    void setTimeout(int timeoutMs);
    int timeout() const { return m_timeoutMs; }
    // Takes effect at the next connect().
    void setTls(const FtpTlsSettings& settings);
    // Off (RetryPolicy with no budget) unless set; the budget is shared by every later call.
    void setRetryPolicy(RetryPolicy policy) { m_retry = std::move(policy); }
    void setLoginTries(int tries) override { m_loginTries = tries; }

    FtpHandle open(const QString& agent) override;
    FtpHandle connect(FtpHandle session, const QString& server, quint16 port, const QString& user,
                      const QString& password, bool passive) override;
    bool currentDirectory(FtpHandle connection, QString& directory) override;
    bool setCurrentDirectory(FtpHandle connection, const QString& directory) override;
    FtpHandle findFirstFile(FtpHandle connection, const QString& pattern, FtpFindData& data) override;
    FtpHandle findFirstFileIn(FtpHandle connection, const QString& folder, FtpFindData& data) override;
    bool renameFile(FtpHandle connection, const QString& from, const QString& to) override;
    bool findNextFile(FtpHandle find, FtpFindData& data) override;
    bool getFile(FtpHandle connection, const QString& remote, const QString& localPath, bool failIfExists,
                 int transferType) override;
    bool putFile(FtpHandle connection, const QString& localPath, const QString& remote, int transferType) override;
    bool fileFacts(FtpHandle connection, const QString& remote, qint64& size, QDateTime& modified) override;
    bool expectContent(const FtpExpectedContent& content) override;
    void fetchNextAhead(FtpHandle connection, const QString& remote, qint64 size) override;
    bool deleteFile(FtpHandle connection, const QString& name) override;
    bool removeDirectory(FtpHandle connection, const QString& name) override;
    bool createDirectory(FtpHandle connection, const QString& name) override;
    bool closeHandle(FtpHandle handle) override;
    QString lastResponse() const override { return m_lastResponse; }
    quint32 lastError() const override { return m_lastError; }
    void setWaitCallback(std::function<void()> callback) override { m_wait.setCallback(std::move(callback)); }
    void setRetryObserver(std::function<void(const FtpRetryNotice&)> observer) override
    {
        m_retryObserver = std::move(observer);
    }
    void cancelRetryWait() override { m_retryCancelled = true; }
    bool waitToRetry(int attempt, const QString& reason) override;
    std::unique_ptr<FtpClient> companion() const override;
    void setNoticeObserver(std::function<void(const QString&)> observer) override
    {
        m_noticeObserver = std::move(observer);
    }

private:
    struct Connection;
    struct Listing;
    class CallGuard;

    // `fetching`: the file a getFile asks for (commands sent ahead for another are dropped first).
    Connection* connectionFor(FtpHandle handle, const QString& fetching = QString());
    FtpHandle newHandle() { return m_nextHandle++; }
    QDeadlineTimer deadline() const { return QDeadlineTimer(m_timeoutMs); }

    // Login: one try on a new control connection, and the tries a busy server calls for.
    std::unique_ptr<Connection> login(FtpHandle session, const QString& server, quint16 port, const QString& user,
                                      const QString& password);
    std::unique_ptr<Connection> loginRetried(FtpHandle session, const QString& server, quint16 port,
                                             const QString& user, const QString& password);
    // Retries: the failure just seen is one to try again, after a wait that is said and painted
    // through. False when it stands (not transient, or the run's budget is spent).
    // `cut`: a transfer stopped part-way, which counts as one of its file's tries.
    void markTransient(bool cut = false);
    void clearTransient();
    bool retryAfter(int k, int& cuts);
    // The connection of `handle`, logged in again (and back in its folder) when it was lost.
    Connection* revive(FtpHandle handle);
    bool resumable(Connection& c);

    // The control connection
    bool send(Connection& c, const QStringList& commands);
    // `ahead`: the reply to a command sent behind another, awaited only a short while (a server
    // that drops or reorders such commands is then worked with one command at a time).
    std::optional<FtpReply> nextReply(Connection& c, bool ahead = false);
    std::optional<FtpReply> aheadReply(Connection& c, const QString& verb);
    bool sendsAhead(const Connection& c) const;
    void aheadLost(Connection& c, const QString& what);
    std::optional<FtpReply> command(Connection& c, const QString& line);
    bool settle(Connection& c);
    // Commands of a next file sent at the end of a transfer that will not be used: the connection
    // goes (the server would wait for their data connection), the session's error kept.
    void dropAhead(Connection& c);
    bool simpleCommand(FtpHandle connection, const QString& verb, const QString& argument);
    bool setType(Connection& c, char type);
    // The reply to a TYPE just sent (alone or first among others): the type is current once it is
    // positive.
    bool typeReply(Connection& c, char type);
    bool startTls(Connection& c);
    bool protectData(Connection& c);

    // Data connections
    // `epsvAhead`: the EPSV was sent behind another command (its reply is awaited as such).
    std::unique_ptr<QTcpSocket> openDataConnection(Connection& c, bool epsvSent = false, bool epsvAhead = false);
    bool dataReady(Connection& c, QTcpSocket& data);
    // After a failed data connection: a final reply already owed for a command sent ahead
    // (a refusal) becomes the failure.
    void refusalSentAhead(Connection& c);
    // With `hash`, every byte received is also added to it.
    // `offset`: bytes already in `out` (a resumed transfer).
    bool receive(Connection& c, QTcpSocket& data, QFile& out, qint64 expected, const QString& remote,
                 const QString& localPath, BackgroundSha256* hash = nullptr, qint64 offset = 0);
    bool retrieveAgain(Connection& c, const QString& remote, QFile& out, qint64 offset, qint64 expected,
                       const QString& localPath, BackgroundSha256* hash);
    // The reply that ends a transfer or a listing; nothing (said) when none came or it refused.
    std::optional<FtpReply> closingReply(Connection& c);
    // At the end of a transfer's data (`whole`: every byte expected came), the next file's EPSV
    // and RETR when the caller told it and the server takes them (fetchNextAhead).
    void sendNextAhead(Connection& c, bool whole);
    // A transfer command (RETR, STOR) and its preliminary reply; false, said, when refused.
    bool startTransfer(Connection& c, const QString& line);
    bool store(Connection& c, const QString& remote, QFile& in, bool ascii);
    bool list(Connection& c, const QString& pattern, std::shared_ptr<FtpListing>& entries, const QString& folder = {});
    FtpHandle firstEntry(FtpHandle connection, const QString& pattern, const QString& folder, FtpFindData& data);
    bool send(Connection& c, QTcpSocket& data, QFile& in, bool ascii);
    bool finishAbortedTransfer(Connection& c, QTcpSocket& data, const QString& message, quint32 error);
    bool readListing(Connection& c, QTcpSocket& data, FtpListing& listing);

    void closeConnection(FtpHandle handle);
    void fail(quint32 error, const QString& message);
    void failReply(const FtpReply& reply);
    void succeed() { m_lastError = FtpErrorNone; }
    void markLost(Connection& c, quint32 error, const QString& message);
    QString seconds() const;

    int m_timeoutMs = 30000;
    FtpTlsSettings m_tls;
    SocketWait m_wait;
    QByteArray m_buffer;
    bool m_inCall = false;
    FtpHandle m_nextHandle = 1;
    std::map<FtpHandle, QString> m_sessions;
    std::map<FtpHandle, std::unique_ptr<Connection>> m_connections;
    std::map<FtpHandle, std::unique_ptr<Listing>> m_listings;
    QSet<QString> m_sweptFolders;
    std::optional<FtpExpectedContent> m_expected; // for the next getFile only
    int m_loginTries = 0;
    RetryPolicy m_retry;
    std::function<void(const FtpRetryNotice&)> m_retryObserver;
    bool m_retryCancelled = false; // the operator ended the wait: set from the wait callback
    std::function<void(const QString&)> m_noticeObserver;
    // A server lost or mixed up commands sent ahead: one at a time for the rest of the run, on
    // this session and on its companions (told once, by whichever found it).
    std::shared_ptr<std::atomic<bool>> m_oneAtATime = std::make_shared<std::atomic<bool>>(false);
    bool m_aheadLost = false; // ...during the call under way, which tries once more
    QString m_transient;      // why the last failure may be tried again; empty: it may not
    bool m_transientCut = false;
    QString m_lastResponse;
    quint32 m_lastError = FtpErrorNone;
};
