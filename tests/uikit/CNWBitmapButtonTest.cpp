// The toggle and its bitmap button, driven by clicks and keys: the value,
// the notifications and the face drawn (on, off, pressed, disabled), and
// the cache references it holds.
#include "uikit/CNWBitmapButton.h"

#include <gtest/gtest.h>

#include "uikit/CBitmapCache.h"
#include "tests/uikit/NWTestHost.h"

using Log = std::vector<std::string>;

namespace {

class CNWBitmapButtonTest : public mvtest::NWControlTest {
protected:
    CNWBitmapButton* Button(int mode, int x = 20, int y = 20)
    {
        return mvtest::Place(host, new CNWBitmapButton(&host, kButtonOff, kButtonOn, kButtonDisabled, mode), x, y);
    }
    // The lamp stripe of a button at (20, 20) as drawn.
    QColor Lamp() { return Pixel(40, 24); }
    QColor LampOf(int image) { return images[image].pixelColor(20, 4); }
};

TEST_F(CNWBitmapButtonTest, PressModeSwitchesOnThePressAndReportsAClick)
{
    CNWBitmapButton* b = Button(CNWToggleControl::kSwitchOnPress);
    EXPECT_EQ(b->GetSize().cx, 40);  // sized to its normal face
    EXPECT_EQ(b->GetSize().cy, 20);
    host.Press(25, 25);
    EXPECT_DOUBLE_EQ(b->GetValue(), 1.0);
    host.Release(25, 25);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "changed 10 1", "end 10", "clicked 10", "begin 10", "end 10"}));
    host.Click(25, 25);
    EXPECT_DOUBLE_EQ(b->GetValue(), 0.0);
    EXPECT_EQ(b->GetEditDepth(), 0);
}

TEST_F(CNWBitmapButtonTest, ReleaseModeFlipsOutsideButReportsAClickOnlyInside)
{
    CNWBitmapButton* b = Button(CNWToggleControl::kSwitchOnRelease);
    host.Press(25, 25);
    EXPECT_DOUBLE_EQ(b->GetValue(), 0.0);
    host.Move(150, 90);
    host.Release(150, 90);
    EXPECT_DOUBLE_EQ(b->GetValue(), 1.0);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "changed 10 1", "end 10"}));
    host.Click(25, 25);
    EXPECT_DOUBLE_EQ(b->GetValue(), 0.0);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "changed 10 0", "clicked 10", "end 10"}));
}

TEST_F(CNWBitmapButtonTest, WithoutClickInputOnlyTheProgramSetsTheCheck)
{
    CNWBitmapButton* b = Button(CNWToggleControl::kSwitchOnPress);
    NWAPPEARANCE a{};
    a.clickInput = FALSE;
    a.mask = NWA_CLICKINPUT;
    b->SetAppearance(a);
    b->SetCheck(true, true);
    EXPECT_DOUBLE_EQ(b->GetValue(), 0.0);
    host.Click(25, 25);
    EXPECT_DOUBLE_EQ(b->GetValue(), 0.0);
    b->SetCheck(true, false);
    EXPECT_DOUBLE_EQ(b->GetValue(), 1.0);
}

TEST_F(CNWBitmapButtonTest, KeyActionsSetTheStateAndReportChanges)
{
    CNWBitmapButton* b = Button(CNWToggleControl::kSwitchOnPress);
    host.SetFocusControl(b);
    struct Case {
        int key;
        double before;
        double after;
        bool clicked;
    };
    const Case cases[] = {{VK_SPACE, 0, 1, true}, {VK_SPACE, 1, 0, true}, {VK_UP, 0, 1, true},
                          {VK_UP, 1, 1, false},   {VK_HOME, 1, 0, true},  {VK_DOWN, 0, 0, false}};
    for (const Case& c : cases) {
        b->SetValue(c.before, false);
        host.TakeLog();
        host.Key(c.key);
        EXPECT_DOUBLE_EQ(b->GetValue(), c.after) << c.key;
        const Log log = host.TakeLog();
        EXPECT_EQ(!log.empty() && log.back() == "clicked 10", c.clicked) << c.key;
    }
}

TEST_F(CNWBitmapButtonTest, DrawsTheFaceOfItsStateWithASunkenFrameWhilePressed)
{
    CNWBitmapButton* b = Button(CNWToggleControl::kSwitchOnRelease);
    b->SetText("Mute");
    NWAPPEARANCE a{};
    a.showText = TRUE;
    a.mask = NWA_SHOWTEXT;
    b->SetAppearance(a);
    EXPECT_EQ(Lamp(), LampOf(0));
    mvtest::Shot(host, "button-off");

    auto texts = Drawn("DrawText");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_STREQ(texts[0].text, "Mute");
    EXPECT_EQ(texts[0].rect, CRect(20, 20, 60, 40));
    EXPECT_TRUE(texts[0].flags & DT_CENTER);

    host.Press(25, 25);
    auto frames = Drawn("Draw3dRect");
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0].colour, GetSysColor(COLOR_BTNSHADOW));  // sunken: shadow at the top left
    host.Release(25, 25);
    EXPECT_EQ(Lamp(), LampOf(1));
    mvtest::Shot(host, "button-on");

    b->SetEditable(false);
    EXPECT_EQ(Lamp(), LampOf(2));
    texts = Drawn("DrawText");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].colour, GetSysColor(COLOR_GRAYTEXT));
    mvtest::Shot(host, "button-disabled");

    b->Enable(false);
    EXPECT_TRUE(host.Record().empty());
}

TEST_F(CNWBitmapButtonTest, HoverAndFocusDrawRaisedFrames)
{
    CNWBitmapButton* b = Button(CNWToggleControl::kSwitchOnPress);
    host.Move(25, 25, 0);
    auto frames = Drawn("Draw3dRect");
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].colour, GetSysColor(COLOR_BTNHIGHLIGHT));
    host.SendMessage(WM_MOUSELEAVE);
    EXPECT_TRUE(Drawn("Draw3dRect").empty());
    NWAPPEARANCE a{};
    a.focusMark = TRUE;
    a.mask = NWA_FOCUSMARK;
    b->SetAppearance(a);
    host.SetFocusControl(b);
    EXPECT_EQ(Drawn("Draw3dRect").size(), 1u);
}

TEST_F(CNWBitmapButtonTest, HoldsACacheReferenceOnEachOfItsBitmaps)
{
    CNWBitmapButton* b = Button(CNWToggleControl::kSwitchOnPress);
    CNWBitmapButton* other = Button(CNWToggleControl::kSwitchOnPress, 80);
    ASSERT_NE(g_bitmapCache.Lookup(kButtonOn), nullptr);
    b->SetBitmaps(kButtonOff, 0, 0);
    EXPECT_NE(g_bitmapCache.Lookup(kButtonOn), nullptr);  // the other still holds it
    host.RemoveControl(other);
    delete other;
    EXPECT_EQ(g_bitmapCache.Lookup(kButtonOn), nullptr);
    EXPECT_EQ(g_bitmapCache.Lookup(kButtonDisabled), nullptr);
    EXPECT_NE(g_bitmapCache.Lookup(kButtonOff), nullptr);
    host.RemoveAllControls();
    EXPECT_EQ(g_bitmapCache.Lookup(kButtonOff), nullptr);
}

TEST_F(CNWBitmapButtonTest, RightClickAsksTheHostForTheMenu)
{
    CNWBitmapButton* b = Button(CNWToggleControl::kSwitchOnPress);
    host.RightClick(30, 25);
    EXPECT_EQ(host.TakeLog(), (Log{"menu 10 30,25"}));
    EXPECT_FALSE(b->IsTracking());
}

}  // namespace
