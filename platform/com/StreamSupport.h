// Helpers for any IStream implementation: the rules of where a seek lands
// and the filling of STATSTG.
#pragma once

#include "platform/com/Stream.h"

namespace mvcom {

// The position a seek of `move` from `origin` reaches, given the current
// position and the stream's size. A position before the start or past
// 2^63 - 1, or an unknown origin, is STG_E_INVALIDFUNCTION. Past the end is
// allowed.
HRESULT ResolveSeek(LONGLONG move, DWORD origin, ULONGLONG current, ULONGLONG size, ULONGLONG& result);

// A STATSTG of a stream of `size` bytes: zero but type and size, and the
// name in task memory unless `flags` asks for none or `name` is null.
// STG_E_INVALIDPOINTER for a null `stat`.
HRESULT FillStreamStat(STATSTG* stat, DWORD flags, ULONGLONG size, const char16_t* name);

}  // namespace mvcom
