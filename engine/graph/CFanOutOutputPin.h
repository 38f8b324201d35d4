// An output pin of a fan-out filter (tee, null synth). The filter applies
// its type rule; the allocator is sized for one graph block with the
// alignment of 16 and the prefix of the input's allocator; the types offered
// for enumeration are those of the pin feeding the filter's input.
//
// Threads: connection, type and allocator calls on the UI thread; blocks
// leave through Deliver on the audio thread.
#pragma once

#include "engine/graph/CDxOutputPin.h"

class CFanOutFilter;

class CFanOutOutputPin : public CDxOutputPin {
public:
    CFanOutOutputPin(const char* objectName, CFanOutFilter* owner, HRESULT* phr, LPCWSTR name,
                     CDxFilterGraph* graph);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;

protected:
    IPin* TypeSourcePin() override;

private:
    CFanOutFilter* m_owner;
};
