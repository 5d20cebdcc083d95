#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// What the program was asked to do on its command line.
struct CommandLine {
    enum class Mode { Update, Manager, Profiles, Intake, Station, Rollback, MakeManifest, Fleet };

    Mode mode = Mode::Update;
    QString appDir;     // empty: the executable's folder
    QString configFile; // empty: VORN_UPDATE_VERSION.ini in the application folder
    bool unattended = false;
    bool startApplication = true;
    bool demoData = false; // station: fill an empty embedded database with demonstration data
    // --make-manifest FOLDER --release N [--expires YYYY-MM-DD] [--rollout-days D] [--previous OLD]…
    QString manifestFolder;
    qint64 release = -1;
    std::optional<QDate> expires;
    int rolloutDays = 0;                     // 0: the release goes to every station at once
    std::optional<QDate> rolloutStart;       // the first day (default: today)
    std::optional<std::pair<int, int>> gate; // --rollout-gate OK,FAILED
    QStringList previous;
    bool now = false; // a phased release is taken at once on this station
    QString csvFile;  // --fleet: the table written for a spreadsheet
    bool help = false;
    bool version = false;
    QString error; // set when the arguments could not be understood

    static CommandLine parse(const QStringList& arguments);
    static QString helpText();
};
