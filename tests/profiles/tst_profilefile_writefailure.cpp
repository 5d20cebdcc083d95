// The system refuses the write half-way (a file size limit stands for a full disk): the old
// profile file must come out whole and no temporary file may stay behind.
#include "platform/text/Windows1252.h"
#include "profiles/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

const QString Profil = QStringLiteral("\\Profil.ini");

// Lowers the size any file of this process may reach, for as long as it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    bool m_ok = false;
};

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestProfileFileWriteFailure : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The write is to fail with an error, not to end the process.
        std::signal(SIGXFSZ, SIG_IGN);
    }

    void refusedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Profil.ini"));
        const QByteArray before =
            "$192.0.2.15\xA4operateur\xA3s3cret|Depot Nord\xB5\r\n\r\n$b\xA4\xA3|Si\xE8ge\xB5\r\n";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(before);
        }
        ProfileFile file(dir.path());
        const QString longLine = QString(4000, u'x');
        QString error;
        {
            FileSizeLimit limit(1024);
            QVERIFY(limit.ok());
            QVERIFY(!file.Modif(Profil, QStringLiteral("$b¤£|Siègeµ"), longLine, true, &error));
        }
        QVERIFY2(error.contains(QStringLiteral("a échoué")), qPrintable(error));
        QVERIFY(error.contains(QStringLiteral("rien n'a été modifié")));
        QCOMPARE(readBytes(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({QStringLiteral("Profil.ini")}));

        error.clear();
        {
            FileSizeLimit limit(1024);
            QVERIFY(!file.EcrireFin(Profil, longLine, &error));
        }
        QVERIFY2(error.contains(QStringLiteral("a échoué")), qPrintable(error));
        QCOMPARE(readBytes(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({QStringLiteral("Profil.ini")}));

        // The same change goes through once the limit is gone.
        QVERIFY(file.EcrireFin(Profil, longLine, &error));
        QCOMPARE(readBytes(path), before + Windows1252::encode(longLine) + "\r\n");
    }
};

QTEST_GUILESS_MAIN(TestProfileFileWriteFailure)
#include "tst_profilefile_writefailure.moc"
