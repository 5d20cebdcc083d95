#include "common/FtpTestServer.h"
#include "platform/ftp/QtFtpClient.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The fixture's lines of `kind` ("CONNECT", "RETR").
QStringList events(const QTemporaryDir& dir, const QString& kind)
{
    QFile f(dir.filePath(QStringLiteral("events")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')).filter(kind)
                                       : QStringList();
}

FtpHandle login(QtFtpClient& ftp, const FtpTestServer& server, const QString& password = FtpTestServer::password())
{
    return ftp.connect(ftp.open(QStringLiteral("t")), server.host(), 21, server.user(), password, true);
}

// Retries without sleeping: every wait drawn as 0 ms.
RetryPolicy instantRetries()
{
    return RetryPolicy(120, [] { return 0.0; });
}

} // namespace

class TestFtpRetry : public QObject {
    Q_OBJECT

private slots:
    void waitsGrowWithJitterWithinTheBudget()
    {
        qint64 now = 0;
        double draw = 0.999999;
        RetryPolicy policy(
            60, [&draw] { return draw; }, [&now] { return now; });
        QList<qint64> ceilings;
        for (int k = 0; k < 7; ++k)
            ceilings << (*policy.waitBefore(k) + 1) / 1000 * 1000;
        QCOMPARE(ceilings, (QList<qint64>{1000, 2000, 4000, 8000, 16000, 30000, 30000}));
        draw = 0.25;
        QCOMPARE(*policy.waitBefore(3), qint64(2000));
        // The budget runs from the first wait; the last one is cut to what is left.
        now = 58500;
        draw = 0.999999;
        QCOMPARE(*policy.waitBefore(4), qint64(1500));
        now = 60000;
        QVERIFY(!policy.waitBefore(0));
        QVERIFY(!RetryPolicy(0).waitBefore(0));
        // A session beside this one has the same budget: spent when this one's is, or, when this
        // one has not waited yet, counted from the moment the companion was made.
        now = 10000;
        RetryPolicy fresh(
            60, [] { return 0.5; }, [&now] { return now; });
        RetryPolicy early = fresh.companion();
        now = 69000;
        QVERIFY(early.waitBefore(0));
        now = 70000;
        QVERIFY(!early.waitBefore(0));
        QVERIFY(!policy.companion().waitBefore(0));
        for (int code : {421, 425, 426, 450, 451, 452})
            QVERIFY(RetryPolicy::transientReply(code));
        for (int code : {530, 550, 553, 500, 226})
            QVERIFY(!RetryPolicy::transientReply(code));
    }

    // A login refused while the server is full gets its session once another leaves, on a new
    // control connection. A refused data connection is retried on the same one, except when its
    // RETR went out with it: some servers keep that RETR waiting for a data connection, so the
    // session is given up and the file fetched over a new one.
    void busyServerServesOnceFree()
    {
        QTemporaryDir dir;
        FtpTestServer server({QStringLiteral("--max-sessions"), QStringLiteral("1"), QStringLiteral("--refuse-data"),
                              QStringLiteral("2"), QStringLiteral("--refuse-data-after"), QStringLiteral("1"),
                              QStringLiteral("--events"), dir.filePath(QStringLiteral("events"))});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("a.txt"), "a"));
        QtFtpClient first(5000);
        FtpHandle held = login(first, server);
        QVERIFY(held);

        QtFtpClient ftp(3000);
        ftp.setRetryPolicy(instantRetries());
        QStringList reasons;
        ftp.setRetryObserver([&](const FtpRetryNotice& n) {
            if (n.starting)
                reasons << n.reason;
            if (held)
                first.closeHandle(std::exchange(held, 0));
        });
        const FtpHandle c = login(ftp, server);
        QVERIFY2(c, qPrintable(ftp.lastResponse()));
        FtpFindData d;
        QVERIFY(ftp.findFirstFile(c, QStringLiteral("*.*"), d)); // EPSV shown to work
        QVERIFY2(ftp.getFile(c, QStringLiteral("a.txt"), dir.filePath(QStringLiteral("a.txt")), false, 0),
                 qPrintable(ftp.lastResponse()));
        // The server may take a moment to see a session leave: 421s come and go.
        const qsizetype busy = reasons.filter(QRegularExpression(QStringLiteral("^421"))).size();
        QVERIFY2(busy >= 1 && reasons.filter(QRegularExpression(QStringLiteral("^425"))).size() == 2,
                 qPrintable(reasons.join(QLatin1Char('\n'))));
        QCOMPARE(events(dir, QStringLiteral("CONNECT")).size(), 3 + busy);
    }

    // A cut download goes on from its part file with REST; the SHA-256 still covers the whole file.
    void cutDownloadResumes()
    {
        QTemporaryDir dir;
        FtpTestServer server({QStringLiteral("--cut-once"), QStringLiteral("big.bin:70000"), QStringLiteral("--events"),
                              dir.filePath(QStringLiteral("events"))});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QByteArray content(300000, '\0');
        for (int i = 0; i < content.size(); ++i)
            content[i] = static_cast<char>((i * 7919) % 251);
        QVERIFY(server.put(QStringLiteral("big.bin"), content));
        QtFtpClient ftp(5000);
        ftp.setRetryPolicy(instantRetries());
        const FtpHandle c = login(ftp, server);
        QVERIFY(ftp.expectContent({content.size(), QCryptographicHash::hash(content, QCryptographicHash::Sha256)}));
        const QString target = dir.filePath(QStringLiteral("big.bin"));
        QVERIFY2(ftp.getFile(c, QStringLiteral("big.bin"), target, false, FtpTransferBinary),
                 qPrintable(ftp.lastResponse()));
        QFile got(target);
        QVERIFY(got.open(QIODevice::ReadOnly) && got.readAll() == content);
        QCOMPARE(events(dir, QStringLiteral("RETR")),
                 (QStringList{QStringLiteral("RETR big.bin 0"), QStringLiteral("RETR big.bin 70000")}));
    }

    void whatIsNeverRetried()
    {
        FtpTestServer server({QStringLiteral("--max-sessions"), QStringLiteral("1")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        FtpTestServer other;
        QVERIFY2(other.start(), qPrintable(other.error()));
        int notices = 0;
        QtFtpClient ftp(5000);
        ftp.setRetryObserver([&notices](const FtpRetryNotice&) { ++notices; });
        ftp.setRetryPolicy(instantRetries());
        QVERIFY(!login(ftp, other, QStringLiteral("wrong")));
        QVERIFY2(ftp.lastResponse().startsWith(QLatin1String("530")), qPrintable(ftp.lastResponse()));
        const FtpHandle c = login(ftp, server);
        QVERIFY(c);
        QVERIFY(!ftp.getFile(c, QStringLiteral("missing"), QDir::temp().filePath(QStringLiteral("vorn-missing")), false,
                             FtpTransferBinary));
        QVERIFY(ftp.lastResponse().startsWith(QLatin1String("550")));
        // Retries off: a full server (its one session taken above) refuses as it always did.
        QtFtpClient off(5000);
        off.setRetryObserver([&notices](const FtpRetryNotice&) { ++notices; });
        QVERIFY(!login(off, server));
        QVERIFY2(off.lastResponse().startsWith(QLatin1String("421")), qPrintable(off.lastResponse()));
        QCOMPARE(notices, 0);
    }
};

QTEST_GUILESS_MAIN(TestFtpRetry)
#include "tst_ftpretry.moc"
