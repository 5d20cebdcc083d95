#pragma once

#include <QProcess>

// The peak memory of a program a test started: on POSIX the largest resident size of any finished
// child (getrusage); not measured on Windows (see ChildMemory_windows.cpp).
class ChildMemory final {
public:
    static constexpr long NotMeasured = -1;

    // `process` has been started.
    explicit ChildMemory(const QProcess& process);
    ~ChildMemory();
    ChildMemory(const ChildMemory&) = delete;
    ChildMemory& operator=(const ChildMemory&) = delete;

    // In MB once the process has ended, or NotMeasured.
    long peakMegabytes() const;
};
