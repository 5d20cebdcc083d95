#include "../WorkMemory.h"

#include <sys/mman.h>

namespace {
constexpr qint64 LargePage = qint64(2) << 20;
}

WorkMemory::WorkMemory(qint64 bytes)
{
    if (bytes <= 0)
        return;
    // Whole large pages, so that the block's last one is large too.
    m_reserved = (bytes + LargePage - 1) / LargePage * LargePage;
    void* block =
        ::mmap(nullptr, static_cast<size_t>(m_reserved), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return;
    // Only advice: a kernel without large pages for ordinary memory gives small ones.
    ::madvise(block, static_cast<size_t>(m_reserved), MADV_HUGEPAGE);
    m_data = static_cast<char*>(block);
    m_size = bytes;
}

WorkMemory::~WorkMemory()
{
    if (m_data)
        ::munmap(m_data, static_cast<size_t>(m_reserved));
}
