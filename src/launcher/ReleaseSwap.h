#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// Puts a staged release in place in one short step, keeps the release it replaced, and puts
// that one back on request. Everything lives in two hidden folders of the application folder:
//
//   .vorn-update/files/     the release being fetched (same file system: the moves are renames)
//   .vorn-update/journal    present only while a release is being put in place
//   .vorn-update/previous/  the previous release being gathered during that step
//   .vorn-previous/files/   the files the last update replaced
//   .vorn-previous/added    the files it added (one name a line)
//   .vorn-previous/rollback present only while the previous release is being put back
//
// A run killed at any moment leaves a journal (or the rollback mark) from which recover() at the
// next start finishes the step, so the folder holds one release or the other, never a mix.
class ReleaseSwap final {
public:
    explicit ReleaseSwap(QString appFolder);

    static QString stagingName() { return QStringLiteral(".vorn-update"); }
    static QString previousName() { return QStringLiteral(".vorn-previous"); }
    // The program's own folders, which are never files of a release nor shown in local lists.
    static bool isOwnFolder(const QString& name);

    // Called with a file's name just before it is moved, so that its program can be stopped.
    using BeforeMove = std::function<void(const QString& name)>;

    // An empty staging folder, leftovers of an earlier run removed.
    bool prepareStaging(QString& error);
    QString stagingFolder() const; // where the release's files are fetched
    void discardStaging();

    // Moves every staged file of `names` into the application folder; a file it replaces goes to
    // the previous release, which replaces the one kept before. On failure every move is undone,
    // `error` says why and the application folder is as before.
    bool install(const QStringList& names, const BeforeMove& beforeMove, QString& error);

    bool hasPrevious() const;
    // Puts the previous release back: replaced files restored, added files removed. The previous
    // release is then gone.
    bool rollback(const BeforeMove& beforeMove, QString& error);

    // Finishes a step a killed run left half done, and removes a killed run's staging. Returns
    // one French line for each thing it did (nothing when there was nothing to do).
    QStringList recover();

    // For tests: after that many changes to the disk every further one is skipped, leaving the
    // folder as a run killed at that moment would.
    void setCrashAfter(int changes) { m_crashAfter = changes; }

private:
    struct Move {
        QString name;
        bool replaces = false;
    };
    QString path(const QString& relative) const;
    bool writeJournal(const QList<Move>& moves, QString& error);
    QList<Move> readJournal() const;
    // The moves of one file, idempotent: a step already done is not done again.
    bool moveIn(const Move& move, QString& error);
    void undo(const QList<Move>& moves);
    bool commit(QString& error);
    bool restorePrevious(const BeforeMove& beforeMove, QString& error);

    bool stopsHere();
    bool renamePath(const QString& from, const QString& to, QString& error);
    void removeTree(const QString& path);
    void removeFile(const QString& path);
    bool writeDurably(const QString& path, const QByteArray& bytes, QString& error);

    QString m_appFolder;
    int m_crashAfter = -1;
    QSet<QString> m_madeFolders;
};
