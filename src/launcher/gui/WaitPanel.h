#pragma once

#include <QFrame>

#include <optional>

class QLabel;
class QProgressBar;

// The wait frame (FRTRAIT): the title, the large picture, the information line (LDI), the line
// under it (LINFOWAIT1) and the progress bar (RB1). What an update or an intake run shows while
// it works, and the file manager's connection state.
class WaitPanel final : public QFrame {
    Q_OBJECT
public:
    explicit WaitPanel(QWidget* parent);

    void setInfo(const QString& text); // LDI
    QString info() const;
    void setWaitLine(const QString& text); // LINFOWAIT1
    void setProgressMaximum(int maximum);
    void setProgressValue(int value);
    void setProgressVisible(bool visible);

    // A busy server's retry, said on the information line; an empty text ends it and shows again
    // what the line said before.
    void showRetryWait(const QString& text);

    // The file manager's panel: a smaller picture and the frame's design height at most.
    void makeCompact();
    // The file manager mostly waits for the operator: its panel says the connection's state.
    enum class Connection { Disconnected, Connecting, Connected };
    void showConnection(Connection state, const QString& server);

private:
    QLabel* m_picture = nullptr; // Image2
    QLabel* m_info = nullptr;    // LDI
    QLabel* m_waitLine = nullptr;
    QProgressBar* m_progress = nullptr;
    std::optional<QString> m_infoBeforeRetry;
    Connection m_connection = Connection::Disconnected;
};
