// The buffer renderer's input pin "In". It accepts the engine's float type
// (format type read), copies the agreed format into its filter, and offers a
// preset allocator when the graph gave it one.
#pragma once

#include "platform/media/CBaseInputPin.h"

class CDxBufRenderer;

class CDxBufRendererInputPin : public CBaseInputPin {
public:
    CDxBufRendererInputPin(CDxBufRenderer* filter, CCritSec* lock, HRESULT* phr);
    ~CDxBufRendererInputPin() override;

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    // Audio thread: no allocation, no blocking. Keeps the block, or nothing
    // when it is silent; never waits for the filter lock (a block that meets
    // it taken is not kept: VFW_E_WRONG_STATE).
    STDMETHODIMP Receive(IMediaSample* sample) override;

    HRESULT SetAllocator(IMemAllocator* allocator);

private:
    CDxBufRenderer* m_renderer;
    IMemAllocator* m_preset = nullptr;  // referenced
};
