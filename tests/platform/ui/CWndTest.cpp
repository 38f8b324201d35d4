#include "platform/ui/CWnd.h"

#include <gtest/gtest.h>

#include "tests/platform/ui/UiTestSupport.h"

namespace {

class CWndTest : public mvtest::UiTest {};

TEST_F(CWndTest, StaleHandleIsRefused)
{
    auto wnd = std::make_unique<CWnd>();
    ASSERT_TRUE(wnd->CreateEx(0, nullptr, "w", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
    const HWND h = wnd->m_hWnd;
    EXPECT_TRUE(IsWindow(h));
    wnd.reset();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(CWnd::FromHandle(h), nullptr);
    EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 0);
    // The slot's next tenant does not answer to the old handle.
    CWnd next;
    ASSERT_TRUE(next.CreateEx(0, nullptr, "n", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    EXPECT_NE(next.m_hWnd, h);
    EXPECT_EQ(CWnd::FromHandle(h), nullptr);
}

}  // namespace
