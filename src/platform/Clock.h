#pragma once

#include <QDateTime>

// The current local time, replaceable in tests that fix dates written into files and tables.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};
