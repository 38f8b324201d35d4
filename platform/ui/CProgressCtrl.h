// The progress bar ("msctls_progress32"): a position within a range, drawn
// as a run of blocks in the highlight colour. UI thread only.
#pragma once

#include "platform/ui/CControlWnd.h"

constexpr UINT PBM_SETRANGE = 0x0401, PBM_SETPOS = 0x0402, PBM_DELTAPOS = 0x0403,
               PBM_SETSTEP = 0x0404, PBM_STEPIT = 0x0405, PBM_SETRANGE32 = 0x0406,
               PBM_GETRANGE = 0x0407, PBM_GETPOS = 0x0408;

class CProgressCtrl : public CControlWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    void SetRange32(int lower, int upper);
    // Clamped into the range; returns the position before.
    int SetPos(int pos);
    int GetPos() const { return m_pos; }
    int StepIt();
    void SetStep(int step) { m_step = step; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;

private:
    int m_lower = 0;
    int m_upper = 100;
    int m_pos = 0;
    int m_step = 10;
};
