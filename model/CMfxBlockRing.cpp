#include "model/CMfxBlockRing.h"

#include <algorithm>
#include <new>

CMfxBlockRing::~CMfxBlockRing() { Destroy(); }

HRESULT CMfxBlockRing::Create(int count, DWORD capacity)
{
    Destroy();
    try {
        m_blocks.reserve(static_cast<std::size_t>(std::max(count, 0)));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    CMfxBufferFactory& factory = CMfxBufferFactory::GetShared();
    for (int i = 0; i < count; ++i) {
        HMFXBUFFER handle = 0;
        if (FAILED(factory.Alloc(capacity, &handle))) {
            Destroy();
            return E_OUTOFMEMORY;
        }
        m_blocks.push_back(handle);
    }
    m_next = 0;
    return S_OK;
}

void CMfxBlockRing::Destroy()
{
    for (HMFXBUFFER handle : m_blocks)
        CMfxBufferFactory::GetShared().Free(handle);
    m_blocks.clear();
    m_next = 0;
}

HMFXBUFFER CMfxBlockRing::Take(HMFXBUFFER source)
{
    CMfxBufferFactory& factory = CMfxBufferFactory::GetShared();
    void* data = nullptr;
    DWORD size = 0;
    if (m_next >= m_blocks.size() || FAILED(factory.GetPointer(source, &data, &size)) ||
        FAILED(factory.Fill(m_blocks[m_next], data, size))) {
        m_refused.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    return m_blocks[m_next++];
}

bool CMfxBlockRing::Owns(HMFXBUFFER handle) const
{
    return handle != 0 && std::find(m_blocks.begin(), m_blocks.end(), handle) != m_blocks.end();
}
