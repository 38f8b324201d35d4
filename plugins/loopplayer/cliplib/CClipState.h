// The saved state of a loop clip, as the host writes it beside each loop-clip
// pattern of its project and reads it back. Written and read straight through
// the stream (no chunk around it), integers little-endian, in this order:
//   info record, 144 bytes (layout version 1, lengths and positions in
//     samples and fixed ticks, flags, root key, transpose, tempo, gain, pan,
//     kind, kept seconds);
//   id record, 24 bytes (clip id, keep-slice-lengths flag);
//   name and path, each a 32-bit length and that many bytes, no terminator;
//   data flag, 32 bits: 1 when the sample store follows;
//   the store: 64-byte header (format of the as-loaded copy, frame count n,
//     overview size, carried words), (n + 1) frames of float samples (the
//     last one the guard frame), the overview table;
//   slice count (32-bit signed) and 88 bytes per slice.
// An info record with version 0, or with a word other than 0 at offset 124
// (the earlier layout, whose id lies at offset 0), is followed directly by
// the data flag.
//
// Loading reads and checks the whole state before it touches the clip: a
// state that is short or holds values no clip takes fails with E_FAIL and
// leaves the clip as it was. Sizes from the stream are bounded before
// anything is allocated, and samples and tables grow only as their bytes
// arrive, so a short stream cannot make the loader allocate much more than it
// holds. Slices attach to the loaded store, or to the clip's own store when
// the state carries none.
//
// UI thread: the host's project load and save.
#pragma once

#include "platform/com/Stream.h"

class CLoopClip;

class CClipState {
public:
    static constexpr ULONG kInfoBytes = 144;
    static constexpr ULONG kIdBytes = 24;
    static constexpr ULONG kStoreHeaderBytes = 64;
    static constexpr ULONG kSliceBytes = 88;
    static constexpr DWORD kLayoutVersion = 1;
    // The most a state may hold: bytes of a text, frames of the store (as a
    // file load takes), overview points, slices.
    static constexpr DWORD kMaxTextBytes = 1 << 20;
    static constexpr DWORD kMaxFrames = 0x7FFFFFFF / 8 - 1;
    static constexpr DWORD kMaxOverviewPoints = 1 << 20;
    static constexpr LONG kMaxSlices = 1 << 20;
    // Positions in fixed ticks and samples beyond this (other than the open
    // value) are refused: the render adds and multiplies them.
    static constexpr LONGLONG kMaxPosition = LONGLONG(1) << 53;

    static HRESULT Save(const CLoopClip& clip, IStream* stream, BOOL includeData);
    static HRESULT Load(CLoopClip& clip, IStream* stream);
};
