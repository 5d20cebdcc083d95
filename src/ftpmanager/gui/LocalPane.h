#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class DirListBox;
class DriveListBox;
class FileListBox;
class QToolButton;

// The file manager's local pane (Frame1): the drive (Drive1), folder (Dir1) and file (File1)
// lists, and upload (Command5). File1's folder is where downloads and the update write.
class LocalPane final : public QGroupBox {
    Q_OBJECT
public:
    explicit LocalPane(QWidget* parent);

    QString folder() const;
    // Dir1, and with it File1, on `folder`; false when it cannot be listed.
    bool openFolder(const QString& folder);
    // File1 alone on `folder`, whether Dir1 can follow or not.
    void showFiles(const QString& folder);
    void refresh();

    // The start of the window: the application folder, else the shown drive's root.
    void start(const QString& appDir);
    // Drive1's choice followed; the French message when the drive cannot be read (the list then
    // goes back to the listed folder's drive).
    QString followChosenDrive();

    QStringList files() const;
    QList<int> selectedRows() const;
    QString currentFile() const;

    void setConnected(bool connected); // upload needs a connection
    QList<QWidget*> tabChain() const;

signals:
    void uploadClicked();
    void driveChosen();

private:
    DriveListBox* m_drives = nullptr;
    DirListBox* m_folders = nullptr;
    FileListBox* m_files = nullptr;
    QToolButton* m_upload = nullptr;
};
