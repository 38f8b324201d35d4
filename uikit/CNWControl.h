// A windowless control: a plain object that lives inside a host window (its
// site, CNWControlSite) and draws on the host's surface. It keeps a value in
// a range with a default, a caption and a tool-tip text, an appearance
// record, and the state of the user's gesture on it. It never changes the
// model: it reports through its site (value changed, an edit gesture began
// or ended, clicked, context menu asked for) and the host decides what a
// change means.
//
// A user gesture is wrapped in BeginEdit / EndEdit, which nest: the host sees
// exactly one begin and one end per gesture, with the value changes between
// them. A gesture that is cancelled (capture lost) is ended too, so the
// edit depth never stays above 0; the depth never goes below 0.
//
// All controls share three fonts (small, normal, bold), made with the first
// control and deleted with the last. UI thread only.
#pragma once

#include "platform/ui/CDC.h"
#include "platform/ui/GdiTypes.h"
#include "platform/win/CString.h"
#include "uikit/NWControlAliases.h"

class COleDataObject;
using DROPEFFECT = DWORD;

// The appearance record: fifteen fields and a mask of the valid ones.
struct NWAPPEARANCE {
    COLORREF background1;
    COLORREF background2;
    COLORREF background3;
    COLORREF text1;
    COLORREF text2;
    COLORREF disabledText;
    BOOL showText;
    BOOL reserved;
    BOOL hotTracking;
    BOOL focusMark;
    BOOL valueTip;     // the value follows the mouse in a tip while dragging
    BOOL boldFont;
    BOOL clickInput;   // clicks and double clicks change the value
    int alignment;     // 0 left, 1 centre, 2 right
    int textMargin;
    DWORD mask;
};
// Mask bits, one per field; the click-input flag's bit is out of field order.
constexpr DWORD NWA_BACKGROUND1 = 0x1, NWA_BACKGROUND2 = 0x2, NWA_BACKGROUND3 = 0x4,
                NWA_TEXT1 = 0x8, NWA_TEXT2 = 0x10, NWA_DISABLEDTEXT = 0x20, NWA_SHOWTEXT = 0x40,
                NWA_RESERVED = 0x80, NWA_HOTTRACKING = 0x100, NWA_FOCUSMARK = 0x200,
                NWA_VALUETIP = 0x400, NWA_BOLDFONT = 0x800, NWA_ALIGNMENT = 0x1000,
                NWA_TEXTMARGIN = 0x2000, NWA_CLICKINPUT = 0x8000, NWA_ALL = 0xFFFFFFFF;
constexpr int NWA_ALIGN_LEFT = 0, NWA_ALIGN_CENTER = 1, NWA_ALIGN_RIGHT = 2;

class CNWControlSite;

class CNWControl : public CNWControlNames {
public:
    explicit CNWControl(CNWControlSite* site);
    ~CNWControl() override;
    CNWControl(const CNWControl&) = delete;
    CNWControl& operator=(const CNWControl&) = delete;

    virtual void Draw(CDC* dc) = 0;
    virtual void SetFocusState(bool focused, bool redraw);
    // Asks the site to refresh the control from the model.
    virtual void RequestUpdate();
    void Enable(bool enable) override;
    virtual void SetSize(SIZE size);
    virtual SIZE GetSize() const;
    virtual void SetPosition(POINT point, bool redraw);
    virtual DWORD GetUserData() const { return m_userData; }
    virtual void SetUserData(DWORD data) { m_userData = data; }
    virtual void SetEditable(bool editable);
    virtual bool IsEditable() const { return m_editable; }
    DWORD GetMsSinceChange() const override;
    void SetSelected(bool selected) override;
    virtual void SetAppearance(const NWAPPEARANCE& appearance);
    virtual void GetAppearance(NWAPPEARANCE* appearance) const;
    // 1 when the point is inside and the control is enabled.
    virtual int HitTest(POINT point);
    virtual bool IsTracking() const { return m_tracking; }
    // Ends a gesture that was cut short (capture lost with the button still
    // held): tracking stops and the edit begun by it is ended. With the
    // button up, the release that follows ends the edit.
    virtual void CancelTracking();
    virtual void OnLButtonDown(UINT flags, POINT point);
    virtual void OnLButtonUp(UINT flags, POINT point);
    virtual void OnRButtonDown(UINT flags, POINT point);
    virtual void OnRButtonUp(UINT flags, POINT point);
    virtual void OnLButtonDblClk(UINT flags, POINT point);
    virtual void OnMouseMove(UINT flags, POINT point);
    // Codes 0 minimum, 1 maximum, 2/3 down/up 5 %, 4/5 down/up 20 % of the
    // range; 1 when handled.
    virtual int OnKeyAction(int code);
    virtual void OnMouseEnter();
    virtual void OnMouseLeave();
    virtual bool OnDrop(POINT* point, COleDataObject* data, DROPEFFECT effect) { return false; }
    virtual bool OnDragEnter(POINT* point, COleDataObject* data) { return false; }
    virtual bool OnDragOver(POINT* point, COleDataObject* data) { return false; }
    virtual void SetDropHighlight(bool on) {}
    virtual void BeginEdit();
    virtual void EndEdit();
    virtual const CString& GetText() const { return m_text; }
    virtual void SetText(const CString& text);
    virtual const CString& GetToolTipText() const { return m_toolTipText; }
    virtual void SetToolTipText(const CString& text);
    virtual double GetValue() const { return m_value; }
    // With notify, a user change: ignored when not editable, wrapped in its
    // own edit gesture when none is under way, reported when the value moved.
    virtual void SetValue(double value, bool notify);
    virtual double GetDefaultValue() const { return m_defaultValue; }
    virtual void SetDefaultValue(double value) { m_defaultValue = value; }
    virtual void SetRange(double minimum, double maximum);
    int GetTag() const override { return m_tag; }
    void SetTag(int tag) override { m_tag = tag; }
    virtual void UpdateToolRect();
    // The text of the tool tip and the value tip: the caption here; value
    // controls give their value.
    virtual void GetTipText(CString* text);
    virtual double GetFineStep() const;
    virtual double GetCoarseStep() const;
    virtual double ValueToDisplay(double value) const { return value; }
    virtual double DisplayToValue(double value) const { return value; }
    // The tip text, "@" and the host's ordinal counted from 1.
    virtual void GetQualifiedName(CString* name);
    virtual void DrawFocus(CDC* dc) {}
    virtual void ShowValueTip(POINT point);
    // New text; at the given point (client coordinates), or where the tip is when null.
    virtual void UpdateValueTip(POINT* point);
    virtual void HideValueTip();

    CNWControlSite* GetSite() const { return m_site; }
    int GetId() const { return m_id; }
    bool IsEnabled() const { return m_enabled; }
    bool IsFocused() const { return m_focused; }
    bool IsHovered() const { return m_hover; }
    bool IsSelected() const { return m_selected; }
    bool IsDirty() const { return m_dirty; }
    bool IsMenuOpen() const { return m_menuOpen; }
    POINT GetMenuPoint() const { return m_pressPoint; }
    const CRect& GetRect() const { return m_rect; }
    double GetMinimum() const { return m_minimum; }
    double GetMaximum() const { return m_maximum; }
    int GetEditDepth() const { return m_editDepth; }
    const NWAPPEARANCE& Appearance() const { return m_look; }

    // The shared fonts, and the label and control fonts of the application
    // (its small and regular fonts; the shared small and normal fonts before
    // the application made its own).
    static CFont* SmallFont();
    static CFont* NormalFont();
    static CFont* BoldFont();
    static CFont* LabelFont();
    static CFont* ControlFont();

protected:
    // Begins the edit of a press or double click; ends it (once) on the
    // release or when the gesture is cancelled.
    void OpenGesture();
    void EndGesture();
    // Ends one level of edit whatever the editable flag says now, never below 0.
    void CloseEdit();
    // Hands the host an empty pop-up menu to fill and show for the control.
    void RunContextMenu(POINT point);
    // Invalidates the control through its site.
    void Invalidate();
    // The common caption drawing of the toolkit's controls: font by the bold
    // flag, colour by the editable flag, rectangle by alignment and margin,
    // transparent, single line, vertically centred, ellipsis at the end.
    void DrawCaption(CDC* dc, const CString& text, UINT extraFormat = DT_END_ELLIPSIS);
    CRect CaptionRect() const;
    UINT AlignmentFormat() const;
    // Raised (pressed false) or sunken frame around the control rectangle.
    void DrawFrame(CDC* dc, bool sunken) const;
    // The hover frame and the focus mark, as the appearance asks.
    void DrawHoverAndFocus(CDC* dc);
    // Copies (part of) a cached bitmap; false when it is not cached or has no pixels.
    static bool BlitCached(CDC* dc, UINT id, const RECT& to, int srcX, int srcY, bool transparent = false);
    static CSize CachedSize(UINT id);
    // A bitmap of the resource module (then of the program) that the control
    // owns itself; empty when there is none.
    static CBitmap LoadOwnBitmap(UINT id);
    // Copies a whole owned bitmap to the rectangle; nothing for an empty one.
    static void BlitOwnBitmap(CDC* dc, CBitmap& bitmap, const RECT& to);

    CNWControlSite* m_site;
    int m_id;
    DWORD m_userData = 0;
    bool m_tracking = false;
    bool m_enabled = true;
    bool m_focused = false;
    bool m_hover = false;
    bool m_dirty = true;
    bool m_menuOpen = false;
    CRect m_rect;
    int m_tag = -1;
    CPoint m_pressPoint;
    CPoint m_currentPoint;
    double m_value = -1.0;
    double m_defaultValue = 0.5;
    double m_minimum = 0.0;
    double m_maximum = 1.0;
    CString m_text;
    CString m_toolTipText;
    bool m_editable = true;
    bool m_selected = false;
    DWORD m_changeTime = 0;
    int m_editDepth = 0;
    // An edit gesture begun by a button press, ended by its release or cancel.
    bool m_gestureOpen = false;
    NWAPPEARANCE m_look;
    CString m_extra;
};
