#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

// Transfer types as they travel in the flags of every get and put.
enum FtpTransferType : int {
    FtpTransferUnknown = 0, // undefined: transferred as binary
    FtpTransferAscii = 1,
    FtpTransferBinary = 2,
};

// Error codes reported by lastError(), numbered as the platform's Internet client numbers them.
enum FtpError : quint32 {
    FtpErrorNone = 0,
    FtpErrorFileExists = 80,
    FtpErrorInvalidHandle = 6,
    FtpErrorNoMoreFiles = 18,  // a listing with nothing (more) in it
    FtpErrorInvalidName = 123, // a name the client refuses to send or to write locally
    FtpErrorBusy = 170,        // a call arrived while another one was waiting on the network
    FtpErrorTimeout = 12002,
    FtpErrorExtended = 12003, // the server refused: see lastResponse()
    FtpErrorCannotConnect = 12029,
    FtpErrorConnectionAborted = 12030,
    FtpErrorLocalFile = 12031,    // a local file could not be read or written
    FtpErrorContentMismatch = 13, // a download was not what it was expected to be (size, SHA-256)
};

// A handle given out by the client: a session, a connection or a listing. 0 means "none".
using FtpHandle = quint32;

// One entry of a remote listing. The name is always there; the facts only when the server gave
// them.
struct FtpFindData {
    QString fileName;
    bool isDirectory = false;
    qint64 size = -1;   // -1: not given
    QDateTime modified; // UTC; invalid when not given
};

// What a download must turn out to be. Checked as its bytes arrive, with no second read of the
// file.
struct FtpExpectedContent {
    qint64 size = -1;  // -1: not checked
    QByteArray sha256; // the 32 bytes of its SHA-256; empty: not checked
};

// A refusal the client is about to try again: why, the whole wait before the next try, and what
// is left of it (0 once the wait is over).
struct FtpRetryNotice {
    QString reason;
    qint64 waitMs = 0;
    qint64 remainingMs = 0;
    bool starting = true; // the first notice of this wait
    bool cut = false;     // a transfer stopped part-way, not a refusal
};

// The FTP client the program talks through: a session/connection/listing handle model with a
// "last response" that holds the server's whole reply to the latest call. Every call is blocking
// and bounded by the client's timeout; no call ever hangs on a dead server.
class FtpClient {
public:
    virtual ~FtpClient() = default;

    // Opens a client session; returns its handle (never fails in practice).
    virtual FtpHandle open(const QString& agent) = 0;

    // Connects and logs in. `server` is a host name or address, optionally followed by ":port",
    // which wins over `port`. Returns a connection handle, or 0 when the connection or the login
    // failed (the last response then says why).
    virtual FtpHandle connect(FtpHandle session, const QString& server, quint16 port, const QString& user,
                              const QString& password, bool passive) = 0;

    // PWD: fills `directory` with the working directory as the server reports it.
    virtual bool currentDirectory(FtpHandle connection, QString& directory) = 0;

    // CWD to `directory` (absolute or relative to the working directory).
    virtual bool setCurrentDirectory(FtpHandle connection, const QString& directory) = 0;

    // Lists the working directory. Returns a listing handle and the first entry, or 0 when the
    // directory is empty or cannot be listed. Only one listing is open per connection at a time.
    virtual FtpHandle findFirstFile(FtpHandle connection, const QString& pattern, FtpFindData& data) = 0;

    // Lists the folder `folder` (a path, relative to the working directory or absolute) without
    // entering it, as findFirstFile does the working directory. Its facts do not stand for the
    // working directory's files. 0 from clients that cannot.
    virtual FtpHandle findFirstFileIn(FtpHandle connection, const QString& folder, FtpFindData& data)
    {
        Q_UNUSED(connection);
        Q_UNUSED(folder);
        Q_UNUSED(data);
        return 0;
    }

    // Next entry of a listing; false at its end.
    virtual bool findNextFile(FtpHandle find, FtpFindData& data) = 0;

    // Downloads `remote` to `localPath`. The file is written under a temporary name beside the
    // target and replaces it only once the transfer completed, so a failed transfer leaves any old
    // file untouched and no partial file behind.
    virtual bool getFile(FtpHandle connection, const QString& remote, const QString& localPath, bool failIfExists,
                         int transferType) = 0;

    // Sets what the next getFile must receive. A transfer that differs fails with
    // FtpErrorContentMismatch: its part file is discarded and the old file kept. Whatever its
    // outcome, that getFile clears it. False from a client that cannot check, which the caller
    // must take as a refusal.
    virtual bool expectContent(const FtpExpectedContent& content)
    {
        Q_UNUSED(content);
        return false;
    }

    // The file the next getFile on `connection` fetches (in binary, `size` bytes), told before the
    // getFile in progress: its commands may then go out as soon as this transfer's data ends,
    // before the server's closing reply, which saves a round trip a file on a long link. The next
    // getFile must be for that file; any other command first discards what went ahead (at the
    // cost of a new connection). Ignored by clients that cannot.
    virtual void fetchNextAhead(FtpHandle connection, const QString& remote, qint64 size)
    {
        Q_UNUSED(connection);
        Q_UNUSED(remote);
        Q_UNUSED(size);
    }

    // The size and modification time the server gives for `remote` (SIZE and MDTM), for servers
    // whose listings carry no facts. False when it gives neither; a fact it does not give stays
    // -1 or invalid.
    virtual bool fileFacts(FtpHandle connection, const QString& remote, qint64& size, QDateTime& modified)
    {
        Q_UNUSED(connection);
        Q_UNUSED(remote);
        size = -1;
        modified = QDateTime();
        return false;
    }

    // Uploads `localPath` as `remote` in the working directory.
    virtual bool putFile(FtpHandle connection, const QString& localPath, const QString& remote, int transferType) = 0;

    virtual bool deleteFile(FtpHandle connection, const QString& name) = 0;
    // RNFR `from`, RNTO `to`: one name replaced by another at once, on the servers that rename
    // over an existing name (the common ones do). False from clients that cannot.
    virtual bool renameFile(FtpHandle connection, const QString& from, const QString& to)
    {
        Q_UNUSED(connection);
        Q_UNUSED(from);
        Q_UNUSED(to);
        return false;
    }
    virtual bool removeDirectory(FtpHandle connection, const QString& name) = 0;
    virtual bool createDirectory(FtpHandle connection, const QString& name) = 0;

    // Closes any handle. Closing a connection ends its control session (QUIT).
    virtual bool closeHandle(FtpHandle handle) = 0;

    // The whole text of the last reply (lines joined by a lone line feed) or of the client's own
    // message when no reply came (timeout, refused or lost connection). The first three
    // characters of a server reply are its reply code.
    virtual QString lastResponse() const = 0;

    // Error code of the last failed call, 0 after a success.
    virtual quint32 lastError() const = 0;

    // Called regularly while a call waits on the network, so that the caller's window keeps
    // painting; the callback must not call into the client. Clients that never wait may ignore it.
    virtual void setWaitCallback(std::function<void()> callback) { Q_UNUSED(callback); }

    // Told when a busy server's refusal is about to be tried again, then at each second of the wait
    // and once more at its end. Must not call into the client. Clients that never retry ignore it.
    virtual void setRetryObserver(std::function<void(const FtpRetryNotice&)> observer) { Q_UNUSED(observer); }
    // At most so many tries of each login (0: as many as the retry budget allows), so that a mirror
    // that stays busy or unreachable leaves time for the next.
    virtual void setLoginTries(int tries) { Q_UNUSED(tries); }

    // Told what the client decided on its own that the log should keep (one line, French), such
    // as a server that loses commands sent ahead. Must not call into the client.
    virtual void setNoticeObserver(std::function<void(const QString&)> observer) { Q_UNUSED(observer); }

    // Waits before try `attempt` (0 for the first retry) of something refused for `reason`, as the
    // client waits before retrying a busy server: said to the retry observer, painted through,
    // ended by cancelRetryWait, drawn from the run's retry budget. False when the budget is spent
    // or the wait was ended. Clients that never retry return false.
    virtual bool waitToRetry(int attempt, const QString& reason)
    {
        Q_UNUSED(attempt);
        Q_UNUSED(reason);
        return false;
    }

    // Ends the retry wait under way (the operator gave up waiting): the refusal stands, and the
    // rest of the run tries nothing again, as when the run's retry budget is spent. May be called
    // from the wait callback.
    virtual void cancelRetryWait() {}

    // A client of its own for one more session beside this one's, set up alike (timeout,
    // encryption, the run's retry budget, what was learnt of the server's way with commands sent
    // ahead), to be used from another thread. Its logins are tried once: a server that refuses one
    // more session is not waited for. None from clients that cannot run sessions side by side.
    virtual std::unique_ptr<FtpClient> companion() const { return nullptr; }
};
