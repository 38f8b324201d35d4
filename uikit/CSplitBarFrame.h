// A frame hosted in a view bar that makes no view of its own: its owner
// fills it (with a splitter, say) once it exists. UI thread only.
#pragma once

#include "platform/ui/CFrameWnd.h"

class CSplitBarFrame : public CFrameWnd {
public:
    BOOL OnCreateClient(CREATESTRUCT* cs, CCreateContext* context) override;
};
