#pragma once

#include "Form1Panes.h"
#include "WaitPanel.h"
#include "ftpsession/AppConfig.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class Clock;
class Dialogs;
class FileManagerCommands;
class FleetTable;
class Form1IntakeView;
class Form1UpdateView;
class FtpConnection;
class IntakeRun;
class ProcessControl;
class ProfileFile;
class RunLog;
struct OperatorContext;
struct UpdateSettings;

// What the main window is given by whoever opens it.
struct Form1Context {
    Form1Context(FtpConnection& f, ProcessControl& p, Dialogs& d, OperatorContext& o)
        : ftp(f)
        , processes(p)
        , dialogs(d)
        , operatorContext(o)
    {}
    FtpConnection& ftp; // the window's one session to the server; the window logs what it says
    ProcessControl& processes;
    Dialogs& dialogs;
    OperatorContext& operatorContext;
    AppConfig config;
    QString appDir;
    int versionMajor = 1;
    int versionMinor = 0;
    int versionRevision = 0;
    bool managerMode = false;            // all panes visible; a login lists but does not update
    bool unattended = false;             // a failed login ends the program instead of waiting
    bool startApplication = true;        // start VORN.exe at the end of the update
    bool openProfilesAtStart = false;    // show the profile list as soon as the window is up
    bool intakeRun = false;              // run the request intake instead of the update
    const Clock* clock = nullptr;        // time stamps of the intake (the system clock when null)
    std::function<void(int)> endProgram; // ends the program with an exit status
    // Reads the fleet's reports folder for "Parc des postes"; false with a French error.
    std::function<bool(FleetTable&, QString&)> readFleet;
};

// The main window: the wait panel of the update run, and behind it the FTP file manager (the
// connection frame, the remote and local panes), the response log and the intake's lists. It
// composes the panes and hands each command to the run or the command that does the work.
class Form1 final : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(Form1Context context, QWidget* parent = nullptr);
    ~Form1() override;

    static QString captionFor(int major, int minor, int revision);

    // Connection: login, the version folder listed, then the update.
    void Xconnect();
    void Xdown();
    void disconnectServer(); // Command3

    // Connection profiles ("\Profil.ini" in the application folder)
    void openProfileList();
    void openFleet();
    qint16 NbrLigne(const QString& Fichier) const;
    void Lire(const QString& Fichier);
    bool EcrireFin(const QString& Fichier, const QString& valeur);
    bool Modif(const QString& Fichier, const QString& Avaleur, const QString& Nvaleur, bool MS);
    static QString Rubriques(const QString& Valeurs, const QString& Indexe1, const QString& Indexe2);
    void showInDevelopment(); // "En cour de Dev."
    void endApplication();

    // Request intake
    bool XMAJ();       // loads the request files of <app>/DOWN
    bool XmajOKDI();   // applies the validation files of <app>/DOWN
    void xdownOKDI();  // fetches the listed validation files into the local folder, then applies them
    void xdownIMGDI(); // fetches the listed attachments into <app>/IMG; ends the program

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void runIntake(); // the whole scheduled intake (--intake), started once the window is up

    // File manager
    void List1DoubleClick(); // open the current remote line
    void Command7Click();    // web space
    void Command4Click();    // download
    void Command5Click();    // upload
    void Command2Click();    // remote delete
    void Command6Click();    // remote create folder
    void Drive1Change();

    void buildPanes();
    void connectSession();
    void Form_Load();
    void setConnectedState(bool connected);
    void showManagerStatus(WaitPanel::Connection state); // the wait panel's lines in the file manager
    void showRemoteList(const std::optional<QStringList>& lines);
    UpdateSettings updateSettings() const;
    bool reportProfileError(bool ok, const QString& error);
    void endProgram(int exitCode);
    void closeRunLog(); // the run's last line when the window goes before the run said how it ended

    Form1Context m_context;
    FtpConnection& m_ftp;
    Form1Panes m_panes;
    std::unique_ptr<ProfileFile> m_profiles;
    std::unique_ptr<Clock> m_systemClock;
    std::unique_ptr<RunLog> m_runLog;
    std::unique_ptr<Form1UpdateView> m_updateView;
    std::unique_ptr<Form1IntakeView> m_intakeView;
    std::unique_ptr<IntakeRun> m_intake;
    std::unique_ptr<FileManagerCommands> m_commands;
    qint64 m_startedMs = 0; // when the last connection began
    bool m_busy = false;
    bool m_connectQueued = false;
    bool m_ended = false;
};
