// The control interfaces of the gain-pan filter beyond the media
// parameters.
//
// IGainPanSend hands out the filter's send objects by index (index 0 is its
// output tap, an IGainPanTap) and is told when the transport starts. The
// output tap copies the filter's output, as stereo float frames, into a
// block the caller names for the next block that passes the filter.
// IGainPan only identifies the filter; its holders keep and release it.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(CLSID_GainPanFilter, 0xE2BD0C2C, 0x63E7, 0x4961, 0x89, 0x0B, 0x2A, 0x75, 0x7D, 0xEC, 0x3A, 0x05);
MV_DEFINE_GUID(IID_IGainPanSend, 0xF4C57240, 0x1E94, 0x4BE7, 0x9B, 0x8C, 0x9E, 0x1E, 0x1A, 0x39, 0xB5, 0x91);
MV_DEFINE_GUID(IID_IGainPan, 0x6002A95F, 0xBC19, 0x4934, 0xA4, 0xDD, 0xEB, 0xBF, 0xE0, 0x79, 0x67, 0x73);
MV_DEFINE_GUID(IID_IGainPanTap, 0xC512BB4C, 0xF59F, 0x4D3C, 0x9F, 0x0D, 0x67, 0x96, 0x03, 0x17, 0xEE, 0x00);

struct IGainPanSend : IUnknown {
    // The send object of that index with a reference, or null (S_FALSE).
    // UI thread (this and GetSendCount).
    STDMETHOD(GetSendObject)(LONG index, IUnknown** object) = 0;
    STDMETHOD(GetSendCount)(LONG* count) = 0;
    // The next block applies the parameters as they stand then, without
    // gliding from the values of the last block played. Any thread, the
    // audio thread included: no allocation, no blocking (it sets a flag the
    // next block reads).
    STDMETHOD(OnTransportStart)() = 0;
};

struct IGainPan : IUnknown {};

struct IGainPanTap : IUnknown {
    // Audio thread: no allocation, no blocking. The next block's output goes
    // to `frames` (interleaved stereo float, as many frames as the block);
    // null sends it nowhere.
    STDMETHOD(SetOutputTap)(float* frames) = 0;
};
