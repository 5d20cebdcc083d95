#include "CommandLine.h"

#include <algorithm>

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine c;
    QString release;
    QString expires;
    QString rolloutDays;
    QString rolloutStart;
    QString rolloutGate;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        auto value = [&](QString& into) {
            if (i + 1 >= arguments.size()) {
                c.error = QStringLiteral("L'option %1 attend une valeur.").arg(a);
                return;
            }
            into = arguments.at(++i);
        };
        if (a == QLatin1String("--app-dir"))
            value(c.appDir);
        else if (a.startsWith(QLatin1String("--app-dir=")))
            c.appDir = a.mid(10);
        else if (a == QLatin1String("--config"))
            value(c.configFile);
        else if (a.startsWith(QLatin1String("--config=")))
            c.configFile = a.mid(9);
        else if (a == QLatin1String("--unattended"))
            c.unattended = true;
        else if (a == QLatin1String("--manager"))
            c.mode = Mode::Manager;
        else if (a == QLatin1String("--profiles"))
            c.mode = Mode::Profiles;
        else if (a == QLatin1String("--intake"))
            c.mode = Mode::Intake;
        else if (a == QLatin1String("--station"))
            c.mode = Mode::Station;
        else if (a == QLatin1String("--rollback"))
            c.mode = Mode::Rollback;
        else if (a == QLatin1String("--make-manifest")) {
            c.mode = Mode::MakeManifest;
            value(c.manifestFolder);
        } else if (a == QLatin1String("--release"))
            value(release);
        else if (a == QLatin1String("--expires"))
            value(expires);
        else if (a == QLatin1String("--rollout-days"))
            value(rolloutDays);
        else if (a == QLatin1String("--rollout-start"))
            value(rolloutStart);
        else if (a == QLatin1String("--rollout-gate"))
            value(rolloutGate);
        else if (a == QLatin1String("--fleet"))
            c.mode = Mode::Fleet;
        else if (a == QLatin1String("--csv"))
            value(c.csvFile);
        else if (a == QLatin1String("--previous")) {
            QString folder;
            value(folder);
            c.previous << folder;
        } else if (a == QLatin1String("--now"))
            c.now = true;
        else if (a == QLatin1String("--demo-data"))
            c.demoData = true;
        else if (a == QLatin1String("--no-start"))
            c.startApplication = false;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            c.help = true;
        else if (a == QLatin1String("--version"))
            c.version = true;
        else
            c.error = QStringLiteral("Option inconnue : %1").arg(a);
        if (!c.error.isEmpty())
            break;
    }
    if (!c.error.isEmpty())
        return c;
    if (c.mode == Mode::MakeManifest) {
        // The release number goes into the manifest as it is written: digits only, no leading zero.
        bool ok = false;
        c.release = release.toLongLong(&ok);
        const bool digits = !release.isEmpty() && release.size() <= 18 &&
                            std::all_of(release.cbegin(), release.cend(),
                                        [](QChar ch) { return ch >= QLatin1Char('0') && ch <= QLatin1Char('9'); }) &&
                            (release.size() == 1 || !release.startsWith(QLatin1Char('0')));
        const QDate day = QDate::fromString(expires, QStringLiteral("yyyy-MM-dd"));
        if (release.isEmpty())
            c.error = QStringLiteral("--make-manifest attend --release N.");
        else if (!ok || !digits)
            c.error = QStringLiteral("--release attend un nombre entier positif, sans zéro en tête : %1").arg(release);
        else if (!expires.isEmpty() && (expires.size() != 10 || !day.isValid()))
            c.error = QStringLiteral("--expires attend une date AAAA-MM-JJ : %1").arg(expires);
        else if (!expires.isEmpty())
            c.expires = day;
        if (c.error.isEmpty() && !rolloutDays.isEmpty()) {
            bool daysOk = false;
            c.rolloutDays = rolloutDays.toInt(&daysOk);
            if (!daysOk || c.rolloutDays < 1 || c.rolloutDays > 30 || rolloutDays.startsWith(QLatin1Char('+')))
                c.error = QStringLiteral("--rollout-days attend un nombre de jours de 1 à 30 : %1").arg(rolloutDays);
        }
        if (c.error.isEmpty() && c.rolloutDays == 0 && !(rolloutStart.isEmpty() && rolloutGate.isEmpty()))
            c.error = QStringLiteral("--rollout-start et --rollout-gate s'emploient avec --rollout-days.");
        const QDate start = QDate::fromString(rolloutStart, QStringLiteral("yyyy-MM-dd"));
        if (c.error.isEmpty() && !rolloutStart.isEmpty()) {
            if (rolloutStart.size() != 10 || !start.isValid())
                c.error = QStringLiteral("--rollout-start attend une date AAAA-MM-JJ : %1").arg(rolloutStart);
            else
                c.rolloutStart = start;
        }
        if (c.error.isEmpty() && !rolloutGate.isEmpty()) {
            const QStringList parts = rolloutGate.split(QLatin1Char(','));
            bool okRead = false;
            bool failedRead = false;
            const int ok = parts.value(0).toInt(&okRead);
            const int failed = parts.value(1).toInt(&failedRead);
            if (parts.size() != 2 || !okRead || !failedRead || ok < 0 || failed < 1 || ok > 100000 || failed > 100000 ||
                rolloutGate.contains(QLatin1Char('+')))
                c.error = QStringLiteral("--rollout-gate attend OK,ECHECS (deux nombres, ECHECS de 1 à 100000) : %1")
                              .arg(rolloutGate);
            else
                c.gate = std::pair{ok, failed};
        }
    } else if (!release.isEmpty() || !expires.isEmpty() || !rolloutDays.isEmpty() || !c.previous.isEmpty() ||
               !rolloutStart.isEmpty() || !rolloutGate.isEmpty()) {
        c.error = QStringLiteral("--release, --expires, --rollout-days, --rollout-start, --rollout-gate et --previous "
                                 "ne s'emploient qu'avec --make-manifest.");
    } else if (!c.csvFile.isEmpty() && c.mode != Mode::Fleet) {
        c.error = QStringLiteral("--csv ne s'emploie qu'avec --fleet.");
    }
    return c;
}

QString CommandLine::helpText()
{
    return QStringLiteral("Usage: VORN_UPDATE_VERSION [options]\n"
                          "\n"
                          "Without a mode option: the update run. Stops VORN.exe, fetches the version folder\n"
                          "<version_root>/DOWN/VERSIONVORN from the distribution server into the application\n"
                          "folder, then starts VORN.exe again and ends.\n"
                          "\n"
                          "Modes:\n"
                          "  --manager          The FTP file manager: every pane shown; a login lists the\n"
                          "                     version folder but does not update. Its \"Profils FTP...\" button\n"
                          "                     opens the connection profiles (Profil.ini).\n"
                          "  --profiles         The file manager with the profile list open: a double-click on a\n"
                          "                     profile fills the server, user and password boxes.\n"
                          "  --intake           The request intake: logs in, fetches the request files (DI...)\n"
                          "                     of [intake] remote_dir into DIR/DOWN, loads them into the\n"
                          "                     TORVANDEL database, then fetches and applies the validation\n"
                          "                     files (OKDI...) and saves the attachments (IMGDI...) in DIR/IMG,\n"
                          "                     removing what was fetched from the server. Then ends.\n"
                          "  --station          The pallet and shipment station: operator login, then the\n"
                          "                     station window over the KESTRAVO2019 database.\n"
                          "  --demo-data        With --station: fill an empty embedded database with\n"
                          "                     demonstration users, pallets and articles (user DEMO, password\n"
                          "                     demo).\n"
                          "  --fleet [--csv FILE]\n"
                          "                     For the administrator: reads the stations' records in [fleet]\n"
                          "                     reports and prints the fleet per release and one line per\n"
                          "                     station; --csv writes the table for a spreadsheet (UTF-8, ;).\n"
                          "  --make-manifest FOLDER --release N [--expires YYYY-MM-DD] [--rollout-days D]\n"
                          "                  [--rollout-start YYYY-MM-DD] [--rollout-gate OK,FAILED]\n"
                          "                  [--previous OLDFOLDER]...\n"
                          "                     For the publisher: writes FOLDER/VORN.manifest (release number,\n"
                          "                     last day it may be installed, size and SHA-256 of every file of\n"
                          "                     FOLDER), to be signed with minisign -S. Then ends.\n"
                          "                     --rollout-days D (1 to 30): a station takes the release on day\n"
                          "                     (its number mod D) counted from --rollout-start (default today).\n"
                          "                     --rollout-gate OK,FAILED: stations of day 1 and later wait for OK\n"
                          "                     stations of earlier days that kept it; FAILED stations that\n"
                          "                     failed with it halt it. --previous: patches from\n"
                          "                     the files of an earlier release, written into FOLDER/patches.\n"
                          "\n"
                          "Options:\n"
                          "  --app-dir DIR      Application folder (default: the executable's folder). Downloads,\n"
                          "                     VORN.exe, Profil.ini and the run log live there. It must exist\n"
                          "                     and be writable.\n"
                          "  --config FILE      Configuration file (default: DIR/VORN_UPDATE_VERSION.ini).\n"
                          "  --unattended       Nobody watches: every message is written as one line on standard\n"
                          "                     output and answered with its default button; a failed login ends\n"
                          "                     with exit status 1. Implied when there is no display.\n"
                          "  --rollback         Put back the release the last update replaced, then start\n"
                          "                     VORN.exe. Exit status 7 when none is kept.\n"
                          "  --no-start         Update the files but do not start VORN.exe afterwards.\n"
                          "  --now              Take a phased release at once (as [update] rollout=ignore).\n"
                          "  --version          Print the version and exit.\n"
                          "  --help             This text.\n"
                          "\n"
                          "Configuration ([server]): host (may end with :port), user, password, version_root,\n"
                          "webspace, timeout (seconds, 1 to 3600, default 30). A value runs to the end of its\n"
                          "line; lines starting with ; or # are comments.\n"
                          "\n"
                          "[update] public_key, public_key_next: minisign public keys (RW...); with one set, only\n"
                          "a release whose VORN.manifest they signed is installed. rollout=ignore: a phased\n"
                          "release is taken at once. [server] host may list mirrors: a:21, b, c.\n"
                          "[intake] remote_dir: the server folder of the request files (default www/DI).\n"
                          "[printing] pdf_dir: a folder that adds a PDF printer to the station's printers.\n"
                          "Data sources TORVANDEL and KESTRAVO2019 are taken from ODBC when registered there;\n"
                          "otherwise embedded SQLite files DIR/data/<name>.sqlite are used.\n"
                          "\n"
                          "Every run that talks to the server appends its log to DIR/VORN_UPDATE_VERSION.log\n"
                          "(kept under 1 MiB, the older part in .log.1); --unattended copies it to standard error.\n"
                          "\n"
                          "Exit status: 0 when the run completed, 1 when the login failed, 2 when VORN.exe could\n"
                          "not be started, 3 when the intake stopped on an error, 4 when the update is incomplete\n"
                          "(files not fetched, or the version folder unreachable), 6 when a signed release was\n"
                          "refused (signature, older release, expired, file changed), 64 for a command-line error\n"
                          "(an --app-dir that does not exist or cannot be written included).\n");
}
