#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the next modal window as soon as it is up. A test that opens one waits inside its exec(),
// where no QTRY can look: a window that never comes, or an answer that leaves it open, would hold
// the test until ctest stops the program. Here both end within `boundMs`: a window still open then
// is closed, and failure() says what did not happen.
//
//   ModalAnswer answer([](QWidget* box) { ... click a button of box ... });
//   button->click(); // opens the modal window
//   QVERIFY2(answer.failure().isEmpty(), qPrintable(answer.failure()));
class ModalAnswer final {
public:
    // `settleMs`: how long the window is left up before the answer (for checks of its final shape).
    explicit ModalAnswer(std::function<void(QWidget*)> answer, int settleMs = 0, int boundMs = 10000)
        : m_answer(std::move(answer))
        , m_settleMs(settleMs)
        , m_boundMs(boundMs)
    {
        m_since.start();
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start();
    }

    // Empty when the window came and the answer closed it.
    QString failure() const
    {
        if (!m_answered)
            return QStringLiteral("aucune fenêtre modale ne s'est ouverte en %1 ms").arg(m_boundMs);
        return m_failure;
    }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        const bool up = modal && modal->isVisible();
        if (!m_answered) {
            if (up && !m_seen.isValid())
                m_seen.start();
            if (up && m_seen.elapsed() >= m_settleMs) {
                m_answered = true;
                m_window = modal;
                m_since.restart();
                m_answer(modal);
            } else if (m_since.hasExpired(m_boundMs)) {
                m_poll.stop();
                if (up)
                    close(modal, QStringLiteral("la fenêtre modale « %1 » n'a pas eu de réponse"));
            }
            return;
        }
        if (!m_window || !m_window->isVisible()) {
            m_poll.stop();
            return;
        }
        if (m_since.hasExpired(m_boundMs)) {
            m_poll.stop();
            close(m_window, QStringLiteral("la fenêtre modale « %1 » est restée ouverte après la réponse"));
        }
    }

    void close(QWidget* window, const QString& what)
    {
        m_answered = true;
        m_failure = what.arg(window->windowTitle()) + QStringLiteral(" (%1 ms)").arg(m_boundMs);
        if (auto* dialog = qobject_cast<QDialog*>(window))
            dialog->reject();
        else
            window->close();
    }

    std::function<void(QWidget*)> m_answer;
    int m_settleMs;
    int m_boundMs;
    QElapsedTimer m_since;
    QElapsedTimer m_seen;
    QTimer m_poll;
    bool m_answered = false;
    QPointer<QWidget> m_window;
    QString m_failure;
};
