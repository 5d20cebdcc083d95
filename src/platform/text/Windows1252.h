#pragma once

#include <QByteArray>
#include <QString>

// The ANSI code page of the workstations the program was made for: profile, request and validation
// files are Windows-1252, one byte per character. Qt 6 no longer ships that codec in QtCore, and
// doing it here keeps the conversions the same whatever the system's locale.
class Windows1252 final {
public:
    // Every byte has a character: the five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F,
    // 0x90, 0x9D) become the C1 controls of the same value, as Windows converts them, so any file
    // reads back to the same bytes.
    static QString decode(const QByteArray& bytes);

    // A character the code page cannot hold is written as "?" (one per character, a pair of
    // surrogates included), as Windows does for characters without a best-fit form.
    static QByteArray encode(const QString& text);

    // True when every character of `text` has a byte of its own in the code page.
    static bool canEncode(const QString& text);

    // Each letter becomes its capital, byte for byte: the length never changes, and a letter whose
    // capital the code page lacks ("ß", "µ", "ƒ") stays as it is.
    static QByteArray toUpper(const QByteArray& bytes);
    // The same on text; characters outside the code page are left as they are.
    static QString toUpper(const QString& text);
};
