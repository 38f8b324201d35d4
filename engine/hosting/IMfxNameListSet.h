// A set of instrument name lists, as a host hands it to plug-ins.
#pragma once

#include "engine/hosting/IMfxNameList.h"

MV_DEFINE_GUID(IID_IMfxNameListSet, 0x24385AC1, 0x02A8, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0B, 0x97);

struct IMfxNameListSet : public IUnknown {
    STDMETHOD(GetCount)(LONG* count) = 0;
    STDMETHOD(GetNameList)(LONG index, IMfxNameList** list) = 0;
};
