// The time signature dialog, driven as the user does: it shows the entry,
// inserts a new signature as "Insert Time Signature", changes one at its
// measure or moves it as one "Change Time Signature" that undo takes back,
// adds nothing when nothing changed, and keeps a measure out of range out.
#include "app/CTimeSignatureDlg.h"

#include <gtest/gtest.h>

#include "app/ITimeSignatureDocument.h"
#include "model/CMeterKeySigMap.h"
#include "model/CUndoHistory.h"
#include "platform/res/CScriptedAnswerer.h"
#include "platform/ui/CComboBox.h"
#include "tests/app/AppDialogSupport.h"

namespace {

class FakeTimeSignatureDocument : public ITimeSignatureDocument {
public:
    CMeterKeySigMap& GetMeterKeySigMap() override { return map; }
    ICommandDocument* GetCommandDocument() override { return nullptr; }
    CMeterKeySigMap map;
};

using Dlg = CTimeSignatureDlg;

class CTimeSignatureDlgTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        CUndoHistory::Instance().Clear();
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        UiTest::TearDown();
    }
    // Two signatures: 4/4 from measure 1 and `numerator`/4 from measure 5.
    void TwoSignatures(LONG numerator = 4)
    {
        ASSERT_EQ(doc.map.Insert(1, CMeterKey(5, numerator, 2)), S_OK);
    }
    int UndoCount()
    {
        int n = 0;
        CUndoHistory::Instance().GetCount(&n);
        return n;
    }
    static CWnd* Item(Dlg& d, int id) { return d.GetDlgItem(id); }
    static CComboBox* BeatValue(Dlg& d) { return static_cast<CComboBox*>(d.GetDlgItem(Dlg::IDC_BEAT_VALUE)); }
    static void PressOk(Dlg& d) { mvtest::Click(d.GetDlgItem(IDOK)); }

    FakeTimeSignatureDocument doc;
    std::shared_ptr<CScriptedAnswerer> answerer = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope{answerer};
};

TEST_F(CTimeSignatureDlgTest, ShowsTheEntryAndOffersTheBeatValues)
{
    TwoSignatures(6);
    doc.map.Set(1, CMeterKey(5, 6, 3));
    CMeterKey entry = doc.map[1];
    Dlg d(&entry, Dlg::kChange, &doc);
    mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        EXPECT_EQ(d.GetWindowText(), CString("Change Time Signature"));
        EXPECT_EQ(Item(d, Dlg::IDC_MEASURE)->GetWindowText(), CString("5"));
        EXPECT_FALSE(Item(d, Dlg::IDC_MEASURE)->IsWindowEnabled());  // changed where it is
        EXPECT_EQ(Item(d, Dlg::IDC_BEATS)->GetWindowText(), CString("6"));
        CComboBox* values = BeatValue(d);
        ASSERT_EQ(values->GetCount(), 6);
        const char* expected[] = {"1", "2", "4", "8", "16", "32"};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(values->GetLBText(i), CString(expected[i]));
        EXPECT_EQ(values->GetCurSel(), 3);  // eighths
        mvtest::ShotTree(d, "time-signature-change");
        mvtest::Click(values);  // drops the list
        ASSERT_TRUE(values->GetDroppedState());
        EXPECT_EQ(CWnd::GetFocus(), values);
        mvtest::Shot(*values->GetDroppedList(), "time-signature-beat-values-list");
        mvtest::Key(values, VK_ESCAPE);
        mvtest::Click(d.GetDlgItem(IDCANCEL));
    });
}

TEST_F(CTimeSignatureDlgTest, InsertPlacesTheSignatureAtTheTypedMeasure)
{
    CMeterKey entry(1, 4, 2);
    Dlg d(&entry, Dlg::kInsert, &doc);
    const INT_PTR result = mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        EXPECT_EQ(d.GetWindowText(), CString("Insert Time Signature"));
        EXPECT_TRUE(Item(d, Dlg::IDC_MEASURE)->IsWindowEnabled());
        mvtest::TypeInto(Item(d, Dlg::IDC_MEASURE), "3");
        mvtest::TypeInto(Item(d, Dlg::IDC_BEATS), "6");
        CComboBox* values = BeatValue(d);
        values->SetFocus();
        mvtest::Key(values, VK_DOWN);  // 4 -> 8
        mvtest::ShotTree(d, "time-signature-insert");
        PressOk(d);
    });
    EXPECT_EQ(result, IDOK);
    ASSERT_EQ(doc.map.GetSize(), 2);
    EXPECT_EQ(doc.map[1].m_measure, 3);
    EXPECT_EQ(doc.map[1].m_numerator, 6);
    EXPECT_EQ(doc.map[1].m_power, 3);  // choosing 8 stores the power 3
    EXPECT_EQ(doc.map[1].m_startTick, 7680);
    EXPECT_EQ(UndoCount(), 1);
    EXPECT_STREQ(CUndoHistory::Instance().GetCommandName(0), "Insert Time Signature");
    EXPECT_EQ(CUndoHistory::Instance().Undo(), S_OK);
    EXPECT_EQ(doc.map.GetSize(), 1);
}

TEST_F(CTimeSignatureDlgTest, ChangeAtItsMeasureIsOneUndoableCommand)
{
    TwoSignatures();
    CMeterKey entry = doc.map[1];
    Dlg d(&entry, Dlg::kChange, &doc);
    EXPECT_EQ(mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        mvtest::TypeInto(Item(d, Dlg::IDC_BEATS), "3");
        PressOk(d);
    }), IDOK);
    ASSERT_EQ(doc.map.GetSize(), 2);
    EXPECT_EQ(doc.map[1].m_measure, 5);
    EXPECT_EQ(doc.map[1].m_numerator, 3);
    EXPECT_EQ(UndoCount(), 1);
    EXPECT_STREQ(CUndoHistory::Instance().GetCommandName(0), "Change Time Signature");
    EXPECT_EQ(CUndoHistory::Instance().Undo(), S_OK);
    ASSERT_EQ(doc.map.GetSize(), 2);
    EXPECT_EQ(doc.map[1].m_measure, 5);
    EXPECT_EQ(doc.map[1].m_numerator, 4);
}

TEST_F(CTimeSignatureDlgTest, ChangeAndMoveTakesTheSignatureToTheTypedMeasure)
{
    TwoSignatures(3);
    CMeterKey entry = doc.map[1];
    Dlg d(&entry, Dlg::kChangeAndMove, &doc);
    EXPECT_EQ(mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        mvtest::TypeInto(Item(d, Dlg::IDC_MEASURE), "9");
        PressOk(d);
    }), IDOK);
    ASSERT_EQ(doc.map.GetSize(), 2);
    EXPECT_EQ(doc.map[1].m_measure, 9);
    EXPECT_EQ(doc.map[1].m_numerator, 3);
    EXPECT_EQ(doc.map[1].m_startTick, 8 * 3840);  // all 4/4 before it now
    EXPECT_EQ(UndoCount(), 1);
    EXPECT_EQ(CUndoHistory::Instance().Undo(), S_OK);
    EXPECT_EQ(doc.map[1].m_measure, 5);
    EXPECT_EQ(doc.map[1].m_numerator, 3);
}

TEST_F(CTimeSignatureDlgTest, OkWithoutChangesAddsNoUndoEntry)
{
    TwoSignatures();
    for (int mode : {Dlg::kChange, Dlg::kChangeAndMove}) {
        CMeterKey entry = doc.map[1];
        Dlg d(&entry, mode, &doc);
        EXPECT_EQ(mvtest::RunModal<Dlg>(d, [](Dlg& d) { PressOk(d); }), IDOK);
        EXPECT_FALSE(d.IsChanged());
        EXPECT_EQ(UndoCount(), 0) << "mode " << mode;
        EXPECT_EQ(doc.map.GetSize(), 2);
    }
}

TEST_F(CTimeSignatureDlgTest, AMeasureOutOfRangeKeepsTheDialogOpenAndTheMapAsItWas)
{
    CMeterKey entry(1, 4, 2);
    Dlg d(&entry, Dlg::kInsert, &doc);
    const INT_PTR result = mvtest::RunModal<Dlg>(d, [this](Dlg& d) {
        mvtest::TypeInto(Item(d, Dlg::IDC_BEATS), "100");
        PressOk(d);
        ASSERT_EQ(answerer->Prompts().size(), 1u);
        EXPECT_EQ(answerer->Prompts()[0].text, "Please enter a value from 1 through 99");
        EXPECT_TRUE(IsWindow(d.m_hWnd));
        mvtest::Click(d.GetDlgItem(IDCANCEL));
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(doc.map.GetSize(), 1);
    EXPECT_EQ(UndoCount(), 0);
}

}  // namespace
