// The base of reference clocks: time in 100-ns units that never runs
// backwards. A derived clock supplies its time source by overriding
// GetPrivateTime (the base reads the system's monotonic clock).
//
// Advising (waking a waiter at a time) is not offered: blocks travel through
// the graph inside the device's push, so nothing in the program waits on the
// graph clock; AdviseTime and AdvisePeriodic answer E_NOTIMPL.
#pragma once

#include "platform/media/CCritSec.h"
#include "platform/media/CUnknown.h"
#include "platform/media/MediaInterfaces.h"

class CBaseReferenceClock : public CUnknown, public IReferenceClock {
public:
    CBaseReferenceClock(const char* objectName, IUnknown* outer, HRESULT* phr);
    ~CBaseReferenceClock() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // The private time, held at the last value returned when the source
    // stepped back (S_FALSE then).
    STDMETHODIMP GetTime(REFERENCE_TIME* time) override;
    STDMETHODIMP AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                            DWORD_PTR* cookie) override;
    STDMETHODIMP AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                                DWORD_PTR* cookie) override;
    STDMETHODIMP Unadvise(DWORD_PTR cookie) override;

    virtual REFERENCE_TIME GetPrivateTime();

protected:
    CCritSec m_lock;
    REFERENCE_TIME m_lastGotTime = 0;
};
