#pragma once

#include <QString>

class Dialogs;

// The station's two kinds of boxes: plain messages under the application's title, and the
// yes/no questions with the critical icon, No by default and the help topic.
class StationMessages final {
public:
    static void inform(Dialogs& dialogs, const QString& text);
    // True only for the answer Yes.
    static bool ask(Dialogs& dialogs, const QString& text, const QString& title);

    static QString applicationTitle() { return QStringLiteral("VORN_UPDATE_VERSION"); }
};
