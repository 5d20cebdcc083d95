#pragma once

#include <QByteArray>
#include <QString>

// Request and validation files are Windows-1252, one character per byte. The conversions are done
// here rather than through a codec so they are the same on every system, whatever its locale or ICU.
class Cp1252 final {
public:
    static QString toUnicode(const QByteArray& bytes);
    static QByteArray fromUnicode(const QString& text); // characters outside the set become "?"

    // Each letter becomes its capital, byte for byte: the length never changes, and a letter whose
    // capital the set lacks ("ß", "µ", "ƒ") stays as it is.
    static QByteArray toUpper(const QByteArray& bytes);
    // The same on text; characters outside the set are left as they are.
    static QString toUpper(const QString& text);
};
