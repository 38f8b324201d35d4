#include "app/CTimeSignatureDlg.h"

#include <cstdio>

#include "app/AppDialogTemplates.h"
#include "app/ITimeSignatureDocument.h"
#include "model/CMeterKeySigMap.h"
#include "model/RunProjectEdit.h"
#include "platform/ui/CComboBox.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {
// The beat values offered, as powers of two of a whole note: 1 .. 32.
constexpr int kBeatValues = 6;

void ThrowIfFailed(HRESULT hr)
{
    if (FAILED(hr))
        throw CHResultException(hr);
}
}  // namespace

CTimeSignatureDlg::CTimeSignatureDlg(CMeterKey* entry, int mode, ITimeSignatureDocument* document, CWnd* parent)
    : CGenDialog(IDD, parent),
      m_measure(entry->m_measure, 1, 0x7FFFFFFF),
      m_beats(entry->m_numerator, 1, 99),
      m_mode(mode),
      m_document(document),
      m_entry(entry)
{
    mvapp::LoadAppDialogTemplates();
    AddItem(IDC_MEASURE, &m_measure);
    AddItem(IDC_BEATS, &m_beats);
}

BOOL CTimeSignatureDlg::OnInitDialog()
{
    CGenDialog::OnInitDialog();
    if (m_mode == kChange)
        GetDlgItem(IDC_MEASURE)->EnableWindow(FALSE);
    if (auto* values = static_cast<CComboBox*>(GetDlgItem(IDC_BEAT_VALUE))) {
        values->ResetContent();
        for (int power = 0; power < kBeatValues; ++power) {
            char text[16];
            std::snprintf(text, sizeof text, "%d", 1 << power);
            values->AddString(text);
        }
        values->SetCurSel(m_entry->m_power);
    }
    SetWindowText(m_mode == kInsert ? "Insert Time Signature" : "Change Time Signature");
    return TRUE;
}

void CTimeSignatureDlg::DoDataExchange(CDataExchange* dx)
{
    CGenDialog::DoDataExchange(dx);
    if (!dx->m_bSaveAndValidate || dx->m_failed)
        return;
    auto* values = static_cast<CComboBox*>(GetDlgItem(IDC_BEAT_VALUE));
    const int power = values ? values->GetCurSel() : m_entry->m_power;
    m_changed = m_measure.GetValue() != m_entry->m_measure || m_beats.GetValue() != m_entry->m_numerator ||
                power != m_entry->m_power;
    if (power >= 0 && power < kBeatValues)
        m_entry->m_power = power;
    m_entry->m_numerator = m_beats.GetValue();
}

HRESULT CTimeSignatureDlg::Apply()
{
    if (!m_document)
        return E_UNEXPECTED;
    CMeterKeySigMap& map = m_document->GetMeterKeySigMap();
    if (m_mode == kInsert) {
        const LONG tick = map.MbtToTick(m_measure.GetValue(), 1, 0);
        return map.InsertMeterKey(tick, *m_entry, TRUE, nullptr);
    }
    if (!m_changed)
        return S_OK;
    // The signature in force at the entry's own measure is the one replaced,
    // even when the edit moves it elsewhere.
    const int index = map.FindIndexAtMeasure(m_entry->m_measure);
    if (index < 0)
        return E_INVALIDARG;
    const LONG oldMeasure = m_entry->m_measure;
    if (m_mode == kChangeAndMove)
        m_entry->m_measure = m_measure.GetValue();
    const HRESULT hr = RunProjectEdit(nullptr, true, m_document->GetCommandDocument(), "Change Time Signature",
                          CMeterKeySigMap::kViewHint, [&](CMvCommand* command) {
                              ThrowIfFailed(map.DeleteMeterKey(index, FALSE, command));
                              // The measure's tick as the map stands after the delete.
                              const LONG tick = map.MbtToTick(m_entry->m_measure, 1, 0);
                              ThrowIfFailed(map.InsertMeterKey(tick, *m_entry, FALSE, command));
                          });
    if (FAILED(hr))
        m_entry->m_measure = oldMeasure;
    return hr;
}

void CTimeSignatureDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    if (FAILED(Apply())) {
        AfxMessageBox(LoadResString(IDS_TIMESIG_FAILED), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    EndDialog(IDOK);
}
