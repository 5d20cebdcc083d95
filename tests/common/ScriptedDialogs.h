#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

// Records every message and input box and answers them from a script. A message with no
// scripted answer gets its default button; an input box with none is cancelled.
class ScriptedDialogs final : public Dialogs {
public:
    struct Shown {
        MessageRequest request;
        bool isInput = false;
    };

    int message(const MessageRequest& request) override;
    QString input(const QString& prompt, const QString& title, const QString& defaultText) override;

    void answerNext(int answer) { m_answers.enqueue(answer); }
    void typeNext(const QString& text) { m_inputs.enqueue(text); }

    const QList<Shown>& shown() const { return m_shown; }
    QStringList texts() const;
    void clear() { m_shown.clear(); }

private:
    QQueue<int> m_answers;
    QQueue<QString> m_inputs;
    QList<Shown> m_shown;
};
