#pragma once

#include <QString>

// One profile of the profile file: "$" server "¤" login "£" password "|" name "µ", nothing escaped.
namespace ProfileLine {

inline constexpr char16_t ServerOpen = u'$';
inline constexpr char16_t LoginOpen = u'\u00A4';    // ¤, byte 0xA4
inline constexpr char16_t PasswordOpen = u'\u00A3'; // £, byte 0xA3
inline constexpr char16_t NameOpen = u'|';
inline constexpr char16_t NameClose = u'\u00B5'; // µ, byte 0xB5

struct Fields {
    QString server;
    QString login;
    QString password;
    QString name;
};

// Leading and trailing spaces removed, and only spaces: tabs and other blanks stay, as the
// earlier versions' Trim left them.
QString trimSpaces(const QString& text);

// The line for these values: server, login and name trimmed of spaces, the password as typed.
QString make(const QString& server, const QString& login, const QString& password, const QString& name);

// The first character of `value` that a profile line cannot hold (a closing separator or a line
// break), or a null QChar. "$" only opens a line, so it may stand inside a field.
QChar forbiddenCharacter(const QString& value);

// The four fields, each taken between its separators (ProfileFile::Rubriques). A value that holds a
// separator spoils its own field or a later one; nothing tells.
Fields fields(const QString& line);
QString name(const QString& line);

} // namespace ProfileLine
