// "MIDI Remote Control": the remote-control targets of one parameter set
// or of the transport commands in a list; for the selected one, which MIDI
// control drives it (port, channel and a control source by type), learned
// from the next incoming messages while learning is on, and assignments
// deleted. The caller builds the entries and applies the edited targets as
// undoable steps after OK; Cancel puts deleted entries back at the end.
//
// Threads: the dialog lives on the UI thread. While learning, the MIDI
// source calls the learner on the MIDI input thread, which writes the
// edited target and sets the learned flag; the dialog reads the target on
// its 200 ms timer only after seeing the flag.
#pragma once

#include <atomic>
#include <vector>

#include "devices/CRCLearner.h"
#include "uikit/CGenDialog.h"
#include "uikit/core/CPropInt.h"
#include "uikit/core/CPropPitch.h"

class CMidiSource;
class CRCTarget;

// One line of the list: the target shown (or null: show the edited one),
// the target edited and learned into, and its name.
struct CRCQuickModEntry {
    WORD word = 0;
    CRCTarget* shown = nullptr;
    CRCTarget* edited = nullptr;
    CString name;
};

class CRCQuickModDlg : public CGenDialog, public CRCLearner {
public:
    static constexpr UINT IDD = 153;
    static constexpr int IDC_LIST = 1152, IDC_PORT = 1041, IDC_CHANNEL = 1042, IDC_CONTROLLER = 1063,
                         IDC_NOTE_ON = 1043, IDC_NOTE_ON_OFF = 1045, IDC_NRPN = 1046, IDC_RPN = 1047,
                         IDC_DELETE = 1049, IDC_LEARN = 1050, IDC_FIRST_SOURCE = 1052, IDC_LAST_SOURCE = 1062;
    static constexpr UINT ID_DELETE = 0x807D;
    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kTimerMs = 200;
    // The control sources, in the order of their radio buttons.
    enum Source {
        kPitchWheel, kModWheel, kBreath, kFoot, kVelocity, kAftertouch, kNoteOn, kNoteOnOff, kController, kRpn,
        kNrpn, kSourceCount
    };

    // `entries` stays the caller's; `source` is the engine owner's MIDI source (may be null).
    CRCQuickModDlg(std::vector<CRCQuickModEntry>* entries, int selectedIndex, CMidiSource* source,
                   CWnd* parent = nullptr);
    ~CRCQuickModDlg() override;

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;

    // MIDI input thread.
    void OnLearned() override;

    int GetSelectedIndex() const { return m_selected; }
    int GetSource() const { return m_source; }
    bool IsLearning() const { return m_learning; }

private:
    void Select(int index);
    void ShowTarget();
    // The controls into `target`; false when a field does not validate.
    bool ApplyTo(CRCTarget* target);
    void UpdateEnabling();
    void ChooseSource(int source);
    void ToggleLearning();
    void StopLearning();
    void DeleteSelected();
    CRCTarget* ShownTarget() const { return m_shown ? m_shown : m_edited; }

    CPropPitch m_noteOn{60};
    CPropPitch m_noteOnOff{60};
    CPropInt m_nrpn{0, 0, 16383};
    CPropInt m_rpn{0, 0, 16383};
    int m_source = kPitchWheel;
    std::vector<CRCQuickModEntry> m_removed;
    std::vector<CRCQuickModEntry>* m_entries;
    int m_selected = -1;
    CRCTarget* m_shown = nullptr;
    CRCTarget* m_edited = nullptr;
    CMidiSource* m_midiSource;
    bool m_learning = false;
    std::atomic<bool> m_learned{false};
};
