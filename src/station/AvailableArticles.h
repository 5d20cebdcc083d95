#pragma once

#include <QString>

class DataView;
class Dialogs;
class StationView;

// The count of articles still waiting for a pallet (Xrefresh), narrowed by the type filter.
class AvailableArticles final {
public:
    AvailableArticles(DataView& articles, StationView& view, Dialogs& dialogs);

    void setTypeFilter(const QString& prefix) { m_typeFilter = prefix; }
    QString typeFilter() const { return m_typeFilter; }

    // Fills the article view and shows its count. A database failure is told to the operator
    // and returns false; the window stays as it was.
    bool Xrefresh();

    static QString recordSource();

private:
    DataView& m_articles;
    StationView& m_view;
    Dialogs& m_dialogs;
    QString m_typeFilter;
};
