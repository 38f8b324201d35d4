// A view: a window that shows its document. Painting goes to OnDraw;
// commands go to the view first, then to its document.
// UI thread only.
#pragma once

#include "platform/ui/CWnd.h"

class CDocument;
class CObject;

class CView : public CWnd {
public:
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    virtual void OnDraw(CDC* dc) = 0;
    virtual void OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }
    virtual void OnUpdate(CView* sender, LPARAM hint, CObject* object) { Invalidate(); }
    BOOL OnCmdMsg(UINT id, int code, void* extra) override;

    CDocument* m_pDocument = nullptr;

protected:
    void OnPaint() override;
};
