#pragma once

// What the parts of the FTP client share: the state of one control connection, an open listing,
// the guard of a call, and the small helpers their messages use. Not for use outside the client.

#include "FtpListing.h"
#include "FtpReply.h"
#include "QtFtpClient.h"

#include "platform/text/ControlCharacters.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QStringList>
#include <QTcpSocket>

#include <memory>
#include <optional>

namespace ftpclient {

constexpr qint64 ChunkSize = 256 * 1024;

inline QString visible(const QString& text)
{
    return ControlCharacters::shown(text, 200);
}

// The reply to SIZE is read by its leading number ("213 100" and "213 100 bytes" alike).
inline qint64 sizeFromReply(const FtpReply& reply)
{
    static const QRegularExpression re(QStringLiteral("^213 +(\\d{1,18})"));
    const QRegularExpressionMatch m = re.match(reply.text);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

} // namespace ftpclient

struct QtFtpClient::Connection {
    FtpHandle session = 0;
    std::unique_ptr<QTcpSocket> control;                 // a QSslSocket when the session is encrypted
    bool encrypted = false;                              // control under TLS, and every data connection too
    std::unique_ptr<QSslConfiguration> tlsConfiguration; // only made for TLS: it loads the TLS library
    QString host;         // as the operator wrote it: names the server in messages and for TLS
    QHostAddress address; // where data connections go
    quint16 port = 21;
    char type = 0;           // current TYPE, 0 until set
    bool noEpsv = false;     // the server refused EPSV once: use PASV from then on
    bool epsvWorks = false;  // an EPSV reply was understood: a command may follow it unanswered
    bool oneAtATime = false; // its greeting names a server known to lose commands sent ahead
    qint64 roundTripMs = 0;  // of the login's USER: sets how long a reply to a command sent ahead may take
    // The reply to the PWD sent with the password, until the working folder is asked for (any other
    // command first makes it stale).
    std::optional<FtpReply> loginFolder;
    // The next file, as the caller told it (fetchNextAhead), and once its EPSV (and RETR, to a
    // server that takes commands sent ahead) went out at the end of the transfer before it, that
    // file and its size.
    QString nextFile;
    qint64 nextSize = -1;
    QString fileAhead;
    qint64 fileAheadSize = -1;
    bool retrAhead = false;
    bool noMlsd = false;
    bool lost = false;
    int pending = 0; // final replies the server still owes for commands already sent
    // The working folder's last listing, while it is recent: its sizes spare a SIZE per file.
    std::shared_ptr<const FtpListing> facts;
    QDeadlineTimer factsFresh;
    void forgetFacts() { facts.reset(); }
    // What a lost connection needs to log in again and return to its folder.
    QString server;
    quint16 serverPort = 21;
    QString user;
    QString password;
    QStringList folders;    // the CWDs since the login, from the last absolute one
    int restStream = -1;    // the server resumes downloads (FEAT): -1 not asked yet
    bool revivable = false; // lost to a reset or a busy server: the next call logs in again
};

struct QtFtpClient::Listing {
    FtpHandle connection = 0;
    std::shared_ptr<FtpListing> entries;
    qsizetype next = 0;
};

// Calls that wait on the network run the wait callback, and a window's events with it: a second
// call arriving from there must not interleave with the first on the same control connection.
class QtFtpClient::CallGuard {
public:
    explicit CallGuard(QtFtpClient& client)
        : m_client(client)
        , m_entered(!client.m_inCall)
    {
        if (m_entered)
            m_client.m_inCall = true;
        else
            m_client.fail(FtpErrorBusy, QStringLiteral("Une opération FTP est déjà en cours."));
    }
    ~CallGuard()
    {
        if (m_entered)
            m_client.m_inCall = false;
    }
    CallGuard(const CallGuard&) = delete;
    CallGuard& operator=(const CallGuard&) = delete;
    explicit operator bool() const { return m_entered; }

private:
    QtFtpClient& m_client;
    bool m_entered;
};
