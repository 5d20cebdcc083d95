#include "SessionThreads.h"

#include <QThread>

SessionThreads& SessionThreads::instance()
{
    // Never destroyed: its threads outlive every object of the program.
    static SessionThreads* const threads = new SessionThreads;
    return *threads;
}

void SessionThreads::start(std::function<void()> task)
{
    const QMutexLocker lock(&m_mutex);
    m_tasks.push_back(std::move(task));
    if (m_waiting > 0) {
        --m_waiting;
        m_wake.wakeOne();
    } else if (m_threads < MaxThreads) {
        ++m_threads;
        QThread* thread = QThread::create([this] { serve(); });
        thread->setObjectName(QStringLiteral("Session FTP"));
        thread->start();
    }
}

void SessionThreads::serve()
{
    for (;;) {
        std::function<void()> task;
        {
            QMutexLocker lock(&m_mutex);
            if (m_tasks.empty()) {
                ++m_waiting;
                while (m_tasks.empty())
                    m_wake.wait(&m_mutex);
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}
