// The process-wide pool of loop clips, as patterns, pattern instances and
// channel timelines reach it: the clip kept under a 32-bit clip id (an audio
// pattern's clip under the pattern's clip id, an instance's clip under the
// instance id), a fresh clip to load a saved state into, and a clip of an
// audio file for a loop-clip pattern. The engine owner creates the pool and
// implements this over it.
//
// UI thread only; the pool takes its own lock.
#pragma once

#include "model/ILoopClip.h"
#include "platform/media/MediaTypes.h"

class IClipPool {
public:
    // The clip under the id, or null; the pool keeps its reference.
    virtual ILoopClip* GetClip(DWORD id) = 0;
    // A new empty clip bound to the pool but kept under no id; the caller
    // releases it. E_FAIL when it cannot be made.
    virtual HRESULT CreateClip(ILoopClip** clip) = 0;
    // A new empty clip kept under *id, or under an id of its own when id is
    // null; the pool keeps the reference and *clip (when asked) borrows it.
    // E_INVALIDARG when the id is taken, E_FAIL when the clip cannot be made.
    virtual HRESULT AddClip(const DWORD* id, ILoopClip** clip) = 0;
    // A clip of the audio file at path, kept under *id (or an id of its own
    // when id is null), named name or, when name is null, after the file.
    // Unless forceNew, a clip of the same file already in the pool lends its
    // sound; else the file is read and converted to format. *clip (when
    // asked) borrows the pool's reference. E_INVALIDARG when the id is taken
    // or there is no path, the read's failure with *reason (when asked) 1
    // for too many beats or 2 for too long, E_FAIL when the clip cannot be
    // made. The pool is unchanged by a failure.
    virtual HRESULT AddClipFromFile(const char* name, const char* path, const WAVEFORMATEX& format, const DWORD* id,
                                    ILoopClip** clip, int* reason, BOOL forceNew) = 0;

protected:
    ~IClipPool() = default;
};
