// The host strip: its controls laid out on resize, clicks and double clicks
// routed to them, right clicks off every control opening the strip's own
// menu, the tool tip's text cut to 79 characters, and a control's menu:
// remote control for a parameter, latching the value into the document's
// automation pattern, nothing for a control without either.
#include "uikit/CNWHostStrip.h"

#include <gtest/gtest.h>

#include "platform/ui/CMenu.h"
#include "tests/uikit/NWTestHost.h"
#include "tests/uikit/ShotTree.h"
#include "uikit/CStripAutomationDoc.h"
#include "uikit/CStripParamOwner.h"

namespace {

using Log = std::vector<std::string>;

// A control that asks for its context menu on the right button's release.
class CMenuControl : public mvtest::CFillControl {
public:
    using CFillControl::CFillControl;
    // A knob's menu opens at the press point.
    void OnRButtonUp(UINT flags, POINT point) override
    {
        m_pressPoint = point;
        m_menuOpen = true;
        RunContextMenu(point);
        m_menuOpen = false;
        CFillControl::OnRButtonUp(flags, point);
    }
    void OnLButtonDblClk(UINT flags, POINT point) override
    {
        doubleClicks++;
        CFillControl::OnLButtonDblClk(flags, point);
    }
    int doubleClicks = 0;
};

class CFakeParamOwner : public CStripParamOwner {
public:
    CString GetParamName(int index) override { return index == 3 ? "Cutoff" : "Other"; }
    void OpenRemoteControl(int index, POINT at) override
    {
        log.push_back("remote " + std::to_string(index) + " " + std::to_string(at.x) + "," + std::to_string(at.y));
    }
    Log log;
};

class CFakeAutomationDoc : public CStripAutomationDoc {
public:
    bool GetAutomationPattern(WORD target, CString* name) override
    {
        log.push_back("pattern " + std::to_string(target));
        if (!hasPattern)
            return false;
        *name = "Filter sweep";
        return true;
    }
    bool RecordParamAutomation(WORD target, const std::vector<DWORD>& params, const std::vector<float>& values) override
    {
        std::string line = "record " + std::to_string(target);
        for (size_t i = 0; i < params.size(); ++i)
            line += " " + std::to_string(params[i]) + "=" + mvtest::Num(values[i]);
        log.push_back(line);
        return true;
    }
    bool hasPattern = true;
    Log log;
};

// A strip of controls stacked from the top, full width, 20 pixels apart;
// parameter 3 has automation target 7.
class CTestStrip : public CNWHostStrip {
public:
    CTestStrip() : CNWHostStrip(2) {}
    CStripParamOwner* GetParamOwner() override { return &owner; }
    void OnStripContextMenu(UINT, POINT at) override
    {
        log.push_back("strip menu " + std::to_string(at.x) + "," + std::to_string(at.y));
    }
    WORD GetAutomationTarget(const std::vector<DWORD>& params, const std::vector<float>&) override
    {
        return params.size() == 1 && params[0] == 3 ? 7 : kNoAutomationTarget;
    }
    void LayoutControls() override
    {
        CRect client;
        GetClientRect(&client);
        int y = 4;
        for (CNWControl* c : GetControls()) {
            c->SetSize(CSize(client.right - 8, 16));
            c->SetPosition(CPoint(4, y), true);
            c->UpdateToolRect();
            y += 20;
        }
    }
    void OnPaint() override
    {
        CPaintDC dc(this);
        CRect r;
        GetClientRect(&r);
        dc.FillSolidRect(&r, IsHighlighted() ? RGB(70, 84, 110) : RGB(44, 47, 54));
        PaintControls(&dc);
    }
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }

    CFakeParamOwner owner;
    Log log;
};

class CNWHostStripTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "mixer", WS_POPUP | WS_VISIBLE, CRect(100, 100, 300, 300), nullptr, 0));
        knob = new CMenuControl(&strip, RGB(120, 120, 120));
        strip.AddControl(knob, true);
        plain = new CMenuControl(&strip, RGB(90, 90, 90));
        strip.AddControl(plain, true);
        ASSERT_TRUE(strip.Create(nullptr, "strip", WS_CHILD | WS_VISIBLE, CRect(10, 20, 90, 180), &parent, 5));
        strip.SetAutomationDoc(&doc);
        knob->SetTag(3);
        knob->SetValue(0.25, false);
    }
    void TearDown() override
    {
        mvui::SetMenuChooser(nullptr);
        UiTest::TearDown();
    }
    // The menu texts offered, choosing `pick` (0 for none).
    Log RightClickChoosing(int x, int y, UINT pick, POINT* shownAt = nullptr)
    {
        Log texts;
        mvui::SetMenuChooser([&](const CMenu& menu, POINT at) -> UINT {
            for (int i = 0; i < menu.GetMenuItemCount(); ++i) {
                CString t;
                menu.GetMenuString(static_cast<UINT>(i), t, MF_BYPOSITION);
                texts.push_back(std::to_string(menu.GetMenuItemID(i)) + " " + t.GetString());
            }
            if (shownAt)
                *shownAt = at;
            return pick;
        });
        strip.SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(x, y));
        mvui::SetMenuChooser(nullptr);
        return texts;
    }

    CWnd parent;
    CTestStrip strip;
    CFakeAutomationDoc doc;
    CMenuControl* knob = nullptr;
    CMenuControl* plain = nullptr;
};

TEST_F(CNWHostStripTest, ControlsAreLaidOutOnEveryResize)
{
    EXPECT_EQ(CRect(4, 4, 76, 20), knob->GetRect());
    EXPECT_EQ(CRect(4, 24, 76, 40), plain->GetRect());
    strip.MoveWindow(10, 20, 120, 160);
    EXPECT_EQ(CRect(4, 4, 116, 20), knob->GetRect());
    EXPECT_EQ(-1, strip.GetStripTag());
    EXPECT_EQ(2, strip.GetSiteIndex());
}

TEST_F(CNWHostStripTest, DoubleClicksReachTheControlHitAndRightClicksElsewhereOpenTheStripMenu)
{
    EXPECT_TRUE(strip.HandleLButtonDblClk(0, CPoint(10, 30)));
    EXPECT_EQ(1, plain->doubleClicks);
    EXPECT_FALSE(strip.HandleLButtonDblClk(0, CPoint(10, 100)));
    EXPECT_EQ(0, knob->doubleClicks);

    strip.SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(10, 100));
    EXPECT_EQ(strip.log, (Log{"strip menu 120,220"}));
    // The system's context-menu message opens nothing more.
    strip.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(strip.m_hWnd), MAKELPARAM(120, 220));
    EXPECT_EQ(strip.log.size(), 1u);
}

TEST_F(CNWHostStripTest, AControlMenuOffersRemoteControlAndLatchingIntoTheAutomationPattern)
{
    POINT at{};
    EXPECT_EQ(RightClickChoosing(10, 10, 0, &at),
              (Log{"1 MIDI Remote Control...", "2 Latch Cutoff in \"Filter sweep\""}));
    // The menu opens beside the press point, not at the control's corner.
    EXPECT_EQ(CPoint(at), CPoint(100 + 10 + 10 + 10, 100 + 20 + 10 + 5));
    EXPECT_EQ(doc.log, (Log{"pattern 7"}));
    doc.log.clear();

    RightClickChoosing(10, 10, CNWHostStrip::kRemoteControl);
    EXPECT_EQ(strip.owner.log, (Log{"remote 3 114,124"}));
    doc.log.clear();

    RightClickChoosing(10, 10, CNWHostStrip::kLatchAutomation);
    EXPECT_EQ(doc.log, (Log{"pattern 7", "record 7 3=0.25"}));

    // Without a pattern only the remote control is offered.
    doc.hasPattern = false;
    EXPECT_EQ(RightClickChoosing(10, 10, 0), (Log{"1 MIDI Remote Control..."}));
}

TEST_F(CNWHostStripTest, AControlWithoutParameterOrTargetGetsNoMenu)
{
    bool shown = false;
    mvui::SetMenuChooser([&](const CMenu&, POINT) -> UINT {
        shown = true;
        return 1;
    });
    strip.SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(10, 30));
    EXPECT_FALSE(shown);
    EXPECT_TRUE(strip.owner.log.empty());
    EXPECT_TRUE(strip.log.empty());
}

TEST_F(CNWHostStripTest, TipTextsAreCutTo79CharactersAndTheHighlightRepaints)
{
    plain->SetText("Pan");
    knob->SetText(CString('y', 100));
    NMTTDISPINFO info{};
    info.hdr.code = TTN_NEEDTEXT;
    info.hdr.idFrom = static_cast<UINT_PTR>(knob->GetId());
    LRESULT handled = strip.SendMessage(WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    EXPECT_TRUE(handled);
    EXPECT_STREQ(info.szText, CString('y', 79));
    ASSERT_NE(nullptr, strip.ExistingToolTip());
    EXPECT_EQ(2, strip.ExistingToolTip()->GetToolCount());

    mvtest::ShotTree(parent, "host-strip");
    strip.SetHighlighted(true);
    mvui::PumpMessages();
    mvtest::ShotTree(parent, "host-strip-highlighted");
    EXPECT_TRUE(strip.IsHighlighted());
}

}  // namespace
