#pragma once

#include <QPlainTextEdit>

// The response log (Text1): every line the FTP session logs, the last one in view.
class ResponseLog final : public QPlainTextEdit {
    Q_OBJECT
public:
    ResponseLog(int maxLines, QWidget* parent);

    void appendLine(const QString& text); // after a line feed, as the session's log has it
};
