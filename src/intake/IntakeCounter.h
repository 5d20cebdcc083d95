#pragma once

#include <QtGlobal>

// The intake's shared 16-bit counter (IntakeCount): reset by a loading or a validation sync,
// read by the downloads' message. It stops at the largest 16-bit value instead of overflowing,
// so a folder of more than 32 767 files is still processed to its end.
class IntakeCounter final {
public:
    void reset() { m_value = 0; }
    void add()
    {
        if (m_value < maximum)
            ++m_value;
    }
    qint16 value() const { return m_value; }

    static constexpr qint16 maximum = 32767;

private:
    qint16 m_value = 0;
};
