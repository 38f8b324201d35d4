// Device contexts on the persistent surface: raster operations, the DC
// state, text with its flags, fonts, and the record of what was drawn.
#include "platform/ui/CDC.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <cstring>

#include "platform/ui/CRecordingDC.h"
#include "platform/ui/GdiImpl.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

class CDCTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(wnd.CreateEx(0, nullptr, "dc", WS_POPUP | WS_VISIBLE, CRect(0, 0, 120, 80), nullptr, 0));
        wnd.UpdateWindow();
        CClientDC dc(&wnd);
        // A background with some structure, so inversions show.
        for (int x = 0; x < 120; x += 10)
            dc.FillSolidRect(x, 0, 10, 80, RGB(x * 2, 255 - x * 2, (x * 7) & 0xFF));
    }
    QImage Surface() const { return mvui::WindowSurface(wnd.m_hWnd); }
    CWnd wnd;
};

TEST_F(CDCTest, XorDrawnTwiceLeavesTheSurfaceAsItWas)
{
    const QImage before = Surface();
    struct Case {
        const char* name;
        std::function<void(CDC&)> draw;
    };
    CPen xorPen(PS_SOLID, 1, RGB(255, 255, 255));
    CPen widePen(PS_SOLID, 3, RGB(0, 128, 255));
    CBrush halftone;
    CBitmap tile;
    const WORD bits[] = {0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA};
    ASSERT_TRUE(tile.CreateBitmap(8, 8, 1, 1, bits));
    ASSERT_TRUE(halftone.CreatePatternBrush(&tile));
    const Case cases[] = {
        {"XOR pen line", [&](CDC& dc) { dc.SetROP2(R2_XORPEN); dc.SelectObject(&xorPen); dc.MoveTo(3, 70); dc.LineTo(110, 5); }},
        {"NOT rectangle", [&](CDC& dc) { dc.SetROP2(R2_NOT); dc.SelectStockObject(NULL_BRUSH); dc.Rectangle(10, 10, 60, 40); }},
        {"wide XOR pen", [&](CDC& dc) { dc.SetROP2(R2_XORPEN); dc.SelectObject(&widePen); dc.MoveTo(5, 5); dc.LineTo(100, 60); }},
        {"PATINVERT halftone", [&](CDC& dc) { dc.SelectObject(&halftone); dc.PatBlt(20, 5, 50, 60, PATINVERT); }},
        {"DSTINVERT", [&](CDC& dc) { dc.PatBlt(0, 0, 40, 40, DSTINVERT); }},
        {"focus rectangle", [&](CDC& dc) { CRect r(5, 5, 70, 30); dc.DrawFocusRect(&r); }},
    };
    for (const Case& c : cases) {
        {
            CClientDC dc(&wnd);
            c.draw(dc);
        }
        EXPECT_NE(Surface(), before) << c.name << " drew nothing";
        {
            CClientDC dc(&wnd);
            c.draw(dc);
        }
        EXPECT_EQ(Surface(), before) << c.name;
    }
    // A source blitted with SRCINVERT twice.
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap bmp;
    bmp.CreateCompatibleBitmap(nullptr, 30, 30);
    mem.SelectObject(&bmp);
    mem.FillSolidRect(0, 0, 30, 30, RGB(200, 30, 90));
    CClientDC dc(&wnd);
    dc.BitBlt(50, 20, 30, 30, &mem, 0, 0, SRCINVERT);
    EXPECT_NE(Surface(), before);
    dc.BitBlt(50, 20, 30, 30, &mem, 0, 0, SRCINVERT);
    EXPECT_EQ(Surface(), before);
}

TEST_F(CDCTest, BinaryRasterOperationsCombinePenAndDestination)
{
    struct Case {
        int rop;
        COLORREF pen;
        COLORREF dst;
        COLORREF want;
    };
    const Case cases[] = {
        {R2_COPYPEN, RGB(1, 2, 3), RGB(200, 200, 200), RGB(1, 2, 3)},
        {R2_XORPEN, RGB(0xF0, 0x0F, 0xFF), RGB(0xFF, 0xFF, 0x00), RGB(0x0F, 0xF0, 0xFF)},
        {R2_NOT, RGB(1, 2, 3), RGB(0x10, 0x20, 0x30), RGB(0xEF, 0xDF, 0xCF)},
        {R2_MASKPEN, RGB(0xF0, 0xF0, 0xF0), RGB(0x3C, 0x3C, 0x3C), RGB(0x30, 0x30, 0x30)},
        {R2_MERGEPEN, RGB(0xF0, 0, 0), RGB(0x0F, 0, 0), RGB(0xFF, 0, 0)},
        {R2_NOP, RGB(1, 2, 3), RGB(9, 9, 9), RGB(9, 9, 9)},
        {R2_BLACK, RGB(1, 2, 3), RGB(9, 9, 9), RGB(0, 0, 0)},
        {R2_WHITE, RGB(1, 2, 3), RGB(9, 9, 9), RGB(255, 255, 255)},
        {R2_NOTCOPYPEN, RGB(0, 0xFF, 0x0F), RGB(9, 9, 9), RGB(0xFF, 0, 0xF0)},
    };
    for (const Case& c : cases) {
        CClientDC dc(&wnd);
        dc.SetPixel(5, 5, c.dst);
        dc.SetPixel(6, 5, RGB(7, 7, 7));
        CPen pen(PS_SOLID, 1, c.pen);
        dc.SelectObject(&pen);
        dc.SetROP2(c.rop);
        dc.MoveTo(5, 5);
        dc.LineTo(6, 5);  // one pixel: the end point is left out
        EXPECT_EQ(dc.GetPixel(5, 5), c.want) << "rop " << c.rop;
        EXPECT_EQ(dc.GetPixel(6, 5), RGB(7, 7, 7)) << "rop " << c.rop;
    }
}

TEST_F(CDCTest, MonochromeSourceTakesTextAndBackgroundColours)
{
    CBitmap mono;
    const BYTE row[2] = {0x0F, 0x00};  // four black (0) pixels, then four white (1)
    ASSERT_TRUE(mono.CreateBitmap(8, 1, 1, 1, row));
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    mem.SelectObject(&mono);
    CClientDC dc(&wnd);
    dc.SetTextColor(RGB(255, 0, 0));
    dc.SetBkColor(RGB(0, 0, 255));
    dc.BitBlt(0, 0, 8, 1, &mem, 0, 0, SRCCOPY);
    EXPECT_EQ(dc.GetPixel(0, 0), RGB(255, 0, 0));  // black bit: text colour
    EXPECT_EQ(dc.GetPixel(7, 0), RGB(0, 0, 255));  // white bit: background colour
}

TEST_F(CDCTest, StateIsSavedAndRestoredAndOriginAndClipApply)
{
    CClientDC dc(&wnd);
    dc.SetTextColor(RGB(1, 1, 1));
    dc.SetROP2(R2_XORPEN);
    const int saved = dc.SaveDC();
    dc.SetTextColor(RGB(2, 2, 2));
    dc.SetROP2(R2_NOT);
    dc.SetViewportOrg(10, 10);
    dc.IntersectClipRect(0, 0, 5, 5);
    dc.FillSolidRect(0, 0, 20, 20, RGB(9, 8, 7));
    EXPECT_TRUE(dc.RestoreDC(saved));
    EXPECT_EQ(dc.GetTextColor(), RGB(1, 1, 1));
    EXPECT_EQ(dc.GetROP2(), R2_XORPEN);
    EXPECT_EQ(dc.GetViewportOrg(), CPoint(0, 0));
    EXPECT_EQ(dc.GetPixel(10, 10), RGB(9, 8, 7));
    EXPECT_EQ(dc.GetPixel(14, 14), RGB(9, 8, 7));
    EXPECT_NE(dc.GetPixel(15, 15), RGB(9, 8, 7));  // clipped
    EXPECT_FALSE(dc.RestoreDC(saved));             // already restored
    CRect outside(200, 200, 210, 210);
    EXPECT_FALSE(dc.RectVisible(&outside));
}

TEST_F(CDCTest, WhatIsDrawnOutsidePaintStaysUntilDrawnOver)
{
    {
        CClientDC dc(&wnd);
        dc.FillSolidRect(90, 50, 10, 10, RGB(1, 2, 3));
    }
    const CRect elsewhere(0, 0, 20, 20);
    wnd.InvalidateRect(&elsewhere);
    wnd.UpdateWindow();
    CClientDC dc(&wnd);
    EXPECT_EQ(dc.GetPixel(95, 55), RGB(1, 2, 3));
    EXPECT_EQ(dc.GetPixel(5, 5), GetSysColor(COLOR_WINDOW));  // erased by the paint pass
}

TEST_F(CDCTest, ContextOfAWindowThatWentDrawsNothing)
{
    auto w = std::make_unique<CWnd>();
    ASSERT_TRUE(w->CreateEx(0, nullptr, "x", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    CClientDC dc(w.get());
    w.reset();
    dc.FillSolidRect(0, 0, 10, 10, RGB(1, 2, 3));
    EXPECT_EQ(dc.GetPixel(1, 1), CLR_INVALID);
}

TEST_F(CDCTest, FacesMapToTheSystemsFontsAndHeightsKeepTheirSign)
{
    EXPECT_STREQ(mvui::MapFontFace("Tahoma"), "DejaVu Sans");
    EXPECT_STREQ(mvui::MapFontFace("arial"), "Liberation Sans");
    LOGFONT lf{};
    std::strcpy(lf.lfFaceName, "Tahoma");
    lf.lfHeight = -13;
    EXPECT_EQ(QFontInfo(mvui::QtFont(lf)).family(), "DejaVu Sans");
    std::strcpy(lf.lfFaceName, "Arial");
    EXPECT_EQ(QFontInfo(mvui::QtFont(lf)).family(), "Liberation Sans");

    CFont charHeight, cellHeight;
    lf.lfHeight = -20;
    charHeight.CreateFontIndirect(&lf);
    lf.lfHeight = 20;
    cellHeight.CreateFontIndirect(&lf);
    CClientDC dc(&wnd);
    TEXTMETRIC a{}, b{};
    dc.SelectObject(&charHeight);
    dc.GetTextMetrics(&a);
    dc.SelectObject(&cellHeight);
    dc.GetTextMetrics(&b);
    EXPECT_EQ(a.tmHeight - a.tmInternalLeading, 20);  // the character height
    EXPECT_NEAR(b.tmHeight, 20, 1);                     // the cell height
    EXPECT_GT(a.tmHeight, b.tmHeight);
    EXPECT_GT(b.tmAveCharWidth, 0);
}

TEST_F(CDCTest, DrawTextMeasuresBreaksAndPrefixes)
{
    CRecordingDC dc;
    CFont font;
    LOGFONT lf{};
    lf.lfHeight = -12;
    std::strcpy(lf.lfFaceName, "Tahoma");
    font.CreateFontIndirect(&lf);
    dc.SelectObject(&font);
    const int line = dc.GetTextExtent("X").cy;

    CRect one(0, 0, 1000, 0);
    EXPECT_EQ(dc.DrawText("Bass Drum", -1, &one, DT_CALCRECT | DT_SINGLELINE), line);
    EXPECT_EQ(one.Width(), dc.GetTextExtent("Bass Drum").cx);

    CRect narrow(0, 0, dc.GetTextExtent("Bass").cx + 2, 0);
    EXPECT_EQ(dc.DrawText("Bass Drum Kit", -1, &narrow, DT_CALCRECT | DT_WORDBREAK), 3 * line);

    CRect prefixed(0, 0, 1000, 0), plain(0, 0, 1000, 0);
    dc.DrawText("&File", -1, &prefixed, DT_CALCRECT | DT_SINGLELINE);
    dc.DrawText("File", -1, &plain, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(prefixed.Width(), plain.Width());
    CRect literal(0, 0, 1000, 0);
    dc.DrawText("&File", -1, &literal, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_GT(literal.Width(), plain.Width());
}

TEST_F(CDCTest, SymbolFaceDrawsItsGlyphsAsShapes)
{
    CClientDC dc(&wnd);
    dc.FillSolidRect(0, 0, 120, 80, RGB(255, 255, 255));
    CFont font;
    LOGFONT lf{};
    lf.lfHeight = -16;
    std::strcpy(lf.lfFaceName, "Marlett");
    font.CreateFontIndirect(&lf);
    dc.SelectObject(&font);
    EXPECT_EQ(dc.GetTextExtent("r3456"), CSize(80, 16));
    dc.SetTextColor(RGB(0, 0, 0));
    dc.SetBkMode(TRANSPARENT);
    dc.TextOut(0, 0, "r6");
    EXPECT_EQ(dc.GetPixel(8, 8), RGB(0, 0, 0));         // the close box's crossing
    EXPECT_EQ(dc.GetPixel(8, 1), RGB(255, 255, 255));   // its cell's margin
    EXPECT_EQ(dc.GetPixel(24, 6), RGB(0, 0, 0));        // the down arrow's wide top
    EXPECT_EQ(dc.GetPixel(24, 13), RGB(255, 255, 255));  // below its point
    mvtest::Shot(mvui::WindowSurface(wnd.m_hWnd).copy(0, 0, 40, 16), "dc-symbol-glyphs");
}

TEST_F(CDCTest, RecordingLogsDrawTextWithItsRectangleAndFlags)
{
    CRecordingDC rec;
    CRect r(4, 2, 90, 20);
    rec.SetTextColor(RGB(10, 20, 30));
    rec.DrawText("4:1:000", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    rec.FillSolidRect(1, 2, 3, 4, RGB(5, 6, 7));
    ASSERT_EQ(rec.Calls().size(), 2u);
    const DcCall& t = rec.Calls()[0];
    EXPECT_STREQ(t.op, "DrawText");
    EXPECT_STREQ(t.text, "4:1:000");
    EXPECT_EQ(t.rect, CRect(4, 2, 90, 20));
    EXPECT_EQ(t.flags, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EXPECT_EQ(t.colour, RGB(10, 20, 30));
    const DcCall& f = rec.Calls()[1];
    EXPECT_STREQ(f.op, "FillSolidRect");  // its inner calls are not logged again
    EXPECT_EQ(f.rect, CRect(1, 2, 4, 6));
    EXPECT_EQ(f.colour, RGB(5, 6, 7));
}

// A view that paints a time label into an off-screen bitmap and copies it in.
class TimeView : public CWnd {
protected:
    void OnPaint() override
    {
        CPaintDC dc(this);
        CRect client;
        GetClientRect(&client);
        CDC mem;
        mem.CreateCompatibleDC(&dc);
        CBitmap bmp;
        bmp.CreateCompatibleBitmap(&dc, client.Width(), client.Height());
        CBitmap* old = mem.SelectObject(&bmp);
        mem.FillSolidRect(&client, RGB(30, 30, 40));
        mem.SetTextColor(RGB(240, 220, 120));
        mem.SetBkMode(TRANSPARENT);
        CRect text(0, 0, client.Width(), client.Height());
        mem.DrawText("4:1:000", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        dc.BitBlt(0, 0, client.Width(), client.Height(), &mem, 0, 0, SRCCOPY);
        mem.SelectObject(old);
    }
};

TEST_F(CDCTest, RecorderSeesWhatAWindowDrawsThroughItsMemoryContext)
{
    TimeView view;
    ASSERT_TRUE(view.CreateEx(0, nullptr, "t", WS_POPUP | WS_VISIBLE, CRect(0, 0, 100, 24), nullptr, 0));
    CDcRecorder rec(view.m_hWnd);
    view.Invalidate();
    view.UpdateWindow();
    const DcCall* text = nullptr;
    for (const DcCall& c : rec.Calls())
        if (c.op.CompareNoCase("DrawText") == 0)
            text = &c;
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->text, "4:1:000");
    EXPECT_EQ(text->rect, CRect(0, 0, 100, 24));
    // And the pixels arrived: some text colour near the middle.
    const QImage s = mvui::WindowSurface(view.m_hWnd);
    int lit = 0;
    for (int x = 20; x < 80; ++x)
        for (int y = 4; y < 20; ++y)
            lit += qRed(s.pixel(x, y)) > 150;
    EXPECT_GT(lit, 10);
    mvtest::Shot(view, "dc-time-label");
}

}  // namespace
