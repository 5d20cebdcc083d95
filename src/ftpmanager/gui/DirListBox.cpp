#include "DirListBox.h"

#include "ftpsession/LocalTarget.h"
#include "platform/widgets/ElidedNameDelegate.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStyle>

namespace {
constexpr int PathRole = Qt::UserRole + 1;
}

DirListBox::DirListBox(QWidget* parent)
    : QListWidget(parent)
{
    connect(this, &QListWidget::itemActivated, this, &DirListBox::openItem);
    new ElidedNameDelegate(this, Qt::ElideRight);
}

bool DirListBox::setPath(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir() || !info.isReadable() || !QDir(path).isReadable())
        return false;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    const bool changed = clean != m_path;
    m_path = clean;
    refresh();
    if (changed)
        emit pathChanged(m_path);
    return true;
}

void DirListBox::refresh()
{
    clear();
    if (m_path.isEmpty())
        return;
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QStringList chain;
    QDir d(m_path);
    chain.prepend(d.absolutePath());
    while (d.cdUp())
        chain.prepend(d.absolutePath());
    int depth = 0;
    for (const QString& p : std::as_const(chain)) {
        // A root has no name of its own: it is shown as the system writes it ("/", "C:\\").
        const QString label = QDir(p).isRoot() ? QDir::toNativeSeparators(p) : QFileInfo(p).fileName();
        auto* item = new QListWidgetItem(openIcon, QString(depth * 2, QLatin1Char(' ')) + label, this);
        item->setData(PathRole, p);
        ++depth;
    }
    const QStringList subs =
        QDir(m_path).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QString& s : subs) {
        if (LocalTarget::isProgramFolder(s))
            continue; // the updater's own, not the operator's
        auto* item = new QListWidgetItem(closedIcon, QString(depth * 2, QLatin1Char(' ')) + s, this);
        item->setData(PathRole, QDir(m_path).filePath(s));
    }
    setCurrentRow(static_cast<int>(chain.size()) - 1);
}

void DirListBox::openItem(QListWidgetItem* item)
{
    if (item)
        setPath(item->data(PathRole).toString());
}
