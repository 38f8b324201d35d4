// A time-ordered array of packed 17-byte event records that MIDI-effect
// plug-ins and soft synths read and fill. Records stay ordered by time, and
// records of equal time keep their order of arrival.
//
// The array grows in steps of the capacity given at construction and never
// shrinks; Clear only resets the count, so steady-state playback reuses the
// same array. Add validates every record (time, channel, value ranges,
// system-exclusive and text data through the queue's buffer factory).
//
// Threads: the queue takes no lock; its owner serializes filling and
// draining. Reference counts are atomic; the last Release deletes the queue.
#pragma once

#include <atomic>

#include "model/CMfxBufferFactory.h"

class CMfxEventQueue : public mvcom::CUnknownImpl<IMfxEventQueue2> {
public:
    // Holds a reference on `factory`, or creates a factory of its own when it
    // is null. A capacity below 1 is taken as 1. The caller holds the first
    // reference.
    CMfxEventQueue(IMfxBufferFactory* factory, int capacity);

    // Audio thread: allocates only when the count outgrows the capacity of
    // a queue that is not fixed.
    STDMETHOD(Add)(const MfxEvent* event) override;
    // Audio thread: no allocation, no blocking.
    STDMETHOD(GetCount)(int* count) override;
    // Audio thread: no allocation, no blocking.
    STDMETHOD(GetAt)(int index, MfxEvent* event) override;
    STDMETHOD(GetBufferFactory)(IMfxBufferFactory** factory) override;

    // Host side. Audio thread: no allocation, no blocking.
    void Clear() { m_count = 0; }
    // Removes `count` records from `first` on; E_INVALIDARG for a range that
    // is not inside the queue.
    HRESULT RemoveRange(int first, int count);
    int GetCapacity() const { return m_capacity; }
    // From now on the queue keeps its capacity: Add refuses the newest
    // record of a full queue (E_OUTOFMEMORY) and counts it, so a queue the
    // audio thread fills never allocates.
    void SetFixedCapacity() { m_fixed = true; }
    // Records refused by a full fixed queue. Any thread.
    DWORD GetDroppedCount() const { return m_dropped.load(std::memory_order_relaxed); }

protected:
    ~CMfxEventQueue() override;
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override;

private:
    bool IsValidRecord(const MfxEvent& event) const;
    // Changes the count, growing the array to the next multiple of the step
    // strictly above it when needed; on failure the queue is unchanged.
    HRESULT SetCount(int count);

    MfxEvent* m_events = nullptr;
    int m_count = 0;
    int m_capacity = 0;
    IMfxBufferFactory* m_factory = nullptr;
    int m_step;
    bool m_fixed = false;
    std::atomic<DWORD> m_dropped{0};
};
