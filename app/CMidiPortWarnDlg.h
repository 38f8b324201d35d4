// "MIDI Devices": the MIDI input port dialog with the start-up warning
// switch and the MIDI sync output options (device, song position, start
// never continue), read from the settings table when it is made and written
// back after the ports on OK; the sync generator, when there is one, takes
// the three sync options inside one relocation guard. UI thread only.
#pragma once

#include "app/CMidiPortsDlg.h"
#include "uikit/core/CPropBool.h"

class CMidiSyncGen;

class CMidiPortWarnDlg : public CMidiPortsDlg {
public:
    static constexpr UINT IDD = 152;
    static constexpr int IDC_SHOW_AT_STARTUP = 1011, IDC_SYNC_DEVICE = 1151, IDC_SEND_SPP = 1149,
                         IDC_START_NEVER_CONTINUE = 1150;

    // `syncGen` may be null (no engine).
    CMidiPortWarnDlg(CMidiSource* source, CMidiSyncGen* syncGen, CWnd* parent = nullptr);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;

protected:
    void ApplyOptions() override;

private:
    CMidiSyncGen* m_syncGen;
    CPropBool m_showAtStartup;
    CPropBool m_sendSpp;
    CPropBool m_startNeverContinue;
    int m_syncDevice;
};
