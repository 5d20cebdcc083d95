#include "common/FtpTestServer.h"
#include "platform/QtFtpClient.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList events(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                       : QStringList();
}

// Retries without sleeping: every wait drawn as 0 ms.
RetryPolicy instantRetries(int budgetSeconds = 120)
{
    return RetryPolicy(budgetSeconds, [] { return 0.0; });
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
        for (int code : {421, 425, 426, 450, 451, 452})
            QVERIFY(RetryPolicy::transientReply(code));
        for (int code : {530, 550, 553, 500, 226})
            QVERIFY(!RetryPolicy::transientReply(code));
    }

    // A login refused while the server is full gets its session once another leaves, on a new
    // control connection; refused data connections are retried on the same one.
    void busyServerServesOnceFree()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("events"));
        FtpTestServer server({QStringLiteral("--max-sessions"), QStringLiteral("1"), QStringLiteral("--refuse-data"),
                              QStringLiteral("2"), QStringLiteral("--events"), log});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("a.txt"), "a"));
        QtFtpClient first(5000);
        const FtpHandle held =
            first.connect(first.open(QStringLiteral("t")), server.host(), 21, server.user(), server.password(), true);
        QVERIFY(held);

        QtFtpClient ftp(5000);
        ftp.setRetryPolicy(instantRetries());
        QStringList reasons;
        ftp.setRetryObserver([&](const FtpRetryNotice& n) {
            if (n.starting)
                reasons << n.reason;
            first.closeHandle(held);
        });
        const FtpHandle c =
            ftp.connect(ftp.open(QStringLiteral("t")), server.host(), 21, server.user(), server.password(), true);
        QVERIFY2(c, qPrintable(ftp.lastResponse()));
        FtpFindData d;
        QVERIFY2(ftp.findFirstFile(c, QStringLiteral("*.*"), d), qPrintable(ftp.lastResponse()));
        QCOMPARE(d.fileName, QStringLiteral("a.txt"));
        // The server may take a moment to see the first session leave.
        const qsizetype busy = reasons.filter(QRegularExpression(QStringLiteral("^421"))).size();
        QVERIFY2(busy >= 1 && reasons.size() == busy + 2, qPrintable(reasons.join(QLatin1Char('\n'))));
        QVERIFY(reasons.constLast().startsWith(QLatin1String("425")));
        QCOMPARE(events(log).count(QStringLiteral("CONNECT")), 2 + busy);
    }

    // A refused EPSV with RETR sent behind it: some servers keep that RETR waiting for a data
    // connection, so the session is given up and the file fetched over a new one.
    void refusedDataConnectionBehindItsTransfer()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("events"));
        FtpTestServer server({QStringLiteral("--refuse-data"), QStringLiteral("1"),
                              QStringLiteral("--refuse-data-after"), QStringLiteral("1"), QStringLiteral("--events"),
                              log});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("a.txt"), "a"));
        QtFtpClient ftp(3000);
        ftp.setRetryPolicy(instantRetries());
        const FtpHandle c =
            ftp.connect(ftp.open(QStringLiteral("t")), server.host(), 21, server.user(), server.password(), true);
        FtpFindData d;
        QVERIFY(ftp.findFirstFile(c, QStringLiteral("*.*"), d)); // EPSV shown to work
        QElapsedTimer t;
        t.start();
        QVERIFY2(ftp.getFile(c, QStringLiteral("a.txt"), dir.filePath(QStringLiteral("a.txt")), false, 0),
                 qPrintable(ftp.lastResponse()));
        QVERIFY(t.elapsed() < 2000);
        QCOMPARE(events(log).count(QStringLiteral("CONNECT")), 2);
    }

    // A cut download goes on from its part file with REST; the SHA-256 still covers the whole file.
    void cutDownloadResumes()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("events"));
        FtpTestServer server(
            {QStringLiteral("--cut-once"), QStringLiteral("big.bin:70000"), QStringLiteral("--events"), log});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QByteArray content(300000, '\0');
        for (int i = 0; i < content.size(); ++i)
            content[i] = static_cast<char>((i * 7919) % 251);
        QVERIFY(server.put(QStringLiteral("big.bin"), content));
        QtFtpClient ftp(5000);
        ftp.setRetryPolicy(instantRetries());
        const FtpHandle c =
            ftp.connect(ftp.open(QStringLiteral("t")), server.host(), 21, server.user(), server.password(), true);
        QVERIFY(c);
        FtpExpectedContent expected{content.size(), QCryptographicHash::hash(content, QCryptographicHash::Sha256)};
        QVERIFY(ftp.expectContent(expected));
        const QString target = dir.filePath(QStringLiteral("big.bin"));
        QVERIFY2(ftp.getFile(c, QStringLiteral("big.bin"), target, false, FtpTransferBinary),
                 qPrintable(ftp.lastResponse()));
        QFile got(target);
        QVERIFY(got.open(QIODevice::ReadOnly));
        QVERIFY(got.readAll() == content);
        QCOMPARE(events(log).filter(QStringLiteral("RETR")),
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
        const FtpHandle session = ftp.open(QStringLiteral("t"));
        QVERIFY(!ftp.connect(session, other.host(), 21, other.user(), QStringLiteral("wrong"), true));
        QVERIFY2(ftp.lastResponse().startsWith(QLatin1String("530")), qPrintable(ftp.lastResponse()));
        const FtpHandle c = ftp.connect(session, server.host(), 21, server.user(), server.password(), true);
        QVERIFY(c);
        QVERIFY(!ftp.getFile(c, QStringLiteral("missing"), QDir::temp().filePath(QStringLiteral("vorn-missing")), false,
                             FtpTransferBinary));
        QVERIFY(ftp.lastResponse().startsWith(QLatin1String("550")));
        QCOMPARE(notices, 0);
        // Retries off: a full server (its one session taken above) refuses as it always did.
        QtFtpClient off(5000);
        off.setRetryPolicy(RetryPolicy(0));
        off.setRetryObserver([&notices](const FtpRetryNotice&) { ++notices; });
        QVERIFY(!off.connect(off.open(QStringLiteral("t")), server.host(), 21, server.user(), server.password(), true));
        QVERIFY2(off.lastResponse().startsWith(QLatin1String("421")), qPrintable(off.lastResponse()));
        QCOMPARE(notices, 0);
    }
};

QTEST_GUILESS_MAIN(TestFtpRetry)
#include "tst_ftpretry.moc"
