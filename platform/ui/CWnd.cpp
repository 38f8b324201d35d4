#include "platform/ui/CWnd.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/sync/ThreadAffinity.h"
#include "platform/ui/CBrush.h"
#include "platform/ui/CDC.h"
#include "platform/ui/CFont.h"
#include "platform/ui/CScrollBar.h"
#include "platform/ui/CSplitterWnd.h"
#include "platform/ui/CWndImpl.h"
#include "platform/ui/KeyMap.h"
#include "platform/ui/QtBridge.h"
#include "platform/ui/SystemMetrics.h"

// ---------------------------------------------------------------------------
// Handle table. A handle packs a slot index and the slot's generation, so a
// handle kept after its window went never matches the slot's next tenant.
namespace {

struct Slot {
    CWnd* wnd = nullptr;
    std::uint32_t generation = 1;
};

struct HandleTable {
    std::vector<Slot> entries;
    std::vector<std::uint32_t> free;

    HWND Add(CWnd* wnd)
    {
        std::uint32_t index;
        if (!free.empty()) {
            index = free.back();
            free.pop_back();
        } else {
            index = static_cast<std::uint32_t>(entries.size());
            entries.push_back({});
        }
        entries[index].wnd = wnd;
        const std::uintptr_t token =
            (static_cast<std::uintptr_t>(entries[index].generation) << 20) | (index + 1);
        return reinterpret_cast<HWND>(token);
    }
    CWnd* Find(HWND hwnd) const
    {
        const auto token = reinterpret_cast<std::uintptr_t>(hwnd);
        const std::uint32_t index = static_cast<std::uint32_t>(token & 0xFFFFF);
        if (index == 0 || index > entries.size())
            return nullptr;
        const Slot& s = entries[index - 1];
        return (token >> 20) == s.generation ? s.wnd : nullptr;
    }
    void Remove(HWND hwnd)
    {
        const auto token = reinterpret_cast<std::uintptr_t>(hwnd);
        const std::uint32_t index = static_cast<std::uint32_t>(token & 0xFFFFF);
        if (index == 0 || index > entries.size() || Find(hwnd) == nullptr)
            return;
        Slot& s = entries[index - 1];
        s.wnd = nullptr;
        s.generation = (s.generation + 1) & 0xFFFFF;
        if (s.generation == 0)
            s.generation = 1;
        free.push_back(index - 1);
    }
};

HandleTable& Handles()
{
    static HandleTable t;
    return t;
}

HWND g_capture = nullptr;
HWND g_focus = nullptr;
HWND g_foreground = nullptr;

// The procedure every window starts with: its window object's WindowProc.
LRESULT ObjectWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* w = CWnd::FromHandle(hwnd);
    return w ? w->WindowProc(message, wParam, lParam) : 0;
}
HWND g_leaveTracked = nullptr;

struct Filter {
    mvui::MessageFilter fn;
    void* context;
};
std::vector<Filter>& Filters()
{
    static std::vector<Filter> f;
    return f;
}

struct ClassInfo {
    UINT style;
    HCURSOR cursor;
    int background;
};
std::map<std::string, ClassInfo>& Classes()
{
    static std::map<std::string, ClassInfo> c;
    return c;
}

std::string Lower(const char* s)
{
    std::string r = s ? s : "";
    for (char& c : r)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

// Posted messages travel as Qt events to one object of the UI thread; Qt
// keeps posted events to one receiver in order, from any thread.
constexpr QEvent::Type kPostedMessage = static_cast<QEvent::Type>(QEvent::User + 0x31);

struct PostedEvent : QEvent {
    explicit PostedEvent(const MSG& m) : QEvent(kPostedMessage), msg(m) {}
    MSG msg;
};

class PostQueue : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() != kPostedMessage)
            return QObject::event(e);
        MSG msg = static_cast<PostedEvent*>(e)->msg;
        mvui::DispatchQueued(msg);
        return true;
    }
};

PostQueue* Queue()
{
    static PostQueue* queue = nullptr;
    static std::once_flag once;
    if (!QCoreApplication::instance())
        return nullptr;
    std::call_once(once, [] {
        queue = new PostQueue;
        queue->moveToThread(QCoreApplication::instance()->thread());
    });
    return queue;
}

}  // namespace

// ---------------------------------------------------------------------------
// The widget: turns Qt's events into the window's messages.
class CWndWidget : public QWidget {
public:
    CWndWidget(CWndImpl* impl, QWidget* parent) : QWidget(parent), m_impl(impl)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setMouseTracking(true);
        setFocusPolicy(Qt::ClickFocus);
    }
    void Detach() { m_impl = nullptr; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_impl)
            return;
        m_impl->painting = true;
        m_impl->PaintPending();
        if (!m_impl)
            return;
        m_impl->painting = false;
        QPainter p(this);
        p.drawImage(0, 0, m_impl->surface);
    }
    void mousePressEvent(QMouseEvent* e) override { Mouse(e, 1); }
    // Qt sends the second press as well; double clicks are told apart from
    // presses here, by time and distance, as Windows does.
    void mouseDoubleClickEvent(QMouseEvent*) override {}
    void mouseReleaseEvent(QMouseEvent* e) override { Mouse(e, 2); }
    void mouseMoveEvent(QMouseEvent* e) override { Mouse(e, 0); }
    void wheelEvent(QWheelEvent* e) override
    {
        if (!m_impl)
            return;
        NoteModifiers(e->modifiers());
        const QPoint g = e->globalPosition().toPoint();
        HWND target = g_focus ? g_focus : m_impl->owner->m_hWnd;
        MSG msg{target, WM_MOUSEWHEEL,
                MAKEWPARAM(static_cast<WORD>(mvui::MouseKeyFlags()),
                           static_cast<WORD>(static_cast<SHORT>(e->angleDelta().y()))),
                MAKELPARAM(g.x(), g.y()), 0, g.x(), g.y()};
        mvui::DispatchQueued(msg);
    }
    void keyPressEvent(QKeyEvent* e) override { Key(e, true); }
    void keyReleaseEvent(QKeyEvent* e) override { Key(e, false); }
    void leaveEvent(QEvent*) override
    {
        if (!m_impl || !m_impl->trackingLeave)
            return;
        m_impl->trackingLeave = false;
        if (g_leaveTracked == m_impl->owner->m_hWnd)
            g_leaveTracked = nullptr;
        ::PostMessage(m_impl->owner->m_hWnd, WM_MOUSELEAVE, 0, 0);
    }
    void closeEvent(QCloseEvent* e) override
    {
        e->ignore();
        if (m_impl)
            ::PostMessage(m_impl->owner->m_hWnd, WM_CLOSE, 0, 0);
    }

private:
    static void NoteModifiers(Qt::KeyboardModifiers m)
    {
        mvui::SetKeyDown(VK_SHIFT, m.testFlag(Qt::ShiftModifier));
        mvui::SetKeyDown(VK_CONTROL, m.testFlag(Qt::ControlModifier));
        mvui::SetKeyDown(VK_MENU, m.testFlag(Qt::AltModifier));
    }
    void Mouse(QMouseEvent* e, int kind)
    {
        if (!m_impl)
            return;
        NoteModifiers(e->modifiers());
        const Qt::MouseButtons b = e->buttons();
        mvui::SetKeyDown(VK_LBUTTON, b.testFlag(Qt::LeftButton));
        mvui::SetKeyDown(VK_RBUTTON, b.testFlag(Qt::RightButton));
        mvui::SetKeyDown(VK_MBUTTON, b.testFlag(Qt::MiddleButton));
        int button = 0;
        if (kind != 0) {
            switch (e->button()) {
            case Qt::LeftButton: button = 0; break;
            case Qt::RightButton: button = 1; break;
            case Qt::MiddleButton: button = 2; break;
            default: return;
            }
        }
        const QPoint g = e->globalPosition().toPoint();
        m_impl->DeliverMouse(kind, button, POINT{g.x(), g.y()}, static_cast<ULONG>(e->timestamp()));
    }
    void Key(QKeyEvent* e, bool down)
    {
        if (!m_impl)
            return;
        NoteModifiers(e->modifiers());
        const int vk = mvui::VirtualKeyFromQt(e->key());
        if (vk)
            mvui::SetKeyDown(vk, down);
        m_impl->DeliverKey(down, vk, e->isAutoRepeat(), down ? e->text() : QString());
    }

    CWndImpl* m_impl;
};

// ---------------------------------------------------------------------------
// CWndImpl

namespace mvui {

CWndImpl* ImplOf(HWND hwnd)
{
    CWnd* w = Handles().Find(hwnd);
    return w ? w->Impl() : nullptr;
}

QWidget* WindowWidget(HWND hwnd)
{
    CWndImpl* impl = ImplOf(hwnd);
    return impl ? impl->widget : nullptr;
}

QImage WindowSurface(HWND hwnd)
{
    CWndImpl* impl = ImplOf(hwnd);
    return impl ? impl->surface : QImage();
}

int TimerInterval(HWND hwnd, UINT_PTR id)
{
    CWndImpl* impl = ImplOf(hwnd);
    if (!impl)
        return 0;
    auto it = impl->timers.find(id);
    return it != impl->timers.end() && it->second && it->second->isActive() ? it->second->interval() : 0;
}

void EnsureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "morvane";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

void PumpMessages()
{
    if (!QCoreApplication::instance())
        return;
    for (int i = 0; i < 8; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void DrawCaptionTitle(CDC& dc, LPCSTR text, const CRect& rect, bool active)
{
    LOGFONT lf{};
    lf.lfHeight = -11;
    lf.lfWeight = 700;
    std::strcpy(lf.lfFaceName, "Tahoma");
    CFont font;
    font.CreateFontIndirect(&lf);
    CFont* old = dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    CRect r = rect;
    dc.DrawText(text ? text : "", -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    dc.SelectObject(old);
}

void WaitAndPumpMessages()
{
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    PumpMessages();
}

void DispatchQueued(MSG& msg)
{
    CWnd* target = CWnd::FromHandle(msg.hwnd);
    if (!target)
        return;
    for (auto it = Filters().rbegin(); it != Filters().rend(); ++it)
        if (it->fn(msg, it->context))
            return;
    for (CWnd* w = target; w; w = w->GetParent()) {
        const HWND h = w->m_hWnd;
        if (w->PreTranslateMessage(&msg))
            return;
        if (!IsWindow(h) || !IsWindow(msg.hwnd))
            return;
    }
    ::SendMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

void PushMessageFilter(MessageFilter filter, void* context)
{
    Filters().push_back({filter, context});
}

void PopMessageFilter()
{
    if (!Filters().empty())
        Filters().pop_back();
}

}  // namespace mvui

void CWndImpl::CreateWidget(CWnd* parentWnd)
{
    mvui::EnsureApplication();
    QWidget* parentWidget = parentWnd ? parentWnd->Impl()->widget : nullptr;
    widget = new CWndWidget(this, parentWidget);
    // A pop-up's frame is its own non-client area; an overlapped top window
    // keeps the desktop's frame.
    if (!parentWidget && (style & WS_POPUP))
        widget->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
}

void CWndImpl::ResizeSurface()
{
    const QSize size(std::max(1, windowRect.Width()), std::max(1, windowRect.Height()));
    if (surface.size() == size)
        return;
    QImage next(size, QImage::Format_RGB32);
    next.fill(Qt::white);
    if (!surface.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, surface);
    }
    surface = next;
}

// Places the widget, asks the window for its client area and, when the
// size changed, tells it.
void CWndImpl::Relayout(bool sendSize)
{
    CPoint origin = windowRect.TopLeft();
    if (CWndImpl* p = mvui::ImplOf(parent))
        origin.Offset(p->clientRect.left, p->clientRect.top);
    widget->setGeometry(origin.x, origin.y, std::max(1, windowRect.Width()),
                        std::max(1, windowRect.Height()));
    ResizeSurface();
    const HWND self = owner->m_hWnd;
    NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = windowRect;
    ::SendMessage(self, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&params.rgrc[0]));
    if (!IsWindow(self))
        return;
    const CRect oldClient = clientRect;
    CRect c(params.rgrc[0]);
    c.OffsetRect(-windowRect.left, -windowRect.top);
    if (c.right < c.left) c.right = c.left;
    if (c.bottom < c.top) c.bottom = c.top;
    clientRect = c;
    frameDirty = true;
    update = QRegion(0, 0, clientRect.Width(), clientRect.Height());
    eraseOnPaint = true;
    for (HWND child : children)
        if (CWndImpl* ci = mvui::ImplOf(child))
            ci->Relayout(false);
    widget->update();
    if (sendSize && (oldClient.Width() != clientRect.Width() || oldClient.Height() != clientRect.Height()))
        ::SendMessage(self, WM_SIZE, SIZE_RESTORED, MAKELPARAM(clientRect.Width(), clientRect.Height()));
}

void CWndImpl::PaintPending()
{
    const HWND self = owner->m_hWnd;
    if (updateLocked)
        return;
    if (frameDirty) {
        frameDirty = false;
        ::SendMessage(self, WM_NCPAINT, 1, 0);
        if (!IsWindow(self))
            return;
    }
    if (!update.isEmpty())
        ::SendMessage(self, WM_PAINT, 0, 0);
}

// kind: 0 move, 1 press, 2 release; button: 0 left, 1 right, 2 middle.
void CWndImpl::DeliverMouse(int kind, int button, POINT screen, ULONG time)
{
    mvui::NotePointerAt(screen);
    CWndImpl* target = this;
    const bool captured = mvui::ImplOf(g_capture) != nullptr;
    if (captured)
        target = mvui::ImplOf(g_capture);
    CWnd* wnd = target->owner;
    const HWND h = wnd->m_hWnd;
    mvui::NotePointerWidget(target->widget);

    UINT message = WM_MOUSEMOVE;
    if (kind == 1) {
        const UINT down = button == 0 ? WM_LBUTTONDOWN : button == 1 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
        message = down;
        const int cx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, cy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
        if (target->lastPressMessage == down && time - target->lastPressTime <= GetDoubleClickTime() &&
            std::abs(screen.x - target->lastPressPoint.x) <= cx &&
            std::abs(screen.y - target->lastPressPoint.y) <= cy) {
            message = down + 2;  // the double click, and the next press starts afresh
            target->lastPressMessage = 0;
        } else {
            target->lastPressMessage = down;
            target->lastPressTime = time;
            target->lastPressPoint = screen;
        }
    } else if (kind == 2) {
        message = button == 0 ? WM_LBUTTONUP : button == 1 ? WM_RBUTTONUP : WM_MBUTTONUP;
    }

    LRESULT hit = HTCLIENT;
    if (!captured) {
        hit = ::SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
        if (!IsWindow(h))
            return;
        if (kind != 2) {
            ::SendMessage(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h),
                          MAKELPARAM(static_cast<int>(hit), static_cast<int>(message)));
            if (!IsWindow(h))
                return;
        }
    }
    const bool dblAllowed = (target->classStyle & CS_DBLCLKS) != 0;
    MSG msg{h, message, 0, 0, time, screen.x, screen.y};
    if (hit != HTCLIENT) {
        msg.message = message - WM_MOUSEMOVE + WM_NCMOUSEMOVE;
        msg.wParam = static_cast<WPARAM>(hit);
        msg.lParam = MAKELPARAM(screen.x, screen.y);
    } else {
        if (!dblAllowed && (message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK ||
                            message == WM_MBUTTONDBLCLK))
            msg.message = message - 2;
        POINT p = screen;
        wnd->ScreenToClient(&p);
        msg.wParam = mvui::MouseKeyFlags();
        msg.lParam = MAKELPARAM(p.x, p.y);
    }
    mvui::DispatchQueued(msg);
}

void CWndImpl::DeliverKey(bool down, int vk, bool autoRepeat, const QString& text)
{
    const HWND target = CWnd::FromHandle(g_focus) ? g_focus : owner->m_hWnd;
    const bool alt = GetKeyState(VK_MENU) < 0;
    if (vk) {
        LPARAM lp = 1;
        if (alt) lp |= 1 << 29;
        if (autoRepeat || !down) lp |= 1 << 30;
        if (!down) lp |= static_cast<LPARAM>(1u << 31);
        const UINT message = alt || vk == VK_MENU ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP)
                                                  : (down ? WM_KEYDOWN : WM_KEYUP);
        MSG msg{target, message, static_cast<WPARAM>(vk), lp, 0, 0, 0};
        mvui::DispatchQueued(msg);
    }
    for (QChar c : text) {
        if (!IsWindow(target))
            return;
        MSG msg{target, alt ? WM_SYSCHAR : WM_CHAR, c.unicode(), 1, 0, 0, 0};
        mvui::DispatchQueued(msg);
    }
}

// ---------------------------------------------------------------------------
// CWnd

const CWnd CWnd::wndTop, CWnd::wndBottom, CWnd::wndTopMost, CWnd::wndNoTopMost;

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    if (FromHandle(m_hWnd) == this)
        DestroyWindow();
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    return hwnd ? Handles().Find(hwnd) : nullptr;
}

BOOL CWnd::Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                  UINT id)
{
    return CreateEx(0, className, windowName, style, rect, parent, id);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect,
                    CWnd* parent, UINT id, void* param)
{
    MV_ASSERT_UI_THREAD();
    if (m_hWnd && FromHandle(m_hWnd))
        return FALSE;
    if (parent && !FromHandle(parent->m_hWnd))
        return FALSE;
    m_impl = std::make_unique<CWndImpl>();
    CWndImpl& impl = *m_impl;
    impl.owner = this;
    impl.style = style;
    impl.exStyle = exStyle;
    impl.id = id;
    impl.className = className;
    impl.text = windowName;
    impl.windowRect = rect;
    impl.windowRect.NormalizeRect();
    if (className && *className) {
        auto it = Classes().find(Lower(className));
        if (it != Classes().end()) {
            impl.classStyle = it->second.style;
            impl.classCursor = it->second.cursor;
            impl.classBackground = it->second.background;
        }
    }
    m_hWnd = Handles().Add(this);
    const HWND self = m_hWnd;
    if (parent) {
        impl.parent = parent->m_hWnd;
        parent->Impl()->children.push_back(self);
    }
    impl.CreateWidget(parent);
    impl.Relayout(false);
    if (!IsWindow(self))
        return FALSE;
    CREATESTRUCT cs{param, impl.parent, id, impl.windowRect.Height(), impl.windowRect.Width(),
                    impl.windowRect.top, impl.windowRect.left, style, windowName, className};
    if (::SendMessage(self, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow();
        return FALSE;
    }
    if (!IsWindow(self))
        return FALSE;
    ::SendMessage(self, WM_SIZE, SIZE_RESTORED,
                  MAKELPARAM(impl.clientRect.Width(), impl.clientRect.Height()));
    if (IsWindow(self) && (style & WS_VISIBLE))
        ShowWindow(SW_SHOW);
    return IsWindow(self);
}

BOOL CWnd::DestroyWindow()
{
    MV_ASSERT_UI_THREAD();
    const HWND self = m_hWnd;
    if (!FromHandle(self))
        return FALSE;
    CWndImpl& impl = *m_impl;
    if (g_capture == self)
        ReleaseCapture();
    if (g_focus == self)
        g_focus = nullptr;
    if (g_leaveTracked == self)
        g_leaveTracked = nullptr;
    if (g_foreground == self)
        g_foreground = nullptr;
    for (auto& t : impl.timers)
        if (t.second)
            t.second->stop();
    ::SendMessage(self, WM_DESTROY, 0, 0);
    const std::vector<HWND> children = impl.children;
    for (HWND child : children)
        if (CWnd* c = FromHandle(child))
            c->DestroyWindow();
    ::SendMessage(self, WM_NCDESTROY, 0, 0);
    if (CWndImpl* p = mvui::ImplOf(impl.parent))
        std::erase(p->children, self);
    Handles().Remove(self);
    for (auto& t : impl.timers)
        if (t.second)
            t.second->deleteLater();
    impl.timers.clear();
    if (impl.widget) {
        impl.widget->Detach();
        impl.widget->hide();
        impl.widget->setParent(nullptr);
        impl.widget->deleteLater();
        impl.widget = nullptr;
    }
    PostNcDestroy();
    return TRUE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessage(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessage(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_currentMsg.message, m_currentMsg.wParam, m_currentMsg.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    LRESULT r = 0;
    const CPoint pt(lParam);
    const UINT flags = static_cast<UINT>(wParam);
    switch (message) {
    case WM_CREATE: r = OnCreate(reinterpret_cast<CREATESTRUCT*>(lParam)); break;
    case WM_DESTROY: OnDestroy(); break;
    case WM_NCDESTROY: OnNcDestroy(); break;
    case WM_SIZE: OnSize(flags, LOWORD(lParam), HIWORD(lParam)); break;
    case WM_PAINT: OnPaint(); break;
    case WM_ERASEBKGND: r = OnEraseBkgnd(reinterpret_cast<CDC*>(wParam)); break;
    case WM_NCPAINT: OnNcPaint(); break;
    case WM_NCCALCSIZE: {
        NCCALCSIZE_PARAMS params{};
        auto* rect = reinterpret_cast<RECT*>(lParam);
        params.rgrc[0] = *rect;
        OnNcCalcSize(static_cast<BOOL>(wParam), &params);
        *rect = params.rgrc[0];
        break;
    }
    case WM_NCHITTEST: r = OnNcHitTest(pt); break;
    case WM_NCLBUTTONDOWN: OnNcLButtonDown(flags, pt); break;
    case WM_NCLBUTTONUP: OnNcLButtonUp(flags, pt); break;
    case WM_NCLBUTTONDBLCLK: OnNcLButtonDblClk(flags, pt); break;
    case WM_NCRBUTTONDOWN: OnNcRButtonDown(flags, pt); break;
    case WM_NCMOUSEMOVE: OnNcMouseMove(flags, pt); break;
    case WM_SETCURSOR:
        r = OnSetCursor(FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_MOUSEMOVE: OnMouseMove(flags, pt); break;
    case WM_LBUTTONDOWN: OnLButtonDown(flags, pt); break;
    case WM_LBUTTONUP: OnLButtonUp(flags, pt); break;
    case WM_LBUTTONDBLCLK: OnLButtonDblClk(flags, pt); break;
    case WM_RBUTTONDOWN: OnRButtonDown(flags, pt); break;
    case WM_RBUTTONUP: OnRButtonUp(flags, pt); break;
    case WM_RBUTTONDBLCLK: OnRButtonDblClk(flags, pt); break;
    case WM_MBUTTONDOWN: OnMButtonDown(flags, pt); break;
    case WM_MBUTTONUP: OnMButtonUp(flags, pt); break;
    case WM_MOUSEWHEEL:
        r = OnMouseWheel(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), pt);
        break;
    case WM_MOUSELEAVE: OnMouseLeave(); break;
    case WM_CAPTURECHANGED: OnCaptureChanged(FromHandle(reinterpret_cast<HWND>(lParam))); break;
    case WM_CANCELMODE: OnCancelMode(); break;
    case WM_TIMER: OnTimer(wParam); break;
    case WM_KEYDOWN: OnKeyDown(flags, LOWORD(lParam), HIWORD(lParam)); break;
    case WM_KEYUP: OnKeyUp(flags, LOWORD(lParam), HIWORD(lParam)); break;
    case WM_CHAR: OnChar(flags, LOWORD(lParam), HIWORD(lParam)); break;
    case WM_SYSKEYDOWN: OnSysKeyDown(flags, LOWORD(lParam), HIWORD(lParam)); break;
    case WM_SYSKEYUP: OnSysKeyUp(flags, LOWORD(lParam), HIWORD(lParam)); break;
    case WM_SETFOCUS: OnSetFocus(FromHandle(reinterpret_cast<HWND>(wParam))); break;
    case WM_KILLFOCUS: OnKillFocus(FromHandle(reinterpret_cast<HWND>(wParam))); break;
    case WM_CLOSE: OnClose(); break;
    case WM_WINDOWPOSCHANGING: OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam)); break;
    case WM_SETTINGCHANGE: OnSettingChange(flags, reinterpret_cast<LPCSTR>(lParam)); break;
    case WM_COMMAND:
        if (!OnCommand(wParam, lParam))
            return FALSE;
        break;
    default:
        return FALSE;
    }
    *result = r;
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    // A command from a menu or an accelerator runs only when its update
    // handler leaves it enabled.
    if (lParam == 0 && (code == MV_CMD_FROM_MENU || code == MV_CMD_FROM_ACCELERATOR)) {
        CCmdUI state;
        state.m_nID = id;
        OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &state);
        if (!state.m_bEnabled)
            return TRUE;
    }
    return OnCmdMsg(id, CN_COMMAND, nullptr);
}

// Default handling of each message, as the system window procedure does it.
LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return 0;
    switch (message) {
    case WM_NCCALCSIZE: {
        auto* r = reinterpret_cast<CRect*>(lParam);
        if (!impl->parent && !(impl->style & WS_POPUP))
            return 0;  // the desktop draws an overlapped top window's frame
        int frame = 0;
        if (impl->style & (WS_BORDER | WS_DLGFRAME)) frame += 1;
        if (impl->style & WS_THICKFRAME) frame += GetSystemMetrics(SM_CXDLGFRAME);
        r->DeflateRect(frame, frame);
        if ((impl->style & WS_CAPTION) == WS_CAPTION)
            r->top += GetSystemMetrics(SM_CYCAPTION);
        return 0;
    }
    case WM_NCHITTEST: {
        CRect w;
        GetWindowRect(&w);
        const CPoint p(lParam);
        if (!w.PtInRect(p))
            return HTNOWHERE;
        CRect c = impl->clientRect;
        c.OffsetRect(w.left, w.top);
        if (c.PtInRect(p))
            return HTCLIENT;
        if ((impl->style & WS_CAPTION) == WS_CAPTION && p.y < c.top && p.y >= c.top - GetSystemMetrics(SM_CYCAPTION)) {
            // The close box the frame paints at the caption's right end.
            if ((impl->style & WS_SYSMENU) && (impl->parent || (impl->style & WS_POPUP)) &&
                p.x >= c.right - GetSystemMetrics(SM_CXSIZE) && p.x < c.right)
                return HTCLOSE;
            return HTCAPTION;
        }
        return HTBORDER;
    }
    case WM_NCPAINT: {
        if (!(impl->style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)))
            return 0;
        CWindowDC dc(this);
        CRect r(0, 0, impl->windowRect.Width(), impl->windowRect.Height());
        CBrush frame(GetSysColor(COLOR_WINDOWFRAME));
        dc.FrameRect(&r, &frame);
        if ((impl->style & WS_CAPTION) != WS_CAPTION || (!impl->parent && !(impl->style & WS_POPUP)))
            return 0;
        // A pop-up's caption: the band in the active or inactive caption
        // colour, the title, and the close box when it has a system menu.
        const bool active = g_foreground == m_hWnd;
        const int frameWidth = (impl->style & WS_THICKFRAME) ? 1 + GetSystemMetrics(SM_CXDLGFRAME) : 1;
        CRect band(frameWidth, frameWidth, r.right - frameWidth, frameWidth + GetSystemMetrics(SM_CYCAPTION));
        dc.FillSolidRect(&band, GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
        CRect title = band;
        title.left += 4;
        if (impl->style & WS_SYSMENU) {
            CRect box(band.right - GetSystemMetrics(SM_CXSIZE) + 1, band.top + 2, band.right - 2, band.bottom - 2);
            dc.DrawFrameControl(&box, DFC_CAPTION, DFCS_CAPTIONCLOSE);
            title.right = box.left - 2;
        }
        mvui::DrawCaptionTitle(dc, impl->text, title, active);
        return 0;
    }
    case WM_PAINT: {
        CPaintDC dc(this);
        return 0;
    }
    case WM_ERASEBKGND: {
        if (impl->classBackground <= 0)
            return 0;
        auto* dc = reinterpret_cast<CDC*>(wParam);
        CRect r;
        GetClientRect(&r);
        if (dc)
            dc->FillSolidRect(&r, GetSysColor(impl->classBackground - 1));
        return 1;
    }
    case WM_SETCURSOR: {
        if (CWnd* p = GetParent())
            if ((impl->style & WS_CHILD) && p->SendMessage(WM_SETCURSOR, wParam, lParam))
                return TRUE;
        if (LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(impl->classCursor ? impl->classCursor : LoadCursor(nullptr, IDC_ARROW));
            return TRUE;
        }
        return FALSE;
    }
    case WM_MOUSEWHEEL:
        if (CWnd* p = GetParent())
            return p->SendMessage(message, wParam, lParam);
        return 0;
    case WM_SETTEXT: {
        const auto* text = reinterpret_cast<LPCSTR>(lParam);
        impl->text = text;
        impl->widget->setWindowTitle(QString::fromUtf8(text ? text : ""));
        impl->frameDirty = true;
        impl->widget->update();
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow();
        return 0;
    case WM_NCLBUTTONUP:
        if (wParam == HTCLOSE)
            SendMessage(WM_CLOSE);
        return 0;
    case WM_CANCELMODE:
        if (g_capture == m_hWnd)
            ReleaseCapture();
        return 0;
    default:
        return 0;
    }
}

void CWnd::GetWindowRect(LPRECT rect) const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!rect || !impl)
        return;
    CRect r = impl->windowRect;
    if (CWnd* p = GetParent())
        p->ClientToScreen(&r);
    *rect = r;
}

void CWnd::GetClientRect(LPRECT rect) const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!rect)
        return;
    *rect = impl ? RECT{0, 0, impl->clientRect.Width(), impl->clientRect.Height()} : RECT{0, 0, 0, 0};
}

CPoint CWnd::GetClientOffset() const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    return impl ? impl->clientRect.TopLeft() : CPoint();
}

void CWnd::ClientToScreen(LPPOINT point) const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!point || !impl)
        return;
    CRect w;
    GetWindowRect(&w);
    point->x += w.left + impl->clientRect.left;
    point->y += w.top + impl->clientRect.top;
}

void CWnd::ClientToScreen(LPRECT rect) const
{
    ClientToScreen(reinterpret_cast<LPPOINT>(rect));
    ClientToScreen(reinterpret_cast<LPPOINT>(rect) + 1);
}

void CWnd::ScreenToClient(LPPOINT point) const
{
    if (!point)
        return;
    POINT origin{0, 0};
    ClientToScreen(&origin);
    point->x -= origin.x;
    point->y -= origin.y;
}

void CWnd::ScreenToClient(LPRECT rect) const
{
    ScreenToClient(reinterpret_cast<LPPOINT>(rect));
    ScreenToClient(reinterpret_cast<LPPOINT>(rect) + 1);
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint)
{
    SetWindowPos(nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::MoveWindow(LPCRECT rect, BOOL repaint)
{
    if (rect)
        MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return FALSE;
    const HWND self = m_hWnd;
    if (!(flags & SWP_NOZORDER) && insertAfter) {
        if (insertAfter == &wndTopMost) {
            impl->exStyle |= WS_EX_TOPMOST;
            impl->widget->raise();
        } else if (insertAfter == &wndBottom) {
            impl->exStyle &= ~WS_EX_TOPMOST;
            impl->widget->lower();
        } else if (insertAfter == &wndNoTopMost) {
            impl->exStyle &= ~WS_EX_TOPMOST;
        } else if (insertAfter == &wndTop) {
            impl->widget->raise();
        }
    }
    WINDOWPOS pos{self, nullptr, x, y, cx, cy, flags};
    if (flags & SWP_NOMOVE) {
        pos.x = impl->windowRect.left;
        pos.y = impl->windowRect.top;
    }
    if (flags & SWP_NOSIZE) {
        pos.cx = impl->windowRect.Width();
        pos.cy = impl->windowRect.Height();
    }
    ::SendMessage(self, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if (!IsWindow(self))
        return FALSE;
    const CRect next(pos.x, pos.y, pos.x + std::max(0, pos.cx), pos.y + std::max(0, pos.cy));
    if (next != impl->windowRect || (pos.flags & SWP_FRAMECHANGED)) {
        impl->windowRect = next;
        impl->Relayout(true);
        if (!IsWindow(self))
            return FALSE;
    }
    if (pos.flags & SWP_SHOWWINDOW)
        ShowWindow(SW_SHOW);
    else if (pos.flags & SWP_HIDEWINDOW)
        ShowWindow(SW_HIDE);
    return TRUE;
}

BOOL CWnd::ShowWindow(int command)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return FALSE;
    const BOOL was = impl->visible;
    impl->visible = command != SW_HIDE;
    if (impl->visible) {
        impl->style |= WS_VISIBLE;
        impl->widget->show();
    } else {
        impl->style &= ~WS_VISIBLE;
        impl->widget->hide();
    }
    // As on Windows, the window hears when it is shown or hidden.
    if ((was != FALSE) != (impl->visible != FALSE))
        ::SendMessage(m_hWnd, WM_SHOWWINDOW, impl->visible ? TRUE : FALSE, 0);
    return was;
}

BOOL CWnd::IsWindowVisible() const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl || !impl->visible)
        return FALSE;
    CWnd* p = GetParent();
    return p ? p->IsWindowVisible() : TRUE;
}

BOOL CWnd::EnableWindow(BOOL enable)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return FALSE;
    const BOOL wasDisabled = !impl->enabled;
    impl->enabled = enable != 0;
    if (enable) impl->style &= ~WS_DISABLED;
    else impl->style |= WS_DISABLED;
    impl->widget->setEnabled(impl->enabled);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    return impl && impl->enabled;
}

DWORD CWnd::GetStyle() const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    return impl ? impl->style : 0;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return FALSE;
    const DWORD next = (impl->style & ~remove) | add;
    if (next == impl->style)
        return FALSE;
    impl->style = next;
    if (flags)
        SetWindowPos(nullptr, 0, 0, 0, 0, flags | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
}

DWORD CWnd::GetExStyle() const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    return impl ? impl->exStyle : 0;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return FALSE;
    const DWORD next = (impl->exStyle & ~remove) | add;
    if (next == impl->exStyle)
        return FALSE;
    impl->exStyle = next;
    if (flags)
        SetWindowPos(nullptr, 0, 0, 0, 0, flags | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
}

CWnd* CWnd::GetWindow(UINT relation) const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return nullptr;
    if (relation == GW_CHILD)
        return impl->children.empty() ? nullptr : FromHandle(impl->children.front());
    CWndImpl* parent = mvui::ImplOf(impl->parent);
    if (!parent)
        return nullptr;
    const std::vector<HWND>& siblings = parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), m_hWnd);
    switch (relation) {
    case GW_HWNDFIRST: return FromHandle(siblings.front());
    case GW_HWNDLAST: return FromHandle(siblings.back());
    case GW_HWNDNEXT: return it != siblings.end() && it + 1 != siblings.end() ? FromHandle(*(it + 1)) : nullptr;
    case GW_HWNDPREV: return it != siblings.end() && it != siblings.begin() ? FromHandle(*(it - 1)) : nullptr;
    default: return nullptr;
    }
}

CString CWnd::GetClassName() const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    return impl ? impl->className : CString();
}

BOOL CWnd::SetForegroundWindow()
{
    CWnd* top = GetTopLevelParent();
    if (!top)
        return FALSE;
    const HWND next = top->m_hWnd;
    const HWND old = g_foreground;
    if (old == next)
        return TRUE;
    g_foreground = next;
    if (IsWindow(old))
        ::SendMessage(old, WM_NCACTIVATE, FALSE, 0);
    if (IsWindow(next) && g_foreground == next)
        ::SendMessage(next, WM_NCACTIVATE, TRUE, 0);
    return TRUE;
}

CWnd* CWnd::GetForegroundWindow()
{
    return FromHandle(g_foreground);
}

UINT CWnd::GetDlgCtrlID() const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    return impl ? impl->id : 0;
}

CWnd* CWnd::GetParent() const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    return impl ? FromHandle(impl->parent) : nullptr;
}

CWnd* CWnd::SetParent(CWnd* newParent)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    CWndImpl* next = newParent ? mvui::ImplOf(newParent->m_hWnd) : nullptr;
    if (!impl || !next || newParent == this)
        return nullptr;
    CWnd* old = GetParent();
    if (old == newParent)
        return old;
    const HWND self = m_hWnd;
    if (CWndImpl* p = mvui::ImplOf(impl->parent))
        std::erase(p->children, self);
    impl->parent = newParent->m_hWnd;
    next->children.push_back(self);
    const bool shown = impl->visible;
    impl->widget->setParent(next->widget);
    if (shown)
        impl->widget->show();
    impl->Relayout(false);
    return old;
}

CWnd* CWnd::GetDlgItem(int id) const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return nullptr;
    for (HWND child : impl->children)
        if (CWnd* c = FromHandle(child); c && c->GetDlgCtrlID() == static_cast<UINT>(id))
            return c;
    return nullptr;
}

CWnd* CWnd::GetTopLevelParent() const
{
    CWnd* w = FromHandle(m_hWnd);
    while (w && w->GetParent())
        w = w->GetParent();
    return w;
}

// As on Windows the text goes through WM_SETTEXT, so a window can follow
// its own title changes.
void CWnd::SetWindowText(LPCSTR text)
{
    SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void CWnd::GetWindowText(CString& text) const
{
    text = GetWindowText();
}

CString CWnd::GetWindowText() const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    return impl ? impl->text : CString();
}

UINT CWnd::GetClassStyle() const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    return impl ? impl->classStyle : 0;
}

void CWnd::Invalidate(BOOL erase)
{
    InvalidateRect(nullptr, erase);
}

void CWnd::InvalidateRect(LPCRECT rect, BOOL erase)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return;
    const QRect all(0, 0, impl->clientRect.Width(), impl->clientRect.Height());
    const QRect r = rect ? QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top) & all
                         : all;
    if (r.isEmpty())
        return;
    impl->update += r;
    impl->eraseOnPaint = impl->eraseOnPaint || erase;
    impl->widget->update(r.translated(impl->clientRect.left, impl->clientRect.top));
}

void CWnd::ValidateRect(LPCRECT rect)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return;
    if (!rect)
        impl->update = QRegion();
    else
        impl->update -= QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
}

void CWnd::UpdateWindow()
{
    if (CWndImpl* impl = mvui::ImplOf(m_hWnd))
        impl->PaintPending();
}

BOOL CWnd::RedrawWindow(LPCRECT rect, void*, UINT flags)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return FALSE;
    const HWND self = m_hWnd;
    if (flags & RDW_INVALIDATE)
        InvalidateRect(rect, (flags & RDW_ERASE) != 0);
    if (flags & RDW_FRAME)
        impl->frameDirty = true;
    if (flags & RDW_UPDATENOW) {
        UpdateWindow();
        if ((flags & RDW_ALLCHILDREN) && IsWindow(self))
            for (HWND child : std::vector<HWND>(impl->children))
                if (CWnd* c = FromHandle(child))
                    c->RedrawWindow(nullptr, nullptr, flags);
    }
    return TRUE;
}

BOOL CWnd::GetUpdateRect(LPRECT rect, BOOL) const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return FALSE;
    const QRect b = impl->update.boundingRect();
    if (rect)
        *rect = RECT{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
    return !impl->update.isEmpty();
}

CWnd* CWnd::SetCapture()
{
    return FromHandle(::SetCapture(m_hWnd));
}

CWnd* CWnd::GetCapture()
{
    return FromHandle(g_capture);
}

CWnd* CWnd::SetFocus()
{
    const HWND old = g_focus;
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl || old == m_hWnd)
        return FromHandle(old);
    const HWND self = m_hWnd;
    g_focus = self;
    if (IsWindow(old))
        ::SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(self), 0);
    if (IsWindow(self) && g_focus == self) {
        impl->widget->setFocus(Qt::OtherFocusReason);
        ::SendMessage(self, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
    return FromHandle(old);
}

CWnd* CWnd::GetFocus()
{
    return FromHandle(g_focus);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, TIMERPROC)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return 0;
    QPointer<QTimer>& slot = impl->timers[id];
    if (!slot) {
        slot = new QTimer(impl->widget);
        // A window timer never fires before its time; Qt's default coarse
        // timers may come up to 5 % early (a 50 ms repeat after 48 ms).
        slot->setTimerType(Qt::PreciseTimer);
        const HWND self = m_hWnd;
        QObject::connect(slot.data(), &QTimer::timeout, [self, id] {
            if (IsWindow(self))
                ::SendMessage(self, WM_TIMER, id, 0);
        });
    }
    slot->start(static_cast<int>(std::max<UINT>(elapse, 1)));
    return id;
}

BOOL CWnd::KillTimer(UINT_PTR id)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl)
        return FALSE;
    auto it = impl->timers.find(id);
    if (it == impl->timers.end())
        return FALSE;
    // The timer may be the one whose handler is running: stop it now, free it later.
    if (it->second) {
        it->second->stop();
        it->second->deleteLater();
    }
    impl->timers.erase(it);
    return TRUE;
}

// Handlers: what the system does with each message unless a class says otherwise.
int CWnd::OnCreate(CREATESTRUCT*) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnNcDestroy() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnNcPaint() { Default(); }
void CWnd::OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params)
{
    DefWindowProc(WM_NCCALCSIZE, calcValidRects, reinterpret_cast<LPARAM>(&params->rgrc[0]));
}
LRESULT CWnd::OnNcHitTest(CPoint) { return Default(); }
void CWnd::OnNcLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnNcLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnNcLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnNcRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnNcMouseMove(UINT, CPoint) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnMButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnMButtonUp(UINT, CPoint) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return static_cast<BOOL>(Default()); }
void CWnd::OnMouseLeave() { Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }
void CWnd::OnCancelMode() { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnWindowPosChanging(WINDOWPOS*) { Default(); }
void CWnd::OnSettingChange(UINT, LPCSTR) { Default(); }

// ---------------------------------------------------------------------------
// Free functions.

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MV_ASSERT_UI_THREAD();
    CWnd* w = CWnd::FromHandle(hwnd);
    if (!w)
        return 0;
    if (WNDPROC proc = w->Impl()->proc)
        return proc(hwnd, message, wParam, lParam);
    return CallWindowProcA(ObjectWindowProc, hwnd, message, wParam, lParam);
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MV_ASSERT_UI_THREAD();
    CWnd* w = CWnd::FromHandle(hwnd);
    if (!w || !proc)
        return 0;
    if (proc != ObjectWindowProc)
        return proc(hwnd, message, wParam, lParam);
    // The window object's Default() answers the message it is handling now.
    const MSG saved = w->m_currentMsg;
    w->m_currentMsg = MSG{hwnd, message, wParam, lParam, 0, 0, 0};
    const LRESULT r = w->WindowProc(message, wParam, lParam);
    if (CWnd::FromHandle(hwnd) == w)
        w->m_currentMsg = saved;
    return r;
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index)
{
    CWndImpl* impl = mvui::ImplOf(hwnd);
    if (!impl)
        return 0;
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(impl->proc ? impl->proc : ObjectWindowProc);
    case GWL_STYLE: return static_cast<LONG_PTR>(impl->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(impl->exStyle);
    case GWL_ID: return static_cast<LONG_PTR>(impl->id);
    default: return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value)
{
    CWndImpl* impl = mvui::ImplOf(hwnd);
    if (!impl)
        return 0;
    const LONG_PTR previous = GetWindowLongPtrA(hwnd, index);
    switch (index) {
    case GWLP_WNDPROC: {
        auto proc = reinterpret_cast<WNDPROC>(value);
        impl->proc = proc == ObjectWindowProc ? nullptr : proc;
        break;
    }
    case GWL_STYLE: impl->style = static_cast<DWORD>(value); break;
    case GWL_EXSTYLE: impl->exStyle = static_cast<DWORD>(value); break;
    case GWL_ID: impl->id = static_cast<UINT>(value); break;
    default: return 0;
    }
    return previous;
}

int GetClassNameA(HWND hwnd, LPSTR buffer, int size)
{
    CWndImpl* impl = mvui::ImplOf(hwnd);
    if (!impl || !buffer || size <= 0)
        return 0;
    const int n = std::min(impl->className.GetLength(), size - 1);
    std::memcpy(buffer, static_cast<LPCSTR>(impl->className), static_cast<std::size_t>(n));
    buffer[n] = '\0';
    return n;
}

HWND GetForegroundWindow()
{
    return IsWindow(g_foreground) ? g_foreground : nullptr;
}

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PostQueue* q = Queue();
    if (!q || !hwnd)
        return FALSE;
    QCoreApplication::postEvent(q, new PostedEvent(MSG{hwnd, message, wParam, lParam, 0, 0, 0}));
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    return CWnd::FromHandle(hwnd) != nullptr;
}

UINT RegisterWindowMessageA(LPCSTR name)
{
    static std::mutex lock;
    static std::map<std::string, UINT> names;
    static UINT next = MV_FIRST_REGISTERED_MESSAGE;
    if (!name || !*name)
        return 0;
    std::lock_guard<std::mutex> guard(lock);
    const std::string key = Lower(name);
    auto it = names.find(key);
    if (it != names.end())
        return it->second;
    if (next > 0xFFFF)
        return 0;
    names[key] = next;
    return next++;
}

HWND SetCapture(HWND hwnd)
{
    MV_ASSERT_UI_THREAD();
    const HWND old = IsWindow(g_capture) ? g_capture : nullptr;
    if (!IsWindow(hwnd))
        return old;
    g_capture = hwnd;
    if (QWidget* w = mvui::WindowWidget(hwnd); w && w->isVisible())
        w->grabMouse();
    if (old && old != hwnd)
        ::SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture()
{
    MV_ASSERT_UI_THREAD();
    const HWND old = g_capture;
    g_capture = nullptr;
    if (QWidget* w = mvui::WindowWidget(old))
        w->releaseMouse();
    if (IsWindow(old))
        ::SendMessage(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture()
{
    return IsWindow(g_capture) ? g_capture : nullptr;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track)
{
    if (!track)
        return FALSE;
    CWndImpl* impl = mvui::ImplOf(track->hwndTrack);
    if (!impl)
        return FALSE;
    if (track->dwFlags & TME_CANCEL) {
        impl->trackingLeave = false;
        return TRUE;
    }
    if (track->dwFlags & TME_LEAVE) {
        impl->trackingLeave = true;
        g_leaveTracked = track->hwndTrack;
    }
    return TRUE;
}

BOOL TranslateAccelerator(HWND hwnd, const ACCEL* table, int count, MSG* msg)
{
    if (!msg || !table || !IsWindow(hwnd))
        return FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)
        return FALSE;
    BYTE state = 0;
    if (GetKeyState(VK_SHIFT) < 0) state |= FSHIFT;
    if (GetKeyState(VK_CONTROL) < 0) state |= FCONTROL;
    if (GetKeyState(VK_MENU) < 0) state |= FALT;
    for (int i = 0; i < count; ++i) {
        const ACCEL& a = table[i];
        if (!(a.fVirt & FVIRTKEY) || a.key != msg->wParam)
            continue;
        if ((a.fVirt & (FSHIFT | FCONTROL | FALT)) != state)
            continue;
        ::SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(a.cmd, MV_CMD_FROM_ACCELERATOR), 0);
        return TRUE;
    }
    return FALSE;
}

BOOL AfxRegisterClass(const WNDCLASSA* wc)
{
    if (!wc || !wc->lpszClassName)
        return FALSE;
    auto [it, inserted] =
        Classes().emplace(Lower(wc->lpszClassName), ClassInfo{wc->style, wc->hCursor, wc->backgroundColour});
    return inserted;
}

BOOL GetClassInfoA(void*, LPCSTR className, WNDCLASSA* wc)
{
    auto it = Classes().find(Lower(className));
    if (it == Classes().end())
        return FALSE;
    if (wc)
        *wc = WNDCLASSA{it->second.style, it->second.cursor, it->second.background, className};
    return TRUE;
}

// ---------------------------------------------------------------------------
// Scroll bars, placement, owner, update lock.
CScrollBar* CWnd::GetScrollBarCtrl(int bar) const
{
    // A splitter's panes share the splitter's bars.
    if (auto* splitter = dynamic_cast<CSplitterWnd*>(GetParent()))
        return splitter->GetPaneScrollBar(this, bar);
    return nullptr;
}

int CWnd::SetScrollInfo(int bar, LPSCROLLINFO info, BOOL redraw)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl || !info || (bar != SB_HORZ && bar != SB_VERT))
        return 0;
    if (CScrollBar* control = GetScrollBarCtrl(bar))
        return control->SetScrollInfo(info, redraw) ? control->GetScrollPos() : 0;
    return mvui::ApplyScrollInfo(impl->ownBars[bar], *info);
}

BOOL CWnd::GetScrollInfo(int bar, LPSCROLLINFO info, UINT mask)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl || !info || (bar != SB_HORZ && bar != SB_VERT))
        return FALSE;
    if (CScrollBar* control = GetScrollBarCtrl(bar))
        return control->GetScrollInfo(info, mask);
    mvui::ReadScrollInfo(impl->ownBars[bar], *info, mask);
    return TRUE;
}

int CWnd::GetScrollPos(int bar)
{
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(bar, &si, SIF_POS) ? si.nPos : 0;
}

void CWnd::ScrollWindow(int dx, int dy, LPCRECT rect, LPCRECT clip)
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl || (dx == 0 && dy == 0))
        return;
    CRect area(0, 0, impl->clientRect.Width(), impl->clientRect.Height());
    if (rect)
        area.IntersectRect(area, *rect);
    if (clip)
        area.IntersectRect(area, *clip);
    if (area.IsRectEmpty())
        return;
    const QRect onSurface(impl->clientRect.left + area.left, impl->clientRect.top + area.top,
                          area.Width(), area.Height());
    const QImage before = impl->surface.copy(onSurface);
    {
        QPainter p(&impl->surface);
        p.setClipRect(onSurface);
        p.drawImage(onSurface.topLeft() + QPoint(dx, dy), before);
    }
    // What the move uncovered is painted afresh.
    QRegion uncovered(area.left, area.top, area.Width(), area.Height());
    uncovered -= QRegion(area.left + dx, area.top + dy, area.Width(), area.Height());
    impl->update += uncovered;
    impl->widget->update();
}

BOOL CWnd::GetWindowPlacement(WINDOWPLACEMENT* placement) const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl || !placement)
        return FALSE;
    *placement = WINDOWPLACEMENT{sizeof(WINDOWPLACEMENT), 0,
                                 impl->visible ? static_cast<UINT>(SW_SHOWNORMAL) : static_cast<UINT>(SW_HIDE),
                                 POINT{-1, -1}, POINT{-1, -1}, impl->windowRect};
    return TRUE;
}

CWnd* CWnd::GetOwner() const
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    return impl ? FromHandle(impl->ownerWnd) : nullptr;
}

void CWnd::SetOwner(CWnd* owner)
{
    if (CWndImpl* impl = mvui::ImplOf(m_hWnd))
        impl->ownerWnd = owner ? owner->m_hWnd : nullptr;
}

BOOL CWnd::LockWindowUpdate()
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl || impl->updateLocked)
        return FALSE;
    impl->updateLocked = true;
    return TRUE;
}

void CWnd::UnlockWindowUpdate()
{
    CWndImpl* impl = mvui::ImplOf(m_hWnd);
    if (!impl || !impl->updateLocked)
        return;
    impl->updateLocked = false;
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}
