#include "platform/ui/InputState.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <array>

#include "platform/ui/SystemMetrics.h"

namespace {

struct Input {
    std::array<BYTE, 256> keys{};
    POINT pos{0, 0};
    bool clipped = false;
    RECT clip{0, 0, 0, 0};
    int showCount = 0;
    bool hiddenOverride = false;
    HCURSOR cursor = nullptr;
};

Input& State()
{
    static Input s;
    return s;
}

POINT Clamp(POINT p)
{
    const Input& s = State();
    if (!s.clipped)
        return p;
    p.x = std::clamp<LONG>(p.x, s.clip.left, std::max(s.clip.left, s.clip.right - 1));
    p.y = std::clamp<LONG>(p.y, s.clip.top, std::max(s.clip.top, s.clip.bottom - 1));
    return p;
}

// While the counter is below 0 the pointer is blank over every window.
void ApplyVisibility()
{
    Input& s = State();
    const bool hide = s.showCount < 0;
    if (hide == s.hiddenOverride || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    if (hide)
        QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    else
        QGuiApplication::restoreOverrideCursor();
    s.hiddenOverride = hide;
}

}  // namespace

SHORT GetKeyState(int vk)
{
    if (vk < 0 || vk > 255)
        return 0;
    const BYTE k = State().keys[static_cast<std::size_t>(vk)];
    return static_cast<SHORT>(((k & 0x80) ? 0x8000 : 0) | (k & 1));
}

SHORT GetAsyncKeyState(int vk)
{
    return static_cast<SHORT>(GetKeyState(vk) & 0x8000);
}

BOOL GetCursorPos(LPPOINT point)
{
    if (!point)
        return FALSE;
    *point = State().pos;
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    State().pos = Clamp(POINT{x, y});
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QCursor::setPos(State().pos.x, State().pos.y);
    return TRUE;
}

BOOL ClipCursor(LPCRECT rect)
{
    Input& s = State();
    s.clipped = rect != nullptr;
    if (rect) {
        s.clip = *rect;
        s.pos = Clamp(s.pos);
    }
    return TRUE;
}

BOOL GetClipCursor(LPRECT rect)
{
    if (!rect)
        return FALSE;
    const Input& s = State();
    *rect = s.clipped ? s.clip
                      : RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return TRUE;
}

int ShowCursor(BOOL show)
{
    Input& s = State();
    s.showCount += show ? 1 : -1;
    ApplyVisibility();
    return s.showCount;
}

HCURSOR LoadCursor(void*, UINT_PTR id)
{
    return reinterpret_cast<HCURSOR>(id);
}

namespace {

Qt::CursorShape ShapeOf(UINT_PTR id)
{
    switch (id) {
    case IDC_IBEAM: return Qt::IBeamCursor;
    case IDC_WAIT: return Qt::WaitCursor;
    case IDC_CROSS: return Qt::CrossCursor;
    case IDC_SIZENWSE: return Qt::SizeFDiagCursor;
    case IDC_SIZENESW: return Qt::SizeBDiagCursor;
    case IDC_SIZEWE: return Qt::SizeHorCursor;
    case IDC_SIZENS: return Qt::SizeVerCursor;
    case IDC_SIZEALL: return Qt::SizeAllCursor;
    case IDC_NO: return Qt::ForbiddenCursor;
    case IDC_HAND: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor;
    }
}

QPointer<QWidget>& PointerWidget()
{
    static QPointer<QWidget> w;
    return w;
}

}  // namespace

HCURSOR SetCursor(HCURSOR cursor)
{
    HCURSOR old = State().cursor;
    State().cursor = cursor;
    // The pointer shows the cursor over the window it is in (or that holds it).
    if (QWidget* w = PointerWidget())
        w->setCursor(cursor ? QCursor(ShapeOf(mvui::CursorId(cursor))) : QCursor(Qt::BlankCursor));
    return old;
}

HCURSOR GetCursor()
{
    return State().cursor;
}

UINT GetDoubleClickTime()
{
    return 500;
}

namespace mvui {

void SetKeyDown(int vk, bool down)
{
    if (vk < 0 || vk > 255)
        return;
    BYTE& k = State().keys[static_cast<std::size_t>(vk)];
    if (down && !(k & 0x80))
        k ^= 1;
    k = static_cast<BYTE>(down ? (k | 0x80) : (k & ~0x80));
}

void ResetInput()
{
    Input& s = State();
    s.keys.fill(0);
    s.pos = {0, 0};
    s.clipped = false;
    s.showCount = 0;
    s.cursor = nullptr;
    ApplyVisibility();
}

UINT MouseKeyFlags()
{
    UINT f = 0;
    if (GetKeyState(VK_LBUTTON) < 0) f |= MK_LBUTTON;
    if (GetKeyState(VK_RBUTTON) < 0) f |= MK_RBUTTON;
    if (GetKeyState(VK_MBUTTON) < 0) f |= MK_MBUTTON;
    if (GetKeyState(VK_SHIFT) < 0) f |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) f |= MK_CONTROL;
    return f;
}

void NotePointerAt(POINT screen)
{
    State().pos = Clamp(screen);
}

void NotePointerWidget(QWidget* widget)
{
    PointerWidget() = widget;
}

UINT_PTR CursorId(HCURSOR cursor)
{
    return reinterpret_cast<UINT_PTR>(cursor);
}

}  // namespace mvui
