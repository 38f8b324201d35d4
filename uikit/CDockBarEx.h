// The dock bar along each side of the main frame. It lays its rows out like
// the platform's dock bar, but a bar keeps a place further along its row
// than the running position, and the dock bar never pushes bars back into
// view or wraps them into a new row: rows of sizing bars fit themselves
// (CSizingControlBar's row fit). UI thread only.
#pragma once

#include "platform/ui/CDockBar.h"

class CDockBarEx : public CDockBar {
public:
    explicit CDockBarEx(BOOL floating = FALSE);

    CSize CalcFixedLayout(BOOL stretch, BOOL horizontal) override;
};
