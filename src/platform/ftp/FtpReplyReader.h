#pragma once

#include "FtpReply.h"

#include <QByteArray>
#include <QDeadlineTimer>

class QAbstractSocket;
class SocketWait;

// Reads one reply from a control connection, within bounds: a hostile or broken server can make
// the reply fail, never make it grow without end or last past its deadline. Reads stop exactly at
// the end of the reply, so replies to commands sent together are read one by one.
class FtpReplyReader final {
public:
    static constexpr qsizetype MaxLine = 64 * 1024;
    static constexpr qsizetype MaxReply = 1024 * 1024;

    enum class Status { Complete, Closed, Expired, LineTooLong, ReplyTooLong, Invalid };

    Status read(QAbstractSocket& socket, const SocketWait& wait, const QDeadlineTimer& deadline, FtpReply& reply);

    // The beginning of the line a reply was refused for (Invalid), for the message.
    QString offendingLine() const { return m_offending; }

private:
    Status readLine(QAbstractSocket& socket, const SocketWait& wait, const QDeadlineTimer& deadline, QByteArray& line,
                    qsizetype budget);

    QString m_offending;
};
