// The queue of one summing-mixer input: a ring of 64 sample references.
// A sample is held from Push until Pop or Flush. A full ring refuses the
// sample and takes no reference, so nothing queued is ever overwritten.
//
// For the engine's own samples the ring also keeps their deferred-silence
// face, so the mix can test and read them without asking again.
//
// Audio thread: no allocation, no blocking (every method). The owning
// mixer's lock guards it.
#pragma once

#include "engine/graph/IDeferZeroFill.h"

class CMediaSampleFifo {
public:
    static constexpr int kCapacity = 64;

    CMediaSampleFifo() = default;
    ~CMediaSampleFifo() { Flush(); }
    CMediaSampleFifo(const CMediaSampleFifo&) = delete;
    CMediaSampleFifo& operator=(const CMediaSampleFifo&) = delete;

    // Queues the sample with a reference of its own; false (and no
    // reference) when the ring is full.
    bool Push(IMediaSample* sample)
    {
        if (m_count == kCapacity || !sample)
            return false;
        // The query's reference is the one the ring holds.
        IDeferZeroFill* face = nullptr;
        if (FAILED(sample->QueryInterface(IID_IDeferZeroFill, reinterpret_cast<void**>(&face)))) {
            face = nullptr;
            sample->AddRef();
        }
        m_ring[m_write] = Entry{sample, face};
        m_write = (m_write + 1) & kMask;
        ++m_count;
        return true;
    }
    // Releases the oldest sample; nothing when empty.
    void Pop()
    {
        if (m_count == 0)
            return;
        IMediaSample* sample = m_ring[m_read].sample;
        m_ring[m_read] = Entry{};
        m_read = (m_read + 1) & kMask;
        --m_count;
        sample->Release();
    }
    // Releases every queued sample.
    void Flush();

    int Count() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    // The oldest sample and its deferred-silence face (null for a foreign
    // sample); null when empty.
    IMediaSample* Head() const { return m_count ? m_ring[m_read].sample : nullptr; }
    IDeferZeroFill* HeadFace() const { return m_count ? m_ring[m_read].face : nullptr; }

private:
    struct Entry {
        IMediaSample* sample;
        IDeferZeroFill* face;
    };

    static constexpr unsigned kMask = kCapacity - 1;
    static_assert((kCapacity & kMask) == 0, "the ring wraps by masking");

    // The indices first, so they share a cache line with the pin's fields.
    unsigned m_read = 0;
    unsigned m_write = 0;
    int m_count = 0;
    Entry m_ring[kCapacity]{};
};
