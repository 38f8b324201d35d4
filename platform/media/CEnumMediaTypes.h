// Enumerates the types a pin offers through its GetMediaType positions. The
// enumerator keeps its pin's filter alive and reads the positions live.
#pragma once

#include "platform/media/CUnknown.h"
#include "platform/media/MediaInterfaces.h"

class CBasePin;

class CEnumMediaTypes : public CUnknown, public IEnumMediaTypes {
public:
    // A new enumerator with one reference, or null when memory runs out.
    static CEnumMediaTypes* Create(CBasePin* pin, ULONG position = 0);
    ~CEnumMediaTypes() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** clone) override;

private:
    CEnumMediaTypes(CBasePin* pin, ULONG position);

    CBasePin* m_pin;
    ULONG m_position;
};
