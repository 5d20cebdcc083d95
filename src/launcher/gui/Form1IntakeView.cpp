#include "Form1IntakeView.h"

#include "ConnectionPane.h"
#include "IntakeLists.h"
#include "WaitPanel.h"
#include "ftpmanager/gui/LocalPane.h"
#include "ftpmanager/gui/RemotePane.h"

#include <QCoreApplication>

void Form1IntakeView::showRemoteList(const QStringList& lines)
{
    m_panes.remote->showList(lines);
}

void Form1IntakeView::showRequests(const QStringList& numbers)
{
    m_panes.intake->showRequests(numbers);
}

void Form1IntakeView::showConnected()
{
    m_onConnected();
}

void Form1IntakeView::setProgressMaximum(int maximum)
{
    m_panes.wait->setProgressMaximum(maximum);
}

void Form1IntakeView::setProgressValue(int value)
{
    m_panes.wait->setProgressValue(value);
}

void Form1IntakeView::setInfo(const QString& text)
{
    m_panes.wait->setWaitLine(text);
}

void Form1IntakeView::setCurrentItem(const QString& text)
{
    m_panes.wait->setInfo(text);
}

void Form1IntakeView::setAnimationInterval(int milliseconds)
{
    m_panes.connection->setAnimationInterval(milliseconds);
}

void Form1IntakeView::setBusy(bool busy)
{
    if (busy)
        m_panes.window->setCursor(Qt::WaitCursor);
    else
        m_panes.window->unsetCursor();
}

void Form1IntakeView::setLocalFolder(const QString& folder)
{
    if (!m_panes.local->openFolder(folder))
        m_panes.local->showFiles(folder);
}

void Form1IntakeView::refreshLocalFiles()
{
    m_panes.local->refresh();
}

void Form1IntakeView::processEvents()
{
    QCoreApplication::processEvents();
}
