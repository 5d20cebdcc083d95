#include "LocalTarget.h"

bool LocalTarget::resolve(const QString& folder, const QString& name, QString& path, QString& why)
{
    if (name.isEmpty()) {
        why = QStringLiteral("Nom vide refusé.");
        return false;
    }
    if (name == QLatin1String(".") || name == QLatin1String("..")) {
        why = QStringLiteral("Nom « %1 » refusé : il désigne un dossier, pas un fichier.").arg(name);
        return false;
    }
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
        why =
            QStringLiteral("Nom « %1 » refusé : un séparateur de dossier l'écrirait hors du dossier local.").arg(name);
        return false;
    }
    if (name.contains(QChar(0))) {
        why = QStringLiteral("Nom refusé : caractère nul.");
        return false;
    }
    path = join(folder, name);
    return true;
}

bool LocalTarget::resolveListed(const QString& folder, const QString& name, QString& path, QString& why)
{
    if (isParentLine(name)) {
        path = join(folder, name);
        return true;
    }
    return resolve(folder, name, path, why);
}

QString LocalTarget::join(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}
