#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

// A patch that rebuilds a file from an older copy of it: the new file cut in frames of FrameBytes,
// each a zstd frame compressed with the whole old file as reference prefix, one after the other.
// The publisher holds the old file, the new one and the patch in memory, so files over MaxFileBytes
// are always sent whole (128 MiB keeps its peak near 300 MiB, and a program or library of the
// application is far smaller); a station holds one frame at a time, and reads the old file where
// it lies.
class ReleasePatch final {
public:
    static constexpr qint64 MaxFileBytes = 128 * 1024 * 1024;
    static constexpr qint64 FrameBytes = 2 * 1024 * 1024;

    // False in a build without zstd: no patch is made, and stations fetch every file whole.
    static bool available();
    // The patch from `old` to `now`; nullopt with a French `error` when it cannot be made.
    static std::optional<QByteArray> make(const QByteArray& old, const QByteArray& now, QString& error);

    // Rebuilds from `old` the file of `size` bytes the patch makes, handing it to `made` a frame at
    // a time, in order (the bytes handed over last only for the call), so that it is hashed and
    // written while the rest is rebuilt; false from `made` stops, with `error` left to it. False with
    // a French `error` when the patch does not make exactly `size` bytes from `old`: what was handed
    // over then means nothing. A patch of a single frame (as earlier publishers made them) is read
    // alike, in a buffer the size of the file.
    using Made = std::function<bool(QByteArrayView stretch, QString& error)>;
    static bool apply(QByteArrayView old, QByteArrayView patch, qint64 size, const Made& made, QString& error);
    // The same, the file made returned whole; nullopt with a French `error`. The caller checks its
    // digest.
    static std::optional<QByteArray> apply(const QByteArray& old, const QByteArray& patch, qint64 size, QString& error);
};
