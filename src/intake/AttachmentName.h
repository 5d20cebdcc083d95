#pragma once

#include <QDateTime>
#include <QString>

// The local name an attachment is saved under: the stem in capitals with "IMGDI" shortened to
// "DI", "_", the time of the fetch, then the extension exactly as the server gave it.
class AttachmentName final {
public:
    // False (and `name` untouched) when the remote name holds no "." and so has no extension.
    static bool localName(const QString& remoteName, const QDateTime& now, QString& name);

    // The `n`th of the local names that would otherwise be one: "-n" before the extension
    // ("DIAB_20201116104512.Jpg" -> "DIAB_20201116104512-2.Jpg").
    static QString numbered(const QString& name, int n);
};
