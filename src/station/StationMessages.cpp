#include "StationMessages.h"

#include "platform/Dialogs.h"

void StationMessages::inform(Dialogs& dialogs, const QString& text)
{
    dialogs.inform(text, applicationTitle());
}

bool StationMessages::ask(Dialogs& dialogs, const QString& text, const QString& title)
{
    MessageRequest request;
    request.text = text;
    request.title = title;
    request.buttons = DialogButtons::YesNo;
    request.icon = DialogIcon::Critical;
    request.defaultAnswer = AnswerNo;
    request.helpFile = QStringLiteral("DEMO.HLP");
    request.helpContext = 1000;
    return dialogs.message(request) == AnswerYes;
}
