// The message model: mouse and key translation in the order Windows sends,
// capture and its loss, posted and registered messages, timers, key state
// and the cursor counter.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <thread>

#include "platform/ui/CWnd.h"
#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/support/SanitizerSlowdown.h"

namespace {

using namespace std::chrono_literals;
using mvtest::LogWnd;

// A move as the platform delivers it, whatever Qt's test
// clock and exposure state are.
void SendMove(QWidget* w, QPoint at, Qt::MouseButtons held = Qt::NoButton)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(at), QPointF(at), QPointF(w->mapToGlobal(at)), Qt::NoButton, held,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}


class MessageModelTest : public mvtest::UiTest {
protected:
    void Make(LogWnd& w, CRect rect, DWORD style = WS_POPUP | WS_VISIBLE)
    {
        ASSERT_TRUE(w.CreateEx(0, nullptr, "w", style, rect, nullptr, 0));
        w.log.clear();
    }
    static QWidget* Widget(CWnd& w) { return mvui::WindowWidget(w.m_hWnd); }
};

TEST_F(MessageModelTest, PressMoveReleaseWithCaptureInWindowsOrder)
{
    LogWnd a, b;
    Make(a, CRect(100, 100, 200, 200));
    Make(b, CRect(300, 100, 400, 200));
    a.on[WM_LBUTTONDOWN] = [&](WPARAM, LPARAM) { a.SetCapture(); };
    a.on[WM_LBUTTONUP] = [&](WPARAM, LPARAM) { ReleaseCapture(); };

    QTest::mousePress(Widget(a), Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
    // The pointer leaves the window while the button is down: the move still
    // comes to the captured window, in its client coordinates.
    SendMove(Widget(b), QPoint(5, 5), Qt::LeftButton);
    QTest::mouseRelease(Widget(b), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));

    EXPECT_EQ(a.Only({WM_NCHITTEST, WM_SETCURSOR, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP,
                      WM_CAPTURECHANGED}),
              (std::vector<UINT>{WM_NCHITTEST, WM_SETCURSOR, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP,
                                 WM_CAPTURECHANGED}));
    EXPECT_TRUE(b.Only({WM_MOUSEMOVE, WM_LBUTTONUP}).empty());
    const auto* down = &a.log[2];
    ASSERT_EQ(down->message, WM_LBUTTONDOWN);
    EXPECT_EQ(down->wParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(CPoint(down->lParam), CPoint(10, 20));
    EXPECT_EQ(CPoint(a.Last(WM_MOUSEMOVE)->lParam), CPoint(205, 5));
    EXPECT_EQ(a.Last(WM_CAPTURECHANGED)->lParam, 0);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MessageModelTest, AnotherWindowTakingCaptureTellsTheOldOne)
{
    LogWnd a, b;
    Make(a, CRect(0, 0, 50, 50));
    Make(b, CRect(60, 0, 110, 50));
    a.SetCapture();
    EXPECT_EQ(CWnd::GetCapture(), &a);
    b.SetCapture();
    const auto* changed = a.Last(WM_CAPTURECHANGED);
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(reinterpret_cast<HWND>(changed->lParam), b.m_hWnd);
    EXPECT_EQ(b.Last(WM_CAPTURECHANGED), nullptr);
    EXPECT_EQ(GetCapture(), b.m_hWnd);
}

TEST_F(MessageModelTest, CaptureEndsWhenTheWindowGoesOrOnCancelMode)
{
    LogWnd a;
    Make(a, CRect(0, 0, 50, 50));
    a.SetCapture();
    a.SendMessage(WM_CANCELMODE);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_NE(a.Last(WM_CAPTURECHANGED), nullptr);

    auto b = std::make_unique<LogWnd>();
    Make(*b, CRect(0, 0, 50, 50));
    b->SetCapture();
    bool told = false;
    b->on[WM_CAPTURECHANGED] = [&](WPARAM, LPARAM) { told = true; };
    b->DestroyWindow();
    EXPECT_TRUE(told);
    EXPECT_EQ(GetCapture(), nullptr);
}

// A press or release at a given time, as the platform would deliver it.
void SendButton(QWidget* w, QEvent::Type type, QPoint at, ulong time)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent e(type, QPointF(at), QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton, held,
                  Qt::NoModifier);
    e.setTimestamp(time);
    QCoreApplication::sendEvent(w, &e);
}

TEST_F(MessageModelTest, SecondQuickPressIsADoubleClickInWindowsOrder)
{
    struct Case {
        const char* name;
        ulong secondAt;
        QPoint secondPoint;
        bool doubleClick;
    };
    const Case cases[] = {
        {"quick and close", 1200, QPoint(11, 10), true},
        {"too slow", 1000 + GetDoubleClickTime() + 1, QPoint(10, 10), false},
        {"too far", 1200, QPoint(20, 10), false},
    };
    for (const Case& c : cases) {
        LogWnd a;
        Make(a, CRect(0, 0, 80, 80));
        QWidget* w = Widget(a);
        SendButton(w, QEvent::MouseButtonPress, QPoint(10, 10), 1000);
        SendButton(w, QEvent::MouseButtonRelease, QPoint(10, 10), 1050);
        SendButton(w, QEvent::MouseButtonPress, c.secondPoint, c.secondAt);
        SendButton(w, QEvent::MouseButtonRelease, c.secondPoint, c.secondAt + 50);
        const UINT second = c.doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
        EXPECT_EQ(a.Only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}),
                  (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, second, WM_LBUTTONUP}))
            << c.name;
    }
}

TEST_F(MessageModelTest, ShiftAndControlComeFromTheKeyTable)
{
    LogWnd a;
    Make(a, CRect(0, 0, 80, 80));
    SendMove(Widget(a), QPoint(3, 4));
    ASSERT_NE(a.Last(WM_MOUSEMOVE), nullptr);
    EXPECT_EQ(a.Last(WM_MOUSEMOVE)->wParam & (MK_SHIFT | MK_CONTROL), 0u);
    QTest::mousePress(Widget(a), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(3, 4));
    EXPECT_EQ(a.Last(WM_LBUTTONDOWN)->wParam, static_cast<WPARAM>(MK_LBUTTON | MK_SHIFT | MK_CONTROL));
    EXPECT_EQ(MK_SHIFT, 4u);
    EXPECT_EQ(MK_CONTROL, 8u);
    QTest::mouseRelease(Widget(a), Qt::LeftButton, Qt::NoModifier, QPoint(3, 4));

    // Injected state, for code that reads the keys without an event.
    mvui::SetKeyDown(VK_SHIFT, true);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
    EXPECT_EQ(mvui::MouseKeyFlags(), MK_SHIFT);
    mvui::SetKeyDown(VK_SHIFT, false);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

TEST_F(MessageModelTest, KeysBecomeKeyDownCharKeyUp)
{
    LogWnd a;
    Make(a, CRect(0, 0, 80, 80));
    a.SetFocus();
    a.log.clear();
    QTest::keyClick(Widget(a), Qt::Key_A);
    QTest::keyClick(Widget(a), Qt::Key_Left, Qt::ShiftModifier);
    std::vector<std::pair<UINT, WPARAM>> got;
    for (const auto& m : a.log)
        if (m.message == WM_KEYDOWN || m.message == WM_KEYUP || m.message == WM_CHAR)
            got.emplace_back(m.message, m.wParam);
    const std::vector<std::pair<UINT, WPARAM>> want{
        {WM_KEYDOWN, 'A'},     {WM_CHAR, 'a'},       {WM_KEYUP, 'A'},      {WM_KEYDOWN, VK_SHIFT},
        {WM_KEYDOWN, VK_LEFT}, {WM_KEYUP, VK_LEFT}, {WM_KEYUP, VK_SHIFT}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(a.Last(WM_KEYUP)->lParam & (LPARAM(1) << 30), LPARAM(1) << 30);
}

TEST_F(MessageModelTest, PostedMessagesArriveInOrderFromAnyThread)
{
    LogWnd a;
    Make(a, CRect(0, 0, 10, 10));
    const HWND h = a.m_hWnd;
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(a.PostMessage(WM_APP + 1, static_cast<WPARAM>(i), 0));
    std::thread worker([h] {
        for (int i = 5; i < 105; ++i)
            PostMessage(h, WM_APP + 2, static_cast<WPARAM>(i), 0);
    });
    worker.join();
    // Nothing is delivered before the UI thread's queue runs.
    EXPECT_TRUE(a.Only({WM_APP + 1, WM_APP + 2}).empty());
    mvui::PumpMessages();
    std::vector<WPARAM> order;
    for (const auto& m : a.log)
        if (m.message == WM_APP + 1 || m.message == WM_APP + 2)
            order.push_back(m.wParam);
    ASSERT_EQ(order.size(), 105u);
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], i);
}

TEST_F(MessageModelTest, PostedMessageToAWindowThatWentIsDropped)
{
    auto a = std::make_unique<LogWnd>();
    Make(*a, CRect(0, 0, 10, 10));
    const HWND h = a->m_hWnd;
    PostMessage(h, WM_APP + 7, 0, 0);
    a.reset();
    mvui::PumpMessages();  // must not touch the old window
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(MessageModelTest, RegisteredMessagesAreNumberedFromC000ByName)
{
    const UINT a = RegisterWindowMessageA("vb_toggledocking");
    const UINT b = RegisterWindowMessageA("vb_startdragging");
    EXPECT_GE(a, 0xC000u);
    EXPECT_LE(a, 0xFFFFu);
    EXPECT_NE(a, b);
    EXPECT_EQ(RegisterWindowMessageA("VB_ToggleDocking"), a);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
    // A registered message posts and arrives like any other.
    LogWnd w;
    Make(w, CRect(0, 0, 10, 10));
    w.PostMessage(b, 3, 4);
    mvui::PumpMessages();
    ASSERT_NE(w.Last(b), nullptr);
    EXPECT_EQ(w.Last(b)->wParam, 3u);
}

TEST_F(MessageModelTest, TimerFiresAndIsKilledFromItsOwnHandler)
{
    LogWnd a, b;
    Make(a, CRect(0, 0, 10, 10));
    Make(b, CRect(0, 0, 10, 10));
    int fired = 0, other = 0;
    a.on[WM_TIMER] = [&](WPARAM id, LPARAM) {
        if (id == 7) {
            ++fired;
            a.KillTimer(7);
        }
    };
    b.on[WM_TIMER] = [&](WPARAM id, LPARAM) { other += id == 7; };
    a.SetTimer(7, 5);
    b.SetTimer(7, 5);  // the same id on another window is another timer
    // Until b has fired a few times: a's timer, had it lived on, would have
    // fired again by then.
    EXPECT_TRUE(QTest::qWaitFor([&] { return other >= 4; }, static_cast<int>(mvtest::SanitizerScaled(1000ms).count())));
    EXPECT_EQ(fired, 1);
    EXPECT_GT(other, 1);
    EXPECT_FALSE(a.KillTimer(7));
    EXPECT_TRUE(b.KillTimer(7));
}

TEST_F(MessageModelTest, ShowCursorCountsAndClipClampsThePointer)
{
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    const CRect clip(10, 10, 20, 20);
    ClipCursor(&clip);
    SetCursorPos(100, 5);
    POINT p;
    GetCursorPos(&p);
    EXPECT_EQ(CPoint(p), CPoint(19, 10));
    ClipCursor(nullptr);
    SetCursorPos(100, 5);
    GetCursorPos(&p);
    EXPECT_EQ(CPoint(p), CPoint(100, 5));
}

TEST_F(MessageModelTest, MouseLeaveArrivesOnlyWhenTracked)
{
    LogWnd a;
    Make(a, CRect(0, 0, 40, 40));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(Widget(a), &leave);
    mvui::PumpMessages();
    EXPECT_EQ(a.Last(WM_MOUSELEAVE), nullptr);
    TRACKMOUSEEVENT t{sizeof(TRACKMOUSEEVENT), TME_LEAVE, a.m_hWnd, 0};
    ASSERT_TRUE(TrackMouseEvent(&t));
    QCoreApplication::sendEvent(Widget(a), &leave);
    mvui::PumpMessages();
    EXPECT_NE(a.Last(WM_MOUSELEAVE), nullptr);
}

}  // namespace

namespace {

// A drag as controls write it: press hides the pointer and takes the
// capture; release, or losing the capture, ends the drag and shows it again.
class DragWnd : public mvtest::LogWnd {
public:
    bool dragging = false;

protected:
    void OnLButtonDown(UINT, CPoint) override
    {
        SetCapture();
        ShowCursor(FALSE);
        dragging = true;
    }
    void OnLButtonUp(UINT, CPoint) override
    {
        if (dragging)
            ReleaseCapture();
    }
    void OnCaptureChanged(CWnd*) override
    {
        if (!dragging)
            return;
        dragging = false;
        ShowCursor(TRUE);
    }
};

TEST_F(MessageModelTest, EveryDragEndsWithItsCaptureAndShowsThePointerAgain)
{
    struct Case {
        const char* name;
        std::function<void(DragWnd&, CWnd&)> end;
    };
    const Case cases[] = {
        {"button up", [](DragWnd& d, CWnd&) {
             QTest::mouseRelease(mvui::WindowWidget(d.m_hWnd), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
         }},
        {"another window takes the capture", [](DragWnd&, CWnd& other) { other.SetCapture(); }},
        {"cancel mode", [](DragWnd& d, CWnd&) { d.SendMessage(WM_CANCELMODE); }},
        {"window goes", [](DragWnd& d, CWnd&) { d.DestroyWindow(); }},
    };
    for (const Case& c : cases) {
        DragWnd drag;
        LogWnd other;
        Make(drag, CRect(0, 0, 50, 50));
        Make(other, CRect(60, 0, 110, 50));
        QTest::mousePress(mvui::WindowWidget(drag.m_hWnd), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        ASSERT_TRUE(drag.dragging) << c.name;
        EXPECT_EQ(ShowCursor(TRUE), 0) << c.name;  // hidden by one
        ShowCursor(FALSE);
        c.end(drag, other);
        EXPECT_FALSE(drag.dragging) << c.name;
        EXPECT_EQ(ShowCursor(TRUE), 1) << c.name;  // visible again
        ShowCursor(FALSE);
        EXPECT_NE(GetCapture(), drag.m_hWnd) << c.name;
        ReleaseCapture();
    }
}

}  // namespace

namespace {

class SizingWnd : public mvtest::LogWnd {
protected:
    BOOL OnSetCursor(CWnd*, UINT hit, UINT) override
    {
        if (hit != HTCLIENT)
            return FALSE;
        ::SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
        return TRUE;
    }
};

TEST_F(MessageModelTest, SetCursorBeforeTheMoveShapesThePointer)
{
    SizingWnd w;
    Make(w, CRect(0, 0, 50, 50));
    SendMove(mvui::WindowWidget(w.m_hWnd), QPoint(10, 10));
    EXPECT_EQ(mvui::CursorId(GetCursor()), IDC_SIZEWE);
    EXPECT_EQ(mvui::WindowWidget(w.m_hWnd)->cursor().shape(), Qt::SizeHorCursor);
}

}  // namespace

namespace {

struct FilterLog {
    std::vector<UINT> seen;
    UINT eat = 0;
};

bool Filter(MSG& msg, void* context)
{
    auto* log = static_cast<FilterLog*>(context);
    log->seen.push_back(msg.message);
    return msg.message == log->eat;
}

TEST_F(MessageModelTest, LoopFilterSeesQueuedMessagesForOtherWindowsAndMayEatThem)
{
    LogWnd a;
    Make(a, CRect(0, 0, 10, 10));
    FilterLog log;
    log.eat = WM_APP + 9;
    mvui::PushMessageFilter(&Filter, &log);
    a.PostMessage(WM_APP + 8);
    a.PostMessage(WM_APP + 9);
    mvui::PumpMessages();
    mvui::PopMessageFilter();
    a.PostMessage(WM_APP + 9);
    mvui::PumpMessages();
    EXPECT_EQ(log.seen, (std::vector<UINT>{WM_APP + 8, WM_APP + 9}));
    EXPECT_EQ(a.Only({WM_APP + 8, WM_APP + 9}), (std::vector<UINT>{WM_APP + 8, WM_APP + 9}));
}

}  // namespace
