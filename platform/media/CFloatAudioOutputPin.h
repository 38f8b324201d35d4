// The output pin "Out" of a CFloatAudioFilter. It offers float stereo and
// then mono at the input's rate, and sizes its buffers for the largest block
// the filter may make from one input buffer.
//
// Threads: connection, type and allocator calls on the UI thread; blocks
// leave through Deliver on the audio thread.
#pragma once

#include "platform/media/CBaseOutputPin.h"

class CFloatAudioFilter;

class CFloatAudioOutputPin : public CBaseOutputPin {
public:
    CFloatAudioOutputPin(CFloatAudioFilter* owner, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    HRESULT GetMediaType(int position, CMediaType* mt) override;
    HRESULT BreakConnect() override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;

    // Audio thread: no allocation, no blocking.
    const WAVEFORMATEX& Format() const { return m_format; }

private:
    CFloatAudioFilter* m_owner;
    WAVEFORMATEX m_format{};
};
