// The program's dialog templates: registered with the window layer the
// first time a dialog of the shell needs them. UI thread only.
#pragma once

#include "platform/win/CString.h"

namespace mvapp {
// True once the templates are registered; false, with `error` set, when the
// compiled-in text does not load (a build fault).
bool LoadAppDialogTemplates(CString* error = nullptr);
}  // namespace mvapp
