// The registration hook a filter class may answer: the plug-in library
// calls it while it registers and unregisters the class.
#pragma once

#include "platform/com/Unknown.h"

namespace mvsynth {

MV_DEFINE_GUID(IID_IAMovieSetup, 0xA3D8CEC0, 0x7E5A, 0x11CF, 0xBB, 0xC5, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x20);

struct IAMovieSetup : IUnknown {
    STDMETHOD(Register)() = 0;
    STDMETHOD(Unregister)() = 0;
};

}  // namespace mvsynth
