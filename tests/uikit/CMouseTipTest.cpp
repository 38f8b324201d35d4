// The value tip: sized to its text, placed at the point it is given and
// kept fully on the screen, drawn in the tool-tip colours.
#include "uikit/CMouseTip.h"

#include <gtest/gtest.h>

#include "tests/uikit/NWTestHost.h"

namespace {

class CMouseTipTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(tip.Create());
    }
    CMouseTip tip;
};

TEST_F(CMouseTipTest, SitsAtItsPointAndStaysOnTheScreen)
{
    const int sw = GetSystemMetrics(SM_CXSCREEN);
    const int sh = GetSystemMetrics(SM_CYSCREEN);
    CSize text;
    {
        CClientDC dc(&tip);
        dc.SelectObject(CMouseTip::TipFont());
        text = dc.GetTextExtent("-12.5 dB");
    }
    const int w = text.cx + 6, h = text.cy + 4;
    const struct {
        POINT at;
        CPoint topLeft;
    } cases[] = {{{100, 80}, {100, 80}},
                 {{sw - 3, 80}, {sw - w, 80}},
                 {{-20, -5}, {0, 0}},
                 {{50, sh - 1}, {50, sh - h}}};
    for (const auto& c : cases) {
        tip.SetTipText("-12.5 dB", c.at);
        CRect r;
        tip.GetWindowRect(&r);
        EXPECT_EQ(r.TopLeft(), c.topLeft) << c.at.x << "," << c.at.y;
        EXPECT_EQ(r.Width(), w);
        EXPECT_EQ(r.Height(), h);
    }
    EXPECT_STREQ(tip.GetWindowText(), "-12.5 dB");
    tip.Show(true);
    EXPECT_TRUE(tip.IsWindowVisible());
    mvtest::Shot(tip, "valuetip-db");
    const QImage shown = mvui::WindowSurface(tip.m_hWnd);
    const COLORREF back = GetSysColor(COLOR_INFOBK);
    EXPECT_EQ(shown.pixelColor(2, h - 2), QColor(GetRValue(back), GetGValue(back), GetBValue(back)));
    tip.Show(false);
    EXPECT_FALSE(tip.IsWindowVisible());
}

}  // namespace
