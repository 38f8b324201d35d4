// Generic pages and sheets: a page's values round-trip through its stream
// (controls or none), a refused value stops loading, Cancel after Apply
// restores, and a one-page sheet hides its tab and puts its buttons in a
// column, reopening on the page it closed on.
#include "uikit/CGenPropertyPage.h"

#include <gtest/gtest.h>

#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"
#include "platform/com/VariantStream.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/uikit/DialogToolkitSupport.h"
#include "uikit/CGenPropertySheet.h"
#include "uikit/core/CPropBool.h"
#include "uikit/core/CPropInt.h"
#include "uikit/core/CPropText.h"

namespace {

class MetronomePage : public CGenPropertyPage {
public:
    explicit MetronomePage(UINT templateId = mvtest::IDD_GEN_PAGE) : CGenPropertyPage(templateId, 0)
    {
        AddItem(mvtest::IDC_VALUE, &volume);
        AddItem(mvtest::IDC_LOOP, &countIn);
        AddItem(-1, &sound);  // kept in the stream only
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetClassID)(CLSID*) override { return E_NOTIMPL; }
    STDMETHOD(IsDirty)() override { return S_FALSE; }

    CPropInt volume{100, 0, 127};
    CPropBool countIn{false};
    CPropText sound{"Click"};
};

LONG ValueOf(const CProperty& p)
{
    VARIANT v;
    p.GetVariant(&v);
    VARIANT i;
    VariantChangeType(&i, &v, 0, VT_I4);
    return i.lVal;
}

mvcom::CComPtr<IStream> NewStream()
{
    mvcom::CComPtr<IStream> s;
    CreateStreamOnHGlobal(nullptr, TRUE, s.Put());
    return s;
}

void Rewind(IStream* s)
{
    LARGE_INTEGER zero{};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
}

class CGenPropertyPageTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        mvtest::LoadToolkitTemplates();
    }
};

TEST_F(CGenPropertyPageTest, StreamRoundTripsEveryPropertyWithOrWithoutControls)
{
    MetronomePage saved;
    saved.volume.SetVariant(VariantFromI4(64));
    saved.countIn.SetVariant(VariantFromBool(true));
    saved.sound.ParseText("Cowbell");
    mvcom::CComPtr<IStream> s = NewStream();
    ASSERT_EQ(saved.Save(s.Get(), TRUE), S_OK);
    ULARGE_INTEGER size{};
    ASSERT_EQ(saved.GetSizeMax(&size), S_OK);
    STATSTG stat{};
    s->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(size.QuadPart, stat.cbSize.QuadPart);

    MetronomePage loaded;
    Rewind(s.Get());
    ASSERT_EQ(loaded.Load(s.Get()), S_OK);
    EXPECT_EQ(ValueOf(loaded.volume), 64);
    EXPECT_NE(ValueOf(loaded.countIn), 0);
    CString sound;
    loaded.sound.FormatText(sound);
    EXPECT_EQ(sound, CString("Cowbell"));

    // A page with its window: what the controls hold is what is saved.
    CGenPropertySheet sheet("Options");
    sheet.AddPage(&loaded);
    mvtest::RunModal<CGenPropertySheet>(sheet, [&](CGenPropertySheet& sheet) {
        loaded.GetDlgItem(mvtest::IDC_VALUE)->SetWindowText("12");
        mvcom::CComPtr<IStream> again = NewStream();
        EXPECT_EQ(loaded.Save(again.Get(), TRUE), S_OK);
        Rewind(again.Get());
        VARIANT first;
        ASSERT_EQ(ReadVariant(again.Get(), first), S_OK);
        EXPECT_EQ(first.lVal, 12);
        sheet.SendMessage(WM_COMMAND, IDCANCEL);
    });
}

TEST_F(CGenPropertyPageTest, RefusedValueStopsLoadingAndKeepsWhatCameBefore)
{
    mvcom::CComPtr<IStream> s = NewStream();
    WriteVariant(s.Get(), VariantFromI4(7));
    WriteVariant(s.Get(), VariantFromText("not a boolean"));
    WriteVariant(s.Get(), VariantFromText("Beep"));
    Rewind(s.Get());
    MetronomePage page;
    EXPECT_EQ(page.Load(s.Get()), E_FAIL);
    EXPECT_EQ(ValueOf(page.volume), 7);
    CString sound;
    page.sound.FormatText(sound);
    EXPECT_EQ(sound, CString("Click"));
    // A stream cut short fails as well.
    mvcom::CComPtr<IStream> empty = NewStream();
    EXPECT_EQ(page.Load(empty.Get()), E_FAIL);
}

TEST_F(CGenPropertyPageTest, QueryInterfaceAnswersUnknownAndPersistStreamOnly)
{
    MetronomePage page;
    void* out = &page;
    EXPECT_EQ(page.QueryInterface(IID_IPersistStream, &out), S_OK);
    EXPECT_EQ(out, static_cast<IPersistStream*>(&page));
    EXPECT_EQ(page.QueryInterface(IID_IPersistStreamInit, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(CGenPropertyPageTest, CancelAfterApplyRestoresTheStartValues)
{
    MetronomePage page;
    CGenPropertySheet sheet(nullptr);
    sheet.AddPage(&page);
    const INT_PTR result = mvtest::RunModal<CGenPropertySheet>(sheet, [&](CGenPropertySheet& sheet) {
        page.GetDlgItem(mvtest::IDC_VALUE)->SetWindowText("99");
        EXPECT_TRUE(page.OnApply());
        EXPECT_EQ(ValueOf(page.volume), 99);
        sheet.SendMessage(WM_COMMAND, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(ValueOf(page.volume), 100);
}

TEST_F(CGenPropertyPageTest, OnePageSheetHidesItsTabAndStacksItsButtonsBesideThePage)
{
    MetronomePage page;
    CGenPropertySheet sheet(nullptr);
    sheet.AddPage(&page);
    mvtest::RunModal<CGenPropertySheet>(sheet, [&](CGenPropertySheet& sheet) {
        EXPECT_FALSE(sheet.GetTabControl()->IsWindowVisible());
        EXPECT_EQ(sheet.GetWindowText(), CString("Metronome"));  // the page's caption
        CRect pageRect, ok, cancel, help;
        page.GetWindowRect(&pageRect);
        sheet.GetDlgItem(IDOK)->GetWindowRect(&ok);
        sheet.GetDlgItem(IDCANCEL)->GetWindowRect(&cancel);
        ASSERT_NE(sheet.GetDlgItem(IDHELP), nullptr);
        sheet.GetDlgItem(IDHELP)->GetWindowRect(&help);
        EXPECT_EQ(sheet.GetDlgItem(ID_APPLY_NOW), nullptr);
        const int hGap = 6, vGap = 6;  // 4 dialog units of the default dialog font
        EXPECT_EQ(ok.left, pageRect.right + hGap);
        EXPECT_EQ(ok.top, pageRect.top);
        EXPECT_EQ(cancel.left, ok.left);
        EXPECT_EQ(cancel.top, ok.bottom + vGap);
        EXPECT_EQ(help.top, cancel.bottom + vGap);
        CRect sheetRect, client;
        sheet.GetWindowRect(&sheetRect);
        sheet.GetClientRect(&client);
        sheet.ScreenToClient(&pageRect);
        EXPECT_EQ(client.right, ok.right - sheetRect.left - sheet.GetClientOffset().x + pageRect.left);
        mvtest::Shot(sheet, "gen-sheet-one-page");
        sheet.SendMessage(WM_COMMAND, IDCANCEL);
    });
}

TEST_F(CGenPropertyPageTest, SheetReopensOnThePageItClosedOn)
{
    MetronomePage first;
    MetronomePage second(mvtest::IDD_GEN_PAGE2);
    CGenPropertySheet sheet("Options");
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    mvtest::RunModal<CGenPropertySheet>(sheet, [](CGenPropertySheet& sheet) {
        EXPECT_TRUE(sheet.GetTabControl()->IsWindowVisible());
        EXPECT_TRUE(sheet.SetActivePage(1));
        mvtest::Shot(sheet, "gen-sheet-two-pages");
        sheet.SendMessage(WM_COMMAND, IDOK);
    });
    mvtest::RunModal<CGenPropertySheet>(sheet, [](CGenPropertySheet& sheet) {
        EXPECT_EQ(sheet.GetActiveIndex(), 1);
        sheet.SendMessage(WM_COMMAND, IDCANCEL);
    });
}

}  // namespace
