#pragma once

#include <QListWidget>

// The folder list: the chain of folders from the volume's root down to the current folder, then
// the current folder's sub-folders. Activating a line opens that folder.
class DirListBox final : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    // Returns false, and keeps the current folder, when `path` cannot be listed.
    bool setPath(const QString& path);
    void refresh();

signals:
    void pathChanged(const QString& path);

private:
    void openItem(QListWidgetItem* item);
    QString m_path;
};
