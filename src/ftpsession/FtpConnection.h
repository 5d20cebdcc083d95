#pragma once

#include "platform/FtpClient.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// The main window's one FTP connection: its handles and directories, the server's last response,
// and the response log that every remote operation appends to.
class FtpConnection final {
public:
    explicit FtpConnection(FtpClient& client);
    ~FtpConnection();
    FtpConnection(const FtpConnection&) = delete;
    FtpConnection& operator=(const FtpConnection&) = delete;

    FtpClient& client() { return m_client; }

    // Opens a session and logs in, then asks for the working directory. Returns true when the
    // server answered the directory query with "257". Handles left by an earlier connection are
    // closed first. The login reply is appended to the log; the "257" reply is not (the caller
    // logs it once it has decided).
    // `server` may name mirrors separated by commas: they are tried in this station's order (see
    // setStationFolder), one log line for each move to the next.
    bool login(const QString& server, const QString& user, const QString& password);
    // The application folder whose station id orders the mirrors (none: the first mirror first).
    void setStationFolder(const QString& appDir) { m_stationFolder = appDir; }
    // After a transfer the server could not finish (unreachable, cut, busy past its retries): logs
    // in to the next mirror not yet tried and enters TargetDirectory there. False when there is
    // none left or it fails too.
    bool moveToNextMirror();
    // The server (the mirror) logged in to, and with whom: what a download's extra sessions use.
    QString server() const { return m_mirrors.isEmpty() ? m_server : m_mirrors.at(m_mirror); }
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    // The last failure is one that another mirror may not have.
    bool serverUnavailable() const;

    // Closes the connection and session handles, logging each reply.
    void disconnect();
    // Closes both handles without logging (a failed login).
    void closeHandles();

    // CWD to `directory`; remembers it as the target directory. False when the server refused.
    bool changeDirectory(const QString& directory);

    // Reads the last response; with `voir` appends it to the log after a lone line feed.
    void ShowError(bool voir);

    // "../" followed by every entry name of the working directory, in the server's order.
    QStringList EnumFiles();
    // With keepFacts on, EnumFiles also keeps each entry's facts (size, modification time) by name.
    void setKeepFacts(bool keep) { m_keepFacts = keep; }
    const QHash<QString, FtpFindData>& facts() const { return m_facts; }

    // The entry of the last EnumFiles is a folder (as the server's listing says).
    bool isDirectory(const QString& name) const { return m_directories.contains(name); }

    // The last EnumFiles could not list the folder (not merely found it empty); LastResponse then
    // says why.
    bool listingFailed() const { return m_listingFailed; }

    // Last three characters test used throughout: the reply code of the last response.
    bool lastReplyIs(const char* code) const { return LastResponse.left(3) == QLatin1String(code); }

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

    FtpHandle InternetHandle = 0;
    FtpHandle ConnectionHandle = 0;
    QString CurrentDirectory;
    QString HomeDirectory;
    QString TargetDirectory;
    QString LastResponse;
    quint32 LastError = 0;

private:
    static QStringList cutLines(const QString& text);
    bool loginTo(const QString& server);
    void sayMove(const QString& from, const QString& to);

    QString m_stationFolder;
    QString m_server;
    QStringList m_mirrors; // in this station's order, from the login on
    qsizetype m_mirror = 0;
    QString m_user;
    QString m_password;

    FtpClient& m_client;
    QStringList m_logLines;
    bool m_listingFailed = false;
    bool m_keepFacts = false;
    QHash<QString, FtpFindData> m_facts;
    QSet<QString> m_directories;
};
