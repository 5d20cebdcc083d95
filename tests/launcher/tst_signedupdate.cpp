#include "common/FtpTestServer.h"
#include "common/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Folder = QStringLiteral("www/DOWN/VERSIONVORN/");

} // namespace

// Signed releases through the real program and a real server: only what the publisher signed is
// installed, and each refusal says why with exit status 6.
class TestSignedUpdate : public QObject {
    Q_OBJECT

    QTemporaryDir m_keys;
    FtpTestServer m_server;
    QString m_publicKey;

    QString served(const QString& name) const { return QDir(m_server.root()).filePath(Folder + name); }

    // Publishes `files` as release `number`, signed with key `key`.
    void publish(const QMap<QString, QByteArray>& files, int number, const QString& key = QStringLiteral("a"))
    {
        const QString folder = QDir(m_server.root()).filePath(Folder);
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY(writeFile(QDir(folder).filePath(it.key()), it.value()));
        QCOMPARE(runProgram(QStringLiteral(VORN_APP_BINARY), {QStringLiteral("--make-manifest"), folder,
                                                              QStringLiteral("--release"), QString::number(number)}),
                 0);
        QCOMPARE(runProgram(QStringLiteral("minisign"), {"-S", "-s", m_keys.filePath(key + ".key"), "-m",
                                                         QDir(folder).filePath(QStringLiteral("VORN.manifest"))}),
                 0);
    }

    int update(const QString& app, QString* output, const QString& extra = {})
    {
        writeFile(
            QDir(app).filePath(QStringLiteral("VORN_UPDATE_VERSION.ini")),
            QStringLiteral("[server]\nhost=%1\nuser=vorn\npassword=secret\ntimeout=3\n%2\n[update]\npublic_key=%3\n")
                .arg(m_server.host(), extra, m_publicKey)
                .toUtf8());
        return runProgram(
            QStringLiteral(VORN_APP_BINARY),
            {QStringLiteral("--unattended"), QStringLiteral("--no-start"), QStringLiteral("--app-dir"), app}, output);
    }

private slots:
    void initTestCase()
    {
        for (const QString& k : {QStringLiteral("a"), QStringLiteral("b")})
            QCOMPARE(runProgram(QStringLiteral("minisign"),
                                {"-G", "-W", "-p", m_keys.filePath(k + ".pub"), "-s", m_keys.filePath(k + ".key")}),
                     0);
        m_publicKey = QString::fromLatin1(readFile(m_keys.filePath(QStringLiteral("a.pub"))).split('\n').value(1));
        QVERIFY(m_server.start());
    }

    void onlyWhatWasSignedIsInstalled()
    {
        QTemporaryDir app;
        QVERIFY(writeFile(app.filePath(QStringLiteral("VORN.exe")), "old exe"));
        QString out;

        // A good release: installed, its record kept apart, the extra server file left out.
        publish({{"VORN.exe", "exe v2"}, {"data.ini", "[v2]"}}, 2);
        QVERIFY(writeFile(served(QStringLiteral("extra.dll")), "not signed"));
        QCOMPARE(update(app.path(), &out), 0);
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), QByteArray("exe v2"));
        QVERIFY(!QFileInfo::exists(app.filePath(QStringLiteral("extra.dll"))));
        QVERIFY2(out.contains(QStringLiteral("« extra.dll » n'est pas dans le manifeste signé")), qPrintable(out));
        QVERIFY(!QFileInfo::exists(app.filePath(QStringLiteral("VORN.manifest"))));
        QVERIFY(QFileInfo::exists(app.filePath(QStringLiteral(".vorn-release/VORN.manifest"))));

        // A file changed on the server after signing: refused, nothing installed.
        publish({{"VORN.exe", "exe v3"}, {"data.ini", "[v3]"}}, 3);
        QVERIFY(writeFile(served(QStringLiteral("data.ini")), "[V3]")); // same size, other bytes
        QCOMPARE(update(app.path(), &out), 6);
        QVERIFY2(out.contains(QStringLiteral("« data.ini » du serveur n'est pas celui de la version signée")),
                 qPrintable(out));
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), QByteArray("exe v2"));
        QCOMPARE(readFile(app.filePath(QStringLiteral("data.ini"))), QByteArray("[v2]"));

        // Signed with another key; no signature at all; an older release: refused.
        publish({{"VORN.exe", "exe v4"}}, 4, QStringLiteral("b"));
        QCOMPARE(update(app.path(), &out), 6);
        QVERIFY2(out.contains(QStringLiteral("clé inconnue")), qPrintable(out));
        QFile::remove(served(QStringLiteral("VORN.manifest.minisig")));
        QCOMPARE(update(app.path(), &out), 6);
        QVERIFY2(out.contains(QStringLiteral("n'est pas signée")), qPrintable(out));
        publish({{"VORN.exe", "exe v1"}}, 1);
        QCOMPARE(update(app.path(), &out), 6);
        QVERIFY2(out.contains(QStringLiteral("plus ancienne que la version installée (2)")), qPrintable(out));
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), QByteArray("exe v2"));

        // A listed file missing on the server: incomplete, nothing installed.
        publish({{"VORN.exe", "exe v5"}, {"lib.dll", "lib"}}, 5);
        QFile::remove(served(QStringLiteral("lib.dll")));
        QCOMPARE(update(app.path(), &out), 4);
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), QByteArray("exe v2"));

        // Unchanged files are compared with the signed digests, in direct mode too; the way back
        // restores the record with the files.
        publish({{"VORN.exe", "exe v6"}, {"data.ini", "[v2]"}}, 6);
        QCOMPARE(update(app.path(), &out, QStringLiteral("skip_unchanged=true")), 0);
        QVERIFY2(out.contains(QStringLiteral("1 fichier inchangé")), qPrintable(out));
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), QByteArray("exe v6"));
        QCOMPARE(runProgram(QStringLiteral(VORN_APP_BINARY),
                            {QStringLiteral("--rollback"), QStringLiteral("--no-start"), QStringLiteral("--unattended"),
                             QStringLiteral("--app-dir"), app.path()}),
                 0);
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), QByteArray("exe v2"));
        QVERIFY(readFile(app.filePath(QStringLiteral(".vorn-release/VORN.manifest"))).contains("release 2\n"));
    }
};

QTEST_GUILESS_MAIN(TestSignedUpdate)
#include "tst_signedupdate.moc"
