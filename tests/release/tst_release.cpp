#include "common/FixedClock.h"
#include "ftpsession/AppConfig.h"
#include "ftpsession/MirrorList.h"
#include "release/HashCache.h"
#include "release/InstalledRelease.h"
#include "release/MinisignSignature.h"
#include "release/PhasedRollout.h"
#include "release/ReleaseManifest.h"
#include "release/ReleasePatch.h"
#include "release/ReleasePolicy.h"
#include "release/StationId.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using Outcome = MinisignSignature::Outcome;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

int run(const QString& program, const QStringList& args, QByteArray* err = nullptr)
{
    QProcess p;
    p.start(program, args);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000))
        return -1;
    if (err)
        *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class TestRelease : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_release; // a published folder and its manifest, made by the program itself
    QString m_pubA, m_pubB, m_keyIdB;

    QString key(const QString& name) { return m_dir.filePath(name); }
    // The public key line, as the publisher pastes it into the ini.
    QString pub(const QString& name) { return QString::fromLatin1(readAll(key(name + ".pub")).split('\n').value(1)); }
    QByteArray sign(const QString& secret, const QStringList& extra = {})
    {
        const QString manifest = QDir(m_release).filePath(ReleaseManifest::fileName());
        if (run(QStringLiteral("minisign"), QStringList{"-S", "-s", key(secret), "-m", manifest} + extra) != 0)
            return {};
        return readAll(manifest + ".minisig");
    }

private slots:
    void initTestCase()
    {
        for (const char* k : {"a", "b"})
            QCOMPARE(run(QStringLiteral("minisign"),
                         {"-G", "-W", "-p", key(QString(k) + ".pub"), "-s", key(QString(k) + ".key")}),
                     0);
        m_pubA = pub("a");
        m_pubB = pub("b");
        m_keyIdB = QString::fromLatin1(readAll(key("b.pub")).split('\n').value(0).split(' ').last());
        m_release = m_dir.filePath("release");
        QVERIFY(QDir().mkpath(m_release + "/sub"));
        writeFile(m_release + "/VORN.exe", QByteArray(300000, 'x') + "end");
        writeFile(m_release + "/data.ini", "[a]\n");
        writeFile(m_release + "/sub/inner.txt", "not listed");
        writeFile(m_release + "/VORN.manifest.minisig", "an old signature");
        QByteArray err;
        QCOMPARE(
            run(VORN_APP_BINARY, {"--make-manifest", m_release, "--release", "7", "--expires", "2021-03-05"}, &err), 0);
        QCOMPARE(run(VORN_APP_BINARY, {"--make-manifest", m_release, "--release", "07"}), 64);
        QCOMPARE(run(VORN_APP_BINARY, {"--make-manifest", m_release, "--release", "7", "--rollout-days", "31"}), 64);
        QCOMPARE(run(VORN_APP_BINARY, {"--make-manifest", m_dir.filePath("none"), "--release", "1"}, &err), 1);
        QVERIFY(QString::fromUtf8(err).contains("n'existe pas"));
        // A name no station would install is named before anything is signed.
        const QString bad = m_dir.filePath("bad");
        QDir().mkpath(bad);
        writeFile(bad + "/ok.txt", "ok");
        writeFile(bad + "/nul.txt", "device");
        QCOMPARE(run(VORN_APP_BINARY, {"--make-manifest", bad, "--release", "1"}, &err), 1);
        QVERIFY2(QString::fromUtf8(err).contains("« nul.txt »") && !QFileInfo::exists(bad + "/VORN.manifest"), err);
    }

    void manifestRoundTrip()
    {
        QString error;
        const auto m = ReleaseManifest::parse(readAll(m_release + "/VORN.manifest"), error);
        QVERIFY2(m, qPrintable(error));
        QCOMPARE(m->release(), 7);
        QCOMPARE(m->expires(), QDate(2021, 3, 5));
        QCOMPARE(m->files().size(), 2); // sub-folders, the manifest and its signature aside
        const auto* exe = m->find("VORN.exe");
        QVERIFY(exe && m->find("data.ini"));
        QCOMPARE(exe->size, 300003);
        QCOMPARE(exe->sha256, QCryptographicHash::hash(readAll(m_release + "/VORN.exe"), QCryptographicHash::Sha256));
        QCOMPARE(m->text(), readAll(m_release + "/VORN.manifest"));

        const QString empty = m_dir.filePath("empty");
        QDir().mkpath(empty);
        QVERIFY(!ReleaseManifest::make(empty, 1, std::nullopt, error));
        writeFile(empty + "/.vorn-release", "x");
        QVERIFY(!ReleaseManifest::make(empty, 1, std::nullopt, error));
        QVERIFY(error.contains(".vorn-release"));
    }

    void manifestRefusals_data()
    {
        QTest::addColumn<QByteArray>("body");
        const QByteArray h = QByteArray(64, 'a');
        QTest::newRow("good") << QByteArray(h + " 1 a.exe\n" + h + " 0 b\n");
        QTest::newRow("parent") << QByteArray(h + " 1 ..\n");
        QTest::newRow("path") << QByteArray(h + " 1 x/a.exe\n");
        QTest::newRow("backslash") << QByteArray(h + " 1 x\\a.exe\n");
        QTest::newRow("control") << QByteArray(h + " 1 a\x01.exe\n");
        QTest::newRow("carriage return") << QByteArray(h + " 1 a.exe\r\n");
        QTest::newRow("not utf-8") << QByteArray(h + " 1 a\xff.exe\n");
        QTest::newRow("duplicate") << QByteArray(h + " 1 a.exe\n" + h + " 2 A.EXE\n");
        QTest::newRow("reserved") << QByteArray(h + " 1 .vorn-release\n");
        QTest::newRow("itself") << QByteArray(h + " 1 VORN.manifest\n");
        QTest::newRow("upper hex") << QByteArray(QByteArray(64, 'A') + " 1 a.exe\n");
        QTest::newRow("short hex") << QByteArray(QByteArray(63, 'a') + " 1 a.exe\n");
        QTest::newRow("signed size") << QByteArray(h + " +1 a.exe\n");
        QTest::newRow("no name") << QByteArray(h + " 1\n");
        QTest::newRow("no files") << QByteArray();
        QTest::newRow("no line end") << QByteArray(h + " 1 a.exe");
    }

    void manifestRefusals()
    {
        QFETCH(QByteArray, body);
        QString error;
        const bool good = QByteArray(QTest::currentDataTag()) == "good";
        QCOMPARE(ReleaseManifest::parse("VORN-MANIFEST 1\nrelease 3\n" + body, error).has_value(), good);
        QCOMPARE(error.isEmpty(), good);
        if (good) {
            for (const QByteArray& head : {QByteArray("VORN-MANIFEST 2\nrelease 3\n"), QByteArray("VORN-MANIFEST 1\n"),
                                           QByteArray("VORN-MANIFEST 1\nrelease 03\n"),
                                           QByteArray("VORN-MANIFEST 1\nrelease 3\nexpires 2021-02-30\n")})
                QVERIFY2(!ReleaseManifest::parse(head + body, error), head.constData());
            QVERIFY(!ReleaseManifest::parse(QByteArray(ReleaseManifest::MaxBytes + 1, '\n'), error));
        }
    }

    void signatures()
    {
        const QByteArray manifest = readAll(m_release + "/VORN.manifest");
        const QByteArray prehashed = sign("a.key", {"-t", "release 7"});
        const QByteArray legacy = sign("a.key", {"-l"});
        QVERIFY(prehashed.contains("\nRU") && legacy.contains("\nRW")); // "ED" and "Ed"
        auto outcome = [&](const QByteArray& m, const QByteArray& s, const QStringList& keys) {
            return MinisignSignature::verify(m, s, keys).outcome;
        };
        const auto good = MinisignSignature::verify(manifest, prehashed, {m_pubA});
        QCOMPARE(good.outcome, Outcome::Valid);
        QCOMPARE(good.trustedComment, QStringLiteral("release 7"));
        QCOMPARE(outcome(manifest, legacy, {m_pubA}), Outcome::Valid);
        QCOMPARE(outcome(manifest, prehashed, {m_pubB, m_pubA}), Outcome::Valid); // the next key
        QCOMPARE(outcome(manifest + " ", prehashed, {m_pubA}), Outcome::SignatureInvalid);
        QCOMPARE(outcome(manifest + " ", legacy, {m_pubA}), Outcome::SignatureInvalid);
        QByteArray comment = prehashed;
        comment.replace("release 7", "release 9");
        QCOMPARE(outcome(manifest, comment, {m_pubA}), Outcome::TrustedCommentInvalid);

        const QByteArray byB = sign("b.key");
        const auto unknown = MinisignSignature::verify(manifest, byB, {m_pubA});
        QCOMPARE(unknown.outcome, Outcome::UnknownKey);
        QCOMPARE(unknown.detail, m_keyIdB);

        QByteArray otherAlgorithm = prehashed;
        const qsizetype sigLine = prehashed.indexOf('\n') + 1;
        otherAlgorithm.replace(sigLine, 3, "RXQ");
        QByteArray truncated = prehashed;
        truncated.remove(sigLine + 10, 4);
        for (const QByteArray& bad : {QByteArray(), prehashed.left(prehashed.lastIndexOf('\n', prehashed.size() - 2)),
                                      otherAlgorithm, truncated, QByteArray(prehashed).replace("trusted comment", "x")})
            QCOMPARE(outcome(manifest, bad, {m_pubA}), Outcome::Malformed);
        QCOMPARE(outcome(manifest, prehashed, {"RWQnotakey"}), Outcome::Malformed);

        QString error;
        QVERIFY(MinisignSignature::parsePublicKey(QString::fromLatin1(readAll(key("a.pub"))), error));
        QVERIFY(!MinisignSignature::parsePublicKey(m_pubA.left(40), error));
    }

    void policy()
    {
        FixedClock clock(QDateTime(QDate(2021, 3, 5), QTime(23, 59)));
        const ReleasePolicy policy(clock);
        const QByteArray manifest = readAll(m_release + "/VORN.manifest");
        const QByteArray sig = sign("a.key");
        const QStringList keys{m_pubA};
        QVERIFY(policy.check(manifest, sig, keys, 7).manifest); // the same release again; its last day
        QVERIFY(policy.check(manifest, sig, keys, std::nullopt).manifest);
        QCOMPARE(policy.check(manifest, sig, keys, 8).refusal,
                 QStringLiteral("Mise à jour refusée : la version publiée (7) est plus ancienne que la version "
                                "installée (8)."));
        clock.set(QDateTime(QDate(2021, 3, 6), QTime(0, 0)));
        QCOMPARE(policy.check(manifest, sig, keys, 7).refusal,
                 QStringLiteral("Mise à jour refusée : la version publiée a expiré le 05/03/2021."));
        QCOMPARE(policy.check(manifest, std::nullopt, keys, 7).refusal,
                 QStringLiteral("Mise à jour refusée : la version publiée n'est pas signée (VORN.manifest.minisig "
                                "manque sur le serveur)."));
        QVERIFY(policy.check(manifest, sign("b.key"), keys, 7).refusal.contains(m_keyIdB));
        QVERIFY(policy.check(manifest + "x", sig, keys, 7).refusal.contains("modifié après sa signature"));
    }

    void installedRecordAndHashCache()
    {
        const QString app = m_dir.filePath("app");
        QDir().mkpath(app);
        QString error;
        QVERIFY(!InstalledRelease::number(app, error) && error.isEmpty());
        const QByteArray manifest = readAll(m_release + "/VORN.manifest");
        QVERIFY(InstalledRelease::write(app, manifest, "sig", error));
        QCOMPARE(InstalledRelease::number(app, error), 7);
        QCOMPARE(readAll(app + "/.vorn-release/VORN.manifest.minisig"), QByteArray("sig"));
        writeFile(app + "/.vorn-release/VORN.manifest", "damaged");
        QVERIFY(!InstalledRelease::number(app, error) && !error.isEmpty());

        const QByteArray one = QByteArray(4096, '1');
        const QByteArray sha = QCryptographicHash::hash(one, QCryptographicHash::Sha256);
        writeFile(app + "/VORN.exe", one);
        HashCache cache(app);
        cache.load();
        QVERIFY(cache.matches("VORN.exe", one.size(), sha));
        QVERIFY(!cache.matches("VORN.exe", one.size() + 1, sha));
        QVERIFY(cache.save(error));
        QCOMPARE(cache.filesRead(), 1);

        // Same size and time: the cached digest stands without reading the file again.
        QFile f(app + "/VORN.exe");
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QDateTime time = f.fileTime(QFileDevice::FileModificationTime);
        f.write(QByteArray(4096, '2'));
        f.flush();
        f.setFileTime(time, QFileDevice::FileModificationTime);
        f.close();
        HashCache again(app);
        again.load();
        QVERIFY(again.matches("VORN.exe", one.size(), sha));
        QCOMPARE(again.filesRead(), 0);
        QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(time.addSecs(1), QFileDevice::FileModificationTime));
        f.close();
        QVERIFY(!again.matches("VORN.exe", one.size(), sha));

        // Another size under the same time: the file is read again, the old digest no longer stands.
        const QByteArray longer = QByteArray(5000, '3');
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(longer);
        f.flush();
        QVERIFY(f.setFileTime(time, QFileDevice::FileModificationTime));
        f.close();
        HashCache third(app);
        third.load();
        QVERIFY(!third.matches("VORN.exe", longer.size(), sha));
        QCOMPARE(third.sha256("VORN.exe", error), QCryptographicHash::hash(longer, QCryptographicHash::Sha256));
    }

    // What a fleet's release is made of: patches, their manifest lines, the station's number, its
    // day and its first mirror.
    void fleetPieces()
    {
        // Over two frames' worth, changed in the first and the last.
        QByteArray old(2 * ReleasePatch::FrameBytes + 200000, Qt::Uninitialized);
        QRandomGenerator(5).fillRange(reinterpret_cast<quint32*>(old.data()), old.size() / 4);
        const QByteArray now =
            QByteArray(old).insert(5000, QByteArray(3000, 'n')).remove(2 * ReleasePatch::FrameBytes + 150000, 2000);
        QString error;
        const std::optional<QByteArray> patch = ReleasePatch::make(old, now, error);
        QVERIFY2(patch && patch->size() < now.size() / 20, qPrintable(error));
        QCOMPARE(ReleasePatch::apply(old, *patch, now.size(), error), now);
        QVERIFY(!ReleasePatch::apply(old, *patch, now.size() + 1, error));
        QVERIFY(ReleasePatch::apply(now, *patch, now.size(), error) != now); // another base
        QVERIFY(ReleasePatch::apply(old, patch->left(patch->size() - 9), now.size(), error) != now);

        const QByteArray h = QByteArray(64, 'a');
        const QByteArray files = h + " 1 a.exe\n";
        const QByteArray p = "patch " + QByteArray(64, 'b') + ' ' + QByteArray(64, 'c') + " 9 " + QByteArray(16, 'b') +
                             '-' + QByteArray(16, 'a') + ".zst a.exe\n";
        const QByteArray good = "VORN-MANIFEST 1\nrelease 3\nrollout 2026-12-09 7\n" + files + p;
        const auto m = ReleaseManifest::parse(good, error);
        QVERIFY2(m && m->text() == good, qPrintable(error));
        QCOMPARE(m->rollout()->days, 7);
        QVERIFY(m->patchFor("a.exe", QByteArray::fromHex(QByteArray(64, 'b'))));
        for (const QByteArray& bad :
             {QByteArray("VORN-MANIFEST 1\nrelease 3\nrollout 2026-12-09 31\n" + files),
              QByteArray("VORN-MANIFEST 1\nrelease 3\n" + files + QByteArray(p).replace(" a.exe", " b.exe")),
              QByteArray("VORN-MANIFEST 1\nrelease 3\n" + files + QByteArray(p).replace(".zst", ".exe")),
              QByteArray("VORN-MANIFEST 1\nrelease 3\n" + files + p + p)})
            QVERIFY2(!ReleaseManifest::parse(bad, error), bad.constData());

        const QString app = m_dir.filePath("station");
        QString problem;
        const quint64 id = StationId::get(app, problem);
        QVERIFY(problem.isEmpty() && StationId::get(app, problem) == id);
        writeFile(app + "/.vorn-release/station", "not a number");
        const quint64 remade = StationId::get(app, problem);
        QCOMPARE(StationId::parse(readAll(app + "/.vorn-release/station")), remade);
        QCOMPARE(PhasedRollout::dayFor(QDate(2026, 12, 30), 7, 10), QDate(2027, 1, 2));
        QCOMPARE(MirrorList::forStation(MirrorList::parse(" a:21, b ,,c"), 4), QStringList({"b", "c", "a:21"}));
    }

    void configKeys()
    {
        const QString ini = m_dir.filePath("v.ini");
        writeFile(ini, "[update]\npublic_key=" + m_pubA.toLatin1() + "\npublic_key_next=" + m_pubB.toLatin1() + "\n");
        AppConfig c = AppConfig::load(ini);
        QVERIFY(c.keyRefusal.isEmpty() && c.signedReleases());
        QCOMPARE(c.releaseKeys(), QStringList({m_pubA, m_pubB}));
        writeFile(ini, "[update]\npublic_key_next=RWQbroken\n");
        c = AppConfig::load(ini);
        QVERIFY(c.signedReleases() && c.releaseKeys().isEmpty());
        QVERIFY(c.keyRefusal.contains("public_key_next=RWQbroken") && c.problems.contains(c.keyRefusal));
    }
};

QTEST_GUILESS_MAIN(TestRelease)
#include "tst_release.moc"
