#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

// What one station says of its last run, in the fleet's reports folder on the distribution server.
// One file per station, replaced at each run. Its name tells what a phased release's gate needs,
// so that one listing of the folder answers it whatever the fleet's size, and after it, where it
// fits, everything else but the error's text:
//
//   <station id, 16 lower-case hex digits>_<release offered, or 0>_<verdict>[_<details>].vorn-rapport
//
// <details>: installee,resultat,jour,statut,date,duree_ms,octets,programme,ordinateur,utilisateur,
// miroir,erreur ("e" when the text holds an error, else empty), each value percent-encoded (so
// neither "_" nor "," nor anything a file name may not hold appears), the days as yyyyMMdd and the
// date as yyyyMMddTHHmmss (UTC). A reader takes those from the name and reads the text only when
// the name has no details (too long for one) or says there is an error. A station whose run had no
// error only renames its record (one exchange), so then the text may be an earlier run's.
//
// The text (UTF-8, one "key=value" a line, after the line "VORN-RAPPORT 1") tells it all:
// poste, ordinateur, utilisateur, programme, installee, proposee, resultat, jour, statut, date
// (UTC, ISO 8601), duree_ms, octets, miroir, erreur. Keys a reader does not know are skipped.
struct FleetRecord {
    // What became of the release offered.
    enum class Result {
        None,                 // nothing offered (no signed release, or the run ended before)
        Installed,            // put in place, kept (its start check passed, or none was configured)
        AlreadyInstalled,     // nothing to do
        WaitingDay,           // a phased release, not yet this station's day (`day`)
        WaitingConfirmations, // its day has come, the stations before it have not confirmed it yet
        Incomplete,           // some files not fetched (the network, a busy server, the disk; or names refused)
        Refused,              // a signed release refused (signature, expiry, an older release...)
        Withdrawn,            // its VORN.exe failed its start check and the previous release went back
        RolledBack,           // put back by hand with --rollback
        Halted,               // stopped by the failures of the stations before it
    };
    // What the gate counts, per station and release.
    enum class Verdict {
        Kept,   // installed and kept
        Failed, // failed with it, for a reason of the release
        Other,  // says nothing of the release yet
    };

    quint64 station = 0;
    QString computer;
    QString user;
    QString program;                 // the program's version
    std::optional<qint64> installed; // the release in place after the run
    qint64 offered = 0;              // the release the server offered (0: none)
    Result result = Result::None;
    Verdict verdict = Verdict::Other;
    QDate day; // the day a waiting station takes the release
    int exitStatus = 0;
    QDateTime at; // when the run ended, UTC
    qint64 durationMs = 0;
    qint64 bytes = 0; // fetched
    QString mirror;
    QString error; // the first error, at most MaxErrorLength characters, on one line

    static constexpr qsizetype MaxErrorLength = 200;
    // Longer names are kept short (the text then tells the details): some servers and disks take
    // no more than 255 characters a name, and fewer for the whole path.
    static constexpr qsizetype MaxNameLength = 200;
    static QString suffix() { return QStringLiteral(".vorn-rapport"); }

    // With the details when they fit.
    QString fileName() const;
    QByteArray text() const;

    // What a file name says, when it is a record's name.
    struct Name {
        quint64 station = 0;
        qint64 offered = 0;
        Verdict verdict = Verdict::Other;
        bool needsText = true; // the name alone does not tell the whole record
    };
    static std::optional<Name> parseName(const QString& fileName);
    // A record read back. From the name alone when it tells it all (`text` is then not read);
    // otherwise the text must read, and agree with the name. Nothing when either does not read.
    static std::optional<FleetRecord> parse(const QString& fileName, const QByteArray& text);

    static QString resultText(Result result); // as the record and the fleet's table say it
    static QString stationText(quint64 station);
    // The first line of `text`, cut to MaxErrorLength characters.
    static QString firstError(const QString& text);
};
