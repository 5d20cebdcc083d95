#include "DriveListBox.h"

#include <QDir>
#include <QStorageInfo>

DriveListBox::DriveListBox(QWidget* parent)
    : QComboBox(parent)
{
    reload();
}

void DriveListBox::reload()
{
    const QSignalBlocker block(this);
    clear();
    QStringList roots{QStringLiteral("/")};
    const QString home = QDir::homePath();
    if (!roots.contains(home))
        roots << home;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QString root = v.rootPath();
        if (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/")) ||
            root.startsWith(QLatin1String("/run/media/")))
            if (!roots.contains(root))
                roots << root;
    }
    for (const QString& root : std::as_const(roots)) {
        const QStorageInfo v(root);
        QString text = root;
        if (v.isValid() && !v.name().isEmpty() && v.rootPath() == root)
            text += QStringLiteral(" [%1]").arg(v.name());
        addItem(text, root);
    }
}

QString DriveListBox::driveRoot() const
{
    return currentData().toString();
}

void DriveListBox::selectDriveOf(const QString& path)
{
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        const bool under = path == root || root == QLatin1String("/") ||
                           path.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
        if (under && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best >= 0) {
        const QSignalBlocker block(this);
        setCurrentIndex(best);
    }
}
