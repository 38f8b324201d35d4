// The shared pattern folder type: MIDI patterns at first, the user's choice
// after OK, the caller's value back after Cancel.
#include "app/CSetSharedPatternTypeDlg.h"

#include <gtest/gtest.h>

#include "platform/ui/CButton.h"
#include "tests/app/AppDialogSupport.h"

namespace {

using Dlg = CSetSharedPatternTypeDlg;

class CSetSharedPatternTypeDlgTest : public mvtest::UiTest {};

TEST_F(CSetSharedPatternTypeDlgTest, StartsOnMidiPatternsAndTakesTheChoiceOnOk)
{
    Dlg d;
    const INT_PTR result = mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        EXPECT_EQ(d.GetWindowText(), CString("Set Shared Pattern Folder"));
        EXPECT_EQ(static_cast<CButton*>(d.GetDlgItem(Dlg::IDC_MIDI_PATTERNS))->GetCheck(), BST_CHECKED);
        mvtest::Click(d.GetDlgItem(Dlg::IDC_AUDIO_PATTERNS));
        EXPECT_EQ(static_cast<CButton*>(d.GetDlgItem(Dlg::IDC_MIDI_PATTERNS))->GetCheck(), BST_UNCHECKED);
        mvtest::ShotTree(d, "shared-pattern-type");
        mvtest::Click(d.GetDlgItem(IDOK));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(d.m_selection, Dlg::kAudioPatterns);
}

TEST_F(CSetSharedPatternTypeDlgTest, CancelKeepsTheSelection)
{
    Dlg d;
    d.m_selection = Dlg::kAudioPatterns;
    const INT_PTR result = mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        EXPECT_EQ(static_cast<CButton*>(d.GetDlgItem(Dlg::IDC_AUDIO_PATTERNS))->GetCheck(), BST_CHECKED);
        mvtest::Click(d.GetDlgItem(Dlg::IDC_MIDI_PATTERNS));
        mvtest::Click(d.GetDlgItem(IDCANCEL));
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(d.m_selection, Dlg::kAudioPatterns);
}

}  // namespace
