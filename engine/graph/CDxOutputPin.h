// The output pin that the merge switch, the tee and the null synth share.
// It offers the type it is connected with, hands out the type list of the
// pin that feeds its filter, takes the downstream pin's allocator only when
// that is the engine's CDxAllocator (else its own, made through the graph),
// commits only while connected, and ignores quality messages.
//
// Its lock is its filter's lock. Deliveries run on the pushing thread (the
// audio thread); everything declared here on the UI thread.
#pragma once

#include "platform/media/CBaseOutputPin.h"

class CDxFilterGraph;

class CDxOutputPin : public CBaseOutputPin {
public:
    CDxOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name,
                 CDxFilterGraph* graph);

    // Position 0: the connection type; nothing while unconnected.
    HRESULT GetMediaType(int position, CMediaType* mt) override;
    // The types of the pin upstream of the filter (TypeSourcePin);
    // VFW_E_NOT_CONNECTED when there is none.
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    bool AcceptsInputAllocator(IMemAllocator* allocator) override;
    HRESULT InitAllocator(IMemAllocator** allocator) override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    STDMETHODIMP Notify(IBaseFilter* self, Quality q) override;

    CDxFilterGraph* Graph() const { return m_graph; }

protected:
    // The pin whose types this one offers for enumeration, or null.
    virtual IPin* TypeSourcePin() = 0;
    // Sizes the allocator for one buffer count of whole graph blocks, taking
    // the alignment and prefix of `model` when there is one; E_FAIL when less
    // than asked is granted.
    HRESULT RequestBlockBuffers(IMemAllocator* allocator, IMemAllocator* model, LONG buffers, LONG align);

    CDxFilterGraph* m_graph;
};
