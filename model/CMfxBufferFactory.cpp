#include "model/CMfxBufferFactory.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace {

constexpr BYTE kTag[4] = {'M', 'f', 'x', 'B'};
constexpr DWORD kDeadTag = 0xDDDDDDDD;
constexpr DWORD kBlockOverhead = 12;  // tag, size, 4 spare bytes
constexpr DWORD kDataOffset = 8;

// A handle is (generation << 20) | slot index. Index 0 is never used, so no
// live handle is 0.
constexpr DWORD kIndexBits = 20;
constexpr DWORD kIndexMask = (1u << kIndexBits) - 1;
constexpr DWORD kGenerationMask = (1u << (32 - kIndexBits)) - 1;
constexpr DWORD kSlotsPerSegment = 1024;
constexpr DWORD kSegments = (kIndexMask + 1) / kSlotsPerSegment;

struct Slot {
    std::atomic<DWORD> handle{0};  // the live handle of this slot, 0 when free
    std::atomic<BYTE*> block{nullptr};
    DWORD capacity = 0;    // data bytes allocated; written before the handle is published
    DWORD generation = 0;  // under the table lock
    DWORD nextFree = 0;    // under the table lock
};

// The live blocks. Segments of slots are added as needed and never freed, so
// a lookup reads them without a lock.
class BufferTable {
public:
    HMFXBUFFER Insert(BYTE* block, DWORD capacity)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        DWORD index = m_freeHead;
        if (index != 0) {
            m_freeHead = SlotAt(index)->nextFree;
        } else {
            if (m_nextUnused > kIndexMask)
                return 0;
            index = m_nextUnused;
            Slot*& segment = m_owned[index / kSlotsPerSegment];
            if (!segment) {
                segment = new (std::nothrow) Slot[kSlotsPerSegment];
                if (!segment)
                    return 0;
                m_segments[index / kSlotsPerSegment].store(segment, std::memory_order_release);
            }
            ++m_nextUnused;
        }
        Slot* slot = SlotAt(index);
        const HMFXBUFFER handle = slot->generation << kIndexBits | index;
        slot->block.store(block, std::memory_order_relaxed);
        slot->capacity = capacity;
        slot->handle.store(handle, std::memory_order_release);
        return handle;
    }

    BYTE* Resolve(HMFXBUFFER handle, DWORD* capacity = nullptr) const
    {
        const DWORD index = handle & kIndexMask;
        if (index == 0)
            return nullptr;
        const Slot* segment = m_segments[index / kSlotsPerSegment].load(std::memory_order_acquire);
        if (!segment)
            return nullptr;
        const Slot& slot = segment[index % kSlotsPerSegment];
        if (slot.handle.load(std::memory_order_acquire) != handle)
            return nullptr;
        BYTE* block = slot.block.load(std::memory_order_relaxed);
        if (!block || std::memcmp(block, kTag, sizeof kTag) != 0)
            return nullptr;
        if (capacity)
            *capacity = slot.capacity;
        return block;
    }

    // Takes the block out of the table; null when the handle is not live.
    BYTE* Remove(HMFXBUFFER handle)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        BYTE* block = Resolve(handle);
        if (!block)
            return nullptr;
        const DWORD index = handle & kIndexMask;
        Slot* slot = SlotAt(index);
        slot->handle.store(0, std::memory_order_release);
        slot->block.store(nullptr, std::memory_order_relaxed);
        slot->generation = (slot->generation + 1) & kGenerationMask;
        slot->nextFree = m_freeHead;
        m_freeHead = index;
        return block;
    }

private:
    Slot* SlotAt(DWORD index) { return &m_owned[index / kSlotsPerSegment][index % kSlotsPerSegment]; }

    std::atomic<Slot*> m_segments[kSegments]{};
    Slot* m_owned[kSegments]{};  // the same segments, for writers under the lock
    std::mutex m_lock;
    DWORD m_freeHead = 0;
    DWORD m_nextUnused = 1;
};

// Never destroyed: events holding handles may outlive static destruction.
BufferTable& Table()
{
    static BufferTable* table = new BufferTable;
    return *table;
}

// Callers hand the address of a packed event record's handle field, which
// is misaligned: out-parameters are stored byte-wise.
template <typename T>
void StoreOut(T* out, T value)
{
    std::memcpy(out, &value, sizeof value);
}

DWORD DataSize(const BYTE* block)
{
    DWORD size = 0;
    std::memcpy(&size, block + 4, sizeof size);
    return size;
}

}  // namespace

CMfxBufferFactory& CMfxBufferFactory::GetShared()
{
    static CMfxBufferFactory* shared = new CMfxBufferFactory;
    return *shared;
}

std::span<const mvcom::InterfaceEntry> CMfxBufferFactory::InterfaceTable() const
{
    static const mvcom::InterfaceEntry table[] = {
        Entry<CMfxBufferFactory, IMfxBufferFactory>(IID_IMfxBufferFactory),
    };
    return table;
}

STDMETHODIMP CMfxBufferFactory::Alloc(DWORD size, HMFXBUFFER* handle)
{
    if (!handle)
        return E_POINTER;
    StoreOut<HMFXBUFFER>(handle, 0);
    if (size > 0xFFFFFFFFu - kBlockOverhead)
        return E_OUTOFMEMORY;
    auto* block = static_cast<BYTE*>(std::calloc(size + kBlockOverhead, 1));
    if (!block)
        return E_OUTOFMEMORY;
    std::memcpy(block, kTag, sizeof kTag);
    std::memcpy(block + 4, &size, sizeof size);
    const HMFXBUFFER token = Table().Insert(block, size);
    if (!token) {
        std::free(block);
        return E_OUTOFMEMORY;
    }
    StoreOut(handle, token);
    return S_OK;
}

STDMETHODIMP CMfxBufferFactory::Duplicate(HMFXBUFFER source, DWORD size, HMFXBUFFER* handle)
{
    if (!handle)
        return E_POINTER;
    StoreOut<HMFXBUFFER>(handle, 0);
    void* from = nullptr;
    DWORD fromSize = 0;
    HRESULT hr = GetPointer(source, &from, &fromSize);
    if (FAILED(hr))
        return hr;
    HMFXBUFFER copy = 0;
    if (FAILED(hr = Alloc(size, &copy)))
        return hr;
    void* to = nullptr;
    DWORD toSize = 0;
    if (FAILED(hr = GetPointer(copy, &to, &toSize))) {
        Free(copy);
        return hr;
    }
    std::memcpy(to, from, std::min(fromSize, toSize));
    StoreOut(handle, copy);
    return S_OK;
}

STDMETHODIMP CMfxBufferFactory::GetPointer(HMFXBUFFER handle, void** data, DWORD* size)
{
    if (!data || !size)
        return E_POINTER;
    BYTE* block = Table().Resolve(handle);
    if (!block)
        return E_INVALIDARG;
    StoreOut<void*>(data, block + kDataOffset);
    StoreOut(size, DataSize(block));
    return S_OK;
}

HRESULT CMfxBufferFactory::Free(HMFXBUFFER handle)
{
    BYTE* block = Table().Remove(handle);
    if (!block)
        return E_INVALIDARG;
    std::memcpy(block, &kDeadTag, sizeof kDeadTag);
    std::free(block);
    return S_OK;
}

HRESULT CMfxBufferFactory::Fill(HMFXBUFFER handle, const void* data, DWORD size)
{
    if (!data && size > 0)
        return E_POINTER;
    DWORD capacity = 0;
    BYTE* block = Table().Resolve(handle, &capacity);
    if (!block)
        return E_INVALIDARG;
    if (size > capacity)
        return E_OUTOFMEMORY;
    if (size > 0)
        std::memcpy(block + kDataOffset, data, size);
    std::memcpy(block + 4, &size, sizeof size);
    return S_OK;
}

BOOL CMfxBufferFactory::IsValidBuffer(HMFXBUFFER handle) const { return Table().Resolve(handle) ? TRUE : FALSE; }
