#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sodium/crypto_hash_sha256.h>

#include <optional>

// SHA-256 fed piece by piece, as bytes arrive from a server or a file. libsodium's implementation:
// it is available on every system the program is built for and hashes nearly twice as fast as
// QCryptographicHash here.
class Sha256Stream final {
public:
    Sha256Stream();
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    void addData(QByteArrayView bytes);
    // The 32 bytes of the digest; the stream starts again afterwards.
    QByteArray result();

    // The digest of the whole file at `path` and, in `size`, the number of bytes it was taken over;
    // nullopt with `error` set (French) when the file cannot be read.
    static std::optional<QByteArray> ofFile(const QString& path, QString& error, qint64* size = nullptr);

private:
    crypto_hash_sha256_state m_state;
};
