// A channel's saved chunks from arbitrary bytes: its parameter set, synth
// (or the empty chunk of no synth), output branches with their effect
// chains, timeline, per-output values, automation pattern, MIDI-effect chain
// and live-input settings. A load must fail cleanly or give a channel whose
// saved form loads again into the same synth and outputs; every wrapper
// made is freed exactly once.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/mixer/CChannel.h"
#include "engine/mixer/IChannelDocument.h"
#include "engine/mixer/ISynthWrapFactory.h"
#include "model/CKelPersistArchive.h"
#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"

namespace {

// A graph of each input's own: a channel that is destroyed without the
// document's teardown leaves its chain's filters in the graph, and a graph
// shared across inputs would grow with every run.
CDxFilterGraph* g_graph = nullptr;

CDxFilterGraph* Graph() { return g_graph; }

int g_live = 0;

// An effect whose plug-in could not be made: its saved form is its name.
class FuzzFx final : public IFxWrap {
public:
    FuzzFx() : m_persist(this)
    {
        CMergeSwitch::Create(Graph(), 2, 2, &m_switch);
        ++g_live;
    }
    ~FuzzFx() override
    {
        if (m_switch)
            m_switch->Release();
        --g_live;
    }
    IBaseFilter* GetFilter() override { return nullptr; }
    CMergeSwitch* GetSwitch() override { return m_switch; }
    HRESULT Load() override { return S_FALSE; }
    HRESULT Unload() override { return S_OK; }
    BOOL IsBypassed() override { return FALSE; }
    HRESULT SetBypass(BOOL b) override { return m_switch ? m_switch->SetSelectedOutput(b ? 1 : 0) : E_FAIL; }
    BOOL IsConnectable() override { return TRUE; }
    void SetConnectable(BOOL) override {}
    BOOL IsPlaceholder() override { return TRUE; }
    GUID GetClsid() override { return GUID_NULL; }
    GUID GetInstanceGuid() override { return GUID_NULL; }
    CString GetDisplayName() override { return m_name; }
    HRESULT Clone(IFxWrap**) override { return E_NOTIMPL; }
    IPersistStreamInit* GetPersist() override { return &m_persist; }
    HRESULT SynthStart(LONGLONG) override { return S_FALSE; }
    HRESULT SynthAdvance(LONGLONG, LONGLONG) override { return S_FALSE; }
    HRESULT SynthStop(LONGLONG) override { return S_FALSE; }

private:
    class Persist : public CKelPersistObject {
    public:
        explicit Persist(FuzzFx* w) : CKelPersistObject(0x70030000), m_w(w) {}
        STDMETHODIMP PersistChunk(DWORD, CKelPersistArchive* archive) override
        {
            return archive->PersistString(&m_w->m_name);
        }
        FuzzFx* m_w;
    };
    CString m_name;
    CMergeSwitch* m_switch = nullptr;
    Persist m_persist;
};

// A synth whose plug-in could not be made: its saved form is its name, its
// output count (1..16) and an instance number.
class FuzzSynth final : public ISynthWrap {
public:
    FuzzSynth() : m_persist(this) { ++g_live; }
    ~FuzzSynth() override { --g_live; }
    IBaseFilter* GetFilter() override { return nullptr; }
    HRESULT CreateFilter() override { return E_FAIL; }
    IUnknown* GetPlugIn() override { return nullptr; }
    ISynthNameLists* GetNameLists() override { return nullptr; }
    GUID GetClsid() override { return CLSID_NoSynth; }
    GUID GetInstanceGuid() override { return GUID_NULL; }
    BOOL IsLoopClipPlayer() override { return FALSE; }
    ILoopClipHost* GetLoopClipHost() override { return nullptr; }
    int GetOutputCount() override { return static_cast<int>(m_outputs); }
    void SetConnected(BOOL) override {}
    IPersistStreamInit* GetPersist() override { return &m_persist; }
    CString GetDisplayName() override { return m_name; }
    HRESULT RemoveFromGraph() override { return S_OK; }

private:
    class Persist : public CKelPersistObject {
    public:
        explicit Persist(FuzzSynth* s) : CKelPersistObject(0x70050000), m_s(s) {}
        STDMETHODIMP PersistChunk(DWORD, CKelPersistArchive* archive) override
        {
            HRESULT hr = archive->PersistString(&m_s->m_name);
            if (FAILED(hr) || FAILED(hr = archive->PersistBytes(sizeof(m_s->m_outputs), &m_s->m_outputs)) ||
                FAILED(hr = archive->PersistBytes(sizeof(m_s->m_instance), &m_s->m_instance)))
                return hr;
            return m_s->m_outputs >= 1 && m_s->m_outputs <= 16 ? S_OK : E_FAIL;
        }
        FuzzSynth* m_s;
    };
    CString m_name;
    DWORD m_outputs = 1;
    DWORD m_instance = 0;
    Persist m_persist;
};

class FuzzDoc final : public IChannelDocument, public ISynthWrapFactory {
public:
    HRESULT RecalcSongLength() override { return S_OK; }
    HRESULT ResetInstanceCursors(SHORT) override { return S_OK; }
    HRESULT RefreshActiveSelection() override { return S_OK; }
    SHORT GetActiveContainer() override { return kNoId; }
    HRESULT SetActiveContainer(SHORT, BOOL, CMvCommand*) override { return S_OK; }
    int GetChannelPosition(const CControlParamSet*) override { return 0; }
    HRESULT RunRemoteControlDialog(CRCContainer*, DWORD, const char*, LONG, LONG) override { return S_OK; }
    HRESULT CreateRCParam(CControlParamSet*, REFGUID, REFGUID, IRCParam**) override { return E_NOTIMPL; }
    void PostToMainWindow(UINT, WPARAM, LPARAM) override {}
    IMfxTimeConverter* GetTimeConverter() override { return nullptr; }
    HRESULT SetGraphDirty() override { return S_OK; }
    HRESULT KeepObjectAlive(IUnknown*) override { return S_OK; }
    CDxFilterGraph* GetFilterGraph() override { return Graph(); }
    void AddErrorMessage(const CString&) override {}
    HRESULT CreateFxWrap(REFCLSID, const char*, IFxWrap** wrap) override
    {
        *wrap = new FuzzFx();
        return S_OK;
    }
    HRESULT ShowFxPropertyPage(IFxWrap*, HWND) override { return S_OK; }
    HRESULT CloseFxPropertyPage(IFxWrap*) override { return S_OK; }
    void SetModifiedFlag() override {}
    IPin* GetMainBusMixInPin() override { return nullptr; }
    IPin* GetAuxBusMixInPin(int) override { return nullptr; }
    HRESULT RefreshAuxBusRouting(int) override { return S_OK; }
    BOOL IsNoChannelSoloed() override { return TRUE; }
    HRESULT UpdateSoloMutes() override { return S_OK; }
    void InvalidateMuteState() override {}
    HRESULT SetChannelParam(WORD, DWORD, float) override { return S_OK; }
    HRESULT RecordParamValue(DWORD, WORD, float) override { return S_OK; }
    HRESULT BeginParamTouch(DWORD, WORD) override { return S_OK; }
    HRESULT EndParamTouch(DWORD, WORD) override { return S_OK; }
    HRESULT AcquireSourceFilter(IBaseFilter**) override { return E_FAIL; }
    ISynthWrapFactory* GetSynthWrapFactory() override { return this; }
    HRESULT ShowSynthPropertyPage(ISynthWrap*, const CString&) override { return S_OK; }
    HRESULT CloseSynthPropertyPage(ISynthWrap*) override { return S_OK; }
    void ShowMessageBox(const CString&) override {}
    double GetShuffleAmount() override { return 0.0; }
    HRESULT CreateMfxWrap(REFCLSID, const char*, IMfxFilterWrap**) override { return E_NOTIMPL; }
    HRESULT UpdateStepPreview() override { return S_OK; }
    HRESULT ShowMfxPropertyPage(IMfxFilterWrap*, HWND) override { return S_OK; }
    HRESULT CloseMfxPropertyPage(IMfxFilterWrap*) override { return S_OK; }
    BOOL IsPlaying() override { return FALSE; }
    BOOL IsRecording() override { return FALSE; }
    BOOL IsCountInOn() override { return FALSE; }
    BOOL IsNoChannelArmed() override { return TRUE; }
    HRESULT DisarmAllChannels() override { return S_OK; }
    void OnArmChanged() override {}
    DWORD GetMidiInputPortCount() override { return 0; }
    DWORD GetRewirePortIndex() override { return CChannel::kNoPort; }
    LONG GetTransportNow() override { return 0; }
    void TriggerMidiMeter(WORD) override {}
    HRESULT CreateSynthWrap(REFCLSID, const char*, ISynthWrap** wrap) override
    {
        *wrap = new FuzzSynth();
        return S_OK;
    }
};

mvcom::CComPtr<IStream> StreamOf(const std::vector<uint8_t>& bytes)
{
    mvcom::CComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    ULONG written = 0;
    if (!bytes.empty())
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return stream;
}

// A channel as a load makes it: no synth, one output.
CChannel* Blank(FuzzDoc* doc)
{
    CChannel* c = nullptr;
    if (FAILED(CChannel::Create(doc, 1, &CLSID_NoSynth, "", &c)) || c == nullptr)
        __builtin_trap();
    return c;
}

}  // namespace

// With MORVANE_FUZZ_SEEDS=folder, writes seeds there first: the payloads
// of a channel without synth and of one with a synth, as a save writes
// them, so the fuzzer starts inside the chunks rather than at their header.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* folder = std::getenv("MORVANE_FUZZ_SEEDS");
    if (folder == nullptr)
        return 0;
    HRESULT graphResult = S_OK;
    CDxFilterGraph graph(&graphResult);
    g_graph = &graph;
    FuzzDoc doc;
    const GUID someSynth = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    const CLSID* classes[] = {&CLSID_NoSynth, &someSynth};
    for (int i = 0; i < 2; ++i) {
        CChannel* c = nullptr;
        if (FAILED(CChannel::Create(&doc, 1, classes[i], "seed", &c)) || c == nullptr)
            continue;
        mvcom::CComPtr<IStream> saved;
        CreateStreamOnHGlobal(nullptr, TRUE, saved.Put());
        if (SUCCEEDED(static_cast<IPersistStreamInit*>(c)->Save(saved.Get(), FALSE))) {
            STATSTG stat{};
            saved->Stat(&stat, STATFLAG_NONAME);
            std::vector<uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
            LARGE_INTEGER zero{};
            saved->Seek(zero, STREAM_SEEK_SET, nullptr);
            ULONG read = 0;
            saved->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
            const std::string path = std::string(folder) + "/channel-" + std::to_string(i);
            if (FILE* f = read > 12 ? std::fopen(path.c_str(), "wb") : nullptr; f != nullptr) {
                std::fwrite(bytes.data() + 12, 1, read - 12, f);
                std::fclose(f);
            }
        }
        CChannel::Destroy(c);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HRESULT graphResult = S_OK;
    CDxFilterGraph graph(&graphResult);
    g_graph = &graph;
    FuzzDoc doc;
    {
        CChannel* channel = Blank(&doc);
        std::vector<uint8_t> chunk(12);
        const uint64_t length = 12 + size;
        const uint32_t word = static_cast<uint32_t>(CChannel::kMajor) << 16 | CChannel::kMinor;
        std::memcpy(chunk.data(), &length, 8);
        std::memcpy(chunk.data() + 8, &word, 4);
        chunk.insert(chunk.end(), data, data + size);
        IPersistStreamInit* persist = channel;
        if (SUCCEEDED(persist->Load(StreamOf(chunk).Get()))) {
            mvcom::CComPtr<IStream> saved;
            CreateStreamOnHGlobal(nullptr, TRUE, saved.Put());
            if (FAILED(persist->Save(saved.Get(), FALSE)))
                __builtin_trap();
            LARGE_INTEGER zero{};
            saved->Seek(zero, STREAM_SEEK_SET, nullptr);
            CChannel* again = Blank(&doc);
            if (FAILED(static_cast<IPersistStreamInit*>(again)->Load(saved.Get())))
                __builtin_trap();
            if (again->GetSynthCount() != channel->GetSynthCount() ||
                again->GetOutputCount() != channel->GetOutputCount() ||
                again->GetCurrentOutput() != channel->GetCurrentOutput())
                __builtin_trap();
            CChannel::Destroy(again);
        }
        CChannel::Destroy(channel);
    }
    if (g_live != 0)
        __builtin_trap();
    return 0;
}
