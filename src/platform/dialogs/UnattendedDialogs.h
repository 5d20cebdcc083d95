#pragma once

#include "platform/Dialogs.h"

// For runs that nobody watches: each message becomes one line on standard output (a line feed
// inside it written as \n) and is answered with its default button.
class UnattendedDialogs final : public Dialogs {
public:
    int message(const MessageRequest& request) override;
    QString input(const QString& prompt, const QString& title, const QString& defaultText) override;

    static QString oneLine(const QString& text);
};
