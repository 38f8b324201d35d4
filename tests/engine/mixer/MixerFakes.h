// Stand-ins for what the mixer's effect chains and output branches talk to:
// the song document (graph-dirty marks, keep-alive set, error list, wrapper
// factory, bus mixer inputs), the channel that owns a branch, an effect
// wrapper around a real filter of the engine graph that scales each block by
// its gain, and a description of a graph's filters and connections by name.
#pragma once

#include <future>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../graph/InPlaceFilter.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/mixer/CControlParamSet.h"
#include "engine/mixer/IFxWrap.h"
#include "engine/mixer/IMixerDocument.h"
#include "engine/mixer/IOutputBranchOwner.h"
#include "engine/mixer/IChannelVectOwner.h"
#include "engine/mixer/ISynthWrap.h"
#include "model/CKelPersistArchive.h"
#include "model/CKelPersistObject.h"
#include "platform/media/MediaParams.h"
#include "platform/win/WideString.h"

namespace mixertest {

constexpr GUID kFxClass = {0x44444444, 0, 0, {0, 0, 0, 0, 0, 0, 0, 4}};

// The effect's plug-in filter: scales every sample by its gain; offers the
// editor-callback interface when asked to.
class FxFilter : public mvtest::InPlaceFilter, public IMediaParamsSetUICallback {
public:
    explicit FxFilter(float gain)
        : InPlaceFilter([this](float* p, int n) {
              for (int i = 0; i < n; ++i)
                  p[i] *= this->gain;
          }),
          gain(gain)
    {
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IMediaParamsSetUICallback && offersCallback)
            return AnswerFromTable(riid, ppv, {{&IID_IMediaParamsSetUICallback,
                                                static_cast<IMediaParamsSetUICallback*>(this)}});
        return InPlaceFilter::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP SetUICallback(IMediaParamsUICallback* cb) override
    {
        if (failSetCallback && cb)
            return E_FAIL;
        callback = cb;
        return S_OK;
    }

    // Without its input pin nothing can connect to it.
    int GetPinCount() override { return noInput ? 1 : 2; }
    CBasePin* GetPin(int n) override
    {
        if (noInput)
            return n == 0 ? &Out() : nullptr;
        return InPlaceFilter::GetPin(n);
    }

    float gain;
    bool noInput = false;
    bool offersCallback = false;
    bool failSetCallback = false;
    IMediaParamsUICallback* callback = nullptr;
};

struct FxLog {
    int loads = 0;
    int unloads = 0;
    int destroyed = 0;
    std::vector<std::string> transport;
};

// An effect wrapper as the hosting layer's: its own 2x2 merge switch, a
// plug-in filter made on load and released on unload, the flags, and a saved
// form of name, gain and bypass.
class FakeFx final : public IFxWrap {
public:
    FakeFx(CDxFilterGraph* graph, std::string name, float gain, FxLog* log)
        : m_name(std::move(name)), m_gain(gain), m_log(log), m_persist(this)
    {
        EXPECT_EQ(S_OK, CMergeSwitch::Create(graph, 2, 2, &m_switch));
        m_graph = graph;
        static unsigned serial = 1;
        m_instance = {serial++, 0x77, 0x77, {1, 2, 3, 4, 5, 6, 7, 8}};
    }
    ~FakeFx() override
    {
        Unload();
        if (m_switch)
            m_switch->Release();
        if (m_log)
            ++m_log->destroyed;
    }
    IBaseFilter* GetFilter() override { return m_filter; }
    FxFilter* Plug() { return m_filter; }
    CMergeSwitch* GetSwitch() override { return m_switch; }
    HRESULT Load() override
    {
        if (m_filter)
            return E_UNEXPECTED;
        if (failLoad)
            return E_FAIL;
        m_filter = new FxFilter(m_gain);
        m_filter->AddRef();
        m_filter->offersCallback = offersCallback;
        m_filter->failSetCallback = failSetCallback;
        if (m_log)
            ++m_log->loads;
        return S_OK;
    }
    HRESULT Unload() override
    {
        if (m_filter) {
            m_filter->Release();
            m_filter = nullptr;
            if (m_log)
                ++m_log->unloads;
        }
        return S_OK;
    }
    BOOL IsBypassed() override { return m_bypass; }
    HRESULT SetBypass(BOOL bypass) override
    {
        m_bypass = bypass;
        m_switch->SetSelectedOutput(bypass ? 1 : 0);
        m_switch->SetSwitchTarget(bypass ? 0 : -1);
        if (!bypass)
            m_switch->SetResume(TRUE);
        return S_OK;
    }
    BOOL IsConnectable() override { return m_connectable; }
    void SetConnectable(BOOL c) override { m_connectable = c; }
    BOOL IsPlaceholder() override { return placeholder; }
    GUID GetClsid() override { return kFxClass; }
    GUID GetInstanceGuid() override { return m_instance; }
    CString GetDisplayName() override
    {
        CString s;
        s.Format(m_filter ? "%s" : "(%s)", m_name.c_str());
        return s;
    }
    HRESULT Clone(IFxWrap** clone) override
    {
        if (failClone)
            return E_FAIL;
        auto* c = new FakeFx(m_graph, m_name, m_gain, m_log);
        c->m_bypass = m_bypass;
        *clone = c;
        return S_OK;
    }
    IPersistStreamInit* GetPersist() override { return &m_persist; }
    HRESULT SynthStart(LONGLONG t) override { return Note("start", t); }
    HRESULT SynthAdvance(LONGLONG a, LONGLONG b) override { return Note("loop", a, b); }
    HRESULT SynthStop(LONGLONG t) override { return Note("stop", t); }

    bool failLoad = false;
    bool failClone = false;
    bool offersCallback = false;
    bool failSetCallback = false;
    bool placeholder = false;
    bool softSynth = false;
    float Gain() const { return m_gain; }
    const std::string& Name() const { return m_name; }

private:
    HRESULT Note(const char* what, LONGLONG a, LONGLONG b = -1)
    {
        if (!softSynth)
            return S_FALSE;
        std::string s = m_name + " " + what + " " + std::to_string(a);
        if (b >= 0)
            s += " " + std::to_string(b);
        m_log->transport.push_back(s);
        return S_OK;
    }
    class Persist : public CKelPersistObject {
    public:
        explicit Persist(FakeFx* w) : CKelPersistObject(0x70030000), m_w(w) {}
        STDMETHODIMP PersistChunk(DWORD, CKelPersistArchive* archive) override
        {
            CString name(m_w->m_name.c_str());
            HRESULT hr = archive->PersistString(&name);
            if (FAILED(hr))
                return hr;
            m_w->m_name = name.GetString();
            if (FAILED(hr = archive->PersistBytes(sizeof(m_w->m_gain), &m_w->m_gain)))
                return hr;
            return archive->PersistBytes(sizeof(m_w->m_bypass), &m_w->m_bypass);
        }
        FakeFx* m_w;
    };

    std::string m_name;
    float m_gain;
    FxLog* m_log;
    Persist m_persist;
    CDxFilterGraph* m_graph = nullptr;
    CMergeSwitch* m_switch = nullptr;
    FxFilter* m_filter = nullptr;
    BOOL m_bypass = FALSE;
    BOOL m_connectable = TRUE;
    GUID m_instance{};
};

// A mixer object's parameter set, named for undo texts.
class FakeParamOwner final : public CControlParamSet {
public:
    explicit FakeParamOwner(IParamSetDocument* doc) : CControlParamSet(doc, &lock) {}
    HRESULT FormatValue(DWORD, float, CString*) override { return E_NOTIMPL; }
    HRESULT SetParamValueFromUser(DWORD id, double v) override { return SetParamValue(id, static_cast<float>(v)); }
    HRESULT GetGroupName(CString* name, const GroupKey&) override
    {
        *name = "Group";
        return S_OK;
    }
    HRESULT GetParamTarget(DWORD, DWORD*, GUID*, GUID*, IMediaParams**) override { return S_FALSE; }
    CString GetDisplayName() override { return "Bass"; }
    CHeapCriticalSection lock;
};

// The song document and engine owner as the mixer sees them.
class FakeMixerDoc : public IMixerDocument, public IOutputBranchOwner {
public:
    explicit FakeMixerDoc(CDxFilterGraph* g) : graph(g), params(this) {}
    virtual ~FakeMixerDoc() { ReleaseKept(); }
    // The rebuild's first step: what left the graph's chains is taken out
    // of the graph, then let go.
    void FlushKept()
    {
        for (IUnknown* u : kept) {
            IBaseFilter* f = nullptr;
            if (SUCCEEDED(u->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&f)))) {
                graph->RemoveFilter(f);
                f->Release();
            }
        }
        ReleaseKept();
    }
    void ReleaseKept()
    {
        for (IUnknown* u : kept)
            u->Release();
        kept.clear();
    }

    // ICommandDocument, IParamSetDocument
    HRESULT RecalcSongLength() override { return S_OK; }
    HRESULT ResetInstanceCursors(SHORT) override { return S_OK; }
    HRESULT RefreshActiveSelection() override { return S_OK; }
    SHORT GetActiveContainer() override { return kNoId; }
    HRESULT SetActiveContainer(SHORT, BOOL, CMvCommand*) override { return S_OK; }
    int GetChannelPosition(const CControlParamSet*) override { return 1; }
    HRESULT RunRemoteControlDialog(CRCContainer*, DWORD, const char*, LONG, LONG) override { return S_OK; }
    HRESULT CreateRCParam(CControlParamSet*, REFGUID, REFGUID, IRCParam**) override { return E_NOTIMPL; }
    void PostToMainWindow(UINT, WPARAM, LPARAM) override {}
    IMfxTimeConverter* GetTimeConverter() override { return nullptr; }

    // IMixerDocument
    HRESULT SetGraphDirty() override
    {
        ++dirtyMarks;
        return S_OK;
    }
    HRESULT KeepObjectAlive(IUnknown* object) override
    {
        object->AddRef();
        kept.push_back(object);
        return S_OK;
    }
    CDxFilterGraph* GetFilterGraph() override { return graph; }
    void AddErrorMessage(const CString& text) override { errors.push_back(text.GetString()); }
    HRESULT CreateFxWrap(REFCLSID clsid, const char* name, IFxWrap** wrap) override
    {
        // A class makes its plug-in at once; an empty wrapper waits for its
        // saved state.
        auto* fx = new FakeFx(graph, name ? name : "", nextGain, &log);
        if (clsid != GUID_NULL)
            fx->Load();
        *wrap = fx;
        return S_OK;
    }
    HRESULT ShowFxPropertyPage(IFxWrap*, HWND) override { return S_OK; }
    HRESULT CloseFxPropertyPage(IFxWrap* wrap) override
    {
        closed.push_back(wrap);
        return S_OK;
    }
    void SetModifiedFlag() override { ++modified; }
    IPin* GetMainBusMixInPin() override { return mainIn; }
    IPin* GetAuxBusMixInPin(int aux) override { return aux >= 0 && aux < 4 ? auxIn[aux] : nullptr; }
    HRESULT RefreshAuxBusRouting(int aux) override
    {
        auxRefreshes.push_back(aux);
        return S_OK;
    }

    // IOutputBranchOwner
    SHORT GetChannelId() override { return channelId; }
    CControlParamSet* GetParamSet() override { return &params; }
    IUnknown* GetChannelObject(LONG) override { return nullptr; }

    CDxFilterGraph* graph;
    FakeParamOwner params;
    SHORT channelId = 7;
    float nextGain = 1.0f;
    FxLog log;
    int dirtyMarks = 0;
    int modified = 0;
    std::vector<IUnknown*> kept;
    std::vector<std::string> errors;
    std::vector<IFxWrap*> closed;
    std::vector<int> auxRefreshes;
    IPin* mainIn = nullptr;
    IPin* auxIn[4] = {};
};

// A document interface built on IMixerDocument whose mixer part forwards to
// a FakeMixerDoc; the derived fake adds the rest.
template <class Base>
class ForwardingMixerDoc : public Base {
public:
    explicit ForwardingMixerDoc(CDxFilterGraph* g) : mixer(g) {}

    // ---- ICommandDocument, IParamSetDocument ----
    HRESULT RecalcSongLength() override { return S_OK; }
    HRESULT ResetInstanceCursors(SHORT) override { return S_OK; }
    HRESULT RefreshActiveSelection() override { return S_OK; }
    SHORT GetActiveContainer() override { return ICommandDocument::kNoId; }
    HRESULT SetActiveContainer(SHORT, BOOL, CMvCommand*) override { return S_OK; }
    int GetChannelPosition(const CControlParamSet*) override { return 0; }
    HRESULT RunRemoteControlDialog(CRCContainer*, DWORD, const char*, LONG, LONG) override { return S_OK; }
    HRESULT CreateRCParam(CControlParamSet*, REFGUID, REFGUID, IRCParam**) override { return E_NOTIMPL; }
    void PostToMainWindow(UINT, WPARAM, LPARAM) override {}
    IMfxTimeConverter* GetTimeConverter() override { return timeConverter; }

    // ---- IMixerDocument ----
    HRESULT SetGraphDirty() override { return mixer.SetGraphDirty(); }
    HRESULT KeepObjectAlive(IUnknown* object) override { return mixer.KeepObjectAlive(object); }
    CDxFilterGraph* GetFilterGraph() override { return mixer.graph; }
    void AddErrorMessage(const CString& text) override { mixer.AddErrorMessage(text); }
    HRESULT CreateFxWrap(REFCLSID clsid, const char* name, IFxWrap** wrap) override
    {
        return mixer.CreateFxWrap(clsid, name, wrap);
    }
    HRESULT ShowFxPropertyPage(IFxWrap* wrap, HWND parent) override { return mixer.ShowFxPropertyPage(wrap, parent); }
    HRESULT CloseFxPropertyPage(IFxWrap* wrap) override { return mixer.CloseFxPropertyPage(wrap); }
    void SetModifiedFlag() override {}
    IPin* GetMainBusMixInPin() override { return mixer.GetMainBusMixInPin(); }
    IPin* GetAuxBusMixInPin(int aux) override { return mixer.GetAuxBusMixInPin(aux); }
    HRESULT RefreshAuxBusRouting(int aux) override { return mixer.RefreshAuxBusRouting(aux); }

    FakeMixerDoc mixer;
    IMfxTimeConverter* timeConverter = nullptr;
};

inline std::string FilterNameOf(IBaseFilter* f)
{
    FILTER_INFO info{};
    if (FAILED(f->QueryFilterInfo(&info)))
        return "?";
    if (info.pGraph)
        info.pGraph->Release();
    return mvwin::Utf16ToUtf8(std::u16string_view(info.achName, mvwin::WideLength(info.achName)));
}

// The index of a pin among its filter's pins of the same direction.
inline int PinIndexOf(IPin* pin)
{
    PIN_INFO info{};
    pin->QueryPinInfo(&info);
    for (int n = 0;; ++n) {
        IPin* p = info.dir == PINDIR_OUTPUT ? CDxFilterGraph::FindOutputPin(info.pFilter, n)
                                            : CDxFilterGraph::FindInputPin(info.pFilter, n);
        if (p == nullptr || p == pin) {
            info.pFilter->Release();
            return p ? n : -1;
        }
    }
}

inline IBaseFilter* OwnerOf(IPin* pin)
{
    PIN_INFO info{};
    pin->QueryPinInfo(&info);
    info.pFilter->Release();
    return info.pFilter;
}

// The filters in the graph by name, and every connection as
// "from:out -> to:in". The graph lists no filters, so the names the mixer
// may give (for channel and container 7) are looked up one by one.
struct Topology {
    std::set<std::string> filters;
    std::set<std::string> edges;
};

inline std::vector<std::string> CandidateNames()
{
    std::vector<std::string> names = {"src", "Render", "MainMix", "Container7 MSMain", "Container7 MSFinal",
                                      "Container7 BufMatcher", "Container7 MSLastFx", "Chan7 VolPan",
                                      "Chan7 AuxTee", "Chan7 DXi"};
    for (int i = 0; i < 8; ++i) {
        names.push_back("Container7 MS" + std::to_string(i));
        names.push_back("Container7 Fx" + std::to_string(i));
        names.push_back("Chan7 AuxSnd" + std::to_string(i));
        names.push_back("AuxMix" + std::to_string(i));
    }
    return names;
}

inline Topology Describe(CDxFilterGraph* graph)
{
    Topology t;
    for (const std::string& name : CandidateNames()) {
        IBaseFilter* f = nullptr;
        const std::u16string wide = mvwin::Utf8ToUtf16(name);
        if (graph->GetGraph()->FindFilterByName(wide.c_str(), &f) != S_OK)
            continue;
        t.filters.insert(name);
        for (int n = 0;; ++n) {
            IPin* out = CDxFilterGraph::FindOutputPin(f, n);
            if (out == nullptr)
                break;
            IPin* peer = nullptr;
            if (out->ConnectedTo(&peer) == S_OK && peer) {
                t.edges.insert(name + ":" + std::to_string(n) + " -> " + FilterNameOf(OwnerOf(peer)) + ":" +
                               std::to_string(PinIndexOf(peer)));
                peer->Release();
            }
        }
        f->Release();
    }
    return t;
}

}  // namespace mixertest

namespace mixertest {

// A channel as its synth and output vectors see it: notes every upkeep call
// and whether its lock was held then.
class FakeVectOwner final : public IChannelVectOwner {
public:
    explicit FakeVectOwner(CControlParamSet* set) : params(set) {}
    CHeapCriticalSection* GetSynthOutputLock() override { return &lock; }
    HRESULT MarkGraphDirty() override { return Note("dirty"); }
    HRESULT OnRoutingChanged() override { return Note("routing"); }
    HRESULT BuildOutputParams() override { return Note("outputParams"); }
    HRESULT RefreshChannelParams() override { return Note("refresh"); }
    int GetCurrentOutput() override { return current; }
    HRESULT SetCurrentOutput(int n) override
    {
        current = n;
        return Note("current");
    }
    HRESULT RegisterAllLoopClips() override { return Note("clips"); }
    CControlParamSet* GetParamSet() override { return params; }
    HRESULT NotifySynthChanged(IUnknown* f) override { return Note(f ? "synth" : "synth none"); }
    HRESULT KeepObjectAlive(IUnknown* o) override
    {
        o->AddRef();
        kept.push_back(o);
        return Note("keep");
    }
    HRESULT CloseSynthPropertyPage(ISynthWrap*) override { return Note("close"); }
    ~FakeVectOwner()
    {
        for (IUnknown* u : kept)
            u->Release();
    }

    HRESULT Note(const char* what)
    {
        log.push_back(what);
        // The upkeep runs with the channel's lock still held: another thread
        // cannot take it meanwhile.
        const bool free = std::async(std::launch::async, [this] {
                              const bool got = lock.TryLock();
                              if (got)
                                  lock.Unlock();
                              return got;
                          }).get();
        if (free)
            unlockedCalls.push_back(what);
        return S_OK;
    }

    CHeapCriticalSection lock;
    CControlParamSet* params;
    int current = 0;
    std::vector<std::string> log;
    std::vector<std::string> unlockedCalls;
    std::vector<IUnknown*> kept;
};

// A soft synth whose filter (made on CreateFilter) is also its plug-in.
class FakeSynth final : public ISynthWrap, public ISynthNameLists {
public:
    explicit FakeSynth(int* destroyed = nullptr) : m_destroyed(destroyed) {}
    ~FakeSynth() override
    {
        if (m_filter)
            m_filter->Release();
        if (m_destroyed)
            ++*m_destroyed;
    }
    IBaseFilter* GetFilter() override { return m_filter; }
    HRESULT CreateFilter() override
    {
        if (failCreate)
            return E_OUTOFMEMORY;
        m_filter = new FxFilter(1.0f);
        m_filter->AddRef();
        m_filter->offersCallback = offersCallback;
        m_filter->failSetCallback = failSetCallback;
        return S_OK;
    }
    IUnknown* GetPlugIn() override { return m_filter ? static_cast<IBaseFilter*>(m_filter) : nullptr; }
    ISynthNameLists* GetNameLists() override { return this; }
    HRESULT GetNames(List, std::vector<SynthName>*) override { return S_OK; }
    GUID GetClsid() override { return kFxClass; }
    GUID GetInstanceGuid() override { return {0x5151, 1, 1, {1, 1, 1, 1, 1, 1, 1, 1}}; }
    BOOL IsLoopClipPlayer() override { return loopClips; }
    ILoopClipHost* GetLoopClipHost() override { return nullptr; }
    int GetOutputCount() override { return 1; }
    void SetConnected(BOOL) override {}
    IPersistStreamInit* GetPersist() override { return nullptr; }
    CString GetDisplayName() override { return "Synth"; }
    HRESULT RemoveFromGraph() override
    {
        ++removedFromGraph;
        return S_OK;
    }
    FxFilter* Plug() { return m_filter; }

    bool failCreate = false;
    bool offersCallback = false;
    bool failSetCallback = false;
    BOOL loopClips = FALSE;
    int removedFromGraph = 0;

private:
    int* m_destroyed;
    FxFilter* m_filter = nullptr;
};

}  // namespace mixertest
