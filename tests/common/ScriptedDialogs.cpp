#include "ScriptedDialogs.h"

int ScriptedDialogs::message(const MessageRequest& request)
{
    m_shown.append({request, false});
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    if (request.buttons == DialogButtons::YesNo)
        return request.defaultAnswer == AnswerYes ? AnswerYes : AnswerNo;
    return AnswerOk;
}

QString ScriptedDialogs::input(const QString& prompt, const QString& title, const QString& defaultText)
{
    MessageRequest r;
    r.text = prompt;
    r.title = title;
    m_shown.append({r, true});
    Q_UNUSED(defaultText);
    return m_inputs.isEmpty() ? QString() : m_inputs.dequeue();
}

QStringList ScriptedDialogs::texts() const
{
    QStringList out;
    for (const Shown& s : m_shown)
        out << s.request.text;
    return out;
}
