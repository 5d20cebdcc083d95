#pragma once

#include "platform/hash/Sha256Stream.h"

#include <QByteArray>
#include <QByteArrayView>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// SHA-256 of a download taken on a second thread while the caller goes on receiving and writing,
// so that a checked download costs about the slower of the two, not their sum. The caller feeds
// it as it would a Sha256Stream; nothing else is shared with the worker.
class BackgroundSha256 final {
public:
    BackgroundSha256();
    ~BackgroundSha256();
    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;

    // Copies the bytes; waits only when the worker is far behind.
    void addData(QByteArrayView bytes);
    void reset();
    // Once every byte fed is hashed: the 32 bytes of the digest; the stream starts again.
    QByteArray result();

private:
    static constexpr qsizetype MaxQueuedBytes = 8 * 1024 * 1024;

    void work();
    void waitIdle(std::unique_lock<std::mutex>& lock);

    std::mutex m_mutex;
    std::condition_variable m_wake; // work for the worker, or its end
    std::condition_variable m_room; // the worker took something
    std::deque<QByteArray> m_queue;
    qsizetype m_queued = 0;
    bool m_busy = false;
    bool m_stop = false;
    Sha256Stream m_hash;
    std::thread m_worker;
};
