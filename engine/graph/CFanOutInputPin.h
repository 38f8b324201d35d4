// The input pin of a fan-out filter (tee, null synth): the filter applies
// its type rule, keeps the allocator it is notified of, and passes every
// block and every stream notification on to its outputs.
//
// Its lock is the filter lock. Receive runs on the pushing thread.
#pragma once

#include "engine/graph/CDxInputPin.h"

class CFanOutFilter;

class CFanOutInputPin : public CDxInputPin {
public:
    CFanOutInputPin(const char* objectName, CFanOutFilter* owner, HRESULT* phr, LPCWSTR name,
                    CDxFilterGraph* graph);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    HRESULT BreakConnect() override;
    // E_FAIL for a null allocator; the filter keeps the one it is given.
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    // Audio thread: no allocation, no blocking.
    STDMETHODIMP Receive(IMediaSample* sample) override;
    // Each goes to every connected output first (the first failure is
    // returned); then the pin's own handling.
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CFanOutFilter* m_owner;
};
