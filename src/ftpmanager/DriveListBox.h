#pragma once

#include <QComboBox>

// The local volumes: the root, the home folder's volume and mounted media, each shown as its path
// followed by its volume name where it has one.
class DriveListBox final : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    void reload();
    // The current entry's text, and the folder it stands for.
    QString drive() const { return currentText(); }
    QString driveRoot() const;
    // Makes current the entry of the volume that holds `path`.
    void selectDriveOf(const QString& path);
};
