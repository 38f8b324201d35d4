// The filter graph's event sink, as far as a plug-in filter reports a
// streaming failure to it.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMediaEventSink, 0x56A868A2, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);

struct IMediaEventSink : IUnknown {
    STDMETHOD(Notify)(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};
