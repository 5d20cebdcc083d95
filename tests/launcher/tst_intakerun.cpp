#include "common/Controls.h"
#include "common/FakeProcessControl.h"
#include "common/FixedClock.h"
#include "common/FtpTestServer.h"
#include "common/ScriptedDialogs.h"
#include "common/TestDatabases.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/RunLog.h"
#include "launcher/gui/Form1.h"
#include "login/OperatorContext.h"
#include "platform/ftp/QtFtpClient.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

#include <optional>

namespace {

// The scheduled intake: one request file already loaded earlier, one new, a validation for each,
// an attachment, all in the server's request folder.
struct IntakeFixture {
    explicit IntakeFixture(const QString& backend)
        : env(backend)
        , ftp(5000)
        , session(ftp)
        , clock(QDateTime(QDate(2021, 3, 5), QTime(14, 7, 9)))
    {}

    bool serve()
    {
        return server.start() && server.put(QStringLiteral("www/DI/DI20210301080000.txt"), "Old//RH//1") &&
               server.put(QStringLiteral("www/DI/DI20210305093000.txt"),
                          "Dupont//RH//2//1//K123//05//03//2021//matin//B12//A001//C002//Carton: 3//RAS//"
                          "01-02-03-04-05//jean-luc") &&
               server.put(QStringLiteral("www/DI/OKDI20210306120000.txt"), "DI20210305093000\r\n") &&
               server.put(QStringLiteral("www/DI/IMGDIplan.Jpg"), "jpeg bytes") &&
               server.put(QStringLiteral("www/DI/notes.txt"), "not a request");
    }

    Form1& form(bool unattended = true)
    {
        Form1Context c(session, processes, dialogs, context);
        c.config.host = server.host();
        c.config.user = FtpTestServer::user();
        c.config.password = FtpTestServer::password();
        c.config.intakeRemoteDir = QStringLiteral("www/DI");
        c.appDir = env.appDir();
        c.intakeRun = true;
        c.unattended = unattended;
        c.clock = &clock;
        c.endProgram = [this](int code) { exitCode = code; };
        window = std::make_unique<Form1>(std::move(c));
        return *window;
    }

    TestDatabases env;
    FtpTestServer server;
    QtFtpClient ftp;
    FtpConnection session;
    FakeProcessControl processes;
    ScriptedDialogs dialogs;
    OperatorContext context;
    FixedClock clock;
    std::unique_ptr<Form1> window;
    std::optional<int> exitCode;
};

} // namespace

class TestIntakeRun : public QObject {
    Q_OBJECT

private slots:
    void wholeRun_data() { TestDatabases::addBackendRows(); }

    void wholeRun()
    {
        QFETCH(QString, backend);
        IntakeFixture run(backend);
        VORN_PREPARE_DATABASES(run.env);
        QVERIFY(run.env.exec(QStringLiteral("TORVANDEL"),
                             QStringLiteral("insert into TORVANDEL_DI (DI_NO_DI, DI_STATUT) values (?, 'DEMANDE')"),
                             {QStringLiteral("DI20210301080000")}));
        QVERIFY2(run.serve(), qPrintable(run.server.error()));

        run.form();
        QTRY_VERIFY_WITH_TIMEOUT(run.exitCode.has_value(), 60000); // the window starts the run itself

        QCOMPARE(run.exitCode, std::optional<int>(0));
        // Only the new request is inserted, and it is then validated.
        QCOMPARE(run.env.count(QStringLiteral("TORVANDEL"), QStringLiteral("TORVANDEL_DI")), 2);
        QCOMPARE(run.env.count(QStringLiteral("TORVANDEL"), QStringLiteral("TORVANDEL_DI"),
                               QStringLiteral("DI_NO_DI = ? and DI_STATUT = 'VALIDE' and DI_DEMANDEUR = 'DUPONT' and "
                                              "DI_TYPE_DEMANDE = 'MANUTENTION' and DI_DATE_VALIDATION = '20210306'"),
                               {QStringLiteral("DI20210305093000")}),
                 1);
        // The request files stay on the server; validations and attachments were taken away.
        QVERIFY(run.server.exists(QStringLiteral("www/DI/DI20210305093000.txt")));
        QVERIFY(!run.server.exists(QStringLiteral("www/DI/OKDI20210306120000.txt")));
        QVERIFY(!run.server.exists(QStringLiteral("www/DI/IMGDIplan.Jpg")));
        QVERIFY(run.server.exists(QStringLiteral("www/DI/notes.txt")));
        const QDir appDir(run.env.appDir());
        QVERIFY(QFile::exists(appDir.filePath(QStringLiteral("DOWN/DI20210305093000.txt"))));
        QVERIFY(!QFile::exists(appDir.filePath(QStringLiteral("DOWN/notes.txt"))));
        QCOMPARE(QDir(appDir.filePath(QStringLiteral("IMG"))).entryList(QDir::Files),
                 QStringList{QStringLiteral("DIPLAN_20210305140709.Jpg")});
        QCOMPARE(run.dialogs.texts(), (QStringList{QStringLiteral("Il y a 1 nouvelles DI arrivées..."),
                                                   QStringLiteral("Il y a 1 nouvelles IMAGES arrivées...")}));
        QCOMPARE(run.processes.terminated.last(), QStringLiteral("TORVANDEL_DOWN.exe"));
    }

    void literalNumbersAndEmptyValidations_data() { wholeRun_data(); }

    void literalNumbersAndEmptyValidations()
    {
        QFETCH(QString, backend);
        IntakeFixture run(backend);
        VORN_PREPARE_DATABASES(run.env);
        for (const char* number : {"DI2024%", "DI2024A", "DIX1", "DI\\2"})
            QVERIFY(run.env.exec("TORVANDEL", "insert into TORVANDEL_DI (DI_NO_DI, DI_STATUT) values (?, 'DEMANDE')",
                                 {QString::fromLatin1(number)}));
        QVERIFY(run.server.start());
        QVERIFY(run.server.put("www/DI/OKDI20240101.txt", "DI2024%\r\n") && run.server.put("www/DI/DI_1.txt", "M//RH"));
        QVERIFY(run.server.put("www/DI/OKDI20240102.txt", "DI\\2\r\n") && run.server.put("www/DI/OKDI3.txt", ""));
        run.form();
        QTRY_VERIFY_WITH_TIMEOUT(run.exitCode.has_value(), 60000); // the window starts the run itself
        QCOMPARE(run.exitCode, std::optional<int>(0));
        // DI2024A and DIX1 untouched, DI_1 not taken for DIX1 but inserted.
        QCOMPARE(run.env.count("TORVANDEL", "TORVANDEL_DI",
                               "DI_STATUT = 'DEMANDE' and DI_NO_DI in ('DI2024A', 'DIX1', ?)",
                               {QStringLiteral("DI_1")}),
                 3);
        QCOMPARE(run.env.count("TORVANDEL", "TORVANDEL_DI", "DI_STATUT = ?", {QStringLiteral("VALIDE")}), 2);
        QVERIFY(run.server.exists("www/DI/OKDI3.txt")); // still being sent: kept for a later run
        QFile log(QDir(run.env.appDir()).filePath(RunLog::fileName()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains(run.env.isPostgresql() ? "Base des DI : source de données ODBC TORVANDEL"
                                                              : "Base des DI : fichier intégré "));
    }

    void failuresEndWithStatus()
    {
        // A wrong password: status 1, nothing loaded.
        IntakeFixture refused(QStringLiteral("sqlite"));
        VORN_PREPARE_DATABASES(refused.env);
        QVERIFY(refused.serve());
        Form1& f = refused.form();
        control<QLineEdit>(f, "Text3")->setText(QStringLiteral("wrong"));
        QTRY_VERIFY_WITH_TIMEOUT(refused.exitCode.has_value(), 60000);
        QCOMPARE(refused.exitCode, std::optional<int>(1));
        QCOMPARE(refused.env.count(QStringLiteral("TORVANDEL"), QStringLiteral("TORVANDEL_DI")), 0);

        // No request folder on the server: nothing taken from the login folder, status 3.
        IntakeFixture lost(QStringLiteral("sqlite"));
        VORN_PREPARE_DATABASES(lost.env);
        QVERIFY(lost.server.start() && lost.server.put(QStringLiteral("OKDI1.txt"), "DI1"));
        lost.form();
        QTRY_VERIFY_WITH_TIMEOUT(lost.exitCode.has_value(), 60000); // the window starts the run itself
        QCOMPARE(lost.exitCode, std::optional<int>(3));
        QVERIFY(lost.server.exists(QStringLiteral("OKDI1.txt")));
        QVERIFY(!QDir(lost.env.appDir()).exists(QStringLiteral("DOWN")));
        QVERIFY(lost.dialogs.texts().value(0).contains("« www/DI »") && lost.dialogs.texts().value(0).contains("550"));
    }

    // A database that cannot be reached: the message names it, status 3, nothing taken from the
    // server.
    void unreachableDatabaseEndsWithStatus3()
    {
        IntakeFixture down(QStringLiteral("sqlite"));
        VORN_PREPARE_DATABASES(down.env);
        VORN_MAKE_UNREACHABLE(down.env, {QStringLiteral("TORVANDEL")});
        QVERIFY(down.serve());
        down.form();
        QTRY_VERIFY_WITH_TIMEOUT(down.exitCode.has_value(), 60000); // the window starts the run itself
        QCOMPARE(down.exitCode, std::optional<int>(3));
        QVERIFY(!down.dialogs.texts().isEmpty());
        QVERIFY2(down.dialogs.texts().first().contains(QStringLiteral("TORVANDEL")),
                 qPrintable(down.dialogs.texts().first()));
        QVERIFY(down.server.exists(QStringLiteral("www/DI/OKDI20210306120000.txt")));
        QVERIFY(down.server.exists(QStringLiteral("www/DI/IMGDIplan.Jpg")));
    }
};

QTEST_MAIN(TestIntakeRun)
#include "tst_intakerun.moc"
