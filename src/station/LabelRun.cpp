#include "LabelRun.h"

#include "DataView.h"
#include "LabelPrinting.h"
#include "StationMessages.h"
#include "StationView.h"
#include "platform/Printer.h"

#include <QStringList>

LabelRun::LabelRun(DataView& pallets, StationView& view, Dialogs& dialogs)
    : m_pallets(pallets)
    , m_view(view)
    , m_dialogs(dialogs)
{}

bool LabelRun::fail(const QString& text)
{
    m_view.setWaitVisible(false);
    m_view.setBusy(false);
    StationMessages::inform(m_dialogs, text);
    return false;
}

bool LabelRun::run(Printer& printer, const QString& count)
{
    bool isNumber = false;
    const int labels = count.trimmed().toInt(&isNumber);
    if (!isNumber || labels < 0 || labels > 32767) {
        StationMessages::inform(m_dialogs, QStringLiteral("Le nombre d'étiquettes doit être un nombre entier de 0 à "
                                                          "32767. Rien n'a été imprimé."));
        return false;
    }

    m_view.setBusy(true);
    m_pallets.setRecordSource(recordSource());
    if (!m_pallets.refresh())
        return fail(QStringLiteral("Impossible de lire les palettes à étiqueter. Rien n'a été imprimé.\n\n") +
                    m_pallets.error());
    if (labels > m_pallets.recordCount())
        return fail(QStringLiteral("Il n'y a que %1 palette(s) sans statut : impossible d'imprimer %2 étiquettes. Rien "
                                   "n'a été imprimé.")
                        .arg(m_pallets.recordCount())
                        .arg(labels));

    const QString info = QStringLiteral("Impression de ") + count + QStringLiteral(" étiquettes.");
    m_view.setWaitInfo(info);
    m_view.setProgressVisible(true);
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(labels);
    m_view.setWaitVisible(true);
    m_view.processEvents();

    QStringList codes;
    for (int i = 0; i < labels; ++i) {
        codes << m_pallets.text(QStringLiteral("PAL_CAB"));
        m_pallets.moveNext();
    }
    QString error;
    const bool printed = LabelPrinting::printRun(printer, codes, &error, [this, &info](int i) {
        m_view.setProgressValue(i);
        m_view.setWaitInfo(info);
        m_view.processEvents();
    });
    if (!printed)
        return fail(QStringLiteral("L'impression des étiquettes a échoué.\n\n") + error);

    StationMessages::inform(m_dialogs, QStringLiteral("OK. Tout est bon."));
    m_view.setWaitVisible(false);
    m_view.setBusy(false);
    return true;
}
