#pragma once

#include "platform/FtpClient.h"

#include <QString>
#include <QStringList>

#include <functional>

// The main window's one FTP connection: its handles and directories, the server's last response,
// and the response log that every remote operation appends to.
class FtpConnection final {
public:
    explicit FtpConnection(FtpClient& client);
    FtpConnection(const FtpConnection&) = delete;
    FtpConnection& operator=(const FtpConnection&) = delete;

    FtpClient& client() { return m_client; }

    // Opens a session and logs in, then asks for the working directory. Returns true when the
    // server answered the directory query with "257". Handles left by an earlier connection are
    // closed first. The login reply is appended to the log; the "257" reply is not (the caller
    // logs it once it has decided).
    bool login(const QString& server, const QString& user, const QString& password);

    // Closes the connection and session handles, logging each reply.
    void disconnect();
    // Closes both handles without logging (a failed login).
    void closeHandles();

    // CWD to `directory`; remembers it as the target directory.
    void changeDirectory(const QString& directory);

    // Reads the last response; with `voir` appends it to the log after a lone line feed.
    void ShowError(bool voir);

    // "../" followed by every entry name of the working directory, in the server's order.
    QStringList EnumFiles();

    // Last three characters test used throughout: the reply code of the last response.
    bool lastReplyIs(const char* code) const { return LastResponse.left(3) == QLatin1String(code); }

    const QString& log() const { return m_log; }
    void setLog(const QString& text);
    void appendLog(const QString& line);
    std::function<void(const QString&)> onLogChanged;

    FtpHandle InternetHandle = 0;
    FtpHandle ConnectionHandle = 0;
    QString CurrentDirectory;
    QString HomeDirectory;
    QString TargetDirectory;
    QString LastResponse;
    quint32 LastError = 0;

private:
    FtpClient& m_client;
    QString m_log;
};
