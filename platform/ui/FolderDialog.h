// The folder picker: Qt's own (non-native) directory dialog, modal over the
// owner, starting in `initial` (when not empty). UI thread only.
#pragma once

#include "platform/ui/CWnd.h"

namespace mvui {
// True, with `chosen` set, when the user picked a folder.
bool BrowseForFolder(CWnd* owner, const char* title, const char* initial, CString& chosen);
}
