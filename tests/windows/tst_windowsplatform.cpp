#include "platform/FileSync.h"
#include "platform/NativePath.h"
#include "platform/PlatformFactory.h"
#include "platform/ProcessControl.h"
#include "platform/ProcessLiveness.h"
#include "platform/ftp/PartFile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <system_error>

namespace {

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool commitOver(const QString& target, const QByteArray& content, QString& error)
{
    PartFile part(target);
    if (!part.open(error))
        return false;
    part.file().write(content);
    return part.commit(error);
}

bool waitFor(const QString& path)
{
    const QDeadlineTimer deadline(20000);
    while (!QFile::exists(path) && !deadline.hasExpired())
        QTest::qWait(50);
    return QFile::exists(path);
}

} // namespace

class TestWindowsPlatform : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/dossier é ü-XXXXXX")};

    // A copy of the stand-in under `name` in a folder of its own.
    QString standIn(const QString& folder, const QString& name)
    {
        QDir().mkpath(m_dir.filePath(folder));
        const QString path = m_dir.filePath(folder + QLatin1Char('/') + name);
        QFile::copy(QStringLiteral(VORN_STANDIN), path);
        return path;
    }

private slots:
    // Names compared as Windows does, ignoring case; our own process is never stopped.
    void terminatesByImageName()
    {
        const std::unique_ptr<ProcessControl> control = createProcessControl();
        // A name of this run's own: the stand-ins of another run stay out of the count.
        const QString name = QStringLiteral("Vorn_Stand_%1.exe").arg(QCoreApplication::applicationPid());
        const QString program = standIn(QStringLiteral("term"), name);
        QString error;
        QVERIFY2(control->startDetached(program, &error), qPrintable(error));
        QVERIFY(waitFor(m_dir.filePath(QStringLiteral("term/started.txt"))));
        QVERIFY(readFile(m_dir.filePath(QStringLiteral("term/started.txt"))).contains("dossier é ü"));

        const TerminateResult stopped = control->terminateByImageName(name.toUpper());
        QVERIFY(stopped.ok);
        QCOMPARE(stopped.requested, 1);
        QVERIFY(!stopped.matchedSelf);
        QDeadlineTimer deadline(10000);
        while (control->terminateByImageName(name.toLower()).requested != 0 && !deadline.hasExpired())
            QTest::qWait(100);
        QVERIFY(!deadline.hasExpired());

        const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUpper();
        const TerminateResult own = control->terminateByImageName(self);
        QVERIFY(own.matchedSelf);
        QCOMPARE(own.requested, 0);
        QVERIFY(!control->startDetached(m_dir.filePath(QStringLiteral("absent.exe")), &error));
        QVERIFY(error.contains(QStringLiteral("introuvable")));
    }

    // How a watched program ended: its status, or the exception that crashed it.
    void watchedStartTellsHowItEnded_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QString>("how");
        QTest::newRow("success") << QByteArray("0") << false << QStringLiteral("code de sortie 0");
        QTest::newRow("failure") << QByteArray("3") << true << QStringLiteral("code de sortie 3");
        QTest::newRow("crash") << QByteArray("C0000005") << true
                               << QStringLiteral("arrêté par l'exception 0xC0000005 (violation d'accès)");
    }

    void watchedStartTellsHowItEnded()
    {
        QFETCH(QByteArray, code);
        QFETCH(bool, failed);
        QFETCH(QString, how);
        const QString folder = QStringLiteral("watch-") + QString::fromLatin1(code);
        const QString program = standIn(folder, QStringLiteral("VORN.exe"));
        QVERIFY(writeFile(m_dir.filePath(folder + QStringLiteral("/exit")), code));
        int ticks = 0;
        const WatchedStart started = createProcessControl()->startWatched(program, 20, [&ticks] { ++ticks; });
        QVERIFY2(started.started, qPrintable(started.error));
        QVERIFY(started.ended);
        QCOMPARE(started.failed, failed);
        QCOMPARE(started.how, how);
        // It ran in its own folder.
        QVERIFY(readFile(m_dir.filePath(folder + QStringLiteral("/started.txt")))
                    .contains("cwd=" + QDir::toNativeSeparators(m_dir.filePath(folder)).toUtf8()));
    }

    void livenessAndFolderSync()
    {
        QVERIFY(processIsRunning(QCoreApplication::applicationPid()));
        QVERIFY(!processIsRunning(0));
        const QString program = standIn(QStringLiteral("live"), QStringLiteral("ended.exe"));
        QProcess process;
        process.start(program, {});
        QVERIFY(process.waitForStarted(20000));
        const qint64 pid = process.processId();
        QVERIFY(processIsRunning(pid));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("live/stop")), ""));
        QVERIFY(process.waitForFinished(20000));
        process.close();
        QVERIFY(!processIsRunning(pid));

        QVERIFY(syncFolder(m_dir.path()));
        QVERIFY(!syncFolder(m_dir.filePath(QStringLiteral("absent"))));
    }

    // A download's rename over a target that exists, over one open elsewhere, and the moves an
    // update makes around a running program (moved away: yes; overwritten: no).
    void replacesFilesTheWayWindowsAllows()
    {
        const QString target = m_dir.filePath(QStringLiteral("données é.bin"));
        QString error;
        QVERIFY(writeFile(target, "old"));
        QVERIFY2(commitOver(target, "new", error), qPrintable(error));
        QCOMPARE(readFile(target), QByteArray("new"));

        {
            QFile open(target);
            QVERIFY(open.open(QIODevice::ReadOnly));
            QVERIFY(!commitOver(target, "newer", error));
            QVERIFY(!error.isEmpty());
        }
        QCOMPARE(readFile(target), QByteArray("new"));
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral(".vorn-*.part")}, QDir::Files | QDir::Hidden).size(), 0);

        const QString running = standIn(QStringLiteral("run"), QStringLiteral("VORN.exe"));
        QProcess process;
        process.start(running, {});
        QVERIFY(process.waitForStarted(20000));
        QVERIFY(waitFor(m_dir.filePath(QStringLiteral("run/started.txt"))));
        QVERIFY(!commitOver(running, "replacement", error));
        std::error_code ec;
        const QString previous = m_dir.filePath(QStringLiteral("run/VORN.exe.previous"));
        std::filesystem::rename(nativePath(running), nativePath(previous), ec);
        QVERIFY2(!ec, ec.message().c_str());
        QVERIFY2(commitOver(running, "replacement", error), qPrintable(error));
        QCOMPARE(readFile(running), QByteArray("replacement"));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("run/stop")), ""));
        QVERIFY(process.waitForFinished(20000));
    }
};

QTEST_GUILESS_MAIN(TestWindowsPlatform)
#include "tst_windowsplatform.moc"
