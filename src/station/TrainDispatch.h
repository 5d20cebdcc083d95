#pragma once

#include "DispatchNote.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>

class AvailableArticles;
class DataView;
class Dialogs;
class Printer;
class StationView;

// A train of pallets: its departure, the dispatch note and, once the operator says the note
// printed well, the pallets and their articles marked as gone with the train.
class TrainDispatch final {
public:
    enum class Outcome { Dispatched, Refused, Failed };

    TrainDispatch(DataView& pallets, AvailableArticles& articles, StationView& view, Dialogs& dialogs, QString appDir);

    // What was typed or scanned, as it is checked, listed and stored: trimmed and upper-cased,
    // Code 39 having no lower case.
    static QString normalised(const QString& text);

    // A code for the train, normalised: it must name one pallet exactly, not dispatched yet and
    // not already in `train`. False with a French `error` otherwise.
    bool checkPallet(const QString& code, const QStringList& train, QString* error);

    // The train number's rules: required, Code 39 characters only, at most MaxTrainNumber of
    // them, and not carried by pallets that already left. `number` receives it normalised.
    bool checkTrainNumber(const QString& text, QString* number, QString* error);

    // Checks the train number (told when wrong), then asks "DEPART DU TRAIN ?": true on Yes.
    // Asks nothing for an empty train.
    bool confirmDeparture(const QStringList& train, const QString& trainNumber, QString* number);

    // Prints the note to `printer` and, on the operator's Yes, writes the dispatch in one
    // transaction: every pallet and its articles, or nothing. `palletCount` is the text of the
    // count, which must match the train. Every pallet is checked before the first line is printed.
    Outcome dispatch(Printer& printer, const QString& trainNumber, const QStringList& train, const QString& palletCount,
                     const QString& userName, const QDate& today);

    // Pallets dispatched under a train number; -1 when the lookup failed (told), 0 for an empty
    // entry without a query.
    int lookup(const QString& trainNumber);

    static QString palletQuery() { return QStringLiteral("select * from kestravo_palette where PAL_CAB = ?"); }
    static QString dispatchedStatus() { return QStringLiteral("TRAIN1_EXPEDIE"); }

    // The cover's bar code of a longer number would not fit the page.
    static constexpr int MaxTrainNumber = 20;

private:
    bool readPallets(const QStringList& train, QList<PalletRow>* rows);
    Outcome writeDispatch(const QString& trainNumber, const QStringList& train, const QString& userName,
                          const QDate& today);
    Outcome fail(const QString& text);

    DataView& m_pallets;
    AvailableArticles& m_articles;
    StationView& m_view;
    Dialogs& m_dialogs;
    QString m_appDir;
};
