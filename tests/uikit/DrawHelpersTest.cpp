// The framework's drawing helpers, by the pixels they leave: stipples
// aligned to their origin, one-pixel frames, gradients, bitmap buttons and
// bitmaps whose greys follow the system colours.
#include "uikit/DrawHelpers.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/ui/BitmapResources.h"
#include "platform/ui/CResourceException.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/support/TempDir.h"
#include "uikit/CStippleBitmap.h"
#include "uikit/FolderPicker.h"
#include "uikit/WindowClass.h"

namespace {

constexpr UINT kButtonBitmap = 9001;

// A 12 x 10 button glyph in the four classic greys: white frame, light-grey
// face, grey shadow, black arrow.
CBitmap MakeGlyph()
{
    CBitmap b;
    b.CreateBitmap(12, 10, 1, 32, nullptr);
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    mem.SelectObject(&b);
    mem.FillSolidRect(0, 0, 12, 10, RGB(255, 255, 255));
    mem.FillSolidRect(1, 1, 10, 8, RGB(192, 192, 192));
    mem.FillSolidRect(1, 8, 10, 1, RGB(128, 128, 128));
    for (int i = 0; i < 4; ++i)
        mem.FillSolidRect(4 + i, 2 + i, 1, 6 - 2 * i, RGB(0, 0, 0));
    return b;
}

class DrawHelpersTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ResetDisplayColorCount();
        ASSERT_TRUE(wnd.CreateEx(0, nullptr, "helpers", WS_POPUP | WS_VISIBLE, CRect(0, 0, 240, 120), nullptr, 0));
        wnd.UpdateWindow();
        CClientDC dc(&wnd);
        dc.FillSolidRect(0, 0, 240, 120, RGB(255, 255, 255));
        mvui::RegisterBitmapResource(nullptr, kButtonBitmap, MakeGlyph());
    }
    void TearDown() override
    {
        mvui::RegisterBitmapResource(nullptr, kButtonBitmap, CBitmap());
        ResetDisplayColorCount();
        UiTest::TearDown();
    }
    CWnd wnd;
};

TEST_F(DrawHelpersTest, DisplayColourCountNeverTurnsNegative)
{
    struct Case {
        int bits;
        int count;
        bool atLeast256;
    };
    const Case cases[] = {{32, INT_MAX, true}, {24, 1 << 24, true}, {8, 256, true}, {4, 16, false}};
    for (const Case& c : cases) {
        mvui::SetDisplayCaps(BITSPIXEL, c.bits);
        ResetDisplayColorCount();
        EXPECT_EQ(GetDisplayColorCount(), c.count) << c.bits;
        EXPECT_EQ(HasAtLeast256Colors(), c.atLeast256) << c.bits;
    }
    // Computed once: a later change of the display is not seen until reset.
    mvui::SetDisplayCaps(BITSPIXEL, 32);
    EXPECT_EQ(GetDisplayColorCount(), 16);
}

TEST_F(DrawHelpersTest, StipplesStayAlignedToTheirOriginWhereverTheRectangleStarts)
{
    CClientDC dc(&wnd);
    const COLORREF blue = RGB(0, 0, 255);
    CStippleBitmap checker(&dc, 8, 8, 0, 0, 0, 255, blue);
    // Two rectangles cut at odd places: their dots line up as one pattern.
    checker.Draw(&dc, CRect(3, 3, 40, 20));
    checker.Draw(&dc, CRect(3, 20, 40, 41));
    const COLORREF inverted = RGB(255, 255, 0);  // white XOR blue
    for (int y = 3; y < 41; ++y)
        for (int x = 3; x < 40; ++x)
            ASSERT_EQ(dc.GetPixel(x, y), (x + y) % 2 == 0 ? inverted : RGB(255, 255, 255)) << x << "," << y;
    EXPECT_EQ(dc.GetTextColor(), RGB(0, 0, 0));  // restored
    EXPECT_EQ(dc.GetBkColor(), RGB(255, 255, 255));

    // Sparse dots: every third pixel of every second row.
    CStippleBitmap sparse(&dc, 9, 6, 0, 0, 1, 255, blue);
    sparse.Draw(&dc, CRect(50, 0, 59, 6));
    int dots = 0;
    for (int y = 0; y < 6; ++y)
        for (int x = 50; x < 59; ++x)
            dots += dc.GetPixel(x, y) == inverted;
    EXPECT_EQ(dots, 9);
    // Columns count from the origin, not from the rectangle: 51 is a multiple of 3.
    EXPECT_EQ(dc.GetPixel(51, 0), inverted);
    EXPECT_EQ(dc.GetPixel(50, 0), RGB(255, 255, 255));
    EXPECT_EQ(dc.GetPixel(52, 2), inverted);  // the next drawn row starts one further
    EXPECT_EQ(dc.GetPixel(51, 1), RGB(255, 255, 255));

    // Drawing a dotted stipple twice leaves nothing.
    const QImage before = mvui::WindowSurface(wnd.m_hWnd);
    sparse.Draw(&dc, CRect(100, 10, 150, 50));
    sparse.Draw(&dc, CRect(100, 10, 150, 50));
    EXPECT_EQ(mvui::WindowSurface(wnd.m_hWnd), before);

    // Translucent colour.
    CStippleBitmap tint(&dc, 8, 8, 0, 0, 2, 128, RGB(255, 0, 0));
    tint.Draw(&dc, CRect(60, 20, 100, 60));
    const COLORREF t = dc.GetPixel(70, 30);
    EXPECT_EQ(GetRValue(t), 255);
    EXPECT_NEAR(GetGValue(t), 127, 2);

    // A tile asked smaller than its period still fills.
    CStippleBitmap tiny(&dc, 1, 1, 0, 0, 1, 255, blue);
    tiny.Draw(&dc, CRect(160, 0, 170, 10));
    EXPECT_EQ(dc.GetPixel(162, 0), inverted);
    EXPECT_EQ(dc.GetPixel(165, 0), inverted);
}

TEST_F(DrawHelpersTest, FramesUseTheShadowAndHighlightColoursAndLeaveTheBlackPen)
{
    mvui::SetSysColor(COLOR_BTNSHADOW, RGB(10, 10, 10));
    mvui::SetSysColor(COLOR_BTNHIGHLIGHT, RGB(250, 250, 250));
    CClientDC dc(&wnd);
    dc.FillSolidRect(0, 0, 100, 100, RGB(128, 0, 0));
    const CRect r(10, 10, 30, 20);
    DrawSunkenFrame(&dc, r);
    EXPECT_EQ(dc.GetPixel(10, 15), RGB(10, 10, 10));   // left
    EXPECT_EQ(dc.GetPixel(20, 10), RGB(10, 10, 10));   // top
    EXPECT_EQ(dc.GetPixel(29, 15), RGB(250, 250, 250));  // right
    EXPECT_EQ(dc.GetPixel(20, 19), RGB(250, 250, 250));  // bottom
    EXPECT_EQ(dc.GetPixel(20, 15), RGB(128, 0, 0));      // inside untouched
    EXPECT_EQ(dc.GetPixel(30, 15), RGB(128, 0, 0));      // outside untouched
    CPen probe(PS_SOLID, 1, 0);
    EXPECT_EQ(dc.SelectObject(&probe), GetStockObject(BLACK_PEN));
    DrawRaisedFrame(&dc, CRect(40, 10, 60, 20));
    EXPECT_EQ(dc.GetPixel(40, 15), RGB(250, 250, 250));
    EXPECT_EQ(dc.GetPixel(59, 15), RGB(10, 10, 10));
}

TEST_F(DrawHelpersTest, GradientFillsEachLineAndFallsBackBelow256Colours)
{
    CClientDC dc(&wnd);
    dc.SetBkColor(RGB(1, 2, 3));
    FillVerticalGradient(&dc, CRect(0, 0, 10, 100), RGB(0, 0, 200), RGB(200, 100, 0), RGB(9, 9, 9));
    EXPECT_EQ(dc.GetPixel(5, 0), RGB(0, 0, 200));
    EXPECT_EQ(dc.GetPixel(5, 50), RGB(100, 50, 100));
    EXPECT_EQ(dc.GetPixel(5, 99), RGB(198, 99, 2));
    EXPECT_EQ(dc.GetBkColor(), RGB(1, 2, 3));

    mvui::SetDisplayCaps(BITSPIXEL, 4);
    ResetDisplayColorCount();
    FillVerticalGradient(&dc, CRect(20, 0, 30, 100), RGB(0, 0, 200), RGB(200, 100, 0), RGB(9, 9, 9));
    EXPECT_EQ(dc.GetPixel(25, 0), RGB(9, 9, 9));
    EXPECT_EQ(dc.GetPixel(25, 99), RGB(9, 9, 9));
    FillVerticalGradient(&dc, CRect(40, 0, 50, 100), RGB(0, 0, 200), RGB(200, 100, 0), CLR_INVALID);
    EXPECT_EQ(dc.GetPixel(45, 99), RGB(0, 0, 200));
    EXPECT_EQ(dc.GetBkColor(), RGB(1, 2, 3));
}

TEST_F(DrawHelpersTest, SysColorBitmapFollowsTheSystemColours)
{
    mvui::SetSysColor(COLOR_BTNFACE, RGB(100, 150, 200));
    mvui::SetSysColor(COLOR_BTNSHADOW, RGB(20, 40, 60));
    CBitmap b;
    ASSERT_TRUE(b.Attach(LoadSysColorBitmap(nullptr, kButtonBitmap, false, COLOR_BTNTEXT, COLOR_BTNSHADOW,
                                            COLOR_BTNFACE, COLOR_BTNHIGHLIGHT)));
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    mem.SelectObject(&b);
    EXPECT_EQ(mem.GetPixel(2, 2), RGB(100, 150, 200));  // light grey -> face
    EXPECT_EQ(mem.GetPixel(2, 8), RGB(20, 40, 60));     // grey -> shadow
    EXPECT_EQ(mem.GetPixel(0, 0), GetSysColor(COLOR_BTNHIGHLIGHT));

    CBitmap two;
    ASSERT_TRUE(two.Attach(LoadSysColorBitmap(nullptr, kButtonBitmap, true, COLOR_BTNTEXT, COLOR_BTNSHADOW,
                                              COLOR_BTNFACE, COLOR_BTNHIGHLIGHT)));
    mem.SelectObject(&two);
    EXPECT_EQ(mem.GetPixel(2, 2), RGB(100, 150, 200));  // light grey -> third
    EXPECT_EQ(mem.GetPixel(0, 0), RGB(20, 40, 60));     // everything else -> second
    EXPECT_EQ(mem.GetPixel(5, 4), RGB(20, 40, 60));

    EXPECT_EQ(LoadSysColorBitmap(nullptr, 4242, false, 18, 16, 15, 20), nullptr);
}

TEST_F(DrawHelpersTest, BitmapItemDrawsFaceGlyphAndEdge)
{
    CClientDC dc(&wnd);
    DRAWITEMSTRUCT item{ODT_BUTTON, 1, 0, ODA_DRAWENTIRE, 0, wnd.m_hWnd, dc.GetSafeHdc(), {10, 10, 40, 34}, 0};
    DrawBitmapItem(nullptr, kButtonBitmap, &item);
    // Glyph centred: 12 x 10 in 30 x 24 starts at (19, 17); its arrow's first column at x + 4.
    EXPECT_EQ(dc.GetPixel(23, 19), GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(dc.GetPixel(12, 12), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(dc.GetPixel(10, 20), GetSysColor(COLOR_BTNHIGHLIGHT));  // raised soft edge, outer left
    EXPECT_EQ(dc.GetPixel(39, 20), GetSysColor(COLOR_3DDKSHADOW));

    DRAWITEMSTRUCT pressed = item;
    pressed.rcItem = RECT{50, 10, 80, 34};
    pressed.itemState = ODS_SELECTED;
    DrawBitmapItem(nullptr, kButtonBitmap, &pressed);
    EXPECT_EQ(dc.GetPixel(64, 20), GetSysColor(COLOR_BTNTEXT));  // one right, one down
    EXPECT_EQ(dc.GetPixel(50, 20), GetSysColor(COLOR_3DDKSHADOW));  // sunken soft, outer left

    // A focus change draws nothing; a missing bitmap draws only the face.
    const QImage before = mvui::WindowSurface(wnd.m_hWnd);
    DRAWITEMSTRUCT focus = item;
    focus.itemAction = ODA_FOCUS;
    DrawBitmapItem(nullptr, kButtonBitmap, &focus);
    EXPECT_EQ(mvui::WindowSurface(wnd.m_hWnd), before);
    DRAWITEMSTRUCT missing = item;
    missing.rcItem = RECT{90, 10, 120, 34};
    DrawBitmapItem(nullptr, 4242, &missing);
    EXPECT_EQ(dc.GetPixel(90, 10), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(dc.GetPixel(105, 22), GetSysColor(COLOR_BTNFACE));
}

TEST_F(DrawHelpersTest, ShotOfTheHelpers)
{
    CWnd board;
    ASSERT_TRUE(board.CreateEx(0, nullptr, "board", WS_POPUP | WS_VISIBLE, CRect(0, 0, 360, 150), nullptr, 0));
    board.UpdateWindow();  // the first paint pass erases; draw after it
    CClientDC dc(&board);
    dc.FillSolidRect(0, 0, 360, 150, GetSysColor(COLOR_BTNFACE));
    // Stipples over a light field: checkerboard, sparse dots, translucent.
    dc.FillSolidRect(10, 10, 100, 60, RGB(250, 250, 245));
    CStippleBitmap s0(&dc, 8, 8, 0, 0, 0, 255, RGB(60, 90, 160));
    CStippleBitmap s1(&dc, 9, 6, 0, 0, 1, 255, RGB(60, 90, 160));
    CStippleBitmap s2(&dc, 8, 8, 0, 0, 2, 96, RGB(60, 90, 160));
    s0.Draw(&dc, CRect(10, 10, 40, 70));
    s1.Draw(&dc, CRect(45, 10, 75, 70));
    s2.Draw(&dc, CRect(80, 10, 110, 70));
    // Frames.
    DrawSunkenFrame(&dc, CRect(120, 10, 180, 40));
    DrawRaisedFrame(&dc, CRect(120, 45, 180, 70));
    // Gradients.
    FillVerticalGradient(&dc, CRect(190, 10, 230, 70), RGB(40, 60, 110), RGB(170, 190, 230), CLR_INVALID);
    FillVerticalGradient(&dc, CRect(235, 10, 275, 70), RGB(250, 250, 250), RGB(200, 196, 188), CLR_INVALID);
    // Bitmap buttons, up and pressed.
    DRAWITEMSTRUCT up{ODT_BUTTON, 1, 0, ODA_DRAWENTIRE, 0, board.m_hWnd, dc.GetSafeHdc(), {10, 85, 40, 109}, 0};
    DrawBitmapItem(nullptr, kButtonBitmap, &up);
    DRAWITEMSTRUCT down = up;
    down.rcItem = RECT{45, 85, 75, 109};
    down.itemState = ODS_SELECTED;
    DrawBitmapItem(nullptr, kButtonBitmap, &down);
    mvtest::Shot(board, "drawhelpers-stipples-frames-gradients-bitmapitems");
}

TEST_F(DrawHelpersTest, WindowClassIsRegisteredOnce)
{
    EXPECT_STREQ(RegisterWindowClassOnce("CC:TestBar", CS_DBLCLKS, nullptr, COLOR_BTNFACE + 1), "CC:TestBar");
    EXPECT_STREQ(RegisterWindowClassOnce("CC:TestBar", 0, nullptr, 0), "CC:TestBar");
    WNDCLASSA wc{};
    ASSERT_TRUE(GetClassInfoA(nullptr, "CC:TestBar", &wc));
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_DBLCLKS));  // the first registration stands
    EXPECT_THROW(RegisterWindowClassOnce(nullptr, 0, nullptr, 0), CResourceException);
}

TEST_F(DrawHelpersTest, FolderPickerReturnsTheChosenFolderOnlyOnOk)
{
    mvtest::TempDir dir;
    const std::string chosen = dir.Path();
    CString path("/nowhere");
    mvtest::AnswerNextFileDialog(chosen, false);
    EXPECT_FALSE(ShellBrowseForFolder(&wnd, 0u, path, "/tmp", true));
    EXPECT_STREQ(path, "/nowhere");
    mvtest::AnswerNextFileDialog(chosen, true);
    char buffer[MAX_PATH] = {};
    ASSERT_TRUE(ShellBrowseForFolder(&wnd, "Folder", buffer, "/tmp", false));
    EXPECT_EQ(std::string(buffer), chosen);
}

}  // namespace
