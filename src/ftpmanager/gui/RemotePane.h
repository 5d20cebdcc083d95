#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QListWidget;
class QToolButton;
class QPushButton;
class QWidget;

// The file manager's remote pane (Frame2): the remote list (List1) and its commands, download
// (Command4), delete (Command2), create folder (Command6) and the web space (Command7).
class RemotePane final : public QGroupBox {
    Q_OBJECT
public:
    explicit RemotePane(QWidget* parent);

    QStringList lines() const;
    QList<int> selectedRows() const;
    QString currentLine() const;             // empty without a current line
    void showList(const QStringList& lines); // in place of what the list held
    void appendToList(const QStringList& lines);
    void clear();

    // The commands that need a connection.
    void setConnected(bool connected);

    QList<QWidget*> tabChain() const;

signals:
    void openRequested(); // a double-click, or Enter, on the current line
    void downloadClicked();
    void deleteClicked();
    void createFolderClicked();
    void webspaceClicked();

private:
    QListWidget* m_list = nullptr;
    QToolButton* m_download = nullptr;
    QToolButton* m_delete = nullptr;
    QToolButton* m_createFolder = nullptr;
    QPushButton* m_webspace = nullptr;
};
