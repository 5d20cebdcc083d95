#pragma once

#include "UpdateRun.h"
#include "UpdateView.h"
#include "ftpsession/AppConfig.h"
#include "ftpsession/FtpConnection.h"
#include "intake/IntakeCounter.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class Dialogs;
class Clock;
class DirListBox;
class Form1IntakeView;
class RetryWaitKeys;
class DriveListBox;
class FileListBox;
class ProcessControl;
class ProfileFile;
class RunLog;
struct OperatorContext;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QRadioButton;
class QStatusBar;
class QTimer;
class QToolButton;

// What the main window is given by whoever opens it.
struct Form1Context {
    Form1Context(FtpClient& f, ProcessControl& p, Dialogs& d, OperatorContext& o)
        : ftp(f)
        , processes(p)
        , dialogs(d)
        , operatorContext(o)
    {}
    FtpClient& ftp;
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
};

// The main window: the wait frame of the update run, and behind it the FTP file manager, the
// connection frame and the response log.
class Form1 final : public QMainWindow, private UpdateView {
    Q_OBJECT
public:
    explicit Form1(Form1Context context, QWidget* parent = nullptr);
    ~Form1() override;

    static QString captionFor(int major, int minor, int revision);

    // Connection (login, listing of the version folder, update)
    void Xconnect();
    void Xdown();
    void disconnectServer(); // Command3
    void EnumFiles();        // appends the working directory's names to List1

    // File manager
    void List1DoubleClick(); // open the current remote line
    void Command7Click();    // web space
    void Command4Click();    // download
    void Command5Click();    // upload
    void Command2Click();    // remote delete
    void Command6Click();    // remote create folder
    void Drive1Change();

    // Connection profiles ("\Profil.ini" in the application folder)
    void openProfileList();
    qint16 NbrLigne(const QString& Fichier) const;
    void Lire(const QString& Fichier);
    bool EcrireFin(const QString& Fichier, const QString& valeur);
    bool Modif(const QString& Fichier, const QString& Avaleur, const QString& Nvaleur, bool MS);
    static QString Rubriques(const QString& Valeurs, const QString& Indexe1, const QString& Indexe2);
    ProfileFile& profiles() { return *m_profiles; }
    void showInDevelopment(); // "En cour de Dev."
    void endApplication();

    // Request intake
    bool XMAJ();       // loads the request files of <app>/DOWN
    bool XmajOKDI();   // applies the validation files of <app>/DOWN
    void xdownOKDI();  // fetches the listed validation files into File1's folder, then applies them
    void xdownIMGDI(); // fetches the listed attachments into <app>/IMG; ends the program
    void runIntake();  // the whole scheduled intake (--intake)
    IntakeCounter IntakeCount;

    // Animation and transfer type
    void animationTick();       // Timer1
    void transferTypeChanged(); // Option1

    int TransferType = 0;
    int AnimationStep = 0;
    QString NameList;
    int LastAnswer = 0;

    FtpConnection& ftp() { return m_ftp; }
    const Form1Context& context() const { return m_context; }
    bool isBusy() const { return m_busy; }
    bool hasEnded() const { return m_ended; }

    // Controls, named as the window's design names them.
    QFrame* FRTRAIT = nullptr;
    QProgressBar* RB1 = nullptr;
    QLabel* LDI = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* LINFOWAIT1 = nullptr;
    QFrame* Line3 = nullptr;
    QLabel* Label1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command3 = nullptr;
    QGroupBox* Frame7 = nullptr;
    std::array<QRadioButton*, 3> Option1{};
    QGroupBox* Frame6 = nullptr;
    QLineEdit* Text4 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QLineEdit* Text2 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QLineEdit* Text3 = nullptr;
    QTimer* Timer1 = nullptr;
    std::array<QLabel*, 4> Picture1{};
    QLabel* Image1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QListWidget* List1 = nullptr;
    QToolButton* Command4 = nullptr;
    QToolButton* Command2 = nullptr;
    QToolButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QToolButton* Command5 = nullptr;
    DriveListBox* Drive1 = nullptr;
    DirListBox* Dir1 = nullptr;
    FileListBox* File1 = nullptr;
    QPushButton* CommandProfils = nullptr; // opens the profile list (file manager only)
    QGroupBox* Frame8 = nullptr;
    FileListBox* FileOKDI = nullptr;
    QListWidget* ListDI = nullptr;
    FileListBox* FileDI = nullptr;
    QLineEdit* TXTUFT8 = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Line2 = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void arrangeDesignLayout();
    void arrangeManagerLayout();
    void arrangeTabOrder();
    void Form_Load();
    void setConnectedState(bool connected);
    enum class ManagerStatus { Disconnected, Connecting, Connected };
    void showManagerStatus(ManagerStatus status); // the wait frame's lines in the file manager
    void showOnlyPicture(int index);
    void logAppended(const QString& text);
    void logReset(const QString& text);
    UpdateRun::Settings updateSettings() const;
    void stopIntake(const QString& why);
    void endProgram(int exitCode);
    void closeRunLog(); // the run's last line when the window goes before the run said how it ended
    void showRemoteList(const QStringList& lines);
    FtpResult beginLogin();
    QString loginFailureText(const QString& why) const;
    bool reportFileError(bool ok, const QString& error);
    bool reportIntakeError(bool ok, const QString& error);
    bool fetchRequestFiles(const QString& folder);
    QString currentRemoteLine() const;
    static QStringList linesOf(const QListWidget* list);
    static QList<int> selectedRowsOf(const QListWidget* list);

    // UpdateView
    void showRemoteList(const QStringList& lines, bool append) override;
    void showConnected() override;
    void setProgressMaximum(int maximum) override;
    void setProgressValue(int value) override;
    void setProgressVisible(bool visible) override;
    void setInfo(const QString& text) override;
    void setAnimationInterval(int milliseconds) override;
    void refreshLocalFiles() override;
    void setBusy(bool busy) override;
    void processEvents() override;

    Form1Context m_context;
    FtpConnection m_ftp;
    std::unique_ptr<ProfileFile> m_profiles;
    std::unique_ptr<Form1IntakeView> m_intakeView;
    std::unique_ptr<Clock> m_systemClock;
    std::unique_ptr<RunLog> m_runLog;
    QString m_lastIntakeError;
    int m_lastAttachments = 0;
    int m_lastExitCode = 0;
    QElapsedTimer m_lastEvents;
    std::optional<QString> m_infoBeforeRetry; // what the wait panel said before a retry's wait
    RetryWaitKeys* m_retryKeys = nullptr;
    qint64 m_startedMs = 0; // when the last connection began
    bool m_busy = false;
    bool m_connectQueued = false;
    ManagerStatus m_managerStatus = ManagerStatus::Disconnected;
    bool m_ended = false;
    QScrollArea* m_scroll = nullptr; // the file manager's body, scrolled on a small screen
};
