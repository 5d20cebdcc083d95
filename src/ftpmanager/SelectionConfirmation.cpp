#include "SelectionConfirmation.h"

#include "platform/Dialogs.h"

#include <algorithm>

QString SelectionConfirmation::nameList(const QStringList& lines, const QList<int>& selectedRows)
{
    QList<int> rows = selectedRows;
    std::sort(rows.begin(), rows.end());
    QString out;
    for (int row : std::as_const(rows))
        if (row >= 0 && row < lines.size())
            out += QLatin1Char('\n') + lines.at(row);
    return out;
}

QString SelectionConfirmation::question(int lineCount, const QString& singular, const QString& plural)
{
    return lineCount <= 2 ? singular : plural;
}

int SelectionConfirmation::ask(Dialogs& dialogs, const QStringList& lines, const QList<int>& selectedRows,
                               const QString& singular, const QString& plural, QString& names)
{
    names = nameList(lines, selectedRows);
    MessageRequest r;
    r.text = question(static_cast<int>(lines.size()), singular, plural) + names;
    r.title = QStringLiteral("VORN_UPDATE_VERSION");
    r.buttons = DialogButtons::YesNo;
    r.defaultAnswer = AnswerYes;
    return dialogs.message(r);
}
