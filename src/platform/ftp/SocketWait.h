#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <functional>

class QAbstractSocket;
class QHostAddress;
class QSslSocket;

// Waits on a socket for the FTP client: never past a deadline, and in short slices with a callback
// in between, so that the window of whoever called the client keeps painting while the network is
// slow. Without a callback each wait is one blocking call.
class SocketWait final {
public:
    enum class Result { Ready, Closed, Expired };

    // The callback runs between slices; it must not call into the client.
    void setCallback(std::function<void()> callback) { m_callback = std::move(callback); }
    bool hasCallback() const { return static_cast<bool>(m_callback); }

    // Bytes to read (or the peer closed: Closed once nothing is left to read). Data that keeps
    // coming (a long listing, a big file) still lets the callback run every slice.
    Result readable(QAbstractSocket& socket, const QDeadlineTimer& deadline) const;
    // Everything written to the socket has left it.
    Result written(QAbstractSocket& socket, const QDeadlineTimer& deadline) const;
    // Connects the socket. On Expired the attempt is aborted.
    Result connect(QAbstractSocket& socket, const QHostAddress& address, quint16 port,
                   const QDeadlineTimer& deadline) const;
    // A TLS handshake started with startClientEncryption() is complete.
    Result encrypted(QSslSocket& socket, const QDeadlineTimer& deadline) const;
    // Waits `ms` milliseconds, the callback running between slices.
    void pause(int ms) const;
    // A socket told to disconnectFromHost() has sent what it held and is closed.
    Result disconnected(QAbstractSocket& socket, const QDeadlineTimer& deadline) const;

    static constexpr int SliceMs = 50;

    // A TLS peer that ends its side (close_notify) may keep the connection itself open and wait
    // for ours: watched sockets count that as closed.
    static void watchPeerClose(QAbstractSocket& socket);
    static bool peerClosed(const QAbstractSocket& socket);
    // Takes in and drops whatever has arrived, without waiting.
    static void drain(QAbstractSocket& socket);

private:
    int sliceFor(const QDeadlineTimer& deadline) const;
    void idle() const;

    std::function<void()> m_callback;
    mutable QElapsedTimer m_sinceCallback;
};
