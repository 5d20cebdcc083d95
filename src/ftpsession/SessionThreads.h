#pragma once

#include <QMutex>
#include <QWaitCondition>

#include <deque>
#include <functional>

// The threads that downloads' extra sessions run on: made when first needed, then kept for the
// rest of the program and reused by every later download. They are never ended before the
// program: on Windows a thread that ends after its data connections were closed by the server can
// hold up the program's exit (seen under Wine, one exit in four), while threads that are still
// there when the program ends are simply ended with it.
class SessionThreads final {
public:
    static constexpr int MaxThreads = 15;

    static SessionThreads& instance();

    // Runs `task` on a thread of the pool that is free, or a new one; with MaxThreads busy, on
    // the first that becomes free.
    void start(std::function<void()> task);

private:
    SessionThreads() = default;
    void serve();

    QMutex m_mutex;
    QWaitCondition m_wake;
    std::deque<std::function<void()>> m_tasks;
    int m_waiting = 0; // threads waiting for a task and not yet claimed by one
    int m_threads = 0;
};
