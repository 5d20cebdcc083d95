#pragma once

#include <QString>

// Settings read from VORN_UPDATE_VERSION.ini (or the file given with --config). A missing file
// or key keeps the built-in default.
struct AppConfig {
    // [server]
    QString host = QStringLiteral("localhost");
    QString user = QStringLiteral("vorn");
    QString password = QStringLiteral("Q7MAZQ7MAZ");
    QString versionRoot = QStringLiteral("www"); // head of the version folder <root>/DOWN/VERSIONVORN
    QString webspace = QStringLiteral("www");    // where the file manager's web-space button goes
    int timeoutSeconds = 30;
    // [intake]
    QString intakeRemoteDir = QStringLiteral("www/DI");
    // [printing]
    QString pdfDir;

    // The version folder, relative to the login directory.
    QString versionFolder() const;

    static AppConfig load(const QString& iniPath);
    static QString defaultFileName() { return QStringLiteral("VORN_UPDATE_VERSION.ini"); }
};
