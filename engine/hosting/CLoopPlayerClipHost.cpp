#include "engine/hosting/CLoopPlayerClipHost.h"

#include "engine/CClipPool.h"
#include "engine/CPooledClip.h"
#include "engine/hosting/CFilterWrap.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

// The engine's pool that the player was handed; null for none or for a pool
// of another kind, whose clips have no faces to hand back.
CClipPool* PoolOf(ITamblor* player)
{
    void* pool = nullptr;
    if (player == nullptr || FAILED(player->get_ClipPool(&pool)) || pool == nullptr)
        return nullptr;
    return dynamic_cast<CClipPool*>(static_cast<CLoopClipPool*>(pool));
}

}  // namespace

HRESULT CLoopPlayerClipHost::RegisterClip(DWORD instanceId, int mode, ILoopClip* clip, ILoopClip** registered)
{
    MV_ASSERT_UI_THREAD();
    if (registered == nullptr)
        return E_POINTER;
    *registered = nullptr;
    if (clip == nullptr)
        return E_POINTER;
    auto* source = dynamic_cast<CPooledClip*>(clip);
    if (source == nullptr)
        return E_INVALIDARG;
    ITamblor* player = m_wrap.LoopPlayer();
    CClipPool* pool = PoolOf(player);
    if (pool == nullptr)
        return E_FAIL;
    if (ILoopClip* own = pool->GetClip(instanceId)) {
        const HRESULT hr = player->RegisterClip(instanceId);
        if (FAILED(hr))
            return hr;
        *registered = own;
        return S_OK;
    }
    DWORD id = instanceId;
    void* made = nullptr;
    const HRESULT hr = player->AddLinkedClip(nullptr, mode, &made, source->GetLoopClip(), &id);
    if (FAILED(hr))
        return hr;
    *registered = pool->GetClip(instanceId);
    if (*registered == nullptr) {
        // No face to hand back: the clip would play with nothing to follow.
        player->UnregisterClip(instanceId);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CLoopPlayerClipHost::ReregisterClip(DWORD instanceId, ILoopClip*)
{
    MV_ASSERT_UI_THREAD();
    ITamblor* player = m_wrap.LoopPlayer();
    return player != nullptr ? player->RegisterClip(instanceId) : E_FAIL;
}

HRESULT CLoopPlayerClipHost::UnregisterClip(DWORD instanceId)
{
    MV_ASSERT_UI_THREAD();
    ITamblor* player = m_wrap.LoopPlayer();
    return player != nullptr ? player->UnregisterClip(instanceId) : E_FAIL;
}
