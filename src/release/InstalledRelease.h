#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The record of the signed release installed in an application folder: its manifest and signature,
// kept in DIR/.vorn-release/ and never among the application's own files.
class InstalledRelease final {
public:
    static QString folderName() { return QStringLiteral(".vorn-release"); }
    static QString folder(const QString& appDir);

    // The number of the installed release; nullopt when none was recorded (`error` empty) or when
    // the record cannot be read (`error` says why, in French). Only someone who can write the
    // application folder damages the record, and they could replace the programs as well: a
    // damaged record is logged and counts as none, rather than stopping every update for good.
    static std::optional<qint64> number(const QString& appDir, QString& error);

    // Records a release once it is installed. The signature is written first: a record cut between
    // the two writes still names the older release, so nothing can go backwards through it.
    static bool write(const QString& appDir, const QByteArray& manifest, const QByteArray& signature, QString& error);
};
