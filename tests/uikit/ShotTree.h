// A shot of a window with its child windows over it, as the screen shows
// them: the layer's widget tree rendered, each window blitting its own surface.
#pragma once

#include "tests/platform/ui/UiTestSupport.h"

namespace mvtest {

inline void ShotTree(CWnd& wnd, const char* name)
{
    wnd.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (QWidget* w = mvui::WindowWidget(wnd.m_hWnd))
        Shot(w->grab().toImage(), name);
}

}  // namespace mvtest
