// The input pin "In" of a CFloatAudioFilter: float audio of one or two
// channels, as the filter allows. Blocks go to the filter's Transform;
// end-of-stream, flushes and segments pass straight on downstream.
//
// Its lock is the filter lock. Receive runs on the pushing thread.
#pragma once

#include "platform/media/CBaseInputPin.h"

class CFloatAudioFilter;

class CFloatAudioInputPin : public CBaseInputPin {
public:
    CFloatAudioInputPin(CFloatAudioFilter* owner, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    HRESULT BreakConnect() override;
    // Audio thread: no allocation, no blocking.
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // The agreed format (zeroed while unconnected).
    const WAVEFORMATEX& Format() const { return m_format; }
    IMemAllocator* Allocator() const { return m_pAllocator; }

private:
    CFloatAudioFilter* m_owner;
    WAVEFORMATEX m_format{};
};
