#include "SocketWait.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QThread>
#include <QTimer>

#include <QSslSocket>

#include <algorithm>
#include <limits>

namespace {

const char* const PeerClosed = "vornPeerClosed";

} // namespace

void SocketWait::watchPeerClose(QAbstractSocket& socket)
{
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &socket, [&socket](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError)
            return;
        socket.setProperty(PeerClosed, true);
        // A TLS peer that closed its side may keep the connection open until it has the client's
        // close in return (vsftpd does, before it answers a transfer), while a TLS socket's wait for
        // more data ends only with the connection: both would wait out the timeout. Closing this
        // side ends both waits; what was received stays readable.
        if (qobject_cast<QSslSocket*>(&socket) && socket.state() == QAbstractSocket::ConnectedState)
            socket.disconnectFromHost();
    });
}

bool SocketWait::peerClosed(const QAbstractSocket& socket)
{
    return socket.property(PeerClosed).toBool();
}

void SocketWait::drain(QAbstractSocket& socket)
{
    // Reading with no wait takes in what has arrived (a TLS session ticket, say); a socket closed
    // with unread data would be reset, and the peer lose what it had not read yet.
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(0))
        socket.readAll();
    socket.readAll();
}

int SocketWait::sliceFor(const QDeadlineTimer& deadline) const
{
    const qint64 remaining = std::max<qint64>(0, deadline.remainingTime());
    const qint64 slice = m_callback ? std::min<qint64>(remaining, SliceMs) : remaining;
    return static_cast<int>(std::min<qint64>(slice, std::numeric_limits<int>::max()));
}

void SocketWait::idle() const
{
    if (!m_callback)
        return;
    m_callback();
    m_sinceCallback.start();
}

SocketWait::Result SocketWait::readable(QAbstractSocket& socket, const QDeadlineTimer& deadline) const
{
    if (m_callback && (!m_sinceCallback.isValid() || m_sinceCallback.elapsed() >= SliceMs))
        idle();
    for (;;) {
        if (socket.bytesAvailable() > 0)
            return Result::Ready;
        if (socket.state() != QAbstractSocket::ConnectedState || peerClosed(socket))
            return Result::Closed;
        if (deadline.hasExpired())
            return Result::Expired;
        if (socket.waitForReadyRead(sliceFor(deadline)))
            continue;
        if (socket.error() != QAbstractSocket::SocketTimeoutError && socket.state() != QAbstractSocket::ConnectedState)
            return socket.bytesAvailable() > 0 ? Result::Ready : Result::Closed;
        idle();
    }
}

SocketWait::Result SocketWait::written(QAbstractSocket& socket, const QDeadlineTimer& deadline) const
{
    // Under TLS what is written waits twice: as clear text, then as records for the network.
    const auto* tls = qobject_cast<const QSslSocket*>(&socket);
    auto pending = [&socket, tls] { return socket.bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0); };
    while (pending() > 0) {
        if (socket.state() != QAbstractSocket::ConnectedState)
            return Result::Closed;
        if (deadline.hasExpired())
            return Result::Expired;
        if (socket.waitForBytesWritten(sliceFor(deadline)))
            continue;
        if (socket.error() != QAbstractSocket::SocketTimeoutError && pending() > 0)
            return Result::Closed;
        idle();
    }
    return Result::Ready;
}

SocketWait::Result SocketWait::connect(QAbstractSocket& socket, const QHostAddress& address, quint16 port,
                                       const QDeadlineTimer& deadline) const
{
    socket.connectToHost(address, port);
    // waitForConnected gives up, and aborts the attempt, when its time is out. Most connections
    // are made within a slice: one blocking wait first, with no event loop.
    if (socket.waitForConnected(sliceFor(deadline)))
        return Result::Ready;
    if (socket.error() != QAbstractSocket::SocketTimeoutError)
        return Result::Closed;
    if (!m_callback || deadline.hasExpired())
        return Result::Expired;
    // A slow server: the attempt starts again and runs in the event loop, the callback between
    // slices.
    socket.connectToHost(address, port);
    while (socket.state() != QAbstractSocket::ConnectedState) {
        if (socket.state() == QAbstractSocket::UnconnectedState)
            return Result::Closed;
        if (deadline.hasExpired()) {
            socket.abort();
            return Result::Expired;
        }
        QEventLoop loop;
        QObject::connect(&socket, &QAbstractSocket::connected, &loop, &QEventLoop::quit);
        QObject::connect(&socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(sliceFor(deadline), &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (socket.state() != QAbstractSocket::ConnectedState)
            idle();
    }
    return Result::Ready;
}

SocketWait::Result SocketWait::encrypted(QSslSocket& socket, const QDeadlineTimer& deadline) const
{
    while (!socket.isEncrypted()) {
        if (socket.state() != QAbstractSocket::ConnectedState)
            return Result::Closed;
        if (deadline.hasExpired())
            return Result::Expired;
        if (socket.waitForEncrypted(sliceFor(deadline)) || socket.isEncrypted())
            return Result::Ready;
        if (socket.state() != QAbstractSocket::ConnectedState ||
            socket.error() == QAbstractSocket::SslHandshakeFailedError || !socket.sslHandshakeErrors().isEmpty())
            return Result::Closed;
        idle();
    }
    return Result::Ready;
}

SocketWait::Result SocketWait::disconnected(QAbstractSocket& socket, const QDeadlineTimer& deadline) const
{
    while (socket.state() != QAbstractSocket::UnconnectedState) {
        if (deadline.hasExpired())
            return Result::Expired;
        if (socket.waitForDisconnected(sliceFor(deadline)))
            return Result::Ready;
        if (socket.error() != QAbstractSocket::SocketTimeoutError)
            return Result::Closed;
        idle();
    }
    return Result::Ready;
}

void SocketWait::pause(int ms) const
{
    const QDeadlineTimer end(ms);
    while (!end.hasExpired()) {
        QThread::msleep(static_cast<unsigned long>(sliceFor(end)));
        idle();
    }
}
