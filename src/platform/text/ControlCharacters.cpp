#include "ControlCharacters.h"

#include <algorithm>

bool ControlCharacters::isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

bool ControlCharacters::contains(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), isControl);
}

QString ControlCharacters::shown(const QString& text, qsizetype length)
{
    QString out = text.left(length);
    std::replace_if(out.begin(), out.end(), isControl, QLatin1Char('?'));
    if (text.size() > length)
        out += QStringLiteral("…");
    return out;
}
