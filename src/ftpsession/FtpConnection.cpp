#include "FtpConnection.h"

#include "MirrorList.h"
#include "platform/ftp/RetryPolicy.h"
#include "release/StationId.h"

FtpConnection::FtpConnection(FtpClient& client)
    : m_client(client)
{
    m_client.setRetryObserver([this](const FtpRetryNotice& notice) {
        const QString what = notice.cut ? QStringLiteral("Transfert interrompu, reprise dans %1")
                                        : QStringLiteral("Serveur occupé, nouvel essai dans %1");
        if (notice.starting)
            appendLog(what.arg(RetryPolicy::seconds(notice.waitMs)) + QStringLiteral(" : ") + notice.reason);
        if (onRetryWait)
            onRetryWait(notice.remainingMs > 0
                            ? what.arg(QStringLiteral("%1 s…").arg((notice.remainingMs + 999) / 1000))
                            : QString());
    });
    m_client.setNoticeObserver([this](const QString& notice) { appendLog(notice); });
}

FtpConnection::~FtpConnection()
{
    m_client.setNoticeObserver({});
    m_client.setRetryObserver({});
}

void FtpConnection::closeHandles()
{
    if (ConnectionHandle)
        m_client.closeHandle(ConnectionHandle);
    if (InternetHandle)
        m_client.closeHandle(InternetHandle);
    ConnectionHandle = 0;
    InternetHandle = 0;
}

bool FtpConnection::login(const QString& server, const QString& user, const QString& password)
{
    m_user = user;
    m_password = password;
    m_server = server;
    m_mirrors = MirrorList::parse(server);
    m_mirror = 0;
    if (m_mirrors.size() <= 1) {
        m_mirrors.clear();
        return loginTo(server);
    }
    if (!m_stationFolder.isEmpty()) {
        QString problem;
        m_mirrors = MirrorList::forStation(m_mirrors, StationId::get(m_stationFolder, problem));
        if (!problem.isEmpty())
            appendLog(problem);
    }
    for (;; ++m_mirror) {
        if (loginTo(m_mirrors.at(m_mirror)))
            return true;
        if (m_mirror + 1 >= m_mirrors.size())
            return false;
        sayMove(m_mirrors.at(m_mirror), m_mirrors.at(m_mirror + 1));
    }
}

void FtpConnection::sayMove(const QString& from, const QString& to)
{
    const QString why = LastResponse.trimmed().isEmpty()
                            ? QStringLiteral("pas de réponse")
                            : LastResponse.trimmed().replace(QLatin1Char('\n'), QLatin1Char(' '));
    appendLog(QStringLiteral("Miroir %1 indisponible (%2) : passage au miroir %3.").arg(from, why, to));
}

bool FtpConnection::serverUnavailable() const
{
    switch (LastError) {
    case FtpErrorTimeout:
    case FtpErrorCannotConnect:
    case FtpErrorConnectionAborted:
        return true;
    case FtpErrorExtended:
        // Busy past its retries ("421", "425", "426", "45x"); a missing file stays missing elsewhere too.
        return lastReplyIs("421") || lastReplyIs("425") || lastReplyIs("426") ||
               LastResponse.startsWith(QLatin1String("45"));
    default:
        return false;
    }
}

bool FtpConnection::moveToNextMirror()
{
    while (m_mirror + 1 < m_mirrors.size()) {
        sayMove(m_mirrors.at(m_mirror), m_mirrors.at(m_mirror + 1));
        ++m_mirror;
        const QString folder = TargetDirectory;
        if (loginTo(m_mirrors.at(m_mirror)) && changeDirectory(folder))
            return true;
        TargetDirectory = folder;
    }
    return false;
}

bool FtpConnection::loginTo(const QString& server)
{
    const QString user = m_user;
    const QString password = m_password;
    // A mirror that stays busy or out of reach is left after a few tries while others remain.
    const bool othersLeft = m_mirror + 1 < m_mirrors.size();
    m_client.setLoginTries(othersLeft ? RetryPolicy::MaxTries : 0);
    // A reconnection must not leak the handles it replaces.
    if (ConnectionHandle || InternetHandle) {
        const QString keep = LastResponse;
        closeHandles();
        LastResponse = keep;
    }
    InternetHandle = m_client.open(QStringLiteral("Transfert"));
    ShowError(true);
    ConnectionHandle = m_client.connect(InternetHandle, server, 21, user, password, true);
    ShowError(true);
    CurrentDirectory.clear();
    if (ConnectionHandle)
        m_client.currentDirectory(ConnectionHandle, CurrentDirectory);
    ShowError(false);
    m_client.setLoginTries(0);
    return lastReplyIs("257");
}

void FtpConnection::disconnect()
{
    m_client.closeHandle(ConnectionHandle);
    ShowError(true);
    m_client.closeHandle(InternetHandle);
    ShowError(true);
    ConnectionHandle = 0;
    InternetHandle = 0;
}

bool FtpConnection::changeDirectory(const QString& directory)
{
    TargetDirectory = directory;
    return m_client.setCurrentDirectory(ConnectionHandle, TargetDirectory);
}

void FtpConnection::ShowError(bool voir)
{
    LastResponse = m_client.lastResponse();
    LastError = m_client.lastError();
    if (voir)
        appendLog(LastResponse);
}

QStringList FtpConnection::EnumFiles()
{
    QStringList names{QStringLiteral("../")};
    m_facts.clear();
    m_directories.clear();
    FtpFindData data;
    const FtpHandle find = m_client.findFirstFile(ConnectionHandle, QStringLiteral("*.*"), data);
    m_listingFailed = false;
    if (!find) {
        const quint32 error = m_client.lastError();
        m_listingFailed = error != FtpErrorNone && error != FtpErrorNoMoreFiles;
        // A listing the server refused is in its reply; the client's own failures (a lost
        // connection, a listing past its bounds, a timeout) are said in the log.
        if (m_listingFailed && error != FtpErrorExtended)
            appendLog(m_client.lastResponse());
        if (m_listingFailed)
            ShowError(false);
        return names;
    }
    do {
        names << data.fileName;
        if (data.isDirectory)
            m_directories.insert(data.fileName);
        if (m_keepFacts)
            m_facts.insert(data.fileName, data);
    } while (m_client.findNextFile(find, data));
    m_client.closeHandle(find);
    return names;
}

QStringList FtpConnection::cutLines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.size() > MaxLogLineLength) {
            line.truncate(MaxLogLineLength);
            line += QChar(0x2026);
        }
    }
    return lines;
}

void FtpConnection::setLog(const QString& text)
{
    m_logLines.clear();
    if (!text.isEmpty())
        m_logLines = cutLines(text);
    if (m_logLines.size() > MaxLogLines)
        m_logLines.remove(0, m_logLines.size() - MaxLogLines);
    if (onLogReset)
        onLogReset(log());
}

void FtpConnection::appendLog(const QString& line)
{
    const QStringList added = cutLines(line);
    if (m_logLines.isEmpty())
        m_logLines.append(QString()); // the text starts with the piece's line feed
    m_logLines.append(added);
    if (m_logLines.size() > MaxLogLines)
        m_logLines.remove(0, m_logLines.size() - MaxLogLines);
    if (onLogAppended)
        onLogAppended(added.join(QLatin1Char('\n')));
}
