#include "ProfileLine.h"

#include "ProfileFile.h"

namespace ProfileLine {

QString trimSpaces(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

QString make(const QString& server, const QString& login, const QString& password, const QString& name)
{
    return QChar(ServerOpen) + trimSpaces(server) + QChar(LoginOpen) + trimSpaces(login) + QChar(PasswordOpen) +
           password + QChar(NameOpen) + trimSpaces(name) + QChar(NameClose);
}

Fields fields(const QString& line)
{
    Fields f;
    f.server = ProfileFile::Rubriques(line, QChar(ServerOpen), QChar(LoginOpen));
    f.login = ProfileFile::Rubriques(line, QChar(LoginOpen), QChar(PasswordOpen));
    f.password = ProfileFile::Rubriques(line, QChar(PasswordOpen), QChar(NameOpen));
    f.name = name(line);
    return f;
}

QString name(const QString& line)
{
    return ProfileFile::Rubriques(line, QChar(NameOpen), QChar(NameClose));
}

QChar forbiddenCharacter(const QString& value)
{
    for (const QChar c : value) {
        if (c == LoginOpen || c == PasswordOpen || c == NameOpen || c == NameClose || c == u'\r' || c == u'\n')
            return c;
    }
    return {};
}

} // namespace ProfileLine
