#include "common/Controls.h"
#include "common/FakeProcessControl.h"
#include "common/FtpTestServer.h"
#include "common/ModalAnswer.h"
#include "common/ScriptedDialogs.h"
#include "common/TabStops.h"
#include "ftpmanager/gui/FileListBox.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/RunLog.h"
#include "launcher/VersionDownload.h"
#include "launcher/gui/ConnectionPane.h"
#include "launcher/gui/Form1.h"
#include "login/OperatorContext.h"
#include "platform/ftp/QtFtpClient.h"
#include "profiles/gui/Form2.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <optional>

namespace {

const QString VersionFolder = QStringLiteral("www/DOWN/VERSIONVORN/");

// Counts what the window opens and closes, and passes everything on to a real client.
class CountingFtpClient final : public FtpClient {
public:
    explicit CountingFtpClient(int timeoutMs)
        : m_real(timeoutMs)
    {}
    int openConnections = 0;

    FtpHandle open(const QString& a) override { return m_real.open(a); }
    FtpHandle connect(FtpHandle s, const QString& h, quint16 p, const QString& u, const QString& pw, bool pa) override
    {
        const FtpHandle c = m_real.connect(s, h, p, u, pw, pa);
        if (c)
            m_connections << c;
        openConnections = static_cast<int>(m_connections.size());
        return c;
    }
    bool currentDirectory(FtpHandle c, QString& d) override { return m_real.currentDirectory(c, d); }
    bool setCurrentDirectory(FtpHandle c, const QString& d) override { return m_real.setCurrentDirectory(c, d); }
    FtpHandle findFirstFile(FtpHandle c, const QString& p, FtpFindData& d) override
    {
        return m_real.findFirstFile(c, p, d);
    }
    bool findNextFile(FtpHandle f, FtpFindData& d) override { return m_real.findNextFile(f, d); }
    bool getFile(FtpHandle c, const QString& r, const QString& l, bool f, int t) override
    {
        return m_real.getFile(c, r, l, f, t);
    }
    bool putFile(FtpHandle c, const QString& l, const QString& r, int t) override { return m_real.putFile(c, l, r, t); }
    bool deleteFile(FtpHandle c, const QString& n) override { return m_real.deleteFile(c, n); }
    bool removeDirectory(FtpHandle c, const QString& n) override { return m_real.removeDirectory(c, n); }
    bool createDirectory(FtpHandle c, const QString& n) override { return m_real.createDirectory(c, n); }
    bool closeHandle(FtpHandle h) override
    {
        m_connections.removeAll(h);
        openConnections = static_cast<int>(m_connections.size());
        return m_real.closeHandle(h);
    }
    QString lastResponse() const override { return m_real.lastResponse(); }
    quint32 lastError() const override { return m_real.lastError(); }

private:
    QtFtpClient m_real;
    QList<FtpHandle> m_connections;
};

// One launcher run: a served version folder, an application folder, the window and its fakes.
struct Run {
    explicit Run(const QStringList& faults = {}, int timeoutMs = 3000)
        : server(faults)
        , ftp(timeoutMs)
        , session(ftp)
    {}

    bool start() { return server.start(); }
    bool staged = true;

    Form1& form(bool managerMode = false, bool unattended = false, const QString& password = {})
    {
        Form1Context c(session, processes, dialogs, operatorContext);
        c.config.host = server.host();
        c.config.user = FtpTestServer::user();
        c.config.password = password.isEmpty() ? FtpTestServer::password() : password;
        c.config.versionRoot = QStringLiteral("www");
        c.config.stagedUpdate = staged;
        c.appDir = app.path();
        c.versionMajor = 2;
        c.versionMinor = 10;
        c.versionRevision = 0;
        c.managerMode = managerMode;
        c.unattended = unattended;
        c.endProgram = [this](int code) { exitCode = code; };
        window = std::make_unique<Form1>(std::move(c));
        return *window;
    }

    QStringList remoteList() const
    {
        QStringList out;
        for (int i = 0; i < control<QListWidget>(*window, "List1")->count(); ++i)
            out << control<QListWidget>(*window, "List1")->item(i)->text();
        return out;
    }

    QByteArray local(const QString& name) const
    {
        QFile f(app.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    void putLocal(const QString& name, const QByteArray& content) const
    {
        QFile f(app.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
    }

    FtpTestServer server;
    CountingFtpClient ftp;
    FtpConnection session;
    FakeProcessControl processes;
    ScriptedDialogs dialogs;
    OperatorContext operatorContext;
    QTemporaryDir app;
    std::unique_ptr<Form1> window;
    std::optional<int> exitCode;
};

int visiblePicture(const Form1& f, int* visibleCount)
{
    int index = -1;
    *visibleCount = 0;
    for (int i = 0; i < 4; ++i) {
        if (!element<QLabel>(f, "Picture1", i)->isHidden()) {
            index = i;
            ++*visibleCount;
        }
    }
    return index;
}

bool managerButtonsEnabled(const Form1& f)
{
    return control<QToolButton>(f, "Command2")->isEnabled() && control<QToolButton>(f, "Command4")->isEnabled() &&
           control<QToolButton>(f, "Command5")->isEnabled() && control<QToolButton>(f, "Command6")->isEnabled();
}

bool managerButtonsDisabled(const Form1& f)
{
    return !control<QToolButton>(f, "Command2")->isEnabled() && !control<QToolButton>(f, "Command4")->isEnabled() &&
           !control<QToolButton>(f, "Command5")->isEnabled() && !control<QToolButton>(f, "Command6")->isEnabled();
}

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    void loadSequence()
    {
        QCOMPARE(Form1::captionFor(2, 10, 0), QStringLiteral("VORN - Mise à jour Versions - V.2.10.0"));
        QCOMPARE(Form1::captionFor(1, 0, 23), QStringLiteral("VORN - Mise à jour Versions - V.1.0.23"));

        Run run;
        Form1& f = run.form();
        QCOMPARE(f.windowTitle(), QStringLiteral("VORN - Mise à jour Versions - V.2.10.0"));
        QCOMPARE(run.processes.terminated, QStringList{QStringLiteral("VORN.exe")});
        Run manager; // nor the intake: only the update replaces the operator's application
        manager.form(true);
        QVERIFY(manager.processes.terminated.isEmpty());
        QCOMPARE(control<ConnectionPane>(f, "Frame3")->transferType(), 0);
        QCOMPARE(control<FileListBox>(f, "File1")->path(), QDir(run.app.path()).absolutePath());
        QCOMPARE(control<QLabel>(f, "LDI")->text(), QStringLiteral("Waiting connect FTP..."));
        QVERIFY(managerButtonsDisabled(f));
        QVERIFY(!control<QPushButton>(f, "Command1")->isHidden());
        QVERIFY(control<QPushButton>(f, "Command3")->isHidden());
        QVERIFY(!control<QTimer>(f, "Timer1")->isActive());
        QCOMPARE(control<QTimer>(f, "Timer1")->interval(), 400);
        QCOMPARE(control<QLineEdit>(f, "Text3")->displayText(),
                 QString(control<QLineEdit>(f, "Text3")->text().size(), u'*'));
        QCOMPARE(tabStops(&f), (QStringList{"Text4", "Text2", "Text3", "Command1", "Option1", "Option1", "Option1",
                                            "List1", "Command4", "Command2", "Command6", "Command7", "Drive1", "Dir1",
                                            "File1", "Command5", "Text1"}));
        QCOMPARE(control<QLabel>(f, "Image2")->pixmap().devicePixelRatio(),
                 qApp->devicePixelRatio()); // also run at 200 %
        QCOMPARE(control<QListWidget>(f, "List1")->toolTip(),
                 QStringLiteral("Vous pouvez selectionner plusieurs fichiers avec CTRL"));
        QCOMPARE(control<QPushButton>(f, "Command7")->text(), QStringLiteral("Command7"));
        for (const char* name :
             {"FRTRAIT",  "RB1",      "LDI",      "Image2",   "LINFOWAIT1", "Line3",  "Label1", "StatusBar1",
              "Text1",    "Frame3",   "Command1", "Command3", "Frame7",     "Frame6", "Text4",  "Frame4",
              "Text2",    "Frame5",   "Text3",    "Timer1",   "Image1",     "Frame2", "List1",  "Command4",
              "Command2", "Command6", "Command7", "Frame1",   "Command5",   "Drive1", "Dir1",   "File1",
              "Frame8",   "FileOKDI", "ListDI",   "FileDI",   "TXTUFT8",    "Line1",  "Line2"})
            QVERIFY2(f.findChild<QObject*>(QLatin1String(name)) != nullptr, name);
        QCOMPARE(f.findChildren<QRadioButton*>(QStringLiteral("Option1")).size(), 3);
        QCOMPARE(f.findChildren<QLabel*>(QStringLiteral("Picture1")).size(), 4);

        // At its design size the window shows the wait frame and nothing of the manager.
        const QRect visible = f.centralWidget()->rect();
        QVERIFY(visible.contains(control<QWidget>(f, "FRTRAIT")->geometry().topLeft()));
        for (QWidget* w : {static_cast<QWidget*>(control<QWidget>(f, "Frame1")),
                           static_cast<QWidget*>(control<QWidget>(f, "Frame2")),
                           static_cast<QWidget*>(control<QWidget>(f, "Frame3")),
                           static_cast<QWidget*>(control<QPlainTextEdit>(f, "Text1"))})
            QVERIFY(!visible.intersects(w->geometry()));
    }

    void transferTypeFollowsSelection()
    {
        Run run;
        Form1& f = run.form(true);
        element<QRadioButton>(f, "Option1", 1)->click();
        QCOMPARE(control<ConnectionPane>(f, "Frame3")->transferType(), 1);
        element<QRadioButton>(f, "Option1", 0)->click();
        QCOMPARE(control<ConnectionPane>(f, "Frame3")->transferType(), 0);
        element<QRadioButton>(f, "Option1", 2)->click();
        QCOMPARE(control<ConnectionPane>(f, "Frame3")->transferType(), 2);
    }

    void animationCyclesOnePictureAtATime()
    {
        Run run;
        Form1& f = run.form(true);
        QTimer* timer = control<QTimer>(f, "Timer1");
        QList<int> shown;
        for (int tick = 0; tick < 12; ++tick) {
            QMetaObject::invokeMethod(timer, "timeout");
            int count = 0;
            shown << visiblePicture(f, &count);
            QCOMPARE(count, 1);
        }
        QCOMPARE(shown, (QList<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3}));
    }

    void profilesReachTheConnectionBoxes()
    {
        Run run;
        Form1& f = run.form(true);
        QVERIFY(control<QPushButton>(f, "CommandProfils")->isVisibleTo(&f));
        const QString line = QStringLiteral("$192.0.2.15¤operateur£p|w|Depot Nordµ");
        QVERIFY(f.EcrireFin(QStringLiteral("\\Profil.ini"), line));
        QCOMPARE(f.NbrLigne(QStringLiteral("\\Profil.ini")), qint16(0));
        QCOMPARE(Form1::Rubriques(line, QStringLiteral("$"), QStringLiteral("¤")), QStringLiteral("192.0.2.15"));

        // The list opens modally; a double-click on the profile fills the three boxes.
        ModalAnswer answer([](QWidget* window) {
            auto* list = qobject_cast<Form2*>(window);
            QVERIFY(list != nullptr);
            QCOMPARE(control<QListWidget>(*list, "List1")->count(), 1);
            list->List1_DblClick(control<QListWidget>(*list, "List1")->item(0));
        });
        control<QPushButton>(f, "CommandProfils")->click();
        QVERIFY2(answer.failure().isEmpty(), qPrintable(answer.failure()));
        QCOMPARE(control<QLineEdit>(f, "Text4")->text(), QStringLiteral("192.0.2.15"));
        QCOMPARE(control<QLineEdit>(f, "Text2")->text(), QStringLiteral("operateur"));
        QCOMPARE(control<QLineEdit>(f, "Text3")->text(),
                 QStringLiteral("p")); // a "|" in a password cuts it, as stored lines always did

        f.showInDevelopment();
        QCOMPARE(run.dialogs.texts().last(), QStringLiteral("En cour de Dev."));
        f.endApplication();
        QCOMPARE(run.exitCode, std::optional<int>(0));

        // The update window has no such button on show.
        Run update;
        QVERIFY(!control<QPushButton>(update.form(), "CommandProfils")->isVisibleTo(update.window.get()));
    }

    void failedLoginLeavesWindowDisconnected()
    {
        Run run;
        QVERIFY2(run.start(), qPrintable(run.server.error()));
        Form1& f = run.form(false, false, QStringLiteral("wrong"));
        control<QPushButton>(f, "Command1")->click();
        QCOMPARE(run.session.log(), QString());
        QCOMPARE(control<QPlainTextEdit>(f, "Text1")->toPlainText(), QString());
        QVERIFY(managerButtonsDisabled(f));
        QVERIFY(!control<QPushButton>(f, "Command1")->isHidden());
        QVERIFY(control<QPushButton>(f, "Command3")->isHidden());
        QVERIFY(!control<QTimer>(f, "Timer1")->isActive());
        int count = 0;
        QCOMPARE(visiblePicture(f, &count), 0);
        QCOMPARE(control<QListWidget>(f, "List1")->count(), 0);
        QVERIFY(run.dialogs.shown().isEmpty());
        QVERIFY(!run.exitCode.has_value()); // the operator may retry
        QCOMPARE(run.ftp.openConnections, 0);

        // Unattended, a failed login ends the program with status 1.
        Run unattended;
        QVERIFY(unattended.start());
        control<QPushButton>(unattended.form(false, true, QStringLiteral("wrong")), "Command1")->click();
        QCOMPARE(unattended.exitCode, std::optional<int>(1));
    }

    void loginListsVersionFolderAndLogsEachReply()
    {
        Run run;
        QVERIFY(run.start());
        QVERIFY(run.server.put(QStringLiteral("rootfile.txt"), "r"));
        QVERIFY(run.server.put(VersionFolder + QStringLiteral("VORN.exe"), "v"));
        Form1& f = run.form(true);
        control<QPushButton>(f, "Command1")->click();

        const QStringList log = run.session.log().split(QLatin1Char('\n'));
        // Open (no reply yet), login, working directory, change into the version folder.
        QCOMPARE(log.size(), 5);
        QCOMPARE(log[0], QString());
        QCOMPARE(log[1], QString());
        QVERIFY2(log[2].startsWith(QLatin1String("230")), qPrintable(log[2]));
        QVERIFY2(log[3].startsWith(QLatin1String("257")), qPrintable(log[3]));
        QVERIFY2(log[4].startsWith(QLatin1String("250")), qPrintable(log[4]));
        QCOMPARE(control<QPlainTextEdit>(f, "Text1")->toPlainText(), run.session.log());
        QCOMPARE(run.remoteList(), (QStringList{QStringLiteral("../"), QStringLiteral("VORN.exe")}));
        QCOMPARE(run.session.homeDirectory(), QStringLiteral("/"));
        QCOMPARE(run.session.targetDirectory(), QStringLiteral("www/DOWN/VERSIONVORN"));
        QVERIFY(managerButtonsEnabled(f));
        QVERIFY(control<QPushButton>(f, "Command1")->isHidden());
        QVERIFY(!control<QPushButton>(f, "Command3")->isHidden());
        QVERIFY(!run.exitCode.has_value()); // the manager does not update
        QCOMPARE(control<QLabel>(f, "LDI")->text() + u'|' + control<QLabel>(f, "LINFOWAIT1")->text(),
                 "Connecté à " + run.server.host() + "|Prêt.");

        // Reconnecting replaces the connection rather than leaking it.
        f.Xconnect(); // as a resize of the update window would
        QCOMPARE(run.ftp.openConnections, 1);

        control<QPushButton>(f, "Command3")->click();
        QCOMPARE(run.ftp.openConnections, 0);
        QVERIFY(run.session.log().endsWith(QLatin1String("221 Goodbye.")));
        QCOMPARE(control<QListWidget>(f, "List1")->count(), 0);
        QVERIFY(managerButtonsDisabled(f));
        QVERIFY(!control<QPushButton>(f, "Command1")->isHidden());
        control<QLineEdit>(f, "Text3")->setText(QStringLiteral("wrong"));
        control<QPushButton>(f, "Command1")->click();
        QCOMPARE(control<QLabel>(f, "LDI")->text(), "Connexion impossible à " + run.server.host());
    }

    void emptyVersionFolderListsOnlyParentLine()
    {
        Run run;
        QVERIFY(run.start());
        QVERIFY(run.server.makeDir(VersionFolder));
        Form1& f = run.form(true);
        control<QPushButton>(f, "Command1")->click();
        QCOMPARE(run.remoteList(), QStringList{QStringLiteral("../")});
    }

    void fullUpdateRun()
    {
        Run run;
        QVERIFY(run.start());
        QVERIFY(run.server.put(VersionFolder + QStringLiteral("VORN.exe"), "#!/bin/sh\necho new\n"));
        QVERIFY(run.server.put(VersionFolder + QStringLiteral("data.ini"), "[new]\n"));
        QVERIFY(run.server.put(VersionFolder + QStringLiteral("TOOL.EXE"), "tool"));
        QVERIFY(run.server.put(VersionFolder + QStringLiteral("VORN_UPDATE_VERSION.exe"), "launcher"));
        QVERIFY(run.server.put(VersionFolder + QStringLiteral("..\\evil.exe"), "evil"));
        QVERIFY(run.server.makeDir(VersionFolder + QStringLiteral("sub")));
        run.putLocal(QStringLiteral("data.ini"), "[old]\n");
        run.putLocal(QStringLiteral("VORN.exe"), "old vorn");

        run.staged = false; // file by file, in the listing's order
        Form1& f = run.form();
        control<QPushButton>(f, "Command1")->click();

        // The refused name was not fetched: the update is incomplete. The sub-folder is no file of
        // the release, and no failure.
        QCOMPARE(run.exitCode, std::optional<int>(4));
        QCOMPARE(run.local(QStringLiteral("VORN.exe")), QByteArray("#!/bin/sh\necho new\n"));
        QCOMPARE(run.local(QStringLiteral("data.ini")), QByteArray("[new]\n"));
        QCOMPARE(run.local(QStringLiteral("TOOL.EXE")), QByteArray("tool"));
        QCOMPARE(run.local(QStringLiteral("VORN_UPDATE_VERSION.exe")), QByteArray("launcher"));
        QVERIFY(!QFileInfo::exists(run.app.filePath(QStringLiteral("sub"))));
        QVERIFY(!QFileInfo::exists(QFileInfo(run.app.path()).absolutePath() + QStringLiteral("/evil.exe")));
        // Nothing partial left; the fifth file is the run's log.
        QCOMPARE(QDir(run.app.path()).entryList(QDir::Files | QDir::Hidden).size(), 5);

        // Load, Xkill of VORN.exe only (not TOOL.EXE, never the launcher), stop before the start,
        // then the launcher's own name.
        QCOMPARE(run.processes.terminated,
                 (QStringList{QStringLiteral("VORN.exe"), QStringLiteral("VORN.exe"), QStringLiteral("VORN.exe"),
                              QStringLiteral("VORN_UPDATE_VERSION.exe")}));
        QCOMPARE(run.processes.started, QStringList{run.app.filePath(QStringLiteral("VORN.exe"))});

        const QStringList notFetched = run.remoteList().filter(QRegularExpression(QStringLiteral("^.*evil.*$")));
        QCOMPARE(run.dialogs.texts(), QStringList{VersionDownload::incompleteText(notFetched, notFetched)});
        QVERIFY(run.dialogs.texts().first().endsWith(QLatin1String("evil.exe (pas d'ancienne copie)")));
        QCOMPARE(run.dialogs.shown().first().request.title, QStringLiteral("VORN_UPDATE_VERSION"));

        const QString log = run.session.log();
        QCOMPARE(log.count(QStringLiteral("\n550 ")), 1); // "../"
        QVERIFY(log.contains(QStringLiteral("Dossier « sub » ignoré")));
        QVERIFY2(log.contains(QStringLiteral("..\\evil.exe")) && log.contains(QStringLiteral("refusé")),
                 qPrintable(log));
        QCOMPARE(log.count(QStringLiteral("\n226 ")), 4);
        // The run's trace, time-stamped, ends with the outcome and every name not fetched.
        const QString trace = QString::fromUtf8(run.local(RunLog::fileName()));
        QVERIFY2(
            trace.contains(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d 230 "))) &&
                trace.endsWith("Résultat : mise à jour incomplète, 1 fichier(s) non mis à jour : " +
                               notFetched.join(QStringLiteral(", ")) + '\n'),
            qPrintable(trace));
        QCOMPARE(control<QProgressBar>(f, "RB1")->maximum(), 7);
        QVERIFY(control<QProgressBar>(f, "RB1")->isHidden());
        QCOMPARE(control<QLabel>(f, "LDI")->text(), QStringLiteral("VORN Log is going to start..."));
        QCOMPARE(control<QTimer>(f, "Timer1")->interval(), 400);
    }

    // What Windows cannot hold as it is, and the program's own folders in any case, are refused on
    // every system: one log line each, the run incomplete; staged, nothing of the release installed.
    void namesWindowsCannotHoldAreRefused()
    {
        const QStringList refused{"CON",     "nul.txt",   "COM1",          "LPT1.log",     "AUX",
                                  "prn.dat", "VORN.ini.", "LISEZMOI.txt ", "a:b",          "q?.txt",
                                  "x<y>",    "pipe|x",    "star*.dat",     ".VORN-UPDATE", ".vorn-previous"};
        for (const bool staged : {false, true}) {
            Run run;
            QVERIFY(run.start());
            for (const QString& name : refused + QStringList{"VORN.ini", "vorn.INI"})
                QVERIFY(run.server.put(VersionFolder + name, name.toUtf8()));
            run.staged = staged;
            run.putLocal(QStringLiteral("VORN.exe"), "old vorn");
            control<QPushButton>(run.form(), "Command1")->click();
            QCOMPARE(run.exitCode, std::optional<int>(4));
            // Of two names that differ by case, the first listed is a normal entry.
            const QStringList listed = run.remoteList();
            const bool upperFirst = listed.indexOf("VORN.ini") < listed.indexOf("vorn.INI");
            const QString first = upperFirst ? "VORN.ini" : "vorn.INI";
            const QString log = run.session.log();
            QStringList notRefusedOnce;
            for (const QString& name : refused + QStringList{upperFirst ? "vorn.INI" : "VORN.ini"})
                if (log.count("Nom « " + name + " » refusé : ") != 1)
                    notRefusedOnce << name;
            QVERIFY2(notRefusedOnce.isEmpty(), qPrintable(notRefusedOnce.join(QStringLiteral(" | "))));
            const QStringList written =
                QDir(run.app.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            QCOMPARE(written, staged ? (QStringList{"VORN.exe", RunLog::fileName()})
                                     : (QStringList{"VORN.exe", first, RunLog::fileName()}));
            QCOMPARE(run.local(first), staged ? QByteArray("<missing>") : first.toUtf8());
        }
    }

    void signedInUserInClosingMessage()
    {
        Run run;
        QVERIFY(run.start());
        QVERIFY(run.server.put(VersionFolder + QStringLiteral("VORN.exe"), "v"));
        run.operatorContext.userName = QStringLiteral("DUPONT");
        control<QPushButton>(run.form(), "Command1")->click();
        QCOMPARE(run.dialogs.texts().first(), QStringLiteral("All is OK...  73 DUPONT"));
    }

    void missingApplicationAfterUpdate()
    {
        Run run;
        QVERIFY(run.start());
        QVERIFY(run.server.put(VersionFolder + QStringLiteral("data.ini"), "d"));
        control<QPushButton>(run.form(), "Command1")->click();
        QCOMPARE(run.dialogs.texts().size(), 2);
        QVERIFY2(run.dialogs.texts()[1].startsWith(QLatin1String("Fichier introuvable")),
                 qPrintable(run.dialogs.texts()[1]));
        QCOMPARE(run.processes.terminated.last(), QStringLiteral("VORN_UPDATE_VERSION.exe"));
        QCOMPARE(run.exitCode, std::optional<int>(2));
        QVERIFY(run.processes.started.isEmpty());
    }

    void cutTransferKeepsOldFileAndGoesOn()
    {
        Run run({QStringLiteral("--cut"), QStringLiteral("VORN.exe:10")});
        QVERIFY(run.start());
        QVERIFY(run.server.put(VersionFolder + QStringLiteral("VORN.exe"), QByteArray(5000, 'x')));
        QVERIFY(run.server.put(VersionFolder + QStringLiteral("zz.ini"), "after"));
        run.putLocal(QStringLiteral("VORN.exe"), "old vorn");
        run.staged = false;
        Form1& f = run.form();
        control<QPushButton>(f, "Command1")->click();
        QCOMPARE(run.local(QStringLiteral("VORN.exe")), QByteArray("old vorn"));
        QCOMPARE(run.local(QStringLiteral("zz.ini")), QByteArray("after"));
        QVERIFY(run.session.log().contains(QStringLiteral("10 octets reçus sur 5000")));
        QCOMPARE(run.processes.started.size(), 1); // the old copy is started again
        QCOMPARE(run.exitCode, std::optional<int>(4));
    }

    void missingVersionFolderFetchesNothing()
    {
        Run run;
        QVERIFY(run.start());
        QVERIFY(run.server.put(QStringLiteral("data.ini"), "login folder"));
        run.putLocal(QStringLiteral("VORN.exe"), "old");
        control<QPushButton>(run.form(), "Command1")->click();
        QCOMPARE(run.exitCode, std::optional<int>(4));
        QCOMPARE(run.local(QStringLiteral("data.ini")), QByteArray("<missing>"));
        QVERIFY(run.dialogs.texts().value(0).startsWith(
            "Le dossier des versions « www/DOWN/VERSIONVORN » est inaccessible"));
        QCOMPARE(run.processes.started, QStringList{run.app.filePath(QStringLiteral("VORN.exe"))});
    }

    void responseLogStaysBounded()
    {
        Run run;
        Form1& f = run.form(true);
        for (int i = 0; i < 5100; ++i)
            run.session.appendLog(i < 5099 ? QStringLiteral("line") : QString(5000, u'x'));
        QCOMPARE(control<QPlainTextEdit>(f, "Text1")->blockCount(), 5000);
        QCOMPARE(control<QPlainTextEdit>(f, "Text1")->toPlainText(), run.session.log());
        QVERIFY(run.session.log().endsWith(QLatin1Char('\n') + QString(4096, u'x') + QChar(0x2026)));
        Run unattended; // nobody watches: the window's log is left alone
        unattended.form(true, true);
        unattended.session.appendLog(QStringLiteral("220"));
        QCOMPARE(control<QPlainTextEdit>(*unattended.window, "Text1")->toPlainText(), QString());
    }

    void programSaysWhyItEnds()
    {
        QTemporaryDir dir;
        QProcess p;
        p.start(QStringLiteral(VORN_APP_BINARY), {QStringLiteral("--app-dir"), dir.filePath(QStringLiteral("none"))});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 64);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

        // Unattended, the log goes to standard error too. (A refused connection would be tried
        // again for retry_for seconds.)
        QFile ini(dir.filePath(QStringLiteral("VORN_UPDATE_VERSION.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly) &&
                ini.write("[server]\nhost=127.0.0.1:1\ntimeout=2147484\nretry_for=0\n"));
        ini.close();
        p.start(QStringLiteral(VORN_APP_BINARY),
                {QStringLiteral("--app-dir"), dir.path(), QStringLiteral("--unattended")});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY(err.contains(QStringLiteral("timeout=2147484 ignoré")) &&
                err.contains(QRegularExpression(QStringLiteral(":\\d\\d Résultat : Échec de la connexion"))));
    }

    void stalledServerDoesNotHang()
    {
        Run run({QStringLiteral("--stall"), QStringLiteral("RETR")}, 1000);
        QVERIFY(run.start());
        for (const char* name : {"a.ini", "b.ini", "c.ini", "VORN.exe"})
            QVERIFY(run.server.put(VersionFolder + QLatin1String(name), "x"));
        QElapsedTimer t;
        t.start();
        Form1& f = run.form();
        control<QPushButton>(f, "Command1")->click();
        QVERIFY2(t.elapsed() < 6000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(run.exitCode.has_value());
        QVERIFY(run.session.log().contains(QStringLiteral("ne répond plus")));
    }

    void resizeStartsOneConnectionExceptInManager()
    {
        {
            Run run;
            QVERIFY(run.start());
            QVERIFY(run.server.put(VersionFolder + QStringLiteral("data.ini"), "d"));
            Form1& f = run.form(true);
            f.show();
            f.resize(1100, 800);
            QTest::qWait(100);
            QCOMPARE(control<QListWidget>(f, "List1")->count(), 0);
            QCOMPARE(run.session.log(), QString());
        }
        Run run;
        QVERIFY(run.start());
        QVERIFY(run.server.put(VersionFolder + QStringLiteral("VORN.exe"), "v"));
        Form1& f = run.form();
        f.show();
        f.resize(600, 200);
        f.resize(610, 210);
        QTRY_VERIFY_WITH_TIMEOUT(run.exitCode.has_value(), 10000);
        QTest::qWait(100);
        QCOMPARE(run.dialogs.texts(), QStringList{QStringLiteral("All is OK...  73 ")}); // one run only
        // The program has ended: a later resize starts nothing.
        f.resize(620, 220);
        QTest::qWait(100);
        QCOMPARE(run.dialogs.texts().size(), 1);
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
