#include "app/CSetSharedPatternTypeDlg.h"

#include "app/AppDialogTemplates.h"
#include "platform/ui/CButton.h"

CSetSharedPatternTypeDlg::CSetSharedPatternTypeDlg(CWnd* parent) : CDialog(IDD, parent)
{
    mvapp::LoadAppDialogTemplates();
}

void CSetSharedPatternTypeDlg::DoDataExchange(CDataExchange* dx)
{
    auto* midi = static_cast<CButton*>(GetDlgItem(IDC_MIDI_PATTERNS));
    auto* audio = static_cast<CButton*>(GetDlgItem(IDC_AUDIO_PATTERNS));
    if (!midi || !audio)
        return;
    if (dx->m_bSaveAndValidate) {
        if (midi->GetCheck() == BST_CHECKED)
            m_selection = kMidiPatterns;
        else if (audio->GetCheck() == BST_CHECKED)
            m_selection = kAudioPatterns;
        return;
    }
    midi->SetCheck(m_selection == kMidiPatterns ? BST_CHECKED : BST_UNCHECKED);
    audio->SetCheck(m_selection == kAudioPatterns ? BST_CHECKED : BST_UNCHECKED);
}
