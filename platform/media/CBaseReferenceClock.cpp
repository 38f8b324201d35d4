#include "platform/media/CBaseReferenceClock.h"

#include <chrono>

CBaseReferenceClock::CBaseReferenceClock(const char* objectName, IUnknown* outer, HRESULT*)
    : CUnknown(objectName, outer)
{
}

CBaseReferenceClock::~CBaseReferenceClock() = default;

HRESULT CBaseReferenceClock::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    HRESULT hr = AnswerFromTable(riid, ppv, {{&IID_IReferenceClock, static_cast<IReferenceClock*>(this)}});
    return hr == E_NOINTERFACE ? CUnknown::NonDelegatingQueryInterface(riid, ppv) : hr;
}

HRESULT CBaseReferenceClock::GetTime(REFERENCE_TIME* time)
{
    if (!time)
        return E_POINTER;
    CAutoLock lock(&m_lock);
    REFERENCE_TIME now = GetPrivateTime();
    HRESULT hr = S_OK;
    if (now > m_lastGotTime)
        m_lastGotTime = now;
    else
        hr = S_FALSE;
    *time = m_lastGotTime;
    return hr;
}

HRESULT CBaseReferenceClock::AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR* cookie)
{
    if (cookie)
        *cookie = 0;
    return E_NOTIMPL;
}

HRESULT CBaseReferenceClock::AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR* cookie)
{
    if (cookie)
        *cookie = 0;
    return E_NOTIMPL;
}

HRESULT CBaseReferenceClock::Unadvise(DWORD_PTR) { return S_FALSE; }

REFERENCE_TIME CBaseReferenceClock::GetPrivateTime()
{
    using namespace std::chrono;
    return duration_cast<duration<REFERENCE_TIME, std::ratio<1, 10000000>>>(steady_clock::now().time_since_epoch())
        .count();
}
