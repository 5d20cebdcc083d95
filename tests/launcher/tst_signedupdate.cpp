#include "common/FtpTestServer.h"
#include "common/TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
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
    void publish(const QMap<QString, QByteArray>& files, int number, const QString& key = QStringLiteral("a"),
                 const QStringList& options = {})
    {
        const QString folder = QDir(m_server.root()).filePath(Folder);
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY(writeFile(QDir(folder).filePath(it.key()), it.value()));
        QCOMPARE(runProgram(QStringLiteral(VORN_APP_BINARY),
                            QStringList{QStringLiteral("--make-manifest"), folder, QStringLiteral("--release"),
                                        QString::number(number)} +
                                options),
                 0);
        sign(key);
    }

    void sign(const QString& key = QStringLiteral("a"))
    {
        QCOMPARE(runProgram(QStringLiteral("minisign"),
                            {"-S", "-s", m_keys.filePath(key + ".key"), "-m", served("VORN.manifest")}),
                 0);
    }

    int update(const QString& app, QString* output, const QString& extra = {}, const QString& host = {},
               const QStringList& options = {})
    {
        writeFile(
            QDir(app).filePath(QStringLiteral("VORN_UPDATE_VERSION.ini")),
            QStringLiteral("[server]\nhost=%1\nuser=vorn\npassword=secret\ntimeout=3\n%2\n[update]\npublic_key=%3\n")
                .arg(host.isEmpty() ? m_server.host() : host, extra, m_publicKey)
                .toUtf8());
        return runProgram(QStringLiteral(VORN_APP_BINARY),
                          QStringList{QStringLiteral("--unattended"), QStringLiteral("--no-start"),
                                      QStringLiteral("--app-dir"), app} +
                              options,
                          output);
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

    // A fleet's release: patches from the installed release (a tampered one, or one whose base is
    // not what it claims, never installs anything unchecked), a phased release waiting for this
    // station's day unless taken at once, and a mirror that is down passed over.
    void patchesRolloutAndMirrors()
    {
        QTemporaryDir app;
        QTemporaryDir older;
        QRandomGenerator random(27);
        QByteArray v1(400000, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(v1.data()), v1.size() / 4);
        const QByteArray v2 = QByteArray(v1).insert(1000, "inserted").remove(200000, 300);
        const QByteArray v3 = QByteArray(v2).replace(300000, 5, "fleet");
        const QByteArray v4 = QByteArray(v3).replace(100, 5, "other").append("v4");
        QString out;
        publish({{"VORN.exe", v1}, {"a.dll", "a1"}}, 10);
        QCOMPARE(update(app.path(), &out), 0);

        QVERIFY(writeFile(older.filePath(QStringLiteral("VORN.exe")), v1));
        publish({{"VORN.exe", v2}, {"a.dll", "a2"}}, 11, QStringLiteral("a"), {"--previous", older.path()});
        QCOMPARE(update(app.path(), &out), 0);
        QVERIFY2(out.contains(QStringLiteral("Correctifs : 1 fichier(s) reconstruit(s)")), qPrintable(out));
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), v2);

        // The patch changed on the server: the whole file, checked, instead.
        QVERIFY(writeFile(older.filePath(QStringLiteral("VORN.exe")), v2));
        publish({{"VORN.exe", v3}}, 12, QStringLiteral("a"), {"--previous", older.path()});
        const QString patches = served(QStringLiteral("patches"));
        const QString patch = QDir(patches).filePath(QDir(patches).entryList(QDir::Files).value(0));
        QByteArray bytes = readFile(patch);
        bytes[bytes.size() / 2] = static_cast<char>(bytes.at(bytes.size() / 2) ^ 1);
        QVERIFY(writeFile(patch, bytes));
        QCOMPARE(update(app.path(), &out), 0);
        QVERIFY2(out.contains(QStringLiteral("Correctif de « VORN.exe » inutilisable")), qPrintable(out));
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), v3);

        // A signed patch whose base is not the file it was made from: the result is refused.
        const QByteArray notV3 = v4.chopped(2); // the patch copies "other" from it: not v4 from v3
        QVERIFY(writeFile(older.filePath(QStringLiteral("VORN.exe")), notV3));
        publish({{"VORN.exe", v4}}, 13, QStringLiteral("a"), {"--previous", older.path()});
        QByteArray manifest = readFile(served(QStringLiteral("VORN.manifest")));
        manifest.replace(QCryptographicHash::hash(notV3, QCryptographicHash::Sha256).toHex(),
                         QCryptographicHash::hash(v3, QCryptographicHash::Sha256).toHex());
        QVERIFY(writeFile(served(QStringLiteral("VORN.manifest")), manifest));
        sign();
        QCOMPARE(update(app.path(), &out), 0);
        QVERIFY2(out.contains(QStringLiteral("Correctif de « VORN.exe » inutilisable")), qPrintable(out));
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), v4);

        // Station 29 of a release spread over 30 days: its day is the last one.
        QVERIFY(writeFile(app.filePath(QStringLiteral(".vorn-release/station")), "000000000000001D\n"));
        publish({{"VORN.exe", v1}}, 14, QStringLiteral("a"), {"--rollout-days", "30"});
        QCOMPARE(update(app.path(), &out), 0);
        const QString day = QDate::currentDate().addDays(29).toString(QStringLiteral("dd/MM/yyyy"));
        QVERIFY2(out.contains(QStringLiteral("Nouvelle version 14 disponible sur ce poste à partir du %1.").arg(day)),
                 qPrintable(out));
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), v4);
        QCOMPARE(update(app.path(), &out, {}, {}, {"--now"}), 0);
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), v1);
        // Station 30 of the same spread: its day is the first, today itself.
        QVERIFY(writeFile(app.filePath(QStringLiteral(".vorn-release/station")), "000000000000001E\n"));
        publish({{"VORN.exe", v2}}, 15, QStringLiteral("a"), {"--rollout-days", "30"});
        QCOMPARE(update(app.path(), &out), 0);
        QVERIFY2(!out.contains(QStringLiteral("disponible sur ce poste")), qPrintable(out));
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), v2);
        QVERIFY(writeFile(app.filePath(QStringLiteral(".vorn-release/station")), "000000000000001D\n"));

        // Two mirrors, the station's first one (29 mod 2) down: one line, and the other serves.
        publish({{"VORN.exe", v2}}, 15);
        const QString dead = QStringLiteral("127.0.0.1:9");
        QCOMPARE(update(app.path(), &out, QStringLiteral("retry_for=0"), m_server.host() + ", " + dead), 0);
        QVERIFY2(out.contains(QStringLiteral("Miroir %1 indisponible").arg(dead)) &&
                     out.contains(QStringLiteral("passage au miroir %1.").arg(m_server.host())),
                 qPrintable(out));
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), v2);

        // The station's first mirror lists the release but refuses its transfers: the manifest
        // and the files come from the other one.
        FtpTestServer refusing({QStringLiteral("--reply421"), QStringLiteral("RETR")});
        QVERIFY(refusing.start());
        publish({{"VORN.exe", v3}}, 16);
        for (const char* name : {"VORN.exe", "VORN.manifest", "VORN.manifest.minisig"})
            QVERIFY(refusing.put(Folder + QLatin1String(name), readFile(served(QLatin1String(name)))));
        QCOMPARE(update(app.path(), &out, QStringLiteral("retry_for=0"), m_server.host() + "," + refusing.host()), 0);
        QVERIFY2(out.contains(QStringLiteral("Miroir %1 indisponible").arg(refusing.host())) &&
                     out.contains(QStringLiteral("passage au miroir %1.").arg(m_server.host())),
                 qPrintable(out));
        QCOMPARE(readFile(app.filePath(QStringLiteral("VORN.exe"))), v3);
    }
};

QTEST_GUILESS_MAIN(TestSignedUpdate)
#include "tst_signedupdate.moc"
