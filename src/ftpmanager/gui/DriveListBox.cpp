#include "DriveListBox.h"

DriveListBox::DriveListBox(QWidget* parent, std::unique_ptr<Drives> drives)
    : QComboBox(parent)
    , m_drives(std::move(drives))
{
    reload();
}

DriveListBox::~DriveListBox() = default;

void DriveListBox::reload()
{
    const QSignalBlocker block(this);
    clear();
    for (const Drive& d : m_drives->list())
        addItem(d.text, d.root);
}

QString DriveListBox::driveRoot() const
{
    return currentData().toString();
}

void DriveListBox::selectDriveOf(const QString& path)
{
    // The innermost listed drive that holds the path ("/media/cle" rather than "/").
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        if (m_drives->holds(root, path) && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best >= 0) {
        const QSignalBlocker block(this);
        setCurrentIndex(best);
    }
}
