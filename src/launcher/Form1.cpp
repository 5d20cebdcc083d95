#include "Form1.h"
#include "platform/widgets/WindowControls.h"

#include "AnimationFrames.h"
#include "Form1IntakeView.h"
#include "RetryWaitKeys.h"
#include "UpdateRun.h"
#include "VersionDownload.h"
#include "ftpmanager/DirListBox.h"
#include "ftpmanager/DriveListBox.h"
#include "ftpmanager/FileListBox.h"
#include "ftpmanager/RemoteCommands.h"
#include "ftpmanager/SelectionConfirmation.h"
#include "ftpsession/CaseTwins.h"
#include "ftpsession/LocalTarget.h"
#include "ftpsession/RunLog.h"
#include "intake/IntakeDownload.h"
#include "intake/RequestLoader.h"
#include "intake/ValidationSync.h"
#include "login/OperatorContext.h"
#include "platform/ConsoleText.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"
#include "platform/clock/SystemClock.h"
#include "platform/widgets/ElidedNameDelegate.h"
#include "platform/widgets/KeyboardActivation.h"
#include "profiles/ProfileDialogs.h"
#include "profiles/ProfileFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <QDir>

#include <cstdio>
#include <iterator>
#include <utility>

using WindowControls::named;

namespace {

// Twips to pixels at the design's 15 twips per pixel.
constexpr int px(int twips)
{
    return twips / 15;
}

QFrame* line(QWidget* parent, const char* name)
{
    auto* l = named(new QFrame(parent), name);
    l->setFrameShape(QFrame::HLine);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

QToolButton* iconButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon, const QString& tip)
{
    auto* b = named(new QToolButton(parent), name);
    b->setIcon(WindowControls::withDisabledLook(parent->style()->standardIcon(icon), QSize(24, 24)));
    b->setIconSize(QSize(24, 24));
    b->setToolTip(tip);
    b->setAutoRaise(false);
    b->setMinimumSize(34, 34);
    return b;
}

const QString MultiSelectTip = QStringLiteral("Vous pouvez selectionner plusieurs fichiers avec CTRL");

} // namespace

Form1::Form1(Form1Context context, QWidget* parent)
    : QMainWindow(parent)
    , m_context(std::move(context))
    , m_ftp(m_context.ftp)
    , m_profiles(std::make_unique<ProfileFile>(m_context.appDir))
    , m_intakeView(std::make_unique<Form1IntakeView>(*this))
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
    buildControls();
    if (m_context.managerMode)
        arrangeManagerLayout();
    else
        arrangeDesignLayout();
    Text1->setMaximumBlockCount(static_cast<int>(FtpConnection::MaxLogLines));
    m_ftp.onLogAppended = [this](const QString& text) { logAppended(text); };
    m_ftp.onLogReset = [this](const QString& text) { logReset(text); };
    m_ftp.setStationFolder(m_context.appDir);
    // A busy server's retry is said in the wait panel, which then shows again what it showed.
    m_ftp.onRetryWait = [this](const QString& text) {
        if (text.isEmpty()) {
            m_retryKeys->setWaiting(false);
            if (m_infoBeforeRetry)
                LDI->setText(*std::exchange(m_infoBeforeRetry, std::nullopt));
            return;
        }
        if (!m_infoBeforeRetry)
            m_infoBeforeRetry = LDI->text();
        LDI->setText(text);
        m_retryKeys->setWaiting(true);
    };
    // Escape ends a retry wait: the operator need not sit out a dead server's whole retry budget.
    m_retryKeys = new RetryWaitKeys(
        [this] {
            m_ftp.cancelRetryWait();
            m_ftp.appendLog(QStringLiteral("Attente interrompue (Échap) : le refus du serveur est maintenu."));
        },
        this);
    for (const QString& problem : m_context.config.problems)
        m_ftp.appendLog(problem);
    // While the client waits on the network the window keeps painting and the animation turns;
    // clicks and keys wait for the operation to end (during a retry wait, Escape ends the wait).
    m_ftp.setWaitCallback([this] {
        QCoreApplication::processEvents(m_retryKeys->waiting() ? QEventLoop::AllEvents
                                                               : QEventLoop::ExcludeUserInputEvents);
    });
    Form_Load();
    if (m_context.openProfilesAtStart)
        QTimer::singleShot(0, this, &Form1::openProfileList);
    if (m_context.intakeRun)
        QTimer::singleShot(0, this, &Form1::runIntake);
}

Form1::~Form1()
{
    closeRunLog();
    m_ftp.setWaitCallback({});
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

void Form1::buildControls()
{
    auto* central = named(new QWidget(this), "centralWidget");
    setCentralWidget(central);

    // Wait frame
    FRTRAIT = named(new QFrame(central), "FRTRAIT");
    FRTRAIT->setFrameShape(QFrame::StyledPanel);
    FRTRAIT->setAutoFillBackground(true);
    Image2 = named(new QLabel(FRTRAIT), "Image2");
    Image2->setPixmap(AnimationFrames::banner(120, 120));
    Label1 = named(new QLabel(QStringLiteral("VORN LOG - UPDATE SOFTWARE"), FRTRAIT), "Label1");
    Label1->setFont(QFont(QStringLiteral("Century Gothic"), 15, QFont::Bold));
    Line3 = line(FRTRAIT, "Line3");
    LDI = named(new QLabel(QStringLiteral("Waiting connect FTP..."), FRTRAIT), "LDI");
    LDI->setFont(QFont(QStringLiteral("Arial"), 10));
    LINFOWAIT1 = named(new QLabel(QStringLiteral("Please wait..."), FRTRAIT), "LINFOWAIT1");
    LINFOWAIT1->setFont(QFont(QStringLiteral("Arial"), 9));
    RB1 = named(new QProgressBar(FRTRAIT), "RB1");
    RB1->setRange(0, 0);
    RB1->setValue(0);
    RB1->setMaximum(100);
    RB1->setTextVisible(false);

    {
        auto* grid = new QGridLayout(FRTRAIT);
        grid->setContentsMargins(8, 8, 8, 8);
        grid->addWidget(Image2, 0, 0, 5, 1, Qt::AlignTop);
        grid->addWidget(Label1, 0, 1);
        grid->addWidget(Line3, 1, 1);
        grid->addWidget(LDI, 2, 1);
        grid->addWidget(LINFOWAIT1, 3, 1);
        grid->addWidget(RB1, 4, 1);
        grid->setColumnStretch(1, 1);
    }

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    setStatusBar(StatusBar1);

    // Response log
    Text1 = named(new QPlainTextEdit(central), "Text1");
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont terminal(QStringLiteral("Terminal"));
    terminal.setStyleHint(QFont::TypeWriter);
    terminal.setFamilies({QStringLiteral("Terminal"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    Text1->setFont(terminal);

    // Connection frame
    Frame3 = named(new QGroupBox(QStringLiteral("Etat de connexion"), central), "Frame3");
    Command1 = named(new QPushButton(QStringLiteral("Connexion"), Frame3), "Command1");
    Command3 = named(new QPushButton(QStringLiteral("Déconnexion"), Frame3), "Command3");
    Command3->setVisible(false);
    Frame7 = named(new QGroupBox(QStringLiteral("Transfert Type"), Frame3), "Frame7");
    const QStringList types{QStringLiteral("Non Défini (Bin)"), QStringLiteral("ASCII"), QStringLiteral("BINARY")};
    auto* typeLayout = new QGridLayout(Frame7); // two columns: the manager fits a 1024 x 600 screen
    for (int i = 0; i < 3; ++i) {
        Option1[static_cast<size_t>(i)] = named(new QRadioButton(types[i], Frame7), "Option1");
        Option1[static_cast<size_t>(i)]->setProperty("index", i);
        typeLayout->addWidget(Option1[static_cast<size_t>(i)], i / 2, i % 2);
        connect(Option1[static_cast<size_t>(i)], &QRadioButton::clicked, this, &Form1::transferTypeChanged);
    }
    Option1[0]->setChecked(true);
    Frame6 = named(new QGroupBox(QStringLiteral("Adresse serveur FTP"), Frame3), "Frame6");
    Text4 = named(new QLineEdit(m_context.config.host, Frame6), "Text4");
    Frame4 = named(new QGroupBox(QStringLiteral("Utilisateur"), Frame3), "Frame4");
    Text2 = named(new QLineEdit(m_context.config.user, Frame4), "Text2");
    Frame5 = named(new QGroupBox(QStringLiteral("Mot de passe"), Frame3), "Frame5");
    Text3 = named(new QLineEdit(m_context.config.password, Frame5), "Text3");
    Text3->setEchoMode(QLineEdit::Password);
    Text3->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }")); // "*"
    for (auto [frame, box] : {std::pair<QGroupBox*, QLineEdit*>{Frame6, Text4}, {Frame4, Text2}, {Frame5, Text3}}) {
        auto* l = new QVBoxLayout(frame);
        l->setContentsMargins(6, 2, 6, 4);
        l->addWidget(box);
    }
    Timer1 = named(new QTimer(Frame3), "Timer1");
    Timer1->setInterval(400);
    connect(Timer1, &QTimer::timeout, this, &Form1::animationTick);
    for (int i = 0; i < 4; ++i) {
        Picture1[static_cast<size_t>(i)] = named(new QLabel(Frame3), "Picture1");
        Picture1[static_cast<size_t>(i)]->setProperty("index", i);
        Picture1[static_cast<size_t>(i)]->setPixmap(AnimationFrames::frame(i));
        Picture1[static_cast<size_t>(i)]->setVisible(i == 0);
    }
    CommandProfils = named(new QPushButton(QStringLiteral("Profils FTP..."), Frame3), "CommandProfils");
    CommandProfils->setToolTip(QStringLiteral("Choisir, créer ou modifier un profil de connexion"));
    CommandProfils->setVisible(m_context.managerMode);
    connect(CommandProfils, &QPushButton::clicked, this, &Form1::openProfileList);
    Image1 = named(new QLabel(Frame3), "Image1");
    Image1->setPixmap(AnimationFrames::banner(32, 32));
    {
        // The animation heads the frame; "Connexion" follows the three boxes it uses, so that the
        // keyboard meets them in the order they are filled in.
        auto* grid = new QGridLayout(Frame3);
        for (QLabel* p : Picture1)
            grid->addWidget(p, 0, 0, Qt::AlignLeft);
        grid->addWidget(Image1, 0, 1, Qt::AlignRight);
        grid->addWidget(Frame6, 1, 0, 1, 2);
        grid->addWidget(Frame4, 2, 0, 1, 2);
        grid->addWidget(Frame5, 3, 0, 1, 2);
        // One holder for the two buttons, only one of which shows: the rows below keep their
        // place when "Déconnexion" takes over.
        auto* holder = new QWidget(Frame3);
        auto* both = new QHBoxLayout(holder);
        both->setContentsMargins(0, 0, 0, 0);
        Command1->setParent(holder);
        Command3->setParent(holder);
        both->addWidget(Command1);
        both->addWidget(Command3);
        grid->addWidget(holder, 4, 0, 1, 2);
        grid->addWidget(Frame7, 5, 0, 1, 2);
        grid->addWidget(CommandProfils, 6, 0, 1, 2);
        grid->setRowStretch(7, 1);
    }
    connect(Command1, &QPushButton::clicked, this, &Form1::Xconnect);
    connect(Command3, &QPushButton::clicked, this, &Form1::disconnectServer);

    // Remote pane
    Frame2 = named(new QGroupBox(QStringLiteral("Distant"), central), "Frame2");
    List1 = named(new QListWidget(Frame2), "List1");
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List1->setToolTip(MultiSelectTip);
    new ElidedNameDelegate(List1, Qt::ElideMiddle);
    KeyboardActivation::openOnEnter(List1);
    Command4 = iconButton(Frame2, "Command4", QStyle::SP_ArrowDown, QStringLiteral("DownLoad"));
    Command2 = iconButton(Frame2, "Command2", QStyle::SP_TrashIcon,
                          QStringLiteral("Suppression d'un fichier ou d'un repertoire"));
    Command6 =
        iconButton(Frame2, "Command6", QStyle::SP_FileDialogNewFolder, QStringLiteral("Création d'un Répertoire"));
    Command7 = named(new QPushButton(QStringLiteral("Command7"), Frame2), "Command7");
    {
        auto* l = new QGridLayout(Frame2);
        l->addWidget(List1, 0, 0, 1, 5);
        l->addWidget(Command4, 1, 0);
        l->addWidget(Command2, 1, 1);
        l->addWidget(Command6, 1, 2);
        l->addWidget(Command7, 1, 4);
        l->setColumnStretch(3, 1);
    }

    // Local pane
    Frame1 = named(new QGroupBox(QStringLiteral("Local"), central), "Frame1");
    Command5 = iconButton(Frame1, "Command5", QStyle::SP_ArrowUp, QStringLiteral("UpLoad"));
    Drive1 = named(new DriveListBox(Frame1), "Drive1");
    Dir1 = named(new DirListBox(Frame1), "Dir1");
    File1 = named(new FileListBox(Frame1), "File1");
    File1->setToolTip(MultiSelectTip);
    {
        auto* l = new QGridLayout(Frame1);
        l->addWidget(Drive1, 0, 0, 1, 2);
        l->addWidget(Dir1, 1, 0);
        l->addWidget(File1, 1, 1);
        l->addWidget(Command5, 2, 0, Qt::AlignLeft);
    }
    connect(Dir1, &DirListBox::pathChanged, File1, &FileListBox::setPath);
    connect(Drive1, &QComboBox::activated, this, &Form1::Drive1Change);
    connect(List1, &QListWidget::itemDoubleClicked, this, &Form1::List1DoubleClick);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7Click);
    connect(Command4, &QToolButton::clicked, this, &Form1::Command4Click);
    connect(Command5, &QToolButton::clicked, this, &Form1::Command5Click);
    connect(Command2, &QToolButton::clicked, this, &Form1::Command2Click);
    connect(Command6, &QToolButton::clicked, this, &Form1::Command6Click);

    // Lists of the request intake
    Frame8 = named(new QGroupBox(central), "Frame8");
    FileOKDI = named(new FileListBox(Frame8), "FileOKDI");
    FileOKDI->setPattern(QStringLiteral("OKDI*.*"));
    ListDI = named(new QListWidget(Frame8), "ListDI");
    FileDI = named(new FileListBox(Frame8), "FileDI");
    FileDI->setPattern(QStringLiteral("DI*.*"));
    {
        auto* l = new QHBoxLayout(Frame8);
        l->addWidget(FileOKDI);
        l->addWidget(ListDI);
        l->addWidget(FileDI);
    }
    // The intake's working lists are never a stop for the keyboard.
    FileOKDI->setFocusPolicy(Qt::NoFocus);
    ListDI->setFocusPolicy(Qt::NoFocus);
    FileDI->setFocusPolicy(Qt::NoFocus);

    TXTUFT8 = named(new QLineEdit(QStringLiteral("Text5"), central), "TXTUFT8");
    TXTUFT8->setVisible(false);
    Line1 = line(central, "Line1");
    Line2 = line(central, "Line2");

    arrangeTabOrder();
    setConnectedState(false);
}

void Form1::arrangeTabOrder()
{
    // As the panes read: the connection frame top to bottom, the remote pane, the local pane, and
    // the response log last (it is only read).
    QWidget* chain[] = {Text4,      Text2,          Text3, Command1, Command3, Option1[0], Option1[1],
                        Option1[2], CommandProfils, List1, Command4, Command2, Command6,   Command7,
                        Drive1,     Dir1,           File1, Command5, Text1};
    for (size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void Form1::arrangeDesignLayout()
{
    // At its design size the window shows the wait frame and the status bar; everything else lies
    // beyond the visible client area.
    FRTRAIT->setGeometry(0, 0, px(8055), px(2475));
    const int below = px(2490) + 40;
    Frame3->setGeometry(0, below, 280, 420);
    Frame2->setGeometry(290, below, 300, 420);
    Frame1->setGeometry(600, below, 420, 420);
    Text1->setGeometry(0, below + 430, 1020, 160);
    Frame8->setGeometry(0, below + 600, 600, 120);
    Line1->setGeometry(0, below - 10, 1020, 2);
    Line2->setGeometry(0, below + 425, 1020, 2);
    TXTUFT8->setGeometry(620, below + 600, 100, 24);
    centralWidget()->setMinimumSize(1, 1);
    resize(px(8085), px(2490) + StatusBar1->sizeHint().height());
}

void Form1::arrangeManagerLayout()
{
    // The connection frame down the left; the two panes over the response log on the right. The
    // body scrolls when the screen is smaller than what its layout needs, so the window always
    // fits the screen it opens on; its first size fits a 1280 x 720 screen.
    QWidget* body = takeCentralWidget();
    m_scroll = named(new QScrollArea(this), "bodyScroll");
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidget(body);
    setCentralWidget(m_scroll);
    WindowControls::keepFocusInView(m_scroll);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(6, 6, 6, 6);
    FRTRAIT->setMaximumHeight(px(2475));
    Image2->setPixmap(AnimationFrames::banner(80, 80));
    layout->addWidget(FRTRAIT);
    layout->addWidget(Line1);
    auto* below = new QHBoxLayout;
    Frame3->setMinimumWidth(240);
    Frame3->setMaximumWidth(300);
    below->addWidget(Frame3);
    auto* right = new QVBoxLayout;
    auto* panes = new QHBoxLayout;
    panes->addWidget(Frame2, 2);
    panes->addWidget(Frame1, 3);
    right->addLayout(panes, 3);
    right->addWidget(Line2);
    Text1->setMinimumHeight(80);
    right->addWidget(Text1, 1);
    below->addLayout(right, 1);
    layout->addLayout(below, 1);
    layout->addWidget(Frame8);
    Frame8->setVisible(false);
    Line1->setVisible(false);
    Line2->setVisible(false);

    setMinimumSize(320, 240);
    resize(WindowControls::firstSize(this, QSize(1120, 640)));
}

void Form1::Form_Load()
{
    setWindowTitle(captionFor(m_context.versionMajor, m_context.versionMinor, m_context.versionRevision));
    TransferType = 0;
    if (!Dir1->setPath(m_context.appDir)) {
        // The application folder is unreachable: fall back to the shown drive.
        Dir1->setPath(Drive1->driveRoot());
    }
    File1->setPath(Dir1->path());
    Drive1->selectDriveOf(Dir1->path());
    // Only the update replaces the application; the other modes leave the operator's copy running.
    if (!m_context.managerMode && !m_context.intakeRun)
        m_context.processes.terminateByImageName(VersionDownload::applicationName());
}

void Form1::setConnectedState(bool connected)
{
    Command2->setEnabled(connected);
    Command6->setEnabled(connected);
    Command4->setEnabled(connected);
    Command5->setEnabled(connected);
    Command1->setVisible(!connected);
    Command3->setVisible(connected);
    showManagerStatus(connected ? ManagerStatus::Connected : ManagerStatus::Disconnected);
}

void Form1::showManagerStatus(ManagerStatus status)
{
    // The update run always waits for something; the file manager mostly waits for the operator.
    if (!m_context.managerMode)
        return;
    const bool attemptFailed = status == ManagerStatus::Disconnected && m_managerStatus == ManagerStatus::Connecting;
    m_managerStatus = status;
    RB1->setVisible(false); // an idle, empty bar only looked like an input box
    switch (status) {
    case ManagerStatus::Connecting:
        LDI->setText(QStringLiteral("Waiting connect FTP..."));
        LINFOWAIT1->setText(QStringLiteral("Please wait..."));
        break;
    case ManagerStatus::Connected:
        LDI->setText(QStringLiteral("Connecté à %1").arg(Text4->text()));
        LINFOWAIT1->setText(QStringLiteral("Prêt."));
        break;
    case ManagerStatus::Disconnected:
        LDI->setText(attemptFailed ? QStringLiteral("Connexion impossible à %1").arg(Text4->text())
                                   : QStringLiteral("Non connecté"));
        LINFOWAIT1->setText(QStringLiteral("Cliquez sur « Connexion » pour vous connecter."));
        break;
    }
}

void Form1::showOnlyPicture(int index)
{
    for (int i = 0; i < 4; ++i)
        Picture1[static_cast<size_t>(i)]->setVisible(i == index);
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

FtpResult Form1::beginLogin()
{
    m_busy = true;
    AnimationStep = 0;
    Timer1->start();
    showManagerStatus(ManagerStatus::Connecting);
    return m_ftp.login(Text4->text(), Text2->text(), Text3->text());
}

QString Form1::loginFailureText(const QString& why) const
{
    return UpdateRun::loginFailureText(Text4->text(), why);
}

void Form1::Xconnect()
{
    if (m_busy || m_ended)
        return;
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
    const FtpResult login = beginLogin();
    if (login.ok) {
        UpdateRun run(m_ftp, m_context.processes, m_context.dialogs, *this, *m_runLog);
        const std::optional<int> exitCode = run.afterLogin(updateSettings());
        m_busy = false;
        if (exitCode)
            endProgram(*exitCode);
        return;
    }

    const QString why = login.reply;
    m_runLog->outcome(loginFailureText(why));
    m_ftp.setLog(QString());
    m_ftp.closeHandles();
    setConnectedState(false);
    Timer1->stop();
    showOnlyPicture(0);
    List1->clear();
    m_busy = false;
    if (m_context.unattended)
        endProgram(1); // the run log has said why, on standard error too
}

UpdateRun::Settings Form1::updateSettings() const
{
    UpdateRun::Settings s;
    s.versionFolder = m_context.config.versionFolder();
    s.localFolder = File1->path();
    s.appFolder = m_context.appDir;
    s.transferType = TransferType;
    s.userName = OperatorContext::text(m_context.operatorContext.userName);
    s.startApplication = m_context.startApplication;
    s.update = !m_context.managerMode;
    s.skipUnchanged = m_context.config.skipUnchanged;
    s.sessions = m_context.config.sessions;
    s.staged = m_context.config.stagedUpdate;
    s.startCheck = m_context.config.startCheckSeconds;
    s.rolloutIgnored = m_context.config.rolloutIgnored;
    s.releaseKeys = m_context.config.releaseKeys();
    s.keyRefusal = m_context.config.keyRefusal;
    s.fleetReports = m_context.config.fleetReports;
    s.timeoutSeconds = m_context.config.timeoutSeconds;
    s.startedMs = m_startedMs;
    return s;
}

void Form1::showRemoteList(const QStringList& lines, bool append)
{
    if (!append)
        List1->clear();
    List1->addItems(lines);
}

void Form1::showConnected()
{
    setConnectedState(true);
}

void Form1::disconnectServer()
{
    m_ftp.disconnect();
    setConnectedState(false);
    Timer1->stop();
    Picture1[0]->setVisible(true);
    List1->clear();
}

void Form1::EnumFiles()
{
    List1->addItems(m_ftp.EnumFiles());
}

void Form1::Xdown()
{
    if (m_busy || m_ended)
        return;
    m_busy = true;
    NameList.clear();
    UpdateRun run(m_ftp, m_context.processes, m_context.dialogs, *this, *m_runLog);
    const int exitCode = run.download(linesOf(List1), updateSettings());
    m_busy = false;
    endProgram(exitCode);
}

void Form1::endProgram(int exitCode)
{
    m_ended = true;
    m_lastExitCode = exitCode;
    Timer1->stop();
    if (m_context.endProgram)
        m_context.endProgram(exitCode);
    else
        QCoreApplication::exit(exitCode);
}

QStringList Form1::linesOf(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QList<int> Form1::selectedRowsOf(const QListWidget* list)
{
    QList<int> rows;
    for (const QListWidgetItem* item : list->selectedItems())
        rows << list->row(item);
    return rows;
}

void Form1::showRemoteList(const QStringList& lines)
{
    showRemoteList(lines, false);
}

void Form1::List1DoubleClick()
{
    const QListWidgetItem* item = List1->currentItem();
    const QString line = item ? item->text() : QString();
    if (line.isEmpty())
        return;
    showRemoteList(RemoteCommands(m_ftp, m_context.dialogs).open(line));
}

void Form1::Command7Click()
{
    showRemoteList(RemoteCommands(m_ftp, m_context.dialogs).goToWebspace(m_context.config.webspace));
}

void Form1::Command4Click()
{
    const QStringList lines = linesOf(List1);
    const QList<int> rows = selectedRowsOf(List1);
    LastAnswer = SelectionConfirmation::ask(
        m_context.dialogs, lines, rows,
        QStringLiteral("Etes vous sur de vouloir transférer le fichier distant suivant vers le disque dur :"),
        QStringLiteral("Etes vous sur de vouloir transférer les fichiers distant suivant vers le disque dur :"),
        NameList);
    Timer1->setInterval(100);
    if (LastAnswer == AnswerYes) {
        RemoteCommands(m_ftp, m_context.dialogs).download(lines, rows, File1->path(), TransferType);
        File1->refresh();
    }
    Timer1->setInterval(400);
}

void Form1::Command5Click()
{
    if (!File1->fileName().isEmpty()) {
        const QStringList files = linesOf(File1);
        const QList<int> rows = selectedRowsOf(File1);
        LastAnswer = SelectionConfirmation::ask(
            m_context.dialogs, files, rows,
            QStringLiteral("Etes vous sur de vouloir transférer le fichier local suivant vers le site distant :"),
            QStringLiteral("Etes vous sur de vouloir transférer les fichiers locaux suivant vers le site distant :"),
            NameList);
        Timer1->setInterval(100);
        if (LastAnswer == AnswerYes)
            showRemoteList(RemoteCommands(m_ftp, m_context.dialogs).upload(File1->path(), files, rows, TransferType));
    }
    Timer1->setInterval(400);
}

void Form1::Command2Click()
{
    const QListWidgetItem* current = List1->currentItem();
    if (current && !current->text().isEmpty()) {
        const QStringList lines = linesOf(List1);
        const QList<int> rows = selectedRowsOf(List1);
        LastAnswer = SelectionConfirmation::ask(
            m_context.dialogs, lines, rows,
            QStringLiteral("Etes vous sur de vouloir supprimer le fichier ou répertoire distant suivant :"),
            QStringLiteral("Etes vous sur de vouloir supprimer les fichiers ou répertoires distant suivant :"),
            NameList);
        Timer1->setInterval(100);
        if (LastAnswer == AnswerYes)
            showRemoteList(RemoteCommands(m_ftp, m_context.dialogs).remove(lines, rows));
    }
    Timer1->setInterval(400);
}

void Form1::Command6Click()
{
    const QString name = m_context.dialogs.input(QStringLiteral("Veuillez entrer le nom du nouveau répertoire :"),
                                                 QStringLiteral("Nouveau répertoire"), QString());
    if (name.isEmpty())
        return;
    showRemoteList(RemoteCommands(m_ftp, m_context.dialogs).createFolder(name));
}

void Form1::Drive1Change()
{
    if (Dir1->setPath(Drive1->driveRoot()))
        return;
    MessageRequest r;
    r.text = QStringLiteral("Lecteur ") + Drive1->drive().toUpper() + QStringLiteral(" inaccessible");
    r.title = QStringLiteral("Erreur");
    r.icon = DialogIcon::Critical;
    m_context.dialogs.message(r);
    Drive1->selectDriveOf(Dir1->path());
}

void Form1::openProfileList()
{
    ::openProfileList(
        *m_profiles, m_context.dialogs,
        [this](const QString& server, const QString& login, const QString& password) {
            Text4->setText(server);
            Text2->setText(login);
            Text3->setText(password);
        },
        this);
}

bool Form1::reportFileError(bool ok, const QString& error)
{
    if (!ok && !error.isEmpty())
        m_context.dialogs.inform(error, profileMessageTitle(), DialogIcon::Critical);
    return ok;
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
    return reportFileError(m_profiles->EcrireFin(Fichier, valeur, &error), error);
}

bool Form1::Modif(const QString& Fichier, const QString& Avaleur, const QString& Nvaleur, bool MS)
{
    QString error;
    return reportFileError(m_profiles->Modif(Fichier, Avaleur, Nvaleur, MS, &error), error);
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

bool Form1::reportIntakeError(bool ok, const QString& error)
{
    if (!ok)
        m_lastIntakeError = error;
    if (!ok && !error.isEmpty()) {
        MessageRequest r;
        r.text = error;
        r.title = IntakeDownload::title();
        r.icon = DialogIcon::Critical;
        m_context.dialogs.message(r);
    }
    return ok;
}

QString Form1::currentRemoteLine() const
{
    const QListWidgetItem* item = List1->currentItem();
    return item ? item->text() : QString();
}

bool Form1::XMAJ()
{
    QString error;
    RequestLoader loader(m_context.appDir, IntakeCount, *m_intakeView, *m_context.clock);
    const bool ok = loader.XMAJ(error);
    ListDI->clear();
    ListDI->addItems(loader.ListDI());
    return reportIntakeError(ok, error);
}

bool Form1::XmajOKDI()
{
    QString error;
    ValidationSync sync(m_context.appDir, IntakeCount, *m_intakeView);
    return reportIntakeError(sync.XmajOKDI(error), error);
}

void Form1::xdownOKDI()
{
    ValidationSync sync(m_context.appDir, IntakeCount, *m_intakeView);
    IntakeDownload download(m_ftp, sync, m_context.processes, m_context.dialogs, *m_intakeView, *m_context.clock,
                            m_context.appDir);
    download.setSessions(m_context.config.sessions);
    const IntakeDownload::Outcome outcome =
        download.xdownOKDI(linesOf(List1), File1->path(), currentRemoteLine(), TransferType);
    if (outcome.remoteListRefreshed)
        showRemoteList(outcome.remoteList);
    if (!reportIntakeError(outcome.ok, outcome.error) && m_context.intakeRun)
        stopIntake(outcome.error);
}

void Form1::xdownIMGDI()
{
    ValidationSync sync(m_context.appDir, IntakeCount, *m_intakeView);
    IntakeDownload download(m_ftp, sync, m_context.processes, m_context.dialogs, *m_intakeView, *m_context.clock,
                            m_context.appDir);
    download.setSessions(m_context.config.sessions);
    const IntakeDownload::Outcome outcome = download.xdownIMGDI(linesOf(List1), currentRemoteLine(), TransferType);
    if (outcome.remoteListRefreshed)
        showRemoteList(outcome.remoteList);
    m_lastAttachments = outcome.count;
    if (!reportIntakeError(outcome.ok, outcome.error)) {
        stopIntake(outcome.error);
        return;
    }
    if (outcome.endProgram)
        endProgram(outcome.exitCode);
}

bool Form1::fetchRequestFiles(const QString& folder)
{
    if (!QDir().mkpath(folder)) {
        reportIntakeError(
            false,
            QStringLiteral("Le dossier des DI « %1 » ne peut pas être créé.").arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    // Request files stay on the server: a later loading skips what the table already holds.
    const QStringList lines = linesOf(List1);
    const CaseTwins twins(lines);
    for (const QString& name : lines) {
        if (!name.startsWith(QLatin1String("DI")))
            continue;
        QString path;
        QString why;
        if (!twins.admits(name, why) || !LocalTarget::resolve(folder, name, path, why)) {
            m_ftp.appendLog(why);
            continue;
        }
        LDI->setText(name);
        QCoreApplication::processEvents();
        m_ftp.getFile(name, path, TransferType);
    }
    return true;
}

void Form1::stopIntake(const QString& why)
{
    m_runLog->outcome(QStringLiteral("intake arrêté : ") + why);
    m_busy = false;
    endProgram(3);
}

void Form1::runIntake()
{
    if (m_busy || m_ended)
        return;
    // Which database the run writes to, before anything is written to it.
    const QString database = RequestLoader::databaseInUse(m_context.appDir);
    writeText(stdout, database + QLatin1Char('\n'));
    m_runLog->write(database);

    const FtpResult login = beginLogin();
    if (!login.ok) {
        const QString why = login.reply;
        m_ftp.closeHandles();
        m_busy = false;
        m_runLog->outcome(loginFailureText(why));
        if (!m_context.unattended)
            reportIntakeError(false, loginFailureText(why));
        endProgram(1);
        return;
    }
    setConnectedState(true);
    const FtpResult inFolder = m_ftp.changeDirectory(m_context.config.intakeRemoteDir);
    if (inFolder.ok)
        showRemoteList(m_ftp.EnumFiles());
    if (!inFolder.ok || !m_ftp.lastListing().ok) {
        // The login folder is not the request folder, and a folder that cannot be listed tells
        // nothing: nothing may be fetched or deleted.
        const QString error =
            QStringLiteral("Le dossier des DI « %1 » est inaccessible sur le serveur : rien n'a été "
                           "récupéré ni supprimé.\nRéponse du serveur : %2")
                .arg(m_context.config.intakeRemoteDir, inFolder.ok ? m_ftp.lastListing().reply : inFolder.reply);
        reportIntakeError(false, error);
        stopIntake(error);
        return;
    }

    const QString requestFolder = QDir(m_context.appDir).filePath(QStringLiteral("DOWN"));
    if (!fetchRequestFiles(requestFolder) || !XMAJ()) {
        stopIntake(m_lastIntakeError);
        return;
    }
    const int loaded = IntakeCount.value();
    // The first line current: both downloads clean the server of what they fetched.
    Dir1->setPath(requestFolder);
    File1->setPath(requestFolder);
    List1->setCurrentRow(0);
    m_busy = false;
    xdownOKDI();
    if (m_ended)
        return;
    const int validated = IntakeCount.value();
    List1->setCurrentRow(0);
    xdownIMGDI();
    if (m_lastExitCode == 0)
        m_runLog->outcome(
            QStringLiteral("intake terminé, %1 DI enregistrée(s), %2 validation(s), %3 pièce(s) jointe(s).")
                .arg(loaded)
                .arg(validated)
                .arg(m_lastAttachments));
}

void Form1::animationTick()
{
    if (AnimationStep == 4) {
        Picture1[3]->setVisible(false);
        Picture1[0]->setVisible(true);
        AnimationStep = 1;
        return;
    }
    Picture1[static_cast<size_t>(AnimationStep == 0 ? 3 : AnimationStep - 1)]->setVisible(false);
    Picture1[static_cast<size_t>(AnimationStep)]->setVisible(true);
    ++AnimationStep;
}

void Form1::transferTypeChanged()
{
    for (int i = 0; i < 3; ++i)
        if (Option1[static_cast<size_t>(i)]->isChecked())
            TransferType = i;
}

void Form1::logAppended(const QString& text)
{
    m_runLog->write(text);
    // Nobody watches an unattended run: the window's copy would only cost layout work.
    if (m_context.unattended)
        return;
    QTextCursor cursor(Text1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QLatin1Char('\n') + text);
    // Caret at the end: the log scrolls to its last line.
    Text1->moveCursor(QTextCursor::End);
}

void Form1::logReset(const QString& text)
{
    if (!m_context.unattended)
        Text1->setPlainText(text);
}

void Form1::setProgressMaximum(int maximum)
{
    RB1->setMaximum(maximum);
}

void Form1::setProgressValue(int value)
{
    RB1->setValue(value);
}

void Form1::setProgressVisible(bool visible)
{
    RB1->setVisible(visible);
}

void Form1::setInfo(const QString& text)
{
    LDI->setText(text);
}

void Form1::setAnimationInterval(int milliseconds)
{
    Timer1->setInterval(milliseconds);
}

void Form1::refreshLocalFiles()
{
    File1->refresh();
}

void Form1::setBusy(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Form1::processEvents()
{
    // A download asks for this twice per file; painting the window a thousand times a second
    // would cost more than the small files themselves. Twenty-five times a second keeps it live
    // (a transfer that stalls is painted by the client's own waits).
    if (m_lastEvents.isValid() && m_lastEvents.elapsed() < 40)
        return;
    QCoreApplication::processEvents();
    m_lastEvents.start();
}
