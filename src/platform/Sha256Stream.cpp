#include "Sha256Stream.h"

#include <QDir>
#include <QFile>

#include <vector>

Sha256Stream::Sha256Stream()
{
    crypto_hash_sha256_init(&m_state);
}

void Sha256Stream::addData(QByteArrayView bytes)
{
    crypto_hash_sha256_update(&m_state, reinterpret_cast<const unsigned char*>(bytes.data()),
                              static_cast<unsigned long long>(bytes.size()));
}

QByteArray Sha256Stream::result()
{
    QByteArray digest(crypto_hash_sha256_BYTES, Qt::Uninitialized);
    crypto_hash_sha256_final(&m_state, reinterpret_cast<unsigned char*>(digest.data()));
    crypto_hash_sha256_init(&m_state);
    return digest;
}

std::optional<QByteArray> Sha256Stream::ofFile(const QString& path, QString& error, qint64* size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Impossible de lire le fichier %1 (%2).")
                    .arg(QDir::toNativeSeparators(path), file.errorString());
        return std::nullopt;
    }
    Sha256Stream hash;
    qint64 total = 0;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const qint64 n = file.read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (n < 0) {
            error = QStringLiteral("Impossible de lire le fichier %1 (%2).")
                        .arg(QDir::toNativeSeparators(path), file.errorString());
            return std::nullopt;
        }
        if (n == 0)
            break;
        hash.addData(QByteArrayView(buffer.data(), n));
        total += n;
    }
    if (size)
        *size = total;
    return hash.result();
}
