// Commands from accelerators and menus go through the update handlers first:
// a disabled command never runs. Routing: view, document, frame, application.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/ui/CDocument.h"
#include "platform/ui/CFrameWnd.h"
#include "platform/ui/CMenu.h"
#include "platform/ui/CView.h"
#include "platform/ui/CWinApp.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

constexpr UINT ID_FILE_NEW = 57600, ID_PLAY = 32800, ID_FRAME_ONLY = 32801, ID_LAYOUT_FIRST = 32900;

class SongDoc : public CDocument {
public:
    bool playing = false;
    int newCount = 0;
    BOOL OnCmdMsg(UINT id, int code, void* extra) override
    {
        static const auto table = CommandTable<SongDoc>()
                                      .On(ID_FILE_NEW, &SongDoc::OnFileNew, &SongDoc::OnUpdateFileNew);
        return table.Dispatch(this, id, code, extra) || CDocument::OnCmdMsg(id, code, extra);
    }
    void OnFileNew() { ++newCount; }
    void OnUpdateFileNew(CCmdUI* ui) { ui->Enable(!playing); }
};

class SongView : public CView {
public:
    int playCount = 0;
    BOOL OnCmdMsg(UINT id, int code, void* extra) override
    {
        static const auto table = CommandTable<SongView>().On(ID_PLAY, &SongView::OnPlay);
        return table.Dispatch(this, id, code, extra) || CView::OnCmdMsg(id, code, extra);
    }
    void OnPlay() { ++playCount; }
    void OnDraw(CDC*) override {}
};

class MainFrame : public CFrameWnd {
public:
    int frameCount = 0;
    std::vector<UINT> layouts;
    BOOL OnCmdMsg(UINT id, int code, void* extra) override
    {
        static const auto table = CommandTable<MainFrame>()
                                      .On(ID_FRAME_ONLY, &MainFrame::OnFrameOnly)
                                      .OnRange(ID_LAYOUT_FIRST, ID_LAYOUT_FIRST + 9, &MainFrame::OnLayout);
        return CFrameWnd::OnCmdMsg(id, code, extra) || table.Dispatch(this, id, code, extra);
    }
    void OnFrameOnly() { ++frameCount; }
    void OnLayout(UINT id) { layouts.push_back(id); }
};

class CommandRoutingTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(frame.CreateEx(0, nullptr, "Morvane", WS_POPUP | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
        ASSERT_TRUE(view.CreateEx(0, nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), &frame, 59648));
        doc.AddView(&view);
        frame.SetActiveView(&view);
        frame.RecalcLayout();
        const ACCEL accel[] = {{FVIRTKEY | FCONTROL, 'N', ID_FILE_NEW}, {FVIRTKEY, VK_SPACE, ID_PLAY}};
        frame.SetAccelerators(accel, 2);
        view.SetFocus();
    }
    void TearDown() override
    {
        mvui::SetMenuChooser(nullptr);
        UiTest::TearDown();
    }
    QWidget* ViewWidget() { return mvui::WindowWidget(view.m_hWnd); }

    MainFrame frame;
    SongView view;
    SongDoc doc;
};

TEST_F(CommandRoutingTest, AcceleratorRunsTheCommandOnlyWhileEnabled)
{
    QTest::keyClick(ViewWidget(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(doc.newCount, 1);
    doc.playing = true;
    QTest::keyClick(ViewWidget(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(doc.newCount, 1);
    // Without Control the key is no accelerator.
    doc.playing = false;
    QTest::keyClick(ViewWidget(), Qt::Key_N);
    EXPECT_EQ(doc.newCount, 1);
    QTest::keyClick(ViewWidget(), Qt::Key_Space);
    EXPECT_EQ(view.playCount, 1);
}

TEST_F(CommandRoutingTest, CommandsRouteViewDocumentFrameApplication)
{
    struct App : CWinApp {
        int helps = 0;
        void WinHelp(DWORD_PTR, UINT) override { ++helps; }
    } app;
    frame.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PLAY, 0), 0);
    frame.SendMessage(WM_COMMAND, MAKEWPARAM(ID_FILE_NEW, 0), 0);
    frame.SendMessage(WM_COMMAND, MAKEWPARAM(ID_FRAME_ONLY, 0), 0);
    frame.SendMessage(WM_COMMAND, MAKEWPARAM(ID_LAYOUT_FIRST + 3, 0), 0);
    frame.SendMessage(WM_COMMAND, MAKEWPARAM(ID_HELP, 0), 0);
    EXPECT_EQ(view.playCount, 1);
    EXPECT_EQ(doc.newCount, 1);
    EXPECT_EQ(frame.frameCount, 1);
    EXPECT_EQ(frame.layouts, std::vector<UINT>{ID_LAYOUT_FIRST + 3});
    EXPECT_EQ(app.helps, 1);
    EXPECT_EQ(AfxGetApp(), &app);
}

TEST_F(CommandRoutingTest, PopupMenuReturnsTheChosenCommandButNeverADisabledOne)
{
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, ID_FILE_NEW, "&New\tCtrl+N");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, ID_PLAY, "&Play");
    std::vector<UINT> states;
    mvui::SetMenuChooser([&](const CMenu& m, POINT) {
        states.clear();
        for (const auto& item : m.Items())
            states.push_back(item.flags & MF_GRAYED);
        return static_cast<UINT>(ID_FILE_NEW);
    });
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD | TPM_RIGHTBUTTON, 10, 10, &frame), static_cast<BOOL>(ID_FILE_NEW));
    EXPECT_EQ(states, (std::vector<UINT>{0, 0, 0}));
    doc.playing = true;
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD, 10, 10, &frame), 0);
    EXPECT_EQ(states, (std::vector<UINT>{MF_GRAYED, 0, 0}));
    // Without TPM_RETURNCMD the choice arrives as a posted command.
    doc.playing = false;
    menu.TrackPopupMenu(0, 10, 10, &frame);
    EXPECT_EQ(doc.newCount, 0);
    mvui::PumpMessages();
    EXPECT_EQ(doc.newCount, 1);
}

TEST_F(CommandRoutingTest, DelayedLayoutRunsOnceFromTheQueue)
{
    frame.MoveWindow(0, 0, 200, 100);
    CRect r;
    view.GetWindowRect(&r);
    EXPECT_EQ(r.Size(), CSize(200, 100));
    view.MoveWindow(0, 0, 5, 5);
    frame.DelayRecalcLayout();
    frame.DelayRecalcLayout();
    view.GetWindowRect(&r);
    EXPECT_EQ(r.Size(), CSize(5, 5));
    mvui::PumpMessages();
    view.GetWindowRect(&r);
    EXPECT_EQ(r.Size(), CSize(200, 100));
}

}  // namespace
