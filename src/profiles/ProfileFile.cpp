#include "ProfileFile.h"

#include "platform/text/Windows1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

#include <algorithm>

namespace {

struct FileLines {
    enum class State { Missing, Unreadable, Read };
    State state = State::Missing;
    QByteArray bytes;
    QList<QByteArray> lines;
};

// A line ends at CR LF, as the program writes it, or at a lone CR or a lone LF, which only a hand
// edit can bring in; a last line without an end still counts.
QList<QByteArray> splitLines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    qsizetype i = 0;
    const qsizetype size = bytes.size();
    while (i < size) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.append(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < size && bytes.at(i + 1) == '\n')
            ++i;
        start = ++i;
    }
    if (start < size)
        lines.append(bytes.mid(start));
    return lines;
}

FileLines readLines(const QString& path)
{
    FileLines result;
    if (!QFileInfo::exists(path))
        return result;
    result.state = FileLines::State::Unreadable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    result.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return result;
    result.state = FileLines::State::Read;
    result.lines = splitLines(result.bytes);
    return result;
}

// NbrLigne's count: lines minus one; the earlier version's 16-bit counter ignored its own overflow and
// so stopped at 32,767.
qint16 countOf(const FileLines& file)
{
    if (file.state != FileLines::State::Read)
        return -1;
    return static_cast<qint16>(std::min<qsizetype>(file.lines.size(), ProfileFile::MaxLines) - 1);
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString nothingChanged(const QString& what, const QString& path)
{
    return what.arg(shown(path)) + QStringLiteral(" : rien n'a été modifié.");
}

QString withDetail(const QString& text, const QString& detail)
{
    return detail.isEmpty() ? text : text + QStringLiteral("\nDétail : ") + detail;
}

} // namespace

ProfileFile::ProfileFile(QString appDir)
    : m_appDir(std::move(appDir))
{}

QString ProfileFile::pathOf(const QString& Fichier) const
{
    QString relative = Fichier;
    relative.replace(u'\\', u'/');
    while (relative.startsWith(u'/'))
        relative.remove(0, 1);
    return QDir(m_appDir).filePath(relative);
}

qint16 ProfileFile::NbrLigne(const QString& Fichier) const
{
    return countOf(readLines(pathOf(Fichier)));
}

void ProfileFile::Lire(const QString& Fichier)
{
    const FileLines file = readLines(pathOf(Fichier));
    m_table.count = countOf(file);
    if (m_table.count == -1)
        return;

    m_table.lines = QStringList(m_table.count + 1, QString());
    qsizetype next = 0;
    for (const QByteArray& line : file.lines) {
        if (line.isEmpty())
            continue;
        if (next > m_table.count)
            break; // the table holds 32,768 lines; the earlier version stopped on an overflow here
        m_table.lines[next++] = Windows1252::decode(line);
    }
    // Kept within 16 bits: a full table leaves it on its last index.
    m_table.cursor = static_cast<qint16>(std::min<qsizetype>(next, MaxLines - 1));
}

bool ProfileFile::EcrireFin(const QString& Fichier, const QString& valeur, QString* error)
{
    const QString path = pathOf(Fichier);
    QByteArray content;
    const QFileInfo info(path);
    if (info.exists()) {
        const FileLines file = readLines(path);
        if (file.state != FileLines::State::Read) {
            setError(error, nothingChanged(QStringLiteral("Le fichier des profils « %1 » ne peut pas être lu"), path));
            return false;
        }
        if (!info.isWritable()) {
            setError(error,
                     nothingChanged(QStringLiteral("Le fichier des profils « %1 » est protégé en écriture"), path));
            return false;
        }
        content = file.bytes;
    }
    // A last line left without its end by a hand edit would otherwise swallow the new one.
    if (!content.isEmpty() && !content.endsWith('\n') && !content.endsWith('\r'))
        content += "\r\n";
    content += Windows1252::encode(valeur);
    content += "\r\n";
    return replaceWith(path, content, error);
}

bool ProfileFile::Modif(const QString& Fichier, const QString& Avaleur, const QString& Nvaleur, bool MS, QString* error)
{
    const QString path = pathOf(Fichier);
    const FileLines file = readLines(path);
    m_table.count = countOf(file);

    switch (file.state) {
    case FileLines::State::Missing:
        setError(error, nothingChanged(QStringLiteral("Le fichier des profils « %1 » est introuvable"), path));
        return false;
    case FileLines::State::Unreadable:
        setError(error, nothingChanged(QStringLiteral("Le fichier des profils « %1 » ne peut pas être lu"), path));
        return false;
    case FileLines::State::Read:
        break;
    }
    if (file.lines.isEmpty())
        return true; // nothing to replace, nothing to write

    // The table takes the lines as they are, empty ones included, whatever comes of the change.
    const qsizetype kept = std::min<qsizetype>(file.lines.size(), MaxLines);
    m_table.lines.clear();
    m_table.lines.reserve(kept);
    for (qsizetype i = 0; i < kept; ++i)
        m_table.lines.append(Windows1252::decode(file.lines.at(i)));
    m_table.cursor = static_cast<qint16>(std::min<qsizetype>(kept, MaxLines - 1));

    if (file.lines.size() > MaxLines) {
        // Rewriting only the lines the table can hold would lose the others.
        setError(error,
                 nothingChanged(QStringLiteral("Le fichier des profils « %1 » compte plus de 32 768 lignes"), path));
        return false;
    }
    if (!QFileInfo(path).isWritable()) {
        setError(error, nothingChanged(QStringLiteral("Le fichier des profils « %1 » est protégé en écriture"), path));
        return false;
    }

    QByteArray content;
    content.reserve(file.bytes.size() + Nvaleur.size() + 2 * file.lines.size());
    const QByteArray replacement = Windows1252::encode(Nvaleur);
    for (qsizetype i = 0; i < file.lines.size(); ++i) {
        if (m_table.lines.at(i) != Avaleur)
            content += file.lines.at(i); // the bytes as read
        else if (MS)
            content += replacement;
        else
            continue;
        content += "\r\n";
    }

    return replaceWith(path, content, error);
}

QString ProfileFile::Rubriques(const QString& Valeurs, const QString& Indexe1, const QString& Indexe2)
{
    if (Valeurs.isEmpty())
        return QString();
    const qsizetype p1 = Valeurs.indexOf(Indexe1) + 1; // 1-based, 0 when absent
    const qsizetype p2 = Valeurs.indexOf(Indexe2) + 1;
    const qsizetype length = p2 - p1 - 1;
    if (p2 == 0 || length < 0)
        return QString(); // the earlier version stopped on an invalid call here
    return Valeurs.mid(p1, length);
}

bool ProfileFile::replaceWith(const QString& path, const QByteArray& content, QString* error) const
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        setError(error, withDetail(nothingChanged(QStringLiteral("Le fichier des profils « %1 » ne peut pas être créé "
                                                                 "(dossier absent ou protégé en écriture)"),
                                                  path),
                                   out.errorString()));
        return false;
    }
    if (out.write(content) != content.size() || !out.flush()) {
        const QString detail = out.errorString();
        out.cancelWriting();
        setError(error, withDetail(nothingChanged(QStringLiteral("L'écriture du fichier des profils « %1 » a échoué "
                                                                 "(disque plein ?)"),
                                                  path),
                                   detail));
        return false;
    }
    if (m_beforeReplace && !m_beforeReplace()) {
        out.cancelWriting();
        setError(error, nothingChanged(
                            QStringLiteral("L'enregistrement du fichier des profils « %1 » a été interrompu"), path));
        return false;
    }
    if (!out.commit()) {
        const QString what = out.error() == QFileDevice::RenameError
                                 ? QStringLiteral("Le fichier des profils « %1 » n'a pas pu être remplacé")
                                 : QStringLiteral("L'écriture du fichier des profils « %1 » a échoué (disque plein ?)");
        setError(error, withDetail(nothingChanged(what, path), out.errorString()));
        return false;
    }
    return true;
}
