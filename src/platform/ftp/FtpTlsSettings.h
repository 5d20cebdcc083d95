#pragma once

#include <QString>

// Encryption of an FTP session: off (plain FTP), or explicit TLS (AUTH TLS on the control
// connection, then every data connection encrypted too).
struct FtpTlsSettings {
    enum class Mode { Off, Explicit };

    Mode mode = Mode::Off;
    QString caFile;     // PEM authorities to trust instead of the system's; empty: the system's
    bool verify = true; // false only for a test bench: the server's certificate is not checked
    QString refusal;    // settings that cannot be honoured: every connection fails with this text
};
