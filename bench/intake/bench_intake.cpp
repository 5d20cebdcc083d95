// Loads generated request files into the request table and compares with the sqlite3 tool
// inserting the same rows, one statement per row, in the same run.
//
//   bench_intake [--files N] [--postgresql] [--nocase-index]
//
// --nocase-index adds a case-insensitive index on DI_NO_DI to the embedded table first: SQLite's
// "like" is case-insensitive and cannot use the plain index, so each existence check scans.
//
// --postgresql also loads into the TORVANDEL data source of $VORN_TEST_PG_ODBCINI (its table is
// emptied first: point it at a test database only).

#include "database/DatabaseConnection.h"
#include "database/DatabaseSchema.h"
#include "intake/IntakeCounter.h"
#include "intake/IntakeView.h"
#include "intake/RequestLoader.h"
#include "intake/RequestRecord.h"
#include "intake/RequestText.h"
#include "platform/clock/SystemClock.h"
#include "platform/text/Windows1252.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

class QuietView final : public IntakeView {
public:
    void setProgressMaximum(int) override {}
    void setProgressValue(int) override {}
    void setInfo(const QString&) override {}
    void setCurrentItem(const QString&) override {}
    void setAnimationInterval(int) override {}
    void setBusy(bool) override {}
    void setLocalFolder(const QString&) override {}
    void refreshLocalFiles() override {}
    void processEvents() override {}
};

QString fileName(int i)
{
    return QStringLiteral("DI20210305%1.txt").arg(i, 6, 10, QLatin1Char('0'));
}

QByteArray requestText(int i)
{
    return QStringLiteral("Dupont %1//RH//%2//%3//K%1//05//03//2021//matin//B12//A001//C002//"
                          "Carton&quot;s&quot; <br />fragile &Atilde;\x89tage %1//RAS//01-02-03-04-05//"
                          "jean-luc.dupont@example.org")
        .arg(i)
        .arg(i % 7 + 1)
        .arg(i % 3 + 1)
        .toLatin1();
}

bool writeFiles(const QString& down, int count)
{
    QDir().mkpath(down);
    for (int i = 0; i < count; ++i) {
        QFile f(QDir(down).filePath(fileName(i)));
        if (!f.open(QIODevice::WriteOnly) || f.write(requestText(i)) < 0)
            return false;
    }
    return true;
}

QString sqlText(const QString& value)
{
    QString v = value;
    v.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

// The rows the loading writes, as the statements a person would feed the sqlite3 tool.
QByteArray baselineScript(int count, const QDate& today)
{
    QByteArray script;
    for (const QString& s : DatabaseSchema::statements(QStringLiteral("TORVANDEL"), DatabaseSchema::Dialect::Sqlite))
        script += s.toUtf8() + ";\n";
    for (int i = 0; i < count; ++i) {
        const QString name = fileName(i);
        const RequestRecord r =
            RequestRecord::fromFields(name, RequestLoader::fields(RequestText::prepare(requestText(i))), today);
        QStringList names;
        QStringList values;
        for (const RequestRecord::Column& c : r.columns()) {
            names << c.first;
            values << sqlText(c.second);
        }
        script += QStringLiteral("insert into TORVANDEL_DI (%1) values (%2);\n")
                      .arg(names.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")))
                      .toUtf8();
    }
    return script;
}

bool load(const QString& appDir, int expected, double& seconds)
{
    IntakeCounter count;
    QuietView view;
    SystemClock clock;
    RequestLoader loader(appDir, count, view, clock);
    QString error;
    QElapsedTimer timer;
    timer.start();
    const bool ok = loader.XMAJ(error);
    seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (!ok || count.value() != qMin(expected, int(IntakeCounter::maximum))) {
        std::fprintf(stderr, "loading failed (%d inserted): %s\n", count.value(), qPrintable(error));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int files = 10000;
    const qsizetype at = args.indexOf(QStringLiteral("--files"));
    if (at > 0 && at + 1 < args.size())
        files = args.at(at + 1).toInt();
    const bool postgresql = args.contains(QStringLiteral("--postgresql"));
    const bool nocaseIndex = args.contains(QStringLiteral("--nocase-index"));

    QTemporaryDir appDir;
    const QString down = QDir(appDir.path()).filePath(QStringLiteral("DOWN"));
    if (!appDir.isValid() || !writeFiles(down, files)) {
        std::fprintf(stderr, "cannot write the request files\n");
        return 1;
    }

    // The embedded database, whatever data sources this machine registers.
    const QString emptyIni = QDir(appDir.path()).filePath(QStringLiteral("odbc.ini"));
    QFile(emptyIni).open(QIODevice::WriteOnly);
    const QByteArray savedIni = qgetenv("ODBCINI");
    qputenv("ODBCINI", QFile::encodeName(emptyIni));
    if (nocaseIndex) {
        DatabaseConnection db(QStringLiteral("TORVANDEL"), appDir.path());
        if (!db.open() || !QSqlQuery(db.database())
                               .exec(QStringLiteral("create index if not exists TORVANDEL_DI_NO_NOCASE on TORVANDEL_DI "
                                                    "(DI_NO_DI collate nocase)"))) {
            std::fprintf(stderr, "cannot add the index: %s\n", qPrintable(db.error()));
            return 1;
        }
    }
    double ours = 0;
    if (!load(appDir.path(), files, ours))
        return 1;
    std::printf("embedded SQLite: %d requests in %.2f s, %.0f requests/s\n", files, ours, files / ours);

    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite3.isEmpty()) {
        std::printf("sqlite3 not found: no baseline\n");
    } else {
        const QString script = QDir(appDir.path()).filePath(QStringLiteral("baseline.sql"));
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly) || f.write(baselineScript(files, QDate::currentDate())) < 0)
            return 1;
        f.close();
        QProcess tool;
        tool.setStandardInputFile(script);
        QElapsedTimer timer;
        timer.start();
        tool.start(sqlite3, {QDir(appDir.path()).filePath(QStringLiteral("baseline.sqlite"))});
        if (!tool.waitForFinished(-1) || tool.exitCode() != 0) {
            std::fprintf(stderr, "sqlite3 failed: %s\n", tool.readAllStandardError().constData());
            return 1;
        }
        const double base = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        std::printf("sqlite3 tool:    %d rows in %.2f s, %.0f rows/s\n", files, base, files / base);
        std::printf("ratio (our time / sqlite3 time): %.2f\n", ours / base);
    }

    if (postgresql) {
        const QByteArray pgIni = qgetenv("VORN_TEST_PG_ODBCINI");
        if (pgIni.isEmpty()) {
            std::printf("VORN_TEST_PG_ODBCINI is not set: PostgreSQL skipped\n");
        } else {
            qputenv("ODBCINI", pgIni);
            {
                DatabaseConnection db(QStringLiteral("TORVANDEL"), appDir.path());
                if (!db.open() || db.isEmbedded()) {
                    std::fprintf(stderr, "PostgreSQL data source unreachable: %s\n", qPrintable(db.error()));
                    return 1;
                }
                QSqlQuery(db.database()).exec(QStringLiteral("delete from TORVANDEL_DI"));
            }
            double pg = 0;
            if (!load(appDir.path(), files, pg))
                return 1;
            std::printf("PostgreSQL:      %d requests in %.2f s, %.0f requests/s\n", files, pg, files / pg);
            DatabaseConnection db(QStringLiteral("TORVANDEL"), appDir.path());
            if (db.open())
                QSqlQuery(db.database()).exec(QStringLiteral("delete from TORVANDEL_DI"));
        }
    }
    if (savedIni.isEmpty())
        qunsetenv("ODBCINI");
    else
        qputenv("ODBCINI", savedIni);
    return 0;
}
