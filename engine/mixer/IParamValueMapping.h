// How a parameter's normalised value reads to the user: the owner of a
// parameter set (channel, aux bus, master bus) knows the units of its own
// controls and formats them. UI thread.
#pragma once

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class IParamValueMapping {
public:
    virtual ~IParamValueMapping() = default;
    // The display text of `value` (0..1) for the parameter `id`.
    virtual HRESULT FormatValue(DWORD id, float value, CString* text) = 0;
};
