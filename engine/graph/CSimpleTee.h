// The tee of each channel output branch: one stream to several outputs,
// feeding the volume/pan path and the aux sends from the same block. Output
// 0 passes the received sample itself on; every further connected output
// gets its own copy (see CFanOutFilter). Its pins take 16-bit PCM (plain or
// extensible) and 32-bit float audio of one or two channels.
//
// Threads: creation and type checks on the UI thread; blocks pass on the
// audio thread (CFanOutFilter).
#pragma once

#include "engine/graph/CFanOutFilter.h"

MV_DEFINE_GUID(CLSID_SimpleTee, 0xA058A08D, 0x7AF1, 0x42E2, 0xA4, 0xC1, 0xF9, 0x23, 0x38, 0x9F, 0x58, 0xE1);

// The tee's input, "SimpleTee_IPin".
class CSimpleTeeInputPin : public CFanOutInputPin {
public:
    CSimpleTeeInputPin(CFanOutFilter* owner, HRESULT* phr, CDxFilterGraph* graph);
};

// An output of the tee, "MergeSwitchOPin".
class CSimpleTeeOutputPin : public CFanOutOutputPin {
public:
    CSimpleTeeOutputPin(CFanOutFilter* owner, HRESULT* phr, CDxFilterGraph* graph);
};

class CSimpleTee : public CFanOutFilter {
public:
    // A new tee with one reference. E_INVALIDARG for a negative count.
    static HRESULT Create(CDxFilterGraph* graph, int outputs, CSimpleTee** out);

    // Every call tests the type: E_POINTER for none, VFW_E_TYPE_NOT_ACCEPTED
    // for anything but the audio formats above.
    HRESULT CheckPinType(const CBasePin* pin, const CMediaType* mt) override;

private:
    explicit CSimpleTee(CDxFilterGraph* graph);
};
