#pragma once

#include <QString>

// One reply of an FTP server: its code and its whole text, lines joined by a lone line feed.
struct FtpReply {
    int code = 0;
    QString text;

    // 1xx: the server has started and a final reply will follow.
    bool preliminary() const { return code < 200; }
    bool positive() const { return code >= 200 && code < 300; }
};
