#include "platform/text/Windows1252.h"

#include <array>

namespace {

// 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte of `c`, or -1 when the code page has none.
int byteOf(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (std::size_t i = 0; i < High.size(); ++i) {
        if (High[i] == c)
            return static_cast<int>(0x80 + i);
    }
    return -1;
}

QChar charOf(unsigned char byte)
{
    return QChar(byte >= 0x80 && byte < 0xA0 ? High[byte - 0x80] : char16_t(byte));
}

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

} // namespace

QString Windows1252::decode(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes)
        *out++ = charOf(static_cast<unsigned char>(b));
    return text;
}

QByteArray Windows1252::encode(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        const int byte = byteOf(c.unicode());
        bytes.append(byte < 0 ? '?' : static_cast<char>(byte));
    }
    return bytes;
}

bool Windows1252::canEncode(const QString& text)
{
    for (const QChar c : text) {
        if (byteOf(c.unicode()) < 0)
            return false;
    }
    return true;
}

QByteArray Windows1252::toUpper(const QByteArray& bytes)
{
    QByteArray out = bytes;
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(upper(static_cast<unsigned char>(out.at(i))));
    return out;
}

QString Windows1252::toUpper(const QString& text)
{
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const int b = byteOf(out.at(i).unicode());
        if (b >= 0)
            out[i] = charOf(upper(static_cast<unsigned char>(b)));
    }
    return out;
}
