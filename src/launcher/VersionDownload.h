#pragma once

#include "UpdateSettings.h"
#include "fleet/FleetRecord.h"
#include "platform/FtpClient.h"
#include "platform/clock/SystemClock.h"
#include "release/ReleaseManifest.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

class Dialogs;
class DownloadView;
class FtpConnection;
class ProcessControl;
class SignedRelease;
struct DownloadResult;

// Brings the application folder up to date from the listed version folder, then hands over to
// the updated application.
//
// One run goes down these floors, each a step of Xdown working on the run's one state (Run):
//   prepare   the staging folder, the signed manifest, the rollout day (the run may end here);
//   plan      which entries are fetched, whole or through a patch, and which are refused;
//   fetchAll  every planned entry over the sessions, each checked as it arrives;
//   check     what the manifest lists and the server lacks;
//   conclude  the release put in place, or discarded;
//   tell      the closing message;
//   handOver  VORN.exe stopped and started again (watched, and withdrawn when it fails).
class VersionDownload final {
public:
    VersionDownload(FtpConnection& ftp, ProcessControl& processes, Dialogs& dialogs, DownloadView& view,
                    const UpdateSettings& settings);
    ~VersionDownload();

    struct Outcome {
        int exitCode = 0; // what the program ends with: 0 complete, 4 incomplete, 2 not started
        bool applicationStarted = false;
        QString error;          // description shown when the application could not be started
        QStringList notFetched; // entries of the version folder that were not updated
        int unchanged = 0;      // entries skipped because the local copy is the server's
        bool installed = false; // a staged release was put in place (there is a previous one)
        QString summary;        // how the run ended, in one line
        // What the fleet's record says of it.
        FleetRecord::Result result = FleetRecord::Result::None;
        qint64 offered = 0;        // the signed release offered (0: none, or unsigned)
        QDate day;                 // the day a waiting station takes it
        qint64 bytes = 0;          // fetched
        bool releaseFault = false; // a name or a signature of the release refused
    };
    static constexpr int ExitIncomplete = 4;
    static constexpr int ExitNotStarted = 2;
    static constexpr int ExitWithdrawn = 5; // the new release did not start and was taken back
    static constexpr int ExitRefused = 6;   // a signed release failed its checks: nothing installed
    // Names listed in the incomplete-update message; the rest stand as "…".
    static constexpr qsizetype ListedNames = 20;

    // Fetches every line of `remoteList` into the settings' local folder, shows the closing message
    // ("All is OK...  73 " and the operator's name when every entry was fetched, otherwise what
    // was not), starts VORN.exe unless told not to, and says how the program should end.
    Outcome Xdown(const QStringList& remoteList);

    // The version folder could not be entered, so nothing was fetched: says so with the server's
    // `reply`, then starts the application already there as after a download.
    Outcome versionFolderUnavailable(const QString& folder, const QString& reply);

    // `withoutOldCopy`: the names among them that had no local copy to keep.
    static QString incompleteText(const QStringList& notFetched, const QStringList& withoutOldCopy = {});

    // Stops the running copies of an executable before it is replaced. The launcher never stops
    // itself here.
    void Xkill(const QString& appli);

    static QString applicationName() { return QStringLiteral("VORN.exe"); }
    static QString launcherImageName() { return QStringLiteral("VORN_UPDATE_VERSION.exe"); }
    static QString title() { return QStringLiteral("VORN_UPDATE_VERSION"); }

private:
    struct Run;
    struct RunItem;
    bool prepare(Run& run);
    void plan(Run& run);
    bool planItem(Run& run, RunItem& item);
    void fetchAll(Run& run);
    void check(Run& run);
    void conclude(Run& run);
    void tell(Run& run);
    void handOver(Run& run);

    // What came of one entry's transfer, on whichever session: through its patch, or whole and
    // from the other mirrors when this one could not deliver it. False when the download is to end.
    bool settle(Run& run, RunItem& item, DownloadResult& result);
    DownloadResult fetchWhole(const Run& run, const RunItem& item);
    void fromOtherMirrors(const Run& run, const RunItem& item, DownloadResult& result);

    static QString unchangedLine(int unchanged);
    static bool isUnchanged(const QString& path, const FtpFindData& server);
    static void keepServerTime(const QString& path, const QDateTime& modified);
    void warn(const QString& text);
    // Puts the fetched release in place; false (said and counted) when it could not be.
    bool install(Run& run, const QStringList& names);
    // The new VORN.exe failed its start: the previous release goes back and is started.
    void withdraw(Run& run, const QString& how);
    void stopBeforeMove(const QString& name);
    void refuse(Run& run, const QString& refusal);
    // The signed release's record, staged beside its files so that it is put in place (and back)
    // with them. Returns the names it adds to the release.
    QStringList stageRecord(const SignedRelease& release, const QString& stagingFolder);
    // The release installed already has exactly this record (nothing to put in place).
    static bool sameRecord(const SignedRelease& release, const QString& localFolder);
    // A phased release this station does not take yet: not its day, its gate not passed, or
    // halted. Said in the log and the outcome; the run ends there.
    bool heldBack(Run& run);
    // The gate's word on the release offered, from the fleet's reports (or this station's memory
    // of a halt); logs why it waits or halts.
    int gateDecision(Run& run, const ReleaseManifest::Rollout& rollout, quint64 station);

    FtpConnection& m_ftp;
    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    DownloadView& m_view;
    const UpdateSettings& m_settings;
    SystemClock m_systemClock; // when the settings name no clock
    const Clock& m_clock;
};
