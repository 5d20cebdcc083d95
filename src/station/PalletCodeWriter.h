#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class DatabaseConnection;

// Writes new pallet codes all or none, so that two stations never write the same code. One
// transaction reads what the table holds and inserts the new codes; when another station was
// faster (one of our codes is in the table now, or the embedded file stayed locked) the
// transaction is rolled back and planned again from what is there, a few times.
class PalletCodeWriter final {
public:
    explicit PalletCodeWriter(QString appDir);

    // Called before each insert with its 1-based number, so that a window keeps painting.
    void setProgress(std::function<void(int)> progress) { m_progress = std::move(progress); }

    // `count` UT codes numbered after the number of pallet rows or the highest UT number, whichever
    // is larger. False with a French `error`; nothing is written then.
    bool writeNextUtCodes(int count, QStringList* written, QString* error);

    // Those of `codes` the table does not hold yet; `existing` receives how many it held.
    bool writeMissing(const QStringList& codes, int* existing, QString* error);

    // The number after which the next UT codes go, read outside any transaction; -1 on failure.
    int nextUtBase(QString* error) const;

    static constexpr int Attempts = 5;

private:
    // Plans the codes to insert from what the open transaction sees. False: `error`, no retry.
    using Plan = std::function<bool(DatabaseConnection& db, QStringList* codes, QString* error)>;
    bool write(const Plan& plan, QStringList* written, QString* error);

    QString m_appDir;
    std::function<void(int)> m_progress;
};
