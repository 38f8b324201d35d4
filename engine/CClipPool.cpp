#include "engine/CClipPool.h"

#include <cstdint>
#include <new>

#include "plugins/loopplayer/cliplib/CLoopClip.h"

namespace {

// The file's name without its folder and extension.
std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

}  // namespace

CClipPool::~CClipPool()
{
    std::lock_guard lock(m_lock);
    // Clips made apart that others still hold must not tell the pool when
    // they die; the entries are the library pool's to release.
    for (auto& [clip, face] : m_faces) clip->SetPool(nullptr);
}

ILoopClip* CClipPool::FaceOf(CLoopClip* clip)
{
    auto it = m_faces.find(clip);
    if (it != m_faces.end()) return it->second.get();
    auto* face = new (std::nothrow) CPooledClip(clip, this);
    if (!face) return nullptr;
    try {
        m_faces.emplace(clip, std::unique_ptr<CPooledClip>(face));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return face;
}

ILoopClip* CClipPool::GetClip(DWORD id)
{
    std::lock_guard lock(m_lock);
    auto it = m_clips.find(id);
    return it == m_clips.end() ? nullptr : FaceOf(it->second);
}

HRESULT CClipPool::CreateClip(ILoopClip** clip)
{
    if (!clip) return E_POINTER;
    *clip = nullptr;
    std::lock_guard lock(m_lock);
    auto* made = new (std::nothrow) CLoopClip(nullptr, this);
    if (!made) return E_FAIL;
    ILoopClip* face = FaceOf(made);
    if (!face) {
        made->Release();
        return E_FAIL;
    }
    *clip = face;
    return S_OK;
}

HRESULT CClipPool::Insert(CLoopClip* clip, const DWORD* id, ILoopClip** out)
{
    DWORD key = id ? *id : DWORD(reinterpret_cast<std::uintptr_t>(clip));
    // An address cut to 32 bits may meet an id in use: the next free one.
    while (!id && m_clips.count(key)) ++key;
    clip->SetId(key);
    ILoopClip* face = out ? FaceOf(clip) : nullptr;
    if (out && !face) {
        clip->Release();
        return E_FAIL;
    }
    try {
        m_clips.emplace(key, clip);
    } catch (const std::bad_alloc&) {
        clip->Release();
        return E_FAIL;
    }
    if (out) *out = face;
    return S_OK;
}

HRESULT CClipPool::AddClip(const DWORD* id, ILoopClip** clip)
{
    if (clip) *clip = nullptr;
    std::lock_guard lock(m_lock);
    if (id && m_clips.count(*id)) return E_INVALIDARG;
    auto* made = new (std::nothrow) CLoopClip(nullptr, this);
    if (!made) return E_FAIL;
    return Insert(made, id, clip);
}

void CClipPool::SetLimits(LONG beatLimit, double secondsLimit)
{
    std::lock_guard lock(m_lock);
    m_beatLimit = beatLimit;
    m_secondsLimit = secondsLimit;
}

HRESULT CClipPool::AddClipFromFile(const char* name, const std::string& path, const WAVEFORMATEX& format,
                                   const DWORD* id, IRembetHost* timeConverter, ILoopClip** clip, int* reason,
                                   bool forceNew)
{
    if (clip) *clip = nullptr;
    if (reason) *reason = 0;
    std::lock_guard lock(m_lock);
    if (path.empty() || (id && m_clips.count(*id))) return E_INVALIDARG;
    std::string clipName;
    try {
        clipName = name ? std::string(name) : BaseName(path);
    } catch (const std::bad_alloc&) {
        return E_FAIL;
    }
    CLoopClip* source = nullptr;
    if (!forceNew) {
        for (const auto& [key, held] : m_clips) {
            if (held->GetPath() == path) {
                source = held;
                break;
            }
        }
    }
    CLoopClip* made = nullptr;
    if (source) {
        // The new clip plays the sound the other already holds.
        made = new (std::nothrow) CLoopClip(*source, false);
        if (!made) return E_FAIL;
        made->SetPool(this);
        made->SetLinkSource(source);
        if (timeConverter) made->SetHost(timeConverter);
        made->SetStart(0, CLoopClip::kUnitFixedTicks);
        made->SetLength(0, CLoopClip::kUnitFixedTicks);
    } else {
        made = new (std::nothrow) CLoopClip(timeConverter, this);
        if (!made) return E_FAIL;
        made->SetMaxBeats(m_beatLimit);
        made->SetMaxSeconds(m_secondsLimit);
        HRESULT hr = made->LoadFromFile(clipName, path, format, reason, false, true);
        if (FAILED(hr)) {
            made->Release();
            return hr;
        }
    }
    try {
        made->SetName(clipName);
    } catch (const std::bad_alloc&) {
        made->Release();
        return E_FAIL;
    }
    return Insert(made, id, clip);
}

HRESULT CClipPool::AddClipFromFile(const char* name, const char* path, const WAVEFORMATEX& format, const DWORD* id,
                                   ILoopClip** clip, int* reason, BOOL forceNew)
{
    if (clip) *clip = nullptr;
    if (reason) *reason = 0;
    if (!path) return E_INVALIDARG;
    try {
        return AddClipFromFile(name, std::string(path), format, id, nullptr, clip, reason, forceNew != FALSE);
    } catch (const std::bad_alloc&) {
        return E_FAIL;
    }
}

void CClipPool::ReleaseClip(CLoopClip* clip)
{
    std::lock_guard lock(m_lock);
    for (const auto& [id, held] : m_clips) {
        if (held == clip && !m_givenUp.count(clip)) {
            // Nothing is dropped when it cannot be noted: a clip kept too
            // long is better than one released twice.
            ReleaseEntry(clip);
            return;
        }
    }
    clip->Release();
}

void CClipPool::ClipDestroyed(CLoopClip* clip)
{
    std::lock_guard lock(m_lock);
    CLoopClipPool::ClipDestroyed(clip);
    m_faces.erase(clip);
}
