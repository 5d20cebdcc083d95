#include "FtpReplyReader.h"

#include "SocketWait.h"

#include <QAbstractSocket>
#include <QStringList>

#include <algorithm>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

FtpReplyReader::Status FtpReplyReader::readLine(QAbstractSocket& socket, const SocketWait& wait,
                                                const QDeadlineTimer& deadline, QByteArray& line, qsizetype budget)
{
    line.clear();
    char chunk[4096];
    for (;;) {
        if (socket.bytesAvailable() == 0) {
            switch (wait.readable(socket, deadline)) {
            case SocketWait::Result::Ready:
                break;
            case SocketWait::Result::Closed:
                return Status::Closed;
            case SocketWait::Result::Expired:
                return Status::Expired;
            }
        }
        // readLine never reads past the line feed: what follows belongs to the next reply.
        const qint64 n = socket.readLine(chunk, sizeof chunk);
        if (n < 0)
            return Status::Closed;
        line.append(chunk, n);
        if (line.endsWith('\n'))
            return Status::Complete;
        if (line.size() > std::min(MaxLine, budget))
            return line.size() > MaxLine ? Status::LineTooLong : Status::ReplyTooLong;
    }
}

FtpReplyReader::Status FtpReplyReader::read(QAbstractSocket& socket, const SocketWait& wait,
                                            const QDeadlineTimer& deadline, FtpReply& reply)
{
    m_offending.clear();
    QStringList lines;
    QByteArray code;
    qsizetype total = 0;
    QByteArray line;
    for (;;) {
        const Status status = readLine(socket, wait, deadline, line, MaxReply - total);
        if (status != Status::Complete)
            return status;
        total += line.size();
        if (total > MaxReply)
            return Status::ReplyTooLong;
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (code.isEmpty()) {
            if (line.size() < 3 || !isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2])) {
                m_offending = QString::fromUtf8(line.left(200));
                return Status::Invalid;
            }
            code = line.left(3);
            lines << QString::fromUtf8(line);
            if (line.size() == 3 || line[3] != '-')
                break;
            continue;
        }
        lines << QString::fromUtf8(line);
        if (line.startsWith(code) && (line.size() == 3 || line[3] == ' '))
            break;
    }
    reply.code = code.toInt();
    reply.text = lines.join(QLatin1Char('\n'));
    return Status::Complete;
}
