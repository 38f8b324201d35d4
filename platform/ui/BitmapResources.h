// Bitmaps by numeric id, per module, as the program's and the plug-ins'
// resources provide them. A module's images are registered when it loads
// (the build turns the SVG sources into images; tests register their own).
// UI thread only.
#pragma once

#include "platform/res/Resources.h"
#include "platform/ui/CBitmap.h"

// A copy of bitmap `id` of the module (the program's for a null module), or
// null when there is none. The caller owns the handle (DeleteObject or Attach).
HBITMAP LoadBitmapA(HINSTANCE module, UINT id);

namespace mvui {
// Registers (or replaces) bitmap `id` of a module; an empty bitmap removes it.
void RegisterBitmapResource(HINSTANCE module, UINT id, const CBitmap& bitmap);
}
