#pragma once

#include "platform/Dialogs.h"

class QWidget;

// Message and input boxes on screen.
class QtDialogs final : public Dialogs {
public:
    // A message of more lines than this shows its first line as the text and the others in a
    // scrolling area, so a confirmation that lists thousands of names keeps its buttons on screen.
    static constexpr int ScrolledAfterLines = 25;

    int message(const MessageRequest& request) override;
    QString input(const QString& prompt, const QString& title, const QString& defaultText) override;

    // Loads Qt's own French texts (buttons "Oui", "Non", "Annuler"...) into the application, as the
    // program is French whatever the system's language. False with the reason when they are missing.
    static bool installFrenchTranslations(QString* error);
};
