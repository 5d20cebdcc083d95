#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Dialogs;
class FtpConnection;

// The file manager's commands on the remote side, over the main window's connection. Each one
// logs the server's replies and, where the listing changes, returns the new remote list.
class RemoteCommands final {
public:
    RemoteCommands(FtpConnection& ftp, Dialogs& dialogs);

    // Double-click on a line of the remote list: "../" returns to the login folder, any other
    // line is tried from the server's root, then relative to the working folder.
    QStringList open(const QString& line);

    // The web-space button: straight to "/" + webspace.
    QStringList goToWebspace(const QString& webspace);

    // Fetches the selected lines into `localFolder`. Names that would leave the folder are refused
    // and logged. Returns the number of files written.
    int download(const QStringList& lines, const QList<int>& selectedRows, const QString& localFolder,
                 int transferType);

    // Sends the selected local files; a file that cannot be read is reported and skipped.
    QStringList upload(const QString& localFolder, const QStringList& files, const QList<int>& selectedRows,
                       int transferType);

    // Deletes the selected lines, as files first, then as folders when the server refuses with 550.
    QStringList remove(const QStringList& lines, const QList<int>& selectedRows);

    // Creates a folder in the working folder.
    QStringList createFolder(const QString& name);

    static QString title() { return QStringLiteral("VORN_UPDATE_VERSION"); }

private:
    QStringList relist();

    FtpConnection& m_ftp;
    Dialogs& m_dialogs;
};
