// Drop-down and edit controls, driven by clicks and double clicks: the menu
// the host is handed (and opens below the control), the click reported for
// the text part or a double click, and what they draw.
#include "uikit/CDropDownCtrl.h"

#include <gtest/gtest.h>

#include "platform/ui/CMenu.h"
#include "uikit/CBitmapDropDownCtrl.h"
#include "uikit/CBitmapEditControl.h"
#include "uikit/CNWEditControl.h"
#include "tests/uikit/NWTestHost.h"

using Log = std::vector<std::string>;

namespace {

// A host that fills a drop-down's menu and shows it below the control.
class CMenuHost : public mvtest::CNWTestHost {
public:
    void OnControlContextMenu(CNWControl* c, POINT p, CMenu* menu) override
    {
        CNWTestHost::OnControlContextMenu(c, p, menu);
        menu->AppendMenu(MF_STRING, 101, "48000 Hz");
        menu->AppendMenu(MF_STRING, 102, "44100 Hz");
        chosen = TrackPopupMenuBelowControl(this, c, menu);
    }
    UINT chosen = 0;
};

class CDropDownCtrlTest : public mvtest::NWControlTest {
protected:
    static constexpr UINT kEditFace = 9301, kDropFace = 9302, kDropPressed = 9303;
    void SetUp() override
    {
        NWControlTest::SetUp();
        // The shared arrow glyphs: twelve 9 x 8 triangles on magenta.
        QImage glyphs(9 * 12, 8, QImage::Format_RGB32);
        glyphs.fill(QColor(255, 0, 255));
        QPainter p(&glyphs);
        for (int i = 0; i < 12; ++i)
            p.fillRect(i * 9 + 2, 2, 5, 3, i == 1 ? QColor(120, 120, 120) : QColor(230, 230, 230));
        p.end();
        mvtest::RegisterImage(CDropDownCtrl::kArrowBitmap, glyphs);
        QImage face(90, 18, QImage::Format_RGB32);
        face.fill(QColor(24, 26, 30));
        mvtest::RegisterImage(kEditFace, face);
        mvtest::RegisterImage(kDropFace, face);
        QImage pressed(90, 18, QImage::Format_RGB32);
        pressed.fill(QColor(70, 110, 170));
        mvtest::RegisterImage(kDropPressed, pressed);
        ASSERT_TRUE(menuHost.Make(240, 80, 100, 300));
    }
    void TearDown() override
    {
        menuHost.RemoveAllControls();
        for (UINT id : {UINT(CDropDownCtrl::kArrowBitmap), kEditFace, kDropFace, kDropPressed})
            mvui::RegisterBitmapResource(nullptr, id, CBitmap());
        NWControlTest::TearDown();
    }
    CDropDownCtrl* DropDown(mvtest::CNWTestHost& on)
    {
        auto* d = mvtest::Place(on, new CDropDownCtrl(&on), 10, 10, true, CSize(100, 20));
        d->SetText("44100 Hz");
        return d;
    }
    CMenuHost menuHost;
};

TEST_F(CDropDownCtrlTest, ArrowAndTextAreasAreLaidOutFromTheRightSide)
{
    CDropDownCtrl* d = DropDown(host);
    EXPECT_EQ(d->GetArrowRect(), CRect(98, 16, 110, 24));
    EXPECT_EQ(d->GetTextRect(), CRect(10, 10, 98, 30));
    d->SetArrowImages(12, -1);
    EXPECT_EQ(d->GetArrowImage(true), 0);
    EXPECT_EQ(d->GetArrowImage(false), 1);
    d->SetArrowImages(3, 4);
    EXPECT_EQ(d->GetArrowImage(true), 3);
    EXPECT_EQ(d->GetArrowImage(false), 4);
}

TEST_F(CDropDownCtrlTest, TheMenuOpensBelowTheControlAndReturnsTheChosenCommand)
{
    CDropDownCtrl* d = DropDown(menuHost);
    POINT shownAt{};
    mvui::SetMenuChooser([&](const CMenu& menu, POINT at) {
        shownAt = at;
        return menu.GetMenuItemID(1);
    });
    menuHost.Press(30, 20);
    EXPECT_TRUE(menuHost.TakeLog().empty());  // opens on the release
    menuHost.Release(30, 20);
    mvui::SetMenuChooser(nullptr);
    EXPECT_EQ(menuHost.TakeLog(), (Log{"menu 10 30,20"}));
    EXPECT_EQ(menuHost.chosen, 102u);
    EXPECT_EQ(CPoint(shownAt), CPoint(100 + 10, 300 + 30));
    EXPECT_FALSE(d->IsTracking());
    EXPECT_EQ(d->GetEditDepth(), 0);
}

TEST_F(CDropDownCtrlTest, AreasDecideWhatAClickDoes)
{
    CDropDownCtrl* d = DropDown(host);
    d->SetOpenOnRelease(false);
    host.Press(30, 20);  // opens on the press
    host.Release(30, 20);
    EXPECT_EQ(host.TakeLog(), (Log{"menu 10 30,20"}));
    d->EnableArrowArea(true);
    host.Click(30, 20);  // the text part, with no text area: nothing
    EXPECT_TRUE(host.TakeLog().empty());
    host.Click(104, 20);
    EXPECT_EQ(host.TakeLog(), (Log{"menu 10 104,20"}));
    d->EnableTextArea(true);
    host.Click(30, 20);
    EXPECT_EQ(host.TakeLog(), (Log{"clicked 10"}));
    d->SetEditable(false);
    host.Click(104, 20);
    EXPECT_TRUE(host.TakeLog().empty());
}

TEST_F(CDropDownCtrlTest, ADoubleClickIsAClickThatKeepsTheValueAndEndsItsGesture)
{
    CDropDownCtrl* d = DropDown(host);
    d->SetValue(0.7, false);
    host.DoubleClick(30, 20);
    const Log log = host.TakeLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "clicked 10"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "begin 10"), std::count(log.begin(), log.end(), "end 10"));
    EXPECT_DOUBLE_EQ(d->GetValue(), 0.7);
    EXPECT_EQ(d->GetEditDepth(), 0);
}

TEST_F(CDropDownCtrlTest, EditControlAsksForItsEditorOnADoubleClickOnlyWhileEditable)
{
    auto* e = mvtest::Place(host, new CNWEditControl(&host), 10, 40, true, CSize(80, 18));
    e->SetText("120.00");
    e->SetValue(0.0, false);
    host.Click(20, 45);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "end 10"}));
    host.DoubleClick(20, 45);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "end 10", "begin 10", "clicked 10", "end 10"}));
    EXPECT_DOUBLE_EQ(e->GetValue(), 0.0);
    e->SetEditable(false);
    host.DoubleClick(20, 45);
    EXPECT_TRUE(host.TakeLog().empty());
    auto texts = Drawn("DrawText");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_STREQ(texts[0].text, "120.00");
    EXPECT_EQ(texts[0].colour, GetSysColor(COLOR_GRAYTEXT));
    EXPECT_TRUE(texts[0].flags & DT_CENTER);
}

TEST_F(CDropDownCtrlTest, DrawsItsBackgroundTextAndArrow)
{
    CDropDownCtrl* d = DropDown(host);
    NWAPPEARANCE a{};
    a.background1 = RGB(24, 26, 30);
    a.text1 = RGB(230, 230, 230);
    a.mask = NWA_BACKGROUND1 | NWA_TEXT1;
    d->SetAppearance(a);
    const auto calls = host.Record();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_STREQ(calls[0].op, "FillSolidRect");
    EXPECT_EQ(calls[0].colour, RGB(24, 26, 30));
    auto blits = Drawn("TransparentBlt");
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_EQ(blits[0].rect.left, 98 + (12 - 9) / 2);
    auto texts = Drawn("DrawText");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rect, CRect(10, 10, 98, 30));
    EXPECT_TRUE(texts[0].flags & DT_END_ELLIPSIS);
}

TEST_F(CDropDownCtrlTest, BitmapFormsAreSizedToTheirFacesAndShowThePressedOne)
{
    auto* edit = mvtest::Place(host, new CBitmapEditControl(&host, kEditFace), 10, 10);
    EXPECT_EQ(edit->GetSize().cx, 90);
    EXPECT_EQ(edit->GetSize().cy, 18);
    edit->SetText("Ch 1");
    edit->SetTextInsets(4, 1, 2, 1);
    NWAPPEARANCE a{};
    a.textMargin = 3;
    a.alignment = NWA_ALIGN_RIGHT;
    a.text1 = RGB(230, 230, 230);
    a.mask = NWA_TEXTMARGIN | NWA_ALIGNMENT | NWA_TEXT1;
    edit->SetAppearance(a);
    auto texts = Drawn("DrawText");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rect, CRect(17, 11, 101, 27));
    EXPECT_EQ(texts[0].flags, DT_RIGHT);

    auto* drop = mvtest::Place(host, new CBitmapDropDownCtrl(&host, kDropFace, kDropPressed), 10, 40);
    drop->SetText("Master");
    a.mask = NWA_TEXT1;
    drop->SetAppearance(a);
    EXPECT_EQ(drop->GetArrowRect().right, 100);
    EXPECT_EQ(Pixel(12, 42), QColor(24, 26, 30));
    drop->SetValue(1.0, false);
    EXPECT_EQ(Pixel(12, 42), QColor(70, 110, 170));
    drop->SetValue(0.0, false);
    mvtest::Shot(host, "dropdown-and-edit");
}

}  // namespace
