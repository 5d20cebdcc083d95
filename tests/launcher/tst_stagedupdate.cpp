#include "common/FtpTestServer.h"
#include "common/TestFiles.h"
#include "launcher/ReleaseSwap.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/mount.h>

namespace {

const QString Folder = QStringLiteral("www/DOWN/VERSIONVORN/");
using Release = QMap<QString, QByteArray>;

// The release files of an application folder: everything but the program's own files.
Release filesOf(const QString& folder)
{
    Release files;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        if (name.startsWith(QLatin1String("VORN_UPDATE_VERSION.")) || name == QLatin1String("Profil.ini"))
            continue;
        files.insert(name, QCryptographicHash::hash(readFile(QDir(folder).filePath(name)), QCryptographicHash::Sha256));
    }
    return files;
}

Release hashed(const Release& contents)
{
    Release out;
    for (auto it = contents.cbegin(); it != contents.cend(); ++it)
        out.insert(it.key(), QCryptographicHash::hash(it.value(), QCryptographicHash::Sha256));
    return out;
}

const Release OldRelease{{"VORN.exe", "old exe"}, {"a.dll", "old a"}, {"gone.txt", "kept by the new release"}};
const Release NewRelease{{"VORN.exe", "new exe"}, {"a.dll", "new a"}, {"b.dll", "new b"}};

Release expectedNew()
{
    Release r = NewRelease;
    r.insert(QStringLiteral("gone.txt"), OldRelease.value(QStringLiteral("gone.txt")));
    return r;
}

void layOut(const QString& folder, const Release& release)
{
    for (auto it = release.cbegin(); it != release.cend(); ++it)
        QVERIFY(writeFile(QDir(folder).filePath(it.key()), it.value()));
}

struct Program {
    explicit Program(QString dir)
        : appDir(std::move(dir))
    {}
    QString appDir;
    QString output;
    int exitCode = -1;

    int run(QStringList arguments)
    {
        arguments << QStringLiteral("--unattended") << QStringLiteral("--app-dir") << appDir;
        return exitCode = runProgram(QStringLiteral(VORN_APP_BINARY), arguments, &output);
    }

    void configure(const QString& host, const QString& extra = {})
    {
        QVERIFY(writeFile(
            QDir(appDir).filePath(QStringLiteral("VORN_UPDATE_VERSION.ini")),
            QStringLiteral("[server]\nhost=%1\nuser=vorn\npassword=secret\ntimeout=3\n%2").arg(host, extra).toUtf8()));
    }
};

// A port where nothing listens: the server is down.
QString deadHost()
{
    return QStringLiteral("127.0.0.1:9");
}

} // namespace

class TestStagedUpdate : public QObject {
    Q_OBJECT

    void serve(FtpTestServer& server, const Release& release)
    {
        for (auto it = release.cbegin(); it != release.cend(); ++it)
            QVERIFY(server.put(Folder + it.key(), it.value()));
    }

private slots:
    // The swap and the rollback stopped dead after every change they make to the disk, then the
    // next start: the folder always holds one release or the other.
    void everyInterruptedSwapIsRecovered()
    {
        for (int crashAt = 0;; ++crashAt) {
            QTemporaryDir dir;
            layOut(dir.path(), OldRelease);
            QVERIFY(writeFile(dir.filePath(QStringLiteral("Profil.ini")), "profiles"));
            ReleaseSwap swap(dir.path());
            QString error;
            QVERIFY(swap.prepareStaging(error));
            layOut(swap.stagingFolder(), NewRelease);
            swap.setCrashAfter(crashAt);
            const bool finished = swap.install(NewRelease.keys(), {}, error);

            ReleaseSwap(dir.path()).recover();
            const Release now = filesOf(dir.path());
            QVERIFY2(now == hashed(OldRelease) || now == hashed(expectedNew()), qPrintable(QString::number(crashAt)));
            QVERIFY(!QFileInfo::exists(dir.filePath(ReleaseSwap::stagingName())));
            QCOMPARE(readFile(dir.filePath(QStringLiteral("Profil.ini"))), QByteArray("profiles"));
            if (!finished)
                continue;

            // Installed: the way back, stopped at each of its changes in turn, then recovered.
            QCOMPARE(now, hashed(expectedNew()));
            for (int back = 0;; ++back) {
                QTemporaryDir copy;
                QVERIFY(QProcess::execute(QStringLiteral("cp"),
                                          {QStringLiteral("-a"), dir.path() + "/.", copy.path()}) == 0);
                ReleaseSwap undo(copy.path());
                undo.setCrashAfter(back);
                const bool restored = undo.rollback({}, error);
                ReleaseSwap(copy.path()).recover();
                const Release after = filesOf(copy.path());
                QVERIFY2(after == hashed(OldRelease) || after == hashed(expectedNew()),
                         qPrintable(QString::number(back)));
                if (restored) {
                    QCOMPARE(after, hashed(OldRelease));
                    QVERIFY(!ReleaseSwap(copy.path()).hasPrevious());
                    break;
                }
            }
            break;
        }
    }

    // A move that really fails part-way (a file stands where the last entry needs a folder): the
    // moves already made are undone by install() itself, with no recovery to lean on.
    void failedMoveIsUndoneAtOnce()
    {
        QTemporaryDir dir;
        layOut(dir.path(), OldRelease);
        QVERIFY(writeFile(dir.filePath(QStringLiteral("z")), "a file, not a folder"));
        ReleaseSwap swap(dir.path());
        QString error;
        QVERIFY(swap.prepareStaging(error));
        Release staged = NewRelease;
        staged.insert(QStringLiteral("z/last.dll"), "cannot go in");
        QVERIFY(QDir().mkpath(QDir(swap.stagingFolder()).filePath(QStringLiteral("z"))));
        layOut(swap.stagingFolder(), staged);
        QVERIFY(!swap.install(staged.keys(), {}, error));
        QVERIFY(error.contains(QStringLiteral("z/last.dll")));
        Release expected = hashed(OldRelease);
        expected.insert(QStringLiteral("z"),
                        QCryptographicHash::hash("a file, not a folder", QCryptographicHash::Sha256));
        QCOMPARE(filesOf(dir.path()), expected);
        QVERIFY(!swap.hasPrevious());
        QVERIFY(!QFileInfo::exists(dir.filePath(ReleaseSwap::stagingName())));
    }

    // The real program against a real server: a release is installed whole, kept, and taken back;
    // a cut transfer installs nothing.
    void installRollbackAndCutTransfer()
    {
        QTemporaryDir app;
        layOut(app.path(), OldRelease);
        FtpTestServer server({QStringLiteral("--cut"), QStringLiteral("b.dll:3")});
        QVERIFY(server.start());
        serve(server, NewRelease);
        QVERIFY(server.makeDir(Folder + QStringLiteral("plugins")));
        Program program(app.path());
        program.configure(server.host());

        QCOMPARE(program.run({QStringLiteral("--no-start")}), 4);
        QVERIFY2(program.output.contains(QStringLiteral("Aucun fichier de la nouvelle version n'a été installé")),
                 qPrintable(program.output));
        QVERIFY(program.output.contains(QStringLiteral("Dossier « plugins » ignoré")));
        QCOMPARE(filesOf(app.path()), hashed(OldRelease));
        QVERIFY(!QFileInfo::exists(app.filePath(ReleaseSwap::stagingName())));

        FtpTestServer good;
        QVERIFY(good.start());
        serve(good, NewRelease);
        QVERIFY(good.makeDir(Folder + QStringLiteral("plugins")));
        program.configure(good.host());
        QCOMPARE(program.run({QStringLiteral("--no-start")}), 0); // the sub-folder is no failure
        QCOMPARE(filesOf(app.path()), hashed(expectedNew()));

        QCOMPARE(program.run({QStringLiteral("--rollback"), QStringLiteral("--no-start")}), 0);
        QCOMPARE(filesOf(app.path()), hashed(OldRelease));
        QCOMPARE(program.run({QStringLiteral("--rollback"), QStringLiteral("--no-start")}), 7);
        QVERIFY2(program.output.contains(QStringLiteral("Aucune version précédente")), qPrintable(program.output));
        QCOMPARE(filesOf(app.path()), hashed(OldRelease));
    }

    // kill -9 at random moments of a 300-file update, then a start with the server down.
    void killedRunsLeaveNoMix()
    {
        Release big;
        for (int i = 0; i < 300; ++i)
            big.insert(QStringLiteral("f%1.dat").arg(i, 3, 10, QLatin1Char('0')), QByteArray(2000, char('a' + i % 26)));
        Release old;
        for (auto it = big.cbegin(); it != big.cend(); ++it)
            old.insert(it.key(), "old");
        FtpTestServer server;
        QVERIFY(server.start());
        serve(server, big);
        int mixedOrFailed = 0;
        for (int round = 0; round < 6; ++round) {
            QTemporaryDir app;
            layOut(app.path(), old);
            Program program(app.path());
            program.configure(server.host());
            QProcess p;
            p.start(QStringLiteral(VORN_APP_BINARY), {QStringLiteral("--unattended"), QStringLiteral("--no-start"),
                                                      QStringLiteral("--app-dir"), app.path()});
            QVERIFY(p.waitForStarted());
            QThread::msleep(QRandomGenerator::global()->bounded(50, 700));
            ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
            p.waitForFinished();

            program.configure(deadHost(), QStringLiteral("retry_for=0\n"));
            program.run({QStringLiteral("--no-start")});
            const Release now = filesOf(app.path());
            if (now != hashed(old) && now != hashed(big))
                ++mixedOrFailed;
            QVERIFY(!QFileInfo::exists(app.filePath(ReleaseSwap::stagingName())));
        }
        QCOMPARE(mixedOrFailed, 0);
    }

    // The disk fills while the release is being fetched: nothing of it is installed.
    void fullDiskDuringStaging()
    {
        QTemporaryDir app;
        if (::mount("tmpfs", QFile::encodeName(app.path()).constData(), "tmpfs", 0, "size=256k") != 0)
            QSKIP("a small file system cannot be mounted here (needs root)");
        layOut(app.path(), {{"VORN.exe", "old exe"}, {"small.txt", "old"}});
        FtpTestServer server;
        QVERIFY(server.start());
        serve(server, {{"small.txt", "new"}, {"VORN.exe", QByteArray(1024 * 1024, 'x')}});
        Program program(app.path());
        program.configure(server.host());
        const int status = program.run({QStringLiteral("--no-start")});
        const QByteArray small = readFile(app.filePath(QStringLiteral("small.txt")));
        const QByteArray exe = readFile(app.filePath(QStringLiteral("VORN.exe")));
        const bool staged = QFileInfo::exists(app.filePath(ReleaseSwap::stagingName()));
        ::umount2(QFile::encodeName(app.path()).constData(), MNT_DETACH);
        QCOMPARE(status, 4);
        QCOMPARE(small, QByteArray("old"));
        QCOMPARE(exe, QByteArray("old exe"));
        QVERIFY(!staged);
    }

    // A new VORN.exe that fails at once is taken back and the old one started.
    void failedStartIsWithdrawn()
    {
        QTemporaryDir app;
        const QByteArray oldExe = "#!/bin/sh\necho started > \"$(dirname \"$0\")/old-ran\"\n";
        layOut(app.path(), {{"VORN.exe", oldExe}, {"a.dll", "old a"}});
        FtpTestServer server;
        QVERIFY(server.start());
        serve(server, {{"VORN.exe", "#!/bin/sh\nexit 1\n"}, {"a.dll", "new a"}});
        Program program(app.path());
        program.configure(server.host(), QStringLiteral("[update]\nstart_check=5\n"));
        QCOMPARE(program.run({}), 5);
        QVERIFY2(program.output.contains(QStringLiteral("n'a pas démarré (code de sortie 1)")),
                 qPrintable(program.output));
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), oldExe);
        QCOMPARE(readFile(app.filePath(QStringLiteral("a.dll"))), QByteArray("old a"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(app.filePath(QStringLiteral("old-ran"))), 5000);
        const QString log = QString::fromUtf8(readFile(app.filePath(QStringLiteral("VORN_UPDATE_VERSION.log"))));
        QVERIFY(log.contains(QStringLiteral("Résultat : nouvelle version retirée")));
    }
};

QTEST_GUILESS_MAIN(TestStagedUpdate)
#include "tst_stagedupdate.moc"
