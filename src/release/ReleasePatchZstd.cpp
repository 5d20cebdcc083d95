#include "ReleasePatch.h"

#include "platform/WorkMemory.h"

#include <QList>

#include <zstd.h>

#include <algorithm>
#include <memory>

namespace {

struct FreeCCtx {
    void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct FreeDCtx {
    void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};

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

QString tooLarge()
{
    return QStringLiteral("fichier de plus de %1 Mio").arg(ReleasePatch::MaxFileBytes / (1024 * 1024));
}

// A fast level with long-distance matching: what a patch holds is mostly where to copy the old
// file from, which long-distance matching finds at any level; a higher level made patches 5 %
// smaller at twenty times the publisher's time per frame.
constexpr int Level = 3;

struct Frame {
    qsizetype offset;
    qsizetype length;
    qint64 content;
};

// The frames of a patch, which must make `size` bytes in all; empty with `error` otherwise.
QList<Frame> framesOf(QByteArrayView patch, qint64 size, QString& error)
{
    QList<Frame> frames;
    qint64 total = 0;
    for (qsizetype at = 0; at < patch.size();) {
        const char* frame = patch.data() + at;
        const size_t left = static_cast<size_t>(patch.size() - at);
        const unsigned long long content = ZSTD_getFrameContentSize(frame, left);
        const size_t length = ZSTD_findFrameCompressedSize(frame, left);
        if (content == ZSTD_CONTENTSIZE_ERROR || content == ZSTD_CONTENTSIZE_UNKNOWN || ZSTD_isError(length)) {
            error = QStringLiteral("le correctif est illisible");
            return {};
        }
        total += static_cast<qint64>(content);
        if (content > static_cast<unsigned long long>(ReleasePatch::MaxFileBytes) || total > size)
            break;
        frames.append({at, static_cast<qsizetype>(length), static_cast<qint64>(content)});
        at += static_cast<qsizetype>(length);
    }
    // The frames must announce exactly the size the signed manifest gives.
    if (total != size || frames.isEmpty()) {
        error = QStringLiteral("le correctif n'annonce pas la taille attendue");
        return {};
    }
    return frames;
}

} // namespace

bool ReleasePatch::available()
{
    return true;
}

std::optional<QByteArray> ReleasePatch::make(const QByteArray& old, const QByteArray& now, QString& error)
{
    if (old.size() > MaxFileBytes || now.size() > MaxFileBytes) {
        error = tooLarge();
        return std::nullopt;
    }
    const std::unique_ptr<ZSTD_CCtx, FreeCCtx> cctx(ZSTD_createCCtx());
    if (!cctx) {
        error = QStringLiteral("mémoire insuffisante");
        return std::nullopt;
    }
    // The window reaches from the end of a frame back to the first byte of the old file.
    size_t r = ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, Level);
    if (!ZSTD_isError(r))
        r = ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_windowLog, windowLog(old.size() + FrameBytes));
    if (!ZSTD_isError(r))
        r = ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_enableLongDistanceMatching, 1);
    QByteArray patch;
    qsizetype at = 0;
    do {
        const QByteArrayView frame = QByteArrayView(now).sliced(at, std::min<qsizetype>(FrameBytes, now.size() - at));
        if (!ZSTD_isError(r))
            r = ZSTD_CCtx_reset(cctx.get(), ZSTD_reset_session_only);
        if (!ZSTD_isError(r))
            r = ZSTD_CCtx_setPledgedSrcSize(cctx.get(), static_cast<unsigned long long>(frame.size()));
        if (!ZSTD_isError(r))
            r = ZSTD_CCtx_refPrefix(cctx.get(), old.constData(), static_cast<size_t>(old.size()));
        const qsizetype start = patch.size();
        if (!ZSTD_isError(r)) {
            patch.resize(start + static_cast<qsizetype>(ZSTD_compressBound(static_cast<size_t>(frame.size()))));
            r = ZSTD_compress2(cctx.get(), patch.data() + start, static_cast<size_t>(patch.size() - start),
                               frame.data(), static_cast<size_t>(frame.size()));
        }
        if (ZSTD_isError(r)) {
            error = zstdError(r);
            return std::nullopt;
        }
        patch.truncate(start + static_cast<qsizetype>(r));
        at += frame.size();
    } while (at < now.size());
    return patch;
}

std::optional<QByteArray> ReleasePatch::apply(const QByteArray& old, const QByteArray& patch, qint64 size,
                                              QString& error)
{
    if (size < 0 || size > MaxFileBytes) {
        error = tooLarge();
        return std::nullopt;
    }
    QByteArray out;
    out.reserve(static_cast<qsizetype>(size));
    const bool made = apply(
        QByteArrayView(old), QByteArrayView(patch), size,
        [&out](QByteArrayView stretch, QString&) {
            out.append(stretch);
            return true;
        },
        error);
    return made ? std::optional<QByteArray>(out) : std::nullopt;
}

bool ReleasePatch::apply(QByteArrayView old, QByteArrayView patch, qint64 size, const Made& made, QString& error)
{
    if (old.size() > MaxFileBytes || size > MaxFileBytes || size < 0) {
        error = tooLarge();
        return false;
    }
    const QList<Frame> frames = framesOf(patch, size, error);
    if (frames.isEmpty())
        return false;
    qint64 largest = 0;
    for (const Frame& f : frames)
        largest = std::max(largest, f.content);
    const WorkMemory buffer(largest);
    const std::unique_ptr<ZSTD_DCtx, FreeDCtx> dctx(ZSTD_createDCtx());
    if ((buffer.isNull() && largest > 0) || !dctx) {
        error = QStringLiteral("mémoire insuffisante");
        return false;
    }
    size_t r = ZSTD_DCtx_setParameter(dctx.get(), ZSTD_d_windowLogMax, windowLog(2 * MaxFileBytes));
    for (const Frame& f : frames) {
        // A reference prefix serves one frame only.
        if (!ZSTD_isError(r))
            r = ZSTD_DCtx_reset(dctx.get(), ZSTD_reset_session_only);
        if (!ZSTD_isError(r))
            r = ZSTD_DCtx_refPrefix(dctx.get(), old.data(), static_cast<size_t>(old.size()));
        if (!ZSTD_isError(r))
            r = ZSTD_decompressDCtx(dctx.get(), buffer.data(), static_cast<size_t>(f.content), patch.data() + f.offset,
                                    static_cast<size_t>(f.length));
        if (ZSTD_isError(r) || r != static_cast<size_t>(f.content)) {
            error = ZSTD_isError(r) ? zstdError(r) : QStringLiteral("le correctif ne produit pas la taille attendue");
            return false;
        }
        if (!made(QByteArrayView(buffer.data(), static_cast<qsizetype>(f.content)), error))
            return false;
    }
    return true;
}
