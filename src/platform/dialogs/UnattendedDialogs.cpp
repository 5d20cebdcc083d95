#include "UnattendedDialogs.h"

#include <cstdio>

UnattendedDialogs::UnattendedDialogs()
    : m_out(stdout)
{
    m_out.setEncoding(QStringConverter::Utf8);
}

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
    m_out << oneLine(request.text) << Qt::endl;
    if (request.buttons == DialogButtons::YesNo)
        return request.defaultAnswer == AnswerYes ? AnswerYes : AnswerNo;
    return AnswerOk;
}

QString UnattendedDialogs::input(const QString& prompt, const QString& /*title*/, const QString& defaultText)
{
    m_out << oneLine(prompt) << Qt::endl;
    return defaultText;
}
