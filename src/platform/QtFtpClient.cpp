#include "QtFtpClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>

#include <cctype>
#include <filesystem>
#include <system_error>

namespace {

constexpr qint64 ChunkSize = 1 << 20;
constexpr int QuitWaitMs = 2000;

QString describeSocketError(const QTcpSocket& socket)
{
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("connexion refusée");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("connexion fermée par le serveur");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("serveur introuvable");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("délai d'attente dépassé");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("erreur réseau");
    default:
        return socket.errorString();
    }
}

// "host", "host:port", "[v6]" or "[v6]:port".
void splitServer(const QString& server, quint16 defaultPort, QString& host, quint16& port)
{
    host = server.trimmed();
    port = defaultPort;
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        if (close > 0) {
            const QString rest = host.mid(close + 1);
            if (rest.startsWith(QLatin1Char(':'))) {
                bool ok = false;
                const uint p = rest.mid(1).toUInt(&ok);
                if (ok && p > 0 && p < 65536)
                    port = static_cast<quint16>(p);
            }
            host = host.mid(1, close - 1);
        }
        return;
    }
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon > 0 && host.indexOf(QLatin1Char(':')) == colon) {
        bool ok = false;
        const uint p = host.mid(colon + 1).toUInt(&ok);
        if (ok && p > 0 && p < 65536) {
            port = static_cast<quint16>(p);
            host = host.left(colon);
        }
    }
}

// A temporary file beside `target`, created with the usual permissions (not 0600), so that the
// replaced file keeps a normal mode.
std::unique_ptr<QFile> createTemporaryBeside(const QString& target)
{
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') +
                             QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".part");
        auto file = std::make_unique<QFile>(name);
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return file;
        if (file->error() != QFileDevice::OpenError || QFileInfo::exists(name) == false)
            return file; // not a name clash: report the real error
    }
    return nullptr;
}

// The complete new file replaces the old one in one rename. No flush per file: the file systems
// the stations use (ext4, XFS, btrfs; NTFS) commit a file's data before a rename that replaces
// another file, so a power cut leaves either the whole old file or the whole new one.
bool replaceFile(const QString& from, const QString& to, QString& error)
{
    std::error_code ec;
    const std::filesystem::path src(from.toStdString());
    const std::filesystem::path dst(to.toStdString());
    if (std::filesystem::exists(dst, ec)) {
        const auto perms = std::filesystem::status(dst, ec).permissions();
        if (!ec)
            std::filesystem::permissions(src, perms, ec);
    }
    std::filesystem::rename(src, dst, ec);
    if (ec) {
        error = QString::fromStdString(ec.message());
        return false;
    }
    return true;
}

// Reply lines joined by a lone line feed, without the final line end.
QString joinReply(const QList<QByteArray>& lines)
{
    QStringList out;
    for (const QByteArray& l : lines)
        out << QString::fromUtf8(l);
    return out.join(QLatin1Char('\n'));
}

bool wildcardMatches(const QString& pattern, const QString& name)
{
    if (pattern.isEmpty() || pattern == QLatin1String("*.*") || pattern == QLatin1String("*"))
        return true;
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern),
                                QRegularExpression::CaseInsensitiveOption);
    return re.match(name).hasMatch();
}

} // namespace

struct QtFtpClient::Connection {
    FtpHandle session = 0;
    std::unique_ptr<QTcpSocket> control;
    QString host;
    quint16 port = 21;
    char type = 0;          // current TYPE, 0 until set
    bool noEpsv = false;    // the server refused EPSV once: use PASV from then on
    bool epsvWorks = false; // an EPSV reply was understood: RETR may follow it unanswered
    bool noMlsd = false;
    bool lost = false;
};

QtFtpClient::QtFtpClient(int timeoutMs)
    : m_timeoutMs(timeoutMs)
{}

QtFtpClient::~QtFtpClient()
{
    std::vector<FtpHandle> open;
    for (const auto& [h, c] : m_connections)
        open.push_back(h);
    for (FtpHandle h : open)
        closeConnection(h);
}

void QtFtpClient::fail(quint32 error, const QString& message)
{
    m_lastError = error;
    if (!message.isEmpty())
        m_lastResponse = message;
}

void QtFtpClient::failReply(const Reply& reply)
{
    m_lastError = FtpErrorExtended;
    m_lastResponse = reply.text;
}

void QtFtpClient::markLost(Connection& c, quint32 error, const QString& message)
{
    c.lost = true;
    if (c.control)
        c.control->abort();
    fail(error, message);
}

QtFtpClient::Connection* QtFtpClient::connectionFor(FtpHandle handle)
{
    const auto it = m_connections.find(handle);
    if (it == m_connections.end()) {
        fail(FtpErrorInvalidHandle, QString());
        return nullptr;
    }
    if (it->second->lost) {
        fail(FtpErrorConnectionAborted,
             QStringLiteral("La connexion avec le serveur %1 est perdue.").arg(it->second->host));
        return nullptr;
    }
    return it->second.get();
}

FtpHandle QtFtpClient::open(const QString& agent)
{
    const FtpHandle h = newHandle();
    m_sessions[h] = agent;
    succeed();
    return h;
}

std::optional<QtFtpClient::Reply> QtFtpClient::readReply(Connection& c)
{
    QTcpSocket& s = *c.control;
    QList<QByteArray> lines;
    QByteArray code;
    for (;;) {
        while (!s.canReadLine()) {
            if (s.state() != QAbstractSocket::ConnectedState && s.bytesAvailable() == 0) {
                markLost(c, FtpErrorConnectionAborted,
                         QStringLiteral("La connexion avec le serveur %1 a été interrompue.").arg(c.host));
                return std::nullopt;
            }
            if (!s.waitForReadyRead(m_timeoutMs)) {
                if (s.error() == QAbstractSocket::SocketTimeoutError) {
                    markLost(c, FtpErrorTimeout,
                             QStringLiteral("Le serveur %1 ne répond plus (délai de %2 s dépassé).")
                                 .arg(c.host)
                                 .arg(m_timeoutMs / 1000.0));
                    return std::nullopt;
                }
                if (!s.canReadLine() && s.bytesAvailable() == 0) {
                    markLost(c, FtpErrorConnectionAborted,
                             QStringLiteral("La connexion avec le serveur %1 a été interrompue (%2).")
                                 .arg(c.host, describeSocketError(s)));
                    return std::nullopt;
                }
                if (!s.canReadLine()) {
                    markLost(c, FtpErrorConnectionAborted,
                             QStringLiteral("Réponse incomplète du serveur %1.").arg(c.host));
                    return std::nullopt;
                }
            }
        }
        QByteArray line = s.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        lines << line;
        if (code.isEmpty()) {
            if (line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[0])) ||
                !std::isdigit(static_cast<unsigned char>(line[1])) ||
                !std::isdigit(static_cast<unsigned char>(line[2]))) {
                markLost(c, FtpErrorConnectionAborted,
                         QStringLiteral("Réponse invalide du serveur %1 : %2").arg(c.host, QString::fromUtf8(line)));
                return std::nullopt;
            }
            code = line.left(3);
            if (line.size() == 3 || line[3] != '-')
                break;
        } else if (line.size() >= 4 && line.startsWith(code) && line[3] == ' ') {
            break;
        } else if (line.size() == 3 && line == code) {
            break;
        }
    }
    Reply r;
    r.code = code.toInt();
    r.text = joinReply(lines);
    m_lastResponse = r.text;
    return r;
}

std::optional<QtFtpClient::Reply> QtFtpClient::command(Connection& c, const QString& line)
{
    if (!sendLine(c, line))
        return std::nullopt;
    return readReply(c);
}

bool QtFtpClient::sendLine(Connection& c, const QString& line)
{
    QByteArray bytes = line.toUtf8();
    bytes.replace('\r', QByteArray()).replace('\n', QByteArray()); // one command per line, always
    bytes += "\r\n";
    c.control->write(bytes);
    while (c.control->bytesToWrite() > 0) {
        if (!c.control->waitForBytesWritten(m_timeoutMs)) {
            markLost(c,
                     c.control->error() == QAbstractSocket::SocketTimeoutError ? FtpErrorTimeout
                                                                               : FtpErrorConnectionAborted,
                     QStringLiteral("La connexion avec le serveur %1 a été interrompue (%2).")
                         .arg(c.host, describeSocketError(*c.control)));
            return false;
        }
    }
    return true;
}

FtpHandle QtFtpClient::connect(FtpHandle session, const QString& server, quint16 port, const QString& user,
                               const QString& password, bool /*passive: the client always works in passive mode*/)
{
    if (m_sessions.find(session) == m_sessions.end()) {
        fail(FtpErrorInvalidHandle, QString());
        return 0;
    }
    auto c = std::make_unique<Connection>();
    c->session = session;
    splitServer(server, port, c->host, c->port);
    c->control = std::make_unique<QTcpSocket>();
    c->control->connectToHost(c->host, c->port);
    if (!c->control->waitForConnected(m_timeoutMs)) {
        const bool timedOut = c->control->error() == QAbstractSocket::SocketTimeoutError;
        fail(timedOut ? FtpErrorTimeout : FtpErrorCannotConnect,
             QStringLiteral("Connexion impossible au serveur %1:%2 (%3).")
                 .arg(c->host)
                 .arg(c->port)
                 .arg(timedOut ? QStringLiteral("délai d'attente dépassé") : describeSocketError(*c->control)));
        return 0;
    }
    auto reply = readReply(*c);
    if (!reply)
        return 0;
    if (reply->code != 220) {
        failReply(*reply);
        return 0;
    }
    reply = command(*c, QStringLiteral("USER ") + user);
    if (!reply)
        return 0;
    if (reply->code == 331 || reply->code == 332) {
        reply = command(*c, QStringLiteral("PASS ") + password);
        if (!reply)
            return 0;
    }
    if (reply->code != 230 && reply->code != 202) {
        failReply(*reply);
        c->control->abort();
        return 0;
    }
    const FtpHandle h = newHandle();
    m_connections[h] = std::move(c);
    succeed();
    return h;
}

bool QtFtpClient::currentDirectory(FtpHandle connection, QString& directory)
{
    Connection* c = connectionFor(connection);
    if (!c)
        return false;
    const auto reply = command(*c, QStringLiteral("PWD"));
    if (!reply)
        return false;
    if (reply->code != 257) {
        failReply(*reply);
        return false;
    }
    // 257 "dir" comment; a doubled quote inside stands for one quote.
    const QString text = reply->text.section(QLatin1Char('\n'), 0, 0).mid(4);
    const qsizetype open = text.indexOf(QLatin1Char('"'));
    if (open < 0) {
        directory = text.section(QLatin1Char(' '), 0, 0);
    } else {
        QString dir;
        for (qsizetype i = open + 1; i < text.size(); ++i) {
            if (text[i] == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    dir += QLatin1Char('"');
                    ++i;
                    continue;
                }
                break;
            }
            dir += text[i];
        }
        directory = dir;
    }
    succeed();
    return true;
}

bool QtFtpClient::simpleCommand(FtpHandle connection, const QString& verb, const QString& argument, int expectedClass)
{
    Connection* c = connectionFor(connection);
    if (!c)
        return false;
    const auto reply = command(*c, verb + QLatin1Char(' ') + argument);
    if (!reply)
        return false;
    if (reply->code / 100 != expectedClass) {
        failReply(*reply);
        return false;
    }
    succeed();
    return true;
}

bool QtFtpClient::setCurrentDirectory(FtpHandle connection, const QString& directory)
{
    return simpleCommand(connection, QStringLiteral("CWD"), directory, 2);
}

bool QtFtpClient::deleteFile(FtpHandle connection, const QString& name)
{
    return simpleCommand(connection, QStringLiteral("DELE"), name, 2);
}

bool QtFtpClient::removeDirectory(FtpHandle connection, const QString& name)
{
    return simpleCommand(connection, QStringLiteral("RMD"), name, 2);
}

bool QtFtpClient::createDirectory(FtpHandle connection, const QString& name)
{
    return simpleCommand(connection, QStringLiteral("MKD"), name, 2);
}

bool QtFtpClient::setType(Connection& c, char type)
{
    if (c.type == type)
        return true;
    const auto reply = command(c, QStringLiteral("TYPE ") + QLatin1Char(type));
    if (!reply)
        return false;
    if (reply->code / 100 != 2) {
        failReply(*reply);
        return false;
    }
    c.type = type;
    return true;
}

std::unique_ptr<QTcpSocket> QtFtpClient::openDataConnection(Connection& c, bool epsvSent)
{
    int dataPort = -1;
    if (!c.noEpsv) {
        const auto reply = epsvSent ? readReply(c) : command(c, QStringLiteral("EPSV"));
        if (!reply)
            return nullptr;
        if (reply->code == 229) {
            static const QRegularExpression re(QStringLiteral("\\((.)\\1\\1(\\d+)\\1\\)"));
            const auto m = re.match(reply->text);
            if (m.hasMatch())
                dataPort = m.captured(2).toInt();
            c.epsvWorks = dataPort > 0;
        } else {
            c.noEpsv = true;
        }
    }
    if (dataPort <= 0) {
        const auto reply = command(c, QStringLiteral("PASV"));
        if (!reply)
            return nullptr;
        if (reply->code != 227) {
            failReply(*reply);
            return nullptr;
        }
        static const QRegularExpression re(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
        const auto m = re.match(reply->text);
        if (!m.hasMatch()) {
            failReply(*reply);
            return nullptr;
        }
        // Only the port is taken: the data connection goes to the host we are already talking to.
        dataPort = m.captured(5).toInt() * 256 + m.captured(6).toInt();
    }
    if (dataPort <= 0 || dataPort > 65535) {
        fail(FtpErrorExtended, QStringLiteral("Port de données invalide annoncé par le serveur %1.").arg(c.host));
        return nullptr;
    }
    auto data = std::make_unique<QTcpSocket>();
    data->connectToHost(c.control->peerAddress(), static_cast<quint16>(dataPort));
    if (!data->waitForConnected(m_timeoutMs)) {
        fail(data->error() == QAbstractSocket::SocketTimeoutError ? FtpErrorTimeout : FtpErrorCannotConnect,
             QStringLiteral("Connexion de données impossible avec le serveur %1 (%2).")
                 .arg(c.host, describeSocketError(*data)));
        return nullptr;
    }
    return data;
}

bool QtFtpClient::waitReadable(QTcpSocket& socket, bool& closed)
{
    closed = false;
    if (socket.bytesAvailable() > 0)
        return true;
    if (socket.state() != QAbstractSocket::ConnectedState) {
        closed = true;
        return true;
    }
    if (socket.waitForReadyRead(m_timeoutMs))
        return true;
    if (socket.error() == QAbstractSocket::SocketTimeoutError)
        return false;
    closed = true; // remote end closed the data connection: end of data
    return true;
}

bool QtFtpClient::receive(Connection& c, QTcpSocket& data, QFile& out, bool ascii, qint64& received)
{
    Q_UNUSED(ascii);
    QByteArray buffer(ChunkSize, Qt::Uninitialized);
    received = 0;
    for (;;) {
        bool closed = false;
        if (!waitReadable(data, closed)) {
            markLost(c, FtpErrorTimeout,
                     QStringLiteral("Le serveur %1 n'envoie plus de données (délai de %2 s dépassé).")
                         .arg(c.host)
                         .arg(m_timeoutMs / 1000.0));
            return false;
        }
        const qint64 n = data.read(buffer.data(), buffer.size());
        if (n > 0) {
            if (out.write(buffer.constData(), n) != n) {
                fail(FtpErrorLocalFile, QStringLiteral("Impossible d'écrire le fichier local %1 (%2).")
                                            .arg(QDir::toNativeSeparators(out.fileName()), out.errorString()));
                return false;
            }
            received += n;
            continue;
        }
        if (closed || n < 0)
            return true;
    }
}

bool QtFtpClient::send(Connection& c, QTcpSocket& data, QFile& in, bool ascii)
{
    bool previousCr = false;
    for (;;) {
        QByteArray chunk = in.read(ChunkSize);
        if (chunk.isEmpty()) {
            if (in.error() != QFileDevice::NoError) {
                fail(FtpErrorLocalFile, QStringLiteral("Impossible de lire le fichier local %1 (%2).")
                                            .arg(QDir::toNativeSeparators(in.fileName()), in.errorString()));
                return false;
            }
            break;
        }
        if (ascii) {
            // Network text: every line ends with CR LF.
            QByteArray converted;
            converted.reserve(chunk.size() + chunk.size() / 16);
            for (char ch : std::as_const(chunk)) {
                if (ch == '\n' && !previousCr)
                    converted += '\r';
                converted += ch;
                previousCr = ch == '\r';
            }
            chunk = std::move(converted);
        }
        data.write(chunk);
        while (data.bytesToWrite() > ChunkSize) {
            if (!data.waitForBytesWritten(m_timeoutMs)) {
                markLost(c,
                         data.error() == QAbstractSocket::SocketTimeoutError ? FtpErrorTimeout
                                                                             : FtpErrorConnectionAborted,
                         QStringLiteral("L'envoi vers le serveur %1 a été interrompu (%2).")
                             .arg(c.host, describeSocketError(data)));
                return false;
            }
        }
    }
    while (data.bytesToWrite() > 0) {
        if (!data.waitForBytesWritten(m_timeoutMs)) {
            markLost(c, FtpErrorConnectionAborted,
                     QStringLiteral("L'envoi vers le serveur %1 a été interrompu (%2).")
                         .arg(c.host, describeSocketError(data)));
            return false;
        }
    }
    data.disconnectFromHost();
    if (data.state() != QAbstractSocket::UnconnectedState)
        data.waitForDisconnected(m_timeoutMs);
    return true;
}

bool QtFtpClient::getFile(FtpHandle connection, const QString& remote, const QString& localPath, bool failIfExists,
                          int transferType)
{
    Connection* c = connectionFor(connection);
    if (!c)
        return false;
    if (failIfExists && QFileInfo::exists(localPath)) {
        fail(FtpErrorFileExists, QString());
        return false;
    }
    const bool ascii = transferType == FtpTransferAscii;
    if (!setType(*c, ascii ? 'A' : 'I'))
        return false;

    // SIZE, EPSV and RETR go out together once the server has shown that it answers EPSV: small
    // files then cost one round trip of commands instead of three.
    qint64 expected = -1;
    bool epsvSent = false;
    bool retrSent = false;
    if (!ascii) {
        if (!sendLine(*c, QStringLiteral("SIZE ") + remote))
            return false;
        epsvSent = !c->noEpsv && sendLine(*c, QStringLiteral("EPSV"));
        retrSent = epsvSent && c->epsvWorks && sendLine(*c, QStringLiteral("RETR ") + remote);
        const auto reply = readReply(*c);
        if (!reply)
            return false;
        if (reply->code == 213)
            expected = reply->text.mid(4).trimmed().toLongLong();
    }

    std::unique_ptr<QTcpSocket> data = openDataConnection(*c, epsvSent);
    if (!data) {
        if (retrSent) {
            // The transfer asked for cannot be served: the session's state is no longer known.
            const QString why = m_lastResponse;
            markLost(*c, m_lastError == FtpErrorNone ? FtpErrorConnectionAborted : m_lastError, why);
        }
        return false;
    }
    const auto start = retrSent ? readReply(*c) : command(*c, QStringLiteral("RETR ") + remote);
    if (!start)
        return false;
    if (start->code != 125 && start->code != 150) {
        failReply(*start);
        return false;
    }

    // The local file is only created once the server sends data.
    const QFileInfo target(localPath);
    const QString targetName = target.fileName();
    std::unique_ptr<QFile> temp;
    if (!targetName.isEmpty() && targetName != QLatin1String(".") && targetName != QLatin1String("..") &&
        !target.isDir())
        temp = createTemporaryBeside(localPath);
    if (!temp || !temp->isOpen()) {
        const QString why = temp ? temp->errorString() : QStringLiteral("ce n'est pas un nom de fichier");
        data->abort();
        const auto answer = readReply(*c); // the server ends the aborted transfer
        fail(FtpErrorLocalFile, (answer ? answer->text + QLatin1Char('\n') : QString()) +
                                    QStringLiteral("Impossible de créer le fichier local %1 (%2).")
                                        .arg(QDir::toNativeSeparators(localPath), why));
        return false;
    }
    auto discard = [&temp] {
        temp->close();
        temp->remove();
    };

    qint64 received = 0;
    const bool dataOk = receive(*c, *data, *temp, ascii, received);
    data->abort();
    if (!dataOk) {
        discard();
        return false;
    }
    const auto done = readReply(*c);
    if (!done) {
        discard();
        return false;
    }
    if (done->code / 100 != 2) {
        failReply(*done);
        discard();
        return false;
    }
    if (expected >= 0 && received != expected) {
        fail(FtpErrorConnectionAborted,
             done->text + QStringLiteral("\nTransfert incomplet de %1 : %2 octets reçus sur %3.")
                              .arg(remote)
                              .arg(received)
                              .arg(expected));
        discard();
        return false;
    }
    if (!temp->flush()) {
        fail(FtpErrorLocalFile, QStringLiteral("Impossible d'écrire le fichier local %1 (%2).")
                                    .arg(QDir::toNativeSeparators(localPath), temp->errorString()));
        discard();
        return false;
    }
    temp->close();
    QString error;
    if (!replaceFile(temp->fileName(), localPath, error)) {
        temp->remove();
        fail(FtpErrorLocalFile, done->text + QStringLiteral("\nImpossible de remplacer le fichier local %1 (%2).")
                                                 .arg(QDir::toNativeSeparators(localPath), error));
        return false;
    }
    succeed();
    return true;
}

bool QtFtpClient::putFile(FtpHandle connection, const QString& localPath, const QString& remote, int transferType)
{
    Connection* c = connectionFor(connection);
    if (!c)
        return false;
    QFile in(localPath);
    if (!in.open(QIODevice::ReadOnly)) {
        fail(FtpErrorLocalFile, QStringLiteral("Impossible de lire le fichier local %1 (%2).")
                                    .arg(QDir::toNativeSeparators(localPath), in.errorString()));
        return false;
    }
    const bool ascii = transferType == FtpTransferAscii;
    if (!setType(*c, ascii ? 'A' : 'I'))
        return false;
    std::unique_ptr<QTcpSocket> data = openDataConnection(*c);
    if (!data)
        return false;
    const auto start = command(*c, QStringLiteral("STOR ") + remote);
    if (!start)
        return false;
    if (start->code != 125 && start->code != 150) {
        failReply(*start);
        return false;
    }
    if (!send(*c, *data, in, ascii)) {
        data->abort();
        return false;
    }
    const auto done = readReply(*c);
    if (!done)
        return false;
    if (done->code / 100 != 2) {
        failReply(*done);
        return false;
    }
    succeed();
    return true;
}

FtpHandle QtFtpClient::findFirstFile(FtpHandle connection, const QString& pattern, FtpFindData& data)
{
    Connection* c = connectionFor(connection);
    if (!c)
        return 0;
    // Listings come as text in whatever type is current; names travel as UTF-8.
    if (!setType(*c, 'A'))
        return 0;

    QList<FtpFindData> entries;
    bool listed = false;
    for (int attempt = 0; attempt < 2 && !listed; ++attempt) {
        const bool mlsd = !c->noMlsd;
        std::unique_ptr<QTcpSocket> socket = openDataConnection(*c);
        if (!socket)
            return 0;
        const auto start = command(*c, mlsd ? QStringLiteral("MLSD") : QStringLiteral("NLST"));
        if (!start)
            return 0;
        if (start->code != 125 && start->code != 150) {
            socket->abort();
            if (mlsd && (start->code == 500 || start->code == 502 || start->code == 504)) {
                c->noMlsd = true;
                continue;
            }
            failReply(*start);
            return 0;
        }
        QByteArray raw;
        for (;;) {
            bool closed = false;
            if (!waitReadable(*socket, closed)) {
                markLost(*c, FtpErrorTimeout,
                         QStringLiteral("Le serveur %1 n'envoie plus la liste (délai de %2 s dépassé).")
                             .arg(c->host)
                             .arg(m_timeoutMs / 1000.0));
                return 0;
            }
            const QByteArray chunk = socket->readAll();
            raw += chunk;
            if (chunk.isEmpty() && closed)
                break;
        }
        socket->abort();
        const auto done = readReply(*c);
        if (!done)
            return 0;
        if (done->code / 100 != 2) {
            failReply(*done);
            return 0;
        }
        for (QByteArray line : raw.split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.isEmpty())
                continue;
            FtpFindData entry;
            if (mlsd) {
                const qsizetype space = line.indexOf(' ');
                if (space < 0)
                    continue;
                entry.fileName = QString::fromUtf8(line.mid(space + 1));
                for (const QByteArray& fact : line.left(space).split(';')) {
                    const QByteArray lower = fact.toLower();
                    if (lower == "type=cdir" || lower == "type=pdir")
                        entry.fileName.clear();
                    else if (lower == "type=dir")
                        entry.isDirectory = true;
                    else if (lower.startsWith("size="))
                        entry.size = fact.mid(5).toLongLong();
                }
            } else {
                entry.fileName = QString::fromUtf8(line);
                const qsizetype slash = entry.fileName.lastIndexOf(QLatin1Char('/'));
                if (slash >= 0) // some servers answer NLST with paths
                    entry.fileName = entry.fileName.mid(slash + 1);
            }
            if (entry.fileName.isEmpty() || entry.fileName == QLatin1String(".") ||
                entry.fileName == QLatin1String(".."))
                continue;
            if (wildcardMatches(pattern, entry.fileName))
                entries << entry;
        }
        listed = true;
    }
    if (entries.isEmpty()) {
        fail(18 /* no more files */, QString());
        return 0;
    }
    // One listing per connection: a new one replaces any that was left open.
    for (auto it = m_listings.begin(); it != m_listings.end();) {
        if (it->second.connection == connection)
            it = m_listings.erase(it);
        else
            ++it;
    }
    const FtpHandle h = newHandle();
    Listing listing;
    listing.connection = connection;
    listing.entries = std::move(entries);
    data = listing.entries[0];
    listing.next = 1;
    m_listings[h] = std::move(listing);
    succeed();
    return h;
}

bool QtFtpClient::findNextFile(FtpHandle find, FtpFindData& data)
{
    const auto it = m_listings.find(find);
    if (it == m_listings.end()) {
        fail(FtpErrorInvalidHandle, QString());
        return false;
    }
    if (it->second.next >= it->second.entries.size()) {
        fail(18, QString());
        return false;
    }
    data = it->second.entries[it->second.next++];
    succeed();
    return true;
}

void QtFtpClient::closeConnection(FtpHandle handle)
{
    const auto it = m_connections.find(handle);
    if (it == m_connections.end())
        return;
    Connection& c = *it->second;
    if (!c.lost && c.control->state() == QAbstractSocket::ConnectedState) {
        c.control->write("QUIT\r\n");
        c.control->waitForBytesWritten(QuitWaitMs);
        if (c.control->waitForReadyRead(QuitWaitMs)) {
            QByteArray line = c.control->readLine().trimmed();
            if (!line.isEmpty())
                m_lastResponse = QString::fromUtf8(line);
        }
    }
    c.control->abort();
    for (auto l = m_listings.begin(); l != m_listings.end();) {
        if (l->second.connection == handle)
            l = m_listings.erase(l);
        else
            ++l;
    }
    m_connections.erase(it);
}

bool QtFtpClient::closeHandle(FtpHandle handle)
{
    if (m_listings.erase(handle) > 0) {
        succeed();
        return true;
    }
    if (m_connections.count(handle) > 0) {
        closeConnection(handle);
        succeed();
        return true;
    }
    if (m_sessions.count(handle) > 0) {
        std::vector<FtpHandle> children;
        for (const auto& [h, c] : m_connections)
            if (c->session == handle)
                children.push_back(h);
        for (FtpHandle h : children)
            closeConnection(h);
        m_sessions.erase(handle);
        succeed();
        return true;
    }
    fail(FtpErrorInvalidHandle, QString());
    return false;
}
