// What the windowless-control tests share: a host window that is a control
// site, routes its messages to the controls as a host does, maps keys and
// the wheel to key actions, and records every notification it gets as a
// line ("changed 10 1", "begin 10", "end 10", "clicked 10", "menu 10 5,6",
// "update 10"); and a plain control that fills its rectangle.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/CDC.h"
#include "platform/ui/CRecordingDC.h"
#include "platform/ui/CWnd.h"
#include "tests/platform/ui/UiTestExtras.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "uikit/CNWControl.h"
#include "uikit/CNWControlSite.h"
#include "uikit/COurToolTipCtrl.h"

namespace mvtest {

inline std::string Num(double v)
{
    char b[32];
    std::snprintf(b, sizeof(b), "%g", v);
    return b;
}

class CNWTestHost : public CWnd, public CNWControlSite {
public:
    ~CNWTestHost() override
    {
        RemoveAllControls();
        DestroyWindow();
    }
    BOOL Make(int width, int height, int x = 100, int y = 100)
    {
        return CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, CRect(x, y, x + width, y + height), nullptr, 0);
    }

    CWnd* GetWnd() override { return this; }
    using CWnd::ClientToScreen;
    using CWnd::ScreenToClient;
    void ClientToScreen(POINT* p) override { CWnd::ClientToScreen(p); }
    void ScreenToClient(POINT* p) override { CWnd::ScreenToClient(p); }
    void InvalidateAll() override { Invalidate(TRUE); }
    int GetSiteIndex() override { return siteIndex; }

    void OnControlValueChanged(CNWControl* c) override
    {
        log.push_back("changed " + std::to_string(c->GetId()) + " " + Num(c->GetValue()));
    }
    void OnBeginEdit(CNWControl* c) override { log.push_back("begin " + std::to_string(c->GetId())); }
    void OnEndEdit(CNWControl* c) override { log.push_back("end " + std::to_string(c->GetId())); }
    void OnControlClicked(CNWControl* c, UINT) override { log.push_back("clicked " + std::to_string(c->GetId())); }
    void OnControlUpdateRequest(CNWControl* c) override { log.push_back("update " + std::to_string(c->GetId())); }
    void OnControlContextMenu(CNWControl* c, POINT p, CMenu*) override
    {
        log.push_back("menu " + std::to_string(c->GetId()) + " " + std::to_string(p.x) + "," + std::to_string(p.y) +
                      (c->IsMenuOpen() ? " open" : ""));
    }

    // Mouse routing of a host.
    void OnLButtonDown(UINT flags, CPoint p) override
    {
        SetCapture();
        if (SetFocusAt(p))
            GetFocusControl()->OnLButtonDown(flags, p);
    }
    void OnLButtonUp(UINT flags, CPoint p) override
    {
        ReleaseCapture();
        if (CNWControl* c = GetFocusControl())
            c->OnLButtonUp(flags, p);
    }
    void OnLButtonDblClk(UINT flags, CPoint p) override
    {
        if (SetFocusAt(p))
            GetFocusControl()->OnLButtonDblClk(flags, p);
    }
    void OnMouseMove(UINT flags, CPoint p) override
    {
        TrackHover(p);
        if (CNWControl* c = GetFocusControl())
            c->OnMouseMove(flags, p);
    }
    void OnRButtonDown(UINT flags, CPoint p) override
    {
        if (CNWControl* c = CNWControlSite::HitTest(p))
            c->OnRButtonDown(flags, p);
    }
    void OnRButtonUp(UINT flags, CPoint p) override
    {
        if (CNWControl* c = CNWControlSite::HitTest(p))
            c->OnRButtonUp(flags, p);
    }
    using CNWControlSite::OnCaptureChanged;
    void OnCaptureChanged(CWnd*) override { CNWControlSite::OnCaptureChanged(); }
    void OnMouseLeave() override { CNWControlSite::OnMouseLeave(); }
    // The keys and the wheel as this host maps them to key actions.
    void OnKeyDown(UINT vk, UINT, UINT) override
    {
        switch (static_cast<int>(vk)) {
        case VK_HOME: OnKeyAction(0); break;
        case VK_END: OnKeyAction(1); break;
        case VK_DOWN: OnKeyAction(2); break;
        case VK_UP: OnKeyAction(3); break;
        case VK_NEXT: OnKeyAction(4); break;
        case VK_PRIOR: OnKeyAction(5); break;
        case VK_SPACE: OnKeyAction(6); break;
        case VK_TAB:
            if (GetKeyState(VK_SHIFT) < 0) FocusPrev();
            else FocusNext();
            break;
        default: break;
        }
    }
    BOOL OnMouseWheel(UINT, short delta, CPoint) override
    {
        OnKeyAction(delta > 0 ? 3 : 2);
        return TRUE;
    }
    void OnPaint() override
    {
        CPaintDC dc(this);
        CRect r;
        GetClientRect(&r);
        dc.FillSolidRect(&r, RGB(58, 62, 70));
        PaintControls(&dc);
    }
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_NOTIFY && NeedToolTipText(reinterpret_cast<NMHDR*>(lParam))) {
            *result = TRUE;
            return TRUE;
        }
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (COurToolTipCtrl* tip = toolTipMade ? GetToolTip() : nullptr)
            tip->RelayEvent(msg);
        return CWnd::PreTranslateMessage(msg);
    }

    // What the controls draw now, as a record.
    std::vector<DcCall> Record()
    {
        CRecordingDC dc;
        PaintControls(&dc);
        return dc.Calls();
    }
    void Press(int x, int y, UINT flags = MK_LBUTTON) { SendMessage(WM_LBUTTONDOWN, flags, MAKELPARAM(x, y)); }
    void Release(int x, int y) { SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    void Move(int x, int y, UINT flags = MK_LBUTTON) { SendMessage(WM_MOUSEMOVE, flags, MAKELPARAM(x, y)); }
    void Click(int x, int y)
    {
        Press(x, y);
        Release(x, y);
    }
    // A double click as Windows sends it: down, up, double click, up.
    void DoubleClick(int x, int y)
    {
        Click(x, y);
        SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
        Release(x, y);
    }
    void RightClick(int x, int y)
    {
        SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
        SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(x, y));
    }
    void Key(int vk) { SendMessage(WM_KEYDOWN, static_cast<WPARAM>(vk), 1); }
    void Wheel(int notches) { SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(notches * 120)), 0); }
    std::vector<std::string> TakeLog()
    {
        std::vector<std::string> out;
        out.swap(log);
        return out;
    }

    std::vector<std::string> log;
    int siteIndex = 0;
    bool toolTipMade = false;
};

// A control that fills its rectangle with one colour.
class CFillControl : public CNWControl {
public:
    CFillControl(CNWControlSite* site, COLORREF c) : CNWControl(site), colour(c) {}
    void Draw(CDC* dc) override { dc->FillSolidRect(&m_rect, colour); }
    COLORREF colour;
};

// Places a control and hands it to its site.
template <class T>
T* Place(CNWControlSite& site, T* control, int x, int y, bool tabStop = true, SIZE size = {0, 0})
{
    site.AddControl(control, tabStop);
    if (size.cx || size.cy)
        control->SetSize(size);
    control->SetPosition(CPoint(x, y), true);
    return control;
}

// A host with the controls' bitmaps registered: a 40 x 20 button (off, on
// and disabled faces), a 60 x 18 spinner (and its disabled face), a knob
// filmstrip of 64 frames of 32 x 32 in two rows, and an 80 x 16 panel.
class NWControlTest : public UiTest {
protected:
    static constexpr UINT kButtonOff = 9201, kButtonOn = 9202, kButtonDisabled = 9203, kSpinner = 9204,
                          kSpinnerDisabled = 9205, kKnob = 9206, kPanel = 9207;
    void SetUp() override
    {
        UiTest::SetUp();
        images[0] = ButtonFace(40, 20, QColor(96, 102, 112), QColor(90, 230, 90), false);
        images[1] = ButtonFace(40, 20, QColor(96, 102, 112), QColor(90, 230, 90), true);
        images[2] = ButtonFace(40, 20, QColor(72, 74, 78), QColor(90, 90, 90), false);
        images[3] = SpinnerFace(60, 18);
        images[4] = SpinnerFace(60, 18).convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
        images[5] = KnobStrip(64, 32);
        images[6] = QImage(80, 16, QImage::Format_RGB32);
        images[6].fill(QColor(40, 44, 52));
        for (UINT i = 0; i < 7; ++i)
            RegisterImage(kButtonOff + i, images[i]);
        ASSERT_TRUE(host.Make(240, 120));
    }
    void TearDown() override
    {
        host.RemoveAllControls();
        for (UINT i = 0; i < 7; ++i)
            mvui::RegisterBitmapResource(nullptr, kButtonOff + i, CBitmap());
        UiTest::TearDown();
    }
    // The host's pixel at a client point, painted up to date.
    QColor Pixel(int x, int y)
    {
        host.Invalidate();
        host.UpdateWindow();
        return mvui::WindowSurface(host.m_hWnd).pixelColor(x, y);
    }
    // The calls of one kind that the controls draw now.
    std::vector<DcCall> Drawn(const char* op)
    {
        std::vector<DcCall> out;
        for (const DcCall& c : host.Record())
            if (c.op == CString(op))
                out.push_back(c);
        return out;
    }

    CNWTestHost host;
    QImage images[7];
};

}  // namespace mvtest
