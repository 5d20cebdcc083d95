#pragma once

#include "platform/Clock.h"

class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime t = QDateTime(QDate(2021, 3, 5), QTime(9, 30, 0)))
        : m_now(std::move(t))
    {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& t) { m_now = t; }

private:
    QDateTime m_now;
};
