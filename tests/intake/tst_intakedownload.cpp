#include "IntakeFiles.h"
#include "RecordingIntakeView.h"
#include "common/FakeProcessControl.h"
#include "common/FixedClock.h"
#include "common/FtpTestServer.h"
#include "common/ScriptedDialogs.h"
#include "common/TestDatabases.h"
#include "ftpsession/FtpConnection.h"
#include "intake/IntakeCounter.h"
#include "intake/IntakeDownload.h"
#include "intake/ValidationSync.h"
#include "platform/ftp/QtFtpClient.h"

#include <QTest>

using namespace IntakeFiles;

namespace {

// The pieces of the main window the downloads work with, over a real server.
struct Window {
    explicit Window(const QString& appDir)
        : ftp(client)
        , sync(appDir, count, view)
        , download(ftp, sync, processes, dialogs, view, clock, appDir)
    {}
    QtFtpClient client{5000};
    FtpConnection ftp;
    IntakeCounter count;
    RecordingIntakeView view;
    ScriptedDialogs dialogs;
    FakeProcessControl processes;
    FixedClock clock{QDateTime(QDate(2020, 11, 16), QTime(10, 45, 12))};
    ValidationSync sync;
    IntakeDownload download;
};

} // namespace

class TestIntakeDownload : public QObject {
    Q_OBJECT
private slots:
    void validations();
    void attachments();
};

void TestIntakeDownload::validations()
{
    TestDatabases env("sqlite");
    VORN_PREPARE_DATABASES(env);
    QVERIFY(env.exec("TORVANDEL", "insert into TORVANDEL_DI (DI_NO_DI, DI_STATUT) values (?, 'DEMANDE')",
                     {QStringLiteral("DI20201116093000")}));
    FtpTestServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    QVERIFY(server.put("OKDI20201117093000.txt", "DI20201116093000\r\n"));
    QVERIFY(server.put("okdi2.txt", "DI20201116093000\r\n"));
    QVERIFY(server.put("DI20201116093000.txt", "A//B"));
    QVERIFY(server.makeDir("OKDI_old"));
    const QString down = QDir(env.appDir()).filePath("DOWN");
    QVERIFY(QDir().mkpath(down));

    Window w(env.appDir());
    QVERIFY(w.ftp.login(server.host(), FtpTestServer::user(), FtpTestServer::password()).ok);
    const QStringList list{"../", "OKDI20201117093000.txt", "okdi2.txt", "DI20201116093000.txt"};

    // No current line: fetched and applied, nothing removed from the server.
    IntakeDownload::Outcome out = w.download.xdownOKDI(list, down, QString(), FtpTransferUnknown);
    QVERIFY2(out.ok, qPrintable(out.error));
    QCOMPARE(w.view.maxima.first(), 4);
    QCOMPARE(w.view.items.first(), QStringLiteral("OKDI20201117093000.txt"));
    QCOMPARE(QDir(down).entryList(QDir::Files), QStringList{"OKDI20201117093000.txt"});
    QCOMPARE(w.dialogs.texts(), QStringList{"Il y a 1 nouvelles DI arrivées..."});
    QCOMPARE(w.dialogs.shown().first().request.title, QStringLiteral("VORN_UPDATE_VERSION"));
    QCOMPARE(rows(env.appDir(), "DI20201116093000").value(0).value("DI_STATUT").toString(), QStringLiteral("VALIDE"));
    QVERIFY(!out.remoteListRefreshed);
    QVERIFY(server.exists("OKDI20201117093000.txt"));
    QVERIFY(!out.endProgram);

    // With a current line the fetched validations leave the server; a folder carrying the prefix
    // cannot be fetched and is left alone, and so is what has another case.
    w.dialogs.clear();
    QVERIFY(env.exec("TORVANDEL", "update TORVANDEL_DI set DI_STATUT = 'DEMANDE'"));
    const QStringList withFolder = list + QStringList{"OKDI_old"};
    out = w.download.xdownOKDI(withFolder, down, "okdi2.txt", FtpTransferUnknown);
    QVERIFY2(out.ok, qPrintable(out.error));
    QCOMPARE(w.dialogs.texts(), QStringList{"Il y a 1 nouvelles DI arrivées..."});
    QVERIFY(!server.exists("OKDI20201117093000.txt"));
    QVERIFY(server.exists("okdi2.txt"));
    QVERIFY(server.exists("DI20201116093000.txt"));
    QVERIFY(server.exists("OKDI_old"));
    QVERIFY2(w.ftp.log().contains("« OKDI_old » n'a pas été récupéré : il reste sur le serveur."),
             qPrintable(w.ftp.log()));
    QVERIFY(out.remoteListRefreshed);
    QCOMPARE(out.remoteList.first(), QStringLiteral("../"));
    QVERIFY(!out.remoteList.contains("OKDI20201117093000.txt"));
    QVERIFY(out.remoteList.contains("okdi2.txt"));

    // Nothing applied: no message. A failed sync stops before the clean-up.
    w.dialogs.clear();
    QVERIFY(env.exec("TORVANDEL", "delete from TORVANDEL_DI"));
    QVERIFY(server.put("OKDI20201118.txt", "DI1\r\n"));
    out = w.download.xdownOKDI({"../", "OKDI20201118.txt"}, down, QString(), FtpTransferUnknown);
    QVERIFY(out.ok);
    QCOMPARE(out.count, 0);
    QVERIFY(w.dialogs.texts().isEmpty());

    QVERIFY(env.exec("TORVANDEL", "insert into TORVANDEL_DI (DI_NO_DI) values ('DI1')"));
    QVERIFY(env.exec("TORVANDEL", "alter table TORVANDEL_DI rename to TORVANDEL_DI_AWAY"));
    out = w.download.xdownOKDI({"../", "OKDI20201118.txt"}, down, "../", FtpTransferUnknown);
    QVERIFY(!out.ok);
    // The validations already in the folder come first.
    QVERIFY2(out.error.contains("« OKDI20201117093000.txt »"), qPrintable(out.error));
    QVERIFY(w.dialogs.texts().isEmpty());
    QVERIFY(server.exists("OKDI20201118.txt"));
}

void TestIntakeDownload::attachments()
{
    QTemporaryDir appDir;
    FtpTestServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    QVERIFY(server.put("IMGDIab.Jpg", "first"));
    QVERIFY(server.put("IMGDIAB.Jpg", "same name, same second"));
    QVERIFY(server.put("IMGDI1.a.jpg", "second"));
    QVERIFY(server.put("IMGDI42", "no extension"));
    QVERIFY(server.put("imgdi3.png", "other case"));

    Window w(appDir.path());
    QVERIFY(w.ftp.login(server.host(), FtpTestServer::user(), FtpTestServer::password()).ok);
    const QStringList list{"../", "IMGDIab.Jpg", "IMGDIAB.Jpg", "IMGDI1.a.jpg", "IMGDI42", "imgdi3.png"};
    IntakeDownload::Outcome out = w.download.xdownIMGDI(list, "../", FtpTransferBinary);
    QVERIFY2(out.ok, qPrintable(out.error));
    QVERIFY(out.endProgram);
    QCOMPARE(out.exitCode, 0);

    const QString img = QDir(appDir.path()).filePath("IMG");
    QCOMPARE(w.view.localFolder, img);
    QCOMPARE(w.view.infos, QStringList{"Enregistrement des pièces jointes..."});
    // Names that differ only by case each get their own file, the later ones numbered.
    QCOMPARE(QDir(img).entryList(QDir::Files, QDir::Name),
             (QStringList{"DI1_20201116104512.a.jpg", "DIAB_20201116104512-2.Jpg", "DIAB_20201116104512.Jpg"}));
    QFile first(QDir(img).filePath("DIAB_20201116104512.Jpg"));
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll(), QByteArray("first"));
    QCOMPARE(w.dialogs.texts(), QStringList{"Il y a 3 nouvelles IMAGES arrivées..."});

    // Only what reached this machine leaves the server.
    QVERIFY(!server.exists("IMGDIab.Jpg"));
    QVERIFY(!server.exists("IMGDI1.a.jpg"));
    QVERIFY(!server.exists("IMGDIAB.Jpg"));
    QVERIFY(server.exists("IMGDI42"));
    QVERIFY(server.exists("imgdi3.png"));
    QVERIFY2(w.ftp.log().contains("« IMGDI42 » ignoré : nom sans extension."), qPrintable(w.ftp.log()));
    QCOMPARE(w.processes.terminated, QStringList{"TORVANDEL_DOWN.exe"});

    // An attachment already there is never replaced: it stays on the server for the next run, a
    // second later. Nothing is current: no clean-up.
    QVERIFY(server.put("IMGDIAB.Jpg", "same name, same second"));
    out = w.download.xdownIMGDI({"../", "IMGDIAB.Jpg"}, QString(), FtpTransferBinary);
    QVERIFY(w.ftp.log().contains("« DIAB_20201116104512.Jpg » existe déjà ; « IMGDIAB.Jpg » reste sur le serveur."));
    w.clock.set(w.clock.now().addSecs(1));
    w.dialogs.clear();
    w.processes.failTerminate = true;
    out = w.download.xdownIMGDI({"../", "IMGDIAB.Jpg"}, QString(), FtpTransferBinary);
    QVERIFY(QFileInfo::exists(QDir(img).filePath("DIAB_20201116104513.Jpg")));
    QCOMPARE(w.dialogs.texts(), QStringList{"Il y a 1 nouvelles IMAGES arrivées..."});
    QVERIFY(server.exists("IMGDIAB.Jpg"));
    QVERIFY(!out.remoteListRefreshed);
    QVERIFY(out.endProgram);
    QVERIFY(!out.ok);
    QCOMPARE(out.exitCode, 1);
    QCOMPARE(out.error, QStringLiteral("La liste des processus est illisible."));

    // Nothing to fetch still ends the program, without a message.
    w.dialogs.clear();
    w.processes.failTerminate = false;
    out = w.download.xdownIMGDI({"../"}, "../", FtpTransferBinary);
    QVERIFY(out.ok && out.endProgram);
    QVERIFY(w.dialogs.texts().isEmpty());
}

QTEST_GUILESS_MAIN(TestIntakeDownload)
#include "tst_intakedownload.moc"
