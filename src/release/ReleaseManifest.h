#pragma once

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// VORN.manifest: what a published release holds. UTF-8 text, every line ended by a line feed:
//
//   VORN-MANIFEST 1
//   release <N>
//   expires <YYYY-MM-DD>                 (optional)
//   rollout <YYYY-MM-DD> <D>             (optional: a phased release, its first day and D days)
//   gate <OK> <FAILED>                   (optional, after rollout: stations of day 1 and later wait
//                                         for OK stations that kept the release; FAILED stations
//                                         that failed with it halt it)
//   <sha256, 64 lower-case hex> <size in bytes> <name>     (one line per file, sorted by name)
//   patch <base sha256> <sha256> <size> <patch name> <name>   (optional, after the files)
//
// A patch rebuilds the file <name> from the file whose digest is <base sha256>; it lives in the
// sub-folder patches/ of the version folder under <patch name> (16 hex digits, "-", 16 hex digits,
// ".zst"), with its own size and digest. Manifests without rollout or patches read as before.
//
// Numbers are decimal without sign or leading zero. A name is one path component (no "/" or "\",
// not "." or "..", no control character, at most 255 bytes); names beginning with ".vorn-" belong
// to the program's own files and folders, and the manifest and its signature never list themselves.
// Two names that differ only in case are refused: on Windows they are one file.
class ReleaseManifest final {
public:
    struct Entry {
        QString name;
        qint64 size = 0;
        QByteArray sha256; // 32 bytes
    };
    struct Patch {
        QByteArray baseSha256; // the file it applies to
        QByteArray sha256;     // of the patch itself
        qint64 size = 0;
        QString name;   // in patches/
        QString target; // the file it makes
    };
    // The fleet's reports that a phased release waits for: at least `confirmations` stations of
    // earlier days that installed it and kept it, fewer than `failures` stations that failed with it.
    struct Gate {
        int confirmations = 0;
        int failures = 1;
        static constexpr int Max = 100000;
    };
    struct Rollout {
        QDate start;
        int days = 1;
        std::optional<Gate> gate;
    };
    // What --make-manifest writes besides the files.
    struct Options {
        std::optional<QDate> expires;
        std::optional<Rollout> rollout;
        QStringList previous; // folders of earlier releases to make patches from
    };

    static QString fileName() { return QStringLiteral("VORN.manifest"); }
    static QString signatureFileName() { return QStringLiteral("VORN.manifest.minisig"); }
    // More than this from a server is not a manifest.
    static constexpr qint64 MaxBytes = 8 * 1024 * 1024;

    qint64 release() const { return m_release; }
    // The last day on which the release may be installed.
    std::optional<QDate> expires() const { return m_expires; }
    const QList<Entry>& files() const { return m_files; }
    const Entry* find(const QString& name) const;
    std::optional<Rollout> rollout() const { return m_rollout; }
    const QList<Patch>& patches() const { return m_patches; }
    // The patch that makes `target` from a file of digest `base`, if published.
    const Patch* patchFor(const QString& target, const QByteArray& base) const;
    static QString patchFolder() { return QStringLiteral("patches"); }

    QByteArray text() const;

    // Writes FOLDER/VORN.manifest listing every file of FOLDER (sub-folders aside). False with a
    // French `error` when a name cannot be listed, a file cannot be read or the manifest written.
    static bool make(const QString& folder, qint64 release, std::optional<QDate> expires, QString& error)
    {
        return make(folder, release, Options{expires, std::nullopt, {}}, error);
    }
    // The same with a phased rollout and patches from earlier releases (written into FOLDER/patches/).
    static bool make(const QString& folder, qint64 release, const Options& options, QString& error);
    static std::optional<ReleaseManifest> parse(const QByteArray& bytes, QString& error);
    // Empty when `name` may stand in a manifest, otherwise why not (French).
    static QString nameProblem(const QString& name);

private:
    bool parsePatch(const QByteArray& line, QString& error);
    bool makePatches(const QDir& dir, const QStringList& previous, QString& error);

    qint64 m_release = 0;
    std::optional<QDate> m_expires;
    std::optional<Rollout> m_rollout;
    QList<Entry> m_files;
    QList<Patch> m_patches;
    QHash<QString, qsizetype> m_index; // name to its place in m_files
};
