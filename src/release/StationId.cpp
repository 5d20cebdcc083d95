#include "StationId.h"

#include "InstalledRelease.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>

std::optional<quint64> StationId::parse(const QByteArray& text)
{
    const QByteArray digits = text.trimmed();
    if (digits.size() != 16)
        return std::nullopt;
    for (char c : digits)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return std::nullopt;
    bool ok = false;
    const quint64 id = digits.toULongLong(&ok, 16);
    return ok ? std::optional<quint64>(id) : std::nullopt;
}

quint64 StationId::get(const QString& appDir, QString& problem)
{
    const QString path = QDir(InstalledRelease::folder(appDir)).filePath(fileName());
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        if (const std::optional<quint64> id = parse(file.read(64)))
            return *id;
    file.close();
    const quint64 id = QRandomGenerator::system()->generate64();
    QSaveFile out(path);
    const QByteArray text = QByteArray::number(id, 16).rightJustified(16, '0') + '\n';
    if (!QDir().mkpath(InstalledRelease::folder(appDir)) || !out.open(QIODevice::WriteOnly) ||
        out.write(text) != text.size() || !out.commit())
        problem = QStringLiteral("Le numéro de ce poste ne peut pas être enregistré dans %1 (%2) : un numéro "
                                 "provisoire sert pour cette fois.")
                      .arg(QDir::toNativeSeparators(path), out.errorString());
    return id;
}
