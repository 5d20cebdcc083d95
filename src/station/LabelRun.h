#pragma once

#include <QString>

class DataView;
class Dialogs;
class Printer;
class StationView;

// The label printing run: the first pallets without a status, lowest codes first, one label
// each, four to a page. Reads the pallet table and changes nothing in it.
class LabelRun final {
public:
    LabelRun(DataView& pallets, StationView& view, Dialogs& dialogs);

    // `count` is the text of Tnbre. Everything wrong with it or with the rows is told before
    // the first page is printed. False when the run did not complete (already told).
    bool run(Printer& printer, const QString& count);

    static QString recordSource()
    {
        return QStringLiteral("select * from kestravo_palette where PAL_STATUT is null order by PAL_CAB");
    }

private:
    bool fail(const QString& text);

    DataView& m_pallets;
    StationView& m_view;
    Dialogs& m_dialogs;
};
