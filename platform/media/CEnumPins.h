// Enumerates a filter's pins by index through GetPin. The enumerator keeps the
// filter alive; pins added while it is in use are seen when it reaches them.
#pragma once

#include "platform/media/CUnknown.h"
#include "platform/media/MediaInterfaces.h"

class CBaseFilter;

class CEnumPins : public CUnknown, public IEnumPins {
public:
    // A new enumerator with one reference, or null when memory runs out.
    static CEnumPins* Create(CBaseFilter* filter, int position = 0);
    ~CEnumPins() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** clone) override;

private:
    CEnumPins(CBaseFilter* filter, int position);

    CBaseFilter* m_filter;
    int m_position;
};
