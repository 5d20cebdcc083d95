#include "Form1.h"

#include "ConnectionPane.h"
#include "Form1IntakeView.h"
#include "Form1Layout.h"
#include "Form1UpdateView.h"
#include "IntakeLists.h"
#include "ResponseLog.h"
#include "RetryWaitKeys.h"
#include "WaitPanel.h"
#include "fleet/gui/FleetWindow.h"
#include "ftpmanager/FileManagerCommands.h"
#include "ftpmanager/gui/LocalPane.h"
#include "ftpmanager/gui/RemotePane.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/RunLog.h"
#include "launcher/IntakeRun.h"
#include "launcher/UpdateRun.h"
#include "launcher/VersionDownload.h"
#include "login/OperatorContext.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"
#include "platform/clock/SystemClock.h"
#include "platform/widgets/KeyboardActivation.h"
#include "platform/widgets/WindowControls.h"
#include "profiles/ProfileFile.h"
#include "profiles/gui/ProfileDialogs.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QStatusBar>
#include <QTimer>

using WindowControls::named;

Form1::Form1(Form1Context context, QWidget* parent)
    : QMainWindow(parent)
    , m_context(std::move(context))
    , m_ftp(m_context.ftp)
    , m_profiles(std::make_unique<ProfileFile>(m_context.appDir))
    , m_systemClock(std::make_unique<SystemClock>())
{
    if (!m_context.clock)
        m_context.clock = m_systemClock.get();
    m_runLog = std::make_unique<RunLog>(QDir(m_context.appDir).filePath(RunLog::fileName()), *m_context.clock,
                                        m_context.unattended);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("VORN - UPDATE DES VERSIONS"));
    setWindowIcon(WindowControls::programIcon());
    KeyboardActivation::install();
    buildPanes();
    if (m_context.managerMode)
        Form1Layout::arrangeManager(*this, m_panes);
    else
        Form1Layout::arrangeDesign(*this, m_panes);
    connectSession();
    Form_Load();
    if (m_context.openProfilesAtStart)
        QTimer::singleShot(0, this, &Form1::openProfileList);
    if (m_context.intakeRun)
        QTimer::singleShot(0, this, &Form1::runIntake);
}

Form1::~Form1()
{
    closeRunLog();
    // The session outlives the window.
    m_ftp.setWaitCallback({});
    m_ftp.onLogAppended = nullptr;
    m_ftp.onLogReset = nullptr;
    m_ftp.onRetryWait = nullptr;
}

void Form1::closeEvent(QCloseEvent* event)
{
    closeRunLog();
    QMainWindow::closeEvent(event);
}

void Form1::closeRunLog()
{
    if (!m_runLog || !m_runLog->awaitsOutcome())
        return;
    m_runLog->outcome(m_context.managerMode
                          ? QStringLiteral("gestionnaire de fichiers fermé par l'opérateur")
                          : QStringLiteral("fenêtre fermée par l'opérateur avant la fin de la mise à jour"));
}

QString Form1::captionFor(int major, int minor, int revision)
{
    return QStringLiteral("VORN - Mise à jour Versions - V.%1.%2.%3").arg(major).arg(minor).arg(revision);
}

void Form1::buildPanes()
{
    auto* central = named(new QWidget(this), "centralWidget");
    setCentralWidget(central);
    setStatusBar(named(new QStatusBar(this), "StatusBar1"));
    const AppConfig& config = m_context.config;
    m_panes.window = this;
    m_panes.wait = new WaitPanel(central);
    // Made in the order the keyboard meets them.
    m_panes.connection =
        new ConnectionPane({config.host, config.user, config.password}, m_context.managerMode, central);
    m_panes.remote = new RemotePane(central);
    m_panes.local = new LocalPane(central);
    m_panes.log = new ResponseLog(static_cast<int>(FtpConnection::MaxLogLines), central);
    m_panes.intake = new IntakeLists(central);

    connect(m_panes.connection, &ConnectionPane::connectClicked, this, &Form1::Xconnect);
    connect(m_panes.connection, &ConnectionPane::disconnectClicked, this, &Form1::disconnectServer);
    connect(m_panes.connection, &ConnectionPane::profilesClicked, this, &Form1::openProfileList);
    connect(m_panes.connection, &ConnectionPane::fleetClicked, this, &Form1::openFleet);
    connect(m_panes.remote, &RemotePane::openRequested, this, &Form1::List1DoubleClick);
    connect(m_panes.remote, &RemotePane::webspaceClicked, this, &Form1::Command7Click);
    connect(m_panes.remote, &RemotePane::downloadClicked, this, &Form1::Command4Click);
    connect(m_panes.remote, &RemotePane::deleteClicked, this, &Form1::Command2Click);
    connect(m_panes.remote, &RemotePane::createFolderClicked, this, &Form1::Command6Click);
    connect(m_panes.local, &LocalPane::uploadClicked, this, &Form1::Command5Click);
    connect(m_panes.local, &LocalPane::driveChosen, this, &Form1::Drive1Change);

    const auto connected = [this] { setConnectedState(true); };
    m_updateView = std::make_unique<Form1UpdateView>(m_panes, connected);
    m_intakeView = std::make_unique<Form1IntakeView>(m_panes, connected);
    m_intake = std::make_unique<IntakeRun>(
        m_ftp, m_context.processes, m_context.dialogs, *m_intakeView, *m_runLog, *m_context.clock,
        IntakeRun::Settings{m_context.appDir, config.intakeRemoteDir, config.sessions, m_context.unattended});
    m_commands = std::make_unique<FileManagerCommands>(
        m_ftp, m_context.dialogs, [this](int milliseconds) { m_panes.connection->setAnimationInterval(milliseconds); });
    Form1Layout::arrangeTabOrder(*this, m_panes);
    setConnectedState(false);
}

void Form1::connectSession()
{
    m_ftp.onLogAppended = [this](const QString& text) {
        m_runLog->write(text);
        // Nobody watches an unattended run: the window's copy would only cost layout work.
        if (!m_context.unattended)
            m_panes.log->appendLine(text);
    };
    m_ftp.onLogReset = [this](const QString& text) {
        if (!m_context.unattended)
            m_panes.log->setPlainText(text);
    };
    m_ftp.setStationFolder(m_context.appDir);
    RetryWaitKeys::watch(m_ftp, *m_panes.wait, this);
    for (const QString& problem : m_context.config.problems)
        m_ftp.appendLog(problem);
}

void Form1::Form_Load()
{
    setWindowTitle(captionFor(m_context.versionMajor, m_context.versionMinor, m_context.versionRevision));
    m_panes.local->start(m_context.appDir);
    // Only the update replaces the application; the other modes leave the operator's copy running.
    if (!m_context.managerMode && !m_context.intakeRun)
        m_context.processes.terminateByImageName(VersionDownload::applicationName());
}

void Form1::setConnectedState(bool connected)
{
    m_panes.remote->setConnected(connected);
    m_panes.local->setConnected(connected);
    m_panes.connection->showConnected(connected);
    showManagerStatus(connected ? WaitPanel::Connection::Connected : WaitPanel::Connection::Disconnected);
}

void Form1::showManagerStatus(WaitPanel::Connection state)
{
    // The update run always waits for something; the file manager mostly waits for the operator.
    if (m_context.managerMode)
        m_panes.wait->showConnection(state, m_panes.connection->server());
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_context.managerMode || m_context.intakeRun || m_ended)
        return;
    // Pending events run first (the window paints), then the connection starts. Resizes that
    // arrive while a connection or an update runs are not queued again.
    if (m_connectQueued || m_busy)
        return;
    m_connectQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_connectQueued = false;
        if (!m_ended)
            Xconnect();
    });
}

void Form1::Xconnect()
{
    if (m_busy || m_ended)
        return;
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
    m_busy = true;
    m_panes.connection->startAnimation();
    showManagerStatus(WaitPanel::Connection::Connecting);
    UpdateRun run(m_ftp, m_context.processes, m_context.dialogs, *m_updateView, *m_runLog);
    const UpdateRun::Result result = run.run(m_panes.connection->credentials(), updateSettings());
    m_busy = false;
    if (result.loggedIn) {
        if (result.exitCode)
            endProgram(*result.exitCode);
        return;
    }
    // The operator may try again; the run log has said why.
    m_ftp.setLog(QString());
    setConnectedState(false);
    m_panes.connection->stopAnimation();
    m_panes.connection->showFirstPictureOnly();
    m_panes.remote->clear();
    if (m_context.unattended)
        endProgram(1); // the run log has said why, on standard error too
}

UpdateSettings Form1::updateSettings() const
{
    UpdateSettings s = UpdateRun::settingsFor(m_context.config, m_context.appDir);
    s.localFolder = m_panes.local->folder();
    s.transferType = m_panes.connection->transferType();
    s.userName = OperatorContext::text(m_context.operatorContext.userName);
    s.startApplication = m_context.startApplication;
    s.update = !m_context.managerMode;
    s.startedMs = m_startedMs;
    return s;
}

void Form1::disconnectServer()
{
    m_ftp.disconnect();
    setConnectedState(false);
    m_panes.connection->stopAnimation();
    m_panes.connection->showFirstPictureOnly();
    m_panes.remote->clear();
}

void Form1::Xdown()
{
    if (m_busy || m_ended)
        return;
    m_busy = true;
    UpdateRun run(m_ftp, m_context.processes, m_context.dialogs, *m_updateView, *m_runLog);
    const int exitCode = run.download(m_panes.remote->lines(), updateSettings());
    m_busy = false;
    endProgram(exitCode);
}

void Form1::endProgram(int exitCode)
{
    m_ended = true;
    m_panes.connection->stopAnimation();
    if (m_context.endProgram)
        m_context.endProgram(exitCode);
    else
        QCoreApplication::exit(exitCode);
}

void Form1::showRemoteList(const std::optional<QStringList>& lines)
{
    if (lines)
        m_panes.remote->showList(*lines);
}

void Form1::List1DoubleClick()
{
    showRemoteList(m_commands->open(m_panes.remote->currentLine()));
}

void Form1::Command7Click()
{
    showRemoteList(m_commands->goToWebspace(m_context.config.webspace));
}

void Form1::Command4Click()
{
    const RemotePane& remote = *m_panes.remote;
    if (m_commands->download({remote.lines(), remote.selectedRows()}, m_panes.local->folder(),
                             m_panes.connection->transferType()))
        m_panes.local->refresh();
}

void Form1::Command5Click()
{
    const LocalPane& local = *m_panes.local;
    showRemoteList(m_commands->upload({local.files(), local.selectedRows()}, local.currentFile(), local.folder(),
                                      m_panes.connection->transferType()));
}

void Form1::Command2Click()
{
    const RemotePane& remote = *m_panes.remote;
    showRemoteList(m_commands->remove({remote.lines(), remote.selectedRows()}, remote.currentLine()));
}

void Form1::Command6Click()
{
    showRemoteList(m_commands->createFolder());
}

void Form1::Drive1Change()
{
    const QString unreadable = m_panes.local->followChosenDrive();
    if (unreadable.isEmpty())
        return;
    MessageRequest r;
    r.text = unreadable;
    r.title = QStringLiteral("Erreur");
    r.icon = DialogIcon::Critical;
    m_context.dialogs.message(r);
}

void Form1::openProfileList()
{
    ::openProfileList(
        *m_profiles, m_context.dialogs,
        [this](const QString& server, const QString& login, const QString& password) {
            m_panes.connection->setCredentials({server, login, password});
        },
        this);
}

void Form1::openFleet()
{
    FleetWindow window(m_context.readFleet, this);
    QTimer::singleShot(0, &window, &FleetWindow::refresh); // the window is up while the folder is read
    window.exec();
}

qint16 Form1::NbrLigne(const QString& Fichier) const
{
    return m_profiles->NbrLigne(Fichier);
}

void Form1::Lire(const QString& Fichier)
{
    m_profiles->Lire(Fichier);
}

bool Form1::EcrireFin(const QString& Fichier, const QString& valeur)
{
    QString error;
    return reportProfileError(m_profiles->EcrireFin(Fichier, valeur, &error), error);
}

bool Form1::Modif(const QString& Fichier, const QString& Avaleur, const QString& Nvaleur, bool MS)
{
    QString error;
    return reportProfileError(m_profiles->Modif(Fichier, Avaleur, Nvaleur, MS, &error), error);
}

bool Form1::reportProfileError(bool ok, const QString& error)
{
    if (!ok && !error.isEmpty())
        m_context.dialogs.inform(error, profileMessageTitle(), DialogIcon::Critical);
    return ok;
}

QString Form1::Rubriques(const QString& Valeurs, const QString& Indexe1, const QString& Indexe2)
{
    return ProfileFile::Rubriques(Valeurs, Indexe1, Indexe2);
}

void Form1::showInDevelopment()
{
    m_context.dialogs.inform(QStringLiteral("En cour de Dev."), profileMessageTitle());
}

void Form1::endApplication()
{
    endProgram(0);
}

bool Form1::XMAJ()
{
    return m_intake->XMAJ();
}

bool Form1::XmajOKDI()
{
    return m_intake->XmajOKDI();
}

void Form1::xdownOKDI()
{
    if (const std::optional<int> exitCode = m_intake->xdownOKDI())
        endProgram(*exitCode);
}

void Form1::xdownIMGDI()
{
    if (const std::optional<int> exitCode = m_intake->xdownIMGDI())
        endProgram(*exitCode);
}

void Form1::runIntake()
{
    if (m_busy || m_ended)
        return;
    m_busy = true;
    m_panes.connection->startAnimation();
    const int exitCode = m_intake->run(m_panes.connection->credentials(), m_panes.connection->transferType());
    m_busy = false;
    endProgram(exitCode);
}
