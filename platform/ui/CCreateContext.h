// What a frame is created with: the view to make in its client area (a
// maker standing in for the view's class), the document the view shows, the
// document template, the view before and the frame that was current. A
// frame whose context names no view makes none. UI thread only.
#pragma once

#include <functional>

class CView;
class CDocument;
class CDocTemplate;
class CFrameWnd;

struct CCreateContext {
    std::function<CView*()> m_pNewViewClass;
    CDocument* m_pCurrentDoc = nullptr;
    CDocTemplate* m_pNewDocTemplate = nullptr;
    CView* m_pLastView = nullptr;
    CFrameWnd* m_pCurrentFrame = nullptr;
};
