// A sheet of pages: pages made when first shown, a page that does not
// validate cannot be left, OK applies and Cancel resets every page made.
#include "platform/ui/CPropertySheet.h"

#include <gtest/gtest.h>

#include "tests/platform/ui/UiTestSupport.h"

namespace {

class CountingPage : public CPropertyPage {
public:
    explicit CountingPage(UINT id) : CPropertyPage(id) {}
    int inits = 0, actives = 0, applies = 0, resets = 0;
    bool valid = true;
    BOOL OnInitDialog() override { ++inits; return CPropertyPage::OnInitDialog(); }
    BOOL OnSetActive() override { ++actives; return TRUE; }
    BOOL OnKillActive() override { return valid; }
    BOOL OnApply() override { ++applies; return CPropertyPage::OnApply(); }
    void OnReset() override { ++resets; }
};

class CPropertySheetTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        DialogTemplate small, large;
        small.rect = CRect(0, 0, 100, 60);
        large.rect = CRect(0, 0, 160, 120);
        mvui::RegisterDialogTemplate(801, small);
        mvui::RegisterDialogTemplate(802, large);
    }
    void TearDown() override
    {
        mvui::SetModalHook(nullptr, nullptr);
        UiTest::TearDown();
    }
    INT_PTR Run(CPropertySheet& sheet, std::function<void(CPropertySheet&)> act)
    {
        mvui::SetModalHook(
            [](CDialog* d, void* c) {
                auto* f = static_cast<std::function<void(CPropertySheet&)>*>(c);
                auto* s = static_cast<CPropertySheet*>(d);
                QTimer::singleShot(0, [f, s] { (*f)(*s); });
            },
            &act);
        return sheet.DoModal();
    }
};

TEST_F(CPropertySheetTest, PagesAreMadeWhenShownAndAppliedOnOk)
{
    CountingPage a(801), b(802), c(801);
    CPropertySheet sheet("Options");
    sheet.AddPage(&a);
    sheet.AddPage(&b);
    sheet.AddPage(&c);
    const INT_PTR r = Run(sheet, [&](CPropertySheet& s) {
        EXPECT_EQ(s.GetActivePage(), &a);
        EXPECT_FALSE(IsWindow(b.m_hWnd));
        CRect sr;
        s.GetClientRect(&sr);
        EXPECT_GE(sr.Width(), b.TemplatePixelRect().Width());  // room for the largest page
        EXPECT_TRUE(s.SetActivePage(1));
        EXPECT_TRUE(IsWindow(b.m_hWnd));
        EXPECT_FALSE(a.IsWindowVisible());
        b.valid = false;
        EXPECT_FALSE(s.SetActivePage(0));  // the page does not let go
        EXPECT_EQ(s.GetActiveIndex(), 1);
        s.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);  // nor does OK end the sheet
        EXPECT_TRUE(IsWindow(s.m_hWnd));
        b.valid = true;
        s.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(a.applies, 1);
    EXPECT_EQ(b.applies, 1);
    EXPECT_EQ(c.applies, 0);  // never shown, never made
    EXPECT_EQ(c.inits, 0);
    EXPECT_EQ(a.inits, 1);
}

TEST_F(CPropertySheetTest, CancelResetsThePagesMade)
{
    CountingPage a(801), b(802);
    CPropertySheet sheet("Options", nullptr, 1);
    sheet.AddPage(&a);
    sheet.AddPage(&b);
    EXPECT_EQ(Run(sheet, [](CPropertySheet& s) { s.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0); }),
              IDCANCEL);
    EXPECT_EQ(b.resets, 1);
    EXPECT_EQ(a.resets, 0);
    EXPECT_EQ(b.applies, 0);
}

}  // namespace
