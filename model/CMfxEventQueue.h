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

#include "model/CMfxBufferFactory.h"

class CMfxEventQueue : public mvcom::CUnknownImpl<IMfxEventQueue2> {
public:
    // Holds a reference on `factory`, or creates a factory of its own when it
    // is null. A capacity below 1 is taken as 1. The caller holds the first
    // reference.
    CMfxEventQueue(IMfxBufferFactory* factory, int capacity);

    // Audio thread: allocates only when the count outgrows the capacity.
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
};
