#include "common/FtpTestServer.h"
#include "platform/ftp/QtFtpClient.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
}

// Files written by this process may not grow past `bytes` while it lives: the disk "fills up".
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

QStringList listNames(QtFtpClient& ftp, FtpHandle c)
{
    QStringList names;
    FtpFindData d;
    const FtpHandle h = ftp.findFirstFile(c, QStringLiteral("*.*"), d);
    if (!h)
        return names;
    names << d.fileName;
    while (ftp.findNextFile(h, d))
        names << d.fileName;
    ftp.closeHandle(h);
    return names;
}

} // namespace

class TestQtFtpClient : public QObject {
    Q_OBJECT

private:
    FtpHandle login(FtpClient& ftp, const FtpTestServer& server)
    {
        const FtpHandle session = ftp.open(QStringLiteral("Transfert"));
        return ftp.connect(session, server.host(), 21, FtpTestServer::user(), FtpTestServer::password(), true);
    }

private slots:
    void loginAndWorkingDirectory()
    {
        FtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.error()));
        QtFtpClient ftp(5000);

        const FtpHandle session = ftp.open(QStringLiteral("Transfert"));
        QVERIFY(ftp.connect(session, server.host(), 21, FtpTestServer::user(), QStringLiteral("wrong"), true) == 0);
        QVERIFY2(ftp.lastResponse().startsWith(QLatin1String("530")), qPrintable(ftp.lastResponse()));
        QCOMPARE(ftp.lastError(), quint32(FtpErrorExtended));

        const FtpHandle c = login(ftp, server);
        QVERIFY(c != 0);
        QVERIFY(ftp.lastResponse().startsWith(QLatin1String("230")));
        QString dir;
        QVERIFY(ftp.currentDirectory(c, dir));
        QCOMPARE(dir, QStringLiteral("/"));
        QVERIFY(ftp.lastResponse().startsWith(QLatin1String("257")));

        QVERIFY(!ftp.setCurrentDirectory(c, QStringLiteral("missing")));
        QVERIFY(ftp.lastResponse().startsWith(QLatin1String("550")));

        // Calls on a closed handle fail without inventing a reply.
        QVERIFY(ftp.closeHandle(c));
        const QString before = ftp.lastResponse();
        QVERIFY(!ftp.currentDirectory(c, dir));
        QCOMPARE(ftp.lastError(), quint32(FtpErrorInvalidHandle));
        QCOMPARE(ftp.lastResponse(), before);
    }

    void unreachableServerFailsFast()
    {
        // A port nobody listens on: refused at once, with a French explanation.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        QtFtpClient ftp(5000);
        QElapsedTimer t;
        t.start();
        const FtpHandle session = ftp.open(QStringLiteral("Transfert"));
        QCOMPARE(ftp.connect(session, QStringLiteral("127.0.0.1:%1").arg(port), 21, QStringLiteral("u"),
                             QStringLiteral("p"), true),
                 FtpHandle(0));
        QVERIFY(t.elapsed() < 3000);
        QVERIFY2(ftp.lastResponse().contains(QLatin1String("Connexion impossible")), qPrintable(ftp.lastResponse()));
        QCOMPARE(ftp.lastError(), quint32(FtpErrorCannotConnect));
    }

    void listingKeepsNamesAsGiven()
    {
        FtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.error()));
        const QStringList names{QStringLiteral("with space.txt"), QStringLiteral("l'apostrophe.ini"),
                                QStringLiteral("Éléphant ü.dat"), QStringLiteral("TOOL.EXE")};
        for (const QString& n : names)
            QVERIFY(server.put(QStringLiteral("dir/") + n, "x"));
        QVERIFY(server.makeDir(QStringLiteral("dir/sub folder")));
        QVERIFY(server.makeDir(QStringLiteral("empty")));

        QtFtpClient ftp(5000);
        const FtpHandle c = login(ftp, server);
        QVERIFY(ftp.setCurrentDirectory(c, QStringLiteral("dir")));
        QString folder; // the login asked for the working folder already: not that answer now
        QVERIFY(ftp.currentDirectory(c, folder));
        QCOMPARE(folder, QStringLiteral("/dir"));
        QStringList listed = listNames(ftp, c);
        listed.sort();
        QStringList expected = names;
        expected << QStringLiteral("sub folder");
        expected.sort();
        QCOMPARE(listed, expected);

        QVERIFY(ftp.setCurrentDirectory(c, QStringLiteral("/empty")));
        FtpFindData d;
        QCOMPARE(ftp.findFirstFile(c, QStringLiteral("*.*"), d), FtpHandle(0));
    }

    void downloadsBinaryAndAscii()
    {
        FtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.error()));
        QByteArray binary(300000, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = static_cast<char>((i * 7919) % 251);
        QVERIFY(server.put(QStringLiteral("blob.bin"), binary));
        QVERIFY(server.put(QStringLiteral("text.txt"), "line one\nline two\n"));
        QTemporaryDir local;

        QtFtpClient ftp(5000);
        const FtpHandle c = login(ftp, server);
        const QString blob = local.filePath(QStringLiteral("blob.bin"));
        QVERIFY2(ftp.getFile(c, QStringLiteral("blob.bin"), blob, false, FtpTransferUnknown),
                 qPrintable(ftp.lastResponse()));
        QCOMPARE(readFile(blob), binary);
        QVERIFY(ftp.lastResponse().startsWith(QLatin1String("226")));

        const QString text = local.filePath(QStringLiteral("text.txt"));
        QVERIFY(ftp.getFile(c, QStringLiteral("text.txt"), text, false, FtpTransferBinary));
        QCOMPARE(readFile(text), QByteArray("line one\nline two\n"));
        // ASCII keeps the network's CR LF line ends.
        QVERIFY(ftp.getFile(c, QStringLiteral("text.txt"), text, false, FtpTransferAscii));
        QCOMPARE(readFile(text), QByteArray("line one\r\nline two\r\n"));

        // Fail-if-exists refuses before asking the server.
        QVERIFY(!ftp.getFile(c, QStringLiteral("text.txt"), text, true, FtpTransferBinary));
        QCOMPARE(ftp.lastError(), quint32(FtpErrorFileExists));

        // A refused fetch creates nothing locally.
        QVERIFY(!ftp.getFile(c, QStringLiteral("missing.txt"), local.filePath(QStringLiteral("missing.txt")), false,
                             FtpTransferBinary));
        QVERIFY(ftp.lastResponse().startsWith(QLatin1String("550")));
        QVERIFY(!QFile::exists(local.filePath(QStringLiteral("missing.txt"))));
        QVERIFY(leftovers(local.path()).isEmpty());
    }

    void expectedContentIsChecked()
    {
        FtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.error()));
        // Larger than the hash's pool of buffers, and no two pieces alike.
        QByteArray body(3 * 1024 * 1024 + 5, Qt::Uninitialized);
        for (qsizetype i = 0; i < body.size(); ++i)
            body[i] = static_cast<char>((i * 7919 + i / 65521) % 251);
        QVERIFY(server.put(QStringLiteral("r.bin"), body));
        QTemporaryDir local;
        const QString target = local.filePath(QStringLiteral("r.bin"));
        writeFile(target, "old");
        QtFtpClient ftp(5000);
        const FtpHandle c = login(ftp, server);
        const QByteArray sha = QCryptographicHash::hash(body, QCryptographicHash::Sha256);
        QByteArray wrong = sha;
        wrong[31] = static_cast<char>(wrong[31] ^ 1);
        QVERIFY(ftp.expectContent({body.size(), wrong}));
        QVERIFY(!ftp.getFile(c, QStringLiteral("r.bin"), target, false, FtpTransferBinary));
        QCOMPARE(ftp.lastError(), quint32(FtpErrorContentMismatch));
        QCOMPARE(readFile(target), QByteArray("old"));
        QVERIFY(ftp.expectContent({body.size(), sha}));
        QVERIFY2(ftp.getFile(c, QStringLiteral("r.bin"), target, false, FtpTransferBinary),
                 qPrintable(ftp.lastResponse()));
        QCOMPARE(readFile(target), body);
    }

    void cutTransferKeepsOldFile()
    {
        FtpTestServer server({QStringLiteral("--cut"), QStringLiteral("big.bin:1000")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("big.bin"), QByteArray(50000, 'n')));
        QVERIFY(server.put(QStringLiteral("next.txt"), "next"));
        QTemporaryDir local;
        const QString target = local.filePath(QStringLiteral("big.bin"));
        writeFile(target, "old content");

        QtFtpClient ftp(5000);
        const FtpHandle c = login(ftp, server);
        QVERIFY(!ftp.getFile(c, QStringLiteral("big.bin"), target, false, FtpTransferBinary));
        QVERIFY2(ftp.lastResponse().contains(QStringLiteral("1000 octets reçus sur 50000")),
                 qPrintable(ftp.lastResponse()));
        QCOMPARE(readFile(target), QByteArray("old content"));
        QVERIFY(leftovers(local.path()).isEmpty());
        // The connection is still usable for the next file.
        QVERIFY(ftp.getFile(c, QStringLiteral("next.txt"), local.filePath(QStringLiteral("next.txt")), false,
                            FtpTransferBinary));
    }

    void stalledServerEndsWithinTimeout()
    {
        FtpTestServer server({QStringLiteral("--stall"), QStringLiteral("RETR")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("a.txt"), "a"));
        QTemporaryDir local;
        QtFtpClient ftp(1000);
        const FtpHandle c = login(ftp, server);
        QElapsedTimer t;
        t.start();
        QVERIFY(!ftp.getFile(c, QStringLiteral("a.txt"), local.filePath(QStringLiteral("a.txt")), false, 0));
        QVERIFY(t.elapsed() < 4000);
        QCOMPARE(ftp.lastError(), quint32(FtpErrorTimeout));
        QVERIFY2(ftp.lastResponse().contains(QStringLiteral("ne répond plus")), qPrintable(ftp.lastResponse()));
        // Later calls on the dead connection fail at once.
        t.restart();
        QString dir;
        QVERIFY(!ftp.currentDirectory(c, dir));
        QVERIFY(t.elapsed() < 500);
    }

    void closingReplyEndsTheConnection()
    {
        FtpTestServer server({QStringLiteral("--reply421"), QStringLiteral("PWD")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QtFtpClient ftp(5000);
        const FtpHandle c = login(ftp, server);
        QString dir;
        QVERIFY(!ftp.currentDirectory(c, dir));
        QVERIFY2(ftp.lastResponse().startsWith(QLatin1String("421")), qPrintable(ftp.lastResponse()));
        QVERIFY(!ftp.setCurrentDirectory(c, QStringLiteral("x")));
    }

    void passiveFallbackIgnoresAnnouncedAddress()
    {
        // No EPSV, and PASV replies that point at another host: the data must still come from the
        // server we are talking to.
        FtpTestServer server(
            {QStringLiteral("--no-epsv"), QStringLiteral("--pasv-address"), QStringLiteral("127.0.0.2")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("f.txt"), "pasv"));
        QTemporaryDir local;
        QtFtpClient ftp(3000);
        const FtpHandle c = login(ftp, server);
        QCOMPARE(listNames(ftp, c), QStringList{QStringLiteral("f.txt")});
        QVERIFY2(ftp.getFile(c, QStringLiteral("f.txt"), local.filePath(QStringLiteral("f.txt")), false, 2),
                 qPrintable(ftp.lastResponse()));
        QCOMPARE(readFile(local.filePath(QStringLiteral("f.txt"))), QByteArray("pasv"));
    }

    void uploadAndRemoteFolders()
    {
        FtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.error()));
        QTemporaryDir local;
        const QString src = local.filePath(QStringLiteral("up.txt"));
        writeFile(src, "a\nb\r\nc");
        QtFtpClient ftp(5000);
        const FtpHandle c = login(ftp, server);

        QVERIFY2(ftp.putFile(c, src, QStringLiteral("up.txt"), FtpTransferBinary), qPrintable(ftp.lastResponse()));
        QCOMPARE(server.read(QStringLiteral("up.txt")), QByteArray("a\nb\r\nc"));
        QVERIFY(ftp.putFile(c, src, QStringLiteral("up-ascii.txt"), FtpTransferAscii));
        QCOMPARE(server.read(QStringLiteral("up-ascii.txt")),
                 QByteArray("a\nb\nc")); // stored with the server's line ends

        QVERIFY(!ftp.putFile(c, local.filePath(QStringLiteral("absent.txt")), QStringLiteral("x"), 0));
        QVERIFY(ftp.lastResponse().contains(QLatin1String("Impossible de lire le fichier local")));
        QCOMPARE(ftp.lastError(), quint32(FtpErrorLocalFile));

        QVERIFY(ftp.createDirectory(c, QStringLiteral("new dir")));
        QVERIFY(ftp.lastResponse().startsWith(QLatin1String("257")));
        QVERIFY(!ftp.createDirectory(c, QStringLiteral("new dir")));
        QVERIFY(ftp.lastResponse().startsWith(QLatin1String("550")));
        QVERIFY(ftp.deleteFile(c, QStringLiteral("up.txt")));
        QVERIFY(!server.exists(QStringLiteral("up.txt")));
        QVERIFY(!ftp.deleteFile(c, QStringLiteral("new dir")));
        QVERIFY(ftp.removeDirectory(c, QStringLiteral("new dir")));
        QVERIFY(!server.exists(QStringLiteral("new dir")));
    }

    void localWriteFailureKeepsTheSessionInStep()
    {
        FtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("big.bin"), QByteArray(4 << 20, 'b')));
        QVERIFY(server.put(QStringLiteral("small.txt"), "small"));
        QTemporaryDir local;
        const QString target = local.filePath(QStringLiteral("big.bin"));
        writeFile(target, "old");
        QtFtpClient ftp(3000);
        const FtpHandle c = login(ftp, server);
        {
            const FileSizeLimit full(64 * 1024);
            QVERIFY(!ftp.getFile(c, QStringLiteral("big.bin"), target, false, FtpTransferBinary));
        }
        QCOMPARE(ftp.lastError(), quint32(FtpErrorLocalFile));
        // The server's word on the aborted transfer comes first, then ours.
        QVERIFY2(QRegularExpression(QStringLiteral("^[24]\\d\\d .*\nImpossible d'écrire le fichier local"))
                     .match(ftp.lastResponse())
                     .hasMatch(),
                 qPrintable(ftp.lastResponse()));
        QCOMPARE(readFile(target), QByteArray("old"));
        QVERIFY(leftovers(local.path()).isEmpty());
        // The reply of the failed transfer was read: each later command gets its own.
        QString dir;
        QVERIFY2(ftp.currentDirectory(c, dir), qPrintable(ftp.lastResponse()));
        QVERIFY(ftp.lastResponse().startsWith(QLatin1String("257")));
        QVERIFY(!ftp.setCurrentDirectory(c, QStringLiteral("no-such-folder")));
        QVERIFY(ftp.lastResponse().startsWith(QLatin1String("550")));
        QVERIFY2(ftp.getFile(c, QStringLiteral("small.txt"), local.filePath(QStringLiteral("small.txt")), false,
                             FtpTransferBinary),
                 qPrintable(ftp.lastResponse()));
        QCOMPARE(readFile(local.filePath(QStringLiteral("small.txt"))), QByteArray("small"));
    }

    void namesAtTheLimitAndUnsafeNames()
    {
        FtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.error()));
        const QString longest(255 - 4, QLatin1Char('n'));
        const QString accented(120, QChar(0x00e9));
        QVERIFY(server.put(longest + QStringLiteral(".bin"), "longest"));
        QVERIFY(server.put(accented, "accents"));
        QTemporaryDir local;
        // Leftovers of a killed run are swept; another program's files and a live run's are not.
        writeFile(local.filePath(QStringLiteral(".vorn-999999999-1.part")), "stale");
        writeFile(local.filePath(QStringLiteral(".vorn-%1-1.part").arg(QCoreApplication::applicationPid())), "ours");
        writeFile(local.filePath(QStringLiteral(".other-1.part")), "theirs");
        QProcess live; // another run, still downloading
        live.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(live.waitForStarted());
        const auto stop = qScopeGuard([&live] {
            live.kill();
            live.waitForFinished();
        });
        const QString liveName = QStringLiteral(".vorn-%1-1.part").arg(live.processId());
        writeFile(local.filePath(liveName), "live");

        QtFtpClient ftp(5000);
        const FtpHandle c = login(ftp, server);
        for (const QString& name : {longest + QStringLiteral(".bin"), accented})
            QVERIFY2(ftp.getFile(c, name, local.filePath(name), false, FtpTransferBinary),
                     qPrintable(ftp.lastResponse()));
        QCOMPARE(readFile(local.filePath(accented)), QByteArray("accents"));
        QStringList kept{QStringLiteral(".other-1.part"), liveName,
                         QStringLiteral(".vorn-%1-1.part").arg(QCoreApplication::applicationPid())};
        QStringList left = leftovers(local.path());
        kept.sort();
        left.sort();
        QCOMPARE(left, kept);

        // A line break in a name would smuggle a second command: nothing is sent.
        QVERIFY(!ftp.getFile(c, QStringLiteral("a.txt\r\nDELE x"), local.filePath(QStringLiteral("a.txt")), false,
                             FtpTransferBinary));
        QCOMPARE(ftp.lastError(), quint32(FtpErrorInvalidName));
        for (const QString& name : {QStringLiteral("x\nDELE y"), QStringLiteral("x\rDELE y"), QStringLiteral("x\x1b"),
                                    QString(QStringLiteral("x?y")).replace(1, 1, QChar(0))}) {
            QVERIFY2(!ftp.deleteFile(c, name), qPrintable(name));
            QCOMPARE(ftp.lastError(), quint32(FtpErrorInvalidName));
        }
        QString dir;
        QVERIFY(ftp.currentDirectory(c, dir));

        // A password the client refuses to send never reaches the log: only its mask does.
        const FtpHandle session = ftp.open(QStringLiteral("Transfert"));
        QCOMPARE(ftp.connect(session, server.host(), 21, FtpTestServer::user(), QStringLiteral("s3cr\x01t"), true),
                 FtpHandle(0));
        QVERIFY2(ftp.lastResponse().contains(QLatin1String("PASS ****")) &&
                     !ftp.lastResponse().contains(QLatin1String("s3cr")),
                 qPrintable(ftp.lastResponse()));
    }

    void waitsKeepTheCallerResponsive()
    {
        FtpTestServer server({QStringLiteral("--stall"), QStringLiteral("RETR")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("a.txt"), "a"));
        QTemporaryDir local;
        QtFtpClient ftp(1500);
        const FtpHandle c = login(ftp, server);
        int calls = 0;
        bool nestedRefused = false;
        ftp.setWaitCallback([&] {
            ++calls;
            // A second call from inside the wait must not interleave with the first.
            QString dir;
            if (!ftp.currentDirectory(c, dir) && ftp.lastError() == FtpErrorBusy)
                nestedRefused = true;
        });
        QVERIFY(!ftp.getFile(c, QStringLiteral("a.txt"), local.filePath(QStringLiteral("a.txt")), false, 0));
        QCOMPARE(ftp.lastError(), quint32(FtpErrorTimeout));
        QVERIFY2(calls >= 10, qPrintable(QString::number(calls)));
        QVERIFY(nestedRefused);
    }

    // Commands sent ahead: a server that reads one command per packet and drops the rest loses
    // them; the client sees it once, says so once, and fetches every file one command at a time.
    // A Microsoft FTP service is never sent commands ahead. Some files are checked against their
    // SHA-256 too (the last one larger than the hash's pool of buffers).
    void serversThatLoseCommandsSentAhead_data()
    {
        QTest::addColumn<QStringList>("serverArgs");
        QTest::addColumn<int>("notices");
        QTest::newRow("one command per read") << QStringList{QStringLiteral("--one-command")} << 1;
        QTest::newRow("Microsoft greeting")
            << QStringList{QStringLiteral("--one-command"), QStringLiteral("--greeting"),
                           QStringLiteral("Microsoft FTP Service")}
            << 0;
        QTest::newRow("takes commands ahead") << QStringList{} << 0;
    }
    void serversThatLoseCommandsSentAhead()
    {
        QFETCH(QStringList, serverArgs);
        QFETCH(int, notices);
        QTemporaryDir dir;
        FtpTestServer server(serverArgs + QStringList{QStringLiteral("--events"), dir.filePath(QStringLiteral("ev"))});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QList<QByteArray> bodies;
        for (int i = 0; i < 4; ++i) {
            QByteArray body(i == 3 ? 3 * 1024 * 1024 + 17 : 1000 + i, Qt::Uninitialized);
            for (qsizetype j = 0; j < body.size(); ++j)
                body[j] = static_cast<char>((j * 131 + i + j / 4099) % 253);
            bodies << body;
            QVERIFY(server.put(QStringLiteral("f%1.bin").arg(i), body));
        }
        QtFtpClient ftp(20000);
        QStringList said;
        ftp.setNoticeObserver([&said](const QString& line) { said << line; });
        const FtpHandle c = login(ftp, server);
        QVERIFY(c);
        QElapsedTimer clock;
        clock.start();
        // Two listings first: the second, the server's EPSV now known, sends its commands together
        // (the first thing a server that drops them loses), and still lists every file.
        for (int l = 0; l < 2; ++l) {
            FtpFindData entry;
            const FtpHandle find = ftp.findFirstFile(c, QStringLiteral("*.*"), entry);
            QVERIFY2(find, qPrintable(ftp.lastResponse()));
            int listed = 1;
            while (ftp.findNextFile(find, entry))
                ++listed;
            QCOMPARE(listed, bodies.size());
            ftp.closeHandle(find);
        }
        for (int i = 0; i < bodies.size(); ++i) {
            const QString name = QStringLiteral("f%1.bin").arg(i);
            if (i % 2)
                QVERIFY(ftp.expectContent(
                    {bodies[i].size(), QCryptographicHash::hash(bodies[i], QCryptographicHash::Sha256)}));
            QVERIFY2(ftp.getFile(c, name, dir.filePath(name), false, FtpTransferBinary),
                     qPrintable(ftp.lastResponse()));
            QCOMPARE(readFile(dir.filePath(name)), bodies[i]);
        }
        qint64 size = -1;
        QDateTime modified;
        QVERIFY2(ftp.fileFacts(c, QStringLiteral("f0.bin"), size, modified), qPrintable(ftp.lastResponse()));
        QCOMPARE(size, bodies[0].size());
        QVERIFY(modified.isValid());
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(said.size(), notices);
        if (notices)
            QVERIFY2(said.first().contains(QStringLiteral("une à une")), qPrintable(said.first()));
        QFile events(dir.filePath(QStringLiteral("ev")));
        QVERIFY(events.open(QIODevice::ReadOnly));
        // Only the first commands sent ahead were lost: from then on, one at a time.
        QCOMPARE(events.readAll().count("DROPPED"), notices);
    }

    // A next file's commands go out as the transfer before it ends, and its getFile finds them
    // sent. Announced but not asked for, they cost a new connection, never a wait.
    void nextFileCommandsGoAhead_data()
    {
        QTest::addColumn<QStringList>("serverArgs");
        QTest::addColumn<int>("connections");
        QTest::newRow("takes commands ahead") << QStringList{} << 2;
        QTest::newRow("one command per read") << QStringList{QStringLiteral("--one-command")} << 3;
    }
    void nextFileCommandsGoAhead()
    {
        QFETCH(QStringList, serverArgs);
        QFETCH(int, connections);
        QTemporaryDir dir;
        FtpTestServer server(serverArgs + QStringList{QStringLiteral("--events"), dir.filePath(QStringLiteral("ev"))});
        QVERIFY2(server.start(), qPrintable(server.error()));
        for (int i = 0; i < 4; ++i)
            QVERIFY(server.put(QStringLiteral("f%1.bin").arg(i), QByteArray(3000 + i, char('a' + i))));
        QtFtpClient ftp(5000);
        const FtpHandle c = login(ftp, server);
        QElapsedTimer clock;
        clock.start();
        for (int i : {0, 1, 3}) { // f2 announced, f3 asked for
            if (i < 3)
                ftp.fetchNextAhead(c, QStringLiteral("f%1.bin").arg(i + 1), 3000 + i + 1);
            const QString name = QStringLiteral("f%1.bin").arg(i);
            QVERIFY2(ftp.getFile(c, name, dir.filePath(name), false, FtpTransferBinary), qPrintable(ftp.lastResponse()));
            QCOMPARE(readFile(dir.filePath(name)), QByteArray(3000 + i, char('a' + i)));
        }
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QFile events(dir.filePath(QStringLiteral("ev")));
        QVERIFY(events.open(QIODevice::ReadOnly));
        QCOMPARE(events.readAll().count("CONNECT"), connections);
    }

    // What the main session learnt of a server that loses commands sent ahead, the extra
    // sessions of a download know from the start: one lost command in all, one line saying so.
    void companionsKnowWhatTheMainSessionLearnt()
    {
        QTemporaryDir dir;
        FtpTestServer server({QStringLiteral("--one-command"), QStringLiteral("--events"), dir.filePath("ev")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        for (int i = 0; i < 3; ++i)
            QVERIFY(server.put(QStringLiteral("f%1.bin").arg(i), QByteArray(2000 + i, 'x')));
        QtFtpClient ftp(20000);
        QStringList said;
        ftp.setNoticeObserver([&said](const QString& line) { said << line; });
        const FtpHandle c = login(ftp, server);
        QVERIFY(ftp.getFile(c, QStringLiteral("f0.bin"), dir.filePath("f0.bin"), false, FtpTransferBinary));
        for (int i = 1; i < 3; ++i) {
            const std::unique_ptr<FtpClient> other = ftp.companion();
            other->setNoticeObserver([&said](const QString& line) { said << line; });
            const FtpHandle oc = login(*other, server);
            const QString name = QStringLiteral("f%1.bin").arg(i);
            QVERIFY2(other->getFile(oc, name, dir.filePath(name), false, FtpTransferBinary),
                     qPrintable(other->lastResponse()));
            other->closeHandle(oc);
        }
        QCOMPARE(said.size(), 1);
        QFile events(dir.filePath(QStringLiteral("ev")));
        QVERIFY(events.open(QIODevice::ReadOnly));
        const QByteArray seen = events.readAll();
        QCOMPARE(seen.count("DROPPED"), 1);
        QCOMPARE(seen.count("CONNECT"), 4); // the main session, its one new try, and two companions
    }
};

QTEST_GUILESS_MAIN(TestQtFtpClient)
#include "tst_qtftpclient.moc"
