#pragma once

#include <QtGlobal>

// A block of memory for work over a whole file at once (a file rebuilt from a patch), taken from
// the system in one piece and given back whole. Fresh memory costs a fault the first time each of
// its pages is touched, and on virtual machines a fault costs more than copying its page: where the
// system has large pages for ordinary memory, the block is asked for in those.
class WorkMemory final {
public:
    // Null when the system has not that much memory to give.
    explicit WorkMemory(qint64 bytes);
    ~WorkMemory();
    WorkMemory(const WorkMemory&) = delete;
    WorkMemory& operator=(const WorkMemory&) = delete;

    bool isNull() const { return m_data == nullptr; }
    char* data() const { return m_data; }
    qint64 size() const { return m_size; }

private:
    char* m_data = nullptr;
    qint64 m_size = 0;
    qint64 m_reserved = 0;
};
