#include "ReleaseManifest.h"

#include "platform/hash/Sha256Stream.h"
#include "platform/text/ControlCharacters.h"
#include "platform/text/WindowsNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <algorithm>

namespace {

const QByteArray Header = QByteArrayLiteral("VORN-MANIFEST 1");
constexpr int MaxNameBytes = 255;
constexpr qsizetype MaxFiles = 100000;

// A decimal number as the format writes it: digits only, no leading zero, within qint64.
std::optional<qint64> number(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 18 || (text.size() > 1 && text.front() == '0'))
        return std::nullopt;
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<QByteArray> hexDigest(QByteArrayView text)
{
    if (text.size() != 64)
        return std::nullopt;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return std::nullopt;
    return QByteArray::fromHex(text.toByteArray());
}

std::optional<QString> strictUtf8(QByteArrayView bytes)
{
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        return std::nullopt;
    return text;
}

QString shown(const QString& name)
{
    return ControlCharacters::shown(name, 80);
}

} // namespace

const ReleaseManifest::Entry* ReleaseManifest::find(const QString& name) const
{
    const qsizetype i = m_index.value(name, -1);
    return i < 0 ? nullptr : &m_files.at(i);
}

QString ReleaseManifest::nameProblem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("nom vide");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("« %1 » n'est pas un nom de fichier").arg(name);
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("« %1 » contient un séparateur de dossiers").arg(shown(name));
    if (ControlCharacters::contains(name))
        return QStringLiteral("« %1 » contient un caractère de contrôle").arg(shown(name));
    if (name.toUtf8().size() > MaxNameBytes)
        return QStringLiteral("« %1 » dépasse %2 octets").arg(shown(name)).arg(MaxNameBytes);
    if (name.startsWith(QLatin1String(".vorn-"), Qt::CaseInsensitive))
        return QStringLiteral("« %1 » est réservé au programme").arg(shown(name));
    if (name.compare(fileName(), Qt::CaseInsensitive) == 0 ||
        name.compare(signatureFileName(), Qt::CaseInsensitive) == 0)
        return QStringLiteral("« %1 » ne peut pas se lister lui-même").arg(name);
    return {};
}

QByteArray ReleaseManifest::text() const
{
    QByteArray out = Header + '\n';
    out += "release " + QByteArray::number(m_release) + '\n';
    if (m_expires)
        out += "expires " + m_expires->toString(Qt::ISODate).toLatin1() + '\n';
    for (const Entry& e : m_files)
        out += e.sha256.toHex() + ' ' + QByteArray::number(e.size) + ' ' + e.name.toUtf8() + '\n';
    return out;
}

bool ReleaseManifest::make(const QString& folder, qint64 release, std::optional<QDate> expires, QString& error)
{
    const QString shownFolder = QDir::toNativeSeparators(folder);
    const QDir dir(folder);
    if (!QFileInfo(folder).isDir()) {
        error = QStringLiteral("Le dossier « %1 » n'existe pas.").arg(shownFolder);
        return false;
    }
    if (release < 0) {
        error = QStringLiteral("Le numéro de version %1 n'est pas un nombre entier positif.").arg(release);
        return false;
    }
    ReleaseManifest m;
    m.m_release = release;
    m.m_expires = expires;
    QSet<QString> folded;
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& info : entries) {
        const QString name = info.fileName();
        if (name == fileName() || name == signatureFileName())
            continue;
        if (const QString problem = nameProblem(name); !problem.isEmpty()) {
            error = QStringLiteral("Le fichier « %1 » ne peut pas figurer dans le manifeste : %2.")
                        .arg(shown(name), problem);
            return false;
        }
        // Every station refuses to install such a name: the publisher learns it before publishing.
        if (const QString problem = WindowsNames::problem(name); !problem.isEmpty()) {
            error = QStringLiteral("Le fichier « %1 » ne peut pas figurer dans le manifeste : %2")
                        .arg(shown(name), problem);
            return false;
        }
        if (folded.contains(name.toCaseFolded())) {
            error = QStringLiteral("Le dossier « %1 » contient deux fichiers dont les noms ne diffèrent que par la "
                                   "casse (« %2 ») : Windows n'en garderait qu'un.")
                        .arg(shownFolder, shown(name));
            return false;
        }
        folded.insert(name.toCaseFolded());
        // The size is the one hashed: a file that grows meanwhile is still described consistently.
        qint64 size = 0;
        const std::optional<QByteArray> digest = Sha256Stream::ofFile(info.filePath(), error, &size);
        if (!digest)
            return false;
        m.m_files.append({name, size, *digest});
    }
    if (m.m_files.isEmpty()) {
        error = QStringLiteral("Le dossier « %1 » ne contient aucun fichier à publier.").arg(shownFolder);
        return false;
    }
    std::sort(m.m_files.begin(), m.m_files.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    for (qsizetype i = 0; i < m.m_files.size(); ++i)
        m.m_index.insert(m.m_files.at(i).name, i);

    QSaveFile out(dir.filePath(fileName()));
    if (!out.open(QIODevice::WriteOnly) || out.write(m.text()) < 0 || !out.commit()) {
        error = QStringLiteral("Impossible d'écrire %1 (%2).")
                    .arg(QDir::toNativeSeparators(dir.filePath(fileName())), out.errorString());
        return false;
    }
    return true;
}

std::optional<ReleaseManifest> ReleaseManifest::parse(const QByteArray& bytes, QString& error)
{
    if (bytes.size() > MaxBytes) {
        error = QStringLiteral("le manifeste dépasse %1 Mio").arg(MaxBytes / (1024 * 1024));
        return std::nullopt;
    }
    if (!bytes.endsWith('\n')) {
        error = QStringLiteral("le manifeste ne se termine pas par une fin de ligne");
        return std::nullopt;
    }
    const QList<QByteArray> lines = bytes.left(bytes.size() - 1).split('\n');
    if (lines.first() != Header) {
        error = QStringLiteral("la première ligne n'est pas « %1 »").arg(QString::fromLatin1(Header));
        return std::nullopt;
    }
    ReleaseManifest m;
    qsizetype i = 1;
    const std::optional<qint64> release =
        lines.size() > 1 && lines.at(1).startsWith("release ") ? number(lines.at(1).mid(8)) : std::nullopt;
    if (!release) {
        error = QStringLiteral("la deuxième ligne n'est pas « release N »");
        return std::nullopt;
    }
    m.m_release = *release;
    ++i;
    if (i < lines.size() && lines.at(i).startsWith("expires ")) {
        const QByteArray date = lines.at(i).mid(8);
        const QDate d = QDate::fromString(QString::fromLatin1(date), QStringLiteral("yyyy-MM-dd"));
        if (date.size() != 10 || !d.isValid()) {
            error = QStringLiteral("date d'expiration illisible (AAAA-MM-JJ attendu)");
            return std::nullopt;
        }
        m.m_expires = d;
        ++i;
    }
    if (lines.size() - i > MaxFiles) {
        error = QStringLiteral("plus de %1 fichiers").arg(MaxFiles);
        return std::nullopt;
    }
    QSet<QString> folded;
    for (; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        const qsizetype gap1 = line.indexOf(' ');
        const qsizetype gap2 = gap1 < 0 ? -1 : line.indexOf(' ', gap1 + 1);
        const std::optional<QByteArray> digest = gap1 < 0 ? std::nullopt : hexDigest(QByteArrayView(line).first(gap1));
        const std::optional<qint64> size =
            gap2 < 0 ? std::nullopt : number(QByteArrayView(line).sliced(gap1 + 1, gap2 - gap1 - 1));
        const std::optional<QString> name = gap2 < 0 ? std::nullopt : strictUtf8(QByteArrayView(line).sliced(gap2 + 1));
        if (!digest || !size || !name) {
            error = QStringLiteral("ligne %1 : « empreinte taille nom » attendu").arg(i + 1);
            return std::nullopt;
        }
        if (const QString problem = nameProblem(*name); !problem.isEmpty()) {
            error = QStringLiteral("ligne %1 : %2").arg(i + 1).arg(problem);
            return std::nullopt;
        }
        if (folded.contains(name->toCaseFolded())) {
            error = QStringLiteral("ligne %1 : « %2 » figure deux fois").arg(i + 1).arg(shown(*name));
            return std::nullopt;
        }
        folded.insert(name->toCaseFolded());
        m.m_index.insert(*name, m.m_files.size());
        m.m_files.append({*name, *size, *digest});
    }
    if (m.m_files.isEmpty()) {
        error = QStringLiteral("le manifeste ne liste aucun fichier");
        return std::nullopt;
    }
    return m;
}
