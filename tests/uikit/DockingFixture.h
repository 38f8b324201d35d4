// A frame as the studio's main frame sets it up for docking: a main view
// (AFX_IDW_PANE_FIRST) in the middle, the four dock bars as CDockBarEx, an
// application whose main window it is, and input that reaches the windows
// the way a user's does: mouse and keys through Qt at screen points, and
// drags whose moves and release arrive while the drag loop runs.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/CDC.h"
#include "platform/ui/CDockBar.h"
#include "platform/ui/CFrameWnd.h"
#include "platform/ui/CMiniDockFrameWnd.h"
#include "platform/ui/CSplitterWnd.h"
#include "platform/ui/CView.h"
#include "platform/ui/CWinApp.h"
#include "tests/platform/ui/UserInput.h"
#include "uikit/CDockBarEx.h"
#include "uikit/CSizingControlBar.h"

namespace mvtest {

class MainView : public CView {
public:
    void OnDraw(CDC* dc) override
    {
        CRect r;
        GetClientRect(&r);
        dc->FillSolidRect(&r, RGB(250, 250, 246));
    }
};

// Counts its layouts, so a test sees whether the layout settles.
class DockFrame : public CFrameWnd {
public:
    int layouts = 0;
    void RecalcLayout(BOOL notify = TRUE) override
    {
        ++layouts;
        CFrameWnd::RecalcLayout(notify);
    }
};

class DockingTest : public UiTest {
protected:
    static constexpr UINT kFirstBar = 0xE810;
    void SetUp() override
    {
        UiTest::SetUp();
        app = std::make_unique<CWinApp>("dock test");
        ASSERT_TRUE(frame.CreateEx(0, nullptr, "frame", WS_POPUP | WS_VISIBLE, CRect(100, 100, 740, 580), nullptr, 0));
        ASSERT_TRUE(view.CreateEx(0, nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 640, 480), &frame,
                                  AFX_IDW_PANE_FIRST));
        app->m_pMainWnd = &frame;
        frame.EnableDocking(CBRS_ALIGN_ANY, [] { return new CDockBarEx; });
        frame.RecalcLayout();
        mvui::PumpMessages();
    }
    void TearDown() override
    {
        frame.DestroyWindow();
        app->m_pMainWnd = nullptr;
        UiTest::TearDown();
    }

    // Creates `bar` docked at `side`; `size` is its size in every state.
    template <class Bar>
    void Dock(Bar& bar, UINT id, UINT side, CSize size = CSize(200, 100), const char* title = "Bar")
    {
        ASSERT_TRUE(bar.Create(title, &frame, size, TRUE, id, WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_SIZE_DYNAMIC));
        bar.EnableDocking(CBRS_ALIGN_ANY);
        frame.DockControlBar(&bar, side);
        Settle();
    }
    void Settle()
    {
        frame.RecalcLayout();
        mvui::PumpMessages();
        mvui::PumpMessages();
    }

    static CRect WindowRect(const CWnd& w)
    {
        CRect r;
        w.GetWindowRect(&r);
        return r;
    }
    // A rectangle relative to the frame's client area.
    CRect InFrame(const CWnd& w) const
    {
        CRect r = WindowRect(w);
        frame.ScreenToClient(&r);
        return r;
    }

    static void Press(CWnd& target, CPoint screen) { mvtest::PressAt(target, screen); }
    static void Release(CWnd& target, CPoint screen) { mvtest::ReleaseAt(target, screen); }
    static void MoveTo(CWnd& target, CPoint screen) { mvtest::MoveAt(target, screen); }

    // A press on `target` at `from` whose drag loop then sees the pointer
    // move along `path` (each step after `between`, if any) and the button
    // come up at the last point.
    void Drag(CWnd& target, CPoint from, std::vector<CPoint> path, std::function<void(int)> between = {})
    {
        const HWND h = target.m_hWnd;
        RunLater([h, path, between] {
            CWnd* t = CWnd::FromHandle(h);
            if (!t)
                return;
            for (std::size_t i = 0; i < path.size(); ++i) {
                if (between)
                    between(static_cast<int>(i));
                MoveTo(*t, path[i]);
            }
            Release(*t, path.back());
        });
        Press(target, from);
        mvui::PumpMessages();
    }

    std::unique_ptr<CWinApp> app;
    DockFrame frame;
    MainView view;
};

}  // namespace mvtest
