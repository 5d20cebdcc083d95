#include "common/FixedClock.h"
#include "common/ScriptedFtpClient.h"
#include "ftpsession/AppConfig.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "ftpsession/RunLog.h"
#include "launcher/VersionDownload.h"
#include "platform/dialogs/UnattendedDialogs.h"

#include <QTemporaryDir>
#include <QtTest>

class TestLauncherLogic : public QObject {
    Q_OBJECT

private slots:
    void localTargetRefusesEscapes_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected"); // empty: refused

        QTest::newRow("plain") << "/app"
                               << "VORN.exe"
                               << "/app/VORN.exe";
        QTest::newRow("root folder") << "/"
                                     << "a.txt"
                                     << "/a.txt";
        QTest::newRow("spaces and accents") << "/app"
                                            << "é t'é.ini"
                                            << "/app/é t'é.ini";
        QTest::newRow("dot") << "/app"
                             << "."
                             << "";
        QTest::newRow("dot dot") << "/app"
                                 << ".."
                                 << "";
        QTest::newRow("slash") << "/app"
                               << "../etc/passwd"
                               << "";
        QTest::newRow("backslash") << "/app"
                                   << "..\\x.exe"
                                   << "";
        QTest::newRow("leading slash") << "/app"
                                       << "/tmp/x"
                                       << "";
        QTest::newRow("empty") << "/app"
                               << ""
                               << "";
        QTest::newRow("hidden file is fine") << "/app"
                                             << "..hidden"
                                             << "/app/..hidden";
        // Device names are the part before the first dot, blanks before it dropped; only those.
        QTest::newRow("device, two extensions") << "/app"
                                                << "lpt9.a.b"
                                                << "";
        QTest::newRow("device, blank before the dot") << "/app"
                                                      << "Con .txt"
                                                      << "";
        for (const char* name : {"CONSOLE.txt", "COM10", "COM0", "nulx", "x.CON", "a..b"})
            QTest::newRow(name) << "/app" << name << QStringLiteral("/app/") + name;
    }

    void localTargetRefusesEscapes()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QString path;
        QString why;
        const bool ok = LocalTarget::resolve(folder, name, path, why);
        QCOMPARE(ok, !expected.isEmpty());
        if (ok)
            QCOMPARE(path, expected);
        else
            QVERIFY(!why.isEmpty());
    }

    // Mirrors on a busy morning: while the budget lasts the station goes round them all; one that
    // refuses connections is tried less often than those that answer busy, and cannot be where
    // the run ends; one that refuses the login is left.
    void mirrorsAreTriedInRounds()
    {
        ScriptedFtpClient client;
        client.logins = {{"a", {"busy", "busy", "busy", "ok"}}, {"b", {"busy"}}, {"c", {"down"}}, {"d", {"refused"}}};
        client.waitsLeft = 10;
        FtpConnection ftp(client);
        const FtpResult r = ftp.login(QStringLiteral("a,b,c,d"), QStringLiteral("u"), QStringLiteral("p"));
        QVERIFY(r.ok);
        QCOMPARE(ftp.server(), QStringLiteral("a"));
        QCOMPARE(client.tried.count("d"), 1);
        QCOMPARE(client.tried.count("a"), 4);
        QVERIFY2(client.tried.count("c") < client.tried.count("b"), qPrintable(client.tried.join(' ')));
        QCOMPARE(client.waits, (QList<int>{0, 1, 2}));
        QCOMPARE(ftp.log().count(QStringLiteral("passage au miroir")), 3); // the first round only

        ScriptedFtpClient spent; // out of budget: the busy mirror's reply, not the dead one's
        spent.logins = {{"a", {"busy"}}, {"b", {"down"}}};
        spent.waitsLeft = 3; // the last round tries both
        FtpConnection other(spent);
        const FtpResult failed = other.login(QStringLiteral("a,b"), QStringLiteral("u"), QStringLiteral("p"));
        QVERIFY(!failed.ok && failed.reply.startsWith(QLatin1String("421")));
        QCOMPARE(spent.tried.count("a"), 4);
        QCOMPARE(spent.tried.count("b"), 2);
    }

    void configFallsBackToDefaults()
    {
        QTemporaryDir dir;
        const AppConfig defaults = AppConfig::load(dir.filePath(QStringLiteral("absent.ini")));
        QCOMPARE(defaults.versionFolder(), QStringLiteral("www/DOWN/VERSIONVORN"));
        QCOMPARE(defaults.timeoutSeconds, 30);

        QFile f(dir.filePath(QStringLiteral("c.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[server]\nhost=ftp.example.org:2121\nversion_root=htdocs/\ntimeout=abc\npassword = a,b;c \"d\" #e \r\n"
                "#user=x\n[printing]\npdf_dir=/tmp/pdf\n");
        f.close();
        const AppConfig c = AppConfig::load(f.fileName());
        QCOMPARE(c.host, QStringLiteral("ftp.example.org:2121"));
        QCOMPARE(c.user, defaults.user); // missing key keeps its default
        QCOMPARE(c.versionFolder(), QStringLiteral("htdocs/DOWN/VERSIONVORN"));
        QCOMPARE(c.timeoutSeconds, 30);                         // unreadable value ignored
        QCOMPARE(c.problems.size(), 1);                         // and said
        QCOMPARE(c.password, QStringLiteral("a,b;c \"d\" #e")); // as written, to the end of the line
        QCOMPARE(c.pdfDir, QStringLiteral("/tmp/pdf"));
        QCOMPARE(c.sessions, 4);
        for (const auto& [sessions, kept] : {std::pair{"0", 4}, {"17", 4}, {"+2", 4}, {"1", 1}, {"16", 16}}) {
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write("[server]\nsessions=") &&
                    f.write(sessions));
            f.close();
            const AppConfig s = AppConfig::load(f.fileName());
            QCOMPARE(s.sessions, kept);
            QCOMPARE(s.problems.size(), kept == 4 ? 1 : 0);
        }
        for (const char* timeout : {"0", "4294968", "3601", "3600"}) {
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write("[server]\ntimeout=") &&
                    f.write(timeout));
            f.close();
            QCOMPARE(AppConfig::load(f.fileName()).timeoutSeconds, timeout == QLatin1String("3600") ? 3600 : 30);
        }
        QCOMPARE(AppConfig::load(dir.path()).problems.size(), 1); // a folder cannot be read as a file
        // A key in the wrong section changes nothing: said once, with the section where it belongs.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                f.write("stray=1\n[update]\nskip_unchanged=true\nskip_unchanged=true\nmode=direct\n[fleet]\n"
                        "reports=rapports\nsilent_days=3\n[server]\ntimout=5\n"));
        f.close();
        const AppConfig k = AppConfig::load(f.fileName());
        QVERIFY(!k.skipUnchanged && !k.stagedUpdate && k.fleetReports == "rapports" && k.silentDays == 3);
        QCOMPARE(k.problems,
                 (QStringList{"Clé inconnue ignorée : [server] timout",
                              "Clé inconnue ignorée : stray, hors de toute section",
                              "Clé inconnue ignorée : [update] skip_unchanged (elle se place dans [server])"}));

        // The run log: time-stamped lines, the older megabyte kept as ".1", the outcome on one line.
        FixedClock clock;
        const QString path = dir.filePath(RunLog::fileName());
        RunLog log(path, clock, false);
        for (int i = 0; i < 2100; ++i)
            log.write(QString(999, u'r'));
        log.outcome(QStringLiteral("fin\nde course"));
        const qint64 older = QFileInfo(path + QStringLiteral(".1")).size();
        QVERIFY(older > RunLog::RotateAt - 1100 && older <= RunLog::RotateAt);
        f.setFileName(path);
        QVERIFY(f.open(QIODevice::ReadOnly) && f.size() < RunLog::RotateAt);
        QVERIFY(f.readAll().endsWith("rrr\n2021-03-05 09:30:00 Résultat : fin de course\n"));
        // The incomplete-update message names 20 files at most.
        QCOMPARE(VersionDownload::incompleteText(QStringList(25, QStringLiteral("f"))).split(u'\n').size(), 22);
    }

    void unattendedMessagesAreOneLine()
    {
        QCOMPARE(UnattendedDialogs::oneLine(QStringLiteral("a\nb\r\nc")), QStringLiteral("a\\nb\\nc"));
        UnattendedDialogs d;
        MessageRequest yesNo;
        yesNo.buttons = DialogButtons::YesNo;
        yesNo.defaultAnswer = AnswerNo;
        QCOMPARE(d.message(yesNo), int(AnswerNo));
        yesNo.defaultAnswer = AnswerYes;
        QCOMPARE(d.message(yesNo), int(AnswerYes));
    }
};

QTEST_GUILESS_MAIN(TestLauncherLogic)
#include "tst_launcherlogic.moc"
