// A window that draws its own frame: the client inset from WM_NCCALCSIZE,
// presses routed by the hit code from WM_NCHITTEST, the frame painted by
// WM_NCPAINT on the window surface.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/ui/CDC.h"
#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

// A bar with a 6-pixel sizing edge on the left and a 16-pixel caption on top.
class FramedWnd : public mvtest::LogWnd {
public:
    static constexpr int kEdge = 6, kCaption = 16;

protected:
    void OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS* p) override
    {
        p->rgrc[0].left += kEdge;
        p->rgrc[0].top += kCaption;
        p->rgrc[0].right -= 1;
        p->rgrc[0].bottom -= 1;
    }
    LRESULT OnNcHitTest(CPoint screen) override
    {
        CRect w;
        GetWindowRect(&w);
        if (!w.PtInRect(screen)) return HTNOWHERE;
        if (screen.x < w.left + kEdge) return HTLEFT;
        if (screen.y < w.top + kCaption) return HTCAPTION;
        return HTCLIENT;
    }
    void OnNcPaint() override
    {
        CWindowDC dc(this);
        CRect w;
        GetWindowRect(&w);
        w.OffsetRect(-w.left, -w.top);
        dc.FillSolidRect(0, 0, w.Width(), kCaption, RGB(70, 90, 130));
        dc.FillSolidRect(0, kCaption, kEdge, w.Height() - kCaption, RGB(160, 160, 160));
        dc.Draw3dRect(0, kCaption, kEdge, w.Height() - kCaption, RGB(255, 255, 255), RGB(90, 90, 90));
        dc.FillSolidRect(w.right - 1, kCaption, 1, w.Height(), RGB(90, 90, 90));
        dc.FillSolidRect(kEdge, w.bottom - 1, w.Width(), 1, RGB(90, 90, 90));
        CRect caption(4, 0, w.Width(), kCaption);
        dc.SetTextColor(RGB(255, 255, 255));
        dc.SetBkMode(TRANSPARENT);
        CFont font;
        LOGFONT lf{};
        lf.lfHeight = -11;
        lf.lfWeight = FW_BOLD;
        std::strcpy(lf.lfFaceName, "Tahoma");
        font.CreateFontIndirect(&lf);
        dc.SelectObject(&font);
        dc.DrawText(GetWindowText(), &caption, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        // The close box, from the symbol face.
        CFont symbols;
        LOGFONT sf{};
        sf.lfHeight = -(kCaption - 4);
        std::strcpy(sf.lfFaceName, "Marlett");
        symbols.CreateFontIndirect(&sf);
        dc.SelectObject(&symbols);
        CRect close(w.Width() - kCaption, 2, w.Width() - 2, kCaption - 2);
        dc.DrawText("r", -1, &close, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    void OnPaint() override
    {
        CPaintDC dc(this);
        CRect r;
        GetClientRect(&r);
        dc.FillSolidRect(&r, RGB(235, 232, 224));
        r.DeflateRect(8, 8);
        dc.DrawEdge(&r, EDGE_SUNKEN, BF_RECT);
    }
};

class NonClientTest : public mvtest::UiTest {};

TEST_F(NonClientTest, PressesAreRoutedByHitCode)
{
    FramedWnd w;
    ASSERT_TRUE(w.CreateEx(0, nullptr, "Pattern Bin", WS_POPUP | WS_VISIBLE, CRect(200, 100, 360, 220),
                           nullptr, 0));
    CRect client;
    w.GetClientRect(&client);
    EXPECT_EQ(client, CRect(0, 0, 160 - FramedWnd::kEdge - 1, 120 - FramedWnd::kCaption - 1));
    EXPECT_EQ(w.GetClientOffset(), CPoint(FramedWnd::kEdge, FramedWnd::kCaption));
    QWidget* widget = mvui::WindowWidget(w.m_hWnd);

    struct Case {
        const char* name;
        QPoint at;  // within the window rectangle
        UINT message;
        WPARAM hit;
    };
    const Case cases[] = {
        {"left edge", QPoint(2, 60), WM_NCLBUTTONDOWN, HTLEFT},
        {"caption", QPoint(50, 5), WM_NCLBUTTONDOWN, HTCAPTION},
        {"client", QPoint(30, 40), WM_LBUTTONDOWN, MK_LBUTTON},
    };
    for (const Case& c : cases) {
        w.log.clear();
        QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, c.at);
        QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, c.at);
        const auto* down = w.Last(c.message);
        ASSERT_NE(down, nullptr) << c.name;
        EXPECT_EQ(down->wParam, c.hit) << c.name;
        if (c.message == WM_NCLBUTTONDOWN) {
            // Non-client messages carry the screen point.
            EXPECT_EQ(CPoint(down->lParam), CPoint(200 + c.at.x(), 100 + c.at.y())) << c.name;
            EXPECT_EQ(w.Last(WM_LBUTTONDOWN), nullptr) << c.name;
        } else {
            EXPECT_EQ(CPoint(down->lParam),
                      CPoint(c.at.x() - FramedWnd::kEdge, c.at.y() - FramedWnd::kCaption));
        }
    }
}

TEST_F(NonClientTest, FrameIsPaintedOnTheWindowSurface)
{
    FramedWnd w;
    ASSERT_TRUE(w.CreateEx(0, nullptr, "Pattern Bin", WS_POPUP | WS_VISIBLE, CRect(0, 0, 160, 120), nullptr, 0));
    w.UpdateWindow();
    const QImage s = mvui::WindowSurface(w.m_hWnd);
    EXPECT_EQ(s.pixel(100, 14) & 0xFFFFFF, 0x465A82u);  // caption, right of its text
    EXPECT_EQ(s.pixel(3, 60) & 0xFFFFFF, 0xA0A0A0u);    // sizing edge
    EXPECT_EQ(s.pixel(10, 20) & 0xFFFFFF, 0xEBE8E0u);   // client
    mvtest::Shot(w, "nonclient-own-frame");
}

}  // namespace
