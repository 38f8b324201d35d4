// An aux bus's or the master bus's saved chunks from arbitrary bytes (the
// first byte chooses the bus): the parameter set, the gain/pan filter's
// state, the effect chain (effects cannot be made here, so a chain that
// lists one fails its load), the automation pattern and the metronome. A
// load must fail cleanly or give a bus whose saved form loads again into
// another bus.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/IAudioProperties.h"
#include "engine/mixer/CAuxBus.h"
#include "engine/mixer/CMainBus.h"
#include "engine/mixer/IBusDocument.h"
#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"

namespace {

CDxFilterGraph* Graph()
{
    static HRESULT hr = S_OK;
    static CDxFilterGraph* graph = new CDxFilterGraph(&hr);
    return graph;
}

class FuzzAudio final : public IAudioProperties {
public:
    int GetSampleRate() override { return 44100; }
    LONGLONG GetSamplePosition() override { return 0; }
};

class FuzzBusDoc final : public IBusDocument {
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
    // The document's rebuild takes what is retired out of the graph.
    HRESULT KeepObjectAlive(IUnknown* object) override
    {
        IBaseFilter* filter = nullptr;
        if (SUCCEEDED(object->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)))) {
            Graph()->RemoveFilter(filter);
            filter->Release();
        }
        return S_OK;
    }
    CDxFilterGraph* GetFilterGraph() override { return Graph(); }
    void AddErrorMessage(const CString&) override {}
    HRESULT CreateFxWrap(REFCLSID, const char*, IFxWrap** wrap) override
    {
        *wrap = nullptr;
        return E_FAIL;
    }
    HRESULT ShowFxPropertyPage(IFxWrap*, HWND) override { return S_OK; }
    HRESULT CloseFxPropertyPage(IFxWrap*) override { return S_OK; }
    void SetModifiedFlag() override {}
    IPin* GetMainBusMixInPin() override { return nullptr; }
    IPin* GetAuxBusMixInPin(int) override { return nullptr; }
    HRESULT RefreshAuxBusRouting(int) override { return S_OK; }
    IAudioProperties* GetAudioProperties() override { return &m_audio; }
    BOOL IsAuxBusUsed(WORD) override { return TRUE; }
    int GetAuxBusPosition(WORD index) override { return index; }
    void InvalidateMuteState() override {}
    HRESULT SetAuxBusParam(WORD, DWORD, float) override { return S_OK; }
    HRESULT SetMainBusParam(DWORD, float) override { return S_OK; }
    HRESULT RecordBusParamValue(DWORD, WORD, float) override { return S_OK; }
    HRESULT BeginBusParamTouch(DWORD, WORD) override { return S_OK; }
    HRESULT EndBusParamTouch(DWORD, WORD) override { return S_OK; }
    BOOL IsAutomationPlaybackOn() override { return FALSE; }
    HRESULT CreateMetronomePlayer(IMetronomePlayer** player) override
    {
        *player = nullptr;
        return E_FAIL;
    }

private:
    FuzzAudio m_audio;
};

mvcom::CComPtr<IStream> StreamOf(const uint8_t* data, std::size_t size)
{
    mvcom::CComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    ULONG written = 0;
    if (size != 0)
        stream->Write(data, static_cast<ULONG>(size), &written);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return stream;
}

template <class Bus>
void RoundTrip(FuzzBusDoc* doc, WORD major, WORD minor, const uint8_t* data, std::size_t size)
{
    Bus* bus = Bus::Create(doc, 1);
    if (bus == nullptr)
        __builtin_trap();
    std::vector<uint8_t> chunk(12);
    const uint64_t length = 12 + size;
    const uint32_t word = static_cast<uint32_t>(major) << 16 | minor;
    std::memcpy(chunk.data(), &length, 8);
    std::memcpy(chunk.data() + 8, &word, 4);
    chunk.insert(chunk.end(), data, data + size);
    IPersistStreamInit* persist = bus;
    if (SUCCEEDED(persist->Load(StreamOf(chunk.data(), chunk.size()).Get()))) {
        mvcom::CComPtr<IStream> saved;
        CreateStreamOnHGlobal(nullptr, TRUE, saved.Put());
        if (FAILED(persist->Save(saved.Get(), FALSE)))
            __builtin_trap();
        LARGE_INTEGER zero{};
        saved->Seek(zero, STREAM_SEEK_SET, nullptr);
        Bus* again = Bus::Create(doc, 1);
        if (again == nullptr || FAILED(static_cast<IPersistStreamInit*>(again)->Load(saved.Get())))
            __builtin_trap();
        if (again->GetChain().GetCount() != bus->GetChain().GetCount())
            __builtin_trap();
        Bus::Destroy(again);
    }
    Bus::Destroy(bus);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    FuzzBusDoc doc;
    if (data[0] & 1)
        RoundTrip<CMainBus>(&doc, CMainBus::kMajor, CMainBus::kMinor, data + 1, size - 1);
    else
        RoundTrip<CAuxBus>(&doc, CAuxBus::kMajor, CAuxBus::kMinor, data + 1, size - 1);
    return 0;
}
