// A loop clip of the clip pool as patterns, pattern instances and channel
// timelines use it: the ILoopClip face of one clip of the loop-clip library.
// The pool makes one per clip that it hands out and deletes it when the clip
// dies, so the face lives exactly as long as its clip.
//
// Positions take the unit codes both sides share (0 ticks, 1 fine ticks,
// 3 frames); other units are E_INVALIDARG. The three settings with a
// selector are the clip's start, play position and play length, each in the
// unit of the selector; the single setting is its transpose.
//
// UI thread.
#pragma once

#include "model/ILoopClip.h"

class CClipPool;
class CLoopClip;

class CPooledClip : public ILoopClip {
public:
    CPooledClip(CLoopClip* clip, CClipPool* pool) : m_clip(clip), m_pool(pool) {}
    CPooledClip(const CPooledClip&) = delete;
    CPooledClip& operator=(const CPooledClip&) = delete;
    virtual ~CPooledClip() = default;

    CLoopClip* GetLoopClip() const { return m_clip; }

    HRESULT SetPlayPosition(LONGLONG position, int unit) override;
    HRESULT SetStart(LONGLONG position, int unit) override;
    HRESULT SetEnd(LONGLONG position, int unit) override;
    HRESULT SetLength(LONGLONG ticks) override;
    // The clip's loop length.
    HRESULT GetLength(LONGLONG* ticks) override;
    HRESULT SetTranspose(LONG semitones) override;
    // Through the pool: a clip it keeps under an id gives up the pool's
    // reference. The last release of the clip deletes this face too.
    void Release() override;
    HRESULT SaveProjectState(IStream* stream, BOOL includeData) override;
    HRESULT LoadProjectState(IStream* stream) override;
    void SetClipId(DWORD id) override;
    HRESULT GetSetting(int setting, int selector, LONGLONG* value) override;
    HRESULT SetSetting(int setting, int selector, LONGLONG value) override;
    HRESULT GetSingleSetting(LONGLONG* value) override;
    HRESULT SetSingleSetting(LONGLONG value) override;

private:
    CLoopClip* m_clip;
    CClipPool* m_pool;
};
