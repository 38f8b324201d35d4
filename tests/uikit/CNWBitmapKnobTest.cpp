// The knob, driven by drags, double clicks and the wheel: its value and
// frame, the hidden pointer and the value tip during a drag, its caption
// abbreviated to its width, and the highlighted row.
#include "uikit/CNWBitmapKnob.h"

#include <gtest/gtest.h>

#include "uikit/CMouseTip.h"
#include "uikit/CNWBitmap.h"
#include "tests/uikit/NWTestHost.h"

using Log = std::vector<std::string>;

namespace {

// The knob sits at (100, 20), 32 wide and 48 high: its image is the top
// 32 x 32, its caption below.
class CNWBitmapKnobTest : public mvtest::NWControlTest {
protected:
    void SetUp() override
    {
        NWControlTest::SetUp();
        knob = mvtest::Place(host, new CNWBitmapKnob(&host, kKnob, 64, 2, -1, -1), 100, 20);
        knob->SetSize(CSize(32, 48));
        knob->SetValue(0.0, false);
    }
    void Drag(int fromY, int toY)
    {
        host.Press(116, fromY);
        host.Move(116, toY);
    }
    CNWBitmapKnob* knob = nullptr;
};

TEST_F(CNWBitmapKnobTest, TheFrameFollowsTheValue)
{
    EXPECT_EQ(knob->GetFrameWidth(), 32);
    EXPECT_EQ(knob->GetFrameHeight(), 32);
    EXPECT_EQ(knob->GetImageRect(), CRect(100, 20, 132, 52));
    EXPECT_EQ(knob->GetCaptionRect(), CRect(100, 52, 132, 68));
    const struct {
        double value;
        int frame;
    } cases[] = {{0.0, 0}, {0.5, 32}, {1.0, 63}, {0.25, 16}};
    for (const auto& c : cases) {
        knob->SetValue(c.value, false);
        EXPECT_EQ(knob->FrameIndex(), c.frame) << c.value;
    }
    // Selected, it shows the lit row.
    knob->SetValue(0.5, false);
    EXPECT_EQ(Pixel(116, 23), images[5].pixelColor(32 * 32 + 16, 3));
    knob->SetSelected(true);
    EXPECT_EQ(Pixel(116, 23), images[5].pixelColor(32 * 32 + 16, 32 + 3));
}

TEST_F(CNWBitmapKnobTest, DragUpTurnsItWithThePointerHiddenAndTheValueTipShown)
{
    knob->SetText("Cutoff");
    mvui::SetKeyDown(VK_LBUTTON, true);
    Drag(40, 40 - 284);
    EXPECT_NEAR(knob->GetValue(), 1.0, 0.002);
    EXPECT_EQ(host.GetCursorShowCount(), -1);
    CMouseTip* tip = host.GetMouseTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(tip->IsWindowVisible());
    EXPECT_STREQ(tip->GetWindowText(), "Cutoff");
    CRect at;
    tip->GetWindowRect(&at);
    EXPECT_EQ(at.TopLeft(), CPoint(100 + 100, 100 + 68));  // the knob's bottom-left corner
    mvtest::Shot(*tip, "valuetip");
    mvtest::Shot(host, "knob-dragging");
    // The pointer is held where the drag began; further moves go no further than the maximum.
    POINT pointer{};
    GetCursorPos(&pointer);
    EXPECT_EQ(CPoint(pointer), CPoint(100 + 116, 100 + 40));
    for (int i = 0; i < 5; ++i)
        host.Move(116, 38);
    EXPECT_DOUBLE_EQ(knob->GetValue(), 1.0);
    mvui::SetKeyDown(VK_LBUTTON, false);
    host.Release(116, 38);
    EXPECT_EQ(host.GetCursorShowCount(), 0);
    EXPECT_FALSE(tip->IsWindowVisible());
    const Log log = host.TakeLog();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.front(), "begin 10");
    EXPECT_EQ(log.back(), "end 10");
    EXPECT_EQ(std::count(log.begin(), log.end(), "begin 10"), 1);
}

TEST_F(CNWBitmapKnobTest, DragDownTurnsItBackAndStopsAtTheMinimum)
{
    knob->SetValue(0.5, false);
    Drag(40, 40 + 128);
    EXPECT_NEAR(knob->GetValue(), 0.5 - 0.45, 1e-9);
    host.Move(116, 40 + 128);
    EXPECT_DOUBLE_EQ(knob->GetValue(), 0.0);
    host.Release(116, 40);
}

TEST_F(CNWBitmapKnobTest, LosingTheCaptureMidDragShowsThePointerHidesTheTipAndEndsTheEdit)
{
    mvui::SetKeyDown(VK_LBUTTON, true);
    Drag(40, 30);
    ReleaseCapture();
    EXPECT_EQ(host.GetCursorShowCount(), 0);
    EXPECT_FALSE(host.GetMouseTip()->IsWindowVisible());
    EXPECT_FALSE(knob->IsTracking());
    EXPECT_EQ(knob->GetEditDepth(), 0);
    EXPECT_EQ(host.TakeLog().back(), "end 10");
}

TEST_F(CNWBitmapKnobTest, DoubleClickResetsToTheDefaultAndTheWheelStepsIt)
{
    knob->SetValue(0.9, false);
    knob->SetDefaultValue(0.5);
    host.DoubleClick(116, 30);
    EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5);
    EXPECT_EQ(knob->GetEditDepth(), 0);
    EXPECT_EQ(host.GetCursorShowCount(), 0);
    host.TakeLog();
    host.Wheel(1);
    EXPECT_DOUBLE_EQ(knob->GetValue(), 0.55);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "changed 10 0.55", "end 10"}));
}

TEST_F(CNWBitmapKnobTest, ACaptionTooWideIsAbbreviatedToFit)
{
    knob->SetText("Resonance");
    NWAPPEARANCE a{};
    a.showText = TRUE;
    a.text1 = RGB(230, 230, 230);
    a.mask = NWA_SHOWTEXT | NWA_TEXT1;
    knob->SetAppearance(a);
    auto texts = Drawn("DrawText");
    ASSERT_EQ(texts.size(), 1u);
    const CString shown = texts[0].text;
    EXPECT_FALSE(shown.IsEmpty());
    EXPECT_LT(shown.GetLength(), 9);
    CClientDC dc(&host);
    dc.SelectObject(CNWControl::LabelFont());
    EXPECT_LE(dc.GetTextExtent(shown).cx, 32);
    EXPECT_TRUE(texts[0].flags & DT_CENTER);
    mvtest::Shot(host, "knob");
}

TEST_F(CNWBitmapKnobTest, RightClickOpensTheMenuAtThePressPoint)
{
    host.RightClick(110, 30);
    EXPECT_EQ(host.TakeLog(), (Log{"menu 10 110,30 open"}));
    EXPECT_FALSE(knob->IsMenuOpen());
}

TEST_F(CNWBitmapKnobTest, AStarredPanelCaptionKeepsItsMarkWhenShortened)
{
    auto* panel = mvtest::Place(host, new CNWBitmap(&host, kPanel), 10, 90);
    EXPECT_EQ(panel->GetSize().cx, 80);
    CClientDC dc(&host);
    dc.SelectObject(CNWControl::SmallFont());
    const CString cut = CNWBitmap::FitStarredCaption(&dc, "A Very Long Pattern Name*", 80);
    EXPECT_EQ(cut.Right(4), CString("...*"));
    EXPECT_LE(dc.GetTextExtent(cut).cx, 80);
    EXPECT_STREQ(CNWBitmap::FitStarredCaption(&dc, "Short*", 80), "Short*");
    EXPECT_STREQ(CNWBitmap::FitStarredCaption(&dc, "No mark but far too long to fit", 80),
                 "No mark but far too long to fit");
    EXPECT_STREQ(CNWBitmap::FitStarredCaption(&dc, "Wide*", 1), "...*");
}

}  // namespace
