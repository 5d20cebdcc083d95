#include "TestCertificates.h"

#include <QFile>
#include <QProcess>

bool TestCertificates::run(const QStringList& arguments)
{
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1: %2")
                      .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(openssl.readAllStandardError()));
        return false;
    }
    return true;
}

bool TestCertificates::makeAuthority(const QString& name)
{
    return run({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                QStringLiteral("-keyout"), key(name), QStringLiteral("-out"), certificate(name),
                QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                QStringLiteral("/CN=VORN test authority %1").arg(name), QStringLiteral("-addext"),
                QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

bool TestCertificates::issue(const QString& name, const QString& ca, const QString& subjectAltNames)
{
    const QString request = m_dir.filePath(name + QStringLiteral(".csr"));
    const QString extensions = m_dir.filePath(name + QStringLiteral(".ext"));
    QFile ext(extensions);
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write(QStringLiteral("subjectAltName=%1\nextendedKeyUsage=serverAuth\n").arg(subjectAltNames).toUtf8());
    ext.close();
    return run({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                key(name), QStringLiteral("-out"), request, QStringLiteral("-subj"),
                QStringLiteral("/CN=%1").arg(name)}) &&
           run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), request, QStringLiteral("-CA"),
                certificate(ca), QStringLiteral("-CAkey"), key(ca), QStringLiteral("-CAcreateserial"),
                QStringLiteral("-out"), certificate(name), QStringLiteral("-days"), QStringLiteral("2"),
                QStringLiteral("-extfile"), extensions});
}

bool TestCertificates::create()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    return makeAuthority(QStringLiteral("ca")) && makeAuthority(QStringLiteral("other-ca")) &&
           issue(QStringLiteral("server"), QStringLiteral("ca"), QStringLiteral("IP:127.0.0.1,DNS:localhost"));
}
