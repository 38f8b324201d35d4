// Inside the window layer only: what a window object keeps on the Qt side
// (its widget, its image surface, its update region, its timers). Code above
// the layer never sees this header; tests reach the surface through QtBridge.h.
#pragma once

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <map>
#include <vector>

#include "platform/ui/CWnd.h"

class QTimer;
class CWndWidget;

struct CWndImpl {
    CWnd* owner = nullptr;
    CWndWidget* widget = nullptr;
    HWND parent = nullptr;
    std::vector<HWND> children;
    DWORD style = 0;
    DWORD exStyle = 0;
    UINT id = 0;
    CString className;
    // The window's procedure when something replaced it (SetWindowLongPtr);
    // null while the window object's own WindowProc handles its messages.
    WNDPROC proc = nullptr;
    UINT classStyle = CS_DBLCLKS;
    HCURSOR classCursor = nullptr;
    int classBackground = COLOR_WINDOW + 1;
    CString text;
    CRect windowRect;  // in the parent's client coordinates (screen for a top window)
    CRect clientRect;  // within the window rectangle
    QImage surface;    // the whole window rectangle, RGB32
    QRegion update;    // client coordinates
    bool eraseOnPaint = false;
    bool frameDirty = true;
    bool visible = false;
    bool enabled = true;
    bool trackingLeave = false;
    bool painting = false;  // inside the Qt paint event, which blits afterwards anyway
    bool updateLocked = false;
    HWND ownerWnd = nullptr;  // the window that gets a control's notifications
    SCROLLINFO ownBars[2]{};  // the window's own horizontal and vertical bars
    std::map<UINT_PTR, QPointer<QTimer>> timers;
    // The last press, for double clicks in the Windows manner.
    UINT lastPressMessage = 0;
    ULONG lastPressTime = 0;
    POINT lastPressPoint{0, 0};

    void CreateWidget(CWnd* parentWnd);
    void Relayout(bool sendSize);
    void ResizeSurface();
    void PaintPending();
    void DeliverMouse(int kind, int button, POINT screen, ULONG time);
    void DeliverKey(bool down, int vk, bool autoRepeat, const QString& text);
};

namespace mvui {
CWndImpl* ImplOf(HWND hwnd);
// The widget the pointer is over (or captured by): SetCursor shapes its cursor.
void NotePointerWidget(QWidget* widget);
}
