#include "FtpTestServer.h"

#include "TestFiles.h"
#include "platform/text/WindowsNames.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

FtpTestServer::FtpTestServer(const QStringList& extraArguments)
    : m_arguments(extraArguments)
{}

FtpTestServer::~FtpTestServer()
{
    QFile::remove(portFile());
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool FtpTestServer::start()
{
    if (!m_root.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    QStringList args{QStringLiteral(VORN_FIXTURES_DIR "/ftpserver.py"),
                     QStringLiteral("--root"),
                     m_root.path(),
                     QStringLiteral("--user"),
                     user(),
                     QStringLiteral("--password"),
                     password()};
    args << m_arguments << QStringLiteral("--port-file") << portFile();
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral(VORN_SYSTEM_PYTHON), args);
    if (!m_process.waitForStarted(5000)) {
        m_error = m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        QFile file(portFile());
        if (file.open(QIODevice::ReadOnly)) {
            m_port = static_cast<quint16>(file.readAll().trimmed().toUInt());
            return m_port != 0;
        }
        m_process.waitForFinished(50);
    }
    m_error = QStringLiteral("the FTP fixture did not start: %1")
                  .arg(QString::fromLocal8Bit(m_process.readAllStandardError()));
    return false;
}

QString FtpTestServer::portFile() const
{
    return m_control.filePath(QStringLiteral("port"));
}

QString FtpTestServer::onDisk(const QString& relativePath) const
{
    // A backslash is part of a name for the server but a separator for Windows: the fixture
    // serves "%5C" on disk as a backslash.
    QString name = relativePath;
    return QDir(m_root.path()).filePath(name.replace(QLatin1Char('\\'), QLatin1String("%5C")));
}

bool FtpTestServer::put(const QString& relativePath, const QByteArray& content) const
{
    const QString path = onDisk(relativePath);
    const QFileInfo target(path);
    QDir().mkpath(target.absolutePath());
    // A name that differs only by case from one already there is a file of its own on the
    // server's disk; a Windows program would open the other one. A name Windows cannot hold
    // ("CON", "a:b", "x.") would reach a device or another file. The host's cp writes both.
    const QStringList others = QDir(target.absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
    if ((!others.contains(target.fileName()) && others.contains(target.fileName(), Qt::CaseInsensitive)) ||
        !WindowsNames::problem(target.fileName()).isEmpty()) {
        QTemporaryDir dir;
        return writeFile(dir.filePath(QStringLiteral("content")), content) &&
               runHostProgram(QStringLiteral("/bin/cp"), {dir.filePath(QStringLiteral("content")), path}) == 0;
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

bool FtpTestServer::makeDir(const QString& relativePath) const
{
    return QDir().mkpath(onDisk(relativePath));
}

QByteArray FtpTestServer::read(const QString& relativePath) const
{
    QFile f(onDisk(relativePath));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool FtpTestServer::exists(const QString& relativePath) const
{
    // The exact name: a Windows program would also find another that differs only by case.
    const QFileInfo target(onDisk(relativePath));
    return QDir(target.absolutePath())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System)
        .contains(target.fileName());
}
