#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A patch that rebuilds a file from an older copy of it: zstd compression with the old file as
// reference prefix. Both ends hold the old file, the patch and the new file in memory, so files
// over MaxFileBytes are always sent whole: 128 MiB keeps a station's peak near 300 MiB, and a
// program or library of the application is far smaller.
class ReleasePatch final {
public:
    static constexpr qint64 MaxFileBytes = 128 * 1024 * 1024;

    // False in a build without zstd: no patch is made, and stations fetch every file whole.
    static bool available();
    // The patch from `old` to `now`; nullopt with a French `error` when it cannot be made.
    static std::optional<QByteArray> make(const QByteArray& old, const QByteArray& now, QString& error);
    // The file the patch makes from `old`, which must be exactly `size` bytes; nullopt with a
    // French `error` otherwise. The caller checks its digest.
    static std::optional<QByteArray> apply(const QByteArray& old, const QByteArray& patch, qint64 size, QString& error);
};
