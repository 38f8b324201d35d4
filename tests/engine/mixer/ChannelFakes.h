// Stand-ins for what a channel talks to: a soft-synth wrapper around the
// engine graph's real null synth (one input, N outputs, each passing the
// source's block on), with a saved form and an optional loop-clip host; and
// the song document with its channels, source filter, synth factory and the
// logs of what the channel asked of it.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/sync/ThreadAffinity.h"
#include "MixerFakes.h"
#include "engine/graph/CNullSynth.h"
#include "engine/mixer/CChannel.h"
#include "engine/mixer/IChannelDocument.h"
#include "engine/mixer/ISynthWrapFactory.h"
#include "tests/model/PatternTestSupport.h"

namespace chantest {

using namespace mixertest;

constexpr GUID kSynthClass = {0x53535353, 0, 0, {0, 0, 0, 0, 0, 0, 0, 5}};

class ChannelDoc;

// Registers clips for instances by putting them into the engine's clip pool,
// as the loop player does; notes every call.
class ClipHost final : public ILoopClipHost {
public:
    explicit ClipHost(pattest::FakeClipPool* pool) : m_pool(pool) {}
    HRESULT RegisterClip(DWORD instanceId, int mode, ILoopClip*, ILoopClip** registered) override
    {
        log.push_back("register " + std::to_string(instanceId) + " mode " + std::to_string(mode));
        *registered = m_pool->Add(instanceId);
        return S_OK;
    }
    HRESULT ReregisterClip(DWORD instanceId, ILoopClip*) override
    {
        log.push_back("reregister " + std::to_string(instanceId));
        return S_OK;
    }
    HRESULT UnregisterClip(DWORD instanceId) override
    {
        log.push_back("unregister " + std::to_string(instanceId));
        return S_OK;
    }
    std::vector<std::string> log;

private:
    pattest::FakeClipPool* m_pool;
};

// The synth's playback side: every span's events, live events and
// transport call written down as text, and a program per MIDI channel.
class CapturePlayer final : public ISynthPlayer {
public:
    static std::string Text(const MfxEvent& e)
    {
        const std::string at = std::to_string(e.m_time) + " ch" + std::to_string(e.m_channel) + " ";
        switch (e.m_kind) {
        case MfxNote:
            return at + "note " + std::to_string(e.m_note.key) + " dur " + std::to_string(e.m_note.duration);
        case MfxController:
            return at + "ctrl " + std::to_string(e.m_ctrl.number) + "=" + std::to_string(e.m_ctrl.value);
        case MfxPatch:
            return at + "patch " + std::to_string(e.m_patch.patch) + " bank " + std::to_string(e.m_patch.bank);
        case MfxRpn: return at + "rpn " + std::to_string(e.m_rpn.number) + "=" + std::to_string(e.m_rpn.value);
        case MfxNrpn: return at + "nrpn " + std::to_string(e.m_rpn.number) + "=" + std::to_string(e.m_rpn.value);
        case MfxSysex: {
            // The bytes as the synth reads them through the buffer factory.
            void* data = nullptr;
            DWORD size = 0;
            if (FAILED(CMfxBufferFactory::GetShared().GetPointer(e.m_buffer.handle, &data, &size)))
                return at + "sysex (dead)";
            std::string text = at + "sysex";
            char hex[4];
            for (DWORD i = 0; i < size; ++i) {
                std::snprintf(hex, sizeof hex, " %02X", static_cast<const BYTE*>(data)[i]);
                text += hex;
            }
            return text;
        }
        default: return at + "kind " + std::to_string(e.m_kind);
        }
    }
    HRESULT Start(LONG t) override { return Note("start " + std::to_string(t)); }
    HRESULT Stop() override { return Note("stop"); }
    HRESULT AdvanceTime(LONG a, LONG b) override
    {
        return Note("advance " + std::to_string(a) + " " + std::to_string(b));
    }
    HRESULT ProcessEvents(LONG from, LONG to, SHORT, IMfxEventQueue* queue) override
    {
        if (busyHandOvers > 0) {
            --busyHandOvers;
            Note("busy " + std::to_string(from) + " " + std::to_string(to));
            return E_PENDING;
        }
        int count = 0;
        queue->GetCount(&count);
        Note("span " + std::to_string(from) + " " + std::to_string(to));
        for (int i = 0; i < count; ++i) {
            MfxEvent e{};
            queue->GetAt(i, &e);
            Note("  " + Text(e));
        }
        return S_OK;
    }
    HRESULT ProcessLiveEvents(SHORT, IMfxDataQueue* queue) override
    {
        // A busy synth refuses on the audio thread only: elsewhere it waits.
        if (busyLiveHandOvers > 0 && mv::CurrentThreadRole() == mv::ThreadRole::Audio) {
            --busyLiveHandOvers;
            return E_PENDING;
        }
        int count = 0;
        queue->GetCount(&count);
        for (int i = 0; i < count; ++i) {
            MfxData d{};
            queue->GetAt(i, &d);
            // The time only where there is one: ticks after the span's start.
            char text[32];
            if (d.m_dw1 != 0)
                std::snprintf(text, sizeof(text), "live %06X at %u", static_cast<unsigned>(d.m_dw2),
                              static_cast<unsigned>(d.m_dw1));
            else
                std::snprintf(text, sizeof(text), "live %06X", static_cast<unsigned>(d.m_dw2));
            Note(text);
        }
        return S_OK;
    }
    LONG GetChannelBank(int ch) override { return bank[ch]; }
    int GetChannelPatch(int ch) override { return patch[ch]; }
    HRESULT SetChannelBank(int ch, LONG b) override
    {
        bank[ch] = b;
        return S_OK;
    }
    HRESULT SetChannelPatch(int ch, int p) override
    {
        patch[ch] = p == -1 ? 255 : p;
        return S_OK;
    }
    // A synth with a bank list answers `banks`; one without, E_NOTIMPL.
    HRESULT GetBankList(int, std::vector<LONG>* list) override
    {
        if (!hasBankList)
            return E_NOTIMPL;
        *list = banks;
        return S_OK;
    }
    HRESULT SetClipsPlaying(BOOL on) override { clipsPlaying = on; return S_OK; }
    HRESULT SetClipsRecording(BOOL on) override { clipsRecording = on; return S_OK; }

    HRESULT Note(const std::string& what)
    {
        log.push_back(what);
        return S_OK;
    }
    std::vector<std::string> log;
    LONG bank[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    int patch[16] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    bool hasBankList = false;
    std::vector<LONG> banks;
    BOOL clipsPlaying = FALSE;
    BOOL clipsRecording = FALSE;
    // Hand-overs to refuse as a synth whose lock another thread holds.
    int busyHandOvers = 0;
    // Live hand-overs refused on the audio thread as by a synth whose lock
    // another thread holds.
    int busyLiveHandOvers = 0;
};

struct SynthLog {
    int made = 0;
    int destroyed = 0;
};

// A synth wrapper whose filter is a null synth of `outputs` outputs. Its
// saved form is its name, output count and instance number.
class ChannelSynth final : public ISynthWrap, public ISynthNameLists {
public:
    ChannelSynth(CDxFilterGraph* graph, std::string name, int outputs, SynthLog* log)
        : m_graph(graph), m_name(std::move(name)), m_outputs(outputs), m_log(log), m_persist(this)
    {
        static DWORD serial = 1;
        m_instance = serial++;
        if (m_log)
            ++m_log->made;
    }
    ~ChannelSynth() override
    {
        if (m_filter)
            m_filter->Release();
        if (m_log)
            ++m_log->destroyed;
    }
    IBaseFilter* GetFilter() override { return m_filter; }
    HRESULT CreateFilter() override
    {
        if (m_filter)
            return S_OK;
        return CNullSynth::Create(m_graph, m_outputs, &m_filter);
    }
    IUnknown* GetPlugIn() override { return m_filter ? static_cast<IBaseFilter*>(m_filter) : nullptr; }
    ISynthNameLists* GetNameLists() override { return this; }
    // One controller: 7, "Volume"; with parameterNumbers, NRPN 0x81
    // "Cutoff" and RPN 0 "Bend range" after it.
    HRESULT GetNames(List list, std::vector<SynthName>* names) override
    {
        if (list == kControllers)
            names->push_back({7, "Volume"});
        if (list == kNrpn && parameterNumbers)
            names->push_back({0x81, "Cutoff"});
        if (list == kRpn && parameterNumbers)
            names->push_back({0, "Bend range"});
        return S_OK;
    }
    static inline bool parameterNumbers = false;
    GUID GetClsid() override { return kSynthClass; }
    GUID GetInstanceGuid() override { return {m_instance, 1, 1, {1, 1, 1, 1, 1, 1, 1, 1}}; }
    BOOL IsLoopClipPlayer() override { return clipHost != nullptr; }
    ILoopClipHost* GetLoopClipHost() override { return clipHost; }
    int GetOutputCount() override { return m_outputs; }
    void SetConnected(BOOL c) override { connected = c; }
    IPersistStreamInit* GetPersist() override { return &m_persist; }
    CString GetDisplayName() override { return CString(m_name.c_str()); }
    HRESULT RemoveFromGraph() override
    {
        if (m_filter)
            m_graph->RemoveFilter(m_filter);
        return S_OK;
    }

    ISynthPlayer* GetPlayer() override { return player; }

    ClipHost* clipHost = nullptr;
    CapturePlayer* player = nullptr;
    BOOL connected = FALSE;
    // A load takes this many outputs instead of the saved count (a synth
    // that offers fewer outputs than when it was saved).
    int loadOutputs = 0;

private:
    class Persist : public CKelPersistObject {
    public:
        explicit Persist(ChannelSynth* s) : CKelPersistObject(0x70050000), m_s(s) {}
        STDMETHODIMP PersistChunk(DWORD, CKelPersistArchive* archive) override
        {
            CString name(m_s->m_name.c_str());
            HRESULT hr = archive->PersistString(&name);
            if (FAILED(hr))
                return hr;
            DWORD outputs = static_cast<DWORD>(m_s->m_outputs);
            if (FAILED(hr = archive->PersistBytes(sizeof(outputs), &outputs)) ||
                FAILED(hr = archive->PersistBytes(sizeof(m_s->m_instance), &m_s->m_instance)))
                return hr;
            if (!archive->IsSaving()) {
                if (outputs < 1 || outputs > 16)
                    return E_FAIL;
                m_s->m_name = name.GetString();
                m_s->m_outputs = m_s->loadOutputs > 0 ? m_s->loadOutputs : static_cast<int>(outputs);
            }
            return S_OK;
        }
        ChannelSynth* m_s;
    };

    CDxFilterGraph* m_graph;
    std::string m_name;
    int m_outputs;
    SynthLog* m_log;
    Persist m_persist;
    DWORD m_instance = 0;
    CNullSynth* m_filter = nullptr;
};

// The song document as channels see it. Channels added to `channels` take
// part in solo.
class ChannelDoc final : public ForwardingMixerDoc<IChannelDocument>, public ISynthWrapFactory {
public:
    explicit ChannelDoc(CDxFilterGraph* g) : ForwardingMixerDoc(g) {}

    int GetChannelPosition(const CControlParamSet* set) override
    {
        for (std::size_t i = 0; i < channels.size(); ++i) {
            if (channels[i] == set)
                return static_cast<int>(i) + 1;
        }
        return 0;
    }

    // ---- IChannelDocument ----
    BOOL IsNoChannelSoloed() override
    {
        for (CChannel* c : channels) {
            for (int n = 0; n < c->GetOutputCount(); ++n) {
                if (c->IsOutputSoloed(n))
                    return FALSE;
            }
        }
        return TRUE;
    }
    HRESULT UpdateSoloMutes() override
    {
        for (CChannel* c : channels) {
            HRESULT hr = c->ApplySoloMute();
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    }
    void InvalidateMuteState() override { ++muteInvalidations; }
    HRESULT SetChannelParam(WORD channelId, DWORD id, float value) override
    {
        log.push_back("set " + std::to_string(channelId) + " " + std::to_string(id) + " " + std::to_string(value));
        return S_OK;
    }
    HRESULT RecordParamValue(DWORD id, WORD channelId, float) override
    {
        log.push_back("record " + std::to_string(id) + " " + std::to_string(channelId));
        return recordResult;
    }
    HRESULT BeginParamTouch(DWORD id, WORD channelId) override
    {
        log.push_back("begin " + std::to_string(id) + " " + std::to_string(channelId));
        return S_OK;
    }
    HRESULT EndParamTouch(DWORD id, WORD channelId) override
    {
        log.push_back("end " + std::to_string(id) + " " + std::to_string(channelId));
        return S_OK;
    }
    HRESULT AcquireSourceFilter(IBaseFilter** out) override
    {
        if (source == nullptr)
            return E_FAIL;
        source->AddRef();
        *out = source;
        return S_OK;
    }
    ISynthWrapFactory* GetSynthWrapFactory() override { return this; }
    HRESULT ShowSynthPropertyPage(ISynthWrap*, const CString& title) override
    {
        log.push_back(std::string("show ") + title.GetString());
        return S_OK;
    }
    HRESULT CloseSynthPropertyPage(ISynthWrap*) override { return S_OK; }
    void ShowMessageBox(const CString& text) override { messages.push_back(text.GetString()); }
    double GetShuffleAmount() override { return 0.0; }
    HRESULT CreateMfxWrap(REFCLSID, const char*, IMfxFilterWrap**) override { return E_NOTIMPL; }
    HRESULT UpdateStepPreview() override { return S_OK; }
    HRESULT ShowMfxPropertyPage(IMfxFilterWrap*, HWND) override { return S_OK; }
    HRESULT CloseMfxPropertyPage(IMfxFilterWrap*) override { return S_OK; }
    BOOL IsPlaying() override { return playing; }
    BOOL IsRecording() override { return recording; }
    BOOL IsCountInOn() override { return FALSE; }
    BOOL IsNoChannelArmed() override
    {
        for (CChannel* c : channels) {
            if (c->IsArmed())
                return FALSE;
        }
        return TRUE;
    }
    HRESULT DisarmAllChannels() override
    {
        for (CChannel* c : channels)
            c->SetArmed(0);
        return S_OK;
    }
    void OnArmChanged() override { ++armChanges; }
    DWORD GetMidiInputPortCount() override { return 4; }
    DWORD GetRewirePortIndex() override { return rewirePort; }
    LONG GetTransportNow() override { return now; }
    void TriggerMidiMeter(WORD) override { ++meterTriggers; }

    // ---- ISynthWrapFactory ----
    HRESULT CreateSynthWrap(REFCLSID clsid, const char* name, ISynthWrap** wrap) override
    {
        made.push_back(clsid);
        if (FAILED(factoryResult))
            return factoryResult;
        auto* synth = new ChannelSynth(mixer.graph, name ? name : "", nextOutputs, &synthLog);
        synth->clipHost = nextClipHost;
        synth->loadOutputs = loadOutputs;
        *wrap = synth;
        return factoryResult;
    }

    std::vector<CChannel*> channels;
    IBaseFilter* source = nullptr;
    HRESULT factoryResult = S_OK;
    HRESULT recordResult = S_OK;
    int nextOutputs = 1;
    int loadOutputs = 0;
    ClipHost* nextClipHost = nullptr;
    std::vector<GUID> made;
    SynthLog synthLog;
    int muteInvalidations = 0;
    DWORD rewirePort = CChannel::kNoPort;
    LONG now = 0;
    BOOL playing = FALSE;
    BOOL recording = FALSE;
    int meterTriggers = 0;
    int armChanges = 0;
    std::vector<std::string> log;
    std::vector<std::string> messages;
};

}  // namespace chantest
