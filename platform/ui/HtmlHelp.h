// The help viewer: HTML help files opened by the desktop's viewer. Calls keep
// the numbers of the HTML Help interface: HH_INITIALIZE hands out a cookie,
// the display commands return a window-like token on success and null on
// failure. Tests put a viewer of their own. UI thread only.
#pragma once

#include <functional>

#include "platform/ui/WinUser.h"

constexpr UINT HH_DISPLAY_TOPIC = 0x0000, HH_DISPLAY_INDEX = 0x0002,
               HH_DISPLAY_TEXT_POPUP = 0x000E, HH_HELP_CONTEXT = 0x000F,
               HH_TP_HELP_CONTEXTMENU = 0x0010, HH_TP_HELP_WM_HELP = 0x0011,
               HH_CLOSE_ALL = 0x0012, HH_INITIALIZE = 0x001C, HH_UNINITIALIZE = 0x001D;

// HH_INITIALIZE writes a non-zero cookie to *(DWORD*)data and returns a
// token; other commands show `file` (with the command and data) and return a
// token, or null when the file cannot be shown.
HWND HtmlHelpA(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);

namespace mvui {
// Shows a help file; true when it was shown. Null restores the desktop viewer.
using HelpViewer = std::function<bool(const char* file, UINT command, DWORD_PTR data)>;
void SetHelpViewer(HelpViewer viewer);
}  // namespace mvui
