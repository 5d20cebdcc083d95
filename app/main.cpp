#include "CommandLine.h"
#include "ModeRunners.h"

#include "VornVersion.h"
#include "platform/ConsoleText.h"
#include "platform/ProcessStartup.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

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
    if (cmd.mode == CommandLine::Mode::MakeManifest)
        return ModeRunners::makeManifest(cmd);
    if (!cmd.appDir.isEmpty()) {
        const QString error = unusableAppDir(cmd.appDir);
        if (!error.isEmpty()) {
            writeText(stderr, error + QLatin1Char('\n'));
            return 64;
        }
    }
    if (cmd.mode == CommandLine::Mode::Fleet)
        return ModeRunners::fleet(cmd, argc, argv);
    // With no screen to show a window on, run off-screen and answer every message by itself.
    if (!hasDisplay()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        cmd.unattended = true;
    }

    switch (cmd.mode) {
    case CommandLine::Mode::Rollback:
        return ModeRunners::rollback(cmd, argc, argv);
    case CommandLine::Mode::Intake:
        return ModeRunners::intake(cmd, argc, argv);
    case CommandLine::Mode::Station:
        return ModeRunners::station(cmd, argc, argv);
    case CommandLine::Mode::Manager:
    case CommandLine::Mode::Profiles:
        return ModeRunners::fileManager(cmd, argc, argv);
    case CommandLine::Mode::Update:
    case CommandLine::Mode::MakeManifest:
    case CommandLine::Mode::Fleet:
        break;
    }
    return ModeRunners::update(cmd, argc, argv);
}
