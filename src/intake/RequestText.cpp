#include "RequestText.h"

#include "platform/text/Windows1252.h"

#include <QDir>
#include <QFile>

#include <array>

namespace {

struct Step {
    QByteArray search;
    QByteArray replacement;
};

QByteArray atilde(char second)
{
    return QByteArray("&Atilde;") + second;
}

const std::array<Step, 18>& steps()
{
    static const std::array<Step, 18> table{{
        {"//", "\xB5"},
        {"<br />", " - "},
        {"&quot;", "''"},
        // UTF-8 capitals whose lead byte 0xC3 arrived escaped and whose second byte arrived raw
        {atilde('\x89'), "\xE9"}, // É
        {atilde('\x99'), " "},    // Ù
        {atilde('\x88'), "\xE8"}, // È
        {atilde('\x87'), "\xE7"}, // Ç
        {atilde('\x80'), "\xE0"}, // À
        {atilde('\x94'), "\xF4"}, // Ô
        {atilde('\x96'), "\xF6"}, // Ö
        {atilde('\x8A'), "\xEA"}, // Ê
        {atilde('\x8B'), "\xEB"}, // Ë
        {atilde('\x8E'), "\xEE"}, // Î
        {"&Atilde;", " "},
        {"&Atilde", " "},
        {";", ""},
        {"\xB5", ";"},
        {"-", ""},
    }};
    return table;
}

} // namespace

bool RequestText::readFile(const QString& path, QByteArray& content, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Le fichier « %1 » ne peut pas être ouvert : %2")
                    .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("Le fichier « %1 » ne peut pas être lu : %2")
                    .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

QByteArray RequestText::joinLines(const QByteArray& raw)
{
    QByteArray out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (c == '\r') {
            if (i + 1 < raw.size() && raw.at(i + 1) == '\n')
                ++i;
            continue;
        }
        out.append(c);
    }
    return out;
}

bool RequestText::firstLine(const QByteArray& raw, QByteArray& line)
{
    if (raw.isEmpty())
        return false;
    const qsizetype cr = raw.indexOf('\r');
    line = cr < 0 ? raw : raw.left(cr);
    return true;
}

QByteArray RequestText::repair(QByteArray text)
{
    for (const Step& step : steps())
        text.replace(step.search, step.replacement);
    return text;
}

QString RequestText::prepare(const QByteArray& raw)
{
    return Windows1252::decode(Windows1252::toUpper(repair(joinLines(raw))));
}
