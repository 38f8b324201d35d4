#include "engine/hosting/CMetronomePlayer.h"

#include <new>

#include "platform/com/ComRuntime.h"
#include "platform/sync/ThreadAffinity.h"

CMetronomePlayer::~CMetronomePlayer()
{
    if (m_player)
        m_player->Release();
    if (m_synth) {
        m_synth->Disconnect();
        m_synth->Release();
    }
    if (m_filter)
        m_filter->Release();
}

std::span<const mvcom::InterfaceEntry> CMetronomePlayer::InterfaceTable() const
{
    static const mvcom::InterfaceEntry table[] = {Entry<CMetronomePlayer, IMetronomePlayer>(IID_IUnknown)};
    return table;
}

HRESULT CMetronomePlayer::Create(IUnknown* hostSite, IMetronomePlayer** player)
{
    MV_ASSERT_UI_THREAD();
    if (player == nullptr)
        return E_POINTER;
    *player = nullptr;
    if (hostSite == nullptr)
        return E_POINTER;
    CMetronomePlayer* made = new (std::nothrow) CMetronomePlayer;
    if (made == nullptr)
        return E_OUTOFMEMORY;
    HRESULT hr = CoCreateInstance(CLSID_LoopPlayerFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  reinterpret_cast<void**>(&made->m_filter));
    if (SUCCEEDED(hr) && made->m_filter == nullptr)
        hr = E_FAIL;
    if (SUCCEEDED(hr) &&
        FAILED(made->m_filter->QueryInterface(IID_IMfxSoftSynth, reinterpret_cast<void**>(&made->m_synth))))
        hr = E_FAIL;
    if (SUCCEEDED(hr)) {
        // The synth takes over the reference it is handed.
        made->m_synth->Disconnect();
        hostSite->AddRef();
        if (FAILED(hr = made->m_synth->Connect(hostSite))) {
            hostSite->Release();
            made->m_synth->Release();
            made->m_synth = nullptr;
        }
    }
    if (SUCCEEDED(hr) &&
        FAILED(made->m_filter->QueryInterface(IID_ITamblor, reinterpret_cast<void**>(&made->m_player))))
        hr = E_FAIL;
    if (SUCCEEDED(hr))
        hr = made->m_player->put_MetronomeMode(1);
    if (SUCCEEDED(hr))
        hr = made->m_player->put_MetronomeOn(0);
    if (FAILED(hr)) {
        made->Release();
        return hr;
    }
    *player = made;
    return S_OK;
}

HRESULT CMetronomePlayer::Start(LONG time) { return m_synth->Start(time); }

HRESULT CMetronomePlayer::Stop() { return m_synth->Stop(); }

HRESULT CMetronomePlayer::SetEnabled(BOOL on) { return m_player->put_MetronomeOn(on ? 1 : 0); }

HRESULT CMetronomePlayer::SetVolume(float volume) { return m_player->put_Gain(volume); }

// The player's switches say whether a click is synthesized (1 the tone,
// 0 the loaded wave): the inverse of the metronome's "uses wave".
HRESULT CMetronomePlayer::SetFirstBeatUsesWave(BOOL wave) { return m_player->put_MeasureSynth(wave ? 0 : 1); }

HRESULT CMetronomePlayer::SetOtherBeatsUseWave(BOOL wave) { return m_player->put_BeatSynth(wave ? 0 : 1); }

HRESULT CMetronomePlayer::SetBeatWave(BOOL first, const char* path)
{
    LONG result = 0;
    return m_player->LoadMeasureSound(first ? "First" : "Other", path ? path : "", &result);
}

HRESULT CMetronomePlayer::SetFirstBeatPitch(LONG note) { return m_player->put_MeasurePitch(note); }

HRESULT CMetronomePlayer::SetFirstBeatVelocity(LONG velocity) { return m_player->put_MeasureLevel(velocity); }

HRESULT CMetronomePlayer::SetOtherBeatsPitch(LONG note) { return m_player->put_BeatPitch(note); }

HRESULT CMetronomePlayer::SetOtherBeatsVelocity(LONG velocity) { return m_player->put_BeatLevel(velocity); }

HRESULT CMetronomePlayer::SetToneDuration(LONG ticks) { return m_player->put_ClickLength(ticks); }
