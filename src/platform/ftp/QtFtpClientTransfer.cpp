#include "BackgroundSha256.h"
#include "FtpSocketErrors.h"
#include "PartFile.h"
#include "QtFtpClientInternals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <utility>

// Files: downloads (checked against an expected size and digest, resumed when cut), uploads,
// and a file's size and time.

using namespace ftpclient;

namespace {

// The first `length` bytes of `file` into `hash`, read straight into the hash's own buffers.
bool hashPrefix(QFile& file, qint64 length, BackgroundSha256& hash)
{
    while (length > 0) {
        char* const buffer = hash.buffer();
        const qint64 n = file.read(buffer, std::min<qint64>(length, hash.room()));
        if (n <= 0)
            return false;
        hash.add(n);
        length -= n;
    }
    return true;
}

} // namespace

bool QtFtpClient::expectContent(const FtpExpectedContent& content)
{
    m_expected = content;
    return true;
}

void QtFtpClient::fetchNextAhead(FtpHandle connection, const QString& remote, qint64 size)
{
    // Not connectionFor: the commands of the file announced before stay where they are.
    if (const auto it = m_connections.find(connection); it != m_connections.end()) {
        it->second->nextFile = remote;
        it->second->nextSize = size;
    }
}

bool QtFtpClient::getFile(FtpHandle connection, const QString& remote, const QString& localPath, bool failIfExists,
                          int transferType)
{
    const std::optional<FtpExpectedContent> wanted = std::exchange(m_expected, std::nullopt);
    CallGuard guard(*this);
    if (!guard)
        return false;
    const bool ascii = transferType == FtpTransferAscii;
    Connection* c = connectionFor(connection, ascii ? QString() : remote);
    if (!c)
        return false;
    // This file's EPSV and RETR went out at the end of the transfer before it.
    const bool sentAhead = !c->fileAhead.isEmpty();
    const qint64 sizeAhead = std::exchange(c->fileAheadSize, -1);
    if (sentAhead)
        c->fileAhead.clear();
    if (failIfExists && QFileInfo::exists(localPath)) {
        if (sentAhead)
            dropAhead(*c);
        fail(FtpErrorFileExists, QString());
        return false;
    }
    const char type = ascii ? 'A' : 'I';
    const bool ahead = sendsAhead(*c);
    // The type goes out with the transfer's commands when they go together.
    const bool typeSent = !sentAhead && ahead && c->type != type;
    if (!sentAhead && ((!typeSent && !setType(*c, type)) || !settle(*c)))
        return false;

    // The size the transfer must have: from a recent listing of this folder, or asked with SIZE.
    // SIZE, EPSV and RETR go out together once the server has shown that it answers EPSV: a small
    // file then costs one round trip of commands instead of three. To a server that loses commands
    // sent ahead, one at a time.
    qint64 expected = -1;
    if (wanted && wanted->size >= 0)
        expected = wanted->size; // the server's word on the size no longer matters
    else if (sentAhead)
        expected = sizeAhead;
    else if (!ascii && c->facts && !c->factsFresh.hasExpired())
        if (const auto fact = c->facts->find(remote))
            expected = fact->size;
    const bool askSize = !ascii && expected < 0 && !sentAhead;
    QStringList batch;
    if (typeSent)
        batch << QStringLiteral("TYPE ") + QLatin1Char(type);
    if (askSize)
        batch << QStringLiteral("SIZE ") + remote;
    const bool epsvSent = sentAhead || (!c->noEpsv && (ahead || !askSize));
    if (epsvSent && !sentAhead)
        batch << QStringLiteral("EPSV");
    const bool retrSent = sentAhead ? c->retrAhead : epsvSent && ahead && c->epsvWorks;
    if (retrSent && !sentAhead)
        batch << QStringLiteral("RETR ") + remote;
    m_aheadLost = false;
    if (!batch.isEmpty() && !send(*c, batch))
        return false;

    // The local file is made while the server works on the commands; a refused transfer removes
    // it again, so nothing is left of a fetch that did not happen.
    const QFileInfo target(localPath);
    const QString targetName = target.fileName();
    const QString folder = target.absolutePath();
    if (!m_sweptFolders.contains(folder)) {
        PartFile::sweepStale(folder);
        m_sweptFolders.insert(folder);
    }
    PartFile part(localPath);
    QString why = QStringLiteral("ce n'est pas un nom de fichier");
    const bool writable = !targetName.isEmpty() && targetName != QLatin1String(".") &&
                          targetName != QLatin1String("..") && !target.isDir() && part.open(why);

    clearTransient();
    const bool typeSet = !typeSent || typeReply(*c, type);
    std::optional<FtpReply> sizeReply;
    if (typeSet && askSize) {
        sizeReply = typeSent ? aheadReply(*c, QStringLiteral("SIZE")) : nextReply(*c);
        if (sizeReply && sizeReply->code == 213)
            expected = sizeFromReply(*sizeReply);
    }

    std::optional<BackgroundSha256> hash;
    if (wanted && !wanted->sha256.isEmpty())
        hash.emplace();
    bool done = false;
    std::unique_ptr<QTcpSocket> data;
    if (typeSet && (sizeReply || !askSize) &&
        (data = openDataConnection(*c, epsvSent, epsvSent && (sentAhead || askSize || typeSent)))) {
        const bool retrPending = retrSent && c->pending > 0;
        const auto start =
            retrPending ? aheadReply(*c, QStringLiteral("RETR")) : command(*c, QStringLiteral("RETR ") + remote);
        if (start && start->code != 125 && start->code != 150)
            failReply(*start);
        else if (start && dataReady(*c, *data)) {
            if (!writable)
                return finishAbortedTransfer(*c, *data,
                                             QStringLiteral("Impossible de créer le fichier local %1 (%2).")
                                                 .arg(QDir::toNativeSeparators(localPath), why),
                                             FtpErrorLocalFile);
            done = receive(*c, *data, part.file(), expected, remote, localPath, hash ? &*hash : nullptr);
        }
    }
    // A busy server or a cut transfer: tried again, from where it stopped when the server can
    // resume, with the hash taking in again the bytes kept. Commands sent ahead that the server
    // lost: once more at once, one command at a time, whatever the retry budget.
    int cuts = 0;
    bool again = std::exchange(m_aheadLost, false);
    for (int k = 0; !done && writable && (std::exchange(again, false) || retryAfter(k++, cuts));) {
        c = revive(connection);
        if (!c || !setType(*c, ascii ? 'A' : 'I'))
            return false;
        if (expected < 0 && !ascii)
            if (const auto size = command(*c, QStringLiteral("SIZE ") + remote); size && size->code == 213)
                expected = sizeFromReply(*size);
        qint64 offset = part.file().flush() ? part.file().size() : 0;
        if (offset > 0 && (ascii || expected < 0 || !resumable(*c)))
            offset = 0;
        if (!part.file().flush() || !part.file().resize(offset) || !part.file().seek(offset)) {
            fail(FtpErrorLocalFile, QStringLiteral("Impossible d'écrire le fichier local %1 (%2).")
                                        .arg(QDir::toNativeSeparators(localPath), part.file().errorString()));
            return false;
        }
        if (hash) {
            hash->reset();
            QFile kept(part.file().fileName());
            if (offset > 0 && (!kept.open(QIODevice::ReadOnly) || !hashPrefix(kept, offset, *hash))) {
                fail(FtpErrorLocalFile, QStringLiteral("Impossible de relire le fichier local %1 (%2).")
                                            .arg(QDir::toNativeSeparators(localPath), kept.errorString()));
                return false;
            }
        }
        clearTransient();
        done = retrieveAgain(*c, remote, part.file(), offset, expected, localPath, hash ? &*hash : nullptr);
    }
    if (!done) {
        return false;
    }
    const QString doneText = m_lastResponse;
    if (hash && hash->result() != wanted->sha256) {
        fail(FtpErrorContentMismatch,
             doneText +
                 QStringLiteral("\nLe contenu reçu de %1 n'est pas celui attendu (empreinte SHA-256 différente).")
                     .arg(visible(remote)));
        return false;
    }
    if (!part.commit(why)) {
        fail(FtpErrorLocalFile, doneText + QStringLiteral("\nImpossible de remplacer le fichier local %1 (%2).")
                                               .arg(QDir::toNativeSeparators(localPath), why));
        return false;
    }
    succeed();
    return true;
}

bool QtFtpClient::receive(Connection& c, QTcpSocket& data, QFile& out, qint64 expected, const QString& remote,
                          const QString& localPath, BackgroundSha256* hash, qint64 offset)
{
    qint64 received = offset;
    QDeadlineTimer quiet = deadline(); // a transfer may take long; each byte must not
    for (;;) {
        const SocketWait::Result r = m_wait.readable(data, quiet);
        if (r == SocketWait::Result::Closed)
            break;
        if (r == SocketWait::Result::Expired)
            return finishAbortedTransfer(
                c, data,
                QStringLiteral("Le serveur %1 n'envoie plus de données (délai de %2 s dépassé).")
                    .arg(c.host, seconds()),
                FtpErrorTimeout);
        // Checked, the bytes are received into a buffer of the hash, which reads them there while
        // they are written out: no copy of its own, no allocation per piece.
        char* const buffer = hash ? hash->buffer() : m_buffer.data();
        const qint64 n = data.read(buffer, hash ? hash->room() : m_buffer.size());
        if (n < 0)
            break;
        if (n == 0)
            continue;
        received += n;
        if (expected >= 0 && received > expected)
            return finishAbortedTransfer(c, data,
                                         QStringLiteral("Transfert refusé : le serveur envoie plus que les %1 octets "
                                                        "annoncés pour %2.")
                                             .arg(expected)
                                             .arg(visible(remote)),
                                         // checked content: not what was signed
                                         hash ? FtpErrorContentMismatch : FtpErrorConnectionAborted);
        if (hash)
            hash->add(n);
        if (out.write(buffer, n) != n)
            return finishAbortedTransfer(c, data,
                                         QStringLiteral("Impossible d'écrire le fichier local %1 (%2).")
                                             .arg(QDir::toNativeSeparators(localPath), out.errorString()),
                                         FtpErrorLocalFile);
        quiet = deadline();
    }
    data.abort();
    sendNextAhead(c, expected >= 0 && received == expected);
    const auto done = closingReply(c);
    if (!done) {
        if (!c.fileAhead.isEmpty())
            dropAhead(c); // the next file's commands wait behind a transfer that failed
        return false;
    }
    if (expected >= 0 && received != expected) {
        fail(FtpErrorConnectionAborted,
             done->text + QStringLiteral("\nTransfert incomplet de %1 : %2 octets reçus sur %3.")
                              .arg(visible(remote))
                              .arg(received)
                              .arg(expected));
        if (received < expected)
            markTransient(true); // cut part-way: what came is kept for a resumed try
        return false;
    }
    return true;
}

void QtFtpClient::sendNextAhead(Connection& c, bool whole)
{
    const QString next = std::exchange(c.nextFile, QString());
    const qint64 size = std::exchange(c.nextSize, -1);
    // Only behind a transfer that came whole, in binary, to a server known to take EPSV: the
    // server has closed this transfer's data connection, so its next EPSV opens a new one without
    // cutting this one short. To a server that loses commands sent together, the EPSV alone (it
    // arrives on its own, after the RETR the server read long ago); never to a Microsoft service.
    if (next.isEmpty() || size < 0 || !whole || c.type != 'I' || c.noEpsv || !c.epsvWorks || c.oneAtATime)
        return;
    const bool withRetr = sendsAhead(c);
    if (send(c, withRetr ? QStringList{QStringLiteral("EPSV"), QStringLiteral("RETR ") + next}
                         : QStringList{QStringLiteral("EPSV")})) {
        c.fileAhead = next;
        c.fileAheadSize = size;
        c.retrAhead = withRetr;
    }
}

bool QtFtpClient::retrieveAgain(Connection& c, const QString& remote, QFile& out, qint64 offset, qint64 expected,
                                const QString& localPath, BackgroundSha256* hash)
{
    if (!settle(c))
        return false;
    std::unique_ptr<QTcpSocket> data = openDataConnection(c);
    if (!data)
        return false;
    if (offset > 0) {
        const auto rest = command(c, QStringLiteral("REST %1").arg(offset));
        if (!rest)
            return false;
        if (rest->code != 350) {
            failReply(*rest);
            return false;
        }
    }
    return startTransfer(c, QStringLiteral("RETR ") + remote) && dataReady(c, *data) &&
           receive(c, *data, out, expected, remote, localPath, hash, offset);
}

bool QtFtpClient::putFile(FtpHandle connection, const QString& localPath, const QString& remote, int transferType)
{
    CallGuard guard(*this);
    if (!guard)
        return false;
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
    c->forgetFacts();
    clearTransient();
    bool done = store(*c, remote, in, ascii);
    // An upload tried again starts again: what the server kept of it is replaced.
    int cuts = 0;
    for (int k = 0; !done && retryAfter(k, cuts); ++k) {
        c = revive(connection);
        if (!c || !in.seek(0) || !setType(*c, ascii ? 'A' : 'I'))
            return false;
        clearTransient();
        done = store(*c, remote, in, ascii);
    }
    if (!done)
        return false;
    succeed();
    return true;
}

bool QtFtpClient::store(Connection& c, const QString& remote, QFile& in, bool ascii)
{
    if (!settle(c))
        return false;
    std::unique_ptr<QTcpSocket> data = openDataConnection(c);
    if (!data)
        return false;
    if (!startTransfer(c, QStringLiteral("STOR ") + remote) || !dataReady(c, *data) || !send(c, *data, in, ascii))
        return false;
    return closingReply(c).has_value();
}

bool QtFtpClient::send(Connection& c, QTcpSocket& data, QFile& in, bool ascii)
{
    bool previousCr = false;
    for (;;) {
        QByteArray chunk = in.read(ChunkSize);
        if (chunk.isEmpty()) {
            if (in.error() != QFileDevice::NoError)
                return finishAbortedTransfer(c, data,
                                             QStringLiteral("Impossible de lire le fichier local %1 (%2).")
                                                 .arg(QDir::toNativeSeparators(in.fileName()), in.errorString()),
                                             FtpErrorLocalFile);
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
        const SocketWait::Result sent = m_wait.written(data, deadline());
        if (sent != SocketWait::Result::Ready) {
            finishAbortedTransfer(c, data,
                                  QStringLiteral("L'envoi vers le serveur %1 a été interrompu (%2).")
                                      .arg(c.host, describeSocketError(data)),
                                  sent == SocketWait::Result::Expired ? FtpErrorTimeout : FtpErrorConnectionAborted);
            if (sent == SocketWait::Result::Closed)
                markTransient(true); // cut part-way
            return false;
        }
    }
    SocketWait::drain(data);
    data.disconnectFromHost();
    if (m_wait.disconnected(data, deadline()) != SocketWait::Result::Ready)
        data.abort();
    return true;
}

bool QtFtpClient::fileFacts(FtpHandle connection, const QString& remote, qint64& size, QDateTime& modified)
{
    size = -1;
    modified = QDateTime();
    CallGuard guard(*this);
    if (!guard)
        return false;
    Connection* c = connectionFor(connection);
    if (!c || !setType(*c, 'I') || !settle(*c))
        return false;
    const QString sizeLine = QStringLiteral("SIZE ") + remote;
    const QString timeLine = QStringLiteral("MDTM ") + remote;
    std::optional<FtpReply> sizeReply;
    std::optional<FtpReply> timeReply;
    if (sendsAhead(*c)) {
        m_aheadLost = false;
        if (!send(*c, {sizeLine, timeLine}) || !(sizeReply = nextReply(*c)))
            return false;
        timeReply = aheadReply(*c, QStringLiteral("MDTM"));
        if (!timeReply) {
            // Lost: asked again on a new session, one command at a time.
            if (!std::exchange(m_aheadLost, false) || !(c = revive(connection)) || !setType(*c, 'I'))
                return false;
        }
    }
    if (!timeReply && (!(sizeReply = command(*c, sizeLine)) || !(timeReply = command(*c, timeLine))))
        return false;
    if (sizeReply->code == 213)
        size = sizeFromReply(*sizeReply);
    if (timeReply->code == 213) {
        const qint64 ms = FtpListing::parseTime(timeReply->text.mid(4).trimmed().toLatin1());
        if (ms >= 0)
            modified = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
    }
    if (size < 0 && !modified.isValid()) {
        failReply(*timeReply);
        return false;
    }
    succeed();
    return true;
}
