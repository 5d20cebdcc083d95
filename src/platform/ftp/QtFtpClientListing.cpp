#include "QtFtpClientInternals.h"

// Listings: MLSD, or NLST from servers without it; a listing's sizes serve the files fetched
// shortly after it.

using namespace ftpclient;

namespace {

// How long a listing's sizes are trusted for the files fetched after it.
constexpr qint64 FactsLifetimeMs = 30 * 1000;

} // namespace

FtpHandle QtFtpClient::findFirstFile(FtpHandle connection, const QString& pattern, FtpFindData& data)
{
    return firstEntry(connection, pattern, QString(), data);
}

FtpHandle QtFtpClient::findFirstFileIn(FtpHandle connection, const QString& folder, FtpFindData& data)
{
    return firstEntry(connection, QStringLiteral("*.*"), folder, data);
}

FtpHandle QtFtpClient::firstEntry(FtpHandle connection, const QString& pattern, const QString& folder,
                                  FtpFindData& data)
{
    CallGuard guard(*this);
    if (!guard)
        return 0;
    Connection* c = connectionFor(connection);
    if (!c)
        return 0;
    auto listing = std::make_unique<Listing>();
    listing->connection = connection;
    clearTransient();
    m_aheadLost = false;
    bool listed = list(*c, pattern, listing->entries, folder);
    // Commands sent ahead that the server lost: once more at once, one command at a time.
    bool again = std::exchange(m_aheadLost, false);
    int cuts = 0;
    for (int k = 0; !listed && (std::exchange(again, false) || retryAfter(k++, cuts));) {
        c = revive(connection);
        if (!c)
            return 0;
        clearTransient();
        listed = list(*c, pattern, listing->entries, folder);
    }
    if (!listed)
        return 0;
    if (!listing->entries || listing->entries->size() == 0) {
        fail(FtpErrorNoMoreFiles, QString());
        return 0;
    }
    // One listing per connection: a new one replaces any that was left open.
    for (auto it = m_listings.begin(); it != m_listings.end();) {
        if (it->second->connection == connection)
            it = m_listings.erase(it);
        else
            ++it;
    }
    data = listing->entries->at(0);
    listing->next = 1;
    const FtpHandle h = newHandle();
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
    Listing& l = *it->second;
    if (l.next >= l.entries->size()) {
        fail(FtpErrorNoMoreFiles, QString());
        return false;
    }
    data = l.entries->at(l.next++);
    succeed();
    return true;
}

bool QtFtpClient::list(Connection& c, const QString& pattern, std::shared_ptr<FtpListing>& entries,
                       const QString& folder)
{
    entries.reset();
    for (int attempt = 0; attempt < 2 && !entries; ++attempt) {
        const bool mlsd = !c.noMlsd;
        const QString verb = mlsd ? QStringLiteral("MLSD") : QStringLiteral("NLST");
        const QString line = folder.isEmpty() ? verb : verb + QLatin1Char(' ') + folder;
        // Listings come as text; names travel as UTF-8. The type goes out with the EPSV, and once
        // the server has shown that it answers EPSV, the listing's command with them: a listing
        // then costs one round trip of commands instead of three. To a server that loses commands
        // sent ahead, one at a time.
        const bool ahead = sendsAhead(c) && !c.noEpsv;
        const bool typeSent = ahead && c.type != 'A';
        const bool together = ahead && c.epsvWorks;
        if (ahead) {
            QStringList batch;
            if (typeSent)
                batch << QStringLiteral("TYPE A");
            batch << QStringLiteral("EPSV");
            if (together)
                batch << line;
            if (!settle(c) || !send(c, batch) || (typeSent && !typeReply(c, 'A')))
                return false;
        } else if (!setType(c, 'A')) {
            return false;
        }
        std::unique_ptr<QTcpSocket> socket = openDataConnection(c, ahead, typeSent);
        if (!socket)
            return false;
        const auto start = together && c.pending > 0 ? aheadReply(c, verb) : command(c, line);
        if (!start)
            return false;
        if (start->code != 125 && start->code != 150) {
            socket->abort();
            if (mlsd && (start->code == 500 || start->code == 502 || start->code == 504)) {
                c.noMlsd = true;
                continue;
            }
            failReply(*start);
            return false;
        }
        if (!dataReady(c, *socket))
            return false;
        auto received =
            std::make_shared<FtpListing>(mlsd ? FtpListing::Format::Mlsd : FtpListing::Format::Nlst, pattern);
        if (!readListing(c, *socket, *received))
            return false;
        if (!closingReply(c))
            return false;
        entries = std::move(received);
        if (mlsd && folder.isEmpty()) {
            c.facts = entries;
            c.factsFresh.setRemainingTime(FactsLifetimeMs);
        }
    }
    return true;
}

bool QtFtpClient::readListing(Connection& c, QTcpSocket& data, FtpListing& listing)
{
    QDeadlineTimer quiet = deadline(); // a long listing may take long; its progress must not stop
    for (;;) {
        const SocketWait::Result r = m_wait.readable(data, quiet);
        if (r == SocketWait::Result::Closed)
            break;
        if (r == SocketWait::Result::Expired)
            return finishAbortedTransfer(
                c, data,
                QStringLiteral("Le serveur %1 n'envoie plus la liste (délai de %2 s dépassé).").arg(c.host, seconds()),
                FtpErrorTimeout);
        const qint64 n = data.read(m_buffer.data(), m_buffer.size());
        if (n < 0)
            break;
        if (n == 0)
            continue;
        QString refused;
        switch (listing.feed(QByteArrayView(m_buffer.constData(), n))) {
        case FtpListing::Status::Ok:
            break;
        case FtpListing::Status::TooManyEntries:
            refused = QStringLiteral("plus de 1 000 000 d'entrées");
            break;
        case FtpListing::Status::TooLarge:
            refused = QStringLiteral("plus de 256 Mio");
            break;
        case FtpListing::Status::LineTooLong:
            refused = QStringLiteral("une ligne dépasse 64 Kio");
            break;
        }
        if (!refused.isEmpty()) {
            data.abort();
            markLost(c, FtpErrorConnectionAborted,
                     QStringLiteral("Liste refusée du serveur %1 : %2. Connexion fermée.").arg(c.host, refused));
            return false;
        }
        quiet = deadline();
    }
    if (listing.finish() != FtpListing::Status::Ok) {
        data.abort();
        markLost(
            c, FtpErrorConnectionAborted,
            QStringLiteral("Liste refusée du serveur %1 : une ligne dépasse 64 Kio. Connexion fermée.").arg(c.host));
        return false;
    }
    data.abort();
    return true;
}
