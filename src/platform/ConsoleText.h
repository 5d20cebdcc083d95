#pragma once

#include <QString>

#include <cstdio>

// Writes `text` to standard output or error (`stream`) so that its accents survive: on a console in
// the console's own form, and otherwise (a file, a pipe, a scheduled task's log) always in UTF-8.
void writeText(std::FILE* stream, const QString& text);
