// The host's map of loop clips by 32-bit clip id, through which the loop
// player copies, links, finds and releases the clips it plays. The host
// creates the pool and hands the player a pointer to it; both compile this
// library, so the pool is one object to both sides.
//
// The pool holds one reference per entry it made. Releasing by id drops a
// reference but keeps the entry; a clip that dies tells the pool, which then
// forgets it. A clip added without an id is kept under its own address.
// The host may give up the pool's own reference of an entry (ReleaseEntry);
// when the pool goes it releases the references it still holds, and clips
// that live on elsewhere are cut loose from it.
//
// UI thread (and the player's control thread); the pool takes its own lock,
// which a dying clip may take again from inside a release.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "plugins/loopplayer/cliplib/ILoopClipPool.h"
#include "platform/win/WinTypes.h"

class CLoopClip;

class CLoopClipPool : public ILoopClipPool {
public:
    CLoopClipPool() = default;
    CLoopClipPool(const CLoopClipPool&) = delete;
    CLoopClipPool& operator=(const CLoopClipPool&) = delete;
    // Drops the pool's reference of every clip it still holds.
    virtual ~CLoopClipPool();

    // A full copy of source (its own slices, the source's sample store) with
    // start and length 0 in fixed ticks, named, under id (the copy's own
    // address when id is null). E_INVALIDARG when the id is taken or there
    // is no source; E_OUTOFMEMORY.
    HRESULT AddCopy(const std::string& name, CLoopClip* source, const DWORD* id, CLoopClip** copy);
    // The same with the source looked up by id: E_FAIL when absent.
    HRESULT AddCopyOf(const std::string& name, DWORD source, const DWORD* id, CLoopClip** copy);
    // A shallow copy that plays the source's slices and audio (one
    // reference on it), named, under id.
    HRESULT AddLinked(const std::string& name, CLoopClip* source, const DWORD* id, CLoopClip** copy);
    // A clip made elsewhere, under id; the pool takes over the caller's
    // reference. E_INVALIDARG when the id is taken or there is no clip.
    HRESULT Add(CLoopClip* clip, DWORD id);
    // Drops one reference of the clip under id; S_FALSE when absent.
    HRESULT ReleaseRef(DWORD id);
    // The clip under id, or null; no reference is added.
    CLoopClip* Find(DWORD id);
    size_t Count();

    void ClipDestroyed(CLoopClip* clip) override;

protected:
    // Drops the pool's own reference of an entry, so that the pool does
    // not drop it again when it goes; E_OUTOFMEMORY (nothing dropped) when
    // that cannot be noted.
    HRESULT ReleaseEntry(CLoopClip* clip);

    // A host's pool that adds operations of its own keeps its entries here,
    // under the same lock.
    std::recursive_mutex m_lock;
    std::map<DWORD, CLoopClip*> m_clips;
    // Entries whose pool reference was given up.
    std::set<CLoopClip*> m_givenUp;

private:
    HRESULT Store(CLoopClip* clip, const std::string& name, const DWORD* id, CLoopClip** out);
};
