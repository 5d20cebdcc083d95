#pragma once

#include <QString>

// Names and texts from a server may hold control characters: a line break in a command would
// start another one, and in a message it would garble what the operator reads.
namespace ControlCharacters {

bool isControl(QChar c);
bool contains(const QString& text);
// `text` as it can stand in a message: control characters shown as "?", cut after `length`
// characters with "…".
QString shown(const QString& text, qsizetype length);

} // namespace ControlCharacters
