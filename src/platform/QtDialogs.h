#pragma once

#include "Dialogs.h"

class QWidget;

// Message and input boxes on screen.
class QtDialogs final : public Dialogs {
public:
    int message(const MessageRequest& request) override;
    QString input(const QString& prompt, const QString& title, const QString& defaultText) override;
};
