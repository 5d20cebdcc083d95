#pragma once

#include <QString>

// Flushes to stable storage every file written on the volume that holds `folder`. Called once at
// the end of a run of downloads instead of once per file. Returns false when the flush failed.
bool flushVolumeOf(const QString& folder);
