// The main frame's dock state, spread over the whole virtual screen: floating
// bars restored from a saved state stay within the multi-monitor desktop
// (less an icon's size at the right and bottom) rather than the primary
// screen. UI thread only.
#pragma once

#include "platform/ui/CDockState.h"

class COurDockState : public CDockState {
public:
    COurDockState();
};
