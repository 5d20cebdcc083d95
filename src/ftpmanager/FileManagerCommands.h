#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Dialogs;
class FtpConnection;

// The file manager's buttons as the operator presses them, without the window: each asks its
// question first where it has one, runs over the main window's connection and returns what the
// window shows next (nothing: the remote list stays as it is). Transfers and deletions turn the
// connection animation faster while they run.
class FileManagerCommands final {
public:
    // A list as the window shows it: every line, and the rows selected.
    struct Selection {
        QStringList lines;
        QList<int> rows;
    };

    FileManagerCommands(FtpConnection& ftp, Dialogs& dialogs, std::function<void(int)> setAnimationInterval);

    std::optional<QStringList> open(const QString& line); // List1 double-click on `line`
    QStringList goToWebspace(const QString& webspace);    // Command7
    bool download(const Selection& remote, const QString& localFolder, int transferType); // Command4: true when run
    std::optional<QStringList> upload(const Selection& local, const QString& currentFile, const QString& localFolder,
                                      int transferType);                                    // Command5
    std::optional<QStringList> remove(const Selection& remote, const QString& currentLine); // Command2
    std::optional<QStringList> createFolder();                                              // Command6

private:
    bool confirmed(const Selection& selection, const QString& singular, const QString& plural);

    FtpConnection& m_ftp;
    Dialogs& m_dialogs;
    std::function<void(int)> m_setAnimationInterval;
};
