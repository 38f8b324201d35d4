#include "engine/CPooledClip.h"

#include "engine/CClipPool.h"
#include "plugins/loopplayer/cliplib/CLoopClip.h"

namespace {

bool IsUnit(int unit)
{
    return unit == ILoopClip::kUnitTicks || unit == ILoopClip::kUnitFineTicks || unit == ILoopClip::kUnitFrames;
}

constexpr int kSettingStart = 0;
constexpr int kSettingPlayPosition = 1;
constexpr int kSettingPlayLength = 2;

}  // namespace

HRESULT CPooledClip::SetPlayPosition(LONGLONG position, int unit)
{
    if (!IsUnit(unit)) return E_INVALIDARG;
    m_clip->SetLoopOrigin(position, unit);
    return S_OK;
}

HRESULT CPooledClip::SetStart(LONGLONG position, int unit)
{
    if (!IsUnit(unit)) return E_INVALIDARG;
    m_clip->SetStart(position, unit);
    return S_OK;
}

HRESULT CPooledClip::SetEnd(LONGLONG position, int unit)
{
    if (!IsUnit(unit)) return E_INVALIDARG;
    m_clip->SetEnd(position, unit);
    return S_OK;
}

HRESULT CPooledClip::SetLength(LONGLONG ticks)
{
    m_clip->SetLoopLength(ticks, CLoopClip::kUnitTicks);
    return S_OK;
}

HRESULT CPooledClip::GetLength(LONGLONG* ticks)
{
    if (!ticks) return E_POINTER;
    *ticks = m_clip->GetLoopLength(CLoopClip::kUnitTicks);
    return S_OK;
}

HRESULT CPooledClip::SetTranspose(LONG semitones)
{
    m_clip->SetTranspose(semitones);
    return S_OK;
}

void CPooledClip::Release() { m_pool->ReleaseClip(m_clip); }

HRESULT CPooledClip::SaveProjectState(IStream* stream, BOOL includeData)
{
    return m_clip->SaveProjectState(stream, includeData);
}

HRESULT CPooledClip::LoadProjectState(IStream* stream) { return m_clip->LoadProjectState(stream); }

void CPooledClip::SetClipId(DWORD id) { m_clip->SetId(id); }

HRESULT CPooledClip::GetSetting(int setting, int selector, LONGLONG* value)
{
    if (!value) return E_POINTER;
    if (!IsUnit(selector)) return E_INVALIDARG;
    switch (setting) {
    case kSettingStart: *value = m_clip->GetStart(selector); return S_OK;
    case kSettingPlayPosition: *value = m_clip->GetLoopOrigin(selector); return S_OK;
    case kSettingPlayLength: *value = m_clip->GetLength(selector); return S_OK;
    default: return E_INVALIDARG;
    }
}

HRESULT CPooledClip::SetSetting(int setting, int selector, LONGLONG value)
{
    if (!IsUnit(selector)) return E_INVALIDARG;
    switch (setting) {
    case kSettingStart: m_clip->SetStart(value, selector); return S_OK;
    case kSettingPlayPosition: m_clip->SetLoopOrigin(value, selector); return S_OK;
    case kSettingPlayLength: m_clip->SetLength(value, selector); return S_OK;
    default: return E_INVALIDARG;
    }
}

HRESULT CPooledClip::GetSingleSetting(LONGLONG* value)
{
    if (!value) return E_POINTER;
    *value = m_clip->GetTranspose();
    return S_OK;
}

HRESULT CPooledClip::SetSingleSetting(LONGLONG value)
{
    if (value < -24 || value > 24) return E_INVALIDARG;
    m_clip->SetTranspose(LONG(value));
    return S_OK;
}
