#include "IntakeLists.h"

#include "ftpmanager/gui/FileListBox.h"
#include "platform/widgets/WindowControls.h"

#include <QHBoxLayout>
#include <QListWidget>

using WindowControls::named;

IntakeLists::IntakeLists(QWidget* parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("Frame8"));
    auto* validations = named(new FileListBox(this), "FileOKDI");
    validations->setPattern(QStringLiteral("OKDI*.*"));
    m_requests = named(new QListWidget(this), "ListDI");
    auto* requestFiles = named(new FileListBox(this), "FileDI");
    requestFiles->setPattern(QStringLiteral("DI*.*"));
    auto* l = new QHBoxLayout(this);
    for (QWidget* w :
         {static_cast<QWidget*>(validations), static_cast<QWidget*>(m_requests), static_cast<QWidget*>(requestFiles)}) {
        l->addWidget(w);
        w->setFocusPolicy(Qt::NoFocus);
    }
}

void IntakeLists::showRequests(const QStringList& numbers)
{
    m_requests->clear();
    m_requests->addItems(numbers);
}
