#include "engine/hosting/CFxWrap.h"

#include <cstring>
#include <new>

#include "model/IKelPersist.h"

CFxWrap::CFxWrap(const GUID* clsid, const char* name)
    : CFilterWrap(clsid, name), CKelPersistObject(MakeKelVersionWord(kMajor, 0))
{
}

CFxWrap::~CFxWrap() { Discard(); }

HRESULT CFxWrap::Create(const GUID* clsid, const char* name, CDxFilterGraph* graph, IUnknown* host, CFxWrap** out)
{
    if (!out || !graph || !host)
        return E_POINTER;
    *out = nullptr;
    auto* wrap = new (std::nothrow) CFxWrap(clsid, name);
    if (!wrap)
        return E_OUTOFMEMORY;
    wrap->SetHost(host);
    wrap->SetGraph(graph);
    if (clsid && !IsEqualGUID(*clsid, GUID_NULL)) {
        if (HRESULT hr = wrap->Instantiate(); FAILED(hr)) {
            delete wrap;
            return hr;
        }
    }
    *out = wrap;
    return S_OK;
}

HRESULT CFxWrap::CreatePlugIn()
{
    if (HRESULT hr = CFilterWrap::CreatePlugIn(); FAILED(hr))
        return hr;
    if (HRESULT hr = CMergeSwitch::Create(m_graph, 2, 2, &m_switch); FAILED(hr))
        return hr;
    if (!m_switch)
        return E_OUTOFMEMORY;
    return m_switch->SetSelectedOutput(m_bypass ? 1 : 0);
}

HRESULT CFxWrap::ReleasePlugIn()
{
    if (m_switch) {
        m_switch->Release();
        m_switch = nullptr;
    }
    if (m_softSynth) {
        m_softSynth->Release();
        m_softSynth = nullptr;
    }
    return CFilterWrap::ReleasePlugIn();
}

HRESULT CFxWrap::SetBypass(BOOL bypass)
{
    m_bypass = bypass ? TRUE : FALSE;
    if (!m_switch)
        return E_FAIL;
    if (m_bypass) {
        if (HRESULT hr = m_switch->SetSelectedOutput(1); FAILED(hr))
            return hr;
        return m_switch->SetSwitchTarget(0);  // the effect's path is flushed
    }
    if (HRESULT hr = m_switch->SetSelectedOutput(0); FAILED(hr))
        return hr;
    if (HRESULT hr = m_switch->SetSwitchTarget(-1); FAILED(hr))
        return hr;
    m_switch->SetResume(TRUE);
    return S_OK;
}

HRESULT CFxWrap::Clone(IFxWrap** clone)
{
    if (!clone)
        return E_POINTER;
    *clone = nullptr;
    CFxWrap* made = nullptr;
    if (HRESULT hr = Create(&m_clsid, GetDisplayNameText(), m_graph, m_host, &made); FAILED(hr))
        return hr;
    made->m_bypass = m_bypass;
    if (made->m_switch)
        made->m_switch->SetSelectedOutput(m_bypass ? 1 : 0);
    if (!m_filter && m_state) {
        // The source is unloaded: its saved state goes over as it is.
        const std::size_t size = GlobalSize(m_state);
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
        if (!block) {
            delete made;
            return E_OUTOFMEMORY;
        }
        if (size) {
            std::memcpy(GlobalLock(block), GlobalLock(m_state), size);
            GlobalUnlock(block);
            GlobalUnlock(m_state);
        }
        made->AdoptState(block);
        std::memcpy(made->m_preset, m_preset, kNameBytes);
    } else if (HRESULT hr = CopyStateInto(made); FAILED(hr)) {
        delete made;
        return hr;
    }
    *clone = made;
    return S_OK;
}

HRESULT CFxWrap::StopAndUnload()
{
    if (m_softSynth)
        if (HRESULT hr = m_softSynth->Disconnect(); FAILED(hr))
            return hr;
    return UnloadPlugIn();
}

HRESULT CFxWrap::SynthStart(LONGLONG time)
{
    return m_softSynth ? m_softSynth->Start(static_cast<LONG>(time)) : S_FALSE;
}

HRESULT CFxWrap::SynthAdvance(LONGLONG from, LONGLONG to)
{
    return m_softSynth ? m_softSynth->AdvanceTime(static_cast<LONG>(from), static_cast<LONG>(to)) : S_FALSE;
}

HRESULT CFxWrap::SynthStop(LONGLONG)
{
    return m_softSynth ? m_softSynth->Stop() : S_FALSE;
}

STDMETHODIMP CFxWrap::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return E_FAIL;
    if (HRESULT hr = PersistWrapChunk(archive); FAILED(hr))
        return hr;
    BYTE bypass = m_bypass ? 1 : 0;
    if (HRESULT hr = archive->PersistBytes(sizeof bypass, &bypass); FAILED(hr))
        return hr;
    if (!archive->IsSaving()) {
        m_bypass = bypass ? TRUE : FALSE;
        if (m_switch)
            m_switch->SetSelectedOutput(m_bypass ? 1 : 0);
    }
    return S_OK;
}
