#include "ModeRunners.h"

#include "VornVersion.h"
#include "database/DatabaseConnection.h"
#include "fleet/FleetRun.h"
#include "ftpsession/AppConfig.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/RunLog.h"
#include "ftpsession/StartDelay.h"
#include "launcher/ReleaseSwap.h"
#include "launcher/RollbackRun.h"
#include "launcher/UnattendedIntake.h"
#include "launcher/UnattendedUpdate.h"
#include "launcher/gui/Form1.h"
#include "login/OperatorContext.h"
#include "platform/ConsoleText.h"
#include "platform/PlatformFactory.h"
#include "platform/ProcessControl.h"
#include "platform/clock/SystemClock.h"
#include "platform/dialogs/QtDialogs.h"
#include "platform/dialogs/UnattendedDialogs.h"
#include "platform/ftp/QtFtpClient.h"
#include "platform/widgets/WindowControls.h"
#include "release/ReleaseManifest.h"
#include "station/StationDemoData.h"
#include "station/gui/StationLauncher.h"

#include <QApplication>
#include <QDir>
#include <QVersionNumber>

#include <cstdio>
#include <memory>

namespace {

// A window would be drawn where nobody can see it.
bool drawnOffScreen()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return platform.startsWith("offscreen") || platform.startsWith("minimal");
}

bool windowless(const CommandLine& cmd)
{
    return cmd.unattended && drawnOffScreen();
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

std::unique_ptr<QtFtpClient> makeClient(const AppConfig& config)
{
    auto ftp = std::make_unique<QtFtpClient>(config.timeoutSeconds * 1000);
    FtpTlsSettings tls;
    tls.mode = config.tlsExplicit ? FtpTlsSettings::Mode::Explicit : FtpTlsSettings::Mode::Off;
    tls.caFile = config.tlsCaFile;
    tls.verify = config.tlsVerify;
    tls.refusal = config.tlsRefusal;
    ftp->setTls(tls);
    ftp->setRetryPolicy(RetryPolicy(config.retryForSeconds));
    return ftp;
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

// What a run without a window starts from: the folder put right, the configuration, the client.
struct Windowless {
    Windowless(const CommandLine& cmd, int& argc, char** argv)
        : app(argc, argv)
    {
        QCoreApplication::setApplicationName(QStringLiteral("VORN_UPDATE_VERSION"));
        appDir = applicationFolder(cmd);
        recoverInterruptedUpdate(appDir);
        config = loadConfig(cmd, appDir);
        ftp = makeClient(config);
    }
    QCoreApplication app;
    QString appDir;
    AppConfig config;
    std::unique_ptr<QtFtpClient> ftp;
    UnattendedDialogs dialogs;
    std::unique_ptr<ProcessControl> processes = createProcessControl();
    const SystemClock clock;
};

// What every mode with a window shares.
struct Windowed {
    Windowed(const CommandLine& cmd, int& argc, char** argv)
        : app(argc, argv)
    {
        QApplication::setApplicationName(QStringLiteral("VORN_UPDATE_VERSION"));
        QApplication::setApplicationVersion(QStringLiteral(VORN_VERSION_TEXT));
        QApplication::setWindowIcon(WindowControls::programIcon());
        appDir = applicationFolder(cmd);
        recoverInterruptedUpdate(appDir);
        config = loadConfig(cmd, appDir);
        // Unattended window runs copy their log, these lines included, to standard error already.
        if (!cmd.unattended || cmd.mode == CommandLine::Mode::Station) {
            for (const QString& problem : config.problems)
                writeText(stderr, problem + QLatin1Char('\n'));
        }
        QString translationError;
        if (!QtDialogs::installFrenchTranslations(&translationError))
            writeText(stderr, translationError + QLatin1Char('\n'));
        if (cmd.unattended)
            dialogs = std::make_unique<UnattendedDialogs>();
        else
            dialogs = std::make_unique<QtDialogs>();
        ftp = makeClient(config);
        spreadStart(cmd, config, appDir);
    }
    QApplication app;
    QString appDir;
    AppConfig config;
    std::unique_ptr<Dialogs> dialogs;
    std::unique_ptr<ProcessControl> processes = createProcessControl();
    std::unique_ptr<QtFtpClient> ftp;
    OperatorContext operatorContext;
};

// The main window in the mode the command line names, until it ends the program.
int mainWindow(const CommandLine& cmd, Windowed& w)
{
    FtpConnection session(*w.ftp);
    Form1Context context(session, *w.processes, *w.dialogs, w.operatorContext);
    context.config = w.config;
    context.appDir = w.appDir;
    context.versionMajor = VORN_VERSION_MAJOR;
    context.versionMinor = VORN_VERSION_MINOR;
    context.versionRevision = VORN_VERSION_PATCH;
    context.managerMode = cmd.mode == CommandLine::Mode::Manager || cmd.mode == CommandLine::Mode::Profiles;
    context.openProfilesAtStart = cmd.mode == CommandLine::Mode::Profiles;
    context.intakeRun = cmd.mode == CommandLine::Mode::Intake;
    context.unattended = cmd.unattended;
    context.startApplication = cmd.startApplication;
    const SystemClock clock;
    context.readFleet = [&w, &clock](FleetTable& table, QString& error) {
        bool loginFailed = false;
        return FleetRun(*w.ftp, w.config, w.appDir, clock).read(table, error, loginFailed);
    };
    Form1 form(std::move(context));
    form.show();
    return QApplication::exec();
}

} // namespace

namespace ModeRunners {

int makeManifest(const CommandLine& cmd)
{
    QString error;
    ReleaseManifest::Options options{cmd.expires, std::nullopt, cmd.previous};
    if (cmd.rolloutDays > 0)
        options.rollout =
            ReleaseManifest::Rollout{cmd.rolloutStart.value_or(QDate::currentDate()), cmd.rolloutDays, std::nullopt};
    if (cmd.gate)
        options.rollout->gate = ReleaseManifest::Gate{cmd.gate->first, cmd.gate->second};
    if (!ReleaseManifest::make(cmd.manifestFolder, cmd.release, options, error)) {
        writeText(stderr, error + QLatin1Char('\n'));
        return 1;
    }
    writeText(stdout, QStringLiteral("%1 écrit (version %2) : à signer avec minisign -S -m %1.\n")
                          .arg(QDir::toNativeSeparators(QDir(cmd.manifestFolder).filePath(ReleaseManifest::fileName())))
                          .arg(cmd.release));
    return 0;
}

int fleet(const CommandLine& cmd, int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString appDir = applicationFolder(cmd);
    const AppConfig config = loadConfig(cmd, appDir);
    for (const QString& problem : config.problems)
        writeText(stderr, problem + QLatin1Char('\n'));
    const std::unique_ptr<QtFtpClient> ftp = makeClient(config);
    const SystemClock clock;
    return FleetRun(*ftp, config, appDir, clock).run(cmd.csvFile);
}

int rollback(const CommandLine& cmd, int& argc, char** argv)
{
    if (windowless(cmd)) {
        Windowless w(cmd, argc, argv);
        w.ftp->setRetryPolicy(RetryPolicy(0)); // a record is never worth a wait
        RollbackRun rollback(*w.processes, w.dialogs, w.appDir, w.clock, true);
        rollback.reportTo(*w.ftp, w.config);
        return rollback.run(cmd.startApplication);
    }
    Windowed w(cmd, argc, argv);
    const SystemClock clock;
    w.ftp->setRetryPolicy(RetryPolicy(0));
    RollbackRun rollback(*w.processes, *w.dialogs, w.appDir, clock, cmd.unattended);
    rollback.reportTo(*w.ftp, w.config);
    return rollback.run(cmd.startApplication);
}

int update(const CommandLine& cmd, int& argc, char** argv)
{
    if (windowless(cmd)) {
        // Nobody watches and nothing could be seen: no window, fonts nor pictures are built.
        Windowless w(cmd, argc, argv);
        spreadStart(cmd, w.config, w.appDir);
        return UnattendedUpdate(*w.ftp, *w.processes, w.dialogs, w.config, w.appDir, w.clock).run(cmd.startApplication);
    }
    Windowed w(cmd, argc, argv);
    return mainWindow(cmd, w);
}

int intake(const CommandLine& cmd, int& argc, char** argv)
{
    if (windowless(cmd)) {
        Windowless w(cmd, argc, argv);
        spreadStart(cmd, w.config, w.appDir);
        return UnattendedIntake(*w.ftp, *w.processes, w.dialogs, w.config, w.appDir, w.clock).run();
    }
    Windowed w(cmd, argc, argv);
    return mainWindow(cmd, w);
}

int station(const CommandLine& cmd, int& argc, char** argv)
{
    Windowed w(cmd, argc, argv);
    // Started from the Start menu, nobody reads standard error: what the configuration says goes
    // into a message box too (unattended, on standard output as every message).
    if (!w.config.problems.isEmpty()) {
        MessageRequest request;
        request.text = w.config.problems.join(QLatin1Char('\n'));
        request.title = QStringLiteral("Configuration");
        request.icon = DialogIcon::Exclamation;
        w.dialogs->message(request);
    }
    if (cmd.demoData) {
        // Demonstration users never go into a site's own database.
        DatabaseConnection probe(QStringLiteral("KESTRAVO2019"), w.appDir);
        if (probe.open() && !probe.isEmbedded()) {
            writeText(stderr, QStringLiteral("--demo-data ne s'applique qu'à la base intégrée : la source de données "
                                             "KESTRAVO2019 est déclarée dans ODBC.\n"));
            return 64;
        }
        probe.close();
        QString error;
        if (!StationDemoData::fillIfEmpty(w.appDir, &error)) {
            writeText(stderr, error + QLatin1Char('\n'));
            return 1;
        }
    }
    StationLauncher station(w.operatorContext, *w.dialogs, *w.processes, w.appDir, w.config.pdfDir,
                            QVersionNumber(VORN_VERSION_MAJOR, VORN_VERSION_MINOR, VORN_VERSION_PATCH),
                            [](int code) { QApplication::exit(code); });
    if (!station.start())
        return 1;
    return QApplication::exec();
}

int fileManager(const CommandLine& cmd, int& argc, char** argv)
{
    Windowed w(cmd, argc, argv);
    return mainWindow(cmd, w);
}

} // namespace ModeRunners
