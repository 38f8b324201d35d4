// One audio output of the soft synth, "Output n". The synth adds and
// removes outputs while the filter lives; each has an id that is never
// reused within the loaded library. It offers the input's format (as the
// instrument adjusts it) and sizes its buffers from the input's.
//
// Threads: connection, type and allocator calls on the UI thread; blocks
// leave through Deliver on the streaming thread. Its lock is the
// instrument's.
#pragma once

#include "platform/media/CBaseOutputPin.h"

namespace mvsynth {

class CFilter;

class CFilterOutputPin : public CBaseOutputPin {
public:
    CFilterOutputPin(CFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name, DWORD id);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    HRESULT GetMediaType(int position, CMediaType* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;

    DWORD Id() const { return m_id; }
    // The pin's own format once its type is set; null before.
    const WAVEFORMATEX* Format() const;

private:
    CFilter* m_filter;
    DWORD m_id;
    bool m_checking = false;
};

}  // namespace mvsynth
