#pragma once

#include "FtpClient.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>

#include <map>
#include <memory>
#include <optional>

class QTcpSocket;
class QFile;

// FTP over Qt's TCP sockets (RFC 959 with EPSV, falling back to PASV). Blocking calls on the
// caller's thread, each wait bounded by the timeout. Data connections always go to the host of the
// control connection: the address inside a PASV reply is ignored.
class QtFtpClient final : public FtpClient {
public:
    explicit QtFtpClient(int timeoutMs = 30000);
    ~QtFtpClient() override;
    QtFtpClient(const QtFtpClient&) = delete;
    QtFtpClient& operator=(const QtFtpClient&) = delete;

    void setTimeout(int timeoutMs) { m_timeoutMs = timeoutMs; }
    int timeout() const { return m_timeoutMs; }

    FtpHandle open(const QString& agent) override;
    FtpHandle connect(FtpHandle session, const QString& server, quint16 port, const QString& user,
                      const QString& password, bool passive) override;
    bool currentDirectory(FtpHandle connection, QString& directory) override;
    bool setCurrentDirectory(FtpHandle connection, const QString& directory) override;
    FtpHandle findFirstFile(FtpHandle connection, const QString& pattern, FtpFindData& data) override;
    bool findNextFile(FtpHandle find, FtpFindData& data) override;
    bool getFile(FtpHandle connection, const QString& remote, const QString& localPath, bool failIfExists,
                 int transferType) override;
    bool putFile(FtpHandle connection, const QString& localPath, const QString& remote, int transferType) override;
    bool deleteFile(FtpHandle connection, const QString& name) override;
    bool removeDirectory(FtpHandle connection, const QString& name) override;
    bool createDirectory(FtpHandle connection, const QString& name) override;
    bool closeHandle(FtpHandle handle) override;
    QString lastResponse() const override { return m_lastResponse; }
    quint32 lastError() const override { return m_lastError; }

private:
    struct Reply {
        int code = 0;
        QString text;
    };
    struct Connection;
    struct Listing {
        FtpHandle connection = 0;
        QList<FtpFindData> entries;
        qsizetype next = 0;
    };

    Connection* connectionFor(FtpHandle handle);
    FtpHandle newHandle() { return m_nextHandle++; }

    std::optional<Reply> readReply(Connection& c);
    std::optional<Reply> command(Connection& c, const QString& line);
    bool sendLine(Connection& c, const QString& line);
    bool simpleCommand(FtpHandle connection, const QString& verb, const QString& argument, int expectedClass);
    bool setType(Connection& c, char type);
    std::unique_ptr<QTcpSocket> openDataConnection(Connection& c, bool epsvSent = false);
    bool receive(Connection& c, QTcpSocket& data, QFile& out, bool ascii, qint64& received);
    bool send(Connection& c, QTcpSocket& data, QFile& in, bool ascii);
    bool waitReadable(QTcpSocket& socket, bool& closed);
    void closeConnection(FtpHandle handle);
    void fail(quint32 error, const QString& message);
    void failReply(const Reply& reply);
    void succeed() { m_lastError = FtpErrorNone; }
    void markLost(Connection& c, quint32 error, const QString& message);

    int m_timeoutMs;
    FtpHandle m_nextHandle = 1;
    std::map<FtpHandle, QString> m_sessions;
    std::map<FtpHandle, std::unique_ptr<Connection>> m_connections;
    std::map<FtpHandle, Listing> m_listings;
    QString m_lastResponse;
    quint32 m_lastError = FtpErrorNone;
};
