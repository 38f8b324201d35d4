// A step-sequencer plug-in's preview: while it previews, the host holds the
// transport for the channel's step sequencer.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IStepSeqHostPreview, 0x682229DD, 0xF4C1, 0x4FF9, 0x9E, 0xC1, 0x91, 0x86, 0x46, 0x06, 0x52, 0x6F);

struct IStepSeqHostPreview : public IUnknown {
    STDMETHOD(BeginPreview)(WORD channelId) = 0;
    STDMETHOD(EndPreview)(WORD channelId) = 0;
};
