#include "FileListBox.h"
#include "platform/widgets/ElidedNameDelegate.h"

#include <QDir>

FileListBox::FileListBox(QWidget* parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    new ElidedNameDelegate(this, Qt::ElideMiddle);
}

void FileListBox::setPath(const QString& path)
{
    m_path = path;
    refresh();
}

void FileListBox::setPattern(const QString& pattern)
{
    m_pattern = pattern;
    refresh();
}

void FileListBox::refresh()
{
    clear();
    if (m_path.isEmpty())
        return;
    QStringList filters;
    for (const QString& p : m_pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        filters << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    const QDir dir(m_path);
    addItems(dir.entryList(filters, QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase));
}

QString FileListBox::fileName() const
{
    const QListWidgetItem* item = currentItem();
    return item ? item->text() : QString();
}

QStringList FileListBox::names() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << item(i)->text();
    return out;
}
