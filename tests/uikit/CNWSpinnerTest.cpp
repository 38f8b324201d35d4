// The spinner, driven by clicks in its arrow area, vertical drags, double
// clicks and keys: each step reaches the host as a change to 1 (up) or 0
// (down) and the value rests at the middle again.
#include "uikit/CNWSpinner.h"

#include <gtest/gtest.h>

#include "tests/uikit/NWTestHost.h"

using Log = std::vector<std::string>;

namespace {

// The spinner sits at (20, 20), 60 x 18: its arrow area runs from x = 60,
// its middle is at y = 29.
class CNWSpinnerTest : public mvtest::NWControlTest {
protected:
    void SetUp() override
    {
        NWControlTest::SetUp();
        spin = mvtest::Place(host, new CNWSpinner(&host, kSpinner, kSpinnerDisabled), 20, 20);
    }
    CNWSpinner* spin = nullptr;
};

TEST_F(CNWSpinnerTest, ClicksInTheArrowAreaStepByTheHalfTheyHit)
{
    EXPECT_EQ(spin->GetArrowRect(), CRect(60, 20, 80, 38));
    struct Case {
        int x, y;
        Log log;
    };
    const Case cases[] = {{70, 22, {"begin 10", "changed 10 1", "end 10"}},
                          {70, 36, {"begin 10", "changed 10 0", "end 10"}},
                          {30, 22, {"begin 10", "end 10"}}};  // left of the arrows: no step
    for (const Case& c : cases) {
        host.Click(c.x, c.y);
        EXPECT_EQ(host.TakeLog(), c.log) << c.x << "," << c.y;
        EXPECT_DOUBLE_EQ(spin->GetValue(), 0.5);
    }
    // Moved a single pixel before the release: still one step, by the click.
    host.Press(70, 24);
    host.Move(70, 23);
    host.Release(70, 23);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "changed 10 1", "end 10"}));
}

TEST_F(CNWSpinnerTest, DragsStepOncePerMoveAndPutThePointerBack)
{
    host.Press(30, 29);
    host.Move(30, 26);
    host.Move(30, 28);  // one pixel from the press point: nothing
    host.Move(30, 33);
    host.Release(70, 22);  // in the arrow area, but the drag already stepped
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "changed 10 1", "changed 10 0", "end 10"}));
    POINT pointer{};
    GetCursorPos(&pointer);
    CPoint press(30, 29);
    host.CWnd::ClientToScreen(&press);
    EXPECT_EQ(CPoint(pointer), press);
    EXPECT_DOUBLE_EQ(spin->GetValue(), 0.5);
}

TEST_F(CNWSpinnerTest, ADoubleClickOutsideTheArrowsIsAClickAndEndsItsEditOnce)
{
    host.DoubleClick(30, 29);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "end 10", "begin 10", "clicked 10", "end 10"}));
    EXPECT_EQ(spin->GetEditDepth(), 0);
    // Later gestures still report their begin and end.
    host.Click(70, 22);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "changed 10 1", "end 10"}));
}

TEST_F(CNWSpinnerTest, KeysStepToTheEndsAndRestAtTheMiddleOfTheRange)
{
    spin->SetRange(2.0, 6.0);
    host.SetFocusControl(spin);
    host.Key(VK_UP);
    EXPECT_DOUBLE_EQ(spin->GetValue(), 4.0);
    host.Wheel(-1);
    EXPECT_DOUBLE_EQ(spin->GetValue(), 4.0);
    host.Key(VK_SPACE);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "changed 10 6", "end 10", "begin 10", "changed 10 2", "end 10",
                                   "clicked 10"}));
}

TEST_F(CNWSpinnerTest, DrawsItsCaptionAtTheLeftAndTheDisabledFaceWhenNotEditable)
{
    spin->SetText("+2");
    NWAPPEARANCE a{};
    a.showText = TRUE;
    a.text1 = RGB(230, 230, 230);
    a.textMargin = 4;
    a.mask = NWA_SHOWTEXT | NWA_TEXT1 | NWA_TEXTMARGIN;
    spin->SetAppearance(a);
    auto texts = Drawn("DrawText");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_STREQ(texts[0].text, "+2");
    EXPECT_EQ(texts[0].rect, CRect(24, 20, 80, 38));
    EXPECT_EQ(texts[0].flags & (DT_CENTER | DT_RIGHT), 0u);
    EXPECT_EQ(Pixel(75, 21), images[3].pixelColor(55, 1));
    mvtest::Shot(host, "spinner");
    spin->SetEditable(false);
    EXPECT_EQ(Pixel(75, 21), images[4].pixelColor(55, 1));
    host.Click(70, 22);
    EXPECT_TRUE(host.TakeLog().empty());
}

}  // namespace
