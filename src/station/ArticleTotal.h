#pragma once

#include <QtGlobal>

// The article total of the station: a signed 16-bit count that grows by whole pallet layers.
class ArticleTotal final {
public:
    void reset() { m_value = 0; }
    // Adds 24; refuses (false, total unchanged) when the total would pass 32767.
    bool step();
    qint16 value() const { return m_value; }

    static constexpr int Step = 24;

private:
    qint16 m_value = 0;
};
