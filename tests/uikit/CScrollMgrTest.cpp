// Scroll managers, by what attached windows see: their bar state, whether
// they were repainted, and the positions and zooms that scrolling and
// zooming leave.
#include <gtest/gtest.h>

#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "uikit/CHScrollMgr.h"
#include "uikit/CHScrollZoomMgr.h"
#include "uikit/CVScrollMgr.h"

namespace {

class ScrollMgrTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(a.CreateEx(0, nullptr, "a", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 100), nullptr, 0));
        ASSERT_TRUE(b.CreateEx(0, nullptr, "b", WS_POPUP | WS_VISIBLE, CRect(0, 120, 200, 220), nullptr, 0));
        mvui::PumpMessages();
    }
    SCROLLINFO Bar(CWnd& w, int bar)
    {
        SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
        w.GetScrollInfo(bar, &si);
        return si;
    }
    size_t Paints(const mvtest::LogWnd& w) const { return w.Only({WM_PAINT}).size(); }
    mvtest::LogWnd a, b;
};

TEST_F(ScrollMgrTest, AttachTwiceKeepsOneEntryAndASecondDetachIsRefused)
{
    CHScrollMgr<long> mgr(48.0f, 0, 2400);
    EXPECT_EQ(0, mgr.Attach(&a));
    EXPECT_EQ(1, mgr.Attach(&a));
    EXPECT_EQ(1u, mgr.GetWindowCount());
    EXPECT_EQ(200, mgr.GetExtent());
    EXPECT_EQ(S_OK, mgr.Detach(&a));
    EXPECT_EQ(E_UNEXPECTED, mgr.Detach(&a));
    CVScrollMgr rows(4, 20, 18, 40);
    EXPECT_EQ(0, rows.Attach(&b));
    EXPECT_EQ(100, rows.GetExtent());
    EXPECT_EQ(E_UNEXPECTED, rows.Detach(&a));
}

TEST_F(ScrollMgrTest, UnitConversionsFollowTheZoomOfEachKind)
{
    CHScrollMgr<long> plain(48.0f, 0, 2400);  // 48 pixels a quarter note
    EXPECT_EQ(48, plain.UnitsToPixels(960));
    EXPECT_EQ(24, plain.UnitsToPixels(480));
    EXPECT_EQ(1920, plain.PixelsToUnits(96));
    EXPECT_DOUBLE_EQ(1e-8f, plain.GetMinZoom());  // a minimum of 0 is kept as 1e-8

    CHScrollZoomMgr<long> relative(0.25f, 0, 2400);  // a quarter of the width a beat
    relative.Attach(&a);                            // 200 pixels wide
    EXPECT_EQ(50, relative.UnitsToPixels(960));
    EXPECT_EQ(3840, relative.PixelsToUnits(200));  // the page: four beats
    relative.HandleScroll(nullptr, 0, 400, 0);     // twice as wide: the same span shows
    EXPECT_EQ(3840, relative.PixelsToUnits(400));
    relative.HandleScroll(nullptr, 0, 0, 0);  // a width of 0 counts as 1
    EXPECT_EQ(3840 * 200, relative.PixelsToUnits(200));

    CVScrollMgr rows(4, 20, 18, 40);  // 8 pixels a row
    EXPECT_EQ(80, rows.UnitsToPixels(10));
    EXPECT_EQ(12, rows.PixelsToUnits(100));
}

TEST_F(ScrollMgrTest, AnUnchangedScrollReturnsZeroAndRedrawsNothingANewWidthUpdatesEveryBar)
{
    CHScrollMgr<long> mgr(48.0f, 0, 2400);
    mgr.Attach(&a);
    mgr.Attach(&b);
    BYTE code = SB_THUMBTRACK;
    ASSERT_TRUE(mgr.HandleScroll(&code, 960, 200, 96000));
    a.log.clear();
    b.log.clear();
    EXPECT_FALSE(mgr.HandleScroll(nullptr, 0, 200, 96000));
    EXPECT_EQ(0u, Paints(a) + Paints(b));

    EXPECT_TRUE(mgr.HandleScroll(nullptr, 0, 100, 96000));
    for (CWnd* w : {static_cast<CWnd*>(&a), static_cast<CWnd*>(&b)}) {
        const SCROLLINFO si = Bar(*w, SB_HORZ);
        EXPECT_EQ(0, si.nMin);
        EXPECT_EQ(96000, si.nMax);
        EXPECT_EQ(2000u, si.nPage);  // 100 pixels at 48 a beat
        EXPECT_EQ(960, si.nPos);
    }
    EXPECT_GT(Paints(a), 0u);
    EXPECT_GT(Paints(b), 0u);
}

TEST_F(ScrollMgrTest, HorizontalScrollCodesMoveAsTheTableSays)
{
    struct Case {
        const char* name;
        int keep;
        int start;
        BYTE code;
        int thumb;
        int expected;
    };
    // 200 pixels at 48 a beat: a page of 4000 ticks over a total of 10000.
    const Case cases[] = {
        {"line up", 0, 500, SB_LINEUP, 0, 0},
        {"line down", 0, 0, SB_LINEDOWN, 0, 960},
        {"line down at the end stays", 0, 6000, SB_LINEDOWN, 0, 6000},
        {"page up", 0, 5000, SB_PAGEUP, 0, 1000},
        {"page up near the start goes to 0", 0, 3000, SB_PAGEUP, 0, 0},
        {"page down", 0, 1000, SB_PAGEDOWN, 0, 5000},
        {"page down at the end, free: total less a page", 0, 6000, SB_PAGEDOWN, 0, 6000},
        {"page down at the end, kept: inside the range", 1, 6000, SB_PAGEDOWN, 0, 6000},
        {"thumb", 0, 0, SB_THUMBTRACK, 3000, 3000},
        {"negative thumb", 1, 100, SB_THUMBPOSITION, -50, 0},
        {"top", 0, 4000, SB_TOP, 0, 0},
        {"bottom, free", 0, 0, SB_BOTTOM, 0, 6000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CHScrollMgr<long> mgr(48.0f, 0, 2400);
        mgr.Attach(&a);
        mgr.SetKeepInRange(c.keep);
        BYTE thumb = SB_THUMBTRACK;
        mgr.HandleScroll(&thumb, c.start, 200, 10000);
        BYTE code = c.code;
        mgr.HandleScroll(&code, c.thumb, 200, 10000);
        EXPECT_EQ(c.expected, mgr.GetPosition());
        EXPECT_EQ(c.expected, Bar(a, SB_HORZ).nPos);
    }
}

TEST_F(ScrollMgrTest, ZoomOutStopsWhereTheWholeSongFillsThePage)
{
    CHScrollZoomMgr<long> mgr(0.015f, 0, 2400);
    mgr.Attach(&a);
    mgr.HandleScroll(nullptr, 0, 200, 9600);  // ten beats
    for (int i = 0; i < 200; ++i)
        mgr.ZoomOut();
    EXPECT_NEAR(0.1, mgr.GetZoom(), 1e-6);  // 960 / 9600: the song is one page
    EXPECT_LE(9600, mgr.PixelsToUnits(200) + 1);
    EXPECT_GT(mgr.GetZoom(), mgr.GetMinZoom());
}

TEST_F(ScrollMgrTest, FitZoomOfNoRangeIsSkippedAndFitZoomIsCappedAtTheMaximum)
{
    CHScrollMgr<long> mgr(48.0f, 0, 2400);
    mgr.Attach(&a);
    EXPECT_DOUBLE_EQ(2400, mgr.GetFitZoom(0));
    EXPECT_DOUBLE_EQ(2400, mgr.GetFitZoom(-5));
    mgr.ZoomOut();  // total 0 at start: zooms out by the factor only
    EXPECT_NEAR(48.0 * 0.95, mgr.GetZoom(), 1e-4);

    CHScrollMgr<long> tiny(1.0f, 1, 2);
    EXPECT_DOUBLE_EQ(2, tiny.GetFitZoom(1));  // 960 would pass the maximum
    tiny.Attach(&b);
    tiny.HandleScroll(nullptr, 0, 200, 1);
    tiny.ZoomOut();
    EXPECT_DOUBLE_EQ(2, tiny.GetZoom());
}

TEST_F(ScrollMgrTest, ShiftZoomInJumpsToTheMaximumAndASecondZoomInDoesNothing)
{
    CHScrollMgr<long> mgr(48.0f, 0, 2400);
    mgr.Attach(&a);
    mgr.ZoomIn();
    EXPECT_NEAR(48.0 * 1.05, mgr.GetZoom(), 1e-4);
    mvui::SetKeyDown(VK_SHIFT, true);
    mgr.ZoomIn();
    EXPECT_DOUBLE_EQ(2400, mgr.GetZoom());
    EXPECT_FALSE(mgr.CanZoomIn());
    a.log.clear();
    mgr.ZoomIn();
    EXPECT_DOUBLE_EQ(2400, mgr.GetZoom());
    EXPECT_EQ(0u, Paints(a));
    mgr.ZoomOut();
    EXPECT_NEAR(1e-8, mgr.GetMinZoom(), 1e-12);
    EXPECT_FALSE(mgr.CanZoomOut());
}

TEST_F(ScrollMgrTest, ZoomKeepingTheEndOrAnAnchor)
{
    CHScrollMgr<long> mgr(48.0f, 0, 2400);
    mgr.Attach(&a);  // page 4000
    mgr.SetKeepInRange(1);
    BYTE thumb = SB_THUMBTRACK;
    mgr.HandleScroll(&thumb, 6000, 200, 20000);  // 6000..10000
    mgr.SetZoomKeepEnd(96.0f);                   // page 2000, the end stays
    EXPECT_EQ(8000, mgr.GetPosition());
    mgr.SetZoomAround(48.0f, 9000, 0.5f, TRUE);  // page 4000, 9000 in the middle
    EXPECT_EQ(7000, mgr.GetPosition());
    mgr.SetZoomAround(48.0f, 1000, 0.5f, FALSE);
    EXPECT_EQ(0, mgr.GetPosition());
    mgr.SetZoom(5000.0f);
    EXPECT_DOUBLE_EQ(2400, mgr.GetZoom());
}

TEST_F(ScrollMgrTest, VerticalZoomStepsRoundTowardsTheLimits)
{
    CVScrollMgr mgr(4, 20, 18, 40);
    mgr.Attach(&a);
    std::vector<int> in, out;
    for (int i = 0; i < 4; ++i) {
        mgr.ZoomIn();
        in.push_back(static_cast<int>(mgr.GetZoom()));
    }
    for (int i = 0; i < 5; ++i) {
        mgr.ZoomOut();
        out.push_back(static_cast<int>(mgr.GetZoom()));
    }
    EXPECT_EQ((std::vector<int>{25, 32, 40, 40}), in);
    EXPECT_EQ((std::vector<int>{32, 25, 20, 18, 18}), out);
    mvui::SetKeyDown(VK_SHIFT, true);
    mgr.ZoomIn();
    EXPECT_EQ(40, mgr.GetZoom());
}

TEST_F(ScrollMgrTest, VerticalScrollingUsesThePagesTheTableNames)
{
    CVScrollMgr mgr(10, 10, 10, 10);  // 10 pixels a row: a page of 10 rows
    mgr.Attach(&a);
    BYTE code = SB_PAGEDOWN;
    EXPECT_TRUE(mgr.HandleScroll(&code, 0, 100, 50));
    EXPECT_EQ(10, mgr.GetPosition());
    code = SB_LINEDOWN;
    mgr.HandleScroll(&code, 0, 100, 50);
    EXPECT_EQ(11, mgr.GetPosition());
    code = SB_PAGEDOWN;  // the new page (5 rows) steps, the old page tests
    mgr.HandleScroll(&code, 0, 50, 50);
    EXPECT_EQ(16, mgr.GetPosition());
    code = SB_BOTTOM;  // clamped to the total less the page
    mgr.HandleScroll(&code, 0, 50, 50);
    EXPECT_EQ(45, mgr.GetPosition());
    EXPECT_EQ(45, Bar(a, SB_VERT).nPos);
    code = SB_LINEDOWN;
    EXPECT_FALSE(mgr.HandleScroll(&code, 0, 50, 50));
}

TEST_F(ScrollMgrTest, EnsureVisibleScrollsOnlyWhenTheRowIsOutOfThePage)
{
    CVScrollMgr mgr(10, 10, 10, 10);
    mgr.Attach(&a);
    mgr.HandleScroll(nullptr, 0, 100, 30);
    EXPECT_FALSE(mgr.EnsureVisible(5, FALSE));
    EXPECT_TRUE(mgr.EnsureVisible(25, FALSE));
    EXPECT_EQ(15, mgr.GetPosition());
    EXPECT_TRUE(mgr.EnsureVisible(3, FALSE));
    EXPECT_EQ(3, mgr.GetPosition());
    // Beyond the total: limited to it, or, allowed, the total grows to show the row.
    EXPECT_TRUE(mgr.EnsureVisible(80, FALSE));
    EXPECT_EQ(20, mgr.GetPosition());
    EXPECT_TRUE(mgr.EnsureVisible(80, TRUE));
    EXPECT_EQ(80, mgr.GetTotal());
    EXPECT_EQ(70, mgr.GetPosition());
    mgr.ScrollIntoView(-5, FALSE);
    EXPECT_EQ(65, mgr.GetPosition());
}

TEST_F(ScrollMgrTest, AVerticalChangeLaysOutEveryNormallyShownView)
{
    CVScrollMgr mgr(10, 10, 10, 10);
    mgr.Attach(&a);
    mgr.Attach(&b);
    mvui::PumpMessages();
    a.log.clear();
    b.ShowWindow(SW_HIDE);
    b.log.clear();
    BYTE code = SB_LINEDOWN;
    mgr.HandleScroll(&code, 0, 100, 50);
    mvui::PumpMessages();
    const mvtest::LoggedMessage* size = a.Last(WM_SIZE);
    ASSERT_NE(nullptr, size);
    EXPECT_EQ(MAKELPARAM(200, 100), size->lParam);
    EXPECT_EQ(nullptr, b.Last(WM_SIZE));
    EXPECT_EQ(1, Bar(b, SB_VERT).nPos);
}

}  // namespace
