#include "LocalPane.h"

#include "DirListBox.h"
#include "DriveListBox.h"
#include "FileListBox.h"
#include "platform/widgets/WindowControls.h"

#include <QGridLayout>
#include <QStyle>
#include <QToolButton>

using WindowControls::named;

LocalPane::LocalPane(QWidget* parent)
    : QGroupBox(QStringLiteral("Local"), parent)
{
    setObjectName(QStringLiteral("Frame1"));
    m_upload = named(new QToolButton(this), "Command5");
    m_upload->setIcon(WindowControls::withDisabledLook(style()->standardIcon(QStyle::SP_ArrowUp), QSize(24, 24)));
    m_upload->setIconSize(QSize(24, 24));
    m_upload->setToolTip(QStringLiteral("UpLoad"));
    m_upload->setAutoRaise(false);
    m_upload->setMinimumSize(34, 34);
    m_drives = named(new DriveListBox(this), "Drive1");
    m_folders = named(new DirListBox(this), "Dir1");
    m_files = named(new FileListBox(this), "File1");
    m_files->setToolTip(QStringLiteral("Vous pouvez selectionner plusieurs fichiers avec CTRL"));

    auto* l = new QGridLayout(this);
    l->addWidget(m_drives, 0, 0, 1, 2);
    l->addWidget(m_folders, 1, 0);
    l->addWidget(m_files, 1, 1);
    l->addWidget(m_upload, 2, 0, Qt::AlignLeft);

    connect(m_folders, &DirListBox::pathChanged, m_files, &FileListBox::setPath);
    connect(m_drives, &QComboBox::activated, this, &LocalPane::driveChosen);
    connect(m_upload, &QToolButton::clicked, this, &LocalPane::uploadClicked);
}

QString LocalPane::folder() const
{
    return m_files->path();
}

bool LocalPane::openFolder(const QString& folder)
{
    return m_folders->setPath(folder);
}

void LocalPane::showFiles(const QString& folder)
{
    m_files->setPath(folder);
}

void LocalPane::refresh()
{
    m_files->refresh();
}

void LocalPane::start(const QString& appDir)
{
    if (!m_folders->setPath(appDir)) {
        // The application folder is unreachable: fall back to the shown drive.
        m_folders->setPath(m_drives->driveRoot());
    }
    m_files->setPath(m_folders->path());
    m_drives->selectDriveOf(m_folders->path());
}

QString LocalPane::followChosenDrive()
{
    if (m_folders->setPath(m_drives->driveRoot()))
        return {};
    const QString message = QStringLiteral("Lecteur ") + m_drives->drive().toUpper() + QStringLiteral(" inaccessible");
    m_drives->selectDriveOf(m_folders->path());
    return message;
}

QStringList LocalPane::files() const
{
    QStringList out;
    for (int i = 0; i < m_files->count(); ++i)
        out << m_files->item(i)->text();
    return out;
}

QList<int> LocalPane::selectedRows() const
{
    QList<int> rows;
    for (const QListWidgetItem* item : m_files->selectedItems())
        rows << m_files->row(item);
    return rows;
}

QString LocalPane::currentFile() const
{
    return m_files->fileName();
}

void LocalPane::setConnected(bool connected)
{
    m_upload->setEnabled(connected);
}

QList<QWidget*> LocalPane::tabChain() const
{
    return {m_drives, m_folders, m_files, m_upload};
}
