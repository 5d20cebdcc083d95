#include "ChildMemory.h"

#include <windows.h>

#include <psapi.h>

ChildMemory::ChildMemory(const QProcess& process)
    : m_handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process.processId())))
{}

ChildMemory::~ChildMemory()
{
    if (m_handle)
        CloseHandle(m_handle);
}

long ChildMemory::peakMegabytes() const
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!m_handle || !GetProcessMemoryInfo(m_handle, &counters, sizeof counters) || counters.PeakWorkingSetSize == 0)
        return -1;
    return static_cast<long>(counters.PeakWorkingSetSize / (1024 * 1024));
}
