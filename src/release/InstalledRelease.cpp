#include "InstalledRelease.h"

#include "ReleaseManifest.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

bool save(const QString& path, const QByteArray& bytes, QString& error)
{
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit())
        return true;
    error = QStringLiteral("Impossible d'enregistrer %1 (%2).").arg(QDir::toNativeSeparators(path), out.errorString());
    return false;
}

} // namespace

QString InstalledRelease::folder(const QString& appDir)
{
    return QDir(appDir).filePath(folderName());
}

std::optional<qint64> InstalledRelease::number(const QString& appDir, QString& error)
{
    error.clear();
    QFile file(QDir(folder(appDir)).filePath(ReleaseManifest::fileName()));
    if (!file.exists())
        return std::nullopt;
    const QString shown = QDir::toNativeSeparators(file.fileName());
    if (!file.open(QIODevice::ReadOnly)) {
        error =
            QStringLiteral("La version installée ne peut pas être lue dans %1 (%2).").arg(shown, file.errorString());
        return std::nullopt;
    }
    QString why;
    const std::optional<ReleaseManifest> m = ReleaseManifest::parse(file.read(ReleaseManifest::MaxBytes + 1), why);
    if (!m) {
        error = QStringLiteral("La version installée ne peut pas être lue dans %1 (%2).").arg(shown, why);
        return std::nullopt;
    }
    return m->release();
}

bool InstalledRelease::write(const QString& appDir, const QByteArray& manifest, const QByteArray& signature,
                             QString& error)
{
    const QString dir = folder(appDir);
    if (!QDir().mkpath(dir)) {
        error = QStringLiteral("Impossible de créer le dossier %1.").arg(QDir::toNativeSeparators(dir));
        return false;
    }
    return save(QDir(dir).filePath(ReleaseManifest::signatureFileName()), signature, error) &&
           save(QDir(dir).filePath(ReleaseManifest::fileName()), manifest, error);
}
