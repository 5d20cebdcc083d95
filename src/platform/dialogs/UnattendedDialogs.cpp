#include "UnattendedDialogs.h"

#include "platform/ConsoleText.h"

QString UnattendedDialogs::oneLine(const QString& text)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    line.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    line.replace(QLatin1Char('\r'), QLatin1String("\\n"));
    return line;
}

int UnattendedDialogs::message(const MessageRequest& request)
{
    writeText(stdout, oneLine(request.text) + QLatin1Char('\n'));
    if (request.buttons == DialogButtons::YesNo)
        return request.defaultAnswer == AnswerYes ? AnswerYes : AnswerNo;
    return AnswerOk;
}

QString UnattendedDialogs::input(const QString& prompt, const QString& /*title*/, const QString& defaultText)
{
    writeText(stdout, oneLine(prompt) + QLatin1Char('\n'));
    return defaultText;
}
