#include "RemotePane.h"

#include "platform/widgets/ElidedNameDelegate.h"
#include "platform/widgets/KeyboardActivation.h"
#include "platform/widgets/WindowControls.h"

#include <QGridLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

using WindowControls::named;

namespace {

QToolButton* iconButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon, const QString& tip)
{
    auto* b = named(new QToolButton(parent), name);
    b->setIcon(WindowControls::withDisabledLook(parent->style()->standardIcon(icon), QSize(24, 24)));
    b->setIconSize(QSize(24, 24));
    b->setToolTip(tip);
    b->setAutoRaise(false);
    b->setMinimumSize(34, 34);
    return b;
}

} // namespace

RemotePane::RemotePane(QWidget* parent)
    : QGroupBox(QStringLiteral("Distant"), parent)
{
    setObjectName(QStringLiteral("Frame2"));
    m_list = named(new QListWidget(this), "List1");
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setToolTip(QStringLiteral("Vous pouvez selectionner plusieurs fichiers avec CTRL"));
    new ElidedNameDelegate(m_list, Qt::ElideMiddle);
    KeyboardActivation::openOnEnter(m_list);
    m_download = iconButton(this, "Command4", QStyle::SP_ArrowDown, QStringLiteral("DownLoad"));
    m_delete = iconButton(this, "Command2", QStyle::SP_TrashIcon,
                          QStringLiteral("Suppression d'un fichier ou d'un repertoire"));
    m_createFolder =
        iconButton(this, "Command6", QStyle::SP_FileDialogNewFolder, QStringLiteral("Création d'un Répertoire"));
    m_webspace = named(new QPushButton(QStringLiteral("Command7"), this), "Command7");

    auto* l = new QGridLayout(this);
    l->addWidget(m_list, 0, 0, 1, 5);
    l->addWidget(m_download, 1, 0);
    l->addWidget(m_delete, 1, 1);
    l->addWidget(m_createFolder, 1, 2);
    l->addWidget(m_webspace, 1, 4);
    l->setColumnStretch(3, 1);

    connect(m_list, &QListWidget::itemDoubleClicked, this, &RemotePane::openRequested);
    connect(m_download, &QToolButton::clicked, this, &RemotePane::downloadClicked);
    connect(m_delete, &QToolButton::clicked, this, &RemotePane::deleteClicked);
    connect(m_createFolder, &QToolButton::clicked, this, &RemotePane::createFolderClicked);
    connect(m_webspace, &QPushButton::clicked, this, &RemotePane::webspaceClicked);
}

QStringList RemotePane::lines() const
{
    QStringList out;
    for (int i = 0; i < m_list->count(); ++i)
        out << m_list->item(i)->text();
    return out;
}

QList<int> RemotePane::selectedRows() const
{
    QList<int> rows;
    for (const QListWidgetItem* item : m_list->selectedItems())
        rows << m_list->row(item);
    return rows;
}

QString RemotePane::currentLine() const
{
    const QListWidgetItem* item = m_list->currentItem();
    return item ? item->text() : QString();
}

void RemotePane::showList(const QStringList& lines)
{
    m_list->clear();
    m_list->addItems(lines);
}

void RemotePane::appendToList(const QStringList& lines)
{
    m_list->addItems(lines);
}

void RemotePane::clear()
{
    m_list->clear();
}

void RemotePane::setConnected(bool connected)
{
    m_download->setEnabled(connected);
    m_delete->setEnabled(connected);
    m_createFolder->setEnabled(connected);
}

QList<QWidget*> RemotePane::tabChain() const
{
    return {m_list, m_download, m_delete, m_createFolder, m_webspace};
}
