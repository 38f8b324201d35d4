// The magnified pop-up of a CZoomFader: a long fader with its markings
// written out and the label at the top left. It confines the pointer to
// itself while open, maps the pointer along its track to the fader's value
// and reports to its fader with the fader's codes: 0x8001 and 0x8005 while
// tracking, 0x8000 on a release, 0x8006 on Escape, WM_CANCELMODE or a lost
// capture. UI thread only.
#pragma once

#include "platform/ui/CWnd.h"

class CZoomFader;

class CZoomedFader : public CWnd {
public:
    static constexpr const char* kClassName = "CC:ZoomedFader";
    explicit CZoomedFader(CZoomFader* fader);

    // Opens as a pop-up at `at` (screen coordinates), kept on the fader's monitor.
    BOOL Open(POINT at);
    bool Horizontal() const;
    CSize PopupSize() const;
    CRect TrackRect() const;
    // The value under a point of the pop-up.
    virtual float ValueAt(CPoint point) const;

protected:
    int OnCreate(CREATESTRUCT* cs) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnRButtonUp(UINT flags, CPoint point) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;
    void OnCancelMode() override;
    void OnCaptureChanged(CWnd* newCapture) override;
    // Frees the pointer and the capture and tells the fader, once.
    void Finish(WORD code);
    void Report(WORD code);
    virtual CRect KeepInside(CRect rect) const;
    // Moves the rectangle the least that puts it inside the bounds.
    static CRect PushInside(CRect rect, const CRect& bounds);
    virtual CRect PointerClip() const;
    virtual const char* WindowClass() const { return kClassName; }

    CZoomFader* m_fader;
    bool m_firstPaint = true;
    bool m_finished = false;
    int m_fontHeight = 12;
};
