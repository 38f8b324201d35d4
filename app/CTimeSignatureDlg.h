// The time signature dialog: inserts a time signature at a measure, or
// changes the one at its measure (and may move it), as one undoable
// command. The caller owns the entry; the dialog writes the numerator and
// the beat value (denominator power) into it. UI thread only.
#pragma once

#include "uikit/CGenDialog.h"
#include "uikit/core/CPropInt.h"

class CMeterKey;
class ITimeSignatureDocument;

class CTimeSignatureDlg : public CGenDialog {
public:
    static constexpr UINT IDD = 242;
    static constexpr int IDC_MEASURE = 1077, IDC_BEATS = 1078, IDC_BEAT_VALUE = 1080, IDC_HELP = 57670;
    enum Mode { kInsert = 0, kChange = 1, kChangeAndMove = 2 };

    CTimeSignatureDlg(CMeterKey* entry, int mode, ITimeSignatureDocument* document, CWnd* parent = nullptr);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;

    bool IsChanged() const { return m_changed; }

private:
    // The edit the dialog stands for, as one command; S_OK when there is nothing to do.
    HRESULT Apply();

    CPropInt m_measure;
    CPropInt m_beats;
    bool m_changed = false;
    int m_mode;
    ITimeSignatureDocument* m_document;
    CMeterKey* m_entry;
};
