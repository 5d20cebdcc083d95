#pragma once

#include "platform/FtpClient.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

class Clock;
class Dialogs;
class SignedRelease;
class DownloadView;
class FtpConnection;
class ProcessControl;

// Brings the application folder up to date from the listed version folder, then hands over to
// the updated application.
class VersionDownload final {
public:
    VersionDownload(FtpConnection& ftp, ProcessControl& processes, Dialogs& dialogs, DownloadView& view);

    struct Outcome {
        int exitCode = 0; // what the program ends with: 0 complete, 4 incomplete, 2 not started
        bool applicationStarted = false;
        QString error;          // description shown when the application could not be started
        QStringList notFetched; // entries of the version folder that were not updated
        int unchanged = 0;      // entries skipped because the local copy is the server's
        bool installed = false; // a staged release was put in place (there is a previous one)
        QString summary;        // how the run ended, in one line
    };
    static constexpr int ExitIncomplete = 4;
    static constexpr int ExitNotStarted = 2;
    static constexpr int ExitWithdrawn = 5; // the new release did not start and was taken back
    static constexpr int ExitRefused = 6;   // a signed release failed its checks: nothing installed
    // Names listed in the incomplete-update message; the rest stand as "…".
    static constexpr qsizetype ListedNames = 20;

    // An entry whose local copy has the size and modification time the server gives (the listing's
    // facts, or SIZE and MDTM) is not fetched again, nor its program stopped; a fetched entry gets
    // the server's time. Off unless asked for.
    void setSkipUnchanged(bool skip) { m_skipUnchanged = skip; }

    // Staged (the default): the whole release is fetched aside and put in place in one step only
    // when every entry arrived; otherwise nothing changes. Direct: each entry replaces its file as
    // it arrives.
    void setStaged(bool staged) { m_staged = staged; }
    // Seconds to watch a newly installed VORN.exe: one that ends in that time with a failure is
    // taken back, the previous release put in place and started. 0: not watched.
    void setStartCheck(int seconds) { m_startCheck = seconds; }
    // Signed releases: only what the manifest signed with one of `keys` lists is installed, each
    // file checked as it arrives. `keyRefusal` (a configured key that does not read) refuses every
    // update.
    void setSignedReleases(const QStringList& keys, const QString& keyRefusal, const Clock& clock)
    {
        m_keys = keys;
        m_keyRefusal = keyRefusal;
        m_clock = &clock;
    }

    // Control sessions the download runs over at once (1: the main connection alone).
    void setSessions(int sessions) { m_sessions = sessions; }

    // A phased release is installed at once instead of on this station's day.
    void setRolloutIgnored(bool ignored) { m_rolloutIgnored = ignored; }

    // Fetches every line of `remoteList` into `localFolder`, shows the closing message ("All is
    // OK...  73 " and `userName` when every entry was fetched, otherwise what was not), starts
    // `appFolder`/VORN.exe unless `startApplication` is false, and says how the program should end.
    Outcome Xdown(const QStringList& remoteList, const QString& localFolder, const QString& appFolder, int transferType,
                  const QString& userName, bool startApplication = true);

    // The version folder could not be entered, so nothing was fetched: says so with the server's
    // `reply`, then starts the application already there as after a download.
    Outcome versionFolderUnavailable(const QString& folder, const QString& reply, const QString& appFolder,
                                     bool startApplication = true);

    // `withoutOldCopy`: the names among them that had no local copy to keep.
    static QString incompleteText(const QStringList& notFetched, const QStringList& withoutOldCopy = {});

    // Stops the running copies of an executable before it is replaced. The launcher never stops
    // itself here.
    void Xkill(const QString& appli);

    // The local path of a listed name; false (and a log line) for a name that would leave the
    // folder.
    bool localPathFor(const QString& name, const QString& localFolder, QString& path);
    bool fetch(const QString& name, const QString& localPath, int transferType);

    static QString applicationName() { return QStringLiteral("VORN.exe"); }
    static QString launcherImageName() { return QStringLiteral("VORN_UPDATE_VERSION.exe"); }
    static QString title() { return QStringLiteral("VORN_UPDATE_VERSION"); }

private:
    struct Run;
    struct RunItem;
    // The steps of Xdown. prepare: the staging folder, the signed manifest and the rollout day
    // (false when the run ends there); plan: which entries are fetched, and how; fetchAll: over the
    // sessions, each file checked as it arrives; check: what the manifest lists and the server
    // lacks; conclude: the release put in place or discarded; tell: the closing message.
    bool prepare(Run& run, const QStringList& remoteList, Outcome& outcome);
    void plan(Run& run, const QStringList& remoteList, Outcome& outcome);
    void fetchAll(Run& run, const QStringList& remoteList, Outcome& outcome);
    void check(Run& run, const QStringList& remoteList, Outcome& outcome);
    void conclude(Run& run, Outcome& outcome);
    void tell(Outcome& outcome, int fetched, const QString& userName, const QString& localFolder);
    // A file fetched by the main session (a patch, or the file whole), and what any session's
    // transfer of it comes to; false when the download is to end.
    bool fetchOnMain(Run& run, const RunItem& item, Outcome& outcome);
    bool fetchWhole(Run& run, const RunItem& item, Outcome& outcome);
    bool settle(Run& run, const RunItem& item, bool ok, quint32 error, Outcome& outcome);
    static QString unchangedLine(int unchanged);
    FtpFindData serverFacts(const QString& name);
    static bool isUnchanged(const QString& path, const FtpFindData& server);
    static void keepServerTime(const QString& path, const QDateTime& modified);
    void warn(const QString& text);
    // Hourglass, "VORN Log is going to start...", then VORN.exe stopped and started again.
    void handOver(Outcome& outcome, const QString& appFolder, bool startApplication);
    // Puts the fetched release in place; false (said and counted) when it could not be.
    bool install(Outcome& outcome, const QStringList& names, const QString& localFolder);
    // The new VORN.exe failed its start: the previous release goes back and is started.
    void withdraw(Outcome& outcome, const QString& appFolder, const QString& how);
    void stopBeforeMove(const QString& name);
    bool isSigned() const { return m_clock && (!m_keys.isEmpty() || !m_keyRefusal.isEmpty()); }
    void refuse(Outcome& outcome, const QString& refusal);
    // The signed release's record, staged beside its files so that it is put in place (and back)
    // with them. Returns the names it adds to the release.
    QStringList stageRecord(const SignedRelease& release, const QString& stagingFolder);
    // The release installed already has exactly this record (nothing to put in place).
    static bool sameRecord(const SignedRelease& release, const QString& localFolder);

    // The day this station takes a phased release, when it has not come yet.
    std::optional<QDate> rolloutDay(const SignedRelease& release, const QString& localFolder);

    FtpConnection& m_ftp;
    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    DownloadView& m_view;
    bool m_skipUnchanged = false;
    int m_sessions = 1;
    bool m_staged = true;
    int m_startCheck = 0;
    bool m_rolloutIgnored = false;
    QStringList m_keys;
    QString m_keyRefusal;
    const Clock* m_clock = nullptr;
    QString m_installFolder;
};
