#include "common/FtpTestServer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Folder = QStringLiteral("www/DOWN/VERSIONVORN/");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& content, const QDateTime& modified)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size() || !f.flush())
        return false;
    return f.setFileTime(modified, QFileDevice::FileModificationTime);
}

QDateTime modifiedOf(const QString& path)
{
    return QFileInfo(path).lastModified();
}

} // namespace

class TestUnchanged : public QObject {
    Q_OBJECT

    QString run(const QTemporaryDir& app, int* exitCode)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(VORN_APP_BINARY), {QStringLiteral("--unattended"), QStringLiteral("--no-start"),
                                                  QStringLiteral("--app-dir"), app.path()});
        p.waitForFinished(30000);
        *exitCode = p.exitCode();
        return QString::fromUtf8(p.readAll());
    }

private slots:
    // With skip_unchanged, an entry whose local copy has the server's size and time is left alone;
    // anything else is fetched and takes the server's time.
    void unchangedEntriesAreNotFetched_data()
    {
        QTest::addColumn<QStringList>("refused"); // commands the server does not have
        QTest::addColumn<bool>("skips");
        QTest::newRow("facts in the listing") << QStringList() << true;
        QTest::newRow("SIZE and MDTM") << QStringList{QStringLiteral("MLSD")} << true;
        QTest::newRow("no facts at all") << QStringList{QStringLiteral("MLSD"), QStringLiteral("MDTM")} << false;
    }

    void unchangedEntriesAreNotFetched()
    {
        QFETCH(QStringList, refused);
        QFETCH(bool, skips);
        QStringList faults;
        for (const QString& command : refused)
            faults << QStringLiteral("--refuse") << command;
        FtpTestServer server(faults);
        QVERIFY2(server.start(), qPrintable(server.error()));
        const QDateTime yesterday = QDateTime::currentDateTime().addDays(-1).addMSecs(-123);
        const auto remote = [&server](const QString& name) { return QDir(server.root()).filePath(Folder + name); };
        QVERIFY(server.makeDir(Folder));
        for (const auto& [name, content] :
             {std::pair{"same.bin", "1111"}, {"retimed.bin", "2222"}, {"grown.bin", "3333"}, {"edited.bin", "4444"}})
            QVERIFY(writeFile(remote(QLatin1String(name)), content, yesterday));
        QTemporaryDir app;
        QFile ini(app.filePath(QStringLiteral("VORN_UPDATE_VERSION.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[server]\nhost=%1\nuser=%2\npassword=%3\nskip_unchanged=true\n")
                      .arg(server.host(), FtpTestServer::user(), FtpTestServer::password())
                      .toUtf8());
        ini.close();
        const auto local = [&app](const char* name) { return app.filePath(QLatin1String(name)); };

        int exitCode = -1;
        QString output = run(app, &exitCode);
        QVERIFY2(exitCode == 0, qPrintable(output));
        QCOMPARE(readFile(local("same.bin")), QByteArray("1111"));
        if (skips)
            QCOMPARE(modifiedOf(local("same.bin")).toSecsSinceEpoch(), yesterday.toSecsSinceEpoch());

        // Same size and time: a copy the run must leave alone (its content tells if it did).
        QVERIFY(writeFile(local("same.bin"), "XXXX", modifiedOf(remote(QStringLiteral("same.bin")))));
        QVERIFY(writeFile(remote(QStringLiteral("retimed.bin")), "5555", yesterday.addSecs(3600)));
        QVERIFY(writeFile(remote(QStringLiteral("grown.bin")), "33333", yesterday));
        QVERIFY(writeFile(local("edited.bin"), "444", modifiedOf(remote(QStringLiteral("edited.bin")))));
        output = run(app, &exitCode);
        QVERIFY2(exitCode == 0, qPrintable(output));
        QCOMPARE(readFile(local("same.bin")), skips ? QByteArray("XXXX") : QByteArray("1111"));
        QCOMPARE(readFile(local("retimed.bin")), QByteArray("5555"));
        QCOMPARE(readFile(local("grown.bin")), QByteArray("33333"));
        QCOMPARE(readFile(local("edited.bin")), QByteArray("4444"));
        QVERIFY2(output.contains(QStringLiteral("All is OK...  73 ")), qPrintable(output));
        QCOMPARE(output.contains(QStringLiteral("1 fichier inchangé")), skips);
        QVERIFY(readFile(app.filePath(QStringLiteral("VORN_UPDATE_VERSION.log")))
                    .contains(skips ? "3 fichier(s) à jour. 1 fichier(s) inchangé(s)." : "4 fichier(s) à jour."));
    }
};

QTEST_GUILESS_MAIN(TestUnchanged)
#include "tst_unchanged.moc"
