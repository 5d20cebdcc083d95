#include "Cp1252.h"

namespace {

// 0x80..0x9F. The five unassigned bytes map to the C1 control of the same value, as Windows does.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

unsigned char upper(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A: // š
        return 0x8A;
    case 0x9C: // œ
        return 0x8C;
    case 0x9E: // ž
        return 0x8E;
    case 0xFF: // ÿ
        return 0x9F;
    default:
        break;
    }
    // à..þ, except ÷ which is no letter
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 0x20);
    return c;
}

int byteOf(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int k = 0; k < 32; ++k) {
        if (kHigh[k] == u)
            return 0x80 + k;
    }
    return -1;
}

QChar charOf(unsigned char c)
{
    return (c >= 0x80 && c <= 0x9F) ? QChar(kHigh[c - 0x80]) : QChar(c);
}

} // namespace

QString Cp1252::toUnicode(const QByteArray& bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        d[i] = charOf(static_cast<unsigned char>(bytes.at(i)));
    }
    return out;
}

QByteArray Cp1252::fromUnicode(const QString& text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        int b = byteOf(text.at(i).unicode());
        out[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

QString Cp1252::toUpper(const QString& text)
{
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const int b = byteOf(out.at(i).unicode());
        if (b >= 0)
            out[i] = charOf(upper(static_cast<unsigned char>(b)));
    }
    return out;
}

QByteArray Cp1252::toUpper(const QByteArray& bytes)
{
    QByteArray out = bytes;
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(upper(static_cast<unsigned char>(out.at(i))));
    return out;
}
