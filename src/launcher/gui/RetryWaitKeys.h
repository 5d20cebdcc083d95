#pragma once

#include <QObject>

#include <functional>

class FtpConnection;
class WaitPanel;

// While a busy server's retry wait runs, the window's events run with the operator's input, so
// that Escape can end the wait; every other key, click and wheel turn is held back, as during any
// other network wait. Installed on the application for the length of the wait only.
class RetryWaitKeys final : public QObject {
    Q_OBJECT

public:
    explicit RetryWaitKeys(std::function<void()> onEscape, QObject* parent = nullptr);

    // The window's share of the session's waits: while the client waits on the network the window
    // keeps painting and its animation turns, clicks and keys wait for the operation to end; a busy
    // server's retry is said in the wait panel, and Escape ends it. Owned by `window`.
    static RetryWaitKeys* watch(FtpConnection& ftp, WaitPanel& panel, QObject* window);

    // Starts or ends the wait; idempotent.
    void setWaiting(bool waiting);
    bool waiting() const { return m_waiting; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_onEscape;
    bool m_waiting = false;
};
