// Scroll-bar numbers and records as Windows gives them: the bar kinds, the
// scroll codes a bar sends with WM_HSCROLL and WM_VSCROLL, the SCROLLINFO
// record (28 bytes) and the scroll-bar control messages. Plain values.
#pragma once

#include "platform/win/WinTypes.h"

// Which bar: a window's own horizontal or vertical bar, or a bar control itself.
constexpr int SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3;
// Scroll codes (the low word of WM_HSCROLL / WM_VSCROLL's wParam).
constexpr UINT SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1,
               SB_PAGEUP = 2, SB_PAGELEFT = 2, SB_PAGEDOWN = 3, SB_PAGERIGHT = 3,
               SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5, SB_TOP = 6, SB_LEFT = 6,
               SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8;
// Which fields of a SCROLLINFO count.
constexpr UINT SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4, SIF_DISABLENOSCROLL = 0x8,
               SIF_TRACKPOS = 0x10, SIF_ALL = 0x17;
// Scroll-bar control messages.
constexpr UINT SBM_SETPOS = 0x00E0, SBM_GETPOS = 0x00E1, SBM_SETRANGE = 0x00E2,
               SBM_GETRANGE = 0x00E3, SBM_SETRANGEREDRAW = 0x00E6, SBM_SETSCROLLINFO = 0x00E9,
               SBM_GETSCROLLINFO = 0x00EA;
// Scroll-bar control styles.
constexpr DWORD SBS_HORZ = 0x0000, SBS_VERT = 0x0001;

struct SCROLLINFO {
    UINT cbSize;
    UINT fMask;
    int nMin;
    int nMax;
    UINT nPage;
    int nPos;
    int nTrackPos;
};
using LPSCROLLINFO = SCROLLINFO*;
using LPCSCROLLINFO = const SCROLLINFO*;
static_assert(sizeof(SCROLLINFO) == 28, "SCROLLINFO keeps its Windows size");
