// The sample gain plug-in built on the plug-in manager, as the tests know
// it: one class of each kind, and a probe interface its processing object
// answers (through the filter) so a test can see what it was handed.
#pragma once

#include "platform/com/Unknown.h"

namespace mvtest {

MV_DEFINE_GUID(CLSID_GainInPlace, 0x7A11C0DE, 0x0001, 0x4E00, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
MV_DEFINE_GUID(CLSID_GainBufToBuf, 0x7A11C0DE, 0x0002, 0x4E00, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
MV_DEFINE_GUID(CLSID_GainAsync, 0x7A11C0DE, 0x0003, 0x4E00, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03);
MV_DEFINE_GUID(CLSID_GainPage, 0x7A11C0DE, 0x0004, 0x4E00, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04);
MV_DEFINE_GUID(IID_IGainProbe, 0x7A11C0DE, 0x00FF, 0x4E00, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF);

constexpr const char* kGainDescription = "A gain for the tests";
// Set in the environment of the registering process: the buffer-to-buffer
// class's setup hook fails, after the in-place class was registered whole.
constexpr const char* kFailSetupVariable = "MVTEST_GAIN_FAIL_SETUP";

struct IGainProbe : IUnknown {
    STDMETHOD_(void, SetGain)(float gain) = 0;
    STDMETHOD_(LONGLONG, LastPosition)() = 0;  // -1 when the last call had none
    STDMETHOD_(LONG, SamplesReceived)() = 0;
};

}  // namespace mvtest
