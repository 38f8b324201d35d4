// Asks whether a shared pattern folder holds MIDI patterns or audio
// patterns; the caller reads the selection after OK and rescans the shared
// pattern library. UI thread only.
#pragma once

#include "platform/ui/CDialog.h"

class CSetSharedPatternTypeDlg : public CDialog {
public:
    static constexpr UINT IDD = 558;
    static constexpr int IDC_MIDI_PATTERNS = 1164, IDC_AUDIO_PATTERNS = 1165;
    enum Selection { kMidiPatterns = 0, kAudioPatterns = 1 };

    explicit CSetSharedPatternTypeDlg(CWnd* parent = nullptr);

    // The radio group to and from the selection.
    void DoDataExchange(CDataExchange* dx) override;

    int m_selection = kMidiPatterns;
};
