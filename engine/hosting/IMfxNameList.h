// One list of instrument names, as a host hands it to plug-ins: a title and
// names by index. Copies take at most size - 1 characters and always end
// with a zero.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMfxNameList, 0x857F3281, 0x02A9, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0B, 0x97);

struct IMfxNameList : public IUnknown {
    STDMETHOD(GetTitle)(char* buffer, LONG size) = 0;
    STDMETHOD(GetCount)(LONG* count) = 0;
    STDMETHOD(GetName)(LONG index, char* buffer, LONG size) = 0;
};
