#pragma once

#include <QByteArray>
#include <QString>

// The text of a request or validation file, as raw Windows-1252 bytes, and the repairs that turn
// what the web form sent into the text that is split into fields.
class RequestText final {
public:
    // Reads a whole file. On failure returns false with a French reason naming the file.
    static bool readFile(const QString& path, QByteArray& content, QString& error);

    // Lines end with CR or CR LF and are joined with nothing; a lone LF stays as a character.
    static QByteArray joinLines(const QByteArray& raw);

    // The first line (up to the first CR). False when the content holds no line at all (empty).
    static bool firstLine(const QByteArray& raw, QByteArray& line);

    // The repair table, every step in order on the whole text. The order matters: the steps that
    // search a ";" run before ";" is removed, and "µ" becomes the separator only afterwards.
    static QByteArray repair(QByteArray text);

    // joinLines, repair, upper case, then decoded: what X_X splits.
    static QString prepare(const QByteArray& raw);
};
