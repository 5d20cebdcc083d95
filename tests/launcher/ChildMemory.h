#pragma once

#include <QProcess>

// The peak memory of a program a test started, measured the way each system allows: on POSIX the
// largest resident size of any finished child (getrusage), on Windows the peak working set of
// that process, read through a handle held from its start so that it can still be read after
// it ended.
class ChildMemory final {
public:
    // `process` has been started.
    explicit ChildMemory(const QProcess& process);
    ~ChildMemory();
    ChildMemory(const ChildMemory&) = delete;
    ChildMemory& operator=(const ChildMemory&) = delete;

    // In MB once the process has ended; -1 when it cannot be read.
    long peakMegabytes() const;

private:
    void* m_handle = nullptr;
};
