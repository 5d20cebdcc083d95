#include "ResponseLog.h"

#include <QTextCursor>

ResponseLog::ResponseLog(int maxLines, QWidget* parent)
    : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("Text1"));
    setReadOnly(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont terminal(QStringLiteral("Terminal"));
    terminal.setStyleHint(QFont::TypeWriter);
    terminal.setFamilies({QStringLiteral("Terminal"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    setFont(terminal);
    setMaximumBlockCount(maxLines);
}

void ResponseLog::appendLine(const QString& text)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QLatin1Char('\n') + text);
    // Caret at the end: the log scrolls to its last line.
    moveCursor(QTextCursor::End);
}
