#pragma once

#include "platform/Drives.h"
#include "platform/PlatformFactory.h"

#include <QComboBox>

#include <memory>

// The local drives as the system lists them (drive letters on Windows; the root, the home folder and
// mounted media elsewhere), each with its volume name where it has one.
class DriveListBox final : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr, std::unique_ptr<Drives> drives = createDrives());
    ~DriveListBox() override;

    void reload();
    // The current entry's text, and the folder it stands for.
    QString drive() const { return currentText(); }
    QString driveRoot() const;
    // Makes current the entry of the drive that holds `path`.
    void selectDriveOf(const QString& path);

private:
    std::unique_ptr<Drives> m_drives;
};
