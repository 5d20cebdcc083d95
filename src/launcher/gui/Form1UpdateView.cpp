#include "Form1UpdateView.h"

#include "ConnectionPane.h"
#include "WaitPanel.h"
#include "ftpmanager/gui/LocalPane.h"
#include "ftpmanager/gui/RemotePane.h"

#include <QCoreApplication>

void Form1UpdateView::showRemoteList(const QStringList& lines, bool append)
{
    if (append)
        m_panes.remote->appendToList(lines);
    else
        m_panes.remote->showList(lines);
}

void Form1UpdateView::showConnected()
{
    m_onConnected();
}

void Form1UpdateView::setProgressMaximum(int maximum)
{
    m_panes.wait->setProgressMaximum(maximum);
}

void Form1UpdateView::setProgressValue(int value)
{
    m_panes.wait->setProgressValue(value);
}

void Form1UpdateView::setProgressVisible(bool visible)
{
    m_panes.wait->setProgressVisible(visible);
}

void Form1UpdateView::setInfo(const QString& text)
{
    m_panes.wait->setInfo(text);
}

void Form1UpdateView::setAnimationInterval(int milliseconds)
{
    m_panes.connection->setAnimationInterval(milliseconds);
}

void Form1UpdateView::refreshLocalFiles()
{
    m_panes.local->refresh();
}

void Form1UpdateView::setBusy(bool busy)
{
    if (busy)
        m_panes.window->setCursor(Qt::WaitCursor);
    else
        m_panes.window->unsetCursor();
}

void Form1UpdateView::processEvents()
{
    // A download asks for this twice per file; painting the window a thousand times a second
    // would cost more than the small files themselves. Twenty-five times a second keeps it live
    // (a transfer that stalls is painted by the client's own waits).
    if (m_lastEvents.isValid() && m_lastEvents.elapsed() < 40)
        return;
    QCoreApplication::processEvents();
    m_lastEvents.start();
}
