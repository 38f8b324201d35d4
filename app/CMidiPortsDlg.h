// The MIDI input port dialog: which MIDI input devices are open, and in
// which order (the order gives the port numbers). Devices move between the
// available list and the active list (buttons, double clicks, the add,
// remove and move commands); the virtual ReWire port stays last and cannot
// be removed or moved. OK reopens the ports when the active list differs
// from them: every device that opens is kept, and those that do not are
// named in one message, put back among the available ones, and the dialog
// stays open showing what is open now. UI thread only.
#pragma once

#include "uikit/CGenDialog.h"

class CListBox;
class CMidiSource;

class CMidiPortsDlg : public CGenDialog {
public:
    static constexpr int IDC_AVAILABLE = 1089, IDC_ACTIVE = 1008, IDC_ADD = 1085, IDC_REMOVE = 1086,
                         IDC_MOVE_UP = 1090, IDC_MOVE_DOWN = 1091;
    static constexpr UINT ID_PORT_ADD = 0x8032, ID_PORT_REMOVE = 0x8035, ID_PORT_MOVE_UP = 0x8038,
                          ID_PORT_MOVE_DOWN = 0x8039;

    // `source` is the engine owner's MIDI source.
    CMidiPortsDlg(UINT templateId, CMidiSource* source, CWnd* parent = nullptr);

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;

protected:
    // After the ports are as the list says and before the dialog closes.
    virtual void ApplyOptions() {}

    CMidiSource* m_source;

private:
    CListBox* Available() const;
    CListBox* Active() const;
    void Fill();
    void Add();
    void Remove();
    void Move(int delta);
    // "Port %d (%s)" for every active entry, positions from 1.
    void Renumber();
    void PutBackAvailable(UINT deviceId);
    bool IsVirtualPort(UINT deviceId) const;
    CString DeviceName(UINT deviceId) const;
    // True when the ports are as the active list says (reopened when they
    // were not); false, with the failures reported, when some did not open.
    bool ApplyPorts();
};
