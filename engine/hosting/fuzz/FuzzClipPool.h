// The engine's clip pool as the fuzz targets give it to the model: clips
// that keep their saved state in memory. A clip's saved state is seven
// 64-bit values (as the tests' clips write it, so the seeds' audio patterns
// load): what the pool's real clips read is the clip library's to bound.
#pragma once

#include <map>
#include <memory>

#include "model/IClipPool.h"
#include "model/IEngineServices.h"
#include "model/ILoopClip.h"
#include "model/PersistIo.h"

namespace fuzzpool {

class Clip final : public ILoopClip {
public:
    explicit Clip(std::map<DWORD, std::unique_ptr<Clip>>* pool, DWORD id) : m_pool(pool), m_id(id) {}
    HRESULT SetPlayPosition(LONGLONG, int) override { return S_OK; }
    HRESULT SetStart(LONGLONG, int) override { return S_OK; }
    HRESULT SetEnd(LONGLONG, int) override { return S_OK; }
    HRESULT SetLength(LONGLONG) override { return S_OK; }
    HRESULT GetLength(LONGLONG* ticks) override
    {
        *ticks = 0;
        return S_OK;
    }
    HRESULT SetTranspose(LONG) override { return S_OK; }
    void Release() override { m_pool->erase(m_id); }
    HRESULT SaveProjectState(IStream* stream, BOOL) override
    {
        return mvpersist::WriteAll(stream, m_state, sizeof m_state);
    }
    HRESULT LoadProjectState(IStream* stream) override { return mvpersist::ReadAll(stream, m_state, sizeof m_state); }
    void SetClipId(DWORD) override {}
    HRESULT GetSetting(int, int, LONGLONG* value) override
    {
        *value = 0;
        return S_OK;
    }
    HRESULT SetSetting(int, int, LONGLONG) override { return S_OK; }
    HRESULT GetSingleSetting(LONGLONG* value) override
    {
        *value = 0;
        return S_OK;
    }
    HRESULT SetSingleSetting(LONGLONG) override { return S_OK; }

private:
    std::map<DWORD, std::unique_ptr<Clip>>* m_pool;
    DWORD m_id;
    LONGLONG m_state[7] = {};
};

class Pool final : public IClipPool, public IEngineServices {
public:
    ILoopClip* GetClip(DWORD id) override
    {
        auto it = clips.find(id);
        return it != clips.end() ? it->second.get() : nullptr;
    }
    HRESULT CreateClip(ILoopClip**) override { return E_FAIL; }
    HRESULT AddClip(const DWORD* id, ILoopClip** clip) override
    {
        if (id == nullptr || clips.count(*id) != 0)
            return E_INVALIDARG;
        auto& slot = clips[*id];
        slot = std::make_unique<Clip>(&clips, *id);
        if (clip != nullptr)
            *clip = slot.get();
        return S_OK;
    }
    HRESULT AddClipFromFile(const char*, const char*, const WAVEFORMATEX&, const DWORD*, ILoopClip**, int*,
                            BOOL) override
    {
        return E_FAIL;
    }
    IClipPool* GetClipPool() override { return this; }
    IRecorder* GetRecorder() override { return nullptr; }
    DWORD GetSampleRate() override { return 44100; }

    std::map<DWORD, std::unique_ptr<Clip>> clips;
};

}  // namespace fuzzpool
