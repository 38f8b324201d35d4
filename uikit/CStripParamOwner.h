// What a host strip needs of the object whose parameters its controls show:
// each parameter's name, and opening the remote-control assignment of a
// parameter at a screen point. UI thread only.
#pragma once

#include "platform/ui/GdiTypes.h"
#include "platform/win/CString.h"

class CStripParamOwner {
public:
    virtual ~CStripParamOwner() = default;
    virtual CString GetParamName(int paramIndex) = 0;
    virtual void OpenRemoteControl(int paramIndex, POINT screenPoint) = 0;
};
