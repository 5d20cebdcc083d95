#include "ChildMemory.h"

#include <sys/resource.h>

ChildMemory::ChildMemory(const QProcess&) {}

ChildMemory::~ChildMemory() = default;

long ChildMemory::peakMegabytes() const
{
    rusage usage{};
    if (getrusage(RUSAGE_CHILDREN, &usage) != 0)
        return -1;
    return usage.ru_maxrss / 1024;
}
