#include "engine/hosting/CMfxFilterWrap.h"

#include <new>

#include "engine/hosting/IMfxEffectInputPort.h"
#include "model/IKelPersist.h"
#include "platform/com/ComRuntime.h"
#include "platform/win/FloatControl.h"


CMfxFilterWrap::CMfxFilterWrap(const GUID* clsid, const char* name)
    : CFilterWrap(clsid, name), CKelPersistObject(MakeKelVersionWord(kMajor, 0))
{
    m_outputCount = 0;
    m_persistedPins = 1;
}

CMfxFilterWrap::~CMfxFilterWrap() { Discard(); }

HRESULT CMfxFilterWrap::Create(const GUID* clsid, const char* name, IUnknown* host, CMfxFilterWrap** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    auto* wrap = new (std::nothrow) CMfxFilterWrap(clsid, name);
    if (!wrap)
        return E_OUTOFMEMORY;
    wrap->SetHost(host);
    if (clsid && !IsEqualGUID(*clsid, GUID_NULL))
        if (HRESULT hr = wrap->Instantiate(); FAILED(hr)) {
            delete wrap;
            return hr;
        }
    *out = wrap;
    return S_OK;
}

HRESULT CMfxFilterWrap::CreatePlugIn()
{
    _control87(0x8001F, 0x8001F);
    HRESULT hr = CoCreateInstance(m_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IMfxEventFilter,
                                  reinterpret_cast<void**>(&m_effect));
    if (FAILED(hr) || !m_effect) {
        m_effect = nullptr;
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    if (m_host)
        m_host->AddRef();  // the effect takes over this reference
    hr = m_effect->Connect(m_host);
    if (SUCCEEDED(hr)) {
        IMfxEffectInputPort* port = nullptr;
        if (SUCCEEDED(m_effect->QueryInterface(IID_IMfxEffectInputPort, reinterpret_cast<void**>(&port))) && port) {
            hr = port->SetInputCallback(m_host);
            port->Release();
        }
    }
    if (FAILED(hr)) {
        m_effect->Release();
        m_effect = nullptr;
    }
    return hr;
}

HRESULT CMfxFilterWrap::ReleasePlugIn()
{
    if (m_effect) {
        if (HRESULT hr = m_effect->Disconnect(); FAILED(hr))
            return hr;  // the effect stays: it still holds the host
        m_effect->Release();
        m_effect = nullptr;
    }
    return CFilterWrap::ReleasePlugIn();
}

HRESULT CMfxFilterWrap::Clone(IMfxFilterWrap** clone)
{
    if (!clone)
        return E_POINTER;
    *clone = nullptr;
    CMfxFilterWrap* made = nullptr;
    if (HRESULT hr = Create(&m_clsid, GetDisplayNameText(), m_host, &made); FAILED(hr))
        return hr;
    if (HRESULT hr = CopyStateInto(made); FAILED(hr)) {
        delete made;
        return hr;
    }
    *clone = made;
    return S_OK;
}

STDMETHODIMP CMfxFilterWrap::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return E_FAIL;
    return PersistWrapChunk(archive);
}
