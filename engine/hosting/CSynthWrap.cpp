#include "engine/hosting/CSynthWrap.h"

#include <algorithm>
#include <new>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CNullSynth.h"
#include "engine/hosting/IMfxInstrument.h"
#include "platform/com/TaskMemory.h"
#include "model/IKelPersist.h"

CSynthWrap::CSynthWrap(const GUID* clsid, const char* name)
    : CFilterWrap(clsid, name), CKelPersistObject(MakeKelVersionWord(kMajor, 0))
{
    for (LONG& b : m_banks)
        b = -1;
    for (BYTE& p : m_patches)
        p = 255;
}

CSynthWrap::~CSynthWrap() { Discard(); }

HRESULT CSynthWrap::Create(const GUID* clsid, const char* name, CDxFilterGraph* graph, IUnknown* host,
                           CSynthWrap** out, void* clipPool)
{
    if (!out || !graph || !host)
        return E_POINTER;
    *out = nullptr;
    auto* wrap = new (std::nothrow) CSynthWrap(clsid, name);
    if (!wrap)
        return E_OUTOFMEMORY;
    wrap->SetHost(host);
    wrap->SetGraph(graph);
    HRESULT hr = S_OK;
    if (!clsid || !IsEqualGUID(*clsid, CLSID_NoSynth)) {
        hr = wrap->Instantiate();
        if (FAILED(hr)) {
            delete wrap;
            // The channel keeps working with the null synth in its place.
            wrap = new (std::nothrow) CSynthWrap(&CLSID_NullSynth, "");
            if (!wrap)
                return E_OUTOFMEMORY;
            wrap->SetHost(host);
            wrap->SetGraph(graph);
            if (HRESULT again = wrap->Instantiate(); FAILED(again)) {
                delete wrap;
                return again;
            }
            *out = wrap;
            return S_FALSE;
        }
    }
    wrap->SetClipPool(clipPool);
    *out = wrap;
    return hr;
}

HRESULT CSynthWrap::Clone(CSynthWrap* source, CSynthWrap** out)
{
    if (!source || !out)
        return E_POINTER;
    HRESULT hr = Create(&source->m_clsid, source->GetDisplayNameText(), source->Graph(), source->Host(), out,
                        source->ClipPool());
    if (FAILED(hr))
        return hr;
    if (HRESULT copied = source->CopyStateInto(*out); FAILED(copied)) {
        delete *out;
        *out = nullptr;
        return copied;
    }
    return hr;
}

HRESULT CSynthWrap::RemoveFromGraph()
{
    if (!m_filter || !m_graph)
        return S_FALSE;
    return m_graph->RemoveFilter(m_filter);
}

HRESULT CSynthWrap::ReleasePlugIn()
{
    if (m_softSynth) {
        m_softSynth->Release();
        m_softSynth = nullptr;
    }
    return CFilterWrap::ReleasePlugIn();
}

HRESULT CSynthWrap::GetChannelBank(int channel, LONG* bank) const
{
    if (channel < 0 || channel >= kChannels)
        return E_INVALIDARG;
    if (!bank)
        return E_POINTER;
    *bank = m_banks[channel];
    return S_OK;
}

HRESULT CSynthWrap::SetChannelBank(int channel, LONG bank)
{
    if (channel < 0 || channel >= kChannels || bank < -1 || bank > 16383)
        return E_INVALIDARG;
    m_banks[channel] = bank;
    return S_OK;
}

HRESULT CSynthWrap::GetChannelPatch(int channel, int* patch) const
{
    if (channel < 0 || channel >= kChannels)
        return E_INVALIDARG;
    if (!patch)
        return E_POINTER;
    *patch = m_patches[channel] == 255 ? -1 : m_patches[channel];
    return S_OK;
}

HRESULT CSynthWrap::SetChannelPatch(int channel, int patch)
{
    if (channel < 0 || channel >= kChannels || patch < -1 || patch > 127)
        return E_INVALIDARG;
    m_patches[channel] = patch == -1 ? 255 : static_cast<BYTE>(patch);
    return S_OK;
}

HRESULT CSynthWrap::GetBankList(int, std::vector<LONG>* banks)
{
    if (!banks)
        return E_POINTER;
    banks->clear();
    if (!m_softSynth)
        return E_FAIL;
    DWORD* list = nullptr;
    LONG count = 0;
    HRESULT hr = E_FAIL;
    // The instrument's list when the synth has one; its own otherwise.
    IMfxSoftSynth2* second = nullptr;
    if (SUCCEEDED(m_softSynth->QueryInterface(IID_IMfxSoftSynth2, reinterpret_cast<void**>(&second))) && second) {
        IUnknown* instrument = nullptr;
        IMfxInstrument* names = nullptr;
        if (SUCCEEDED(second->GetInstrument(&instrument)) && instrument &&
            SUCCEEDED(instrument->QueryInterface(IID_IMfxInstrument, reinterpret_cast<void**>(&names))) && names) {
            hr = names->GetBankMethods(&list, &count);
            names->Release();
        }
        if (instrument)
            instrument->Release();
        second->Release();
    }
    if (FAILED(hr))
        hr = m_softSynth->GetBankMethods(&list, &count);
    if (SUCCEEDED(hr) && list)
        banks->assign(list, list + std::max<LONG>(count, 0));
    CoTaskMemFree(list);
    if (SUCCEEDED(hr) && !list && count > 0)
        hr = E_FAIL;
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CSynthWrap::FormatBankPatch(int channel, CString* bankText, CString* patchText)
{
    if (channel < 0 || channel >= kChannels || (!bankText && !patchText))
        return E_INVALIDARG;
    if (m_patches[channel] == 255 || !m_softSynth)
        return S_FALSE;
    HRESULT result = S_OK;
    IMfxSoftSynth2* second = nullptr;
    if (SUCCEEDED(m_softSynth->QueryInterface(IID_IMfxSoftSynth2, reinterpret_cast<void**>(&second))) && second) {
        IUnknown* instrument = nullptr;
        result = second->GetInstrument(&instrument);
        if (instrument)
            instrument->Release();
        second->Release();
        if (FAILED(result))
            return result;
    }
    // The bank's list of patch names, through the synth's own name services
    // (its instrument answers the same lists).
    IMfxNameList* list = nullptr;
    m_softSynth->GetPatchNames(m_banks[channel], &list);
    char bankName[256] = {};
    char patchName[256] = {};
    if (list) {
        list->GetTitle(bankName, sizeof bankName);
        list->GetName(m_patches[channel], patchName, sizeof patchName);
        list->Release();
    }
    if (bankText)
        bankText->Format("%u-%s", static_cast<unsigned>(m_banks[channel]), bankName);
    if (patchText) {
        if (patchName[0])
            patchText->Format("%d-%s", m_patches[channel], patchName);
        else
            patchText->Format("%d %s", m_patches[channel], "---");
    }
    return result;
}

STDMETHODIMP CSynthWrap::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return E_FAIL;
    HRESULT hr = PersistWrapChunk(archive);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = archive->PersistBytes(sizeof m_banks, m_banks)) ||
        FAILED(hr = archive->PersistBytes(sizeof m_patches, m_patches)))
        return hr;
    return S_OK;
}

// ---- Playback ----

HRESULT CSynthWrap::Start(LONG time) { return SoftSynth() ? SoftSynth()->Start(time) : S_FALSE; }

HRESULT CSynthWrap::Stop() { return SoftSynth() ? SoftSynth()->Stop() : S_FALSE; }

HRESULT CSynthWrap::AdvanceTime(LONG loopStart, LONG loopEnd)
{
    return SoftSynth() ? SoftSynth()->AdvanceTime(loopStart, loopEnd) : S_FALSE;
}

HRESULT CSynthWrap::ProcessEvents(LONG from, LONG to, SHORT channelId, IMfxEventQueue* queue)
{
    return SoftSynth() ? SoftSynth()->SendEvents(from, to, static_cast<DWORD>(static_cast<LONG>(channelId)), queue)
                       : S_FALSE;
}

HRESULT CSynthWrap::ProcessLiveEvents(SHORT channelId, IMfxDataQueue* queue)
{
    return SoftSynth() ? SoftSynth()->SendMidi(static_cast<DWORD>(static_cast<LONG>(channelId)), queue) : S_FALSE;
}

LONG CSynthWrap::GetChannelBank(int midiChannel)
{
    return midiChannel >= 0 && midiChannel < kChannels ? m_banks[midiChannel] : kNoBank;
}

int CSynthWrap::GetChannelPatch(int midiChannel)
{
    return midiChannel >= 0 && midiChannel < kChannels ? m_patches[midiChannel] : kNoPatch;
}

HRESULT CSynthWrap::SetClipsPlaying(BOOL on)
{
    return LoopPlayer() ? LoopPlayer()->put_PlayPatternClips(on ? 1 : 0) : S_FALSE;
}

HRESULT CSynthWrap::SetClipsRecording(BOOL on)
{
    return LoopPlayer() ? LoopPlayer()->put_PlayPreviewClips(on ? 1 : 0) : S_FALSE;
}
