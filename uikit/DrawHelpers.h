// Drawing helpers of the framework: the display's colour count, bitmaps
// whose greys follow the system colours, owner-drawn bitmap buttons, one-pixel
// 3D frames and vertical gradients. Class-wide values (the colour count, the
// gradient palette, the system-colour table) are unguarded: UI thread only.
#pragma once

#include "platform/res/Resources.h"
#include "platform/ui/CDC.h"
#include "platform/ui/OwnerDraw.h"

// 1 << (planes x bits per pixel) of the display, computed once. A true-colour
// display (a shift of 31 or more) counts as the largest int, not as the
// negative number the shift would give.
int GetDisplayColorCount();
bool HasAtLeast256Colors();
// Forgets the cached count (the display changed; tests).
void ResetDisplayColorCount();

// Bitmap `id` of the module with black, grey, light grey and white replaced by
// the current colours of the four system colour indices; in two-colour mode
// light grey becomes the third colour and everything else the second. Null
// when there is no such bitmap.
HBITMAP LoadSysColorBitmap(HINSTANCE module, UINT id, bool twoColour, int blackIndex, int greyIndex,
                           int lightGreyIndex, int whiteIndex);
// An owner-drawn bitmap button: face, the bitmap centred (one pixel right and
// down while pressed), and a raised or, pressed, sunken soft edge.
void DrawBitmapItem(HINSTANCE module, UINT id, const DRAWITEMSTRUCT* item);
// One-pixel frames inside the rectangle; each leaves the stock black pen selected.
void DrawSunkenFrame(CDC* dc, const RECT& rect);
void DrawRaisedFrame(CDC* dc, const RECT& rect);
// The palette gradients are drawn with (null for none).
void SetGradientPalette(CPalette* palette);
// Each scan line gets top + (bottom - top) * i / h per channel; below 256
// colours the whole rectangle gets the fallback colour, or the top colour when
// the fallback is -1. The background colour of the context is kept.
void FillVerticalGradient(CDC* dc, const RECT& rect, COLORREF top, COLORREF bottom, COLORREF fallback);
