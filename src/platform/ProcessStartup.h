#pragma once

#include <QStringList>

// What main() does first, before Qt starts: the settings of the process that depend on the
// system (its time zone lookups, its console).
void prepareProcess();

// The program's command line, every character kept (accents included).
QStringList commandLineArguments(int argc, char* argv[]);

// Whether this session has a screen a window can be shown on (not a service's, nor a headless one).
bool sessionHasDisplay();
