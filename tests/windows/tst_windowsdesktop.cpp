#include "ftpmanager/gui/DirListBox.h"
#include "ftpmanager/gui/DriveListBox.h"
#include "platform/ConsoleText.h"
#include "platform/Drives.h"
#include "platform/PlatformFactory.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// What the operator sees of the local disks and of the program's French text on Windows.
class TestWindowsDesktop : public QObject {
    Q_OBJECT

private slots:
    // Drive letters with their colon, roots shown as Windows writes them, letter case ignored.
    void drivesAsWindowsShowsThem()
    {
        const std::unique_ptr<Drives> drives = createDrives();
        QStringList roots;
        for (const Drive& d : drives->list()) {
            roots << d.root;
            QVERIFY2(d.text.startsWith(d.root.left(2).toLower()), qPrintable(d.text));
        }
        QVERIFY2(roots.contains(QStringLiteral("C:/")) && roots.contains(QStringLiteral("Z:/")),
                 qPrintable(roots.join(QLatin1Char(' '))));
        QVERIFY(!roots.contains(QStringLiteral("/")));
        QVERIFY(drives->holds(QStringLiteral("C:/"), QStringLiteral("c:/windows/system32")));
        QVERIFY(!drives->holds(QStringLiteral("C:/"), QStringLiteral("Z:/tmp")));

        DriveListBox drive1;
        drive1.selectDriveOf(QStringLiteral("z:/tmp"));
        QCOMPARE(drive1.driveRoot(), QStringLiteral("Z:/"));
        DirListBox dir1;
        QVERIFY(dir1.setPath(QStringLiteral("C:/windows")));
        QCOMPARE(dir1.item(0)->text(), QStringLiteral("C:\\"));

        // A letter nobody mapped cannot be opened, and asking does not block on a system box.
        QString absent;
        for (QChar c = QLatin1Char('Y'); c > QLatin1Char('D') && absent.isEmpty(); c = QChar(c.unicode() - 1))
            if (!roots.contains(QString(c) + QStringLiteral(":/")))
                absent = QString(c) + QStringLiteral(":/");
        QVERIFY(!absent.isEmpty());
        QVERIFY(!dir1.setPath(absent));
        QCOMPARE(dir1.path(), QStringLiteral("C:/windows"));
    }

    // Redirected, the French text is UTF-8 whatever the ANSI code page; paths keep "\".
    void redirectedTextIsUtf8()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sortie.txt"));
        std::FILE* out = _wfopen(reinterpret_cast<const wchar_t*>(path.utf16()), L"wb");
        QVERIFY(out);
        writeText(out, QStringLiteral("données « é »\n"));
        std::fclose(out);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QStringLiteral("données « é »\n").toUtf8());

        QProcess program;
        program.start(QStringLiteral(VORN_PROGRAM),
                      {QStringLiteral("--make-manifest"), QStringLiteral("C:/absent é/sous"),
                       QStringLiteral("--release"), QStringLiteral("1")});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 1);
        // Standard error is in text mode: Windows line ends.
        QCOMPARE(program.readAllStandardError(),
                 QStringLiteral("Le dossier « C:\\absent é\\sous » n'existe pas.\r\n").toUtf8());
    }
};

QTEST_MAIN(TestWindowsDesktop)
#include "tst_windowsdesktop.moc"
