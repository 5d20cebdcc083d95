#include "TrainDispatch.h"

#include "AvailableArticles.h"
#include "DataView.h"
#include "StationMessages.h"
#include "StationView.h"
#include "database/DatabaseConnection.h"
#include "platform/Printer.h"

namespace {
const QString Kestravo = QStringLiteral("KESTRAVO2019");
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
    // The dispatch matches codes with like: a wildcard in a code would reach other pallets.
    if (code.contains(QLatin1Char('%')) || code.contains(QLatin1Char('_')))
        return refuse(
            QStringLiteral("Le code %1 contient « % » ou « _ » : il désignerait d'autres palettes.").arg(code));
    m_pallets.setRecordSource(palletQuery(), {code});
    if (!m_pallets.refresh())
        return refuse(QStringLiteral("Impossible de lire les palettes.\n\n") + m_pallets.error());
    if (m_pallets.recordCount() == 0)
        return refuse(QStringLiteral("La palette %1 n'existe pas.").arg(code));
    if (m_pallets.recordCount() > 1)
        return refuse(QStringLiteral("Le code %1 désigne %2 palettes.").arg(code).arg(m_pallets.recordCount()));
    if (m_pallets.text(QStringLiteral("PAL_STATUT")) == dispatchedStatus())
        return refuse(QStringLiteral("La palette %1 est déjà partie avec le train %2.")
                          .arg(code, m_pallets.text(QStringLiteral("PAL_NO_TRAIN1"))));
    return true;
}

bool TrainDispatch::confirmDeparture(const QStringList& train)
{
    if (train.isEmpty())
        return false;
    return StationMessages::ask(m_dialogs, QStringLiteral("DEPART DU TRAIN ?\r"), QStringLiteral("DEPART DU TRAIN"));
}

bool TrainDispatch::readPallets(const QStringList& train, QList<PalletRow>* rows)
{
    for (const QString& code : train) {
        m_pallets.setRecordSource(palletQuery(), {code});
        if (!m_pallets.refresh()) {
            fail(QStringLiteral("Impossible de lire la palette %1. Rien n'a été imprimé.\n\n").arg(code) +
                 m_pallets.error());
            return false;
        }
        if (m_pallets.recordCount() == 0) {
            fail(QStringLiteral("La palette %1 n'existe pas. Rien n'a été imprimé.").arg(code));
            return false;
        }
        if (m_pallets.text(QStringLiteral("PAL_STATUT")) == dispatchedStatus()) {
            fail(QStringLiteral("La palette %1 est déjà partie avec le train %2. Rien n'a été imprimé.")
                     .arg(code, m_pallets.text(QStringLiteral("PAL_NO_TRAIN1"))));
            return false;
        }
        rows->append({m_pallets.text(QStringLiteral("PAL_CAB")), m_pallets.text(QStringLiteral("PAL_POIDS")),
                      m_pallets.text(QStringLiteral("PAL_LONGUEUR")), m_pallets.text(QStringLiteral("PAL_LARGEUR")),
                      m_pallets.text(QStringLiteral("PAL_HAUTEUR"))});
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
    for (qsizetype i = 0; i < train.size(); ++i) {
        const QString& code = train[i];
        auto stopped = [&](const QString& error) {
            return fail(QStringLiteral("La mise à jour s'est arrêtée à la palette %1 (%2 sur %3) : les palettes "
                                       "précédentes sont enregistrées comme parties, celle-ci et les suivantes "
                                       "ne le sont pas.\n\n")
                            .arg(code)
                            .arg(i + 1)
                            .arg(train.size()) +
                        error);
        };
        m_pallets.setRecordSource(palletQuery(), {code});
        if (!m_pallets.refresh())
            return stopped(m_pallets.error());
        // Articles first: a pallet is shown as gone only once its articles are.
        DatabaseConnection connection(Kestravo, m_appDir);
        if (!connection.open() ||
            !connection.execute(QStringLiteral("update KESTRAVO_GLOBAL  set G_WF_DATE_MODIF = ?, G_WF_USER_MODIF = ? "
                                               ", G_WF_ETAT = ? where G_WF_PAL_CAB like ?"),
                                {stamp, userName.isNull() ? QStringLiteral("") : userName, dispatchedStatus(), code}))
            return stopped(connection.error());
        connection.close();
        m_pallets.setValue(QStringLiteral("PAL_STATUT"), dispatchedStatus());
        m_pallets.setValue(QStringLiteral("PAL_NO_TRAIN1"), trainNumber);
        if (!m_pallets.moveNext())
            return stopped(m_pallets.error());
    }
    StationMessages::inform(m_dialogs, QStringLiteral("OK. Tout est bon."));
    m_view.setWaitVisible(false);
    m_view.setBusy(false);
    return Outcome::Dispatched;
}

int TrainDispatch::lookup(const QString& trainNumber)
{
    if (trainNumber.isEmpty())
        return 0;
    m_pallets.setRecordSource(QStringLiteral("select * from kestravo_palette where PAL_NO_TRAIN1  like ?"),
                              {trainNumber});
    if (!m_pallets.refresh()) {
        StationMessages::inform(m_dialogs,
                                QStringLiteral("Impossible de rechercher le train.\n\n") + m_pallets.error());
        return -1;
    }
    return m_pallets.recordCount();
}
