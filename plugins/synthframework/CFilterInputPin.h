// The soft synth's one audio input, "Input". Its blocks drive the render:
// each is cut into slices at the automation change points and the synth
// renders one output block per output pin from it. End of stream renders
// the synth's tail.
//
// Threads: connection and type calls on the UI thread; Receive and end of
// stream on the streaming thread. Its lock is the instrument's.
#pragma once

#include "platform/media/CBaseInputPin.h"

namespace mvsynth {

class CFilter;

class CFilterInputPin : public CBaseInputPin {
public:
    CFilterInputPin(CFilter* filter, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    // Audio thread: no allocation, no blocking (these two).
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    IMemAllocator* Allocator() const { return m_pAllocator; }

private:
    CFilter* m_filter;
    bool m_checking = false;  // re-entry guard of CheckMediaType
};

}  // namespace mvsynth
