// Data blocks allocated ahead for the system-exclusive and text events that
// playback hands on: the audio thread copies an event's data into the next
// free block of the ring in place of duplicating the event's own block, which
// would allocate. The blocks belong to the ring; the events that name them
// own nothing (their handles are cleared before the events are destroyed).
//
// Threads: Create and the destructor on the UI thread; Take and Reset on the
// audio thread. A block handed out stays as it is until the next Reset, so the
// owner resets once the events of a pass have been delivered.
#pragma once

#include <atomic>
#include <vector>

#include "model/CMfxBufferFactory.h"

class CMfxBlockRing {
public:
    // Blocks a channel keeps for one span, and the data bytes of each.
    static constexpr int kDefaultCount = 8;
    static constexpr DWORD kDefaultCapacity = 4096;

    CMfxBlockRing() = default;
    CMfxBlockRing(const CMfxBlockRing&) = delete;
    CMfxBlockRing& operator=(const CMfxBlockRing&) = delete;
    ~CMfxBlockRing();

    // Allocates `count` blocks of `capacity` data bytes; E_OUTOFMEMORY leaves the ring empty. UI thread.
    HRESULT Create(int count = kDefaultCount, DWORD capacity = kDefaultCapacity);
    // Frees the blocks. UI thread.
    void Destroy();

    // A copy of the source block's data in the next free block, or 0 when the
    // source is not a live block, the data is larger than a block or every
    // block is in use since the last Reset (the refusal is counted).
    // Audio thread: no allocation, no blocking.
    HMFXBUFFER Take(HMFXBUFFER source);
    // Every block free again. Audio thread: no allocation, no blocking.
    void Reset() { m_next = 0; }
    // Whether the handle is one of this ring's blocks. Any thread.
    bool Owns(HMFXBUFFER handle) const;
    // Data blocks that could not be copied. Any thread.
    DWORD GetRefusedCount() const { return m_refused.load(std::memory_order_relaxed); }

private:
    std::vector<HMFXBUFFER> m_blocks;
    std::size_t m_next = 0;
    std::atomic<DWORD> m_refused{0};
};
