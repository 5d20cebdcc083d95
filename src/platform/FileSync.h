#pragma once

#include <QString>

// Makes the renames and removals already done in `folder` durable (a power cut after it returns
// keeps them). False when the system refused.
bool syncFolder(const QString& folder);
