// The plug-in filter's input: takes the audio formats its plug-in accepts
// and hands every sample to the filter.
#pragma once

#include "platform/media/CBaseInputPin.h"

class CPlugInFilter;

class CPlugInInputPin : public CBaseInputPin {
public:
    CPlugInInputPin(CPlugInFilter* filter, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    // Audio thread: no allocation, no blocking (these two).
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    IMemAllocator* Allocator() const { return m_pAllocator; }

private:
    CPlugInFilter* m_filter;
};
