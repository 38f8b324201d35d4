// Modal dialogs: a local loop that ends with EndDialog, OK through data
// exchange (a failed validation keeps the dialog open), Cancel, Enter and
// Escape, the owner disabled while the loop runs.
#include "platform/ui/CDialog.h"

#include <gtest/gtest.h>

#include <QTest>

#include "platform/win/MulDiv.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

constexpr UINT IDD_TEST = 700;

class TestDialog : public CDialog {
public:
    explicit TestDialog(CWnd* owner) : CDialog(IDD_TEST, owner) {}
    int value = 0;
    int control = 0;  // stands in for a control's content
    bool valid = true;
    int inits = 0;

    BOOL OnInitDialog() override
    {
        ++inits;
        return CDialog::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* dx) override
    {
        if (dx->m_bSaveAndValidate) {
            if (!valid) {
                dx->Fail();
                return;
            }
            value = control;
        } else {
            control = value;
        }
    }
};

class CDialogTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        DialogTemplate t;
        t.caption = "Metronome";
        t.rect = CRect(0, 0, 200, 100);
        mvui::RegisterDialogTemplate(IDD_TEST, t);
        ASSERT_TRUE(owner.CreateEx(0, nullptr, "owner", WS_POPUP | WS_VISIBLE, CRect(0, 0, 400, 300), nullptr, 0));
    }
    void TearDown() override
    {
        mvui::SetModalHook(nullptr, nullptr);
        UiTest::TearDown();
    }
    // Runs the dialog with `act` performed once its loop is running.
    INT_PTR Run(TestDialog& dlg, std::function<void(TestDialog&)> act)
    {
        struct Ctx {
            std::function<void(TestDialog&)> act;
            bool ownerDisabled = false;
            CWnd* owner;
        } ctx{std::move(act), false, &owner};
        mvui::SetModalHook(
            [](CDialog* d, void* c) {
                auto* ctx = static_cast<Ctx*>(c);
                ctx->ownerDisabled = !ctx->owner->IsWindowEnabled();
                auto* dlg = static_cast<TestDialog*>(d);
                QTimer::singleShot(0, [ctx, dlg] { ctx->act(*dlg); });
            },
            &ctx);
        const INT_PTR r = dlg.DoModal();
        ownerWasDisabled = ctx.ownerDisabled;
        return r;
    }
    CWnd owner;
    bool ownerWasDisabled = false;
};

TEST_F(CDialogTest, OkExchangesDataAndEndsTheLoop)
{
    TestDialog dlg(&owner);
    dlg.value = 5;
    const INT_PTR r = Run(dlg, [](TestDialog& d) {
        EXPECT_EQ(d.control, 5);  // filled from the member at start
        d.control = 9;
        d.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(dlg.value, 9);
    EXPECT_EQ(dlg.inits, 1);
    EXPECT_TRUE(ownerWasDisabled);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_FALSE(IsWindow(dlg.m_hWnd));
}

TEST_F(CDialogTest, FailedValidationKeepsTheDialogOpen)
{
    TestDialog dlg(&owner);
    int attempts = 0;
    const INT_PTR r = Run(dlg, [&](TestDialog& d) {
        d.valid = false;
        d.control = 3;
        d.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
        ++attempts;
        EXPECT_TRUE(IsWindow(d.m_hWnd));
        d.valid = true;
        d.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(attempts, 1);
    EXPECT_EQ(dlg.value, 3);
}

TEST_F(CDialogTest, EscapeCancelsWithoutExchangeAndEnterAccepts)
{
    TestDialog cancel(&owner);
    cancel.value = 4;
    EXPECT_EQ(Run(cancel,
                  [](TestDialog& d) {
                      d.control = 8;
                      QTest::keyClick(mvui::WindowWidget(d.m_hWnd), Qt::Key_Escape);
                  }),
              IDCANCEL);
    EXPECT_EQ(cancel.value, 4);

    TestDialog accept(&owner);
    EXPECT_EQ(Run(accept,
                  [](TestDialog& d) {
                      d.control = 6;
                      QTest::keyClick(mvui::WindowWidget(d.m_hWnd), Qt::Key_Return);
                  }),
              IDOK);
    EXPECT_EQ(accept.value, 6);
}

TEST_F(CDialogTest, DialogDestroyedDuringItsLoopEndsTheLoop)
{
    TestDialog dlg(&owner);
    EXPECT_EQ(Run(dlg, [](TestDialog& d) { d.DestroyWindow(); }), IDCANCEL);
    EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST_F(CDialogTest, MissingTemplateFails)
{
    CDialog dlg(4711, &owner);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST_F(CDialogTest, SizeComesFromDialogUnitsOfTheDialogFont)
{
    TestDialog dlg(&owner);
    Run(dlg, [](TestDialog& d) {
        CRect r;
        d.GetWindowRect(&r);
        CRect units(0, 0, 4, 8);
        d.MapDialogRect(&units);
        EXPECT_GT(units.Width(), 3);
        EXPECT_GT(units.Height(), 8);
        // The base units: 4 horizontal and 8 vertical units; the template is 200 x 100.
        EXPECT_EQ(r.Width(), MulDiv(200, units.Width(), 4));
        EXPECT_EQ(r.Height(), MulDiv(100, units.Height(), 8));
        d.EndDialog(IDCANCEL);
    });
}

}  // namespace
