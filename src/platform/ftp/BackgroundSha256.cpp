#include "BackgroundSha256.h"

BackgroundSha256::BackgroundSha256()
    : m_worker([this] { work(); })
{}

BackgroundSha256::~BackgroundSha256()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_worker.join();
}

void BackgroundSha256::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopped with nothing left
        QByteArray chunk = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        m_hash.addData(chunk);
        lock.lock();
        m_queued -= chunk.size();
        m_busy = false;
        m_room.notify_all();
    }
}

void BackgroundSha256::addData(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    std::unique_lock lock(m_mutex);
    m_room.wait(lock, [this] { return m_queued < MaxQueuedBytes; });
    m_queue.emplace_back(bytes.data(), bytes.size());
    m_queued += bytes.size();
    lock.unlock();
    m_wake.notify_one();
}

void BackgroundSha256::waitIdle(std::unique_lock<std::mutex>& lock)
{
    m_room.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void BackgroundSha256::reset()
{
    std::unique_lock lock(m_mutex);
    waitIdle(lock);
    m_hash.reset();
}

QByteArray BackgroundSha256::result()
{
    std::unique_lock lock(m_mutex);
    waitIdle(lock);
    return m_hash.result();
}
