#include "common/FixedClock.h"
#include "ftpsession/AppConfig.h"
#include "ftpsession/RunLog.h"

#include <QTemporaryDir>
#include <QtTest>

class TestSessionFiles : public QObject {
    Q_OBJECT

private slots:
    void configValuesAsWritten_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("problems");
        QTest::newRow("separators and quotes")
            << QByteArray("[server]\npassword = a,b;c \"d\" #e \r\ntimeout=3600\n") << "a,b;c \"d\" #e" << 3600 << 0;
        QTest::newRow("comment lines") << QByteArray("[server]\n;password=x\n  # password=y\npassword=z\n") << "z" << 30
                                       << 0;
        QTest::newRow("other section") << QByteArray("[intake]\npassword=x\n") << "Q7MAZQ7MAZ" << 30 << 0;
        QTest::newRow("timeout overflow") << QByteArray("[server]\ntimeout=2147484\n") << "Q7MAZQ7MAZ" << 30 << 1;
        QTest::newRow("timeout zero") << QByteArray("[server]\ntimeout=0\n") << "Q7MAZQ7MAZ" << 30 << 1;
        QTest::newRow("timeout words") << QByteArray("[server]\ntimeout=5 s\n") << "Q7MAZQ7MAZ" << 30 << 1;
        QTest::newRow("timeout least") << QByteArray("[server]\ntimeout=1\n") << "Q7MAZQ7MAZ" << 1 << 0;
    }

    void configValuesAsWritten()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, password);
        QFETCH(int, timeout);
        QFETCH(int, problems);
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("c.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(ini) == ini.size());
        f.close();
        const AppConfig c = AppConfig::load(f.fileName());
        QCOMPARE(c.password, password);
        QCOMPARE(c.timeoutSeconds, timeout);
        QCOMPARE(c.problems.size(), problems);
    }

    void unreadableConfigIsReported()
    {
        QTemporaryDir dir;
        QVERIFY(AppConfig::load(dir.filePath(QStringLiteral("absent.ini"))).problems.isEmpty());
        QCOMPARE(AppConfig::load(dir.filePath(QStringLiteral("absent.ini")), true).problems.size(), 1);
        const AppConfig c = AppConfig::load(dir.path()); // a folder cannot be read as a file
        QCOMPARE(c.problems.size(), 1);
        QVERIFY(c.problems.first().contains(QStringLiteral("ne peut pas être lu")));
    }

    void runLogRotates()
    {
        QTemporaryDir dir;
        FixedClock clock;
        const QString path = dir.filePath(RunLog::fileName());
        const QString line(1000, u'r');
        {
            RunLog log(path, clock, false);
            log.write(QStringLiteral("\n\n"));
            QVERIFY(!QFile::exists(path)); // nothing to say, nothing written
            for (int i = 0; i < 2500; ++i)
                log.write(QStringLiteral("%1 ").arg(i, 4) + line);
        }
        RunLog(path, clock, false).outcome(QStringLiteral("fin\nde la course"));
        const QFileInfo current(path);
        const QFileInfo older(path + QStringLiteral(".1"));
        QVERIFY(current.size() <= RunLog::RotateAt && older.size() <= RunLog::RotateAt);
        QVERIFY(older.size() > RunLog::RotateAt - 1100);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QVERIFY(lines.first().startsWith("2021-03-05 09:30:00 "));
        QCOMPARE(lines.at(lines.size() - 2), QByteArray("2021-03-05 09:30:00 Résultat : fin de la course"));
        QVERIFY(lines.at(lines.size() - 3).contains("2499 rrr"));
    }
};

QTEST_GUILESS_MAIN(TestSessionFiles)
#include "tst_sessionfiles.moc"
