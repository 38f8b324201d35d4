// What a host strip asks of the song document to latch a control's value
// into automation: the automation pattern of a target (found, or made when
// the target has none yet) and writing parameter values into it. The
// application hands the strips an adapter over its document. UI thread only.
#pragma once

#include <vector>

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CStripAutomationDoc {
public:
    virtual ~CStripAutomationDoc() = default;
    // False when the target has no pattern and none can be made; the
    // pattern's name on success.
    virtual bool GetAutomationPattern(WORD target, CString* patternName) = 0;
    // One automation event per (params[i], values[i]); false when nothing was written.
    virtual bool RecordParamAutomation(WORD target, const std::vector<DWORD>& params,
                                       const std::vector<float>& values) = 0;
};
