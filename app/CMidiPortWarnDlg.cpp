#include "app/CMidiPortWarnDlg.h"

#include "devices/CAppConfig.h"
#include "devices/CMidiSource.h"
#include "devices/CMidiSyncGen.h"
#include "devices/CMidiSyncGuard.h"
#include "platform/ui/CComboBox.h"

CMidiPortWarnDlg::CMidiPortWarnDlg(CMidiSource* source, CMidiSyncGen* syncGen, CWnd* parent)
    : CMidiPortsDlg(IDD, source, parent),
      m_syncGen(syncGen),
      m_showAtStartup(CAppConfig::GetMidiNoDeviceWarn() != 0),
      m_sendSpp(CAppConfig::GetSendMidiSPP() != 0),
      m_startNeverContinue(CAppConfig::GetSendMidiStartNeverContinue() != 0),
      m_syncDevice(CAppConfig::GetMidiSyncOutputPort())
{
    AddItem(IDC_SHOW_AT_STARTUP, &m_showAtStartup);
    AddItem(IDC_SEND_SPP, &m_sendSpp);
    AddItem(IDC_START_NEVER_CONTINUE, &m_startNeverContinue);
}

BOOL CMidiPortWarnDlg::OnInitDialog()
{
    CMidiPortsDlg::OnInitDialog();
    auto* devices = static_cast<CComboBox*>(GetDlgItem(IDC_SYNC_DEVICE));
    if (devices && m_source) {
        devices->ResetContent();
        UINT count = 0;
        m_source->GetOutputDeviceCount(&count);
        for (UINT id = 0; id < count; ++id) {
            CString name;
            BOOL hardware = FALSE;
            if (SUCCEEDED(m_source->GetOutputDeviceName(id, &name, &hardware)) && hardware)
                devices->SetItemData(devices->AddString(name), id);
        }
        devices->SetCurSel(devices->FindItemData(static_cast<DWORD_PTR>(m_syncDevice)));
    }
    return TRUE;
}

void CMidiPortWarnDlg::DoDataExchange(CDataExchange* dx)
{
    CMidiPortsDlg::DoDataExchange(dx);
    if (!dx->m_bSaveAndValidate || dx->m_failed)
        return;
    auto* devices = static_cast<CComboBox*>(GetDlgItem(IDC_SYNC_DEVICE));
    // No choice keeps the device the settings name.
    if (devices && devices->GetCurSel() >= 0)
        m_syncDevice = static_cast<int>(devices->GetItemData(devices->GetCurSel()));
}

void CMidiPortWarnDlg::ApplyOptions()
{
    CAppConfig::SetMidiNoDeviceWarn(m_showAtStartup.GetValue() ? 1 : 0);
    CAppConfig::SetMidiSyncOutputPort(m_syncDevice);
    CAppConfig::SetSendMidiSPP(m_sendSpp.GetValue() ? 1 : 0);
    CAppConfig::SetSendMidiStartNeverContinue(m_startNeverContinue.GetValue() ? 1 : 0);
    if (!m_syncGen)
        return;
    CMidiSyncGuard guard(m_syncGen);
    m_syncGen->SetOutputPort(m_syncDevice);
    m_syncGen->SetSendSPP(m_sendSpp.GetValue() ? 1 : 0);
    m_syncGen->SetStartNeverContinue(m_startNeverContinue.GetValue() ? 1 : 0);
}
