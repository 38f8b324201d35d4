#include "app/CMidiPortsDlg.h"

#include <cstdio>
#include <vector>

#include "app/AppDialogTemplates.h"
#include "devices/CAppConfig.h"
#include "devices/CMidiSource.h"
#include "platform/midi/MidiApi.h"
#include "platform/ui/CListBox.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

CMidiPortsDlg::CMidiPortsDlg(UINT templateId, CMidiSource* source, CWnd* parent)
    : CGenDialog(templateId, parent), m_source(source)
{
    mvapp::LoadAppDialogTemplates();
}

CListBox* CMidiPortsDlg::Available() const
{
    return static_cast<CListBox*>(GetDlgItem(IDC_AVAILABLE));
}

CListBox* CMidiPortsDlg::Active() const
{
    return static_cast<CListBox*>(GetDlgItem(IDC_ACTIVE));
}

bool CMidiPortsDlg::IsVirtualPort(UINT deviceId) const
{
    return CAppConfig::IsRewireDeviceMode() && deviceId == midiInGetNumDevs();
}

CString CMidiPortsDlg::DeviceName(UINT deviceId) const
{
    CString name;
    if (m_source)
        m_source->GetDeviceName(deviceId, &name);
    return name;
}

BOOL CMidiPortsDlg::OnInitDialog()
{
    CGenDialog::OnInitDialog();
    Fill();
    return TRUE;
}

void CMidiPortsDlg::Fill()
{
    CListBox* available = Available();
    CListBox* active = Active();
    if (!available || !active || !m_source)
        return;
    available->ResetContent();
    active->ResetContent();
    UINT devices = 0;
    m_source->GetDeviceCount(&devices);
    for (UINT id = 0; id < devices; ++id)
        if (!m_source->IsDeviceOpen(id))
            available->SetItemData(available->AddString(DeviceName(id)), id);
    for (int i = 0; i < m_source->GetOpenPortCount(); ++i)
        active->SetItemData(active->AddString(""), m_source->GetPortDeviceId(i));
    Renumber();
}

void CMidiPortsDlg::Renumber()
{
    CListBox* active = Active();
    const int selected = active->GetCurSel();
    std::vector<DWORD_PTR> ids;
    for (int i = 0; i < active->GetCount(); ++i)
        ids.push_back(active->GetItemData(i));
    active->ResetContent();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        char text[256];
        std::snprintf(text, sizeof text, LoadResString(IDS_MIDI_PORT_NAME), static_cast<int>(i) + 1,
                      DeviceName(static_cast<UINT>(ids[i])).GetString());
        active->SetItemData(active->AddString(text), ids[i]);
    }
    active->SetCurSel(selected);
}

void CMidiPortsDlg::PutBackAvailable(UINT deviceId)
{
    CListBox* available = Available();
    int at = 0;
    while (at < available->GetCount() && available->GetItemData(at) < deviceId)
        ++at;
    available->SetItemData(available->InsertString(at, DeviceName(deviceId)), deviceId);
    available->SetCurSel(at);
}

void CMidiPortsDlg::Add()
{
    CListBox* available = Available();
    CListBox* active = Active();
    const int from = available->GetCurSel();
    if (from < 0)
        return;
    const auto deviceId = static_cast<UINT>(available->GetItemData(from));
    available->DeleteString(from);
    available->SetCurSel(std::min(from, available->GetCount() - 1));
    int at = active->GetCount();
    if (at > 0 && IsVirtualPort(static_cast<UINT>(active->GetItemData(at - 1))))
        --at;
    active->SetItemData(active->InsertString(at, ""), deviceId);
    Renumber();
    active->SetCurSel(at);
    active->SetFocus();
    available->SetCurSel(-1);
}

void CMidiPortsDlg::Remove()
{
    CListBox* active = Active();
    const int at = active->GetCurSel();
    if (at < 0)
        return;
    const auto deviceId = static_cast<UINT>(active->GetItemData(at));
    if (IsVirtualPort(deviceId))
        return;
    active->DeleteString(at);
    active->SetCurSel(-1);
    Renumber();
    PutBackAvailable(deviceId);
}

void CMidiPortsDlg::Move(int delta)
{
    CListBox* active = Active();
    const int at = active->GetCurSel();
    const int to = at + delta;
    if (at < 0 || to < 0 || to >= active->GetCount())
        return;
    const DWORD_PTR moving = active->GetItemData(at), other = active->GetItemData(to);
    if (IsVirtualPort(static_cast<UINT>(moving)) || IsVirtualPort(static_cast<UINT>(other)))
        return;
    active->SetItemData(at, other);
    active->SetItemData(to, moving);
    active->SetCurSel(to);
    Renumber();
}

BOOL CMidiPortsDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == IDC_AVAILABLE || id == IDC_ACTIVE) {
        if (code == LBN_DBLCLK)
            id == IDC_AVAILABLE ? Add() : Remove();
        else if (code == LBN_SETFOCUS)  // one selection at a time, in the list that has the focus
            (id == IDC_AVAILABLE ? Active() : Available())->SetCurSel(-1);
        return TRUE;
    }
    switch (id) {
    case IDC_ADD:
    case ID_PORT_ADD: Add(); return TRUE;
    case IDC_REMOVE:
    case ID_PORT_REMOVE: Remove(); return TRUE;
    case IDC_MOVE_UP:
    case ID_PORT_MOVE_UP: Move(-1); return TRUE;
    case IDC_MOVE_DOWN:
    case ID_PORT_MOVE_DOWN: Move(+1); return TRUE;
    default: return CGenDialog::OnCommand(wParam, lParam);
    }
}

bool CMidiPortsDlg::ApplyPorts()
{
    CListBox* active = Active();
    if (!m_source || !active)
        return true;
    std::vector<UINT> wanted;
    for (int i = 0; i < active->GetCount(); ++i)
        wanted.push_back(static_cast<UINT>(active->GetItemData(i)));
    bool same = static_cast<int>(wanted.size()) == m_source->GetOpenPortCount();
    for (std::size_t i = 0; same && i < wanted.size(); ++i)
        same = m_source->GetPortDeviceId(static_cast<int>(i)) == wanted[i];
    if (same)
        return true;
    // Every device that opens is kept; one that fails does not stop the rest.
    m_source->CloseAllPorts();
    std::vector<CString> failed;
    for (std::size_t i = 0; i < wanted.size(); ++i)
        if (FAILED(m_source->OpenPort(wanted[i])))
            failed.push_back(active->GetText(static_cast<int>(i)));
    if (failed.empty())
        return true;
    char text[2048];
    if (failed.size() == 1) {
        std::snprintf(text, sizeof text, LoadResString(IDS_MIDI_PORT_OPEN_FAILED), failed[0].GetString());
    } else {
        CString names;
        for (const CString& name : failed) {
            names += "\"";
            names += name;
            names += "\"\n";
        }
        std::snprintf(text, sizeof text, LoadResString(IDS_MIDI_PORTS_OPEN_FAILED), names.GetString());
    }
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    Fill();
    return false;
}

void CMidiPortsDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    if (!ApplyPorts())
        return;
    ApplyOptions();
    EndDialog(IDOK);
}
