#pragma once

#include <QByteArray>
#include <QString>

// The profile file is written in the ANSI code page of the workstations the program was made for,
// Windows-1252, one byte per character. Qt 6 no longer ships that codec in QtCore, so the few
// conversions needed are done here.
namespace Windows1252 {

// Every byte has a character: the five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the C1 controls of the same value, as Windows converts them, so any file
// reads back to the same bytes.
QString decode(const QByteArray& bytes);

// A character the code page cannot hold is written as "?" (one per character), as Windows does
// for characters without a best-fit form.
QByteArray encode(const QString& text);

// True when every character of `text` has a byte of its own in the code page.
bool canEncode(const QString& text);

} // namespace Windows1252
