#include "app/CRCQuickModDlg.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/AppDialogTemplates.h"
#include "app/CVarDropDownComboBox.h"
#include "app/ControllerNames.h"
#include "devices/CMidiMsg.h"
#include "devices/CMidiSource.h"
#include "devices/CRCTarget.h"
#include "platform/ui/CButton.h"
#include "platform/ui/CListBox.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

constexpr int kTargetParam = 0, kTargetCommand = 1;
constexpr WORD kAnyChannel = 0xFFFF;

// What choosing a source stores: the learned message's kind, its
// controller (kind 0), its largest value, and the listener mode for a
// command target and for a parameter target.
struct SourceRow {
    DWORD kind;
    WORD controller;
    DWORD maxValue;
    DWORD commandMode;
    DWORD paramMode;
};

using Mode = CMidiMsgListener::Mode;
const SourceRow kSources[CRCQuickModDlg::kSourceCount] = {
    {11, 0, 16383, Mode::kSwitch, Mode::kAbsolute},             // pitch wheel
    {0, 1, 127, Mode::kTrigger, Mode::kAbsolute},               // modulation wheel
    {0, 2, 127, Mode::kTrigger, Mode::kAbsolute},               // breath controller
    {0, 4, 127, Mode::kTrigger, Mode::kAbsolute},               // foot controller
    {13, 0, 127, Mode::kTrigger, Mode::kAbsolute},              // velocity of any note
    {14, 0, 127, Mode::kTrigger, Mode::kAbsolute},              // channel pressure
    {12, 0, 127, Mode::kToggleAboveThreshold, Mode::kToggleAboveThreshold},  // note on
    {12, 0, 127, Mode::kOnOffValues, Mode::kGate},              // note on / off
    {0, 0, 127, Mode::kTrigger, Mode::kAbsolute},               // other controller
    {6, 0, 16383, Mode::kTrigger, Mode::kAbsolute},             // RPN
    {5, 0, 16383, Mode::kTrigger, Mode::kAbsolute},             // NRPN
};

VARIANT LongVariant(LONG value)
{
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

// The source controls every entry enables, beside the fields of one source.
const int kSourceControls[] = {CRCQuickModDlg::IDC_PORT, CRCQuickModDlg::IDC_CHANNEL};

}  // namespace

CRCQuickModDlg::CRCQuickModDlg(std::vector<CRCQuickModEntry>* entries, int selectedIndex, CMidiSource* source,
                               CWnd* parent)
    : CGenDialog(IDD, parent), m_entries(entries), m_midiSource(source)
{
    mvapp::LoadAppDialogTemplates();
    AddItem(IDC_NOTE_ON, &m_noteOn);
    AddItem(IDC_NOTE_ON_OFF, &m_noteOnOff);
    AddItem(IDC_NRPN, &m_nrpn);
    AddItem(IDC_RPN, &m_rpn);
    if (m_entries && selectedIndex >= 0 && selectedIndex < static_cast<int>(m_entries->size())) {
        m_selected = selectedIndex;
        m_shown = (*m_entries)[selectedIndex].shown;
        m_edited = (*m_entries)[selectedIndex].edited;
    }
}

CRCQuickModDlg::~CRCQuickModDlg()
{
    StopLearning();
}

BOOL CRCQuickModDlg::OnInitDialog()
{
    CGenDialog::OnInitDialog();
    auto* list = static_cast<CListBox*>(GetDlgItem(IDC_LIST));
    if (m_entries)
        for (const CRCQuickModEntry& entry : *m_entries)
            list->AddString(entry.name);
    list->SetCurSel(m_selected);
    SetTimer(kTimerId, kTimerMs);

    // Port and controller names run long: their lists widen to fit.
    CComboBox* controllers = CVarDropDownComboBox::ReplaceDlgItem(this, IDC_CONTROLLER);
    for (int c = 0; c < 128; ++c)
        controllers->SetItemData(controllers->AddString(mvapp::GetControllerName(c)), static_cast<DWORD_PTR>(c));
    auto* channels = static_cast<CComboBox*>(GetDlgItem(IDC_CHANNEL));
    channels->AddString(LoadResString(IDS_RC_OMNI));
    for (int c = 1; c <= 16; ++c)
        channels->AddString(std::to_string(c).c_str());
    // Each port item carries its port number; "All Ports" the any-port value.
    CComboBox* ports = CVarDropDownComboBox::ReplaceDlgItem(this, IDC_PORT);
    ports->SetItemData(ports->AddString(LoadResString(IDS_RC_ALL_PORTS)), CMidiMsg::kAnyPort);
    const int open = m_midiSource ? m_midiSource->GetOpenPortCount() : 0;
    for (int p = 0; p < open; ++p) {
        char name[64];
        if (FAILED(m_midiSource->GetPortName(p, name, sizeof name)))
            name[0] = '\0';
        ports->SetItemData(ports->AddString(name), static_cast<DWORD_PTR>(p));
    }
    ShowTarget();
    return TRUE;
}

void CRCQuickModDlg::ShowTarget()
{
    CRCTarget* target = ShownTarget();
    if (target) {
        CMidiMsg& msg = target->Msg();
        auto* controllers = static_cast<CComboBox*>(GetDlgItem(IDC_CONTROLLER));
        switch (msg.m_kind) {
        case 0:
            if (msg.m_controllerA == 1 || msg.m_controllerA == 2 || msg.m_controllerA == 4) {
                m_source = msg.m_controllerA == 1 ? kModWheel : msg.m_controllerA == 2 ? kBreath : kFoot;
            } else if (msg.m_controllerA < 128) {
                m_source = kController;
            }
            if (msg.m_controllerA < 128)
                controllers->SetCurSel(msg.m_controllerA);
            break;
        case 5:
            m_source = kNrpn;
            m_nrpn.SetValue(msg.m_nrpnNumber);
            break;
        case 6:
            m_source = kRpn;
            m_rpn.SetValue(msg.m_rpnNumber);
            break;
        case 12:
            m_source = target->m_mode == Mode::kGate || target->m_mode == Mode::kSwitch ? kNoteOnOff : kNoteOn;
            m_noteOn.SetVariant(LongVariant(msg.m_noteNumber));
            m_noteOnOff.SetVariant(LongVariant(msg.m_noteNumber));
            break;
        case 13: m_source = kVelocity; break;
        case 14: m_source = kAftertouch; break;
        default: m_source = kPitchWheel; break;
        }
        auto* ports = static_cast<CComboBox*>(GetDlgItem(IDC_PORT));
        int item = ports->FindItemData(msg.m_port);
        if (item < 0) {
            // A port that is not open now keeps its number under its own name.
            char name[64];
            if (!m_midiSource || FAILED(m_midiSource->GetPortName(static_cast<int>(msg.m_port), name, sizeof name)))
                std::snprintf(name, sizeof name, "Port %lu", static_cast<unsigned long>(msg.m_port) + 1);
            item = ports->AddString(name);
            ports->SetItemData(item, msg.m_port);
        }
        ports->SetCurSel(item);
        static_cast<CComboBox*>(GetDlgItem(IDC_CHANNEL))
            ->SetCurSel(msg.m_channel == kAnyChannel ? 0 : msg.m_channel + 1);
        UpdateData(FALSE);
    }
    for (int i = 0; i < kSourceCount; ++i)
        static_cast<CButton*>(GetDlgItem(IDC_FIRST_SOURCE + i))
            ->SetCheck(target && i == m_source ? BST_CHECKED : BST_UNCHECKED);
    UpdateEnabling();
}

bool CRCQuickModDlg::ApplyTo(CRCTarget* target)
{
    if (!UpdateData(TRUE))
        return false;
    if (!target)
        return true;
    const int targetKind = target->GetTargetKind();
    if (targetKind != kTargetParam && targetKind != kTargetCommand)
        return true;  // neither kind: nothing this dialog can assign
    CMidiMsg& msg = target->Msg();
    auto* ports = static_cast<CComboBox*>(GetDlgItem(IDC_PORT));
    const int port = ports->GetCurSel();
    msg.m_port = port < 0 ? CMidiMsg::kAnyPort : static_cast<DWORD>(ports->GetItemData(port));
    const int channel = static_cast<CComboBox*>(GetDlgItem(IDC_CHANNEL))->GetCurSel();
    msg.m_channel = channel <= 0 ? kAnyChannel : static_cast<WORD>(channel - 1);
    const SourceRow& row = kSources[m_source];
    msg.m_kind = row.kind;
    msg.m_maxValue = row.maxValue;
    target->m_mode = targetKind == kTargetCommand ? row.commandMode : row.paramMode;
    switch (m_source) {
    case kModWheel:
    case kBreath:
    case kFoot: msg.m_controllerA = row.controller; break;
    case kController: {
        auto* controllers = static_cast<CComboBox*>(GetDlgItem(IDC_CONTROLLER));
        if (controllers->GetCurSel() >= 0)
            msg.m_controllerA = static_cast<WORD>(controllers->GetItemData(controllers->GetCurSel()));
        break;
    }
    case kNoteOn:
    case kNoteOnOff:
        msg.m_noteNumber = static_cast<WORD>((m_source == kNoteOn ? m_noteOn : m_noteOnOff).GetNote());
        break;
    case kRpn: msg.m_rpnNumber = static_cast<WORD>(m_rpn.GetValue()); break;
    case kNrpn: msg.m_nrpnNumber = static_cast<WORD>(m_nrpn.GetValue()); break;
    default: break;
    }
    return true;
}

void CRCQuickModDlg::UpdateEnabling()
{
    const bool any = ShownTarget() != nullptr;
    for (int i = 0; i < kSourceCount; ++i)
        GetDlgItem(IDC_FIRST_SOURCE + i)->EnableWindow(any);
    for (int id : kSourceControls)
        GetDlgItem(id)->EnableWindow(any);
    GetDlgItem(IDC_NOTE_ON)->EnableWindow(any && m_source == kNoteOn);
    GetDlgItem(IDC_NOTE_ON_OFF)->EnableWindow(any && m_source == kNoteOnOff);
    GetDlgItem(IDC_CONTROLLER)->EnableWindow(any && m_source == kController);
    GetDlgItem(IDC_NRPN)->EnableWindow(any && m_source == kNrpn);
    GetDlgItem(IDC_RPN)->EnableWindow(any && m_source == kRpn);
}

void CRCQuickModDlg::ChooseSource(int source)
{
    m_source = source;
    if (source == kModWheel || source == kBreath || source == kFoot)
        static_cast<CComboBox*>(GetDlgItem(IDC_CONTROLLER))->SetCurSel(kSources[source].controller);
    UpdateEnabling();
}

void CRCQuickModDlg::Select(int index)
{
    const bool valid = m_entries && index >= 0 && index < static_cast<int>(m_entries->size());
    m_selected = valid ? index : -1;
    m_shown = valid ? (*m_entries)[index].shown : nullptr;
    m_edited = valid ? (*m_entries)[index].edited : nullptr;
    static_cast<CListBox*>(GetDlgItem(IDC_LIST))->SetCurSel(m_selected);
    if (m_learning) {
        if (m_edited)
            SetTarget(m_edited);
        else
            StopLearning();
    }
    ShowTarget();
}

void CRCQuickModDlg::ToggleLearning()
{
    if (m_learning) {
        StopLearning();
        return;
    }
    if (!m_edited || !m_midiSource)
        return;
    SetTarget(m_edited);
    if (FAILED(m_midiSource->AddPrioritySink(this)))
        return;
    m_learning = true;
    GetDlgItem(IDC_LEARN)->SetWindowText(LoadResString(IDS_RC_STOP_LEARNING));
}

void CRCQuickModDlg::StopLearning()
{
    if (!m_learning)
        return;
    // Once this returns, no delivery calls the learner any more.
    m_midiSource->RemovePrioritySink(this);
    m_learning = false;
    if (CWnd* learn = m_hWnd ? GetDlgItem(IDC_LEARN) : nullptr)
        learn->SetWindowText(LoadResString(IDS_RC_LEARN));
}

void CRCQuickModDlg::DeleteSelected()
{
    if (!m_entries || m_selected < 0 || m_selected >= static_cast<int>(m_entries->size()))
        return;
    m_removed.push_back((*m_entries)[m_selected]);
    m_entries->erase(m_entries->begin() + m_selected);
    static_cast<CListBox*>(GetDlgItem(IDC_LIST))->DeleteString(static_cast<UINT>(m_selected));
    Select(std::min(m_selected, static_cast<int>(m_entries->size()) - 1));
}

void CRCQuickModDlg::OnLearned()
{
    m_learned.store(true, std::memory_order_release);
}

void CRCQuickModDlg::OnTimer(UINT_PTR id)
{
    if (id != kTimerId) {
        CGenDialog::OnTimer(id);
        return;
    }
    if (m_learned.exchange(false, std::memory_order_acquire))
        ShowTarget();
}

BOOL CRCQuickModDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == IDC_LIST) {
        if (code == LBN_SELCHANGE) {
            const int next = static_cast<CListBox*>(GetDlgItem(IDC_LIST))->GetCurSel();
            // What was set for the entry left goes into its target first.
            if (!ApplyTo(m_edited)) {
                static_cast<CListBox*>(GetDlgItem(IDC_LIST))->SetCurSel(m_selected);
                return TRUE;
            }
            Select(next);
        }
        return TRUE;
    }
    if (id >= IDC_FIRST_SOURCE && id <= IDC_LAST_SOURCE) {
        if (code == BN_CLICKED)
            ChooseSource(id - IDC_FIRST_SOURCE);
        return TRUE;
    }
    switch (id) {
    case IDC_DELETE:
    case ID_DELETE: DeleteSelected(); return TRUE;
    case IDC_LEARN: ToggleLearning(); return TRUE;
    default: return CGenDialog::OnCommand(wParam, lParam);
    }
}

void CRCQuickModDlg::OnOK()
{
    if (!ApplyTo(m_edited))
        return;
    StopLearning();
    EndDialog(IDOK);
}

void CRCQuickModDlg::OnCancel()
{
    StopLearning();
    if (m_entries)
        m_entries->insert(m_entries->end(), m_removed.begin(), m_removed.end());
    m_removed.clear();
    CGenDialog::OnCancel();
}

void CRCQuickModDlg::OnDestroy()
{
    StopLearning();
    KillTimer(kTimerId);
    CGenDialog::OnDestroy();
}
