// The process-wide loop-clip pool that the engine owner keeps from engine
// start to shut-down: every clip of the open project under a 32-bit clip id.
// It is one map to both sides: the program reaches it as IClipPool (patterns,
// pattern instances, timelines) and as IClipPoolLimits (the engine owner);
// the loop player reaches the same object as its CLoopClipPool (GetPlayerPool)
// and adds the clips it registers to it.
//
// Ids: a given id is used as it is (E_INVALIDARG when taken, the pool left
// unchanged); without one, the clip's own address serves, moved on to the
// next free id should that be taken. Clips loaded from a file get the pool's
// two limits; a file already in the pool under the same path (exact,
// case-sensitive) is shared, not read again, unless the caller forces it.
//
// The ILoopClip faces handed out (CPooledClip) live as long as their clips.
// A face's release of a clip kept under an id gives up the pool's reference
// (a pattern's clip dropped with its pattern). Clips still alive when the
// pool goes (held elsewhere) are cut loose from it.
//
// UI thread (and the loop player's control thread); the pool's own lock.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "engine/CPooledClip.h"
#include "engine/IClipPoolLimits.h"
#include "model/IClipPool.h"
#include "platform/media/MediaTypes.h"
#include "plugins/loopplayer/cliplib/CLoopClipPool.h"

class IRembetHost;

class CClipPool : public CLoopClipPool, public IClipPool, public IClipPoolLimits {
public:
    static constexpr LONG kDefaultBeatLimit = 256;
    static constexpr double kDefaultSecondsLimit = 60.0;

    CClipPool() = default;
    ~CClipPool() override;

    // IClipPool
    ILoopClip* GetClip(DWORD id) override;
    HRESULT CreateClip(ILoopClip** clip) override;
    HRESULT AddClip(const DWORD* id, ILoopClip** clip) override;
    // AddClipFromFile below, without a time converter: the pattern's clip
    // is never played itself, only the clips the loop player links to it.
    HRESULT AddClipFromFile(const char* name, const char* path, const WAVEFORMATEX& format, const DWORD* id,
                            ILoopClip** clip, int* reason, BOOL forceNew) override;

    // IClipPoolLimits
    void SetLimits(LONG beatLimit, double secondsLimit) override;
    IClipPool* GetClipPool() override { return this; }

    LONG GetBeatLimit() const { return m_beatLimit; }
    double GetSecondsLimit() const { return m_secondsLimit; }

    // A clip of the file at path under *id (or an id of its own), named name
    // or, when name is null, the file's base name without folder and
    // extension. Unless forceNew, a clip already in the pool with the same
    // path lends its sound: the new clip plays its data, from start 0 with
    // play length 0 in fine ticks. Else the file is loaded at format, with
    // the pool's limits, an over-long one-shot cut to the seconds limit.
    // timeConverter is the new clip's host while it follows the tempo.
    // E_INVALIDARG (id taken, no path), a load's failure with *reason 1
    // (too many beats) or 2 (too long), E_FAIL when the clip cannot be made.
    HRESULT AddClipFromFile(const char* name, const std::string& path, const WAVEFORMATEX& format, const DWORD* id,
                            IRembetHost* timeConverter, ILoopClip** clip, int* reason, bool forceNew);

    // A face's release: a clip kept under an id gives up the pool's
    // reference (the pool will not drop it again), any other clip drops
    // its holder's.
    void ReleaseClip(CLoopClip* clip);

    // The pool as the loop player takes it (ITamblor::put_ClipPool).
    void* GetPlayerPool() { return static_cast<CLoopClipPool*>(this); }

    void ClipDestroyed(CLoopClip* clip) override;

private:
    // Puts clip (the caller's reference) into the map under id or an id of
    // its own; E_FAIL, the clip released, when memory runs out.
    HRESULT Insert(CLoopClip* clip, const DWORD* id, ILoopClip** out);
    // The face of clip, made on first use; null when memory runs out.
    ILoopClip* FaceOf(CLoopClip* clip);

    std::map<CLoopClip*, std::unique_ptr<CPooledClip>> m_faces;
    LONG m_beatLimit = kDefaultBeatLimit;
    double m_secondsLimit = kDefaultSecondsLimit;
};
