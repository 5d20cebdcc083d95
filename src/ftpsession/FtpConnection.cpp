#include "FtpConnection.h"

#include "MirrorList.h"
#include "platform/ftp/RetryPolicy.h"
#include "release/StationId.h"

#include <optional>

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

FtpResult FtpConnection::result(bool ok, bool logged)
{
    FtpResult r{ok, m_client.lastResponse(), m_client.lastError()};
    if (logged)
        appendLog(r.reply);
    return r;
}

void FtpConnection::closeHandles()
{
    if (m_connection)
        m_client.closeHandle(m_connection);
    if (m_session)
        m_client.closeHandle(m_session);
    m_connection = 0;
    m_session = 0;
}

FtpResult FtpConnection::login(const QString& server, const QString& user, const QString& password)
{
    m_user = user;
    m_password = password;
    m_server = server;
    m_mirrors = MirrorList::parse(server);
    m_mirror = 0;
    FtpResult r;
    if (m_mirrors.size() <= 1) {
        m_mirrors.clear();
        r = loginTo(server);
    } else {
        if (!m_stationFolder.isEmpty()) {
            QString problem;
            m_mirrors = MirrorList::forStation(m_mirrors, StationId::get(m_stationFolder, problem));
            if (!problem.isEmpty())
                appendLog(problem);
        }
        r = loginToMirrors();
    }
    if (r.ok) {
        appendLog(r.reply);
        m_homeDirectory = m_currentDirectory;
    }
    return r;
}

FtpResult FtpConnection::loginToMirrors()
{
    // Round after round over every mirror while the run's retry budget lasts, the station's own
    // first, with the client's backoff between rounds: a mirror that is only busy now may take the
    // station a moment later. One that refuses connections is tried one round in three only while
    // another answers, so it cannot spend the budget; one that refuses the login is left.
    enum class State { Untried, Busy, Unreachable, Refused };
    QList<State> states(m_mirrors.size(), State::Untried);
    FtpResult last;
    std::optional<FtpResult> answered; // the last refusal of a mirror that answered
    qsizetype from = -1;
    for (int round = 0;; ++round) {
        const bool someBusy = states.contains(State::Busy);
        bool tried = false;
        for (qsizetype i = 0; i < m_mirrors.size(); ++i) {
            if (states.at(i) == State::Refused || (states.at(i) == State::Unreachable && someBusy && round % 3 != 0))
                continue;
            if (from >= 0 && from != i && round == 0)
                sayMove(m_mirrors.at(from), m_mirrors.at(i), last);
            m_mirror = i;
            from = i;
            tried = true;
            last = loginTo(m_mirrors.at(i));
            if (last.ok)
                return last;
            const bool busy = last.error == FtpErrorExtended && RetryPolicy::transientReply(last.reply.left(3).toInt());
            const bool unreachable = last.error == FtpErrorCannotConnect || last.error == FtpErrorTimeout ||
                                     last.error == FtpErrorConnectionAborted;
            states[i] = busy ? State::Busy : unreachable ? State::Unreachable : State::Refused;
            if (busy)
                answered = last;
        }
        if (!tried || !m_client.waitToRetry(round, (answered ? *answered : last).reply))
            break;
    }
    // Out of budget: what a mirror that answered said, not the silence of one that is down.
    return answered ? *answered : last;
}

void FtpConnection::sayMove(const QString& from, const QString& to, const FtpResult& why)
{
    const QString reply = why.reply.trimmed().isEmpty()
                              ? QStringLiteral("pas de réponse")
                              : why.reply.trimmed().replace(QLatin1Char('\n'), QLatin1Char(' '));
    appendLog(QStringLiteral("Miroir %1 indisponible (%2) : passage au miroir %3.").arg(from, reply, to));
}

bool FtpConnection::serverUnavailable(const FtpResult& result)
{
    switch (result.error) {
    case FtpErrorTimeout:
    case FtpErrorCannotConnect:
    case FtpErrorConnectionAborted:
        return true;
    case FtpErrorExtended:
        // Busy past its retries ("421", "425", "426", "45x"); a missing file stays missing elsewhere too.
        return result.replyIs("421") || result.replyIs("425") || result.replyIs("426") ||
               result.reply.startsWith(QLatin1String("45"));
    default:
        return false;
    }
}

bool FtpConnection::moveToNextMirror()
{
    FtpResult why{false, m_client.lastResponse(), m_client.lastError()};
    while (m_mirror + 1 < m_mirrors.size()) {
        sayMove(m_mirrors.at(m_mirror), m_mirrors.at(m_mirror + 1), why);
        ++m_mirror;
        const QString folder = m_targetDirectory;
        why = loginTo(m_mirrors.at(m_mirror));
        if (why.ok) {
            m_targetDirectory = folder;
            if (m_client.setCurrentDirectory(m_connection, folder))
                return true;
            why = result(false, false);
        }
        m_targetDirectory = folder;
    }
    return false;
}

FtpResult FtpConnection::loginTo(const QString& server)
{
    // Among mirrors each login is tried once: the rounds over the mirrors do the waiting.
    m_client.setLoginTries(m_mirrors.size() > 1 ? 1 : 0);
    // A reconnection must not leak the handles it replaces.
    closeHandles();
    m_session = m_client.open(QStringLiteral("Transfert"));
    result(m_session != 0, true);
    m_connection = m_client.connect(m_session, server, 21, m_user, m_password, true);
    result(m_connection != 0, true);
    m_currentDirectory.clear();
    if (m_connection)
        m_client.currentDirectory(m_connection, m_currentDirectory);
    FtpResult r = result(false, false);
    r.ok = r.replyIs("257");
    m_client.setLoginTries(0);
    return r;
}

void FtpConnection::disconnect()
{
    m_client.closeHandle(m_connection);
    result(true, true);
    m_client.closeHandle(m_session);
    result(true, true);
    m_connection = 0;
    m_session = 0;
}

FtpResult FtpConnection::changeDirectory(const QString& directory, const QString& otherwise)
{
    m_targetDirectory = directory;
    FtpResult r = result(m_client.setCurrentDirectory(m_connection, directory), false);
    if (!otherwise.isEmpty() && r.replyIs("550")) {
        m_targetDirectory = otherwise;
        r = result(m_client.setCurrentDirectory(m_connection, otherwise), false);
    }
    appendLog(r.reply);
    return r;
}

QString FtpConnection::workingDirectory()
{
    QString directory;
    if (!m_client.currentDirectory(m_connection, directory))
        return {};
    return directory;
}

void FtpConnection::cancelRetryWait()
{
    m_client.cancelRetryWait();
}

QStringList FtpConnection::EnumFiles()
{
    QStringList names{QStringLiteral("../")};
    m_facts.clear();
    m_directories.clear();
    FtpFindData data;
    const FtpHandle find = m_client.findFirstFile(m_connection, QStringLiteral("*.*"), data);
    m_listing = FtpResult{true, m_client.lastResponse(), m_client.lastError()};
    if (!find) {
        m_listing.ok = m_listing.error == FtpErrorNone || m_listing.error == FtpErrorNoMoreFiles;
        // A listing the server refused is in its reply; the client's own failures are said here.
        if (!m_listing.ok && m_listing.error != FtpErrorExtended)
            appendLog(m_listing.reply);
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

FtpFindData FtpConnection::factsOf(const QString& name)
{
    const auto known = m_facts.constFind(name);
    if (known != m_facts.constEnd() && known->size >= 0 && known->modified.isValid())
        return *known;
    // A listing without facts: the server is asked for this one.
    FtpFindData facts;
    facts.fileName = name;
    m_client.fileFacts(m_connection, name, facts.size, facts.modified);
    return facts;
}

FtpResult FtpConnection::getFile(const QString& remote, const QString& localPath, int transferType,
                                 const FtpExpectedContent& expected, bool failIfExists)
{
    if ((expected.size >= 0 || !expected.sha256.isEmpty()) && !m_client.expectContent(expected))
        return FtpResult{false, QStringLiteral("Le contenu de %1 ne peut pas être vérifié.").arg(remote),
                         FtpErrorContentMismatch};
    return result(m_client.getFile(m_connection, remote, localPath, failIfExists, transferType), true);
}

FtpResult FtpConnection::putFile(const QString& localPath, const QString& remote, int transferType, Logged logged)
{
    return result(m_client.putFile(m_connection, localPath, remote, transferType), logged == Logged::Reply);
}

FtpResult FtpConnection::remove(const QString& name, Logged logged)
{
    FtpResult r = result(m_client.deleteFile(m_connection, name), false);
    if (r.replyIs("550"))
        r = result(m_client.removeDirectory(m_connection, name), false);
    if (logged == Logged::Reply)
        appendLog(r.reply);
    return r;
}

FtpResult FtpConnection::rename(const QString& from, const QString& to, Logged logged)
{
    return result(m_client.renameFile(m_connection, from, to), logged == Logged::Reply);
}

QList<FtpFindData> FtpConnection::listFolder(const QString& folder, FtpResult& r)
{
    QList<FtpFindData> entries;
    FtpFindData data;
    const FtpHandle find = m_client.findFirstFileIn(m_connection, folder, data);
    r = FtpResult{find != 0, m_client.lastResponse(), m_client.lastError()};
    if (!find) {
        r.ok = r.error == FtpErrorNoMoreFiles;
        return entries;
    }
    do
        entries << data;
    while (m_client.findNextFile(find, data));
    m_client.closeHandle(find);
    return entries;
}

FtpResult FtpConnection::createDirectory(const QString& name)
{
    return result(m_client.createDirectory(m_connection, name), true);
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
