#include "common/FtpTestServer.h"
#include "platform/ftp/QtFtpClient.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The update run against a server whose one session is taken when the run starts and freed once
// the run has been turned away.
namespace {

// Starts the unattended update of `app` against `server`, with `settings` added to [server].
bool startUpdate(QProcess& run, const QTemporaryDir& app, const FtpTestServer& server, const QString& settings)
{
    QFile ini(app.filePath(QStringLiteral("VORN_UPDATE_VERSION.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.write(QStringLiteral("[server]\nhost=%1\nuser=%2\npassword=%3\n%4")
                  .arg(server.host(), server.user(), server.password(), settings)
                  .toUtf8());
    ini.close();
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral(VORN_APP_BINARY),
              {QStringLiteral("--unattended"), QStringLiteral("--no-start"), QStringLiteral("--app-dir"), app.path()});
    return true;
}

} // namespace

class TestBusyServer : public QObject {
    Q_OBJECT

private slots:
    void updateWaitsForItsSession_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("retries") << "start_delay=1\n" << 0;
        QTest::newRow("retries off") << "retry_for=0\n" << 1;
    }

    void updateWaitsForItsSession()
    {
        QFETCH(QString, settings);
        QFETCH(int, exitCode);
        FtpTestServer server({QStringLiteral("--max-sessions"), QStringLiteral("1")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("www/DOWN/VERSIONVORN/data.ini"), "new"));
        QtFtpClient other(5000);
        const FtpHandle held =
            other.connect(other.open(QStringLiteral("t")), server.host(), 21, server.user(), server.password(), true);
        QTemporaryDir app;
        QProcess run;
        QVERIFY(held && startUpdate(run, app, server, settings));
        // The session is freed once the run has been turned away, however slowly it started.
        const auto logText = [&app] {
            QFile log(app.filePath(QStringLiteral("VORN_UPDATE_VERSION.log")));
            return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
        };
        QTRY_VERIFY_WITH_TIMEOUT(
            logText().contains(QStringLiteral("421 There are too many")) || run.state() == QProcess::NotRunning, 60000);
        other.closeHandle(held);
        QTRY_VERIFY_WITH_TIMEOUT(run.state() == QProcess::NotRunning, 60000);
        QVERIFY2(run.exitCode() == exitCode, qPrintable(QString::fromUtf8(run.readAll())));
        QCOMPARE(QFile::exists(app.filePath(QStringLiteral("data.ini"))), exitCode == 0);
        const QString text = logText();
        QVERIFY2(text.contains(QStringLiteral("421 There are too many")), qPrintable(text));
        QCOMPARE(text.contains(QStringLiteral("Serveur occupé, nouvel essai dans")), exitCode == 0);
        QCOMPARE(text.contains(QStringLiteral("Départ différé de")), exitCode == 0);
    }

    // A file the server refuses, with its passive port closed before the data connection comes
    // (as ProFTPD does when EPSV and RETR arrive together): its refusal is told as it is, never
    // taken for a busy server and tried again. The listing's parent line is refused the same way.
    void refusedFileIsNotRetried_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::newRow("default") << QString();
        QTest::newRow("one session") << "sessions=1\n";
    }

    void refusedFileIsNotRetried()
    {
        QFETCH(QString, settings);
        QTemporaryDir app;
        // Replies come late, so that the port is closed before the client learns it: its data
        // connection is refused, never accepted and reset.
        FtpTestServer server({QStringLiteral("--refuse-file"), QStringLiteral("refused.dat"),
                              QStringLiteral("--refuse-file"), QStringLiteral("../:550 ../: Not a regular file"),
                              QStringLiteral("--reply-delay"), QStringLiteral("20")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        for (int i = 0; i < 6; ++i)
            QVERIFY(server.put(QStringLiteral("www/DOWN/VERSIONVORN/f%1.ini").arg(i), "new"));
        QVERIFY(server.put(QStringLiteral("www/DOWN/VERSIONVORN/refused.dat"), "no"));
        QProcess run;
        QVERIFY(startUpdate(run, app, server, settings));
        QVERIFY(run.waitForFinished(60000));
        const QString out = QString::fromUtf8(run.readAll());
        QVERIFY2(run.exitCode() == 4, qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("550 refused.dat: Permission denied")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("550 ../: Not a regular file")), qPrintable(out));
        QVERIFY2(!out.contains(QStringLiteral("nouvel essai")) && !out.contains(QStringLiteral("Connexion de données")),
                 qPrintable(out));
        QVERIFY(!QFile::exists(app.filePath(QStringLiteral("refused.dat"))));
    }

    // A download over four sessions from a server that takes two: the sessions it refuses only
    // make the download slower, every file arrives whole, and none is fetched twice.
    void refusedExtraSessionsOnlySlowTheDownload()
    {
        QTemporaryDir app;
        const QString events = app.filePath(QStringLiteral("events.txt"));
        FtpTestServer server(
            {QStringLiteral("--max-sessions"), QStringLiteral("2"), QStringLiteral("--events"), events});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QMap<QString, QByteArray> files;
        for (int i = 0; i < 40; ++i)
            files.insert(QStringLiteral("f%1.bin").arg(i), QByteArray((i * 7919) % 200000 + 1, char('a' + i % 26)));
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY(server.put(QStringLiteral("www/DOWN/VERSIONVORN/") + it.key(), it.value()));
        QProcess run;
        QVERIFY(startUpdate(run, app, server, QStringLiteral("sessions=4\n")));
        QVERIFY(run.waitForFinished(60000));
        const QString out = QString::fromUtf8(run.readAll());
        QVERIFY2(run.exitCode() == 0, qPrintable(out));
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            QFile got(app.filePath(it.key()));
            QVERIFY2(got.open(QIODevice::ReadOnly) && got.readAll() == it.value(), qPrintable(it.key()));
        }
        QVERIFY2(out.contains(QStringLiteral("Le serveur refuse une session de téléchargement de plus (421")),
                 qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Téléchargement sur 2 sessions en parallèle.")), qPrintable(out));
        QFile log(events);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QCOMPARE(lines.count("CONNECT"), 4);
        QCOMPARE(
            std::count_if(lines.cbegin(), lines.cend(), [](const QByteArray& l) { return l.startsWith("RETR f"); }),
            files.size());
    }
};

QTEST_GUILESS_MAIN(TestBusyServer)
#include "tst_busyserver.moc"
