#include "Form1IntakeView.h"

#include "Form1.h"
#include "ftpmanager/DirListBox.h"
#include "ftpmanager/FileListBox.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

void Form1IntakeView::setProgressMaximum(int maximum)
{
    m_form.RB1->setMaximum(maximum);
}

void Form1IntakeView::setProgressValue(int value)
{
    m_form.RB1->setValue(value);
}

void Form1IntakeView::setInfo(const QString& text)
{
    m_form.LINFOWAIT1->setText(text);
}

void Form1IntakeView::setCurrentItem(const QString& text)
{
    m_form.LDI->setText(text);
}

void Form1IntakeView::setAnimationInterval(int milliseconds)
{
    m_form.Timer1->setInterval(milliseconds);
}

void Form1IntakeView::setBusy(bool busy)
{
    if (busy)
        m_form.setCursor(Qt::WaitCursor);
    else
        m_form.unsetCursor();
}

void Form1IntakeView::setLocalFolder(const QString& folder)
{
    if (!m_form.Dir1->setPath(folder))
        m_form.File1->setPath(folder);
}

void Form1IntakeView::refreshLocalFiles()
{
    m_form.File1->refresh();
}

void Form1IntakeView::processEvents()
{
    QCoreApplication::processEvents();
}
