#pragma once

#include <QString>

class DataView;
class Dialogs;
class StationView;

// Maintenance of the handling-unit codes: new UT codes, test codes, archive reference
// numbering, extraction dates, and the "UT" prefix on old numeric codes. Every command tells
// the operator its outcome; false means it stopped on a failure that was told.
class UtCodes final {
public:
    UtCodes(DataView& pallets, DataView& articles, StationView& view, Dialogs& dialogs, QString appDir);

    bool Command4(); // 1000 UT codes after the existing ones
    bool Command2(); // the test codes 771376010001... not there yet
    bool CMAJ(const QString& first, const QString& last);
    bool Command3(const QString& code, const QString& date);
    bool prefixOldCodes();

    // "UT" and the last 6 digits of the number.
    static QString utCode(int number);
    // The highest number of a code of the form UT + 6 digits; 0 when none.
    static int highestUtNumber(const DataView& pallets);

    static constexpr int CodesPerRun = 1000;
    static constexpr int TestCodes = 5000;

private:
    bool fail(const QString& text);

    DataView& m_pallets;
    DataView& m_articles;
    StationView& m_view;
    Dialogs& m_dialogs;
    QString m_appDir;
};
