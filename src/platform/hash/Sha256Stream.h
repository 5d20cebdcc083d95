#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

// SHA-256 fed piece by piece, as bytes arrive from a server or a file. Each system's own fastest
// implementation (the processor's SHA instructions where it has them): hashing must keep up with a
// download on a local network.
class Sha256Stream final {
public:
    Sha256Stream();
    ~Sha256Stream();
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    void addData(QByteArrayView bytes);
    // Starts again, forgetting what was fed.
    void reset();
    // The 32 bytes of the digest; the stream starts again afterwards.
    QByteArray result();

    // The digest of the whole file at `path` and, in `size`, the number of bytes it was taken over;
    // nullopt with `error` set (French) when the file cannot be read.
    static std::optional<QByteArray> ofFile(const QString& path, QString& error, qint64* size = nullptr);

private:
    struct Engine;
    std::unique_ptr<Engine> m_engine;
};
