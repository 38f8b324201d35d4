#include "engine/hosting/CFilterWrap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CNullSynth.h"
#include "model/IKelPersist.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/Persist.h"
#include "platform/win/FloatControl.h"
#include "platform/win/Guid.h"

namespace {

// The loop player's class is stored under an identifier of its own, so a
// project names it the same whichever build of the player wrote it.
MV_DEFINE_GUID(CLSID_LoopPlayer, 0x62C099B5, 0xC006, 0x4C72, 0xB6, 0x86, 0x70, 0x8F, 0xF4, 0x2A, 0x03, 0x2D);
MV_DEFINE_GUID(CLSID_LoopPlayerStored, 0xD5EAA649, 0x57A0, 0x4EB4, 0x81, 0x5F, 0xC1, 0x91, 0x66, 0x42, 0x7A, 0x98);

constexpr unsigned int kAllExceptions = 0x8001F;

std::vector<CString> g_failedNames;
std::vector<GUID> g_failedClsids;

void CopyName(char* to, const char* from)
{
    std::snprintf(to, CFilterWrap::kNameBytes, "%s", from ? from : "");
}

GUID NewGuid()
{
    GUID g{};
    CoCreateGuid(&g);
    return g;
}

}  // namespace

CFilterWrap::CFilterWrap(const GUID* clsid, const char* name) : m_clsid(clsid ? *clsid : GUID_NULL)
{
    CopyName(m_name, name);
}

CFilterWrap::~CFilterWrap()
{
    if (m_state)
        GlobalFree(m_state);
}

const char* CFilterWrap::GetDisplayNameText()
{
    if (!m_placeholder && m_connected)
        return m_name;
    std::snprintf(m_display, sizeof m_display, "(%s)", m_name);
    return m_display;
}

HRESULT CFilterWrap::SetPresetName(const CString& name)
{
    const char* text = name.GetString();
    if (!text)
        return E_FAIL;
    CopyName(m_preset, text);
    return S_OK;
}

void CFilterWrap::SetHost(IUnknown* host)
{
    if (host)
        host->AddRef();
    if (m_host)
        m_host->Release();
    m_host = host;
}

HRESULT CFilterWrap::ReleaseHost()
{
    if (m_host) {
        m_host->Release();
        m_host = nullptr;
    }
    return S_OK;
}

HRESULT CFilterWrap::Discard()
{
    HRESULT hr = ReleasePlugIn();
    ReleaseHost();
    return hr;
}

HRESULT CFilterWrap::ReleasePlugIn()
{
    if (m_loopPlayer) {
        m_loopPlayer->Release();
        m_loopPlayer = nullptr;
    }
    if (m_input) {
        m_input->Release();
        m_input = nullptr;
    }
    for (DWORD i = 0; i < m_outputCount; ++i) {
        m_outputs[i]->Release();
        m_outputs[i] = nullptr;
    }
    m_outputCount = 0;
    if (m_filter) {
        m_filter->Release();
        m_filter = nullptr;
    }
    if (m_mediaObject) {
        m_mediaObject->Release();
        m_mediaObject = nullptr;
    }
    return S_OK;
}

HRESULT CFilterWrap::CreatePlugIn()
{
    _control87(kAllExceptions, kAllExceptions);
    if (IsEqualGUID(m_clsid, CLSID_NullSynth)) {
        CNullSynth* synth = nullptr;
        const int outputs = m_placeholder ? static_cast<int>(std::clamp<DWORD>(m_persistedPins, 1, kMaxOutputs)) : 1;
        if (HRESULT hr = CNullSynth::Create(m_graph, outputs, &synth); FAILED(hr))
            return hr;
        m_filter = synth;
    } else if (IsEqualGUID(m_clsid, CLSID_NoSynth)) {
        return S_FALSE;
    } else {
        // A plug-in that is no filter would be a media object hosted in
        // the media-object wrapper filter, which this system does not
        // provide: the class's own failure is the answer.
        if (HRESULT hr = CoCreateInstance(m_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                          reinterpret_cast<void**>(&m_filter));
            FAILED(hr) || !m_filter) {
            m_filter = nullptr;
            return FAILED(hr) ? hr : E_NOINTERFACE;
        }
    }
    _control87(kAllExceptions, kAllExceptions);

    IEnumPins* pins = nullptr;
    if (SUCCEEDED(m_filter->EnumPins(&pins)) && pins) {
        IPin* found[kMaxOutputs + 1] = {};
        ULONG got = 0;
        pins->Next(kMaxOutputs + 1, found, &got);
        pins->Release();
        for (ULONG i = 0; i < got; ++i) {
            PIN_DIRECTION dir = PINDIR_INPUT;
            found[i]->QueryDirection(&dir);
            if (dir == PINDIR_INPUT && !m_input)
                m_input = found[i];
            else if (dir == PINDIR_OUTPUT && m_outputCount < kMaxOutputs)
                m_outputs[m_outputCount++] = found[i];
            else
                found[i]->Release();
        }
    }

    RefreshLoopPlayer();
    if (SUCCEEDED(m_filter->QueryInterface(IID_IMfxSoftSynth, reinterpret_cast<void**>(&m_softSynth))) &&
        m_softSynth) {
        if (m_host)
            m_host->AddRef();  // the synth takes over this reference
        if (HRESULT hr = m_softSynth->Connect(m_host); FAILED(hr))
            return hr;
    } else {
        m_softSynth = nullptr;
    }
    return S_OK;
}

void CFilterWrap::RefreshLoopPlayer()
{
    if (m_loopPlayer) {
        m_loopPlayer->Release();
        m_loopPlayer = nullptr;
    }
    IUnknown* object = GetFilterObject();
    if (object && SUCCEEDED(object->QueryInterface(IID_ITamblor, reinterpret_cast<void**>(&m_loopPlayer))) &&
        m_loopPlayer)
        m_loopPlayer->put_ClipPool(m_clipPool);
    else
        m_loopPlayer = nullptr;
}

void CFilterWrap::SetClipPool(void* pool)
{
    m_clipPool = pool;
    if (m_loopPlayer)
        m_loopPlayer->put_ClipPool(pool);
}

HRESULT CFilterWrap::CreatePlaceholder()
{
    m_placeholder = TRUE;
    const GUID real = m_clsid;
    m_clsid = CLSID_NullSynth;
    HRESULT hr = CreatePlugIn();
    m_clsid = real;
    g_failedNames.emplace_back(m_name);
    g_failedClsids.push_back(real);
    return hr;
}

HRESULT CFilterWrap::Instantiate()
{
    if (IsFailedPlugIn())
        return E_FAIL;
    HRESULT hr = E_FAIL;
    try {
        hr = CreatePlugIn();
    } catch (...) {
        hr = E_FAIL;  // a plug-in that throws out of its creation is not made
    }
    if (FAILED(hr))
        return hr;
    m_instance = NewGuid();
    return S_OK;
}

HRESULT CFilterWrap::UnloadPlugIn()
{
    const HRESULT saved = SaveState();
    const HRESULT released = ReleasePlugIn();
    return FAILED(released) ? released : saved;
}

HRESULT CFilterWrap::Reload()
{
    if (GetFilterObject())
        return E_UNEXPECTED;
    if (m_placeholder) {
        m_placeholder = FALSE;
        CreatePlaceholder();
        g_failedNames.pop_back();  // already listed
        g_failedClsids.pop_back();
    } else if (HRESULT hr = CreatePlugIn(); FAILED(hr)) {
        return hr;
    }
    if (HRESULT hr = LoadState(); FAILED(hr))
        return hr;
    return S_OK;
}

HRESULT CFilterWrap::IsDirty()
{
    IPersistStream* persist = nullptr;
    IUnknown* object = GetFilterObject();
    if (!object || FAILED(object->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist))) || !persist)
        return S_FALSE;
    HRESULT hr = persist->IsDirty();
    persist->Release();
    return hr;
}

HRESULT CFilterWrap::SaveState(HGLOBAL* block)
{
    IPersistStream* persist = nullptr;
    IUnknown* object = GetFilterObject();
    if (!object || FAILED(object->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist))) || !persist) {
        if (*block)
            GlobalFree(*block);
        *block = nullptr;
        return S_FALSE;
    }
    HGLOBAL fresh = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 0);
    if (!fresh) {
        persist->Release();
        return E_OUTOFMEMORY;
    }
    IStream* stream = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(fresh, FALSE, &stream);
    if (SUCCEEDED(hr) && stream) {
        _control87(kAllExceptions, kAllExceptions);
        hr = persist->Save(stream, TRUE);
        stream->Release();
    }
    persist->Release();
    if (FAILED(hr)) {
        // The last good state stays: a plug-in that cannot save now must
        // not lose what it saved before.
        GlobalFree(fresh);
        return hr;
    }
    if (*block)
        GlobalFree(*block);
    *block = fresh;
    return S_OK;
}

HRESULT CFilterWrap::LoadState(HGLOBAL* block)
{
    if (!*block)
        return S_FALSE;
    IPersistStream* persist = nullptr;
    IUnknown* object = GetFilterObject();
    if (!object || FAILED(object->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist))) || !persist) {
        GlobalFree(*block);
        *block = nullptr;
        return E_UNEXPECTED;
    }
    IStream* stream = nullptr;
    if (SUCCEEDED(CreateStreamOnHGlobal(*block, FALSE, &stream)) && stream) {
        _control87(kAllExceptions, kAllExceptions);
        persist->Load(stream);
        stream->Release();
    }
    persist->Release();
    return S_OK;
}

void CFilterWrap::AdoptState(HGLOBAL block)
{
    if (!block)
        return;
    if (m_state)
        GlobalFree(m_state);
    m_state = block;
    LoadState();
}

HRESULT CFilterWrap::CopyStateInto(CFilterWrap* clone)
{
    if (!GetFilterObject())
        if (HRESULT hr = Reload(); FAILED(hr))
            return hr;
    HGLOBAL block = nullptr;
    if (HRESULT hr = SaveState(&block); FAILED(hr))
        return hr;
    clone->AdoptState(block);
    std::memcpy(clone->m_preset, m_preset, kNameBytes);
    return S_OK;
}

bool CFilterWrap::IsFailedPlugIn() const
{
    return std::find(g_failedClsids.begin(), g_failedClsids.end(), m_clsid) != g_failedClsids.end();
}

void CFilterWrap::GetFailedPlugIns(bool* any, std::vector<CString>* names, std::vector<GUID>* clsids)
{
    if (any)
        *any = !g_failedNames.empty();
    if (names)
        *names = g_failedNames;
    if (clsids)
        *clsids = g_failedClsids;
}

void CFilterWrap::ClearFailedPlugIns()
{
    g_failedNames.clear();
    g_failedClsids.clear();
}

HRESULT CFilterWrap::PersistWrapChunk(CKelPersistArchive* archive)
{
    HRESULT hr;
    const bool saving = archive->IsSaving();
    DWORD pins = std::max<DWORD>(1, m_outputCount);
    DWORD reserved[3] = {0, 0, 0};
    GUID clsid = IsEqualGUID(m_clsid, CLSID_LoopPlayer) ? CLSID_LoopPlayerStored : m_clsid;
    DWORD size = 0;
    if (saving) {
        if (!m_placeholder && GetFilterObject())
            SaveState();
        size = m_state ? static_cast<DWORD>(GlobalSize(m_state)) : 0;
        if (m_placeholder)
            pins = m_persistedPins;
    }
    if (FAILED(hr = archive->PersistBytes(kNameBytes, m_name)) ||
        FAILED(hr = archive->PersistBytes(kNameBytes, m_preset)) ||
        FAILED(hr = archive->PersistBytes(sizeof pins, &pins)) ||
        FAILED(hr = archive->PersistBytes(sizeof reserved, reserved)) ||
        FAILED(hr = archive->PersistBytes(sizeof clsid, &clsid)) ||
        FAILED(hr = archive->PersistBytes(sizeof m_instance, &m_instance)) ||
        FAILED(hr = archive->PersistBytes(sizeof size, &size)))
        return hr;
    if (saving) {
        if (size == 0)
            return S_OK;
        void* data = GlobalLock(m_state);
        hr = archive->PersistBytes(size, data);
        GlobalUnlock(m_state);
        return hr;
    }

    m_name[kNameBytes - 1] = '\0';
    m_preset[kNameBytes - 1] = '\0';
    m_persistedPins = pins == 0 || pins > kMaxOutputs ? 1 : pins;
    m_clsid = IsEqualGUID(clsid, CLSID_LoopPlayerStored) ? CLSID_LoopPlayer : clsid;
    // The old block is dropped; the size is bounded by what the chunk
    // still holds before anything is allocated.
    if (m_state) {
        GlobalFree(m_state);
        m_state = nullptr;
    }
    if (size != 0) {
        if (FAILED(hr = archive->CheckRemaining(size)))
            return hr;
        m_state = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
        if (!m_state)
            return E_OUTOFMEMORY;
        void* data = GlobalLock(m_state);
        hr = archive->PersistBytes(size, data);
        GlobalUnlock(m_state);
        if (FAILED(hr))
            return hr;
    }
    HRESULT created = E_FAIL;
    try {
        created = CreatePlugIn();
    } catch (...) {
        created = E_FAIL;
    }
    if (SUCCEEDED(created)) {
        m_placeholder = FALSE;
        LoadState();
        RefreshLoopPlayer();
        return S_OK;
    }
    ReleasePlugIn();
    hr = CreatePlaceholder();
    RefreshLoopPlayer();
    return hr;
}

HRESULT ReleasePlugInWrap(CFilterWrap* wrap)
{
    if (!wrap)
        return S_OK;
    HRESULT hr = wrap->Discard();
    delete wrap;
    return hr;
}

HRESULT DestroyPlugInWrap(CFilterWrap* wrap) { return ReleasePlugInWrap(wrap); }
