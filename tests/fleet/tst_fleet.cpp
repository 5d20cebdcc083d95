#include "common/FtpTestServer.h"
#include "common/TestFiles.h"
#include "fleet/FleetRecord.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Folder = QStringLiteral("www/DOWN/VERSIONVORN/");
const QByteArray Failing = "#!/bin/sh\nexit 3\n";
const QByteArray Running = "#!/bin/sh\nsleep 4\n";

} // namespace

// The fleet's loop through the real program and a real server: each station's record, the gate
// of a phased release, and the administrator's view of the whole fleet.
class TestFleet : public QObject {
    Q_OBJECT

    QTemporaryDir m_keys;
    QTemporaryDir m_stations;
    FtpTestServer m_server;
    QString m_publicKey;

    QString app(int id) const { return m_stations.filePath(QStringLiteral("p%1").arg(id)); }

    void publish(const QByteArray& exe, int release, const QStringList& options = {})
    {
        const QString folder = QDir(m_server.root()).filePath(Folder);
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder) && writeFile(QDir(folder).filePath("VORN.exe"), exe));
        QCOMPARE(runProgram(QStringLiteral(VORN_APP_BINARY),
                            QStringList{"--make-manifest", folder, "--release", QString::number(release)} + options),
                 0);
        QCOMPARE(runProgram("minisign", {"-S", "-s", m_keys.filePath("k.key"), "-m", folder + "VORN.manifest"}), 0);
    }

    // Station `id` (its day: id mod the days) runs its update; `start`: VORN.exe started and
    // watched for a second (start_check), otherwise not started.
    int update(int id, QString* output = nullptr, bool start = false, const QString& reports = "rapports")
    {
        QDir().mkpath(app(id) + "/.vorn-release");
        writeFile(app(id) + "/.vorn-release/station", QString::number(id, 16).rightJustified(16, '0').toLatin1());
        writeFile(app(id) + "/VORN_UPDATE_VERSION.ini",
                  QStringLiteral("[server]\nhost=%1\nuser=vorn\npassword=secret\ntimeout=3\nretry_for=0\n"
                                 "[update]\npublic_key=%2\nstart_check=1\n[fleet]\nreports=%3\n")
                      .arg(m_server.host(), m_publicKey, reports)
                      .toUtf8());
        QString out;
        QStringList args{"--unattended", "--app-dir", app(id)};
        if (!start)
            args << "--no-start";
        const int status = runProgram(VORN_APP_BINARY, args, &out);
        if (output)
            *output = out;
        return status;
    }

    // The records' names as the gate reads them: station, release offered, verdict.
    QStringList records(int id = -1) const
    {
        QStringList heads;
        for (const QString& name : QDir(m_server.root() + "/rapports").entryList(QDir::Files))
            if (id < 0 || name.startsWith(QString::number(id, 16).rightJustified(16, '0') + '_'))
                heads << name.section('_', 0, 2).section('.', 0, 0) + ".vorn-rapport";
        return heads;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(runProgram("minisign", {"-G", "-W", "-p", m_keys.filePath("k.pub"), "-s", m_keys.filePath("k.key")}),
                 0);
        m_publicKey = QString::fromLatin1(readFile(m_keys.filePath("k.pub")).split('\n').value(1));
        QVERIFY(m_server.start() && m_server.makeDir("rapports"));
    }

    // The stations' VORN.exe still running after their start check would be counted by the next
    // test that stops programs by name.
    void cleanupTestCase() { runProgram(QStringLiteral("pkill"), {QStringLiteral("-f"), m_stations.path()}); }

    // Twenty stations over four days, a release whose VORN.exe fails at start: the canaries take it
    // and withdraw it, the third finds it halted, no later station takes it whatever its day; a
    // newer good release then reaches each station on its day, once enough before it kept it.
    void haltedReleaseThenGoodOne()
    {
        publish(Running, 1);
        for (int id : {0, 4, 8})
            QCOMPARE(update(id), 0);
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        publish(Failing, 2, {"--rollout-days", "4", "--rollout-gate", "3,2", "--rollout-start", today});
        QString out;
        QCOMPARE(update(0, &out, true), 5);
        QCOMPARE(update(4, nullptr, true), 5);
        QCOMPARE(update(8, &out, true), 0);
        QVERIFY2(out.contains("Version 2 suspendue : 2 poste(s) en échec (0000000000000000, 0000000000000004)."),
                 qPrintable(out));
        QCOMPARE(records(8), QStringList{"0000000000000008_2_autre.vorn-rapport"});
        const QStringList halted = QDir(m_server.root() + "/rapports").entryList({"0000000000000008_*"});
        QVERIFY2(halted.value(0).contains(",suspendue,") &&
                     readFile(m_server.root() + "/rapports/" + halted.value(0)).contains("resultat=suspendue"),
                 qPrintable(halted.join(' ')));
        QCOMPARE(records(0), QStringList{"0000000000000000_2_echec.vorn-rapport"});
        // Every day has come: the halt holds, for every day, under a manifest signed anew.
        publish(Failing, 2,
                {"--rollout-days", "4", "--rollout-gate", "3,2", "--rollout-start",
                 QDate::currentDate().addDays(-3).toString(Qt::ISODate)});
        for (int id = 1; id < 20; ++id)
            QCOMPARE(update(id), 0);
        QCOMPARE(records().filter("_2_ok").size(), 0);
        QCOMPARE(records(0), QStringList{"0000000000000000_2_echec.vorn-rapport"}); // still says so

        // The good release: day 0 today, the others wait for their day, then for 3 confirmations.
        publish(Running, 3, {"--rollout-days", "4", "--rollout-gate", "3,2", "--rollout-start", today});
        for (int id = 0; id < 20; ++id)
            QCOMPARE(update(id), 0);
        QCOMPARE(records().filter("_3_ok").size(), 5);
        publish(Running, 3,
                {"--rollout-days", "4", "--rollout-gate", "3,2", "--rollout-start",
                 QDate::currentDate().addDays(-3).toString(Qt::ISODate)});
        QCOMPARE(update(1, &out), 0);
        QCOMPARE(records(1), QStringList{"0000000000000001_3_ok.vorn-rapport"});
        for (int id = 2; id < 20; ++id)
            QCOMPARE(update(id), 0);
        QCOMPARE(records().size(), 20);
        QCOMPARE(records().filter("_3_ok").size(), 20);

        // What the administrator reads of it.
        QVERIFY(writeFile(m_server.root() + "/rapports/notes.txt", "foreign"));
        QVERIFY(writeFile(m_server.root() + "/rapports/00000000000000ff_3_ok.vorn-rapport", "VORN-RAPPORT 1\nposte="));
        const QString csv = m_stations.filePath("fleet.csv");
        QCOMPARE(runProgram(VORN_APP_BINARY, {"--fleet", "--app-dir", app(0), "--csv", csv}, &out), 0);
        QVERIFY2(out.contains("Parc : 20 poste(s), 0 silencieux, 2 rapport(s) illisible(s).") &&
                     out.contains("Version 3 : 20 installée(s), 0 en attente, 0 en échec, 0 suspendue(s).") &&
                     out.contains("Illisible : notes.txt") && out.contains("Illisible : 00000000000000ff_3_ok"),
                 qPrintable(out));
        const QByteArray table = readFile(csv);
        QVERIFY(table.startsWith("\xEF\xBB\xBFPoste;Ordinateur;") && table.count("\r\n") == 21);
        const QString wrong = m_stations.filePath("wrong.ini");
        writeFile(wrong, QStringLiteral("[server]\nhost=%1\npassword=wrong\nretry_for=0\n[fleet]\nreports=rapports\n")
                             .arg(m_server.host())
                             .toUtf8());
        QCOMPARE(runProgram(VORN_APP_BINARY, {"--fleet", "--app-dir", app(0), "--config", wrong}), 1);
        QFile::remove(m_server.root() + "/rapports/notes.txt");
        QFile::remove(m_server.root() + "/rapports/00000000000000ff_3_ok.vorn-rapport");
    }

    // A record's name tells it all but an error's text, with any character a computer's name may
    // hold, in a name every server takes; what does not fit is left to the text.
    void recordNamesTellTheRecord()
    {
        FleetRecord r;
        r.station = 0xab;
        r.offered = 3;
        r.verdict = FleetRecord::Verdict::Kept;
        r.installed = 3;
        r.result = FleetRecord::Result::Installed;
        r.computer = QStringLiteral("PC_1, né à 100%");
        r.user = QStringLiteral("op");
        r.program = QStringLiteral("3.2.0");
        r.day = QDate(2026, 12, 10);
        r.at = QDateTime(QDate(2026, 12, 9), QTime(8, 5, 7), Qt::UTC);
        r.durationMs = 812;
        r.bytes = 5;
        r.mirror = QStringLiteral("127.0.0.1:21");
        const QString name = r.fileName();
        QVERIFY2(name.startsWith("00000000000000ab_3_ok_") && name.count('_') == 3 && !name.contains(':') &&
                     !name.contains(' '),
                 qPrintable(name));
        const std::optional<FleetRecord> named = FleetRecord::parse(name, QByteArray());
        QVERIFY(named && named->computer == r.computer && named->at == r.at && named->day == r.day &&
                named->installed == 3 && named->result == r.result && named->mirror == r.mirror &&
                named->durationMs == 812 && named->verdict == r.verdict);

        r.error = QStringLiteral("550 refusé");
        QVERIFY(FleetRecord::parseName(r.fileName())->needsText && !FleetRecord::parse(r.fileName(), QByteArray()));
        QCOMPARE(FleetRecord::parse(r.fileName(), r.text())->error, r.error);
        r.computer = QString(300, QLatin1Char('x'));
        QCOMPARE(r.fileName(), QStringLiteral("00000000000000ab_3_ok.vorn-rapport"));
        QCOMPARE(FleetRecord::parse(r.fileName(), r.text())->computer, r.computer);
    }

    // A report that cannot be written costs the update nothing: one line, the same exit status.
    // A rename the server refuses leaves no record under the station's name; two runs of one
    // station at once leave one record.
    void reportsNeverCostTheUpdate()
    {
        publish(Running, 4);
        QString out;
        QCOMPARE(update(40, &out, {}, "absent"), 0);
        QVERIFY2(out.count("Rapport du poste non écrit dans /absent") == 1, qPrintable(out));
        QCOMPARE(runProgram(VORN_APP_BINARY, {"--fleet", "--app-dir", app(40)}), 3);
        FtpTestServer refusing({"--refuse", "RNTO"});
        QVERIFY(refusing.start() && refusing.makeDir("rapports"));
        QVERIFY(refusing.put(Folder + "VORN.exe", Running));
        writeFile(
            app(41) + "/VORN_UPDATE_VERSION.ini",
            QStringLiteral("[server]\nhost=%1\nuser=vorn\npassword=secret\nretry_for=0\n[fleet]\nreports=rapports\n")
                .arg(refusing.host())
                .toUtf8());
        QCOMPARE(runProgram(VORN_APP_BINARY, {"--unattended", "--app-dir", app(41)}, &out), 0);
        QVERIFY2(out.contains("Rapport du poste non écrit"), qPrintable(out));
        QVERIFY(QDir(refusing.root() + "/rapports").entryList(QDir::Files).filter(".vorn-rapport").isEmpty());

        // A transfer cut by the network says nothing of the release.
        FtpTestServer cutting({"--cut", "VORN.exe:10"});
        QVERIFY(cutting.start() && cutting.makeDir("rapports"));
        for (const char* name : {"VORN.exe", "VORN.manifest", "VORN.manifest.minisig"})
            QVERIFY(cutting.put(Folder + name, m_server.read(Folder + name)));
        QDir().mkpath(app(43));
        writeFile(app(43) + "/VORN_UPDATE_VERSION.ini",
                  QStringLiteral("[server]\nhost=%1\nuser=vorn\npassword=secret\nretry_for=0\n[update]\npublic_key=%2\n"
                                 "[fleet]\nreports=rapports\n")
                      .arg(cutting.host(), m_publicKey)
                      .toUtf8());
        QCOMPARE(runProgram(VORN_APP_BINARY, {"--unattended", "--no-start", "--app-dir", app(43)}), 4);
        const QStringList cut = QDir(cutting.root() + "/rapports").entryList(QDir::Files);
        QVERIFY2(cut.size() == 1 && cut.first().contains("_4_autre_"), qPrintable(cut.join(' ')));

        // A run without an error renames the station's last record: no upload.
        FtpTestServer noUpload({"--refuse", "STOR"});
        QVERIFY(noUpload.start() && noUpload.makeDir("rapports"));
        QCOMPARE(update(44), 0);
        const QString last = QDir(m_server.root() + "/rapports").entryList({"000000000000002c_*"}).value(0);
        QVERIFY(noUpload.put("rapports/" + last, m_server.read("rapports/" + last)));
        for (const char* name : {"VORN.exe", "VORN.manifest", "VORN.manifest.minisig"})
            QVERIFY(noUpload.put(Folder + name, m_server.read(Folder + name)));
        writeFile(app(44) + "/VORN_UPDATE_VERSION.ini",
                  QStringLiteral("[server]\nhost=%1\nuser=vorn\npassword=secret\nretry_for=0\n[update]\npublic_key=%2\n"
                                 "[fleet]\nreports=rapports\n")
                      .arg(noUpload.host(), m_publicKey)
                      .toUtf8());
        QCOMPARE(runProgram(VORN_APP_BINARY, {"--unattended", "--no-start", "--app-dir", app(44)}, &out), 0);
        const QStringList renamed = QDir(noUpload.root() + "/rapports").entryList(QDir::Files);
        QVERIFY2(renamed.size() == 1 && renamed.first().contains(QString("%3A%1,").arg(noUpload.port())),
                 qPrintable(renamed.join(' ') + '\n' + out));

        QCOMPARE(update(42), 0);
        QProcess a;
        QProcess b;
        for (QProcess* p : {&a, &b})
            p->start(VORN_APP_BINARY, {"--unattended", "--no-start", "--now", "--app-dir", app(42)});
        QVERIFY(a.waitForFinished(30000) && b.waitForFinished(30000));
        QCOMPARE(records(42).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFleet)
#include "tst_fleet.moc"
