// The layer's view of the keyboard and the mouse pointer: key states, the
// cursor position and clip, the show-cursor counter and the current cursor.
// Real input updates the tables; tests set them directly (a Shift held down,
// the pointer at a point) so code that reads them is testable without a
// display. UI thread only.
#pragma once

#include "platform/ui/GdiTypes.h"
#include "platform/ui/WinUser.h"

struct HCURSOR__;
using HCURSOR = HCURSOR__*;

// High bit (the result is negative) while the key is down; low bit toggled.
SHORT GetKeyState(int vk);
SHORT GetAsyncKeyState(int vk);
BOOL GetCursorPos(LPPOINT point);
// Moves the layer's pointer (clamped by ClipCursor) and the real one where
// the platform lets a program do that.
BOOL SetCursorPos(int x, int y);
// Keeps the pointer inside the rectangle (screen coordinates); null frees it.
BOOL ClipCursor(LPCRECT rect);
BOOL GetClipCursor(LPRECT rect);
// The display counter: the cursor shows while it is 0 or above. Returns the new count.
int ShowCursor(BOOL show);
// IDC_ARROW and the other system cursors, or a cursor resource of a module by id.
HCURSOR LoadCursor(void* module, UINT_PTR id);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
UINT GetDoubleClickTime();

namespace mvui {
// Test hooks. SetKeyDown marks a virtual key as held (or released);
// ResetInput releases every key, frees the clip, puts the counter at 0 and
// the pointer at (0, 0).
void SetKeyDown(int vk, bool down);
void ResetInput();
// The shift, control and button flags of a mouse message from the tables.
UINT MouseKeyFlags();
// Where input moved the pointer: updates the layer's position without
// warping the real pointer (input handlers call it).
void NotePointerAt(POINT screen);
// The system cursor id (IDC_...) or resource id behind a cursor handle, 0 for none.
UINT_PTR CursorId(HCURSOR cursor);
}  // namespace mvui
