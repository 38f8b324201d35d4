#include "uikit/CZoomFader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"
#include "uikit/CHeldLoop.h"
#include "uikit/CJogFader.h"
#include "uikit/COurToolTipCtrl.h"
#include "uikit/CZoomedFader.h"
#include "uikit/WindowClass.h"

namespace {

struct SharedFontRef {
    CFont* font = nullptr;
    int users = 0;
};
SharedFontRef& Shared()
{
    static SharedFontRef ref;
    return ref;
}

constexpr float kLogFloor = 1e-8f;
constexpr UINT_PTR kToolId = 1;
constexpr UINT VK_OEM_PLUS = 0xBB, VK_OEM_MINUS = 0xBD, VK_OEM_4 = 0xDB, VK_OEM_6 = 0xDD;

}  // namespace

CFont* CZoomFader::SharedFont()
{
    return Shared().font;
}

CZoomFader::CZoomFader(float scaleMin, float scaleMax, float lowerLimit, float upperLimit, float value,
                       float defaultValue, BOOL logarithmic, BOOL horizontal, const char* label, const char* second,
                       BOOL popup, int, int, BOOL centred, BOOL crosswise, BOOL arrows, BOOL toolTip, float step,
                       int placement, BOOL focusOnPress, int textColor, BOOL)
    : m_scaleMin(scaleMin), m_scaleMax(scaleMax), m_lowerLimit(lowerLimit), m_upperLimit(upperLimit),
      m_defaultValue(defaultValue), m_value(value), m_savedValue(value), m_logarithmic(logarithmic),
      m_horizontal(horizontal), m_crosswise(crosswise), m_label(label), m_second(second), m_popup(popup),
      m_hasArrows(arrows), m_popupPlacement(placement),
      m_step(step != 0 ? step : 0.05f * (scaleMax - scaleMin)),
      // A system colour index, or a colour with its top byte set.
      m_textColor(textColor >= 0 && textColor < MV_SYSCOLOR_COUNT ? GetSysColor(textColor)
                                                                  : static_cast<COLORREF>(textColor) & 0xFFFFFF),
      m_centred(centred), m_focusOnPress(focusOnPress), m_wantsToolTip(toolTip)
{
    if (m_logarithmic && m_scaleMin == 1.0f)
        m_logBase = 2.0f;
    m_plainCursor = LoadCursor(nullptr, WorksHorizontally() ? IDC_SIZEWE : IDC_SIZENS);
    if (Shared().users++ == 0) {
        Shared().font = new CFont;
        LOGFONT lf{};
        lf.lfHeight = -14;
        lf.lfWeight = FW_NORMAL;
        std::snprintf(lf.lfFaceName, sizeof(lf.lfFaceName), "%s", "Arial");
        Shared().font->CreateFontIndirect(&lf);
    }
}

CZoomFader::~CZoomFader()
{
    m_popupWnd.reset();
    if (m_toolTip && IsWindow(m_toolTip->GetSafeHwnd()))
        m_toolTip->DestroyWindow();
    m_toolTip.reset();
    DestroyWindow();
    if (--Shared().users == 0) {
        delete Shared().font;
        Shared().font = nullptr;
    }
}

BOOL CZoomFader::Create(const RECT& rect, CWnd* parent, UINT id, DWORD style)
{
    return CWnd::Create(RegisterWindowClassOnce(kClassName, 0, nullptr, 0), m_label, style, rect, parent, id);
}

void CZoomFader::SetCursors(HCURSOR ctrlCursor, HCURSOR shiftCursor)
{
    m_ctrlCursor = ctrlCursor;
    m_shiftCursor = shiftCursor;
}

// ---------------------------------------------------------------------------
// Scale.
double CZoomFader::ValueToFraction() const
{
    if (!m_logarithmic) {
        const double span = static_cast<double>(m_scaleMax) - m_scaleMin;
        return span != 0 ? (m_value - m_scaleMin) / span : 0.0;
    }
    const double k = m_logBase;
    const double lo = std::max<double>(m_scaleMin, kLogFloor);
    const double a = std::log(lo * k), b = std::log(static_cast<double>(m_scaleMax) * k);
    if (a == 0 || b / a - 1 == 0 || m_value <= 0)
        return 0.0;
    return (std::log(m_value * k) / a - 1) / (b / a - 1);
}

float CZoomFader::FractionToValue(float fraction) const
{
    if (!m_logarithmic)
        return m_scaleMin + fraction * (m_scaleMax - m_scaleMin);
    const double k = m_logBase;
    const double lo = std::max<double>(m_scaleMin, kLogFloor);
    const double a = std::log(lo * k), b = std::log(static_cast<double>(m_scaleMax) * k);
    if (a == 0)
        return static_cast<float>(lo);
    return static_cast<float>(std::pow(lo * k, (b / a - 1) * fraction + 1) / k);
}

float CZoomFader::Limit(float value) const
{
    const float lo = std::min(m_lowerLimit, m_upperLimit), hi = std::max(m_lowerLimit, m_upperLimit);
    return std::clamp(value, lo, hi);
}

void CZoomFader::SetValue(float value, BOOL notify)
{
    m_value = value;
    if (!IsWindow(m_hWnd))
        return;
    if (notify)
        Notify(kChanged);
    Invalidate(FALSE);
}

void CZoomFader::Notify(WORD code)
{
    CWnd* target = GetOwner() ? GetOwner() : GetParent();
    if (target)
        target->PostMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID()), code),
                            reinterpret_cast<LPARAM>(m_hWnd));
}

// ---------------------------------------------------------------------------
// Geometry: the fader's own direction is `horizontal`; arrows take a square at each end.
int CZoomFader::OnCreate(CREATESTRUCT* cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    m_thickness = m_horizontal ? cs->cy : cs->cx;
    m_length = m_horizontal ? cs->cx : cs->cy;
    if (m_wantsToolTip) {
        // A fader without its tip still works.
        auto tip = std::make_unique<COurToolTipCtrl>();
        if (tip->Create(this, TTS_ALWAYSTIP)) {
            const CRect face(0, 0, cs->cx, cs->cy);
            tip->AddTool(this, LPSTR_TEXTCALLBACK, &face, kToolId);
            m_toolTip = std::move(tip);
        }
    }
    return 0;
}

void CZoomFader::OnSize(UINT type, int cx, int cy)
{
    m_thickness = m_horizontal ? cy : cx;
    m_length = m_horizontal ? cx : cy;
    if (m_toolTip) {
        const CRect face(0, 0, cx, cy);
        m_toolTip->SetToolRect(this, kToolId, &face);
    }
    CWnd::OnSize(type, cx, cy);
}

int CZoomFader::ArrowAt(CPoint point) const
{
    if (!m_hasArrows)
        return 0;
    const int along = m_horizontal ? point.x : m_length - 1 - point.y;  // from the low end
    if (along < m_thickness)
        return -1;
    if (along >= m_length - m_thickness)
        return 1;
    return 0;
}

CRect CZoomFader::SlotRect() const
{
    CRect client;
    GetClientRect(&client);
    const int arrows = m_hasArrows ? m_thickness : 0;
    CRect slot = client;
    slot.DeflateRect(2, 2);
    if (m_horizontal) {
        slot.left = std::max(slot.left, static_cast<LONG>(arrows + 2));
        slot.right = std::min(slot.right, static_cast<LONG>(client.right - arrows - 2));
        slot.top = client.CenterPoint().y - 2;
        slot.bottom = slot.top + 5;
    } else {
        slot.top = std::max(slot.top, static_cast<LONG>(arrows + 2));
        slot.bottom = std::min(slot.bottom, static_cast<LONG>(client.bottom - arrows - 2));
        slot.left = client.CenterPoint().x - 2;
        slot.right = slot.left + 5;
    }
    return slot;
}

CPoint CZoomFader::ThumbPoint() const
{
    const CRect slot = SlotRect();
    const double f = std::clamp(ValueToFraction(), 0.0, 1.0);
    if (m_horizontal)
        return CPoint(slot.left + static_cast<int>(f * slot.Width()), slot.CenterPoint().y);
    return CPoint(slot.CenterPoint().x, slot.bottom - static_cast<int>(f * slot.Height()));
}

// ---------------------------------------------------------------------------
// Drawing.
void CZoomFader::DrawScale(CDC* dc, const CRect& client, const CRect& slot, bool alongX, bool withLabels)
{
    dc->FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    dc->Draw3dRect(&client, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
    // The pop-ups write their marks in a 12-pixel Tahoma, the fader in its shared face.
    CFont popupFont;
    if (withLabels) {
        LOGFONT lf{};
        lf.lfHeight = -12;
        lf.lfWeight = FW_NORMAL;
        std::snprintf(lf.lfFaceName, sizeof(lf.lfFaceName), "%s", "Tahoma");
        popupFont.CreateFontIndirect(&lf);
    }
    CFont* oldFont = dc->SelectObject(withLabels ? &popupFont : SharedFont());
    dc->SetTextColor(m_textColor);
    dc->SetBkMode(TRANSPARENT);
    CPen tick(PS_SOLID, 1, m_textColor);
    CPen* oldPen = dc->SelectObject(&tick);
    const float saved = m_value;
    for (const Mark& mark : GetMarks()) {
        m_value = mark.value;
        const double f = std::clamp(ValueToFraction(), 0.0, 1.0);
        if (alongX) {
            const int x = slot.left + static_cast<int>(f * slot.Width());
            dc->MoveTo(x, slot.bottom + 2);
            dc->LineTo(x, slot.bottom + 6);
            if (withLabels)
                dc->TextOut(x + 2, slot.bottom + 1, mark.label);
        } else {
            const int y = slot.bottom - static_cast<int>(f * slot.Height());
            dc->MoveTo(slot.right + 2, y);
            dc->LineTo(slot.right + 6, y);
            if (withLabels)
                dc->TextOut(slot.right + 8, y - 7, mark.label);
        }
    }
    m_value = saved;
    CRect edge = slot;
    dc->DrawEdge(&edge, EDGE_SUNKEN, BF_RECT);
    const double f = std::clamp(ValueToFraction(), 0.0, 1.0);
    CRect bar = slot;
    bar.DeflateRect(1, 1);
    if (alongX) {
        const int x = bar.left + static_cast<int>(f * bar.Width());
        const int from = m_centred ? (bar.left + bar.right) / 2 : bar.left;
        bar.left = std::min(from, x);
        bar.right = std::max(from, x);
    } else {
        const int y = bar.bottom - static_cast<int>(f * bar.Height());
        const int from = m_centred ? (bar.top + bar.bottom) / 2 : bar.bottom;
        bar.top = std::min(from, y);
        bar.bottom = std::max(from, y);
    }
    dc->FillSolidRect(&bar, GetSysColor(COLOR_HIGHLIGHT));
    dc->SelectObject(oldPen);
    if (oldFont)
        dc->SelectObject(oldFont);
}

void CZoomFader::OnPaint()
{
    CPaintDC paint(this);
    CRect client;
    GetClientRect(&client);
    CDC mem;
    mem.CreateCompatibleDC(&paint);
    CBitmap image;
    image.CreateCompatibleBitmap(&paint, std::max<LONG>(client.Width(), 1), std::max<LONG>(client.Height(), 1));
    CBitmap* old = mem.SelectObject(&image);
    DrawScale(&mem, client, SlotRect(), m_horizontal != 0, false);
    if (m_hasArrows) {
        // A minus sign on the lower arrow, a plus sign on the upper one.
        mem.SelectStockObject(BLACK_PEN);
        for (int arrow : {-1, 1}) {
            CRect r = m_horizontal ? CRect(arrow < 0 ? 0 : client.right - m_thickness, 0,
                                           arrow < 0 ? m_thickness : client.right, client.bottom)
                                   : CRect(0, arrow > 0 ? 0 : client.bottom - m_thickness, client.right,
                                           arrow > 0 ? m_thickness : client.bottom);
            mem.DrawEdge(&r, m_heldArrow == arrow ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
            const CPoint c = r.CenterPoint();
            mem.MoveTo(r.left + 2 + 1, c.y);
            mem.LineTo(r.right - 2 - 1, c.y);
            if (arrow > 0) {
                mem.MoveTo(c.x, r.top + 2 + 1);
                mem.LineTo(c.x, r.bottom - 2 - 1);
            }
        }
    }
    paint.BitBlt(0, 0, client.Width(), client.Height(), &mem, 0, 0, SRCCOPY);
    mem.SelectObject(old);
}

// ---------------------------------------------------------------------------
// Mouse.
void CZoomFader::OnLButtonDown(UINT flags, CPoint point)
{
    m_savedValue = m_value;
    if (!m_popup) {
        SetFocus();
        SetCapture();
        Invalidate(FALSE);
    }
    m_dragStartFraction = ValueToFraction();
    m_dragging = TRUE;
    Notify(kPressStarted);
    const int arrow = ArrowAt(point);
    if (flags & MK_SHIFT) {
        if (arrow != 0) {
            m_value = arrow < 0 ? m_lowerLimit : m_upperLimit;
            m_heldArrow = arrow;
        } else {
            m_value = m_defaultValue;
        }
        Invalidate(FALSE);
        Notify(kChanged);
        return;
    }
    if (arrow != 0) {
        SetFocus();
        RunArrowLoop(arrow, false);
        return;
    }
    if (m_popup) {
        OpenPopup();
        return;
    }
    m_pressPoint = point;
}

void CZoomFader::RunArrowLoop(int arrow, bool right)
{
    const HWND self = m_hWnd;
    m_heldArrow = arrow;
    const float step = right ? m_step * 5 : m_step;
    CHeldLoop::Run(
        500, 50,
        [&] {
            if (!IsWindow(self) || (GetKeyState(VK_LBUTTON) >= 0 && GetKeyState(VK_RBUTTON) >= 0))
                return false;
            POINT cursor{};
            GetCursorPos(&cursor);
            ScreenToClient(&cursor);
            CRect client;
            GetClientRect(&client);
            return client.PtInRect(cursor) && ArrowAt(cursor) != 0;
        },
        [&] {
            const float target = arrow > 0 ? std::max(m_lowerLimit, m_upperLimit) : std::min(m_lowerLimit, m_upperLimit);
            if (m_value == target)
                return false;
            m_value = arrow > 0 ? std::min(m_value + step, target) : std::max(m_value - step, target);
            Invalidate(FALSE);
            UpdateWindow();
            Notify(right ? kRightArrowStep : kPressStarted);
            Notify(kChanged);
            return true;
        });
    if (!IsWindow(self))
        return;
    if (right)
        OnRButtonUp(0, CPoint());
    else
        OnLButtonUp(0, CPoint());
}

void CZoomFader::OpenPopup()
{
    CRect window;
    GetWindowRect(&window);
    const bool alongX = WorksHorizontally();
    CPoint at = window.TopLeft();
    switch (m_popupPlacement) {
    case 0: at.Offset(-40, -40); break;
    case 1: at.Offset(20, 0); break;
    case 2: at.Offset(0, 20); break;
    case 3: at.Offset(-20, 0); break;
    default: {
        // Towards the middle of the screen.
        const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
        at.x += window.CenterPoint().x < sw / 2 ? 10 : (alongX ? -210 : -50);
        at.y += window.CenterPoint().y < sh / 2 ? 10 : (alongX ? -50 : -210);
        break;
    }
    }
    std::unique_ptr<CZoomedFader> popup;
    if (m_jog)
        popup = std::make_unique<CJogFader>(this);
    else
        popup = std::make_unique<CZoomedFader>(this);
    if (!popup->Open(at))
        return;  // the fader stays idle
    m_popupWnd = std::move(popup);
}

void CZoomFader::ClosePopup()
{
    if (!m_popupWnd)
        return;
    std::unique_ptr<CWnd> popup = std::move(m_popupWnd);
    if (GetCapture() == popup.get())
        ReleaseCapture();
    popup->DestroyWindow();
}

void CZoomFader::OnPopupCommand(WORD code)
{
    switch (code) {
    case kPressEnded: {
        ClosePopup();
        CPoint thumb = ThumbPoint();
        ClientToScreen(&thumb);
        SetCursorPos(thumb.x, thumb.y);
        OnLButtonUp(0, CPoint());
        break;
    }
    case kChanged:
        Invalidate(FALSE);
        UpdateWindow();
        Notify(kChanged);
        break;
    case kHover: Hover(0, CPoint(-1, -1)); break;
    case kCancelled:
        ClosePopup();
        m_value = m_savedValue;
        Notify(kChanged);
        m_dragging = FALSE;
        m_heldArrow = 0;
        Invalidate(FALSE);
        Notify(kCancelled);
        break;
    default: break;
    }
}

BOOL CZoomFader::PreTranslateMessage(MSG* msg)
{
    if (m_toolTip)
        m_toolTip->RelayEvent(msg);
    return CWnd::PreTranslateMessage(msg);
}

BOOL CZoomFader::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_NOTIFY && m_toolTip) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && header->code == TTN_NEEDTEXT && header->hwndFrom == m_toolTip->m_hWnd) {
            auto* info = reinterpret_cast<NMTTDISPINFO*>(header);
            info->lpszText = nullptr;
            std::snprintf(info->szText, sizeof(info->szText), "%s", m_label.GetString());
            *result = 0;
            return TRUE;
        }
    }
    if (message == WM_COMMAND && m_popupWnd && reinterpret_cast<HWND>(lParam) == m_popupWnd->m_hWnd) {
        OnPopupCommand(HIWORD(wParam));
        *result = 0;
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

void CZoomFader::Hover(UINT flags, CPoint point)
{
    if (point.x >= 0 && ArrowAt(point) != 0)
        ::SetCursor(LoadCursor(nullptr, IDC_ARROW));
    else if ((flags & MK_SHIFT) && m_shiftCursor)
        ::SetCursor(m_shiftCursor);
    else if ((flags & MK_CONTROL) && m_ctrlCursor)
        ::SetCursor(m_ctrlCursor);
    else
        ::SetCursor(m_plainCursor);
    if (m_heldArrow == 0)
        Notify(kHover);
}

void CZoomFader::OnMouseMove(UINT flags, CPoint point)
{
    if (!m_dragging || m_popupWnd || GetCapture() != this || m_heldArrow != 0) {
        Hover(flags, point);
        return;
    }
    // Rightwards or upwards along the working axis; three lengths span the scale.
    const int moved = WorksHorizontally() ? point.x - m_pressPoint.x : m_pressPoint.y - point.y;
    const double f = std::clamp(m_dragStartFraction + moved / (3.0 * std::max(m_length, 1)), 0.0, 1.0);
    m_value = Limit(FractionToValue(static_cast<float>(f)));
    Invalidate(FALSE);
    Notify(kChanged);
}

void CZoomFader::EndPress()
{
    m_heldArrow = 0;
    m_dragging = FALSE;
    if (GetCapture() == this)
        ReleaseCapture();
}

void CZoomFader::OnLButtonUp(UINT, CPoint)
{
    if (m_focusOnPress) {
        SetFocus();
        Invalidate(FALSE);
    }
    const bool pressed = m_dragging;
    EndPress();
    if (pressed)
        Notify(kPressEnded);
}

void CZoomFader::OnRButtonDown(UINT, CPoint point)
{
    const int arrow = ArrowAt(point);
    if (arrow != 0)
        RunArrowLoop(arrow, true);
    else
        Notify(kRightPress);
}

void CZoomFader::OnRButtonUp(UINT, CPoint)
{
    m_heldArrow = 0;
    Invalidate(FALSE);
    Notify(kRightReleased);
}

void CZoomFader::Cancel()
{
    if (GetCapture() != this)
        return;
    m_dragging = FALSE;
    m_heldArrow = 0;
    ReleaseCapture();
    Invalidate(FALSE);
    Notify(kCancelled);
}

void CZoomFader::OnCancelMode()
{
    Cancel();
}

void CZoomFader::OnCaptureChanged(CWnd* newCapture)
{
    // A drag that loses the mouse ends as cancelled; the pop-up's own capture is not a loss.
    if (m_dragging && !m_popupWnd && newCapture != this) {
        m_dragging = FALSE;
        m_heldArrow = 0;
        Invalidate(FALSE);
        Notify(kCancelled);
    }
    CWnd::OnCaptureChanged(newCapture);
}

void CZoomFader::OnKeyDown(UINT vk, UINT repeat, UINT flags)
{
    float delta = 0;
    switch (vk) {
    case VK_ADD:
    case VK_OEM_PLUS: delta = 1.0f; break;
    case VK_SUBTRACT:
    case VK_OEM_MINUS: delta = -1.0f; break;
    case VK_OEM_6: delta = 0.1f * std::fabs(m_scaleMax - m_scaleMin); break;
    case VK_OEM_4: delta = -0.1f * std::fabs(m_scaleMax - m_scaleMin); break;
    case VK_TAB:
        Notify(GetKeyState(VK_SHIFT) < 0 ? kTabPrevious : kTabNext);
        Notify(kChanged);
        Notify(kKeyChanged);
        return;
    case VK_ESCAPE:
        m_value = m_savedValue;
        Notify(kChanged);
        Cancel();
        return;
    default: CWnd::OnKeyDown(vk, repeat, flags); return;
    }
    SetValue(Limit(m_value + delta), TRUE);
    Notify(kKeyChanged);
}
