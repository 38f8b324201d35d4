#include "plugins/loopplayer/cliplib/CLoopClipPool.h"

#include <cstdint>
#include <new>

#include "plugins/loopplayer/cliplib/CLoopClip.h"

CLoopClipPool::~CLoopClipPool()
{
    std::lock_guard lock(m_lock);
    // Released or not, no clip tells a pool that is gone.
    const std::map<DWORD, CLoopClip*> clips = m_clips;
    m_clips.clear();
    for (const auto& [id, clip] : clips) clip->SetPool(nullptr);
    for (const auto& [id, clip] : clips)
        if (!m_givenUp.count(clip)) clip->Release();
}

HRESULT CLoopClipPool::Store(CLoopClip* clip, const std::string& name, const DWORD* id, CLoopClip** out)
{
    const DWORD key = id ? *id : DWORD(reinterpret_cast<std::uintptr_t>(clip));
    clip->SetId(key);
    clip->SetName(name);
    try {
        m_clips.emplace(key, clip);
    } catch (const std::bad_alloc&) {
        clip->Release();
        return E_OUTOFMEMORY;
    }
    if (out) *out = clip;
    return S_OK;
}

HRESULT CLoopClipPool::AddCopy(const std::string& name, CLoopClip* source, const DWORD* id, CLoopClip** copy)
{
    std::lock_guard lock(m_lock);
    if (copy) *copy = nullptr;
    if (!source || (id && m_clips.count(*id))) return E_INVALIDARG;
    CLoopClip* clip = new (std::nothrow) CLoopClip(*source, true);
    if (!clip) return E_OUTOFMEMORY;
    clip->SetPool(this);
    clip->SetStart(0, CLoopClip::kUnitFixedTicks);
    clip->SetLength(0, CLoopClip::kUnitFixedTicks);
    return Store(clip, name, id, copy);
}

HRESULT CLoopClipPool::AddCopyOf(const std::string& name, DWORD source, const DWORD* id, CLoopClip** copy)
{
    std::lock_guard lock(m_lock);
    CLoopClip* from = Find(source);
    if (!from) {
        if (copy) *copy = nullptr;
        return E_FAIL;
    }
    return AddCopy(name, from, id, copy);
}

HRESULT CLoopClipPool::AddLinked(const std::string& name, CLoopClip* source, const DWORD* id, CLoopClip** copy)
{
    std::lock_guard lock(m_lock);
    if (copy) *copy = nullptr;
    if (!source || (id && m_clips.count(*id))) return E_INVALIDARG;
    CLoopClip* clip = new (std::nothrow) CLoopClip(*source, false);
    if (!clip) return E_OUTOFMEMORY;
    clip->SetPool(this);
    clip->SetLinkSource(source);
    return Store(clip, name, id, copy);
}

HRESULT CLoopClipPool::Add(CLoopClip* clip, DWORD id)
{
    std::lock_guard lock(m_lock);
    if (!clip || m_clips.count(id)) return E_INVALIDARG;
    clip->SetPool(this);
    clip->SetId(id);
    try {
        m_clips.emplace(id, clip);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CLoopClipPool::ReleaseRef(DWORD id)
{
    std::lock_guard lock(m_lock);
    CLoopClip* clip = Find(id);
    if (!clip) return S_FALSE;
    clip->Release();
    return S_OK;
}

HRESULT CLoopClipPool::ReleaseEntry(CLoopClip* clip)
{
    std::lock_guard lock(m_lock);
    try {
        m_givenUp.insert(clip);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    clip->Release();
    return S_OK;
}

CLoopClip* CLoopClipPool::Find(DWORD id)
{
    std::lock_guard lock(m_lock);
    auto it = m_clips.find(id);
    return it == m_clips.end() ? nullptr : it->second;
}

size_t CLoopClipPool::Count()
{
    std::lock_guard lock(m_lock);
    return m_clips.size();
}

void CLoopClipPool::ClipDestroyed(CLoopClip* clip)
{
    std::lock_guard lock(m_lock);
    for (auto it = m_clips.begin(); it != m_clips.end(); ++it) {
        if (it->second == clip) {
            m_clips.erase(it);
            break;
        }
    }
    m_givenUp.erase(clip);
}
