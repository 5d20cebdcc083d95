#pragma once

#include <QtGlobal>

// Whether a process of that id still runs (on this machine). Used to tell the leftovers of an
// interrupted run from the files of a run still in progress.
bool processIsRunning(qint64 pid);
