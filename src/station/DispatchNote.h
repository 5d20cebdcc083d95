#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <functional>

class Printer;

// One pallet of a train as the note prints it; the values are the columns' texts.
struct PalletRow {
    QString code; // PAL_CAB
    QString weight;
    QString length;
    QString width;
    QString height;
};

// The dispatch note of a train ("BORDEREAU D'EXPEDITION"): a cover page with the train's
// number, bar code, pallet count and total weight, then numbered pages of 24 pallets each.
class DispatchNote final {
public:
    DispatchNote(QString trainNumber, QList<PalletRow> pallets, QDate date, double totalWeight);

    // Prints the whole note as one document. `onPallet` is called with the pallet's 1-based
    // number before its row is printed. On failure nothing is sent and `error` says why.
    bool print(Printer& printer, QString* error, const std::function<void(int)>& onPallet = {}) const;

    // Sums the weights of `pallets`. Returns false with a French `error` naming the first
    // pallet whose weight is not a number; the note must not be printed then.
    static bool sumWeights(const QList<PalletRow>& pallets, double* total, QString* error);

    // The number in its default text form: no thousands separator, no trailing zeros.
    static QString numberText(double value);

    // A list column: the value left-aligned in 4 characters, longer values cut.
    static QString field(const QString& value);

    // The list's headings, in their fixed-pitch columns.
    static QString headingLine();

    static constexpr int PalletsPerPage = 24;

private:
    bool printCover(Printer& printer) const;
    bool printHeader(Printer& printer, int page) const;
    bool printPallet(Printer& printer, const PalletRow& pallet, const QList<double>& columns) const;

    QString m_trainNumber;
    QList<PalletRow> m_pallets;
    QDate m_date;
    double m_totalWeight = 0;
};
