#pragma once

#include <QString>

// A few users, groups, pallets and articles for a first look at the station on a fresh
// install: DEMO/demo (administrator) and QUAI/quai (operator).
class StationDemoData final {
public:
    // Fills KESTRAVO2019 when it holds no user and no pallet yet; an already used database is
    // left alone (true, nothing written). False with a French `error` on a database failure.
    static bool fillIfEmpty(const QString& appDir, QString* error);
};
