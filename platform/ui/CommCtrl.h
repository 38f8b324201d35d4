// Numbers and records of the common controls that code above the layer
// dispatches on: the tool-tip control's messages, flags, notifications and
// tool records, with the values Windows gives them (the WM_NOTIFY header is
// in WinUser.h).
// Plain values; any thread.
#pragma once

#include "platform/ui/GdiTypes.h"
#include "platform/ui/WinUser.h"
#include "platform/win/Module.h"

// Tool-tip window styles.
constexpr DWORD TTS_ALWAYSTIP = 0x01, TTS_NOPREFIX = 0x02;
// Tool flags.
constexpr UINT TTF_IDISHWND = 0x0001, TTF_CENTERTIP = 0x0002, TTF_SUBCLASS = 0x0010,
               TTF_TRANSPARENT = 0x0100;
// Tool-tip messages.
constexpr UINT TTM_ACTIVATE = WM_USER + 1, TTM_SETDELAYTIME = WM_USER + 3,
               TTM_ADDTOOLA = WM_USER + 4, TTM_DELTOOLA = WM_USER + 5,
               TTM_NEWTOOLRECTA = WM_USER + 6, TTM_RELAYEVENT = WM_USER + 7,
               TTM_GETTOOLCOUNT = WM_USER + 13, TTM_POP = WM_USER + 28, TTM_UPDATE = WM_USER + 29;
constexpr UINT TTM_ADDTOOL = TTM_ADDTOOLA, TTM_DELTOOL = TTM_DELTOOLA, TTM_NEWTOOLRECT = TTM_NEWTOOLRECTA;
// Which delay TTM_SETDELAYTIME sets.
constexpr WPARAM TTDT_AUTOMATIC = 0, TTDT_RESHOW = 1, TTDT_AUTOPOP = 2, TTDT_INITIAL = 3;
// Notifications: the tip asks its tool's window for the text of a callback tool.
constexpr UINT TTN_FIRST = 0u - 520u;
constexpr UINT TTN_GETDISPINFOA = TTN_FIRST, TTN_NEEDTEXT = TTN_GETDISPINFOA,
               TTN_SHOW = TTN_FIRST - 1, TTN_POP = TTN_FIRST - 2;

// The text of a tool that asks its window at need.
inline LPSTR const LPSTR_TEXTCALLBACK = reinterpret_cast<LPSTR>(static_cast<INT_PTR>(-1));
// A text given as a string id in place of a pointer.
inline bool IS_INTRESOURCE(const void* p) { return (reinterpret_cast<UINT_PTR>(p) >> 16) == 0; }
inline LPSTR MAKEINTRESOURCE(UINT id) { return reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(id & 0xFFFF)); }

struct TOOLINFOA {
    UINT cbSize;
    UINT uFlags;
    HWND hwnd;       // the window that owns the tool (and gets its notifications)
    UINT_PTR uId;    // the tool's id, or the child window's handle with TTF_IDISHWND
    RECT rect;       // in the owner's client coordinates
    HINSTANCE hinst; // the module of a text given by id
    LPSTR lpszText;  // the text, a string id, or LPSTR_TEXTCALLBACK
    LPARAM lParam;
};
using TOOLINFO = TOOLINFOA;

// TTN_NEEDTEXT: the owner answers with lpszText (a text or a string id of
// hinst) or by filling szText.
struct NMTTDISPINFOA {
    NMHDR hdr;
    LPSTR lpszText;
    char szText[80];
    HINSTANCE hinst;
    UINT uFlags;
    LPARAM lParam;
};
using NMTTDISPINFO = NMTTDISPINFOA;
using TOOLTIPTEXT = NMTTDISPINFOA;
