#include "common/FakeProcessControl.h"
#include "common/FixedClock.h"
#include "common/FtpTestServer.h"
#include "common/ScriptedDialogs.h"
#include "ftpsession/RunLog.h"
#include "launcher/Form1.h"
#include "launcher/VersionDownload.h"
#include "login/OperatorContext.h"
#include "platform/QtFtpClient.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

namespace {

const QString Stamp = QStringLiteral("2021-03-05 09:30:00 ");

struct Run {
    explicit Run(const QStringList& faults = {})
        : server(faults)
    {}
    Form1& form(bool managerMode = false, bool intakeRun = false, bool unattended = false)
    {
        Form1Context c(ftp, processes, dialogs, operatorContext);
        c.config.host = server.host();
        c.config.user = FtpTestServer::user();
        c.config.password = FtpTestServer::password();
        c.appDir = app.path();
        c.managerMode = managerMode;
        c.intakeRun = intakeRun;
        c.unattended = unattended;
        c.clock = &clock;
        c.endProgram = [this](int code) { exitCode = code; };
        window = std::make_unique<Form1>(std::move(c));
        return *window;
    }
    QByteArray local(const QString& name) const
    {
        QFile f(app.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    FtpTestServer server;
    QtFtpClient ftp{3000};
    FakeProcessControl processes;
    ScriptedDialogs dialogs;
    OperatorContext operatorContext;
    FixedClock clock;
    QTemporaryDir app;
    std::unique_ptr<Form1> window;
    std::optional<int> exitCode;
};

} // namespace

class TestRunOutcome : public QObject {
    Q_OBJECT

private slots:
    void updateSaysWhatHappened_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QStringList>("entries"); // under the server's root; a trailing "/" makes a folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // a part of the one message shown
        QTest::addColumn<QByteArray>("vorn"); // the local VORN.exe afterwards
        QTest::addColumn<QString>("outcome"); // how the log's last line begins
        const QString v = QStringLiteral("www/DOWN/VERSIONVORN/");
        QStringList folders{v + QStringLiteral("VORN.exe")};
        QStringList names;
        for (int i = 0; i < 21; ++i) {
            folders << v + QStringLiteral("d%1/").arg(i, 2, 10, QLatin1Char('0'));
            names << QStringLiteral("d%1").arg(i, 2, 10, QLatin1Char('0'));
        }
        QTest::newRow("complete") << QStringList() << QStringList{v + "VORN.exe"} << 0 << "All is OK...  73 "
                                  << QByteArray("new") << "mise à jour complète, 1 fichier";
        QTest::newRow("cut transfer") << QStringList{"--cut", "VORN.exe:1"} << QStringList{v + "VORN.exe"} << 4
                                      << VersionDownload::incompleteText({"VORN.exe"}) << QByteArray("old")
                                      << "mise à jour incomplète, 1 fichier(s) non mis à jour : VORN.exe";
        QTest::newRow("421 on the first fetch")
            << QStringList{"--reply421", "RETR"} << QStringList{v + "VORN.exe", v + "a.ini"} << 4
            << "La mise à jour est incomplète : 2 fichiers n'ont pas été mis à jour" << QByteArray("old")
            << "mise à jour incomplète, 2 fichier(s)";
        QTest::newRow("21 folders, 20 names shown")
            << QStringList() << folders << 4 << "\n…" << QByteArray("new") << "mise à jour incomplète, 21 fichier(s)";
        QTest::newRow("no version folder") << QStringList() << QStringList{"VORN.exe"} << 4
                                           << "Le dossier des versions « www/DOWN/VERSIONVORN » est inaccessible"
                                           << QByteArray("old") << "mise à jour impossible";
    }

    void updateSaysWhatHappened()
    {
        QFETCH(QStringList, faults);
        QFETCH(QStringList, entries);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(QByteArray, vorn);
        QFETCH(QString, outcome);
        Run run(faults);
        QVERIFY2(run.server.start(), qPrintable(run.server.error()));
        for (const QString& e : entries)
            QVERIFY(e.endsWith(u'/') ? run.server.makeDir(e) : run.server.put(e, "new"));
        QFile old(run.app.filePath(QStringLiteral("VORN.exe")));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();

        run.form().Xconnect();

        QCOMPARE(run.exitCode, std::optional<int>(exitCode));
        QCOMPARE(run.dialogs.texts().size(), 1);
        const QString shown = run.dialogs.texts().first();
        QVERIFY2(shown.contains(message), qPrintable(shown));
        QVERIFY(shown.count(u'\n') <= 21); // the header, 20 names and "…" at most
        QCOMPARE(run.dialogs.shown().first().request.title, QStringLiteral("VORN_UPDATE_VERSION"));
        QCOMPARE(run.local(QStringLiteral("VORN.exe")), vorn);
        QVERIFY(!QFile::exists(run.app.filePath(QStringLiteral("a.ini")))); // never the login folder
        QCOMPARE(run.processes.started, QStringList{run.app.filePath(QStringLiteral("VORN.exe"))});

        // The trace: every line time-stamped, no password, the outcome last.
        const QStringList log = QString::fromUtf8(run.local(RunLog::fileName())).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(log.size() > 2);
        for (const QString& line : log) {
            QVERIFY2(line.startsWith(Stamp), qPrintable(line));
            QVERIFY(!line.contains(FtpTestServer::password()));
        }
        QVERIFY2(log.last().startsWith(Stamp + QStringLiteral("Résultat : ") + outcome), qPrintable(log.last()));
        for (const QString& e : entries) // every folder name, past the twentieth too
            QVERIFY(!e.endsWith(u'/') || log.last().contains(e.section(u'/', -2, -2)));
    }

    void onlyTheUpdateStopsTheApplication()
    {
        for (const auto& [manager, intake, expected] :
             {std::tuple{false, false, 1}, {true, false, 0}, {false, true, 0}}) {
            Run run;
            run.form(manager, intake);
            QCOMPARE(run.processes.terminated.size(), expected);
        }
    }

    void responseLogStaysBounded()
    {
        Run run;
        Form1& f = run.form(true);
        for (int i = 0; i < 5100; ++i)
            f.ftp().appendLog(QStringLiteral("line %1").arg(i));
        f.ftp().appendLog(QString(5000, u'x'));
        QCOMPARE(f.Text1->blockCount(), 5000);
        QCOMPARE(f.Text1->toPlainText(), f.ftp().log());
        QVERIFY(f.ftp().log().endsWith(QLatin1Char('\n') + QString(4096, u'x') + QChar(0x2026)));

        Run unattended;
        Form1& u = unattended.form(true, false, true);
        u.ftp().appendLog(QStringLiteral("220 ready"));
        QVERIFY(u.Text1->toPlainText().isEmpty()); // nobody watches: no layout work
        QVERIFY(unattended.local(RunLog::fileName()).endsWith("220 ready\n"));
    }

    void commandLine()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("plain"));
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        for (const QString& appDir : {dir.filePath(QStringLiteral("missing")), file}) {
            QProcess p;
            p.start(QStringLiteral(VORN_APP_BINARY),
                    {QStringLiteral("--app-dir"), appDir, QStringLiteral("--unattended")});
            QVERIFY(p.waitForFinished(20000));
            QCOMPARE(p.exitCode(), 64);
            QVERIFY(p.readAllStandardError().contains("--app-dir"));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"plain"});

        // Unattended, the log goes to standard error as well; the INI password is read whole.
        FtpTestServer server;
        QVERIFY(server.start());
        QFile ini(dir.filePath(QStringLiteral("VORN_UPDATE_VERSION.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[server]\n; a comment\nhost=" + server.host().toUtf8() +
                  "\nuser=vorn\npassword=secret;x\ntimeout=0\n");
        ini.close();
        QProcess p;
        p.start(QStringLiteral(VORN_APP_BINARY),
                {QStringLiteral("--app-dir"), dir.path(), QStringLiteral("--unattended")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(
            err.contains(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d Résultat : Échec de la connexion"))),
            qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("timeout=0 ignoré")), qPrintable(err));
        QFile log(dir.filePath(RunLog::fileName()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(log.readAll()).contains(QStringLiteral("Résultat : Échec de la connexion")));
    }
};

QTEST_MAIN(TestRunOutcome)
#include "tst_runoutcome.moc"
