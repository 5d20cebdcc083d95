#include "Sha256Stream.h"

#include <QDir>
#include <QFile>

#include <vector>

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
