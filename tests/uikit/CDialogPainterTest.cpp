// The dialog painter: the profile's "NoCaptionDraw" (default 1) keeps the
// system caption; 0 gives the gradient caption and the painter's own close
// button, which closes only on a release over it; label-and-rule pairs
// without ids become header bars; property pages keep the system's painting.
#include "uikit/CDialogPainter.h"

#include <gtest/gtest.h>

#include "platform/ui/CRecordingDC.h"
#include "platform/ui/CStatic.h"
#include "platform/ui/SystemMetrics.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/support/TempProfile.h"
#include "tests/uikit/DialogToolkitSupport.h"
#include "uikit/CBaseApp.h"
#include "uikit/CGenDialog.h"

namespace {

class CDialogPainterTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        mvtest::LoadToolkitTemplates();
    }
    void TearDown() override
    {
        CDialogPainter::s_noCaptionDraw = 0;
        UiTest::TearDown();
    }
    // Presses on the painter's close button, moves to `release` (window
    // coordinates) and lets go there.
    static void PressCloseAndRelease(CGenDialog& d, CPoint release)
    {
        CRect window;
        d.GetWindowRect(&window);
        const CPoint close = d.Painter()->CloseButtonRect().CenterPoint() + window.TopLeft();
        ASSERT_EQ(d.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(close.x, close.y)), HTSYSMENU);
        d.SendMessage(WM_NCLBUTTONDOWN, HTSYSMENU, MAKELPARAM(close.x, close.y));
        EXPECT_TRUE(d.Painter()->IsClosePressed());
        CPoint at = release + window.TopLeft();
        d.ScreenToClient(&at);
        d.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        d.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }
    mvtest::TempProfile profile;
};

TEST_F(CDialogPainterTest, WithoutTheProfileValueDialogsKeepTheSystemCaption)
{
    CBaseApp app("Morvane", "1.0");
    CGenDialog d(mvtest::IDD_GEN);
    mvtest::RunModal<CGenDialog>(d, [](CGenDialog& d) {
        EXPECT_EQ(CDialogPainter::s_noCaptionDraw, 1);
        EXPECT_TRUE(d.GetStyle() & WS_SYSMENU);
        CDcRecorder record(d.m_hWnd);
        d.SendMessage(WM_NCPAINT, 1);
        for (const DcCall& c : record.Calls())  // the painter's raised frame is not drawn
            EXPECT_FALSE(c.op == CString("DrawEdge") && c.rect.left == 0 && c.rect.top == 0);
        mvtest::Shot(d, "painter-system-caption");
        d.SendMessage(WM_COMMAND, IDCANCEL);
    });
}

TEST_F(CDialogPainterTest, WithZeroTheDialogGetsTheGradientCaptionAndItsOwnCloseButton)
{
    CBaseApp app("Morvane", "1.0");
    app.WriteProfileInt("NoCaptionDraw", 0);
    CGenDialog d(mvtest::IDD_GEN);
    const INT_PTR result = mvtest::RunModal<CGenDialog>(d, [](CGenDialog& d) {
        EXPECT_FALSE(d.GetStyle() & WS_SYSMENU);
        CDcRecorder record(d.m_hWnd);
        d.SendMessage(WM_NCPAINT, 1);
        ASSERT_GE(record.Calls().size(), 3u);
        // The band starts at the highlight and ends in the active caption colour.
        const DcCall* first = nullptr;
        bool title = false, close = false, edge = false;
        for (const DcCall& c : record.Calls()) {
            if (c.op == CString("FillSolidRect") && c.rect.top >= 0 && c.rect.Height() == 1 && c.rect.top < 22) {
                if (!first) first = &c;
            }
            title = title || (c.op == CString("TextOut") && c.text == CString("Channel Options"));
            close = close || c.op == CString("DrawFrameControl");
            edge = edge || (c.op == CString("DrawEdge") && c.rect.top == 0 && c.rect.left == 0);
        }
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->colour, GetSysColor(COLOR_BTNHIGHLIGHT));
        EXPECT_TRUE(title && close && edge);
        // The bottom strip of the client area shades to the button shadow.
        d.Invalidate();
        d.UpdateWindow();
        CRect client;
        d.GetClientRect(&client);
        const CPoint offset = d.GetClientOffset();
        const QImage s = mvui::WindowSurface(d.m_hWnd);
        const QRgb bottom = s.pixel(offset.x + 2, offset.y + client.bottom - 1);
        const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
        EXPECT_NEAR(qRed(bottom), GetRValue(shadow), 16);
        mvtest::Shot(d, "painter-gradient-caption");
        // Pressed, moved off and released: stays open.
        PressCloseAndRelease(d, CPoint(40, 60));
        EXPECT_TRUE(IsWindow(d.m_hWnd));
        EXPECT_FALSE(d.Painter()->IsClosePressed());
        // Released on the button: WM_CLOSE, which cancels the dialog.
        PressCloseAndRelease(d, d.Painter()->CloseButtonRect().CenterPoint());
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(CDialogPainterTest, LabelAndRuleWithoutIdsBecomeOneHeaderBar)
{
    CGenDialog d(mvtest::IDD_GEN_HEADERS);
    mvtest::RunModal<CGenDialog>(d, [](CGenDialog& d) {
        CWnd* plain = d.GetWindow(GW_CHILD);
        CWnd* plainRule = plain->GetWindow(GW_HWNDNEXT);
        CWnd* withId = plainRule->GetWindow(GW_HWNDNEXT);
        CWnd* otherRule = withId->GetWindow(GW_HWNDNEXT);
        EXPECT_FALSE(plainRule->IsWindowVisible());
        EXPECT_TRUE(otherRule->IsWindowVisible());
        CRect label, rule;
        plain->GetWindowRect(&label);
        plainRule->GetWindowRect(&rule);
        EXPECT_EQ(label.right, rule.right + 1);
        CDcRecorder record(plain->m_hWnd);
        plain->Invalidate();
        plain->UpdateWindow();
        ASSERT_FALSE(record.Calls().empty());
        EXPECT_EQ(record.Calls()[0].op, CString("FillSolidRect"));
        EXPECT_EQ(record.Calls()[0].colour, GetSysColor(COLOR_ACTIVECAPTION));
        bool text = false;
        for (const DcCall& c : record.Calls())
            text = text || (c.text == CString("Plain") && c.rect.left == 15 && c.rect.top == 1);
        EXPECT_TRUE(text);
        EXPECT_NE(GetWindowLongPtrA(plain->m_hWnd, GWLP_WNDPROC), GetWindowLongPtrA(withId->m_hWnd, GWLP_WNDPROC));
        d.SendMessage(WM_COMMAND, IDCANCEL);
    });
}

}  // namespace
