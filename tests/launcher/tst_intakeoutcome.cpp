#include "common/FakeProcessControl.h"
#include "common/FixedClock.h"
#include "common/FtpTestServer.h"
#include "common/ScriptedDialogs.h"
#include "common/TestDatabases.h"
#include "ftpsession/RunLog.h"
#include "launcher/Form1.h"
#include "login/OperatorContext.h"
#include "platform/QtFtpClient.h"

#include <QtTest>

#include <optional>

namespace {

struct Intake {
    explicit Intake(const QString& backend)
        : env(backend)
    {}
    void run(const QString& remoteDir)
    {
        Form1Context c(ftp, processes, dialogs, context);
        c.config.host = server.host();
        c.config.user = FtpTestServer::user();
        c.config.password = FtpTestServer::password();
        c.config.intakeRemoteDir = remoteDir;
        c.appDir = env.appDir();
        c.intakeRun = true;
        c.unattended = true;
        c.clock = &clock;
        c.endProgram = [this](int code) { exitCode = code; };
        Form1(std::move(c)).runIntake();
    }
    QString log() const
    {
        QFile f(QDir(env.appDir()).filePath(RunLog::fileName()));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    int rows(const QString& where, const QString& value)
    {
        return env.count(QStringLiteral("TORVANDEL"), QStringLiteral("TORVANDEL_DI"), where, {value});
    }

    TestDatabases env;
    FtpTestServer server;
    QtFtpClient ftp{5000};
    FakeProcessControl processes;
    ScriptedDialogs dialogs;
    OperatorContext context;
    FixedClock clock;
    std::optional<int> exitCode;
};

} // namespace

class TestIntakeOutcome : public QObject {
    Q_OBJECT

private slots:
    void literalNumbersAndEmptyValidations_data()
    {
        QTest::addColumn<QString>("backend");
        for (const QString& b : TestDatabases::backends())
            QTest::newRow(qPrintable(b)) << b;
    }

    void literalNumbersAndEmptyValidations()
    {
        QFETCH(QString, backend);
        Intake in(backend);
        VORN_PREPARE_DATABASES(in.env);
        for (const char* number : {"DI2024%", "DI2024A", "DIX1", "DI\\2"})
            QVERIFY(in.env.exec(QStringLiteral("TORVANDEL"),
                                QStringLiteral("insert into TORVANDEL_DI (DI_NO_DI, DI_STATUT) values (?, 'DEMANDE')"),
                                {QString::fromLatin1(number)}));
        QVERIFY(in.server.start());
        QVERIFY(in.server.put(QStringLiteral("www/DI/OKDI20240101.txt"), "DI2024%\r\n"));
        QVERIFY(in.server.put(QStringLiteral("www/DI/OKDI20240102.txt"), "DI\\2\r\n"));
        QVERIFY(in.server.put(QStringLiteral("www/DI/OKDI20240103.txt"), "")); // still being sent
        QVERIFY(in.server.put(QStringLiteral("www/DI/DI_1.txt"), "Martin//RH"));

        in.run(QStringLiteral("www/DI"));

        QCOMPARE(in.exitCode, std::optional<int>(0));
        QCOMPARE(
            in.rows(QStringLiteral("DI_STATUT = 'VALIDE' and DI_NO_DI in ('DI2024%', ?)"), QStringLiteral("DI\\2")), 2);
        QCOMPARE(in.rows(QStringLiteral("DI_STATUT = ?"), QStringLiteral("VALIDE")), 2); // never DI2024A
        QCOMPARE(in.rows(QStringLiteral("DI_NO_DI = ?"), QStringLiteral("DI_1")), 1);    // not taken for DIX1
        QVERIFY(in.server.exists(QStringLiteral("www/DI/OKDI20240103.txt")));
        QVERIFY(!in.server.exists(QStringLiteral("www/DI/OKDI20240101.txt")));
        const QString log = in.log();
        QVERIFY2(log.contains(in.env.isPostgresql() ? QStringLiteral("Base des DI : source de données ODBC TORVANDEL")
                                                    : QStringLiteral("Base des DI : fichier intégré ")),
                 qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("Résultat : intake terminé, 1 DI enregistrée(s), 2 validation(s)")),
                 qPrintable(log));
    }

    void refusedFolderStopsEverything()
    {
        Intake in(QStringLiteral("sqlite"));
        VORN_PREPARE_DATABASES(in.env);
        QVERIFY(in.server.start());
        QVERIFY(in.server.put(QStringLiteral("OKDI20240101.txt"), "DI1\r\n"));
        QVERIFY(in.server.put(QStringLiteral("DI1.txt"), "Martin"));

        in.run(QStringLiteral("www/DI"));

        QCOMPARE(in.exitCode, std::optional<int>(3));
        QVERIFY(in.server.exists(QStringLiteral("OKDI20240101.txt")) && in.server.exists(QStringLiteral("DI1.txt")));
        QCOMPARE(QDir(in.env.appDir()).entryList({QStringLiteral("DOWN"), QStringLiteral("IMG")}), QStringList());
        QCOMPARE(in.dialogs.texts().size(), 1);
        QVERIFY2(in.dialogs.texts().first().contains(QStringLiteral("« www/DI »")) &&
                     in.dialogs.texts().first().contains(QStringLiteral("550")),
                 qPrintable(in.dialogs.texts().first()));
        QVERIFY(in.log().contains(QStringLiteral("Résultat : intake arrêté : Le dossier des DI « www/DI »")));
    }
};

QTEST_MAIN(TestIntakeOutcome)
#include "tst_intakeoutcome.moc"
