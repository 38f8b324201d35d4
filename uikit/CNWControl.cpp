#include "uikit/CNWControl.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/res/Resources.h"
#include "platform/sync/Time.h"
#include "platform/ui/BitmapResources.h"
#include "platform/ui/CMenu.h"
#include "platform/ui/CWnd.h"
#include "platform/ui/InputState.h"
#include "platform/ui/SystemMetrics.h"
#include "platform/win/MulDiv.h"
#include "uikit/CBaseApp.h"
#include "uikit/CBitmapCache.h"
#include "uikit/CMouseTip.h"
#include "uikit/CNWControlSite.h"
#include "uikit/COurToolTipCtrl.h"
#include "uikit/core/ResString.h"

namespace {

constexpr UINT IDS_NW_FONT_FACE = 34482;

int g_instances = 0;
CFont g_smallFont;
CFont g_normalFont;
CFont g_boldFont;

void CreateSharedFonts()
{
    LOGFONT lf{};
    lf.lfHeight = MulDiv(8, GetDisplayCaps(LOGPIXELSY), 72);
    lf.lfCharSet = CBaseApp::s_shiftJis ? SHIFTJIS_CHARSET : ANSI_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    std::snprintf(lf.lfFaceName, LF_FACESIZE, "%s", LoadResString(IDS_NW_FONT_FACE));
    g_smallFont.CreateFontIndirect(&lf);
    lf.lfHeight = MulDiv(10, GetDisplayCaps(LOGPIXELSY), 72);
    g_normalFont.CreateFontIndirect(&lf);
    lf.lfWeight = FW_BOLD;
    g_boldFont.CreateFontIndirect(&lf);
}

NWAPPEARANCE DefaultAppearance()
{
    NWAPPEARANCE a{};
    a.background1 = a.background2 = a.background3 = GetSysColor(COLOR_BTNFACE);
    a.text1 = a.text2 = GetSysColor(COLOR_BTNTEXT);
    a.disabledText = GetSysColor(COLOR_GRAYTEXT);
    a.showText = FALSE;
    a.reserved = FALSE;
    a.hotTracking = TRUE;
    a.focusMark = FALSE;
    a.valueTip = TRUE;
    a.boldFont = FALSE;
    a.clickInput = TRUE;
    a.alignment = NWA_ALIGN_LEFT;
    a.textMargin = 0;
    a.mask = NWA_ALL;
    return a;
}

}  // namespace

CNWControl::CNWControl(CNWControlSite* site)
    : m_site(site), m_id(site ? site->NextControlId() : 0), m_look(DefaultAppearance())
{
    if (g_instances++ == 0)
        CreateSharedFonts();
}

CNWControl::~CNWControl()
{
    if (--g_instances == 0) {
        g_smallFont.DeleteObject();
        g_normalFont.DeleteObject();
        g_boldFont.DeleteObject();
    }
}

CFont* CNWControl::SmallFont() { return &g_smallFont; }
CFont* CNWControl::NormalFont() { return &g_normalFont; }
CFont* CNWControl::BoldFont() { return &g_boldFont; }

CFont* CNWControl::LabelFont()
{
    return CBaseApp::s_fontSmall.IsCreated() ? &CBaseApp::s_fontSmall : &g_smallFont;
}

CFont* CNWControl::ControlFont()
{
    return CBaseApp::s_font.IsCreated() ? &CBaseApp::s_font : &g_normalFont;
}

void CNWControl::Invalidate()
{
    m_dirty = true;
    if (m_site)
        m_site->InvalidateControl(this);
}

void CNWControl::SetFocusState(bool focused, bool redraw)
{
    if (focused != m_focused)
        m_dirty = true;
    m_focused = focused;
    if (redraw && m_site)
        m_site->InvalidateControl(this);
}

void CNWControl::RequestUpdate()
{
    if (m_site)
        m_site->OnControlUpdateRequest(this);
}

void CNWControl::Enable(bool enable)
{
    if (enable == m_enabled)
        return;
    m_enabled = enable;
    Invalidate();
    UpdateToolRect();
}

void CNWControl::SetSize(SIZE size)
{
    m_rect.right = m_rect.left + size.cx;
    m_rect.bottom = m_rect.top + size.cy;
    Invalidate();
    UpdateToolRect();
}

SIZE CNWControl::GetSize() const
{
    return m_rect.Size();
}

void CNWControl::SetPosition(POINT point, bool redraw)
{
    const CSize size = m_rect.Size();
    m_rect = CRect(point, size);
    m_dirty = true;
    if (redraw)
        Invalidate();
    UpdateToolRect();
}

void CNWControl::SetEditable(bool editable)
{
    if (editable == m_editable)
        return;
    m_editable = editable;
    Invalidate();
}

DWORD CNWControl::GetMsSinceChange() const
{
    // The clock wraps; the distance either way is what counts.
    const DWORD now = GetTickCount();
    const DWORD ahead = now - m_changeTime;
    const DWORD behind = m_changeTime - now;
    return ahead < behind ? ahead : behind;
}

void CNWControl::SetSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    Invalidate();
}

void CNWControl::SetAppearance(const NWAPPEARANCE& a)
{
    const DWORD m = a.mask;
    if (m & NWA_BACKGROUND1) m_look.background1 = a.background1;
    if (m & NWA_BACKGROUND2) m_look.background2 = a.background2;
    if (m & NWA_BACKGROUND3) m_look.background3 = a.background3;
    if (m & NWA_TEXT1) m_look.text1 = a.text1;
    if (m & NWA_TEXT2) m_look.text2 = a.text2;
    if (m & NWA_DISABLEDTEXT) m_look.disabledText = a.disabledText;
    if (m & NWA_SHOWTEXT) m_look.showText = a.showText;
    if (m & NWA_RESERVED) m_look.reserved = a.reserved;
    if (m & NWA_HOTTRACKING) m_look.hotTracking = a.hotTracking;
    if (m & NWA_FOCUSMARK) m_look.focusMark = a.focusMark;
    if (m & NWA_VALUETIP) m_look.valueTip = a.valueTip;
    if (m & NWA_BOLDFONT) m_look.boldFont = a.boldFont;
    if (m & NWA_CLICKINPUT) m_look.clickInput = a.clickInput;
    if (m & NWA_ALIGNMENT) m_look.alignment = a.alignment;
    if (m & NWA_TEXTMARGIN) m_look.textMargin = a.textMargin;
    Invalidate();
}

void CNWControl::GetAppearance(NWAPPEARANCE* a) const
{
    if (!a)
        return;
    *a = m_look;
    a->mask = NWA_ALL;
}

int CNWControl::HitTest(POINT point)
{
    return m_enabled && m_rect.PtInRect(point) ? 1 : 0;
}

void CNWControl::CancelTracking()
{
    m_tracking = false;
    // A host releases the capture itself on the button release, just before
    // the control sees it: the release then ends the gesture. With the
    // button still held the gesture was cut short, and ends here.
    if (GetKeyState(VK_LBUTTON) < 0)
        EndGesture();
}

void CNWControl::OpenGesture()
{
    // A gesture whose release never came ends before the next begins.
    EndGesture();
    const int before = m_editDepth;
    BeginEdit();
    // Only a gesture that really began an edit ends one, so the depth never
    // goes below 0 (a release without its press, a double click's second
    // release).
    m_gestureOpen = m_editDepth > before;
}

void CNWControl::EndGesture()
{
    if (m_gestureOpen) {
        m_gestureOpen = false;
        CloseEdit();
    }
}

void CNWControl::OnLButtonDown(UINT flags, POINT point)
{
    m_pressPoint = point;
    m_currentPoint = point;
    m_tracking = true;
    OpenGesture();
    if (m_look.clickInput)
        SetValue(GetValue(), true);
}

void CNWControl::OnLButtonUp(UINT flags, POINT point)
{
    EndGesture();
    m_tracking = false;
}

void CNWControl::OnRButtonDown(UINT flags, POINT point)
{
    m_pressPoint = point;
    m_tracking = true;
}

void CNWControl::OnRButtonUp(UINT flags, POINT point)
{
    m_tracking = false;
}

void CNWControl::OnLButtonDblClk(UINT flags, POINT point)
{
    m_pressPoint = point;
    m_currentPoint = point;
    m_tracking = true;
    OpenGesture();
    if (m_look.clickInput)
        SetValue(GetDefaultValue(), true);
}

void CNWControl::OnMouseMove(UINT flags, POINT point)
{
    m_currentPoint = point;
}

int CNWControl::OnKeyAction(int code)
{
    if (!m_editable)
        return 0;
    const double range = m_maximum - m_minimum;
    double v;
    switch (code) {
    case 0: v = m_minimum; break;
    case 1: v = m_maximum; break;
    case 2: v = std::max(m_minimum, m_value - 0.05 * range); break;
    case 3: v = std::min(m_maximum, m_value + 0.05 * range); break;
    case 4: v = std::max(m_minimum, m_value - 0.2 * range); break;
    case 5: v = std::min(m_maximum, m_value + 0.2 * range); break;
    default: return 0;
    }
    SetValue(v, true);
    return 1;
}

void CNWControl::OnMouseEnter()
{
    if (!m_look.hotTracking)
        return;
    m_hover = true;
    Invalidate();
}

void CNWControl::OnMouseLeave()
{
    if (!m_look.hotTracking)
        return;
    m_hover = false;
    Invalidate();
}

void CNWControl::BeginEdit()
{
    if (!m_editable)
        return;
    if (m_editDepth++ == 0 && m_site)
        m_site->OnBeginEdit(this);
}

void CNWControl::EndEdit()
{
    if (!m_editable)
        return;
    CloseEdit();
}

void CNWControl::CloseEdit()
{
    if (m_editDepth <= 0)
        return;
    if (--m_editDepth == 0 && m_site)
        m_site->OnEndEdit(this);
}

void CNWControl::RunContextMenu(POINT point)
{
    CMenu menu;
    menu.CreatePopupMenu();
    if (m_site)
        m_site->OnControlContextMenu(this, point, &menu);
    menu.DestroyMenu();
}

void CNWControl::SetText(const CString& text)
{
    m_text = text;
    Invalidate();
}

void CNWControl::SetToolTipText(const CString& text)
{
    m_toolTipText = text;
    Invalidate();
}

void CNWControl::SetValue(double value, bool notify)
{
    if (notify && !m_editable)
        return;
    const bool wrapped = notify && m_editDepth == 0;
    if (wrapped)
        BeginEdit();
    if (value != m_value) {
        m_value = value;
        m_changeTime = GetTickCount();
        if (notify && m_site)
            m_site->OnControlValueChanged(this);
        m_dirty = true;
        if (m_site)
            m_site->InvalidateControl(this);
    }
    if (wrapped)
        EndEdit();
}

void CNWControl::SetRange(double minimum, double maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

void CNWControl::UpdateToolRect()
{
    if (!m_site)
        return;
    CWnd* wnd = m_site->GetWnd();
    if (!wnd || !IsWindow(wnd->GetSafeHwnd()))
        return;
    // A tip made later registers every control then; one made already
    // learns of a control added since as its rectangle is first set.
    COurToolTipCtrl* tip = m_site->ExistingToolTip();
    if (!tip)
        return;
    const CRect r = m_enabled ? m_rect : CRect();
    tip->AddTool(wnd, LPSTR_TEXTCALLBACK, &r, static_cast<UINT_PTR>(m_id));
}

void CNWControl::GetTipText(CString* text)
{
    if (text)
        *text = m_text;
}

double CNWControl::GetFineStep() const
{
    return (m_maximum - m_minimum) / 127.0;
}

double CNWControl::GetCoarseStep() const
{
    return (m_maximum - m_minimum) / 32.0;
}

void CNWControl::GetQualifiedName(CString* name)
{
    if (!name)
        return;
    CString tip;
    GetTipText(&tip);
    CString index;
    index.Format("%d", (m_site ? m_site->GetSiteIndex() : 0) + 1);
    *name = tip + "@" + index;
}

void CNWControl::ShowValueTip(POINT point)
{
    UpdateValueTip(&point);
    if (CMouseTip* tip = m_site ? m_site->GetMouseTip() : nullptr)
        tip->Show(true);
}

void CNWControl::UpdateValueTip(POINT* point)
{
    CMouseTip* tip = m_site ? m_site->GetMouseTip() : nullptr;
    if (!tip || !IsWindow(tip->GetSafeHwnd()))
        return;
    CString text;
    GetTipText(&text);
    POINT at{};
    if (point) {
        at = *point;
        m_site->ClientToScreen(&at);
    } else {
        CRect r;
        tip->GetWindowRect(&r);
        at = r.TopLeft();
    }
    tip->SetTipText(text, at);
    tip->UpdateWindow();
}

void CNWControl::HideValueTip()
{
    if (CMouseTip* tip = m_site ? m_site->GetMouseTip() : nullptr)
        tip->Show(false);
}

// Drawing shared by the toolkit's controls.

CRect CNWControl::CaptionRect() const
{
    CRect r = m_rect;
    if (m_look.alignment == NWA_ALIGN_LEFT)
        r.left += m_look.textMargin;
    else if (m_look.alignment == NWA_ALIGN_RIGHT)
        r.right -= m_look.textMargin;
    return r;
}

UINT CNWControl::AlignmentFormat() const
{
    switch (m_look.alignment) {
    case NWA_ALIGN_CENTER: return DT_CENTER;
    case NWA_ALIGN_RIGHT: return DT_RIGHT;
    default: return DT_LEFT;
    }
}

void CNWControl::DrawCaption(CDC* dc, const CString& text, UINT extraFormat)
{
    CFont* old = dc->SelectObject(m_look.boldFont ? BoldFont() : SmallFont());
    dc->SetTextColor(m_editable ? m_look.text1 : m_look.disabledText);
    dc->SetBkMode(TRANSPARENT);
    CRect r = CaptionRect();
    dc->DrawText(text, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | AlignmentFormat() | extraFormat);
    dc->SelectObject(old);
}

void CNWControl::DrawFrame(CDC* dc, bool sunken) const
{
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    dc->Draw3dRect(&m_rect, sunken ? shadow : light, sunken ? light : shadow);
}

void CNWControl::DrawHoverAndFocus(CDC* dc)
{
    if (m_hover && m_look.hotTracking)
        DrawFrame(dc, false);
    if (m_focused && m_look.focusMark)
        DrawFocus(dc);
}

bool CNWControl::BlitCached(CDC* dc, UINT id, const RECT& to, int srcX, int srcY, bool transparent)
{
    CBitmap* bitmap = g_bitmapCache.Lookup(id);
    if (!bitmap || !bitmap->Data())
        return false;
    CDC mem;
    mem.CreateCompatibleDC(dc);
    CBitmap* old = mem.SelectObject(bitmap);
    const CRect r(to);
    if (transparent)
        dc->TransparentBlt(r.left, r.top, r.Width(), r.Height(), &mem, srcX, srcY, r.Width(), r.Height(),
                           RGB(255, 0, 255));
    else
        dc->BitBlt(r.left, r.top, r.Width(), r.Height(), &mem, srcX, srcY, SRCCOPY);
    mem.SelectObject(old);
    return true;
}

CSize CNWControl::CachedSize(UINT id)
{
    CBitmap* bitmap = g_bitmapCache.Lookup(id);
    return bitmap && bitmap->Data() ? bitmap->GetSize() : CSize();
}

// A bitmap of the resource module (then of the program), or an empty one.
CBitmap CNWControl::LoadOwnBitmap(UINT id)
{
    CBitmap b;
    HBITMAP handle = LoadBitmapA(AfxGetResourceHandle(), id);
    if (!handle)
        handle = LoadBitmapA(AfxGetInstanceHandle(), id);
    if (handle)
        b.Attach(handle);
    return b;
}

// Copies a whole bitmap to the rectangle; nothing for an empty one.
void CNWControl::BlitOwnBitmap(CDC* dc, CBitmap& bitmap, const RECT& to)
{
    if (!bitmap.Data())
        return;
    CDC mem;
    mem.CreateCompatibleDC(dc);
    CBitmap* old = mem.SelectObject(&bitmap);
    const CRect r(to);
    dc->BitBlt(r.left, r.top, r.Width(), r.Height(), &mem, 0, 0, SRCCOPY);
    mem.SelectObject(old);
}

