// A loop clip of the clip pool, as patterns, pattern instances and channel
// timelines use it: positions that follow the pattern instance that plays the
// clip, the pattern's length, a transpose, the clip's saved project state and
// the settings a loaded state hands to a registered clip. The clip objects
// themselves belong to the loop-clip library, which implements this.
//
// Positions are 64-bit values with a unit code; kOpenEnd stands for an open
// end in every unit. Callers ignore the results of the position setters, as
// the clip decides what it can follow.
//
// UI thread only.
#pragma once

#include <cstdint>

#include "platform/com/Stream.h"

class ILoopClip {
public:
    static constexpr int kUnitTicks = 0;
    static constexpr int kUnitFineTicks = 1;  // ticks x 65536
    static constexpr int kUnitFrames = 3;     // sample frames
    static constexpr LONGLONG kOpenEnd = INT64_MAX;

    // The three settings that take a selector; the selectors in use are the
    // fine-tick and frame unit codes.
    static constexpr int kSelectorSettings = 3;

    virtual HRESULT SetPlayPosition(LONGLONG position, int unit) = 0;
    virtual HRESULT SetStart(LONGLONG position, int unit) = 0;
    virtual HRESULT SetEnd(LONGLONG position, int unit) = 0;
    // The clip's length in ticks (the length of its pattern).
    virtual HRESULT SetLength(LONGLONG ticks) = 0;
    // The length the clip plays in one cycle, in ticks: what a pattern of
    // the clip lasts.
    virtual HRESULT GetLength(LONGLONG* ticks) = 0;
    virtual HRESULT SetTranspose(LONG semitones) = 0;

    // Drops one reference; at zero the clip leaves its pool and is deleted.
    virtual void Release() = 0;

    // The clip's complete state, read and written straight through the
    // stream; with includeData the sample block is written too.
    virtual HRESULT SaveProjectState(IStream* stream, BOOL includeData) = 0;
    virtual HRESULT LoadProjectState(IStream* stream) = 0;
    // The id the clip keeps in its own field (and writes into its state); a
    // loaded state brings the id it was saved under, which the pool's map
    // does not follow, so the owner hands the clip its pool id again.
    virtual void SetClipId(DWORD id) = 0;

    virtual HRESULT GetSetting(int setting, int selector, LONGLONG* value) = 0;
    virtual HRESULT SetSetting(int setting, int selector, LONGLONG value) = 0;
    virtual HRESULT GetSingleSetting(LONGLONG* value) = 0;
    virtual HRESULT SetSingleSetting(LONGLONG value) = 0;

protected:
    ~ILoopClip() = default;
};
