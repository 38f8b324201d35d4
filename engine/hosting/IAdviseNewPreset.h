// What a view that shows a plug-in's preset hears from its preset manager:
// a preset was applied (or none selected), and the list changed.
//
// UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class IAdviseNewPreset {
public:
    virtual HRESULT OnNewPreset() = 0;
    virtual HRESULT OnPresetListChanged() = 0;

protected:
    ~IAdviseNewPreset() = default;
};
