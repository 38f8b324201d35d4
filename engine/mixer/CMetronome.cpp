#include "engine/mixer/CMetronome.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/mixer/IBusDocument.h"
#include "engine/mixer/IMetronomePlayer.h"
#include "model/CKelPersistArchive.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

// MIDI data bytes: below 1 is 0, 127 and above 127.
LONG ClampDataByte(LONG v) { return v < 1 ? 0 : std::min<LONG>(v, 127); }

// Ticks: below 2 is 1, 959 and above 959.
LONG ClampTone(LONG v) { return v < 2 ? 1 : std::min<LONG>(v, 959); }

float ClampVolume(float v) { return std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 2.0f); }

}  // namespace

CMetronome::~CMetronome() { ReleaseFilter(); }

HRESULT CMetronome::CreateFilter(IBusDocument* document)
{
    MV_ASSERT_UI_THREAD();
    ReleaseFilter();
    if (document == nullptr)
        return E_UNEXPECTED;
    IMetronomePlayer* player = nullptr;
    HRESULT hr = document->CreateMetronomePlayer(&player);
    if (SUCCEEDED(hr) && (player == nullptr || player->GetFilter() == nullptr))
        hr = E_FAIL;
    if (FAILED(hr)) {
        if (player)
            player->Release();
        return hr;
    }
    m_player = player;
    return ApplySettings();
}

void CMetronome::ReleaseFilter()
{
    if (m_player) {
        m_player->Release();
        m_player = nullptr;
    }
}

IBaseFilter* CMetronome::GetFilter() const { return m_player ? m_player->GetFilter() : nullptr; }

HRESULT CMetronome::Start(LONG time) { return m_player ? m_player->Start(time) : S_FALSE; }

HRESULT CMetronome::Stop() { return m_player ? m_player->Stop() : S_FALSE; }

HRESULT CMetronome::SetEnabled(BOOL on) { return m_player ? m_player->SetEnabled(on ? TRUE : FALSE) : S_FALSE; }

HRESULT CMetronome::SetVolume(float volume)
{
    return Store(m_volume, ClampVolume(volume), &IMetronomePlayer::SetVolume);
}

HRESULT CMetronome::SetFirstBeatUsesWave(BOOL wave)
{
    return Store(m_firstUsesWave, wave ? TRUE : FALSE, &IMetronomePlayer::SetFirstBeatUsesWave);
}

HRESULT CMetronome::SetOtherBeatsUseWave(BOOL wave)
{
    return Store(m_otherUsesWave, wave ? TRUE : FALSE, &IMetronomePlayer::SetOtherBeatsUseWave);
}

HRESULT CMetronome::SetFirstBeatWave(const CString& path)
{
    m_firstWave = path;
    return m_player ? m_player->SetBeatWave(TRUE, m_firstWave.GetString()) : S_FALSE;
}

HRESULT CMetronome::SetOtherBeatsWave(const CString& path)
{
    m_otherWave = path;
    return m_player ? m_player->SetBeatWave(FALSE, m_otherWave.GetString()) : S_FALSE;
}

HRESULT CMetronome::SetFirstBeatPitch(LONG note)
{
    return Store(m_firstPitch, ClampDataByte(note), &IMetronomePlayer::SetFirstBeatPitch);
}

HRESULT CMetronome::SetFirstBeatVelocity(LONG velocity)
{
    return Store(m_firstVelocity, ClampDataByte(velocity), &IMetronomePlayer::SetFirstBeatVelocity);
}

HRESULT CMetronome::SetOtherBeatsPitch(LONG note)
{
    return Store(m_otherPitch, ClampDataByte(note), &IMetronomePlayer::SetOtherBeatsPitch);
}

HRESULT CMetronome::SetOtherBeatsVelocity(LONG velocity)
{
    return Store(m_otherVelocity, ClampDataByte(velocity), &IMetronomePlayer::SetOtherBeatsVelocity);
}

HRESULT CMetronome::SetToneDuration(LONG ticks)
{
    return Store(m_toneDuration, ClampTone(ticks), &IMetronomePlayer::SetToneDuration);
}

HRESULT CMetronome::ApplySettings()
{
    HRESULT first = S_OK;
    for (HRESULT hr : {SetVolume(m_volume), SetFirstBeatUsesWave(m_firstUsesWave),
                       SetOtherBeatsUseWave(m_otherUsesWave), SetFirstBeatPitch(m_firstPitch), SetFirstBeatVelocity(m_firstVelocity),
                       SetOtherBeatsPitch(m_otherPitch), SetOtherBeatsVelocity(m_otherVelocity),
                       SetToneDuration(m_toneDuration), SetFirstBeatWave(CString(m_firstWave)),
                       SetOtherBeatsWave(CString(m_otherWave))}) {
        if (SUCCEEDED(first) && FAILED(hr))
            first = hr;
    }
    return first;
}

HRESULT CMetronome::Persist(CKelPersistArchive* archive)
{
    if (archive == nullptr)
        return E_POINTER;
    DWORD volumeBits = 0;
    std::memcpy(&volumeBits, &m_volume, sizeof(volumeBits));
    DWORD fields[8] = {volumeBits,
                       static_cast<DWORD>(m_firstUsesWave),
                       static_cast<DWORD>(m_otherUsesWave),
                       static_cast<DWORD>(m_firstPitch),
                       static_cast<DWORD>(m_firstVelocity),
                       static_cast<DWORD>(m_otherPitch),
                       static_cast<DWORD>(m_otherVelocity),
                       static_cast<DWORD>(m_toneDuration)};
    CString firstWave = m_firstWave;
    CString otherWave = m_otherWave;
    HRESULT hr;
    if (FAILED(hr = archive->PersistBytes(sizeof(fields), fields)) || FAILED(hr = archive->PersistString(&firstWave)) ||
        FAILED(hr = archive->PersistString(&otherWave)))
        return hr;
    if (archive->IsSaving())
        return S_OK;
    // Loaded values pass the setters' clamps, so a damaged file gives
    // settings the player accepts.
    float volume = 0.0f;
    std::memcpy(&volume, &fields[0], sizeof(volume));
    m_volume = ClampVolume(volume);
    m_firstUsesWave = fields[1] ? TRUE : FALSE;
    m_otherUsesWave = fields[2] ? TRUE : FALSE;
    m_firstPitch = ClampDataByte(static_cast<LONG>(fields[3]));
    m_firstVelocity = ClampDataByte(static_cast<LONG>(fields[4]));
    m_otherPitch = ClampDataByte(static_cast<LONG>(fields[5]));
    m_otherVelocity = ClampDataByte(static_cast<LONG>(fields[6]));
    m_toneDuration = ClampTone(static_cast<LONG>(fields[7]));
    m_firstWave = firstWave;
    m_otherWave = otherWave;
    ApplySettings();
    return S_OK;
}
