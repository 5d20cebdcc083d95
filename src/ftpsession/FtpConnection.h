#pragma once

#include "platform/FtpClient.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// What one operation of the session came to: whether it did what was asked, the server's whole
// reply (or the client's own message when no reply came) and the client's error code.
struct FtpResult {
    bool ok = false;
    QString reply;
    quint32 error = FtpErrorNone;

    // The reply code test used throughout: the first three characters of the reply.
    bool replyIs(const char* code) const { return reply.left(3) == QLatin1String(code); }
};

// The one FTP session of a run (the window's, the unattended update's, the intake's): its
// handles, its folders and mirrors, and the response log that every remote operation appends to.
// It is the only way into the session for the rest of the program. Each operation logs what the
// operator reads of it (the server's reply, as a line of its own, or the client's own message)
// and returns what it came to; callers never read a "last reply" of their own.
class FtpConnection final {
public:
    explicit FtpConnection(FtpClient& client);
    ~FtpConnection();
    FtpConnection(const FtpConnection&) = delete;
    FtpConnection& operator=(const FtpConnection&) = delete;

    // Opens a session and logs in, then asks for the working directory, which becomes the home
    // directory. Succeeds when the server answered that query with "257". Handles left by an
    // earlier connection are closed first. Logs the session's and the login's replies and, on
    // success, the "257" reply; a failure's reply is only returned (the caller says how the run
    // ended with it).
    // `server` may name mirrors separated by commas: they are tried in this station's order (see
    // setStationFolder), one log line for each move to the next, and then round after round while
    // the run's retry budget lasts; a mirror that refuses connections is tried less often than
    // one that answers busy, and a failure names what a mirror that answered said.
    FtpResult login(const QString& server, const QString& user, const QString& password);
    // The application folder whose station id orders the mirrors (none: the first mirror first).
    void setStationFolder(const QString& appDir) { m_stationFolder = appDir; }
    // After a transfer the server could not finish (unreachable, cut, busy past its retries): logs
    // in to the next mirror not yet tried and enters the target directory there. False when there
    // is none left or it fails too.
    bool moveToNextMirror();
    // The server (the mirror) logged in to.
    QString server() const { return m_mirrors.isEmpty() ? m_server : m_mirrors.at(m_mirror); }
    // `result` is a failure that another mirror may not have (unreachable, cut, busy).
    static bool serverUnavailable(const FtpResult& result);

    // Closes the connection and session handles, logging each reply.
    void disconnect();
    // Closes both handles without logging (a failed login, the end of a run).
    void closeHandles();

    // CWD to `directory`, which becomes the target directory; when the server answers 550 and
    // `otherwise` is given, CWD to that instead. Logs the last reply.
    FtpResult changeDirectory(const QString& directory, const QString& otherwise = {});
    // The folder the last changeDirectory aimed at, and the login's working directory.
    QString targetDirectory() const { return m_targetDirectory; }
    QString homeDirectory() const { return m_homeDirectory; }

    // "../" followed by every entry name of the working directory, in the server's order. A
    // listing the server refused is only in lastListing(); the client's own failures (a lost
    // connection, a listing past its bounds, a timeout) are logged.
    QStringList EnumFiles();
    // How the last EnumFiles went: ok unless the folder could not be listed (an empty folder is
    // listed), with the reason.
    const FtpResult& lastListing() const { return m_listing; }
    // With keepFacts on, EnumFiles also keeps each entry's facts (size, modification time) by name.
    void setKeepFacts(bool keep) { m_keepFacts = keep; }
    const QHash<QString, FtpFindData>& facts() const { return m_facts; }
    // The entry of the last EnumFiles is a folder (as the server's listing says).
    bool isDirectory(const QString& name) const { return m_directories.contains(name); }
    // The size and time of `name`: the last listing's facts, or else the server's SIZE and MDTM.
    FtpFindData factsOf(const QString& name);

    // Downloads `remote` in the working directory to `localPath` (see FtpClient::getFile). With
    // `expected` set, what arrives must be exactly that (FtpErrorContentMismatch otherwise, also
    // from a client that cannot check). Logs the reply.
    FtpResult getFile(const QString& remote, const QString& localPath, int transferType,
                      const FtpExpectedContent& expected = {}, bool failIfExists = false);
    // Whether an operation's reply goes to the log: the station's own bookkeeping on the server
    // (its record in the fleet's reports) says in one line of its own how it went instead.
    enum class Logged { Reply, Quietly };
    // Uploads `localPath` as `remote` in the working directory. Logs the reply.
    FtpResult putFile(const QString& localPath, const QString& remote, int transferType,
                      Logged logged = Logged::Reply);
    // Deletes `name`, or the folder of that name when the server answers 550 to the file. Logs the
    // last reply.
    FtpResult remove(const QString& name, Logged logged = Logged::Reply);
    // RNFR/RNTO: `to` replaced by `from` at once. Logs the last reply.
    FtpResult rename(const QString& from, const QString& to, Logged logged = Logged::Reply);
    // Every entry of `folder` (a path), listed without entering it, its facts included; an empty
    // folder is listed. Nothing logged: `result` says how it went.
    QList<FtpFindData> listFolder(const QString& folder, FtpResult& result);
    // Creates the folder `name`. Logs the reply.
    FtpResult createDirectory(const QString& name);

    // A download's extra sessions: the working directory by its whole path (nothing logged; empty
    // when the server does not say), and a client of their own for each, set up as this one.
    QString workingDirectory();
    std::unique_ptr<FtpClient> companion() const { return m_client.companion(); }
    QString user() const { return m_user; }
    QString password() const { return m_password; }

    // Called while the client waits on the network (see FtpClient::setWaitCallback).
    void setWaitCallback(std::function<void()> callback) { m_client.setWaitCallback(std::move(callback)); }
    // Ends the retry wait under way (the operator pressed Escape), saying so in the log.
    void cancelRetryWait();

    // The response log: its text is the appended pieces, each after a lone line feed. Only the
    // last MaxLogLines lines are kept, and a line longer than MaxLogLineLength characters is cut
    // and ends with "…", so a hostile server cannot make it grow without bound.
    static constexpr qsizetype MaxLogLines = 5000;
    static constexpr qsizetype MaxLogLineLength = 4096;
    QString log() const { return m_logLines.join(QLatin1Char('\n')); }
    void setLog(const QString& text);
    void appendLog(const QString& line);
    // Told the text of each append (lines already cut), without its leading line feed.
    std::function<void(const QString&)> onLogAppended;
    // Told what the wait panel says while the client waits to try a busy server again ("Serveur
    // occupé, nouvel essai dans 4 s…"), and an empty text once the wait is over. Each retry is
    // also one line of the log, with its reason and its wait.
    std::function<void(const QString&)> onRetryWait;
    // Told the whole new text when the log is replaced (emptied after a failed login).
    std::function<void(const QString&)> onLogReset;

private:
    static QStringList cutLines(const QString& text);
    FtpResult loginTo(const QString& server);
    FtpResult loginToMirrors();
    void sayMove(const QString& from, const QString& to, const FtpResult& why);
    // What the client's last call came to; `logged` appends its reply to the log.
    FtpResult result(bool ok, bool logged);

    QString m_stationFolder;
    QString m_server;
    QStringList m_mirrors; // in this station's order, from the login on
    qsizetype m_mirror = 0;
    QString m_user;
    QString m_password;

    FtpClient& m_client;
    FtpHandle m_session = 0;
    FtpHandle m_connection = 0;
    QString m_currentDirectory;
    QString m_homeDirectory;
    QString m_targetDirectory;
    QStringList m_logLines;
    FtpResult m_listing{true, {}, FtpErrorNone};
    bool m_keepFacts = false;
    QHash<QString, FtpFindData> m_facts;
    QSet<QString> m_directories;
};
