#pragma once

#include "platform/FtpClient.h"

#include <QString>
#include <QStringList>

class Dialogs;
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
        QString summary;        // how the run ended, in one line
    };
    static constexpr int ExitIncomplete = 4;
    static constexpr int ExitNotStarted = 2;
    // Names listed in the incomplete-update message; the rest stand as "…".
    static constexpr qsizetype ListedNames = 20;

    // An entry whose local copy has the size and modification time the server gives (the listing's
    // facts, or SIZE and MDTM) is not fetched again, nor its program stopped; a fetched entry gets
    // the server's time. Off unless asked for.
    void setSkipUnchanged(bool skip) { m_skipUnchanged = skip; }

    // Fetches every line of `remoteList` into `localFolder`, shows the closing message ("All is
    // OK...  73 " and `userName` when every entry was fetched, otherwise what was not), starts
    // `appFolder`/VORN.exe unless `startApplication` is false, and says how the program should end.
    Outcome Xdown(const QStringList& remoteList, const QString& localFolder, const QString& appFolder, int transferType,
                  const QString& userName, bool startApplication = true);

    // The version folder could not be entered, so nothing was fetched: says so with the server's
    // `reply`, then starts the application already there as after a download.
    Outcome versionFolderUnavailable(const QString& folder, const QString& reply, const QString& appFolder,
                                     bool startApplication = true);

    static QString incompleteText(const QStringList& notFetched);

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
    static QString unchangedLine(int unchanged);
    FtpFindData serverFacts(const QString& name);
    static bool isUnchanged(const QString& path, const FtpFindData& server);
    static void keepServerTime(const QString& path, const QDateTime& modified);
    void warn(const QString& text);
    // Hourglass, "VORN Log is going to start...", then VORN.exe stopped and started again.
    void handOver(Outcome& outcome, const QString& appFolder, bool startApplication);

    FtpConnection& m_ftp;
    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    DownloadView& m_view;
    bool m_skipUnchanged = false;
};
