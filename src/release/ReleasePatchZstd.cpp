#include "ReleasePatch.h"

#include <zstd.h>

#include <memory>

namespace {

struct FreeCCtx {
    void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct FreeDCtx {
    void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};

// The window covers the old file and the new one: a match may reach back to any byte of either.
int windowLog(qint64 bytes)
{
    // zstd's own bounds (10 and 31 on 64-bit systems) sit in its static-only part.
    int log = 10;
    while (log < 31 && (qint64(1) << log) < bytes)
        ++log;
    return log;
}

QString zstdError(size_t code)
{
    return QString::fromLatin1(ZSTD_getErrorName(code));
}

constexpr int Level = 19;

} // namespace

bool ReleasePatch::available()
{
    return true;
}

std::optional<QByteArray> ReleasePatch::make(const QByteArray& old, const QByteArray& now, QString& error)
{
    if (old.size() > MaxFileBytes || now.size() > MaxFileBytes) {
        error = QStringLiteral("fichier de plus de %1 Mio").arg(MaxFileBytes / (1024 * 1024));
        return std::nullopt;
    }
    const std::unique_ptr<ZSTD_CCtx, FreeCCtx> cctx(ZSTD_createCCtx());
    if (!cctx) {
        error = QStringLiteral("mémoire insuffisante");
        return std::nullopt;
    }
    size_t r = ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, Level);
    if (!ZSTD_isError(r))
        r = ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_windowLog, windowLog(old.size() + now.size()));
    if (!ZSTD_isError(r))
        r = ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_enableLongDistanceMatching, 1);
    if (!ZSTD_isError(r))
        r = ZSTD_CCtx_setPledgedSrcSize(cctx.get(), static_cast<unsigned long long>(now.size()));
    if (!ZSTD_isError(r))
        r = ZSTD_CCtx_refPrefix(cctx.get(), old.constData(), static_cast<size_t>(old.size()));
    if (ZSTD_isError(r)) {
        error = zstdError(r);
        return std::nullopt;
    }
    QByteArray patch(static_cast<qsizetype>(ZSTD_compressBound(static_cast<size_t>(now.size()))), Qt::Uninitialized);
    r = ZSTD_compress2(cctx.get(), patch.data(), static_cast<size_t>(patch.size()), now.constData(),
                       static_cast<size_t>(now.size()));
    if (ZSTD_isError(r)) {
        error = zstdError(r);
        return std::nullopt;
    }
    patch.truncate(static_cast<qsizetype>(r));
    return patch;
}

std::optional<QByteArray> ReleasePatch::apply(const QByteArray& old, const QByteArray& patch, qint64 size,
                                              QString& error)
{
    if (old.size() > MaxFileBytes || size > MaxFileBytes || size < 0) {
        error = QStringLiteral("fichier de plus de %1 Mio").arg(MaxFileBytes / (1024 * 1024));
        return std::nullopt;
    }
    // The frame must announce exactly the size the signed manifest gives.
    const unsigned long long announced = ZSTD_getFrameContentSize(patch.constData(), static_cast<size_t>(patch.size()));
    if (announced != static_cast<unsigned long long>(size)) {
        error = QStringLiteral("le correctif n'annonce pas la taille attendue");
        return std::nullopt;
    }
    const std::unique_ptr<ZSTD_DCtx, FreeDCtx> dctx(ZSTD_createDCtx());
    if (!dctx) {
        error = QStringLiteral("mémoire insuffisante");
        return std::nullopt;
    }
    size_t r = ZSTD_DCtx_setParameter(dctx.get(), ZSTD_d_windowLogMax, windowLog(2 * MaxFileBytes));
    if (!ZSTD_isError(r))
        r = ZSTD_DCtx_refPrefix(dctx.get(), old.constData(), static_cast<size_t>(old.size()));
    if (ZSTD_isError(r)) {
        error = zstdError(r);
        return std::nullopt;
    }
    QByteArray out(static_cast<qsizetype>(size), Qt::Uninitialized);
    r = ZSTD_decompressDCtx(dctx.get(), out.data(), static_cast<size_t>(out.size()), patch.constData(),
                            static_cast<size_t>(patch.size()));
    if (ZSTD_isError(r) || r != static_cast<size_t>(size)) {
        error = ZSTD_isError(r) ? zstdError(r) : QStringLiteral("le correctif ne produit pas la taille attendue");
        return std::nullopt;
    }
    return out;
}
