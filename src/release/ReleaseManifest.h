#pragma once

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// VORN.manifest: what a published release holds. UTF-8 text, every line ended by a line feed:
//
//   VORN-MANIFEST 1
//   release <N>
//   expires <YYYY-MM-DD>                 (optional)
//   <sha256, 64 lower-case hex> <size in bytes> <name>     (one line per file, sorted by name)
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

    static QString fileName() { return QStringLiteral("VORN.manifest"); }
    static QString signatureFileName() { return QStringLiteral("VORN.manifest.minisig"); }
    // More than this from a server is not a manifest.
    static constexpr qint64 MaxBytes = 8 * 1024 * 1024;

    qint64 release() const { return m_release; }
    // The last day on which the release may be installed.
    std::optional<QDate> expires() const { return m_expires; }
    const QList<Entry>& files() const { return m_files; }
    const Entry* find(const QString& name) const;

    QByteArray text() const;

    // Writes FOLDER/VORN.manifest listing every file of FOLDER (sub-folders aside). False with a
    // French `error` when a name cannot be listed, a file cannot be read or the manifest written.
    static bool make(const QString& folder, qint64 release, std::optional<QDate> expires, QString& error);
    static std::optional<ReleaseManifest> parse(const QByteArray& bytes, QString& error);
    // Empty when `name` may stand in a manifest, otherwise why not (French).
    static QString nameProblem(const QString& name);

private:
    qint64 m_release = 0;
    std::optional<QDate> m_expires;
    QList<Entry> m_files;
    QHash<QString, qsizetype> m_index; // name to its place in m_files
};
