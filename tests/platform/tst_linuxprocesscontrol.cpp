#include "platform/linux/LinuxProcessControl.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

// A script that records its pid, then sleeps; named like a program of the stations.
QString writeScript(const QTemporaryDir& dir, const QString& name, bool executable)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write("#!/bin/sh\necho $$ > \"$0.pid\"\nexec sleep 30\n");
    f.close();
    QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (executable)
        p |= QFile::ExeOwner;
    f.setPermissions(p);
    return path;
}

} // namespace

class TestLinuxProcessControl : public QObject {
    Q_OBJECT

private slots:
    void terminatesByImageNameOnly()
    {
        QTemporaryDir dir;
        // A copy of sleep under the name: one process, where a shell looping on sleep would show
        // a second one of that name for the instant of each fork.
        const QString path = dir.filePath(QStringLiteral("VORN.exe"));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), path));

        QProcess victim;
        victim.start(path, {QStringLiteral("60")});
        QVERIFY(victim.waitForStarted());
        QProcess bystander;
        bystander.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(bystander.waitForStarted());

        LinuxProcessControl control;
        QVERIFY(control.imageNamesOf(victim.processId()).contains(QStringLiteral("VORN.exe")));

        // Case and apostrophes are taken literally.
        QCOMPARE(control.terminateByImageName(QStringLiteral("vorn.exe")).requested, 0);
        const TerminateResult quote = control.terminateByImageName(QStringLiteral("VORN'.exe"));
        QVERIFY(quote.ok);
        QCOMPARE(quote.requested, 0);

        const TerminateResult r = control.terminateByImageName(QStringLiteral("VORN.exe"));
        QVERIFY(r.ok);
        QCOMPARE(r.requested, 1);
        QVERIFY(victim.waitForFinished(5000));
        QCOMPARE(bystander.state(), QProcess::Running);
        bystander.kill();
        bystander.waitForFinished();
    }

    void neverSignalsItself()
    {
        LinuxProcessControl control;
        const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        const TerminateResult r = control.terminateByImageName(self);
        QVERIFY(r.ok);
        QVERIFY(r.matchedSelf);
        QCOMPARE(r.requested, 0);
    }

    void startsFetchedProgramsWithoutModeBits()
    {
        QTemporaryDir dir;
        const QString path = writeScript(dir, QStringLiteral("VORN.exe"), false);
        LinuxProcessControl control;
        QString error;
        QVERIFY2(control.startDetached(path, &error), qPrintable(error));
        QVERIFY(QFileInfo(path).isExecutable());
        auto recordedPid = [&path] {
            QFile pidFile(path + QStringLiteral(".pid"));
            return pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed().toLongLong() : 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(recordedPid() > 0, 5000);
        const qint64 pid = recordedPid();
        QVERIFY(pid > 0);
        ::kill(static_cast<pid_t>(pid), SIGTERM);

        QVERIFY(!control.startDetached(dir.filePath(QStringLiteral("absent.exe")), &error));
        QVERIFY(error.startsWith(QLatin1String("Fichier introuvable")));
    }
};

QTEST_GUILESS_MAIN(TestLinuxProcessControl)
#include "tst_linuxprocesscontrol.moc"
