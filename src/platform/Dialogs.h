#pragma once

#include <QString>

// Answer codes, as message boxes have always numbered them.
enum DialogAnswer : int {
    AnswerOk = 1,
    AnswerCancel = 2,
    AnswerYes = 6,
    AnswerNo = 7,
};

enum class DialogButtons { Ok, YesNo };

enum class DialogIcon { None, Critical, Question, Exclamation, Information };

struct MessageRequest {
    QString text;
    QString title;
    DialogButtons buttons = DialogButtons::Ok;
    DialogIcon icon = DialogIcon::None;
    int defaultAnswer = AnswerOk; // the button chosen by Enter, and by an unattended run
    QString helpFile;             // reached with F1 where the platform offers help
    int helpContext = 0;
};

// Every message box, yes/no question and input box of the program goes through here, so a
// scheduled run can answer them unattended and tests can script and read them.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Shows a message and returns the answer (AnswerOk, AnswerYes, AnswerNo...).
    virtual int message(const MessageRequest& request) = 0;

    // Asks for a line of text; returns the empty text when the box was cancelled.
    virtual QString input(const QString& prompt, const QString& title, const QString& defaultText) = 0;

    // Convenience for the common "text, OK button" box.
    int inform(const QString& text, const QString& title, DialogIcon icon = DialogIcon::None)
    {
        MessageRequest r;
        r.text = text;
        r.title = title;
        r.icon = icon;
        return message(r);
    }
};
