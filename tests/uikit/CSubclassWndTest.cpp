// Hooks on a window: the newest sees each message first and passing it on
// reaches the older hook, then the window; the last hook to leave restores
// the window's own procedure; destroying the window unhooks all of them
// before its own WM_NCDESTROY handling.
#include "uikit/CSubclassWnd.h"

#include <gtest/gtest.h>

#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "uikit/CSubclassWndMap.h"

namespace {

constexpr UINT WM_PROBE = WM_APP + 3;

// Notes each message in a shared trail, then passes it on (or answers
// WM_PROBE itself when told to).
class TrailHook : public CSubclassWnd {
public:
    TrailHook(std::vector<std::string>& trail, std::string name) : m_trail(trail), m_name(std::move(name)) {}
    bool eatProbe = false;
    bool sawNcDestroy = false;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_PROBE) {
            m_trail.push_back(m_name);
            if (eatProbe)
                return 7;
            // A nested message on the way must not disturb what Default() passes on.
            HookedWindow()->SendMessage(WM_NULL);
            return Default();
        }
        if (message == WM_NCDESTROY)
            sawNcDestroy = true;
        return CSubclassWnd::WindowProc(message, wParam, lParam);
    }

private:
    std::vector<std::string>& m_trail;
    std::string m_name;
};

class CSubclassWndTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(window.CreateEx(0, nullptr, "w", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
        ownProc = GetWindowLongPtrA(window.m_hWnd, GWLP_WNDPROC);
        window.on[WM_PROBE] = [this](WPARAM wParam, LPARAM) { trail.push_back("window " + std::to_string(wParam)); };
    }
    mvtest::LogWnd window;
    LONG_PTR ownProc = 0;
    std::vector<std::string> trail;
};

TEST_F(CSubclassWndTest, NewestHookFirstThenOlderThenTheWindow)
{
    TrailHook older(trail, "older"), newer(trail, "newer");
    older.HookWindow(&window);
    newer.HookWindow(&window);
    window.SendMessage(WM_PROBE, 5);
    EXPECT_EQ(trail, (std::vector<std::string>{"newer", "older", "window 5"}));
    trail.clear();
    newer.eatProbe = true;
    EXPECT_EQ(window.SendMessage(WM_PROBE, 6), 7);
    EXPECT_EQ(trail, std::vector<std::string>{"newer"});
}

TEST_F(CSubclassWndTest, RemovingHooksInAnyOrderKeepsTheRestAndTheLastRestoresTheWindow)
{
    for (const bool olderFirst : {true, false}) {
        TrailHook older(trail, "older"), newer(trail, "newer");
        older.HookWindow(&window);
        newer.HookWindow(&window);
        (olderFirst ? older : newer).HookWindow(nullptr);
        EXPECT_NE(GetWindowLongPtrA(window.m_hWnd, GWLP_WNDPROC), ownProc);
        trail.clear();
        window.SendMessage(WM_PROBE, 1);
        EXPECT_EQ(trail, (std::vector<std::string>{olderFirst ? "newer" : "older", "window 1"}));
        (olderFirst ? newer : older).HookWindow(nullptr);
        EXPECT_EQ(GetWindowLongPtrA(window.m_hWnd, GWLP_WNDPROC), ownProc);
        EXPECT_EQ(CSubclassWndMap::Instance().Lookup(window.m_hWnd), nullptr);
    }
}

TEST_F(CSubclassWndTest, DestroyingTheWindowUnhooksAllBeforeItsOwnLastMessage)
{
    TrailHook a(trail, "a"), b(trail, "b");
    a.HookWindow(&window);
    b.HookWindow(&window);
    const HWND hwnd = window.m_hWnd;
    window.DestroyWindow();
    EXPECT_FALSE(a.IsHooked());
    EXPECT_FALSE(b.IsHooked());
    EXPECT_FALSE(a.sawNcDestroy || b.sawNcDestroy);
    EXPECT_EQ(window.Only({WM_NCDESTROY}), std::vector<UINT>{WM_NCDESTROY});
    EXPECT_EQ(CSubclassWndMap::Instance().Lookup(hwnd), nullptr);
}

TEST_F(CSubclassWndTest, DeletingAHookTakesItOff)
{
    {
        TrailHook a(trail, "a");
        a.HookWindow(&window);
    }
    EXPECT_EQ(GetWindowLongPtrA(window.m_hWnd, GWLP_WNDPROC), ownProc);
    window.SendMessage(WM_PROBE, 2);
    EXPECT_EQ(trail, std::vector<std::string>{"window 2"});
}

}  // namespace
