#include "common/FtpTestServer.h"
#include "common/ServiceSkip.h"
#include "common/TestFiles.h"
#include "platform/ftp/QtFtpClient.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

FtpHandle login(QtFtpClient& ftp, const QString& host, const QString& user = FtpTestServer::user(),
                const QString& password = FtpTestServer::password())
{
    return ftp.connect(ftp.open(QStringLiteral("Transfert")), host, 21, user, password, true);
}

FtpTlsSettings trusting(const QString& caFile)
{
    FtpTlsSettings tls;
    tls.mode = FtpTlsSettings::Mode::Explicit;
    tls.caFile = caFile;
    return tls;
}

} // namespace

class TestFtpTls : public QObject {
    Q_OBJECT

    QTemporaryDir m_certificates; // made fresh by the fixture script for this run

    QString pem(const QString& name) const { return m_certificates.filePath(name + QStringLiteral(".pem")); }
    QStringList tlsServer(const QString& name) const
    {
        return {QStringLiteral("--tls-cert"), pem(name), QStringLiteral("--tls-key"),
                m_certificates.filePath(name + QStringLiteral(".key"))};
    }

    // A server that answers a transfer only once the client has closed its side of the data
    // connection too: no listing or download may wait for the timeout to end.
    static void answeredWithoutWaiting(QtFtpClient& ftp, FtpHandle c, const QString& name, const QString& back)
    {
        FtpFindData entry;
        QElapsedTimer took;
        took.start();
        for (int i = 0; i < 10; ++i) {
            QVERIFY2(ftp.findFirstFile(c, name, entry), qPrintable(ftp.lastResponse()));
            QVERIFY2(ftp.getFile(c, name, back, false, FtpTransferBinary), qPrintable(ftp.lastResponse()));
        }
        QVERIFY2(took.elapsed() < 5000, qPrintable(QStringLiteral("%1 ms").arg(took.elapsed())));
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(runHostProgram(QStringLiteral("/bin/sh"),
                                {QStringLiteral(VORN_FIXTURES_DIR "/testcerts.sh"), m_certificates.path()}),
                 0);
    }

    void encryptedSessionEndToEnd()
    {
        FtpTestServer server(tlsServer(QStringLiteral("server")) +
                             QStringList{QStringLiteral("--cut"), QStringLiteral("cut.bin:100")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("f.bin"), QByteArray(300000, 'f')));
        QVERIFY(server.put(QStringLiteral("cut.bin"), QByteArray(5000, 'c')));
        QTemporaryDir local;

        // The server takes no clear login.
        QtFtpClient clear(5000);
        QCOMPARE(login(clear, server.host()), FtpHandle(0));
        QVERIFY2(clear.lastResponse().startsWith(QLatin1Char('5')), qPrintable(clear.lastResponse()));

        QtFtpClient ftp(5000);
        ftp.setTls(trusting(pem(QStringLiteral("ca"))));
        const FtpHandle c = login(ftp, server.host());
        QVERIFY2(c, qPrintable(ftp.lastResponse()));
        QVERIFY(!ftp.lastResponse().contains(QStringLiteral("vérifié")));

        FtpFindData entry;
        const FtpHandle find = ftp.findFirstFile(c, QStringLiteral("*.*"), entry);
        QVERIFY2(find, qPrintable(ftp.lastResponse()));
        ftp.closeHandle(find);
        const QString target = local.filePath(QStringLiteral("f.bin"));
        QVERIFY2(ftp.getFile(c, QStringLiteral("f.bin"), target, false, FtpTransferBinary),
                 qPrintable(ftp.lastResponse()));
        QCOMPARE(readFile(target), QByteArray(300000, 'f'));
        QVERIFY2(ftp.putFile(c, target, QStringLiteral("up.bin"), FtpTransferBinary), qPrintable(ftp.lastResponse()));
        QCOMPARE(server.read(QStringLiteral("up.bin")).size(), 300000);

        // A cut transfer keeps the old file, as in clear.
        const QString cut = local.filePath(QStringLiteral("cut.bin"));
        QFile old(cut);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        QVERIFY(!ftp.getFile(c, QStringLiteral("cut.bin"), cut, false, FtpTransferBinary));
        QCOMPARE(readFile(cut), QByteArray("old"));
        QString dir;
        QVERIFY2(ftp.currentDirectory(c, dir), qPrintable(ftp.lastResponse()));
    }

    void refusalsEndTheLogin_data()
    {
        QTest::addColumn<QString>("certificate"); // empty: the server offers no TLS at all
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("reason");
        QTest::newRow("other authority") << QStringLiteral("foreign") << QStringLiteral("127.0.0.1")
                                         << QStringLiteral("pas signé par une autorité reconnue");
        QTest::newRow("wrong name") << QStringLiteral("elsewhere") << QStringLiteral("127.0.0.1")
                                    << QStringLiteral("ne porte pas le nom « 127.0.0.1 »");
        QTest::newRow("no AUTH TLS") << QString() << QStringLiteral("127.0.0.1")
                                     << QStringLiteral("n'accepte pas le chiffrement TLS");
    }

    void refusalsEndTheLogin()
    {
        QFETCH(QString, certificate);
        QFETCH(QString, host);
        QFETCH(QString, reason);
        FtpTestServer server(certificate.isEmpty() ? QStringList() : tlsServer(certificate));
        QVERIFY2(server.start(), qPrintable(server.error()));
        QtFtpClient ftp(5000);
        ftp.setTls(trusting(pem(QStringLiteral("ca"))));
        QCOMPARE(login(ftp, QStringLiteral("%1:%2").arg(host).arg(server.port())), FtpHandle(0));
        QVERIFY2(ftp.lastResponse().contains(reason), qPrintable(ftp.lastResponse()));
        QVERIFY(ftp.lastResponse().contains(QStringLiteral("abandonnée")) ||
                ftp.lastResponse().contains(QStringLiteral("Rien n'a été envoyé en clair")));
    }

    void unverifiedBenchSaysSoAndStallsEnd()
    {
        FtpTestServer server(tlsServer(QStringLiteral("foreign")) +
                             QStringList{QStringLiteral("--stall"), QStringLiteral("RETR")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("a.txt"), "a"));
        QTemporaryDir local;
        QtFtpClient ftp(1500);
        FtpTlsSettings tls = trusting(QString());
        tls.verify = false;
        ftp.setTls(tls);
        const FtpHandle c = login(ftp, server.host());
        QVERIFY2(c, qPrintable(ftp.lastResponse()));
        QVERIFY2(ftp.lastResponse().startsWith(QLatin1String("230")), qPrintable(ftp.lastResponse()));
        QVERIFY(ftp.lastResponse().contains(QStringLiteral("n'est pas vérifié")));
        QElapsedTimer t;
        t.start();
        QVERIFY(!ftp.getFile(c, QStringLiteral("a.txt"), local.filePath(QStringLiteral("a.txt")), false, 0));
        QCOMPARE(ftp.lastError(), quint32(FtpErrorTimeout));
        QVERIFY(t.elapsed() < 6000);
        QVERIFY(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    // The program itself, with the configuration an operator writes: the update and the intake
    // work over TLS; without TLS the same server refuses the login and nothing is written.
    void programRunsOverTls_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("tls");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expected"); // a file the run must have written, or none
        QTest::newRow("update") << QString() << QStringLiteral("explicit") << 0 << QStringLiteral("good.bin");
        QTest::newRow("intake") << QStringLiteral("--intake") << QStringLiteral("explicit") << 0
                                << QStringLiteral("DOWN/DI20240101120000.txt");
        QTest::newRow("misspelt tls") << QString() << QStringLiteral("on") << 1 << QString();
    }

    void programRunsOverTls()
    {
        QFETCH(QString, mode);
        QFETCH(QString, tls);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        FtpTestServer server(tlsServer(QStringLiteral("server")));
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("www/DOWN/VERSIONVORN/good.bin"), "new"));
        QVERIFY(server.put(QStringLiteral("www/DI/DI20240101120000.txt"), "Dupont//RH//2//1"));
        QTemporaryDir app;
        QFile ini(app.filePath(QStringLiteral("VORN_UPDATE_VERSION.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(
            QStringLiteral("[server]\nhost=%1\nuser=%2\npassword=%3\ntimeout=5\ntls=%4\ntls_ca=%5\n")
                .arg(server.host(), FtpTestServer::user(), FtpTestServer::password(), tls, pem(QStringLiteral("ca")))
                .toUtf8());
        ini.close();
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        QStringList arguments{QStringLiteral("--unattended"), QStringLiteral("--no-start"), QStringLiteral("--app-dir"),
                              app.path()};
        if (!mode.isEmpty())
            arguments.prepend(mode);
        run.start(QStringLiteral(VORN_APP_BINARY), arguments);
        QVERIFY(run.waitForFinished(30000));
        const QString output = QString::fromUtf8(run.readAll());
        QVERIFY2(run.exitCode() == exitCode, qPrintable(output));
        if (expected.isEmpty())
            QVERIFY(!QFile::exists(app.filePath(QStringLiteral("good.bin"))));
        else
            QVERIFY2(QFile::exists(app.filePath(expected)), qPrintable(output));
    }

    // A vsftpd server started by the test services (TLS required, session reuse required on data
    // connections): VORN_TEST_VSFTPD holds "host:port user password ca-file".
    // The same wait for the client's close after the server's, by the fixture: guarded on every
    // machine, vsftpd or not.
    void serverWaitingForTheClientsCloseAnswersAtOnce()
    {
        FtpTestServer server(tlsServer(QStringLiteral("server")) + QStringList{QStringLiteral("--tls-wait-close")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("w.bin"), QByteArray(70000, 'w')));
        QTemporaryDir local;
        QtFtpClient ftp(5000);
        ftp.setTls(trusting(pem(QStringLiteral("ca"))));
        const FtpHandle c = login(ftp, server.host());
        QVERIFY2(c, qPrintable(ftp.lastResponse()));
        const QString back = local.filePath(QStringLiteral("w.bin"));
        answeredWithoutWaiting(ftp, c, QStringLiteral("w.bin"), back);
        QCOMPARE(readFile(back), QByteArray(70000, 'w'));
    }

    void vsftpdAcceptsTheDataConnections()
    {
        const QStringList vsftpd =
            QString::fromLocal8Bit(qgetenv("VORN_TEST_VSFTPD")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (vsftpd.size() != 4)
            VORN_SKIP_WITHOUT_SERVICE(
                QStringLiteral("no vsftpd test server (scripts/start-test-services starts one when run as root)"));
        QTemporaryDir local;
        QtFtpClient ftp(5000);
        ftp.setTls(trusting(vsftpd[3]));
        const FtpHandle c = login(ftp, vsftpd[0], vsftpd[1], vsftpd[2]);
        QVERIFY2(c, qPrintable(ftp.lastResponse()));
        const QString up = local.filePath(QStringLiteral("up.bin"));
        QFile f(up);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100000, 'v'));
        f.close();
        QVERIFY2(ftp.putFile(c, up, QStringLiteral("tls-test.bin"), FtpTransferBinary), qPrintable(ftp.lastResponse()));
        FtpFindData entry;
        QVERIFY2(ftp.findFirstFile(c, QStringLiteral("tls-test.bin"), entry), qPrintable(ftp.lastResponse()));
        const QString back = local.filePath(QStringLiteral("back.bin"));
        QVERIFY2(ftp.getFile(c, QStringLiteral("tls-test.bin"), back, false, FtpTransferBinary),
                 qPrintable(ftp.lastResponse()));
        QCOMPARE(readFile(back), QByteArray(100000, 'v'));
        answeredWithoutWaiting(ftp, c, QStringLiteral("tls-test.bin"), back);
        QVERIFY(ftp.deleteFile(c, QStringLiteral("tls-test.bin")));
    }
};

QTEST_GUILESS_MAIN(TestFtpTls)
#include "tst_ftptls.moc"
