// A plug-in's own list of built-in presets, as the preset manager asks it:
// slot 4 names preset `index` (S_OK while it exists), slot 5 selects it;
// slot 3 is not called.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IPlugInPresets, 0x36A22460, 0x0CC9, 0x11D0, 0x85, 0x74, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12);

struct IPlugInPresets : IUnknown {
    STDMETHOD(GetPresetCount)(LONG* count) = 0;
    STDMETHOD(GetPresetName)(LONG index, WCHAR* name, LONG size) = 0;
    STDMETHOD(SelectPreset)(LONG index) = 0;
};
