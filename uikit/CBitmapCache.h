// The bitmaps of the bitmap-drawn windowless controls, loaded once and
// shared by reference count: a mixer shows the same few bitmaps dozens of
// times. Users hold resource ids; each takes a reference (AddRef) for every
// id it holds and drops it (Release) when it lets go. The cache owns the
// bitmaps; Lookup lends one for drawing only.
//
// Ids are compared as unsigned 32-bit values; the resource loaded is the
// one of the low 16 bits, so ids that differ above them are separate entries
// of the same image. A bitmap that fails to load is cached empty (drawing
// code treats a bitmap without pixels as absent).
// UI thread only; no locking.
#pragma once

#include <map>
#include <memory>

#include "platform/ui/CBitmap.h"

class CBitmapCache {
public:
    CBitmapCache() = default;
    virtual ~CBitmapCache();
    CBitmapCache(const CBitmapCache&) = delete;
    CBitmapCache& operator=(const CBitmapCache&) = delete;

    // Loads bitmap `id` on its first reference. Returns 1.
    int AddRef(UINT id);
    // 1 when the id was cached (the bitmap goes with its last reference), 0 otherwise.
    int Release(UINT id);
    // The cached bitmap, no reference taken; null when the id is not cached.
    CBitmap* Lookup(UINT id) const;

private:
    struct Entry {
        std::unique_ptr<CBitmap> bitmap;
        int refs = 0;
    };
    std::map<UINT, Entry> m_entries;
};

// The program's one cache, from static construction to static destruction.
extern CBitmapCache g_bitmapCache;
