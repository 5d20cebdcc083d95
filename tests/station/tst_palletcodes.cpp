#include "common/TestDatabases.h"
#include "station/PalletCodeIndex.h"
#include "station/PalletCodeWriter.h"

#include "database/DatabaseConnection.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {
const QString Kestravo = QStringLiteral("KESTRAVO2019");

int distinctCodes(TestDatabases& env)
{
    return env.count(Kestravo, QStringLiteral("(select distinct PAL_CAB from kestravo_palette) d"));
}
} // namespace

class TestPalletCodes : public QObject {
    Q_OBJECT

private slots:
    void backends_data() { TestDatabases::addBackendRows(); }

    // Two stations, each on its own connection, generate 1,000 codes at the same moment: both
    // have read the table before either inserts, and both end with codes of their own.
    void twoStationsAtOnce_data() { backends_data(); }
    void twoStationsAtOnce()
    {
        QFETCH(QString, backend);
        TestDatabases env(backend);
        VORN_PREPARE_DATABASES(env);
        std::atomic<int> arrived{0};
        auto station = [&env, &arrived](bool* ok, QString* error) {
            PalletCodeWriter writer(env.appDir());
            bool waited = false;
            writer.setProgress([&](int) {
                if (waited)
                    return;
                waited = true;
                // Hold the first insert until the other station got this far too; a station kept
                // waiting on the database's lock never comes, hence the bound.
                ++arrived;
                for (int i = 0; i < 200 && arrived < 2; ++i)
                    QThread::msleep(10);
            });
            *ok = writer.writeNextUtCodes(1000, nullptr, error);
        };
        bool ok1 = false;
        bool ok2 = false;
        QString error1;
        QString error2;
        // Qt's own threads: under Wine, a plain std::thread that made Qt objects can crash as it ends.
        std::unique_ptr<QThread> first(QThread::create(station, &ok1, &error1));
        std::unique_ptr<QThread> second(QThread::create(station, &ok2, &error2));
        first->start();
        second->start();
        first->wait();
        second->wait();
        QVERIFY2(ok1, qPrintable(error1));
        QVERIFY2(ok2, qPrintable(error2));
        QCOMPARE(env.count(Kestravo, "kestravo_palette"), 2000);
        QCOMPARE(distinctCodes(env), 2000);
    }

    // The fixed block of test codes asked for twice: the second time writes nothing again.
    void testCodesTwice()
    {
        TestDatabases env(QStringLiteral("sqlite"));
        VORN_PREPARE_DATABASES(env);
        QStringList codes;
        for (int g = 1; g <= 5000; ++g)
            codes << QStringLiteral("77137601%1").arg(g, 4, 10, QLatin1Char('0'));
        PalletCodeWriter writer(env.appDir());
        int existing = -1;
        QString error;
        for (int expected : {0, 5000}) {
            QVERIFY2(writer.writeMissing(codes, &existing, &error), qPrintable(error));
            QCOMPARE(existing, expected);
        }
        QCOMPARE(distinctCodes(env), env.count(Kestravo, "kestravo_palette"));
    }

    // An older table that already holds a code twice keeps working without the unique index,
    // which is made once the table is mended.
    void existingDuplicates_data() { backends_data(); }
    void existingDuplicates()
    {
        QFETCH(QString, backend);
        TestDatabases env(backend);
        VORN_PREPARE_DATABASES(env);
        QVERIFY(env.exec(Kestravo, "drop index kestravo_palette_cab_unique"));
        for (const char* code : {"UT000005", "UT000005", "UT000007", "UT000007", "UT000007", "UT000009"})
            QVERIFY(env.exec(Kestravo, "insert into kestravo_palette (PAL_CAB) values (?)", {code}));

        if (!env.isPostgresql()) {
            // The same file opened afresh, as at the next start of the program.
            const QString copy = QDir(env.appDir()).filePath("copy");
            QVERIFY(QDir().mkpath(copy + "/data"));
            QVERIFY(QFile::copy(env.appDir() + "/data/KESTRAVO2019.sqlite", copy + "/data/KESTRAVO2019.sqlite"));
            DatabaseConnection reopened(Kestravo, copy);
            QVERIFY2(reopened.open(), qPrintable(reopened.error()));
        }

        const PalletCodeIndex::State state = PalletCodeIndex::ensure(env.appDir());
        QVERIFY(!state.unique);
        QCOMPARE(state.duplicateCount, 2);
        QCOMPARE(state.duplicates, QStringList({"UT000005 (2 fois)", "UT000007 (3 fois)"}));

        QVERIFY(env.exec(Kestravo, "delete from kestravo_palette where PAL_CAB <> ?", {"UT000009"}));
        QVERIFY(PalletCodeIndex::ensure(env.appDir()).unique);
        QVERIFY(!env.exec(Kestravo, "insert into kestravo_palette (PAL_CAB) values (?)", {"UT000009"}));
    }
};

QTEST_GUILESS_MAIN(TestPalletCodes)
#include "tst_palletcodes.moc"
