#pragma once

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
        int exitCode = 0; // what the program ends with
        bool applicationStarted = false;
        QString error; // description shown when the application could not be started
    };

    // Fetches every line of `remoteList` into `localFolder`, shows the closing message (followed
    // by `userName`), starts `appFolder`/VORN.exe unless `startApplication` is false, and says how
    // the program should end.
    Outcome Xdown(const QStringList& remoteList, const QString& localFolder, const QString& appFolder, int transferType,
                  const QString& userName, bool startApplication = true);

    // Stops the running copies of an executable before it is replaced. The launcher never stops
    // itself here.
    void Xkill(const QString& appli);

    // The local path of a listed name; false (and a log line) for a name that would leave the
    // folder.
    bool localPathFor(const QString& name, const QString& localFolder, QString& path);
    void fetch(const QString& name, const QString& localPath, int transferType);

    static QString applicationName() { return QStringLiteral("VORN.exe"); }
    static QString launcherImageName() { return QStringLiteral("VORN_UPDATE_VERSION.exe"); }
    static QString title() { return QStringLiteral("VORN_UPDATE_VERSION"); }

private:
    FtpConnection& m_ftp;
    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    DownloadView& m_view;
};
