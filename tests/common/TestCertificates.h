#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A throw-away certificate authority and server certificates, made with the openssl tool in a
// temporary folder for one test run. Nothing of it is ever committed.
class TestCertificates final {
public:
    TestCertificates() = default;
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    // Makes the authority "ca" and "other-ca", and the server certificate "server" signed by "ca"
    // for 127.0.0.1 and localhost. False and error() when openssl failed.
    bool create();
    // A server certificate named `name`, signed by authority `ca`, for `subjectAltNames`
    // (e.g. "IP:127.0.0.1,DNS:localhost").
    bool issue(const QString& name, const QString& ca, const QString& subjectAltNames);

    QString certificate(const QString& name) const { return m_dir.filePath(name + QStringLiteral(".pem")); }
    QString key(const QString& name) const { return m_dir.filePath(name + QStringLiteral(".key")); }
    QString error() const { return m_error; }

private:
    bool run(const QStringList& arguments);
    bool makeAuthority(const QString& name);

    QTemporaryDir m_dir;
    QString m_error;
};
