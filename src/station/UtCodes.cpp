#include "UtCodes.h"

#include "DataView.h"
#include "PalletCodeWriter.h"
#include "StationMessages.h"
#include "StationView.h"
#include "database/DatabaseConnection.h"
#include "database/LikePattern.h"

#include <QRegularExpression>

#include <algorithm>

namespace {
const QString Kestravo = QStringLiteral("KESTRAVO2019");

bool wholeNumber(const QString& text, qlonglong* value)
{
    bool ok = false;
    *value = text.trimmed().toLongLong(&ok);
    return ok;
}
} // namespace

UtCodes::UtCodes(DataView& pallets, DataView& articles, StationView& view, Dialogs& dialogs, QString appDir)
    : m_pallets(pallets)
    , m_articles(articles)
    , m_view(view)
    , m_dialogs(dialogs)
    , m_appDir(std::move(appDir))
{}

bool UtCodes::fail(const QString& text)
{
    StationMessages::inform(m_dialogs, text);
    return false;
}

QString UtCodes::utCode(int number)
{
    return QStringLiteral("UT") + (QStringLiteral("000000") + QString::number(number)).right(6);
}

int UtCodes::highestUtNumber(const DataView& pallets)
{
    static const QRegularExpression form(QStringLiteral("^UT(\\d{6})$"));
    int highest = 0;
    for (int row = 0; row < pallets.recordCount(); ++row) {
        const auto match = form.match(pallets.textAt(row, QStringLiteral("PAL_CAB")));
        if (match.hasMatch())
            highest = std::max(highest, match.captured(1).toInt());
    }
    return highest;
}

bool UtCodes::Command4()
{
    m_pallets.setRecordSource(QStringLiteral("select * from kestravo_palette order by PAL_CAB"));
    if (!m_pallets.refresh())
        return fail(QStringLiteral("Impossible de lire les palettes.\n\n") + m_pallets.error());
    m_pallets.moveLast();
    // Numbering from the row count alone repeats codes once rows were deleted.
    const int n = std::max(m_pallets.recordCount(), highestUtNumber(m_pallets));
    StationMessages::inform(m_dialogs, QStringLiteral("nbre: ") + QString::number(n));
    // The codes are numbered again inside the writing transaction: another station may have
    // taken some since.
    PalletCodeWriter writer(m_appDir);
    writer.setProgress([this](int) { m_view.processEvents(); });
    QString error;
    if (!writer.writeNextUtCodes(CodesPerRun, nullptr, &error))
        return fail(QStringLiteral("Les codes n'ont pas été créés : aucun code n'a été enregistré.\n\n") + error);
    StationMessages::inform(m_dialogs, QStringLiteral("OK"));
    return true;
}

bool UtCodes::Command2()
{
    QStringList codes;
    for (int g = 1; g <= TestCodes; ++g)
        codes << QStringLiteral("77137601") + (QStringLiteral("0000") + QString::number(g)).right(4);
    PalletCodeWriter writer(m_appDir);
    int existing = 0;
    QString error;
    if (!writer.writeMissing(codes, &existing, &error))
        return fail(QStringLiteral("Les codes n'ont pas été créés : aucun code n'a été enregistré.\n\n") + error);
    if (existing == 0)
        StationMessages::inform(m_dialogs, QStringLiteral("OK"));
    else
        StationMessages::inform(m_dialogs, QStringLiteral("%1 des %2 codes de test (%3 à %4) existaient déjà : %5 "
                                                          "code(s) créé(s).")
                                               .arg(existing)
                                               .arg(TestCodes)
                                               .arg(codes.first(), codes.last())
                                               .arg(TestCodes - existing));
    return true;
}

bool UtCodes::CMAJ(const QString& first, const QString& last)
{
    qlonglong firstNumber = 0;
    qlonglong lastNumber = 0;
    if (!wholeNumber(first, &firstNumber) || !wholeNumber(last, &lastNumber))
        return fail(QStringLiteral("Les deux numéros de référence doivent être des nombres entiers. Aucune palette "
                                   "n'a été modifiée."));

    m_pallets.setRecordSource(QStringLiteral("select * from kestravo_palette "));
    if (!m_pallets.refresh())
        return fail(QStringLiteral("Impossible de lire les palettes.\n\n") + m_pallets.error());
    const int count = m_pallets.recordCount();
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(count);
    m_view.processEvents();
    m_view.setWaitVisible(true);

    qlonglong running = firstNumber - 1;
    for (int i = 1; i <= count; ++i) {
        m_view.setProgressValue(i);
        ++running;
        if (running == lastNumber + 1) {
            m_view.setWaitVisible(false);
            StationMessages::inform(m_dialogs, QStringLiteral("OK FINITO"));
            return true;
        }
        m_pallets.setValue(QStringLiteral("PAL_REF_LOCARCHIV"), QString::number(running));
        m_view.processEvents();
        if (!m_pallets.moveNext()) {
            m_view.setWaitVisible(false);
            return fail(QStringLiteral("La numérotation s'est arrêtée à la palette %1 sur %2.\n\n").arg(i).arg(count) +
                        m_pallets.error());
        }
    }
    m_view.setWaitVisible(false);
    StationMessages::inform(m_dialogs, QStringLiteral("OK"));
    m_view.processEvents();
    return true;
}

bool UtCodes::Command3(const QString& code, const QString& date)
{
    // What the operator typed, "%" and "_" included, not a pattern.
    m_pallets.setRecordSource(QStringLiteral("select * from kestravo_palette where pal_cab like ?") +
                                  QLatin1String(LikePattern::EscapeClause),
                              {LikePattern::literal(code)});
    if (!m_pallets.refresh())
        return fail(QStringLiteral("Impossible de lire les palettes.\n\n") + m_pallets.error());
    if (m_pallets.recordCount() == 0) {
        StationMessages::inform(m_dialogs, QStringLiteral("NONy  A PAS!"));
        return true;
    }
    StationMessages::inform(m_dialogs, QStringLiteral("OK il y est !"));
    DatabaseConnection connection(Kestravo, m_appDir);
    if (!connection.open() ||
        !connection.execute(
            QStringLiteral("update KESTRAVO_GLOBAL  set G_WF_DATE_EXTRACTION = ? where G_WF_PAL_CAB like ?") +
                QLatin1String(LikePattern::EscapeClause),
            {date, LikePattern::literal(code)}))
        return fail(QStringLiteral("La date d'extraction n'a pas été enregistrée.\n\n") + connection.error());
    return true;
}

bool UtCodes::prefixOldCodes()
{
    m_pallets.setRecordSource(QStringLiteral("select * from kestravo_palette where pal_cab like ?"),
                              {QStringLiteral("77%")});
    if (!m_pallets.refresh())
        return fail(QStringLiteral("Impossible de lire les palettes.\n\n") + m_pallets.error());
    const int pallets = m_pallets.recordCount();
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(pallets);
    m_view.processEvents();
    m_view.setWaitVisible(true);
    for (int i = 1; i <= pallets; ++i) {
        m_view.setProgressValue(i);
        m_view.processEvents();
        m_pallets.moveNext();
    }

    m_articles.setRecordSource(QStringLiteral("select * from kestravo_global where g_wf_pal_cab like ?"),
                               {QStringLiteral("77%")});
    if (!m_articles.refresh()) {
        m_view.setWaitVisible(false);
        return fail(QStringLiteral("Impossible de lire les articles.\n\n") + m_articles.error());
    }
    const int articles = m_articles.recordCount();
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(articles);
    m_view.processEvents();
    m_view.setWaitVisible(true);
    for (int j = 1; j <= articles; ++j) {
        m_view.setProgressValue(j);
        const QString former = m_articles.text(QStringLiteral("G_WF_PAL_CAB"));
        m_view.setWaitInfo(former);
        m_articles.setValue(QStringLiteral("G_WF_PAL_CAB"), QStringLiteral("UT") + former);
        m_view.processEvents();
        if (!m_articles.moveNext()) {
            m_view.setWaitVisible(false);
            return fail(QStringLiteral("Le préfixe s'est arrêté à l'article %1 sur %2.\n\n").arg(j).arg(articles) +
                        m_articles.error());
        }
    }
    StationMessages::inform(m_dialogs, QStringLiteral("OK"));
    m_view.setWaitVisible(false);
    return true;
}
