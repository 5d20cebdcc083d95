#include "LocalTarget.h"

#include "platform/text/ControlCharacters.h"
#include "platform/text/WindowsNames.h"

#include <QStringList>

namespace {

// The longest file name the local file systems take (ext4, XFS, btrfs, NTFS), in bytes.
constexpr qsizetype MaxNameBytes = 255;

} // namespace

bool LocalTarget::isProgramFolder(const QString& name)
{
    static const QStringList folders{QStringLiteral(".vorn-update"), QStringLiteral(".vorn-previous"),
                                     QStringLiteral(".vorn-release")};
    return folders.contains(name, Qt::CaseInsensitive);
}

QString LocalTarget::shown(const QString& name)
{
    return ControlCharacters::shown(name, 60);
}

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
        why = QStringLiteral("Nom « %1 » refusé : un séparateur de dossier l'écrirait hors du dossier local.")
                  .arg(shown(name));
        return false;
    }
    if (ControlCharacters::contains(name)) {
        why = QStringLiteral("Nom « %1 » refusé : il contient un caractère de contrôle.").arg(shown(name));
        return false;
    }
    const qsizetype bytes = name.toUtf8().size();
    if (bytes > MaxNameBytes) {
        why = QStringLiteral("Nom « %1 » refusé : %2 octets, plus que les %3 qu'un nom de fichier local peut avoir.")
                  .arg(shown(name))
                  .arg(bytes)
                  .arg(MaxNameBytes);
        return false;
    }
    if (const QString problem = WindowsNames::problem(name); !problem.isEmpty()) {
        why = QStringLiteral("Nom « %1 » refusé : %2").arg(shown(name), problem);
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
