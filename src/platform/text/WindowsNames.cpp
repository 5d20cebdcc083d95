#include "WindowsNames.h"

#include <QStringList>

namespace {

// The device's own name when `name` reaches a device: the part before the first dot, blanks
// before that dot included ("CON .txt" is the console too).
QString deviceOf(const QString& name)
{
    static const QStringList plain{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                   QStringLiteral("NUL")};
    QString stem = name.left(name.indexOf(QLatin1Char('.')));
    while (stem.endsWith(QLatin1Char(' ')))
        stem.chop(1);
    stem = stem.toUpper();
    if (plain.contains(stem))
        return stem;
    if (stem.size() == 4 && (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))) &&
        stem.at(3) >= QLatin1Char('1') && stem.at(3) <= QLatin1Char('9'))
        return stem;
    return {};
}

} // namespace

QString WindowsNames::problem(const QString& name)
{
    if (const QString device = deviceOf(name); !device.isEmpty())
        return QStringLiteral("« %1 » est un nom de périphérique sous Windows.").arg(device);
    if (name.endsWith(QLatin1Char('.')))
        return QStringLiteral("il se termine par un point, que Windows retire du nom.");
    if (name.endsWith(QLatin1Char(' ')))
        return QStringLiteral("il se termine par un espace, que Windows retire du nom.");
    static const QString reserved = QStringLiteral("<>:\"|?*");
    for (QChar c : name)
        if (reserved.contains(c))
            return QStringLiteral("le caractère « %1 » est interdit dans un nom de fichier Windows.").arg(c);
    return {};
}

QString WindowsNames::folded(const QString& name)
{
    return name.toCaseFolded();
}
