#include "BackgroundSha256.h"

#include <algorithm>

BackgroundSha256::BackgroundSha256()
{
    for (int i = 0; i < PoolSize; ++i) {
        m_pool.push_back(std::make_unique<char[]>(BufferSize));
        m_free.push_back(i);
    }
    m_worker = std::thread([this] { work(); });
}

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
        const Piece piece = m_queue.front();
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        m_hash.addData(QByteArrayView(m_pool[piece.buffer].get(), piece.length));
        lock.lock();
        m_free.push_back(piece.buffer);
        m_busy = false;
        m_room.notify_all();
    }
}

char* BackgroundSha256::buffer()
{
    if (m_lent < 0) {
        std::unique_lock lock(m_mutex);
        m_room.wait(lock, [this] { return !m_free.empty(); });
        m_lent = m_free.back();
        m_free.pop_back();
        m_filled = 0;
    }
    return m_pool[m_lent].get() + m_filled;
}

void BackgroundSha256::add(qsizetype length)
{
    if (m_lent < 0 || length <= 0)
        return;
    m_filled += std::min(length, room());
    // Handed over full: the worker wakes once per buffer, however small the pieces received.
    if (m_filled == BufferSize)
        handOver();
}

void BackgroundSha256::handOver()
{
    if (m_lent < 0)
        return;
    std::unique_lock lock(m_mutex);
    if (m_filled > 0) {
        m_queue.push_back({m_lent, m_filled});
    } else {
        m_free.push_back(m_lent);
    }
    m_lent = -1;
    m_filled = 0;
    lock.unlock();
    m_wake.notify_one();
}

void BackgroundSha256::waitIdle(std::unique_lock<std::mutex>& lock)
{
    m_room.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void BackgroundSha256::reset()
{
    m_filled = 0; // what was received but not handed over is forgotten too
    handOver();
    std::unique_lock lock(m_mutex);
    waitIdle(lock);
    m_hash.reset();
}

QByteArray BackgroundSha256::result()
{
    handOver();
    std::unique_lock lock(m_mutex);
    waitIdle(lock);
    return m_hash.result();
}
