#include "ReleaseManifest.h"

#include "PhasedRollout.h"
#include "ReleasePatch.h"
#include "platform/hash/Sha256Stream.h"
#include "platform/text/ControlCharacters.h"
#include "platform/text/WindowsNames.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
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

// "<16 hex>-<16 hex>.zst": the first digits of the base's and of the made file's digests.
bool isPatchName(QByteArrayView name)
{
    if (name.size() != 37 || name.at(16) != '-' || !name.endsWith(".zst"))
        return false;
    for (qsizetype i = 0; i < 33; ++i)
        if (i != 16 && !((name.at(i) >= '0' && name.at(i) <= '9') || (name.at(i) >= 'a' && name.at(i) <= 'f')))
            return false;
    return true;
}

QString patchName(const QByteArray& base, const QByteArray& made)
{
    return QString::fromLatin1(base.toHex().left(16) + '-' + made.toHex().left(16) + ".zst");
}

QByteArray readSmall(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > ReleasePatch::MaxFileBytes) {
        error = QStringLiteral("Impossible de lire %1 (%2).").arg(QDir::toNativeSeparators(path), file.errorString());
        return {};
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        error = QStringLiteral("Impossible de lire %1 (%2).").arg(QDir::toNativeSeparators(path), file.errorString());
    return bytes;
}

} // namespace

const ReleaseManifest::Patch* ReleaseManifest::patchFor(const QString& target, const QByteArray& base) const
{
    for (const Patch& p : m_patches)
        if (p.target == target && p.baseSha256 == base)
            return &p;
    return nullptr;
}

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
    if (m_rollout)
        out += "rollout " + m_rollout->start.toString(Qt::ISODate).toLatin1() + ' ' +
               QByteArray::number(m_rollout->days) + '\n';
    if (m_rollout && m_rollout->gate)
        out += "gate " + QByteArray::number(m_rollout->gate->confirmations) + ' ' +
               QByteArray::number(m_rollout->gate->failures) + '\n';
    for (const Entry& e : m_files)
        out += e.sha256.toHex() + ' ' + QByteArray::number(e.size) + ' ' + e.name.toUtf8() + '\n';
    for (const Patch& p : m_patches)
        out += "patch " + p.baseSha256.toHex() + ' ' + p.sha256.toHex() + ' ' + QByteArray::number(p.size) + ' ' +
               p.name.toLatin1() + ' ' + p.target.toUtf8() + '\n';
    return out;
}

bool ReleaseManifest::make(const QString& folder, qint64 release, const Options& options, QString& error)
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
    m.m_expires = options.expires;
    m.m_rollout = options.rollout;
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
    if (!m.makePatches(dir, options.previous, error))
        return false;

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
    if (i < lines.size() && lines.at(i).startsWith("rollout ")) {
        const QList<QByteArray> f = lines.at(i).mid(8).split(' ');
        const QDate d =
            f.size() == 2 ? QDate::fromString(QString::fromLatin1(f.at(0)), QStringLiteral("yyyy-MM-dd")) : QDate();
        const qint64 days = f.size() == 2 ? number(f.at(1)).value_or(0) : 0;
        if (!d.isValid() || f.at(0).size() != 10 || days < 1 || days > PhasedRollout::MaxDays) {
            error = QStringLiteral("déploiement progressif illisible (« rollout AAAA-MM-JJ D », D de 1 à %1 attendu)")
                        .arg(PhasedRollout::MaxDays);
            return std::nullopt;
        }
        m.m_rollout = Rollout{d, static_cast<int>(days), std::nullopt};
        ++i;
        if (i < lines.size() && lines.at(i).startsWith("gate ")) {
            const QList<QByteArray> g = lines.at(i).mid(5).split(' ');
            const std::optional<qint64> ok = g.size() == 2 ? number(g.at(0)) : std::nullopt;
            const std::optional<qint64> failed = g.size() == 2 ? number(g.at(1)) : std::nullopt;
            if (!ok || !failed || *ok > Gate::Max || *failed < 1 || *failed > Gate::Max) {
                error =
                    QStringLiteral("seuils du déploiement illisibles (« gate OK ECHECS », ECHECS de 1 à %1 attendu)")
                        .arg(Gate::Max);
                return std::nullopt;
            }
            m.m_rollout->gate = Gate{static_cast<int>(*ok), static_cast<int>(*failed)};
            ++i;
        }
    }
    if (lines.size() - i > MaxFiles) {
        error = QStringLiteral("plus de %1 fichiers").arg(MaxFiles);
        return std::nullopt;
    }
    QSet<QString> folded;
    for (; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        if (line.startsWith("patch ")) {
            if (!m.parsePatch(line, error)) {
                error = QStringLiteral("ligne %1 : %2").arg(i + 1).arg(error);
                return std::nullopt;
            }
            continue;
        }
        if (!m.m_patches.isEmpty()) {
            error = QStringLiteral("ligne %1 : les correctifs suivent les fichiers").arg(i + 1);
            return std::nullopt;
        }
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

bool ReleaseManifest::parsePatch(const QByteArray& line, QString& error)
{
    // patch <base> <sha256> <size> <patch name> <name>
    const QList<QByteArray> f = line.split(' ');
    const std::optional<QByteArray> base = f.size() > 5 ? hexDigest(f.at(1)) : std::nullopt;
    const std::optional<QByteArray> digest = f.size() > 5 ? hexDigest(f.at(2)) : std::nullopt;
    const qint64 size = f.size() > 5 ? number(f.at(3)).value_or(-1) : -1;
    if (!base || !digest || size < 0 || !isPatchName(f.at(4))) {
        error = QStringLiteral("« patch base empreinte taille correctif nom » attendu");
        return false;
    }
    const qsizetype nameStart = 6 + 65 + 65 + f.at(3).size() + 1 + f.at(4).size() + 1;
    const std::optional<QString> target = strictUtf8(QByteArrayView(line).sliced(nameStart));
    if (!target || !find(*target)) {
        error = QStringLiteral("correctif d'un fichier que le manifeste ne liste pas");
        return false;
    }
    if (patchFor(*target, *base)) {
        error = QStringLiteral("deux correctifs de « %1 » pour la même base").arg(shown(*target));
        return false;
    }
    m_patches.append({*base, *digest, size, QString::fromLatin1(f.at(4)), *target});
    return true;
}

bool ReleaseManifest::makePatches(const QDir& dir, const QStringList& previous, QString& error)
{
    if (previous.isEmpty())
        return true;
    if (!ReleasePatch::available()) {
        error = QStringLiteral("--previous : ce programme a été construit sans zstd, il ne fait pas de correctifs.");
        return false;
    }
    const QDir patches(dir.filePath(patchFolder()));
    for (const QString& older : previous) {
        if (!QFileInfo(older).isDir()) {
            error = QStringLiteral("Le dossier « %1 » (--previous) n'existe pas.").arg(QDir::toNativeSeparators(older));
            return false;
        }
        for (const Entry& e : std::as_const(m_files)) {
            const QFileInfo old(QDir(older).filePath(e.name));
            if (!old.isFile() || old.size() > ReleasePatch::MaxFileBytes || e.size > ReleasePatch::MaxFileBytes)
                continue;
            const QByteArray oldBytes = readSmall(old.filePath(), error);
            if (!error.isEmpty())
                return false;
            const QByteArray base = QCryptographicHash::hash(oldBytes, QCryptographicHash::Sha256);
            if (base == e.sha256 || patchFor(e.name, base))
                continue;
            const QByteArray now = readSmall(dir.filePath(e.name), error);
            if (!error.isEmpty())
                return false;
            if (QCryptographicHash::hash(now, QCryptographicHash::Sha256) != e.sha256) {
                error = QStringLiteral("Le fichier « %1 » a changé pendant la préparation du manifeste.")
                            .arg(shown(e.name));
                return false;
            }
            QString why;
            const std::optional<QByteArray> patch = ReleasePatch::make(oldBytes, now, why);
            if (!patch) {
                error = QStringLiteral("Le correctif de « %1 » ne peut pas être fait : %2.").arg(shown(e.name), why);
                return false;
            }
            // A patch that saves less than half the file is not worth a second transfer's risk.
            if (patch->size() * 2 >= e.size)
                continue;
            const QString name = patchName(base, e.sha256);
            QSaveFile out(patches.filePath(name));
            if (!QDir().mkpath(patches.path()) || !out.open(QIODevice::WriteOnly) ||
                out.write(*patch) != patch->size() || !out.commit()) {
                error = QStringLiteral("Impossible d'écrire %1 (%2).")
                            .arg(QDir::toNativeSeparators(patches.filePath(name)), out.errorString());
                return false;
            }
            m_patches.append(
                {base, QCryptographicHash::hash(*patch, QCryptographicHash::Sha256), patch->size(), name, e.name});
        }
    }
    std::sort(m_patches.begin(), m_patches.end(), [](const Patch& a, const Patch& b) {
        return a.target != b.target ? a.target < b.target : a.baseSha256 < b.baseSha256;
    });
    return true;
}
