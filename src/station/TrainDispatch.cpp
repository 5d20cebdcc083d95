#include "TrainDispatch.h"

#include "AvailableArticles.h"
#include "DataView.h"
#include "StationMessages.h"
#include "StationView.h"
#include "database/DatabaseConnection.h"
#include "database/LikePattern.h"
#include "database/RecordSet.h"
#include "platform/Printer.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
const QString Kestravo = QStringLiteral("KESTRAVO2019");

// Statements over a train take its codes by so many at a time: few round trips, and
// placeholders well within what both databases accept.
constexpr qsizetype Chunk = 200;

QString placeholders(const QStringList& codes)
{
    QStringList marks;
    marks.fill(QStringLiteral("?"), codes.size());
    return marks.join(QStringLiteral(", "));
}

QVariantList values(const QStringList& codes)
{
    return QVariantList(codes.cbegin(), codes.cend());
}

// Pallets that left under a number, whatever case an older entry used.
QString usedNumberQuery()
{
    return QStringLiteral("select count(*) as n from kestravo_palette where upper(PAL_NO_TRAIN1) = ?");
}
} // namespace

TrainDispatch::TrainDispatch(DataView& pallets, AvailableArticles& articles, StationView& view, Dialogs& dialogs,
                             QString appDir)
    : m_pallets(pallets)
    , m_articles(articles)
    , m_view(view)
    , m_dialogs(dialogs)
    , m_appDir(std::move(appDir))
{}

TrainDispatch::Outcome TrainDispatch::fail(const QString& text)
{
    m_view.setWaitVisible(false);
    m_view.setBusy(false);
    StationMessages::inform(m_dialogs, text);
    return Outcome::Failed;
}

QString TrainDispatch::normalised(const QString& text)
{
    return text.trimmed().toUpper();
}

bool TrainDispatch::checkPallet(const QString& code, const QStringList& train, QString* error)
{
    auto refuse = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (code.isEmpty())
        return refuse(QStringLiteral("Saisissez ou scannez le code d'une palette."));
    if (train.contains(code))
        return refuse(QStringLiteral("La palette %1 est déjà dans le train.").arg(code));
    m_pallets.setRecordSource(palletQuery(), {code});
    if (!m_pallets.refresh())
        return refuse(QStringLiteral("Impossible de lire les palettes.\n\n") + m_pallets.error());
    if (m_pallets.recordCount() == 0)
        return refuse(QStringLiteral("La palette %1 n'existe pas.").arg(code));
    if (m_pallets.recordCount() > 1)
        return refuse(
            QStringLiteral("Le code %1 désigne %2 palettes.").arg(code, QString::number(m_pallets.recordCount())));
    if (m_pallets.text(QStringLiteral("PAL_STATUT")) == dispatchedStatus())
        return refuse(QStringLiteral("La palette %1 est déjà partie avec le train %2.")
                          .arg(code, m_pallets.text(QStringLiteral("PAL_NO_TRAIN1"))));
    return true;
}

bool TrainDispatch::checkTrainNumber(const QString& text, QString* number, QString* error)
{
    auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QString value = normalised(text);
    if (number)
        *number = value;
    if (value.isEmpty())
        return refuse(QStringLiteral("Saisissez le numéro du train (N° de train) avant le départ."));
    static const QRegularExpression code39(QStringLiteral("^[0-9A-Z .$/+%-]+$"));
    if (!code39.match(value).hasMatch())
        return refuse(QStringLiteral("Le numéro de train « %1 » ne peut contenir que des lettres sans accent, des "
                                     "chiffres, des espaces et les signes - . $ / + % (caractères du Code 39).")
                          .arg(value));
    if (value.size() > MaxTrainNumber)
        return refuse(QStringLiteral("Le numéro de train « %1 » est trop long : %2 caractères au plus.")
                          .arg(value, QString::number(MaxTrainNumber)));
    DatabaseConnection db(Kestravo, m_appDir);
    RecordSet rows;
    if (!db.open() || !db.read(usedNumberQuery(), {value}, rows))
        return refuse(QStringLiteral("Impossible de vérifier le numéro de train.\n\n") + db.error());
    const int used = rows.value(0, QStringLiteral("n")).toInt();
    if (used > 0)
        return refuse(QStringLiteral("Le numéro de train %1 a déjà servi : %2 palette(s) sont parties avec lui. "
                                     "Choisissez un autre numéro.")
                          .arg(value, QString::number(used)));
    return true;
}

bool TrainDispatch::confirmDeparture(const QStringList& train, const QString& trainNumber, QString* number)
{
    if (train.isEmpty())
        return false;
    QString error;
    if (!checkTrainNumber(trainNumber, number, &error)) {
        StationMessages::inform(m_dialogs, error);
        return false;
    }
    return StationMessages::ask(m_dialogs, QStringLiteral("DEPART DU TRAIN ?\r"), QStringLiteral("DEPART DU TRAIN"));
}

bool TrainDispatch::readPallets(const QStringList& train, QList<PalletRow>* rows)
{
    // A few statements for the whole train: a thousand round trips to a server cost seconds.
    DatabaseConnection db(Kestravo, m_appDir);
    if (!db.open()) {
        fail(QStringLiteral("Impossible de lire les palettes du train. Rien n'a été imprimé.\n\n") + db.error());
        return false;
    }
    QHash<QString, QList<QSqlRecord>> found;
    for (qsizetype from = 0; from < train.size(); from += Chunk) {
        const QStringList part = train.mid(from, Chunk);
        RecordSet read;
        if (!db.read(QStringLiteral("select * from kestravo_palette where PAL_CAB in (%1)").arg(placeholders(part)),
                     values(part), read)) {
            fail(QStringLiteral("Impossible de lire les palettes du train. Rien n'a été imprimé.\n\n") + db.error());
            return false;
        }
        for (int r = 0; r < read.recordCount(); ++r)
            found[read.text(r, QStringLiteral("PAL_CAB"))] << read.record(r);
    }
    for (const QString& code : train) {
        const QList<QSqlRecord> matches = found.value(code);
        auto column = [&matches](const char* name) { return DataView::displayText(matches[0].value(name)); };
        QString refusal;
        if (matches.isEmpty())
            refusal = QStringLiteral("La palette %1 n'existe pas.").arg(code);
        else if (matches.size() > 1)
            refusal = QStringLiteral("Le code %1 désigne %2 palettes.").arg(code, QString::number(matches.size()));
        else if (column("PAL_STATUT") == dispatchedStatus())
            refusal =
                QStringLiteral("La palette %1 est déjà partie avec le train %2.").arg(code, column("PAL_NO_TRAIN1"));
        if (!refusal.isEmpty()) {
            fail(refusal + QStringLiteral(" Rien n'a été imprimé."));
            return false;
        }
        rows->append({code, column("PAL_POIDS"), column("PAL_LONGUEUR"), column("PAL_LARGEUR"), column("PAL_HAUTEUR")});
    }
    return true;
}

TrainDispatch::Outcome TrainDispatch::dispatch(Printer& printer, const QString& trainNumber, const QStringList& train,
                                               const QString& palletCount, const QString& userName, const QDate& today)
{
    bool isNumber = false;
    const int count = palletCount.trimmed().toInt(&isNumber);
    if (!isNumber || count != train.size())
        return fail(QStringLiteral("Le nombre de palettes (%1) ne correspond pas au train (%2 palettes). Rien n'a été "
                                   "imprimé.")
                        .arg(palletCount)
                        .arg(train.size()));

    m_view.setBusy(true);
    m_view.setWaitInfo(QStringLiteral("Expédition d'un train."));
    m_view.setProgressVisible(true);
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(static_cast<int>(train.size()));
    m_view.setWaitVisible(true);
    m_view.processEvents();

    QList<PalletRow> rows;
    if (!readPallets(train, &rows))
        return Outcome::Failed;
    double total = 0;
    QString error;
    if (!DispatchNote::sumWeights(rows, &total, &error))
        return fail(error + QStringLiteral(" Rien n'a été imprimé."));

    const DispatchNote note(trainNumber, rows, today, total);
    const bool printed = note.print(printer, &error, [this, &trainNumber](int j) {
        m_view.setProgressValue(j);
        m_view.setWaitInfo(QStringLiteral("Génération du bordereau. ") + trainNumber);
        m_view.processEvents();
    });
    if (!printed)
        return fail(QStringLiteral("L'impression du bordereau a échoué. La base de données n'a pas été mise à "
                                   "jour.\n\n") +
                    error);

    if (!StationMessages::ask(m_dialogs, QStringLiteral("L'impression est OK ?\r"),
                              QStringLiteral("Impression du carnet"))) {
        StationMessages::inform(m_dialogs,
                                QStringLiteral("LA BASE DE DONNEE N'A PAS ETE MISE A JOUR. REFAITES UNE DEMANDE ! "));
        m_articles.Xrefresh();
        m_view.setWaitVisible(false);
        m_view.setBusy(false);
        return Outcome::Refused;
    }
    return writeDispatch(trainNumber, train, userName, today);
}

TrainDispatch::Outcome TrainDispatch::writeDispatch(const QString& trainNumber, const QStringList& train,
                                                    const QString& userName, const QDate& today)
{
    const QString stamp = today.toString(QStringLiteral("yyyyMMdd"));
    const QString info = QStringLiteral("Enregistrement du départ du train ") + trainNumber + QStringLiteral(".");
    m_view.setWaitInfo(info);
    m_view.setProgressValue(0);
    m_view.processEvents();

    DatabaseConnection db(Kestravo, m_appDir);
    if (!db.open())
        return fail(QStringLiteral("La base de données n'a pas été mise à jour : aucune palette du train n'est "
                                   "marquée comme partie.\n\n") +
                    db.error());
    QSqlDatabase sql = db.database();
    auto rolledBack = [&](const QString& what) {
        sql.rollback();
        return fail(what + QStringLiteral("\n\nRien n'a été enregistré : aucune palette du train n'est marquée "
                                          "comme partie. Le bordereau imprimé n'est pas valable."));
    };
    if (!sql.transaction())
        return fail(QStringLiteral("La base de données n'a pas été mise à jour.\n\n") + sql.lastError().text());

    // Another station may have used the number since the departure was confirmed.
    RecordSet used;
    if (!db.read(usedNumberQuery(), {trainNumber}, used))
        return rolledBack(QStringLiteral("Impossible de vérifier le numéro de train.\n\n") + db.error());
    if (used.value(0, QStringLiteral("n")).toInt() > 0)
        return rolledBack(
            QStringLiteral("Le numéro de train %1 vient d'être utilisé par une autre station.").arg(trainNumber));

    const QString user = userName.isNull() ? QStringLiteral("") : userName;
    for (qsizetype from = 0; from < train.size(); from += Chunk) {
        const QStringList part = train.mid(from, Chunk);
        m_view.setProgressValue(static_cast<int>(from + part.size()));
        m_view.processEvents();
        // Codes compared with "=" (in), so the indexes serve.
        QSqlQuery pallets(sql);
        pallets.prepare(
            QStringLiteral("update kestravo_palette set PAL_STATUT = ?, PAL_NO_TRAIN1 = ? where (PAL_STATUT "
                           "is null or PAL_STATUT <> ?) and PAL_CAB in (%1)")
                .arg(placeholders(part)));
        for (const QVariant& value : QVariantList{dispatchedStatus(), trainNumber, dispatchedStatus()} + values(part))
            pallets.addBindValue(value);
        const bool marked = pallets.exec();
        if (!marked || pallets.numRowsAffected() != part.size()) {
            // Name the first pallet of the chunk that did not take the train.
            RecordSet taken;
            db.read(QStringLiteral("select PAL_CAB from kestravo_palette where PAL_NO_TRAIN1 = ? and PAL_CAB in (%1)")
                        .arg(placeholders(part)),
                    QVariantList{trainNumber} + values(part), taken);
            QSet<QString> done;
            for (int r = 0; r < taken.recordCount(); ++r)
                done.insert(taken.text(r, QStringLiteral("PAL_CAB")));
            qsizetype at = 0;
            while (at + 1 < part.size() && done.contains(part[at]))
                ++at;
            return rolledBack(QStringLiteral("La palette %1 (%2 sur %3) n'a pas pu être marquée comme partie : %4")
                                  .arg(part[at], QString::number(from + at + 1), QString::number(train.size()),
                                       marked ? QStringLiteral("elle n'existe plus ou elle est déjà partie.")
                                              : pallets.lastError().text()));
        }
        QSqlQuery articles(sql);
        articles.prepare(QStringLiteral("update KESTRAVO_GLOBAL  set G_WF_DATE_MODIF = ?, G_WF_USER_MODIF = ? , "
                                        "G_WF_ETAT = ? where G_WF_PAL_CAB in (%1)")
                             .arg(placeholders(part)));
        for (const QVariant& value : QVariantList{stamp, user, dispatchedStatus()} + values(part))
            articles.addBindValue(value);
        if (!articles.exec())
            return rolledBack(QStringLiteral("Les articles des palettes %1 à %2 n'ont pas pu être marqués : %3")
                                  .arg(part.first(), part.last(), articles.lastError().text()));
    }
    if (!sql.commit())
        return rolledBack(QStringLiteral("La base de données n'a pas enregistré le départ.\n\n") +
                          sql.lastError().text());
    StationMessages::inform(m_dialogs, QStringLiteral("OK. Tout est bon."));
    m_view.setWaitVisible(false);
    m_view.setBusy(false);
    return Outcome::Dispatched;
}

int TrainDispatch::lookup(const QString& trainNumber)
{
    if (trainNumber.isEmpty())
        return 0;
    // The number as typed, "%" and "_" included, not a pattern.
    m_pallets.setRecordSource(QStringLiteral("select * from kestravo_palette where PAL_NO_TRAIN1  like ?") +
                                  QLatin1String(LikePattern::EscapeClause),
                              {LikePattern::literal(trainNumber)});
    if (!m_pallets.refresh()) {
        StationMessages::inform(m_dialogs,
                                QStringLiteral("Impossible de rechercher le train.\n\n") + m_pallets.error());
        return -1;
    }
    return m_pallets.recordCount();
}
