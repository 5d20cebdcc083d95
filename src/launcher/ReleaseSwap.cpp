#include "ReleaseSwap.h"

#include "ftpsession/LocalTarget.h"
#include "platform/FileSync.h"
#include "platform/NativePath.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

const QByteArray JournalHead = "vorn-swap 1";
const QByteArray RollbackHead = "vorn-rollback 1";

QString staging(const QString& sub = {})
{
    return sub.isEmpty() ? ReleaseSwap::stagingName() : ReleaseSwap::stagingName() + QLatin1Char('/') + sub;
}

QString previous(const QString& sub = {})
{
    return sub.isEmpty() ? ReleaseSwap::previousName() : ReleaseSwap::previousName() + QLatin1Char('/') + sub;
}

bool exists(const QString& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(nativePath(path), ec));
}

} // namespace

bool ReleaseSwap::stopsHere()
{
    if (m_crashAfter < 0)
        return false;
    if (m_crashAfter == 0)
        return true;
    --m_crashAfter;
    return false;
}

// Renames over whatever `to` is, making its folder first.
bool ReleaseSwap::renamePath(const QString& from, const QString& to, QString& error)
{
    if (stopsHere()) {
        error = QStringLiteral("interrompu");
        return false;
    }
    std::error_code ec;
    const QString folder = QFileInfo(to).absolutePath();
    if (!m_madeFolders.contains(folder)) {
        std::filesystem::create_directories(nativePath(folder), ec);
        m_madeFolders.insert(folder);
    }
    std::filesystem::rename(nativePath(from), nativePath(to), ec);
    if (!ec)
        return true;
    error = QStringLiteral("%1 ne peut pas être déplacé vers %2 (%3)")
                .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to),
                     QString::fromLocal8Bit(ec.message().c_str()));
    return false;
}

void ReleaseSwap::removeTree(const QString& path)
{
    if (stopsHere())
        return;
    m_madeFolders.clear();
    std::error_code ec;
    std::filesystem::remove_all(nativePath(path), ec);
}

void ReleaseSwap::removeFile(const QString& path)
{
    if (!stopsHere())
        QFile::remove(path);
}

namespace {

QByteArray nameLine(const QString& name)
{
    return name.toUtf8().toPercentEncoding("/") + '\n';
}

QString nameOf(const QByteArray& line)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(line));
}

} // namespace

bool ReleaseSwap::writeDurably(const QString& path, const QByteArray& bytes, QString& error)
{
    if (stopsHere()) {
        error = QStringLiteral("interrompu");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error =
            QStringLiteral("%1 ne peut pas être écrit (%2)").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    syncFolder(QFileInfo(path).absolutePath());
    return true;
}

namespace {

QList<QByteArray> linesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

// Every file under `root`, as paths relative to it.
QStringList filesUnder(const QString& root)
{
    QStringList names;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(root).relativeFilePath(it.next());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

ReleaseSwap::ReleaseSwap(QString appFolder)
    : m_appFolder(std::move(appFolder))
{}

bool ReleaseSwap::isOwnFolder(const QString& name)
{
    return LocalTarget::isProgramFolder(name);
}

QString ReleaseSwap::path(const QString& relative) const
{
    return QDir(m_appFolder).filePath(relative);
}

QString ReleaseSwap::stagingFolder() const
{
    return path(staging(QStringLiteral("files")));
}

bool ReleaseSwap::prepareStaging(QString& error)
{
    removeTree(path(staging()));
    if (QDir().mkpath(stagingFolder()))
        return true;
    error = QStringLiteral("Le dossier %1 ne peut pas être créé.").arg(QDir::toNativeSeparators(stagingFolder()));
    return false;
}

void ReleaseSwap::discardStaging()
{
    removeTree(path(staging()));
}

bool ReleaseSwap::writeJournal(const QList<Move>& moves, QString& error)
{
    QByteArray journal = JournalHead + '\n';
    QByteArray added;
    for (const Move& m : moves) {
        journal += (m.replaces ? "R " : "A ") + nameLine(m.name);
        if (!m.replaces)
            added += nameLine(m.name);
    }
    if (!QDir().mkpath(path(staging(QStringLiteral("previous/files"))))) {
        error = QStringLiteral("Le dossier %1 ne peut pas être créé.")
                    .arg(QDir::toNativeSeparators(path(staging(QStringLiteral("previous/files")))));
        return false;
    }
    // The list of added files belongs to the previous release being gathered: written first, so
    // that once the journal exists the previous release is whole as soon as the moves are done.
    return writeDurably(path(staging(QStringLiteral("previous/added"))), added, error) &&
           writeDurably(path(staging(QStringLiteral("journal"))), journal, error);
}

QList<ReleaseSwap::Move> ReleaseSwap::readJournal() const
{
    QList<Move> moves;
    const QList<QByteArray> lines = linesOf(path(staging(QStringLiteral("journal"))));
    if (lines.isEmpty() || lines.first() != JournalHead)
        return moves;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        if (line.size() < 3 || (line[0] != 'R' && line[0] != 'A') || line[1] != ' ')
            continue;
        moves.append({nameOf(line.mid(2)), line[0] == 'R'});
    }
    return moves;
}

bool ReleaseSwap::moveIn(const Move& move, QString& error)
{
    const QString staged = path(staging(QStringLiteral("files/") + move.name));
    if (!exists(staged))
        return true; // already in place
    const QString target = path(move.name);
    const QString kept = path(staging(QStringLiteral("previous/files/") + move.name));
    // The old file is moved aside rather than overwritten: a running program may be renamed on
    // every system, not always replaced.
    if (move.replaces && exists(target) && !exists(kept) && !renamePath(target, kept, error))
        return false;
    return renamePath(staged, target, error);
}

void ReleaseSwap::undo(const QList<Move>& moves)
{
    for (auto it = moves.crbegin(); it != moves.crend(); ++it) {
        const QString staged = path(staging(QStringLiteral("files/") + it->name));
        const QString target = path(it->name);
        const QString kept = path(staging(QStringLiteral("previous/files/") + it->name));
        QString ignored;
        if (!exists(staged) && exists(target))
            renamePath(target, staged, ignored);
        if (it->replaces && exists(kept))
            renamePath(kept, target, ignored);
    }
    syncFolder(m_appFolder);
}

bool ReleaseSwap::commit(QString& error)
{
    syncFolder(m_appFolder);
    const QString gathered = path(staging(QStringLiteral("previous")));
    if (exists(gathered)) {
        removeTree(path(previous()));
        if (!renamePath(gathered, path(previous()), error))
            return false;
        syncFolder(m_appFolder);
    }
    // The journal goes last: until then a restart finishes the step.
    removeFile(path(staging(QStringLiteral("journal"))));
    syncFolder(path(staging()));
    removeTree(path(staging()));
    return true;
}

bool ReleaseSwap::install(const QStringList& names, const BeforeMove& beforeMove, QString& error)
{
    QList<Move> moves;
    for (const QString& name : names)
        moves.append({name, exists(path(name))});
    if (!writeJournal(moves, error)) {
        discardStaging();
        return false;
    }
    for (qsizetype i = 0; i < moves.size(); ++i) {
        if (beforeMove)
            beforeMove(moves.at(i).name);
        if (!moveIn(moves.at(i), error)) {
            undo(moves.first(i + 1));
            discardStaging();
            return false;
        }
    }
    return commit(error);
}

bool ReleaseSwap::hasPrevious() const
{
    return QFileInfo(path(previous(QStringLiteral("added")))).isFile();
}

bool ReleaseSwap::restorePrevious(const BeforeMove& beforeMove, QString& error)
{
    const QString discard = path(previous(QStringLiteral("discard")));
    const QString files = path(previous(QStringLiteral("files")));
    for (const QString& name : filesUnder(files)) {
        if (beforeMove)
            beforeMove(name);
        const QString target = path(name);
        if (exists(target) && !renamePath(target, QDir(discard).filePath(name), error))
            return false;
        if (!renamePath(QDir(files).filePath(name), target, error))
            return false;
    }
    for (const QByteArray& line : linesOf(path(previous(QStringLiteral("added"))))) {
        const QString name = nameOf(line);
        if (name.isEmpty() || name.contains(QLatin1String("..")))
            continue;
        if (beforeMove)
            beforeMove(name);
        if (exists(path(name)) && !renamePath(path(name), QDir(discard).filePath(name), error))
            return false;
    }
    syncFolder(m_appFolder);
    // The mark goes last: until then a restart finishes the rollback.
    removeTree(files);
    removeTree(discard);
    removeFile(path(previous(QStringLiteral("added"))));
    removeFile(path(previous(QStringLiteral("rollback"))));
    syncFolder(path(previous()));
    removeTree(path(previous()));
    return true;
}

bool ReleaseSwap::rollback(const BeforeMove& beforeMove, QString& error)
{
    if (!hasPrevious()) {
        error = QStringLiteral("Aucune version précédente n'est conservée dans %1.")
                    .arg(QDir::toNativeSeparators(m_appFolder));
        return false;
    }
    if (!writeDurably(path(previous(QStringLiteral("rollback"))), RollbackHead + '\n', error))
        return false;
    return restorePrevious(beforeMove, error);
}

QStringList ReleaseSwap::recover()
{
    QStringList said;
    if (exists(path(previous(QStringLiteral("rollback"))))) {
        QString error;
        if (restorePrevious({}, error))
            said << QStringLiteral("Reprise : le retour à la version précédente, interrompu, a été achevé.");
        else
            said << QStringLiteral("Reprise : le retour à la version précédente, interrompu, n'a pas pu être "
                                   "achevé : %1.")
                        .arg(error);
    }
    if (!exists(path(staging())))
        return said;
    const QList<Move> moves = readJournal();
    if (moves.isEmpty()) {
        discardStaging();
        said << QStringLiteral("Reprise : les fichiers d'une mise à jour interrompue pendant leur téléchargement ont "
                               "été supprimés ; les fichiers de l'application n'avaient pas été modifiés.");
        return said;
    }
    QString error;
    bool done = true;
    for (const Move& move : moves)
        if (!moveIn(move, error)) {
            done = false;
            break;
        }
    if (done && commit(error)) {
        said << QStringLiteral("Reprise : la mise en place interrompue de la nouvelle version a été achevée (%1 "
                               "fichier(s)).")
                    .arg(moves.size());
        return said;
    }
    undo(moves);
    discardStaging();
    said << QStringLiteral("Reprise : la mise en place interrompue de la nouvelle version n'a pas pu être achevée "
                           "(%1) ; la version précédente a été remise en place.")
                .arg(error);
    return said;
}
