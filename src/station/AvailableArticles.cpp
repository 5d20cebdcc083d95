#include "AvailableArticles.h"

#include "DataView.h"
#include "StationMessages.h"
#include "StationView.h"

AvailableArticles::AvailableArticles(DataView& articles, StationView& view, Dialogs& dialogs)
    : m_articles(articles)
    , m_view(view)
    , m_dialogs(dialogs)
{}

QString AvailableArticles::recordSource()
{
    return QStringLiteral("select * from kestravo_global where (G_NO_PALETTE like ? or G_NO_PALETTE is null) and "
                          "(g_type_uc like ?) and (g_WF_ETAT is null or g_WF_ETAT like ? ) order by "
                          "G_LOCALISATION_PERMANENTE");
}

bool AvailableArticles::Xrefresh()
{
    m_view.setBusy(true);
    m_view.setWaitInfo(QStringLiteral("Recherche des articles disponibles."));
    m_view.setProgressVisible(false);
    m_view.setWaitVisible(true);
    m_view.processEvents();

    // An empty text, not NULL: "like NULL" would match nothing.
    const QString empty = QStringLiteral("");
    m_articles.setRecordSource(recordSource(), {empty, m_typeFilter + QLatin1Char('%'), empty});
    const bool ok = m_articles.refresh();
    if (ok)
        m_view.setArticleInfo(QString::number(m_articles.recordCount()) + QStringLiteral(" articles disponibles."));

    m_view.setWaitVisible(false);
    m_view.processEvents();
    m_view.setBusy(false);
    if (!ok)
        StationMessages::inform(m_dialogs, QStringLiteral("Impossible de lire les articles disponibles.\n\n") +
                                               m_articles.error());
    return ok;
}
