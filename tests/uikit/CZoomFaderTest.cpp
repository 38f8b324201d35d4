// Faders, driven as a user drives them: Shift-click, in-place drags, the
// pop-up with its Escape, held arrows on a test clock, keys; checked by the
// value and the codes the owner receives.
#include "uikit/CZoomFader.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestExtras.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/uikit/ShotTree.h"
#include "tests/uikit/HeldLoopClock.h"
#include "uikit/CHeldLoop.h"
#include "uikit/CJogFader.h"
#include "uikit/COurToolTipCtrl.h"
#include "uikit/CZoomedFader.h"

namespace {

std::unique_ptr<CZoomFader> MakeFader(float lo, float hi, float value, BOOL log, BOOL horizontal, BOOL popup,
                                      BOOL arrows, BOOL crosswise = FALSE, float step = 0)
{
    return std::make_unique<CZoomFader>(lo, hi, lo, hi, value, (lo + hi) / 2, log, horizontal, "Zoom", "", popup, 0,
                                        0, FALSE, crosswise, arrows, FALSE, step, 4, FALSE, COLOR_BTNTEXT, FALSE);
}

class ZoomFaderTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(owner.CreateEx(0, nullptr, "owner", WS_POPUP | WS_VISIBLE, CRect(300, 200, 500, 400), nullptr, 0));
    }
    void TearDown() override
    {
        CHeldLoop::SetClock(nullptr);
        fader.reset();
        UiTest::TearDown();
    }
    void Make(std::unique_ptr<CZoomFader> f, CRect rect)
    {
        fader = std::move(f);
        ASSERT_TRUE(fader->Create(rect, &owner, 41));
        mvui::PumpMessages();
        owner.log.clear();
    }
    // The codes the owner received from the fader, in order.
    std::vector<WORD> Codes()
    {
        mvui::PumpMessages();
        std::vector<WORD> codes;
        for (const auto& m : owner.log)
            if (m.message == WM_COMMAND && m.lParam == reinterpret_cast<LPARAM>(fader->m_hWnd)) {
                EXPECT_EQ(41, LOWORD(m.wParam));
                codes.push_back(HIWORD(m.wParam));
            }
        owner.log.clear();
        return codes;
    }
    void PointerAt(CWnd& w, CPoint p)
    {
        w.ClientToScreen(&p);
        SetCursorPos(p.x, p.y);
    }

    mvtest::LogWnd owner;
    std::unique_ptr<CZoomFader> fader;
};

TEST_F(ZoomFaderTest, ScalesMapLinearlyOrLogarithmicallyAndBack)
{
    auto linear = MakeFader(0, 100, 25, FALSE, TRUE, FALSE, FALSE);
    EXPECT_NEAR(0.25, linear->ValueToFraction(), 1e-6);
    EXPECT_FLOAT_EQ(75, linear->FractionToValue(0.75f));

    // A minimum of exactly 1: the base factor 2 keeps the low end's logarithm non-zero.
    auto fromOne = MakeFader(1, 40, 1, TRUE, TRUE, FALSE, FALSE);
    EXPECT_NEAR(0.0, fromOne->ValueToFraction(), 1e-9);
    EXPECT_NEAR(1.0f, fromOne->FractionToValue(0), 1e-5);
    EXPECT_NEAR(40.0f, fromOne->FractionToValue(1), 1e-3);
    fromOne->SetValue(fromOne->FractionToValue(0.5f), FALSE);
    EXPECT_NEAR(0.5, fromOne->ValueToFraction(), 1e-5);

    // A minimum of 0: a floor of 1e-8, and 0 or less is the low end.
    auto fromZero = MakeFader(0, 2400, 0.015f, TRUE, FALSE, FALSE, FALSE);
    const double f = fromZero->ValueToFraction();
    EXPECT_TRUE(f > 0 && f < 1);
    EXPECT_NEAR(0.015f, fromZero->FractionToValue(static_cast<float>(f)), 1e-5);
    EXPECT_NEAR(1e-8f, fromZero->FractionToValue(0), 1e-12);
    for (float v : {0.0f, -3.0f}) {
        fromZero->SetValue(v, FALSE);
        EXPECT_EQ(0.0, fromZero->ValueToFraction());
    }
}

TEST_F(ZoomFaderTest, ShiftClickSetsTheDefaultOnceWithoutAPopup)
{
    Make(MakeFader(0, 100, 10, FALSE, FALSE, TRUE, FALSE), CRect(10, 10, 30, 110));
    fader->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(10, 50));
    EXPECT_EQ(nullptr, fader->GetPopup());
    EXPECT_FLOAT_EQ(50, fader->GetValue());
    const std::vector<WORD> codes = Codes();
    EXPECT_EQ(1, std::count(codes.begin(), codes.end(), CZoomFader::kChanged));
}

TEST_F(ZoomFaderTest, DraggingInPlaceThreeLengthsCrossesTheWholeScale)
{
    Make(MakeFader(0, 100, 0, FALSE, TRUE, FALSE, FALSE), CRect(10, 10, 110, 30));
    fader->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 10));
    EXPECT_EQ(fader.get(), CWnd::GetCapture());
    fader->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5 + 150, 10));
    EXPECT_NEAR(50, fader->GetValue(), 1e-3);
    fader->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5 + 300, 10));
    EXPECT_NEAR(100, fader->GetValue(), 1e-3);
    fader->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(305, 10));
    EXPECT_EQ((std::vector<WORD>{CZoomFader::kPressStarted, CZoomFader::kChanged, CZoomFader::kChanged,
                                 CZoomFader::kPressEnded}),
              Codes());
    EXPECT_EQ(nullptr, CWnd::GetCapture());
}

TEST_F(ZoomFaderTest, ThePopupTracksThePointerAndEscapeRestoresTheValueHeldAtThePress)
{
    Make(MakeFader(0, 100, 20, FALSE, FALSE, TRUE, FALSE), CRect(10, 10, 30, 110));
    fader->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 50));
    auto* popup = dynamic_cast<CZoomedFader*>(fader->GetPopup());
    ASSERT_NE(nullptr, popup);
    EXPECT_EQ(popup, CWnd::GetCapture());
    RECT clip{};
    EXPECT_TRUE(GetClipCursor(&clip));
    const CRect track = popup->TrackRect();
    popup->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(track.CenterPoint().x, track.top));
    EXPECT_NEAR(100, fader->GetValue(), 1e-3);
    Codes();
    popup->SendMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ((std::vector<WORD>{CZoomFader::kChanged, CZoomFader::kCancelled}), Codes());
    EXPECT_FLOAT_EQ(20, fader->GetValue());
    EXPECT_EQ(nullptr, fader->GetPopup());
    EXPECT_EQ(nullptr, CWnd::GetCapture());
}

TEST_F(ZoomFaderTest, ReleasingThePopupEndsThePressOnce)
{
    Make(MakeFader(0, 100, 20, FALSE, FALSE, TRUE, FALSE), CRect(10, 10, 30, 110));
    fader->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 50));
    CWnd* popup = fader->GetPopup();
    ASSERT_NE(nullptr, popup);
    popup->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    const std::vector<WORD> codes = Codes();
    EXPECT_EQ(1, std::count(codes.begin(), codes.end(), CZoomFader::kPressEnded));
    EXPECT_EQ(0, std::count(codes.begin(), codes.end(), CZoomFader::kCancelled));
    EXPECT_EQ(nullptr, fader->GetPopup());
}

TEST_F(ZoomFaderTest, TheJogPopupSpansTheScaleOverItsHeight)
{
    Make(MakeFader(0, 100, 20, FALSE, FALSE, TRUE, FALSE), CRect(10, 10, 30, 110));
    fader->SetJog(TRUE);
    fader->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 50));
    auto* jog = dynamic_cast<CJogFader*>(fader->GetPopup());
    ASSERT_NE(nullptr, jog);
    CRect client;
    jog->GetClientRect(&client);
    EXPECT_NEAR(75, jog->ValueAt(CPoint(20, client.bottom - client.Height() * 3 / 4)), 0.6);
    CRect clip;
    GetClipCursor(&clip);
    EXPECT_EQ(6, clip.Width());
    jog->SendMessage(WM_LBUTTONUP, 0, 0);
    mvui::PumpMessages();
}

TEST_F(ZoomFaderTest, AHeldArrowStepsAtOnceAfter500MsThenEvery50MsAndStopsAtTheLimit)
{
    Make(MakeFader(0, 100, 50, FALSE, FALSE, FALSE, TRUE, FALSE, 2), CRect(10, 10, 30, 130));
    mvtest::HeldLoopClock::Start(620);  // steps at 0, 500, 550 and 600 ms
    PointerAt(*fader, CPoint(10, 5));  // the upper arrow
    mvui::PumpMessages();              // the pointer's own move arrives before the press
    mvui::SetKeyDown(VK_LBUTTON, true);
    fader->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    EXPECT_FLOAT_EQ(58, fader->GetValue());
    std::vector<WORD> codes = Codes();
    EXPECT_EQ(1 + 4, std::count(codes.begin(), codes.end(), CZoomFader::kChanged) +
                         std::count(codes.begin(), codes.end(), CZoomFader::kPressEnded));

    // The right button: five times the step, and never past the limit.
    mvtest::HeldLoopClock::Start(2000);
    mvui::SetKeyDown(VK_RBUTTON, true);
    fader->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 5));
    EXPECT_FLOAT_EQ(100, fader->GetValue());
    codes = Codes();
    EXPECT_EQ(5, std::count(codes.begin(), codes.end(), CZoomFader::kRightArrowStep));  // 68, 78, 88, 98, 100
    EXPECT_EQ(CZoomFader::kRightReleased, codes.back());
}

TEST_F(ZoomFaderTest, KeysStepTheValueAndTabMovesTheFocus)
{
    Make(MakeFader(0, 100, 50, FALSE, FALSE, FALSE, FALSE), CRect(10, 10, 30, 110));
    struct Case {
        UINT vk;
        float value;
    } cases[] = {{VK_ADD, 51}, {0xBD, 50}, {0xDD, 60}, {0xDB, 50}};
    for (const Case& c : cases) {
        fader->SendMessage(WM_KEYDOWN, c.vk, 0);
        EXPECT_FLOAT_EQ(c.value, fader->GetValue());
        EXPECT_EQ((std::vector<WORD>{CZoomFader::kChanged, CZoomFader::kKeyChanged}), Codes());
    }
    mvui::SetKeyDown(VK_SHIFT, true);
    fader->SendMessage(WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ((std::vector<WORD>{CZoomFader::kTabPrevious, CZoomFader::kChanged, CZoomFader::kKeyChanged}), Codes());
}

TEST_F(ZoomFaderTest, ShotOfAZoomFaderAndItsPopup)
{
    // The main frame's zoom fader: vertical and worked crosswise, logarithmic, "Zoom".
    auto f = std::make_unique<CZoomFader>(0, 2400, 0, 2400, 0.015f, 0.015f, TRUE, FALSE, "Zoom", "", TRUE, 0, 0,
                                          FALSE, TRUE, FALSE, FALSE, 0, 4, FALSE, COLOR_BTNTEXT, FALSE);
    f->AddMark("1", 1);
    f->AddMark("100", 100);
    Make(std::move(f), CRect(20, 20, 40, 120));
    mvtest::ShotTree(owner, "zoom-fader");
    fader->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 50));
    CWnd* popup = fader->GetPopup();
    ASSERT_NE(nullptr, popup);
    popup->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 24));
    mvtest::ShotTree(*popup, "zoom-fader-popup");
    popup->SendMessage(WM_LBUTTONUP, 0, 0);
    mvui::PumpMessages();
}

}  // namespace

namespace {

TEST_F(ZoomFaderTest, TheToolTipArgumentGivesATipWithTheLabelOverTheWholeFace)
{
    Make(MakeFader(0, 100, 50, FALSE, FALSE, FALSE, FALSE), CRect(10, 10, 30, 110));
    EXPECT_EQ(nullptr, fader->GetToolTip());

    auto f = std::make_unique<CZoomFader>(0, 100, 0, 100, 50, 50, FALSE, FALSE, "Row zoom", "", FALSE, 0, 0, FALSE,
                                          FALSE, FALSE, TRUE, 0, 4, FALSE, COLOR_BTNTEXT, FALSE);
    Make(std::move(f), CRect(10, 10, 30, 60));
    COurToolTipCtrl* tip = fader->GetToolTip();
    ASSERT_NE(nullptr, tip);
    tip->SetDelayTime(TTDT_INITIAL, 0);
    // Grown after creation: the tool follows, so a point below the first height still shows it.
    fader->MoveWindow(10, 10, 20, 100);
    PointerAt(*fader, CPoint(10, 80));
    fader->PostMessage(WM_MOUSEMOVE, 0, MAKELPARAM(10, 80));
    mvui::PumpMessages();
    mvtest::PumpUntil([tip] { return tip->IsWindowVisible() != FALSE; }, 1000);
    ASSERT_TRUE(tip->IsWindowVisible());
    EXPECT_STREQ("Row zoom", tip->GetWindowText());
    mvtest::ShotTree(owner, "zoom-fader-tip");
    mvtest::Shot(*tip, "zoom-fader-tip-alone");
}

}  // namespace
