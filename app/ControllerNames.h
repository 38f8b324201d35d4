// The built-in names of the 128 MIDI controllers, as the remote-control
// dialog lists them: the number, then the name ("1 - Modulation Wheel").
#pragma once

#include "platform/win/CString.h"

namespace mvapp {
// Empty for a number outside 0..127.
CString GetControllerName(int controller);
}  // namespace mvapp
