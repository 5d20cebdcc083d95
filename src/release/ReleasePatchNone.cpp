#include "ReleasePatch.h"

// A build without zstd: every file is fetched whole.

bool ReleasePatch::available()
{
    return false;
}

std::optional<QByteArray> ReleasePatch::make(const QByteArray&, const QByteArray&, QString& error)
{
    error = QStringLiteral("ce programme a été construit sans zstd");
    return std::nullopt;
}

std::optional<QByteArray> ReleasePatch::apply(const QByteArray&, const QByteArray&, qint64, QString& error)
{
    error = QStringLiteral("ce programme a été construit sans zstd");
    return std::nullopt;
}

bool ReleasePatch::apply(QByteArrayView, QByteArrayView, qint64, const Made&, QString& error)
{
    error = QStringLiteral("ce programme a été construit sans zstd");
    return false;
}
