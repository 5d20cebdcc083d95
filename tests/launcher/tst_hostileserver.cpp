#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "ChildMemory.h"

namespace {

const QByteArray OldContent = "old copy";

// The hostile fixture, serving its two-file version folder with one fault. It tells its port
// through a file and ends once the file is gone: under Wine this program can neither read the
// fixture's output nor stop it.
class HostileServer {
public:
    explicit HostileServer(const QString& mode)
    {
        const QString portFile = m_control.filePath(QStringLiteral("port"));
        m_process.start(QStringLiteral(VORN_SYSTEM_PYTHON),
                        {QStringLiteral(VORN_FIXTURES_DIR "/hostileftp.py"), QStringLiteral("--mode"), mode,
                         QStringLiteral("--port-file"), portFile});
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            QFile file(portFile);
            if (file.open(QIODevice::ReadOnly)) {
                m_port = static_cast<quint16>(file.readAll().trimmed().toUInt());
                break;
            }
            m_process.waitForFinished(50);
        }
    }
    ~HostileServer()
    {
        QFile::remove(m_control.filePath(QStringLiteral("port")));
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    quint16 port() const { return m_port; }

private:
    QTemporaryDir m_control;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace

class TestHostileServer : public QObject {
    Q_OBJECT

private slots:
    // The whole update run against a server that misbehaves: it ends within a few timeouts and in
    // bounded memory, says how it ended, keeps the old copy of every file it could not fetch
    // safely, and leaves nothing half-written behind.
    void updateRunHoldsItsGround_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("updated"); // good.bin replaced by the server's copy
        QTest::newRow("polite") << "polite" << 0 << true;
        QTest::newRow("greeting without line end") << "greeting-stream" << 1 << false;
        QTest::newRow("endless multi-line greeting") << "multiline-forever" << 1 << false;
        QTest::newRow("greeting line of 200 KiB") << "long-line" << 1 << false;
        QTest::newRow("one byte every 2 s") << "trickle" << 1 << false;
        QTest::newRow("replies padded to 1 MiB") << "padded" << 0 << true;
        QTest::newRow("endless listing") << "listing-forever" << 4 << false;
        QTest::newRow("10 MB name in the listing") << "long-name" << 4 << false;
        QTest::newRow("more data than announced") << "size-lies" << 4 << false;
        QTest::newRow("SIZE with a unit") << "size-words" << 0 << true;
        // A refused name makes the release incomplete: nothing of it is installed.
        QTest::newRow("carriage return in a name") << "name-cr" << 4 << false;
    }

    void updateRunHoldsItsGround()
    {
        QFETCH(QString, mode);
        QFETCH(int, exitCode);
        QFETCH(bool, updated);
        const HostileServer server(mode);
        QVERIFY(server.port() != 0);
        QTemporaryDir app;
        QFile old(app.filePath(QStringLiteral("good.bin")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(OldContent);
        old.close();
        QFile ini(app.filePath(QStringLiteral("VORN_UPDATE_VERSION.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(
            QStringLiteral("[server]\nhost=127.0.0.1:%1\nuser=u\npassword=p\ntimeout=2\n").arg(server.port()).toUtf8());
        ini.close();

        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer clock;
        clock.start();
        run.start(QStringLiteral(VORN_APP_BINARY), {QStringLiteral("--unattended"), QStringLiteral("--no-start"),
                                                    QStringLiteral("--app-dir"), app.path()});
        ChildMemory memory(run);
        QVERIFY(run.waitForFinished(30000));
        const QString output = QString::fromUtf8(run.readAll());
        QVERIFY2(clock.elapsed() < 6 * 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QVERIFY2(run.exitCode() == exitCode, qPrintable(output));
        const long peak = memory.peakMegabytes();
        QVERIFY2(peak == ChildMemory::NotMeasured || peak < 150, qPrintable(QString::number(peak)));

        QFile now(app.filePath(QStringLiteral("good.bin")));
        QVERIFY(now.open(QIODevice::ReadOnly));
        QCOMPARE(now.readAll() == OldContent, !updated);
        const QStringList left = QDir(app.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : left)
            QVERIFY2(name == QLatin1String("good.bin") || name == QLatin1String("data.ini") ||
                         name.startsWith(QLatin1String("VORN_UPDATE_VERSION.")),
                     qPrintable(name));
        QVERIFY(QFile::exists(app.filePath(QStringLiteral("VORN_UPDATE_VERSION.log"))));
    }
};

QTEST_GUILESS_MAIN(TestHostileServer)
#include "tst_hostileserver.moc"
