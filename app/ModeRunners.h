#pragma once

#include "CommandLine.h"

// One runner per mode of the command line. Each builds what its mode needs (a window or none, the
// FTP client, the dialogs) and returns the program's exit status.
namespace ModeRunners {

int makeManifest(const CommandLine& cmd);
int fleet(const CommandLine& cmd, int& argc, char** argv);
int rollback(const CommandLine& cmd, int& argc, char** argv);
// The update and the intake run without a window when nobody watches and nothing could be seen.
int update(const CommandLine& cmd, int& argc, char** argv);
int intake(const CommandLine& cmd, int& argc, char** argv);
int station(const CommandLine& cmd, int& argc, char** argv);
int fileManager(const CommandLine& cmd, int& argc, char** argv); // also the profile list

} // namespace ModeRunners
