// A fixed array of 2048 data records of 8 bytes, allocated whole: live MIDI
// input and direct messages of a channel, and what its MIDI-effect chain made
// of them. It never grows: when full, Add fails and the host resets the
// queue between passes.
//
// Threads: no lock of its own; the channel's live lock serializes use.
// Reference counts are atomic; the last Release deletes the queue.
#pragma once

#include "model/Mfx.h"
#include "platform/com/CUnknownImpl.h"

class CMfxDataQueue : public mvcom::CUnknownImpl<IMfxDataQueue> {
public:
    static constexpr int kCapacity = 2048;

    // A new empty queue holding one reference for the caller; null when
    // memory runs out.
    static CMfxDataQueue* Create();

    // E_FAIL when kCapacity records are held.
    // Audio thread: no allocation, no blocking.
    STDMETHOD(Add)(const MfxData* record) override;
    // Audio thread: no allocation, no blocking.
    STDMETHOD(GetCount)(int* count) override;
    // Audio thread: no allocation, no blocking.
    STDMETHOD(GetAt)(int index, MfxData* record) override;

    // Audio thread: no allocation, no blocking.
    void Reset() { m_count = 0; }

protected:
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override;

private:
    CMfxDataQueue() = default;

    MfxData m_records[kCapacity];
    int m_count = 0;
};
