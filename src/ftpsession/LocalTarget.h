#pragma once

#include <QString>

// Turns a remote entry name into a path inside a local folder. Names that would leave the folder
// (holding "/" or "\", or equal to "." or "..") are refused, and so are those Windows cannot hold
// as they are (WindowsNames), on every system.
class LocalTarget {
public:
    // The listing's own first line, which names the parent folder.
    static bool isParentLine(const QString& name) { return name == QLatin1String("../"); }

    // True and `path` set when `name` is a plain file name; otherwise false and `why` says why.
    static bool resolve(const QString& folder, const QString& name, QString& path, QString& why);

    // Like resolve, for a line of a remote listing: the listing's own parent line passes (the
    // server refuses its fetch, and that reply is what the operator sees; no local file is made).
    static bool resolveListed(const QString& folder, const QString& name, QString& path, QString& why);

    // The program's own hidden folders in the application folder (the release being fetched, the
    // previous release, the record of the installed one), compared as Windows compares names.
    static bool isProgramFolder(const QString& name);

    // A name as it can stand in a message or a log line: control characters shown as "?", a long
    // one shortened with "…".
    static QString shown(const QString& name);

    // folder + separator + name, without doubling a separator that already ends the folder.
    static QString join(const QString& folder, const QString& name);
};
