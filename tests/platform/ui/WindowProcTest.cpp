// Window procedures: a replaced procedure sees every message first and
// passes it on with CallWindowProcA; putting the old one back restores the
// window object's own handling.
#include <gtest/gtest.h>

#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

constexpr UINT WM_PROBE = WM_APP + 7;
WNDPROC g_previous = nullptr;
std::vector<UINT> g_seen;

LRESULT Replacement(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_seen.push_back(message);
    if (message == WM_PROBE && wParam == 1)
        return 42;  // handled here, never reaches the window
    return CallWindowProcA(g_previous, hwnd, message, wParam, lParam);
}

class WindowProcTest : public mvtest::UiTest {};

TEST_F(WindowProcTest, ReplacedProcedureSeesMessagesFirstAndPassesThemOn)
{
    mvtest::LogWnd w;
    ASSERT_TRUE(w.CreateEx(WS_EX_TOOLWINDOW, "Gadget", "w", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
    EXPECT_EQ(w.GetExStyle(), WS_EX_TOOLWINDOW);
    char name[4];
    EXPECT_EQ(GetClassNameA(w.m_hWnd, name, sizeof name), 3);
    EXPECT_STREQ(name, "Gad");
    g_seen.clear();
    g_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(w.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Replacement)));
    w.log.clear();
    EXPECT_EQ(w.SendMessage(WM_PROBE, 1), 42);
    w.SendMessage(WM_PROBE, 2);
    EXPECT_EQ(g_seen, (std::vector<UINT>{WM_PROBE, WM_PROBE}));
    EXPECT_EQ(w.Only({WM_PROBE}), std::vector<UINT>{WM_PROBE});
    SetWindowLongPtrA(w.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_previous));
    w.SendMessage(WM_PROBE, 1);
    EXPECT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(w.Only({WM_PROBE}).size(), 2u);
}

TEST_F(WindowProcTest, SiblingsInCreationOrder)
{
    CWnd parent, a, b;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "p", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
    ASSERT_TRUE(a.CreateEx(0, nullptr, "a", WS_CHILD, CRect(0, 0, 5, 5), &parent, 1));
    ASSERT_TRUE(b.CreateEx(0, nullptr, "b", WS_CHILD, CRect(0, 0, 5, 5), &parent, 2));
    EXPECT_EQ(parent.GetWindow(GW_CHILD), &a);
    EXPECT_EQ(a.GetWindow(GW_HWNDNEXT), &b);
    EXPECT_EQ(b.GetWindow(GW_HWNDNEXT), nullptr);
    EXPECT_EQ(b.GetWindow(GW_HWNDPREV), &a);
}

TEST_F(WindowProcTest, ForegroundChangeTellsBothWindows)
{
    mvtest::LogWnd a, b;
    ASSERT_TRUE(a.CreateEx(0, nullptr, "a", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
    ASSERT_TRUE(b.CreateEx(0, nullptr, "b", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
    a.SetForegroundWindow();
    b.SetForegroundWindow();
    EXPECT_EQ(GetForegroundWindow(), b.m_hWnd);
    ASSERT_NE(a.Last(WM_NCACTIVATE), nullptr);
    EXPECT_EQ(a.Last(WM_NCACTIVATE)->wParam, 0u);
    EXPECT_EQ(b.Last(WM_NCACTIVATE)->wParam, 1u);
}

}  // namespace
