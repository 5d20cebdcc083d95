#include "CommandLine.h"

#include "VornVersion.h"
#include "database/DatabaseConnection.h"
#include "fleet/FleetRun.h"
#include "ftpsession/AppConfig.h"
#include "ftpsession/RunLog.h"
#include "ftpsession/StartDelay.h"
#include "launcher/Form1.h"
#include "launcher/ReleaseSwap.h"
#include "launcher/RollbackRun.h"
#include "launcher/UnattendedUpdate.h"
#include "login/OperatorContext.h"
#include "platform/ConsoleText.h"
#include "platform/PlatformFactory.h"
#include "platform/ProcessControl.h"
#include "platform/ProcessStartup.h"
#include "platform/clock/SystemClock.h"
#include "platform/dialogs/QtDialogs.h"
#include "platform/dialogs/UnattendedDialogs.h"
#include "platform/ftp/QtFtpClient.h"
#include "platform/widgets/WindowControls.h"
#include "release/ReleaseManifest.h"
#include "station/StationDemoData.h"
#include "station/StationLauncher.h"

#include <QVersionNumber>

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <memory>

namespace {

// A folder named on the command line is used as given: no fallback may send the files elsewhere.
QString unusableAppDir(const QString& dir)
{
    const QFileInfo info(dir);
    const QString shown = QDir::toNativeSeparators(dir);
    if (!info.isDir())
        return QStringLiteral("Le dossier de l'application « %1 » (--app-dir) n'existe pas.").arg(shown);
    if (!info.isWritable())
        return QStringLiteral("Le dossier de l'application « %1 » (--app-dir) n'est pas accessible en écriture.")
            .arg(shown);
    return {};
}

bool hasDisplay()
{
    return sessionHasDisplay() || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// A window would be drawn where nobody can see it.
bool drawnOffScreen()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return platform.startsWith("offscreen") || platform.startsWith("minimal");
}

QString applicationFolder(const CommandLine& cmd)
{
    return QDir(cmd.appDir.isEmpty() ? QCoreApplication::applicationDirPath() : cmd.appDir).absolutePath();
}

AppConfig loadConfig(const CommandLine& cmd, const QString& appDir)
{
    const QString file =
        cmd.configFile.isEmpty() ? QDir(appDir).filePath(AppConfig::defaultFileName()) : cmd.configFile;
    AppConfig config = AppConfig::load(file, !cmd.configFile.isEmpty());
    if (cmd.now)
        config.rolloutIgnored = true;
    return config;
}

// A run killed while it put a release in place (or back) is finished before anything else, even
// when the server cannot be reached, so the folder never holds a mix of two releases.
void recoverInterruptedUpdate(const QString& appDir)
{
    const QStringList said = ReleaseSwap(appDir).recover();
    if (said.isEmpty())
        return;
    const SystemClock clock;
    RunLog log(QDir(appDir).filePath(RunLog::fileName()), clock, true);
    for (const QString& line : said)
        log.write(line);
}

void configureClient(QtFtpClient& ftp, const AppConfig& config)
{
    FtpTlsSettings tls;
    tls.mode = config.tlsExplicit ? FtpTlsSettings::Mode::Explicit : FtpTlsSettings::Mode::Off;
    tls.caFile = config.tlsCaFile;
    tls.verify = config.tlsVerify;
    tls.refusal = config.tlsRefusal;
    ftp.setTls(tls);
    ftp.setRetryPolicy(RetryPolicy(config.retryForSeconds));
}

// Scheduled runs of many stations spread their arrivals at the server.
void spreadStart(const CommandLine& cmd, const AppConfig& config, const QString& appDir)
{
    if (!cmd.unattended || config.startDelaySeconds <= 0 ||
        (cmd.mode != CommandLine::Mode::Update && cmd.mode != CommandLine::Mode::Intake))
        return;
    const SystemClock clock;
    RunLog log(QDir(appDir).filePath(RunLog::fileName()), clock, true);
    StartDelay::wait(config.startDelaySeconds, log);
}

} // namespace

int main(int argc, char* argv[])
{
    prepareProcess();
    CommandLine cmd = CommandLine::parse(commandLineArguments(argc, argv));
    if (!cmd.error.isEmpty()) {
        writeText(stderr, cmd.error + QStringLiteral("\n\n") + CommandLine::helpText());
        return 64;
    }
    if (cmd.help) {
        writeText(stdout, CommandLine::helpText());
        return 0;
    }
    if (cmd.version) {
        std::printf("VORN_UPDATE_VERSION %s\n", VORN_VERSION_TEXT);
        return 0;
    }
    if (cmd.mode == CommandLine::Mode::MakeManifest) {
        QString error;
        ReleaseManifest::Options options{cmd.expires, std::nullopt, cmd.previous};
        if (cmd.rolloutDays > 0)
            options.rollout = ReleaseManifest::Rollout{cmd.rolloutStart.value_or(QDate::currentDate()), cmd.rolloutDays,
                                                       std::nullopt};
        if (cmd.gate)
            options.rollout->gate = ReleaseManifest::Gate{cmd.gate->first, cmd.gate->second};
        if (!ReleaseManifest::make(cmd.manifestFolder, cmd.release, options, error)) {
            writeText(stderr, error + QLatin1Char('\n'));
            return 1;
        }
        writeText(stdout,
                  QStringLiteral("%1 écrit (version %2) : à signer avec minisign -S -m %1.\n")
                      .arg(QDir::toNativeSeparators(QDir(cmd.manifestFolder).filePath(ReleaseManifest::fileName())))
                      .arg(cmd.release));
        return 0;
    }
    if (!cmd.appDir.isEmpty()) {
        const QString error = unusableAppDir(cmd.appDir);
        if (!error.isEmpty()) {
            writeText(stderr, error + QLatin1Char('\n'));
            return 64;
        }
    }
    if (cmd.mode == CommandLine::Mode::Fleet) {
        QCoreApplication app(argc, argv);
        const QString appDir = applicationFolder(cmd);
        const AppConfig config = loadConfig(cmd, appDir);
        for (const QString& problem : config.problems)
            writeText(stderr, problem + QLatin1Char('\n'));
        QtFtpClient ftp(config.timeoutSeconds * 1000);
        configureClient(ftp, config);
        const SystemClock clock;
        return FleetRun(ftp, config, appDir, clock).run(cmd.csvFile);
    }
    // With no screen to show a window on, run off-screen and answer every message by itself.
    if (!hasDisplay()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        cmd.unattended = true;
    }

    const bool windowless = cmd.unattended && drawnOffScreen();
    if (cmd.mode == CommandLine::Mode::Rollback && windowless) {
        QCoreApplication app(argc, argv);
        const QString appDir = applicationFolder(cmd);
        recoverInterruptedUpdate(appDir);
        UnattendedDialogs dialogs;
        std::unique_ptr<ProcessControl> processes = createProcessControl();
        const SystemClock clock;
        const AppConfig config = loadConfig(cmd, appDir);
        QtFtpClient ftp(config.timeoutSeconds * 1000);
        configureClient(ftp, config);
        ftp.setRetryPolicy(RetryPolicy(0)); // a record is never worth a wait
        RollbackRun rollback(*processes, dialogs, appDir, clock, true);
        rollback.reportTo(ftp, config);
        return rollback.run(cmd.startApplication);
    }

    // Nobody watches and nothing could be seen: the update runs without building its window, its
    // fonts and its pictures.
    if (cmd.mode == CommandLine::Mode::Update && windowless) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("VORN_UPDATE_VERSION"));
        const QString appDir = applicationFolder(cmd);
        recoverInterruptedUpdate(appDir);
        const AppConfig config = loadConfig(cmd, appDir);
        spreadStart(cmd, config, appDir);
        UnattendedDialogs dialogs;
        std::unique_ptr<ProcessControl> processes = createProcessControl();
        QtFtpClient ftp(config.timeoutSeconds * 1000);
        configureClient(ftp, config);
        const SystemClock clock;
        return UnattendedUpdate(ftp, *processes, dialogs, config, appDir, clock).run(cmd.startApplication);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VORN_UPDATE_VERSION"));
    QApplication::setApplicationVersion(QStringLiteral(VORN_VERSION_TEXT));
    QApplication::setWindowIcon(WindowControls::programIcon());

    const QString appDir = applicationFolder(cmd);
    recoverInterruptedUpdate(appDir);
    const AppConfig config = loadConfig(cmd, appDir);
    // Unattended window runs copy their log, these lines included, to standard error already.
    if (!cmd.unattended || cmd.mode == CommandLine::Mode::Station) {
        for (const QString& problem : config.problems)
            writeText(stderr, problem + QLatin1Char('\n'));
    }
    QString translationError;
    if (!QtDialogs::installFrenchTranslations(&translationError))
        writeText(stderr, translationError + QLatin1Char('\n'));

    std::unique_ptr<Dialogs> dialogs;
    if (cmd.unattended)
        dialogs = std::make_unique<UnattendedDialogs>();
    else
        dialogs = std::make_unique<QtDialogs>();
    std::unique_ptr<ProcessControl> processes = createProcessControl();
    QtFtpClient ftp(config.timeoutSeconds * 1000);
    configureClient(ftp, config);
    OperatorContext operatorContext;
    spreadStart(cmd, config, appDir);

    if (cmd.mode == CommandLine::Mode::Rollback) {
        const SystemClock clock;
        ftp.setRetryPolicy(RetryPolicy(0)); // a record is never worth a wait
        RollbackRun rollback(*processes, *dialogs, appDir, clock, cmd.unattended);
        rollback.reportTo(ftp, config);
        return rollback.run(cmd.startApplication);
    }

    if (cmd.mode == CommandLine::Mode::Station) {
        // Started from the Start menu, nobody reads standard error: what the configuration says goes
        // into a message box too (unattended, on standard output as every message).
        if (!config.problems.isEmpty()) {
            MessageRequest request;
            request.text = config.problems.join(QLatin1Char('\n'));
            request.title = QStringLiteral("Configuration");
            request.icon = DialogIcon::Exclamation;
            dialogs->message(request);
        }
        if (cmd.demoData) {
            // Demonstration users never go into a site's own database.
            DatabaseConnection probe(QStringLiteral("KESTRAVO2019"), appDir);
            if (probe.open() && !probe.isEmbedded()) {
                writeText(stderr,
                          QStringLiteral("--demo-data ne s'applique qu'à la base intégrée : la source de données "
                                         "KESTRAVO2019 est déclarée dans ODBC.\n"));
                return 64;
            }
            probe.close();
            QString error;
            if (!StationDemoData::fillIfEmpty(appDir, &error)) {
                writeText(stderr, error + QLatin1Char('\n'));
                return 1;
            }
        }
        StationLauncher station(operatorContext, *dialogs, *processes, appDir, config.pdfDir,
                                QVersionNumber(VORN_VERSION_MAJOR, VORN_VERSION_MINOR, VORN_VERSION_PATCH),
                                [](int code) { QApplication::exit(code); });
        if (!station.start())
            return 1;
        return QApplication::exec();
    }

    Form1Context context(ftp, *processes, *dialogs, operatorContext);
    context.config = config;
    context.appDir = appDir;
    context.versionMajor = VORN_VERSION_MAJOR;
    context.versionMinor = VORN_VERSION_MINOR;
    context.versionRevision = VORN_VERSION_PATCH;
    context.managerMode = cmd.mode == CommandLine::Mode::Manager || cmd.mode == CommandLine::Mode::Profiles;
    context.openProfilesAtStart = cmd.mode == CommandLine::Mode::Profiles;
    context.intakeRun = cmd.mode == CommandLine::Mode::Intake;
    context.unattended = cmd.unattended;
    context.startApplication = cmd.startApplication;

    Form1 form(std::move(context));
    form.show();
    return QApplication::exec();
}
