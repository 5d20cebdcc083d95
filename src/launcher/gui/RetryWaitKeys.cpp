#include "RetryWaitKeys.h"

#include "WaitPanel.h"
#include "ftpsession/FtpConnection.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

RetryWaitKeys::RetryWaitKeys(std::function<void()> onEscape, QObject* parent)
    : QObject(parent)
    , m_onEscape(std::move(onEscape))
{}

RetryWaitKeys* RetryWaitKeys::watch(FtpConnection& ftp, WaitPanel& panel, QObject* window)
{
    // Escape ends a retry wait: the operator need not sit out a dead server's whole retry budget.
    auto* keys = new RetryWaitKeys(
        [&ftp] {
            ftp.cancelRetryWait();
            ftp.appendLog(QStringLiteral("Attente interrompue (Échap) : le refus du serveur est maintenu."));
        },
        window);
    ftp.onRetryWait = [keys, &panel](const QString& text) {
        keys->setWaiting(!text.isEmpty());
        panel.showRetryWait(text);
    };
    ftp.setWaitCallback([keys] {
        QCoreApplication::processEvents(keys->waiting() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    });
    return keys;
}

void RetryWaitKeys::setWaiting(bool waiting)
{
    if (waiting == m_waiting || !QCoreApplication::instance())
        return;
    m_waiting = waiting;
    if (waiting)
        QCoreApplication::instance()->installEventFilter(this);
    else
        QCoreApplication::instance()->removeEventFilter(this);
}

bool RetryWaitKeys::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !static_cast<QKeyEvent*>(event)->isAutoRepeat())
            m_onEscape();
        return true;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
