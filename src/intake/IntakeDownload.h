#pragma once

#include <QString>
#include <QStringList>

class Clock;
class Dialogs;
class FtpConnection;
class IntakeView;
class ProcessControl;
class ValidationSync;

// Fetches the validation ("OKDI") and attachment ("IMGDI") files of the remote directory the
// remote list shows, reports how many arrived and, when the remote list has a current line,
// removes what was fetched from the server.
class IntakeDownload final {
public:
    IntakeDownload(FtpConnection& ftp, ValidationSync& sync, ProcessControl& processes, Dialogs& dialogs,
                   IntakeView& view, const Clock& clock, QString appDir);

    struct Outcome {
        bool ok = true;
        QString error;                    // French, for the caller to show when !ok
        int count = 0;                    // the count of the message (none shown at 0)
        QStringList saved;                // local paths written
        bool remoteListRefreshed = false; // the server was cleaned: List1 becomes remoteList
        QStringList remoteList;
        bool endProgram = false; // the attachment download is the last step of a run
        int exitCode = 0;
    };

    // Fetches the validation files into `file1Folder` under their remote names, runs the validation
    // sync and reports the validations it applied.
    Outcome xdownOKDI(const QStringList& List1, const QString& file1Folder, const QString& currentLine,
                      int transferType);

    // Fetches the attachment files into <appDir>/IMG under time-stamped names, reports how many
    // were saved, stops the "TORVANDEL_DOWN.exe" processes and asks the caller to end the program.
    Outcome xdownIMGDI(const QStringList& List1, const QString& currentLine, int transferType);

    // Control sessions each folder's download runs over at once (1: the main connection alone).
    void setSessions(int sessions) { m_sessions = sessions; }

    QString attachmentFolder() const;
    static QString title() { return QStringLiteral("VORN_UPDATE_VERSION"); }
    static QString downImageName() { return QStringLiteral("TORVANDEL_DOWN.exe"); }

private:
    enum class Kind { Validation, Attachment };

    void fetchAll(Kind kind, const QStringList& List1, const QString& folder, int transferType, Outcome& outcome,
                  QStringList& fetchedNames, QStringList& leftOnServer);
    void report(Kind kind, int count);
    // Deletes what was fetched; `leftOnServer` was kept on purpose (and logged as such).
    void cleanServer(Kind kind, const QStringList& List1, const QString& currentLine, const QStringList& fetchedNames,
                     const QStringList& leftOnServer, Outcome& outcome);
    static QString prefix(Kind kind);

    FtpConnection& m_ftp;
    ValidationSync& m_sync;
    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    IntakeView& m_view;
    const Clock& m_clock;
    QString m_appDir;
    int m_sessions = 1;
};
