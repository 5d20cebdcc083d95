#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A real FTP server (pyftpdlib) on 127.0.0.1 and a free port, serving a temporary folder.
class FtpTestServer final {
public:
    // `extraArguments` are passed to the fixture script (faults: --cut, --stall, --no-epsv...).
    explicit FtpTestServer(const QStringList& extraArguments = {});
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    bool start();
    QString error() const { return m_error; }

    QString root() const { return m_root.path(); }
    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    static QString user() { return QStringLiteral("vorn"); }
    static QString password() { return QStringLiteral("secret"); }

    // Creates `relativePath` under the served root with `content` (folders made as needed).
    bool put(const QString& relativePath, const QByteArray& content) const;
    bool makeDir(const QString& relativePath) const;
    QByteArray read(const QString& relativePath) const;
    bool exists(const QString& relativePath) const;

private:
    QString portFile() const;
    QString onDisk(const QString& relativePath) const;
    QStringList m_arguments;
    QTemporaryDir m_root;
    QTemporaryDir m_control; // the port file: the server ends once it is removed
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
