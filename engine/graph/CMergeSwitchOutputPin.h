// An output of a merge switch ("MergeSwitchOPin"). It keeps the channel
// count of its type, so the switch knows when a block must be widened or
// folded on its way out.
//
// Threads: connection, type and allocator calls on the UI thread; blocks
// leave through Deliver on the audio thread.
#pragma once

#include "engine/graph/CDxOutputPin.h"

class CMergeSwitch;

class CMergeSwitchOutputPin : public CDxOutputPin {
public:
    CMergeSwitchOutputPin(CMergeSwitch* owner, HRESULT* phr, CDxFilterGraph* graph);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    // Two graph blocks, with the first connected input's alignment and
    // prefix; E_FAIL with no connected input.
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;

    // Audio thread: no allocation, no blocking.
    WORD Channels() const { return m_channels; }

protected:
    IPin* TypeSourcePin() override;

private:
    CMergeSwitch* m_switch;
    WORD m_channels = 0;
};
