#include "../WorkMemory.h"

#include <windows.h>

// Large pages need a privilege operators' accounts do not hold: ordinary pages, committed at once.
WorkMemory::WorkMemory(qint64 bytes)
{
    if (bytes <= 0)
        return;
    void* block = VirtualAlloc(nullptr, static_cast<SIZE_T>(bytes), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!block)
        return;
    m_data = static_cast<char*>(block);
    m_size = bytes;
    m_reserved = bytes;
}

WorkMemory::~WorkMemory()
{
    if (m_data)
        VirtualFree(m_data, 0, MEM_RELEASE);
}
