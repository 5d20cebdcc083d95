#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The shared profile table: the lines of the profile file as last loaded.
struct ProfileTable {
    QStringList lines; // indexes 0 to count
    qint16 count = -1; // index of the last line of the file (empty lines included); -1: missing or empty
    qint16 cursor = 0; // next index to fill while the table is loaded
};

// The five procedures on line files of the application folder ("\Profil.ini"): counting, loading
// into the shared table, appending, rewriting with one line replaced or removed, and taking a
// field out of a line. Files are Windows-1252, one byte per character, lines end with CR LF.
//
// `Fichier` is always relative to the application folder, written with a leading backslash as
// earlier versions wrote it ("\Profil.ini"); forward slashes are accepted too.
//
// Unlike earlier versions, a file is never left half-written: EcrireFin and Modif write the whole new
// content to a temporary file beside the old one and rename it over the old one, and report a
// failure in French instead of stopping the program.
class ProfileFile final {
public:
    static constexpr int MaxLines = 32768; // indexes are 16-bit

    explicit ProfileFile(QString appDir);
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    // The name every caller passes.
    static QString profileFileName() { return QStringLiteral("\\Profil.ini"); }

    const QString& appDir() const { return m_appDir; }
    QString pathOf(const QString& Fichier) const;

    ProfileTable& table() { return m_table; }
    const ProfileTable& table() const { return m_table; }

    // Number of lines minus one (empty lines count); -1 when the file is missing, unreadable or
    // empty. Stops growing at 32,767 on a longer file.
    qint16 NbrLigne(const QString& Fichier) const;

    // Loads the non-empty lines, packed from index 0, with `count` from NbrLigne. A missing, empty
    // or unreadable file sets the count to -1 and leaves the lines as they were. Lines past the
    // 32,768th are not loaded.
    void Lire(const QString& Fichier);

    // Appends `valeur` and CR LF; creates the file when it is missing. A last line without a line
    // end gets its CR LF first, so the two lines stay apart. Returns false with a French message in `error`
    // when the file cannot be read, created or written; it is then unchanged.
    bool EcrireFin(const QString& Fichier, const QString& valeur, QString* error = nullptr);

    // Rewrites the file with every line equal to `Avaleur` replaced by `Nvaleur` (MS true) or
    // dropped (MS false); other lines, empty ones included, are kept as they were and every line
    // ends with CR LF. The table is left holding the lines as they were before the change.
    // A missing file is neither changed nor created: false with a message. An empty file is left
    // alone (true). A file of more than 32,768 lines is refused rather than cut short. On any
    // failure the old file stays whole and `error` says why in French.
    bool Modif(const QString& Fichier, const QString& Avaleur, const QString& Nvaleur, bool MS,
               QString* error = nullptr);

    // The text between the first `Indexe1` and the first `Indexe2` of `Valeurs`, `Indexe1` being
    // taken as one character long. With no `Indexe1` the text runs from the start. Empty when
    // `Valeurs` is empty, when `Indexe2` is missing or when it stands before `Indexe1`.
    static QString Rubriques(const QString& Valeurs, const QString& Indexe1, const QString& Indexe2);

    // Called once the new content stands complete in its temporary file, just before it replaces
    // the old file; returning false abandons the change, the old file untouched. Lets tests stand
    // for a program stopped at that point.
    void setBeforeReplace(std::function<bool()> hook) { m_beforeReplace = std::move(hook); }

private:
    bool replaceWith(const QString& path, const QByteArray& content, QString* error) const;

    QString m_appDir;
    ProfileTable m_table;
    std::function<bool()> m_beforeReplace;
};
