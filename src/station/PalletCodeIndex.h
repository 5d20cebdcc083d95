#pragma once

#include <QString>
#include <QStringList>

// Pallet codes are the pallets' key: the schema's unique index on PAL_CAB is created where it is
// missing. A table that already holds a code twice is left alone; an administrator is told once.
class PalletCodeIndex final {
public:
    struct State {
        bool unique = false;
        int duplicateCount = 0; // codes held by more than one row
        QStringList duplicates; // the first of them, in code order
        QString error;          // why the index is missing when no duplicate explains it
    };

    // Creates the index when it can and reports how the table stands.
    static State ensure(const QString& appDir);

    // The notice for an administrator about `state`, or empty when there is nothing to say or the
    // same notice was already shown from this application folder (data/station.ini remembers it).
    // Returning a text counts as showing it.
    static QString takeNotice(const QString& appDir, const State& state);

    static constexpr int NamedDuplicates = 5;
};
