// Dispatches one train through the station's own classes, the way the window does after "Yes":
// the dispatch note printed to the PDF device, then every pallet and article written.
//
//   bench_dispatch [--pallets N] [--postgresql]
//
// A fresh database is filled with N pallets (default 1,000) of 24 articles each; the run is timed
// from the first read to the last write and the database is checked afterwards. The last line is
//   dispatch: N pallets, 24N articles, T s
//
// Without --postgresql the embedded SQLite file is used. With it, the KESTRAVO2019 data source of
// $VORN_TEST_PG_ODBCINI (scripts/start-test-services), in a schema of its own dropped at the end.
#include "database/DatabaseConnection.h"
#include "database/DatabaseSchema.h"
#include "database/RecordSet.h"
#include "platform/Dialogs.h"
#include "platform/Printer.h"
#include "platform/print/PdfPrintDevice.h"
#include "station/AvailableArticles.h"
#include "station/DataView.h"
#include "station/StationView.h"
#include "station/TrainDispatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

namespace {
const QString Kestravo = QStringLiteral("KESTRAVO2019");
constexpr int ArticlesPerPallet = 24;

class QuietView final : public StationView {
public:
    void setWaitVisible(bool) override {}
    void setWaitInfo(const QString&) override {}
    void setProgressVisible(bool) override {}
    void setProgressMaximum(int) override {}
    void setProgressValue(int) override {}
    void setBusy(bool) override {}
    void setArticleInfo(const QString&) override {}
    void processEvents() override { QCoreApplication::processEvents(); }
};

// The operator who says Yes; notes when the note is done, to split the time.
class YesDialogs final : public Dialogs {
public:
    explicit YesDialogs(const QElapsedTimer& clock)
        : m_clock(clock)
    {}
    int message(const MessageRequest& request) override
    {
        if (request.buttons != DialogButtons::YesNo) {
            told << request.text;
            return AnswerOk;
        }
        printed = m_clock.nsecsElapsed() / 1e9;
        return AnswerYes;
    }
    QString input(const QString&, const QString&, const QString&) override { return {}; }
    QStringList told;
    double printed = 0;

private:
    const QElapsedTimer& m_clock;
};

QString code(int i)
{
    return QStringLiteral("UT%1").arg(i, 6, 10, QLatin1Char('0'));
}

bool fail(const QString& what)
{
    std::fprintf(stderr, "bench_dispatch: %s\n", qPrintable(what));
    return false;
}

// The PostgreSQL data sources again, each connection starting in `schema`.
bool usePrivateSchema(const QString& sharedIni, const QString& schema, const QString& folder)
{
    QFile in(sharedIni);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(sharedIni));
    QByteArray text;
    for (const QByteArray& line : in.readAll().split('\n')) {
        text += line + '\n';
        if (line.trimmed().startsWith('['))
            text += "ConnSettings=SET search_path TO " + schema.toLatin1() + '\n';
    }
    const QString ini = QDir(folder).filePath(QStringLiteral("odbc.ini"));
    QFile out(ini);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size())
        return fail(QStringLiteral("cannot write %1").arg(ini));
    out.close();
    qputenv("ODBCINI", QFile::encodeName(ini));
    DatabaseConnection db(Kestravo, folder);
    if (!db.open() || db.isEmbedded())
        return fail(QStringLiteral("PostgreSQL data source unreachable: ") + db.error());
    if (!db.execute(QStringLiteral("create schema %1").arg(schema)))
        return fail(db.error());
    for (const QString& statement : DatabaseSchema::statements(Kestravo, DatabaseSchema::Dialect::Postgresql)) {
        if (!db.execute(statement))
            return fail(db.error());
    }
    return true;
}

bool fill(const QString& appDir, int pallets)
{
    DatabaseConnection db(Kestravo, appDir);
    if (!db.open())
        return fail(db.error());
    QSqlDatabase sql = db.database();
    sql.transaction();
    QSqlQuery pallet(sql);
    QSqlQuery article(sql);
    pallet.prepare(QStringLiteral("insert into kestravo_palette (PAL_CAB, PAL_POIDS, PAL_LONGUEUR, PAL_LARGEUR, "
                                  "PAL_HAUTEUR) values (?, ?, 120, 80, 150)"));
    article.prepare(QStringLiteral("insert into kestravo_global (G_NO_PALETTE, g_type_uc, G_LOCALISATION_PERMANENTE, "
                                   "G_WF_PAL_CAB) values (?, 'bo', ?, ?)"));
    for (int i = 1; i <= pallets; ++i) {
        pallet.addBindValue(code(i));
        pallet.addBindValue(400 + i % 600);
        if (!pallet.exec())
            return fail(pallet.lastError().text());
        for (int a = 1; a <= ArticlesPerPallet; ++a) {
            article.addBindValue(code(i));
            article.addBindValue(QStringLiteral("A%1-%2").arg(i).arg(a));
            article.addBindValue(code(i));
            if (!article.exec())
                return fail(article.lastError().text());
        }
    }
    return sql.commit() || fail(sql.lastError().text());
}

int count(const QString& appDir, const QString& sql)
{
    DatabaseConnection db(Kestravo, appDir);
    RecordSet rows;
    if (!db.open() || !db.read(sql, {}, rows))
        return -1;
    return rows.value(0, QStringLiteral("n")).toInt();
}

bool run(const QString& appDir, int pallets, QString* line)
{
    QElapsedTimer clock;
    DataView palletView(Kestravo, QStringLiteral("kestravo_palette"), appDir);
    DataView articleView(Kestravo, QStringLiteral("kestravo_global"), appDir);
    QuietView view;
    YesDialogs dialogs(clock);
    AvailableArticles available(articleView, view, dialogs);
    TrainDispatch dispatch(palletView, available, view, dialogs, appDir);
    Printer printer;
    printer.setDevice(std::make_unique<PdfPrintDevice>(QDir(appDir).filePath(QStringLiteral("pdf"))));
    QStringList train;
    for (int i = 1; i <= pallets; ++i)
        train << code(i);

    clock.start();
    const TrainDispatch::Outcome outcome = dispatch.dispatch(
        printer, QStringLiteral("B1"), train, QString::number(pallets), QStringLiteral("BENCH"), QDate::currentDate());
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (outcome != TrainDispatch::Outcome::Dispatched)
        return fail(QStringLiteral("the dispatch did not complete: ") + dialogs.told.join(QStringLiteral(" / ")));

    const int marked = count(appDir, QStringLiteral("select count(*) as n from kestravo_palette where PAL_STATUT = "
                                                    "'TRAIN1_EXPEDIE' and PAL_NO_TRAIN1 = 'B1'"));
    const int gone = count(appDir, QStringLiteral("select count(*) as n from kestravo_global where G_WF_ETAT = "
                                                  "'TRAIN1_EXPEDIE' and G_WF_USER_MODIF = 'BENCH'"));
    if (marked != pallets || gone != pallets * ArticlesPerPallet)
        return fail(QStringLiteral("after the run %1 pallets and %2 articles are marked").arg(marked).arg(gone));
    std::printf("note printed in %.2f s, database written in %.2f s\n", dialogs.printed, seconds - dialogs.printed);
    *line = QStringLiteral("dispatch: %1 pallets, %2 articles, %3 s")
                .arg(pallets)
                .arg(pallets * ArticlesPerPallet)
                .arg(seconds, 0, 'f', 2);
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    int pallets = 1000;
    const qsizetype at = args.indexOf(QStringLiteral("--pallets"));
    if (at > 0 && at + 1 < args.size())
        pallets = args.at(at + 1).toInt();
    const bool postgresql = args.contains(QStringLiteral("--postgresql"));
    QTemporaryDir appDir;
    if (pallets < 1 || !appDir.isValid()) {
        fail(QStringLiteral("usage: bench_dispatch [--pallets N] [--postgresql]"));
        return 64;
    }

    const QString schema = QStringLiteral("vorn_bench_%1").arg(QCoreApplication::applicationPid());
    if (postgresql) {
        const QString shared = qEnvironmentVariable("VORN_TEST_PG_ODBCINI");
        if (shared.isEmpty()) {
            fail(QStringLiteral("VORN_TEST_PG_ODBCINI is not set: source scripts/start-test-services"));
            return 1;
        }
        if (!usePrivateSchema(shared, schema, appDir.path()))
            return 1;
        std::printf("backend: PostgreSQL (KESTRAVO2019 of %s, schema %s)\n", qPrintable(shared), qPrintable(schema));
    } else {
        // The embedded database, whatever data sources this machine registers.
        const QString emptyIni = QDir(appDir.path()).filePath(QStringLiteral("odbc.ini"));
        QFile(emptyIni).open(QIODevice::WriteOnly);
        qputenv("ODBCINI", QFile::encodeName(emptyIni));
        std::printf("backend: embedded SQLite\n");
    }

    QElapsedTimer filling;
    filling.start();
    QString line;
    const bool ok = fill(appDir.path(), pallets) && (std::printf("filled in %.2f s\n", filling.nsecsElapsed() / 1e9),
                                                     run(appDir.path(), pallets, &line));
    if (postgresql) {
        DatabaseConnection db(Kestravo, appDir.path());
        if (db.open())
            db.execute(QStringLiteral("drop schema if exists %1 cascade").arg(schema));
    }
    if (!ok)
        return 1;
    std::printf("%s\n", qPrintable(line));
    return 0;
}
