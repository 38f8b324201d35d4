#include "devices/CAudioReferenceClock.h"

#include "uikit/core/CDebugLog.h"

namespace {
constexpr REFERENCE_TIME kTimeUnknown = 0x7FFFFFFFFFFFFFFFLL;
}

CAudioReferenceClock::CAudioReferenceClock(const char* objectName, IUnknown* outer, HRESULT* phr,
                                           IAudioProperties* audio)
    : CBaseReferenceClock(objectName, outer, phr), m_audio(audio)
{
    DWORD source = static_cast<DWORD>(-1);
    RegisterLogSource(g_DebugLog.GetClient(), "ReferenceClock", &source);
    m_logSource = static_cast<int>(source);
}

CAudioReferenceClock::~CAudioReferenceClock() = default;

HRESULT CAudioReferenceClock::GetTime(REFERENCE_TIME* time)
{
    if (!time)
        return E_POINTER;
    *time = GetPrivateTime();
    return S_OK;
}

REFERENCE_TIME CAudioReferenceClock::GetPrivateTime()
{
    if (!m_audio)
        return kTimeUnknown;
    const int rate = m_audio->GetSampleRate();
    if (rate <= 0)
        return kTimeUnknown;
    return m_audio->GetSamplePosition() * 10000000LL / rate;
}
