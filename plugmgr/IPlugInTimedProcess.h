// The optional time-aware processing of a plug-in: the in-place call with
// the sample position of the buffer's first frame.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IPlugInTimedProcess, 0xF22EA93E, 0x1F81, 0x4D97, 0x8A, 0xB3, 0x1D, 0xFD, 0x6F, 0xA7, 0xF9, 0xA6);

struct IPlugInTimedProcess : IUnknown {
    // Audio thread.
    STDMETHOD_(BOOL, ProcessInPlaceAt)(LONGLONG position, BYTE* buffer, LONG frames) = 0;
};
