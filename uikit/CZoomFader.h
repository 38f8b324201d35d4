// A compact fader: a slot with a thumb whose value is a float in a range,
// mapped to the slot linearly or logarithmically, with optional markings,
// step arrows at both ends and keyboard control. A press drags the value in
// place (three fader lengths span the scale) or opens a magnified pop-up
// beside it: a CZoomedFader, or in jog mode a CJogFader. Every change
// reaches the owner (the parent when there is none) as a posted WM_COMMAND
// with MAKEWPARAM(id, code) and the fader's handle:
//   0x8000 press ended, 0x8001 value changed, 0x8002 press started,
//   0x8003 right button released, 0x8004 arrow step with the right button,
//   0x8005 pointer moved over the fader or its pop-up, 0x8006 edit
//   cancelled, 0x80EA / 0x80EB Tab / Shift+Tab, 0x0100 after a keyboard
//   change, 0x0204 right press outside the arrows.
// A logarithmic scale whose minimum is 0 or less uses a floor of 1e-8, and
// a value at or below 0 maps to the minimum. With the tool-tip argument set
// the fader owns a tool tip over its whole face whose text is the label
// (asked for with TTN_NEEDTEXT); the fader relays its messages to it.
// UI thread only.
#pragma once

#include <memory>

#include "platform/ui/CFont.h"
#include "platform/ui/CWnd.h"
#include "uikit/CMarkings.h"

class CDC;
class COurToolTipCtrl;

class CZoomFader : public CWnd, public CMarkings {
public:
    enum Code : WORD {
        kPressEnded = 0x8000,
        kChanged = 0x8001,
        kPressStarted = 0x8002,
        kRightReleased = 0x8003,
        kRightArrowStep = 0x8004,
        kHover = 0x8005,
        kCancelled = 0x8006,
        kTabNext = 0x80EA,
        kTabPrevious = 0x80EB,
        kKeyChanged = 0x0100,
        kRightPress = 0x0204
    };
    static constexpr const char* kClassName = "CC:ZoomFader";

    CZoomFader(float scaleMin, float scaleMax, float lowerLimit, float upperLimit, float value, float defaultValue,
               BOOL logarithmic, BOOL horizontal, const char* label, const char* second, BOOL popup, int size1,
               int size2, BOOL centred, BOOL crosswise, BOOL arrows, BOOL toolTip, float step, int placement,
               BOOL focusOnPress, int textColor, BOOL lastFlag);
    ~CZoomFader() override;

    BOOL Create(const RECT& rect, CWnd* parent, UINT id, DWORD style = WS_CHILD | WS_VISIBLE);

    void SetValue(float value, BOOL notify);
    float GetValue() const { return m_value; }
    double ValueToFraction() const;
    float FractionToValue(float fraction) const;
    // The user's values stay within the limits, whichever of the two is smaller.
    float Limit(float value) const;
    void Notify(WORD code);
    void SetJog(BOOL jog) { m_jog = jog; }
    void SetCursors(HCURSOR ctrlCursor, HCURSOR shiftCursor);
    const CString& GetLabel() const { return m_label; }
    bool WorksHorizontally() const { return (m_horizontal != 0) != (m_crosswise != 0); }
    float ScaleMin() const { return m_scaleMin; }
    float ScaleMax() const { return m_scaleMax; }
    float GetStep() const { return m_step; }
    CWnd* GetPopup() const { return m_popupWnd.get(); }
    // Null without the tool-tip argument or before the window exists.
    COurToolTipCtrl* GetToolTip() const { return m_toolTip.get(); }
    BOOL IsDragging() const { return m_dragging; }
    // The shared 14-pixel face of the faders.
    static CFont* SharedFont();

    // The popup's answer (its WM_COMMAND codes) and drawing, shared with the pop-ups.
    void DrawScale(CDC* dc, const CRect& client, const CRect& slot, bool alongX, bool withLabels);

protected:
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    int OnCreate(CREATESTRUCT* cs) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
    void OnSize(UINT type, int cx, int cy) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnRButtonDown(UINT flags, CPoint point) override;
    void OnRButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnCancelMode() override;
    void OnCaptureChanged(CWnd* newCapture) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;
    void OnSetFocus(CWnd*) override { Invalidate(FALSE); }
    void OnKillFocus(CWnd*) override { Invalidate(FALSE); }

    // -1 on the lower arrow, 1 on the upper one, 0 elsewhere or without arrows.
    int ArrowAt(CPoint point) const;
    CRect SlotRect() const;
    CPoint ThumbPoint() const;
    void RunArrowLoop(int arrow, bool right);
    void OpenPopup();
    void ClosePopup();
    void Cancel();
    void EndPress();
    void Hover(UINT flags, CPoint point);
    void OnPopupCommand(WORD code);

    float m_scaleMin, m_scaleMax, m_lowerLimit, m_upperLimit, m_defaultValue, m_value, m_savedValue;
    float m_logBase = 1.0f;
    double m_dragStartFraction = 0;
    BOOL m_logarithmic, m_horizontal, m_crosswise;
    CString m_label, m_second;
    BOOL m_popup, m_jog = FALSE;
    BOOL m_dragging = FALSE;
    CPoint m_pressPoint;
    BOOL m_hasArrows;
    int m_heldArrow = 0;
    HCURSOR m_plainCursor, m_ctrlCursor = nullptr, m_shiftCursor = nullptr;
    std::unique_ptr<CWnd> m_popupWnd;
    int m_popupPlacement;
    float m_step;
    COLORREF m_textColor;
    BOOL m_centred;
    int m_thickness = 0, m_length = 0;
    BOOL m_focusOnPress;
    BOOL m_wantsToolTip;
    std::unique_ptr<COurToolTipCtrl> m_toolTip;
};
