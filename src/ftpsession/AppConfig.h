#pragma once

#include <QString>
#include <QStringList>

// Settings read from VORN_UPDATE_VERSION.ini (or the file given with --config). A missing file
// or key keeps the built-in default.
//
// The file is read line by line: "[section]" starts a section, "key=value" sets a key, and a line
// whose first character (after blanks) is ";" or "#" is a comment. A value is everything after the
// first "=" to the end of the line, trimmed of blanks and nothing else: quotes, commas and
// semicolons belong to it (passwords hold such characters).
struct AppConfig {
    // [server]
    // One server, or mirrors of the same version folder separated by commas ("a:21, b, c").
    QString host = QStringLiteral("localhost");
    QString user = QStringLiteral("vorn");
    QString password = QStringLiteral("Q7MAZQ7MAZ");
    QString versionRoot = QStringLiteral("www"); // head of the version folder <root>/DOWN/VERSIONVORN
    QString webspace = QStringLiteral("www");    // where the file manager's web-space button goes
    int timeoutSeconds = 30;                     // 1 to 3600
    // How long, all retries of a run together, a busy server's refusals are tried again (0: never).
    int retryForSeconds = 120;
    // Control sessions a version-folder download runs over at once (1: the main connection alone).
    int sessions = 4;
    // An unattended run first waits a random time up to this, so that stations do not all come at once.
    int startDelaySeconds = 0;
    // Encryption: "off" (plain FTP) or "explicit" (AUTH TLS). A value that is neither refuses every
    // connection rather than risk one in clear: tlsRefusal then says why.
    bool tlsExplicit = false;
    QString tlsRefusal;
    QString tlsCaFile;     // PEM authorities trusted instead of the system's
    bool tlsVerify = true; // false only for a test bench
    // An entry whose local copy has the server's size and modification time is not fetched again.
    bool skipUnchanged = false;
    // [update]
    // staged (the default): the release is put in place whole or not at all; direct: file by file.
    bool stagedUpdate = true;
    // Seconds to watch a newly installed VORN.exe (0 to 3600; 0: not watched).
    int startCheckSeconds = 0;
    // rollout=ignore (or --now): a phased release is taken at once, not on this station's day.
    bool rolloutIgnored = false;
    // [update] Signed releases: the minisign public keys ("RW…") a release must be signed with.
    // public_key_next is the publisher's next key, accepted too while keys change. A key that does
    // not read refuses the update rather than let it run unchecked: keyRefusal then says why.
    QString publicKey;
    QString publicKeyNext;
    QString keyRefusal;
    bool signedReleases() const { return !publicKey.isEmpty() || !publicKeyNext.isEmpty() || !keyRefusal.isEmpty(); }
    QStringList releaseKeys() const;
    // [intake]
    QString intakeRemoteDir = QStringLiteral("www/DI");
    // [printing]
    QString pdfDir;
    // [fleet] The folder, relative to the login folder, where each station leaves the record of its
    // last run (none: no records); stations not heard of for more than silentDays are marked.
    QString fleetReports;
    int silentDays = 7;

    // What the reader had to say, in French: a file that could not be read, a value it ignored.
    QStringList problems;

    // The version folder, relative to the login directory.
    QString versionFolder() const;

    // `required`: the file was named on the command line, so its absence is a problem too.
    static AppConfig load(const QString& iniPath, bool required = false);
    static QString defaultFileName() { return QStringLiteral("VORN_UPDATE_VERSION.ini"); }
};
