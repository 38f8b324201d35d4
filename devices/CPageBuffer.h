// A block of committed read/write memory whose size is a whole number of
// pages, for device buffers the audio thread reads and writes: the block is
// mapped up front, zero-filled, and never moves while its size stays.
//
// UI thread: Reserve and the destructor; the audio thread may use Get()
// between them.
#pragma once

#include <cstddef>

#include "platform/win/WinTypes.h"

class CPageBuffer {
public:
    CPageBuffer() = default;
    ~CPageBuffer();
    CPageBuffer(const CPageBuffer&) = delete;
    CPageBuffer& operator=(const CPageBuffer&) = delete;

    // Rounds `bytes` up to whole pages. When that is the current size the
    // block is kept as it is; otherwise the old block is released and a new
    // one committed (none for 0). E_OUTOFMEMORY when the commit fails, and
    // the buffer is then empty.
    HRESULT Reserve(std::size_t bytes);

    void* Get() const { return m_data; }
    std::size_t GetSize() const { return m_size; }

    // The system page size, read once.
    static std::size_t PageSize();

private:
    void Release();

    void* m_data = nullptr;
    std::size_t m_size = 0;
};
