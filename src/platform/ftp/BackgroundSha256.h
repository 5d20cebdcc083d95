#pragma once

#include "platform/hash/Sha256Stream.h"

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// SHA-256 of a download taken on a second thread while the caller goes on receiving and writing,
// so that a checked download costs about the slower of the two, not their sum. The bytes are not
// copied: the caller receives into a buffer lent by the hash (buffer()), hands it over (add()) and
// may still write it out, while the worker reads it; the buffers go round a small fixed pool, so
// nothing is allocated per piece received.
class BackgroundSha256 final {
public:
    static constexpr qsizetype BufferSize = 256 * 1024;

    BackgroundSha256();
    ~BackgroundSha256();
    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;

    // Where to receive the next bytes (room() of them), in a buffer the worker does not read yet;
    // waits only when the worker is a whole pool behind. What was received before must not change.
    char* buffer();
    qsizetype room() const { return m_lent < 0 ? BufferSize : BufferSize - m_filled; }
    // The first `length` bytes at the last buffer() join the hash, in the order they were added.
    // The caller may go on reading them (to write them out) until its next buffer().
    void add(qsizetype length);
    void reset();
    // Once every byte added is hashed: the 32 bytes of the digest; the stream starts again.
    QByteArray result();

private:
    static constexpr int PoolSize = 8;
    struct Piece {
        int buffer;
        qsizetype length;
    };

    void work();
    // The lent buffer, as far as it is filled, to the worker.
    void handOver();
    void waitIdle(std::unique_lock<std::mutex>& lock);

    std::mutex m_mutex;
    std::condition_variable m_wake; // work for the worker, or its end
    std::condition_variable m_room; // the worker gave a buffer back
    std::vector<std::unique_ptr<char[]>> m_pool;
    std::vector<int> m_free;
    std::deque<Piece> m_queue;
    int m_lent = -1; // the buffer the caller is filling (the caller's thread only)
    qsizetype m_filled = 0;
    bool m_busy = false;
    bool m_stop = false;
    Sha256Stream m_hash;
    std::thread m_worker;
};
