// Dialog templates as readable text, the form the resource files keep them
// in. One item a line; '#' starts a comment line; texts are in double quotes
// with the escapes \" and \\:
//
//   define IDC_VALUE 1001
//   dialog 700 0 0 186 95 "Caption" [style WS_POPUP|WS_CAPTION] [exstyle ...] [font 8 "MS Shell Dlg"]
//   control Edit IDC_VALUE 10 10 60 12 "" [style WS_TABSTOP|ES_AUTOHSCROLL] [exstyle ...]
//   end
//
// Ids are numbers, names from `define` lines, or IDOK, IDCANCEL, IDHELP and
// IDC_STATIC (-1); styles are names or numbers joined by '|' (a control is
// always WS_CHILD | WS_VISIBLE besides). Rectangles are
// x y width height in dialog units. A text loads whole or not at all: a
// control of a class the window layer does not know, an id or style that
// is not defined, or a line that does not parse fails it with a message
// that names the dialog's id and the line. UI thread only.
#pragma once

#include <map>

#include "platform/ui/CDialog.h"

namespace mvui {
// Parses `text` into `out` (dialog id to template); false and `error` set on the first fault.
bool ParseDialogTemplates(const char* text, std::map<UINT, DialogTemplate>& out, CString& error);
// Parses and registers every template of `text`; nothing is registered on failure.
bool LoadDialogTemplates(const char* text, CString& error);
}  // namespace mvui
