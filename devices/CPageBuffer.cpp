#include "devices/CPageBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

std::size_t CPageBuffer::PageSize()
{
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

CPageBuffer::~CPageBuffer()
{
    Release();
}

HRESULT CPageBuffer::Reserve(std::size_t bytes)
{
    const std::size_t page = PageSize();
    if (bytes > SIZE_MAX - page) {
        Release();
        return E_OUTOFMEMORY;
    }
    const std::size_t size = (bytes + page - 1) / page * page;
    if (size == m_size)
        return S_OK;
    Release();
    if (size == 0)
        return S_OK;
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (data == MAP_FAILED)
        return E_OUTOFMEMORY;
    m_data = data;
    m_size = size;
    return S_OK;
}

void CPageBuffer::Release()
{
    if (m_data)
        munmap(m_data, m_size);
    m_data = nullptr;
    m_size = 0;
}
