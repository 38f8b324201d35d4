// An audio path's saved effect chain from arbitrary bytes: the effect count,
// each wrapper's nested chunk and the chain bypass. A load must fail cleanly
// or give a chain whose saved form loads again; every wrapper made is freed
// exactly once.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/mixer/CChainHost.h"
#include "engine/mixer/CControlParamSet.h"
#include "engine/mixer/IMixerDocument.h"
#include "model/CKelPersistArchive.h"
#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"

namespace {

CDxFilterGraph* Graph()
{
    static HRESULT hr = S_OK;
    static CDxFilterGraph* graph = new CDxFilterGraph(&hr);
    return graph;
}

// A wrapper whose plug-in could not be made: its saved form is its name and
// bypass; it keeps its own switch.
class FuzzFx final : public IFxWrap {
public:
    FuzzFx() : m_persist(this) { CMergeSwitch::Create(Graph(), 2, 2, &m_switch); }
    ~FuzzFx() override
    {
        if (m_switch)
            m_switch->Release();
    }
    IBaseFilter* GetFilter() override { return nullptr; }
    CMergeSwitch* GetSwitch() override { return m_switch; }
    HRESULT Load() override { return S_FALSE; }
    HRESULT Unload() override { return S_OK; }
    BOOL IsBypassed() override { return m_bypass; }
    HRESULT SetBypass(BOOL b) override
    {
        m_bypass = b ? TRUE : FALSE;
        return m_switch ? m_switch->SetSelectedOutput(b ? 1 : 0) : E_FAIL;
    }
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
            HRESULT hr = archive->PersistString(&m_w->m_name);
            return FAILED(hr) ? hr : archive->PersistBytes(sizeof(m_w->m_bypass), &m_w->m_bypass);
        }
        FuzzFx* m_w;
    };
    CString m_name;
    BOOL m_bypass = FALSE;
    CMergeSwitch* m_switch = nullptr;
    Persist m_persist;
};

class FuzzParams final : public CControlParamSet {
public:
    FuzzParams() : CControlParamSet(nullptr, &m_lock) {}
    HRESULT FormatValue(DWORD, float, CString*) override { return E_NOTIMPL; }
    HRESULT SetParamValueFromUser(DWORD, double) override { return E_NOTIMPL; }
    HRESULT GetGroupName(CString*, const GroupKey&) override { return E_NOTIMPL; }
    HRESULT GetParamTarget(DWORD, DWORD*, GUID*, GUID*, IMediaParams**) override { return S_FALSE; }

private:
    CHeapCriticalSection m_lock;
};

class FuzzDoc final : public IMixerDocument {
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
};

// A host without graph filters; it destroys the wrappers its chain lists.
class FuzzHost final : public CChainHost {
public:
    explicit FuzzHost(FuzzDoc* doc) : CChainHost(nullptr), m_doc(doc) {}
    ~FuzzHost() override
    {
        for (int i = m_chain.GetCount() - 1; i >= 0; --i)
            DestroyPlugInWrap(m_chain.GetAt(i));
        m_chain.ClearWithoutUndo();
    }
    SHORT GetHostId() override { return 1; }
    CControlParamSet* GetParamOwner() override { return &m_params; }
    HRESULT MarkGraphDirty() override { return S_OK; }
    HRESULT RetireFilter(IUnknown*) override { return S_OK; }
    IMixerDocument* GetMixerDocument() override { return m_doc; }

private:
    FuzzDoc* m_doc;
    FuzzParams m_params;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzDoc doc;
    FuzzHost host(&doc);
    std::vector<uint8_t> chunk(12);
    const uint64_t length = 12 + size;
    const uint32_t word = static_cast<uint32_t>(CFxChain::kMajor) << 16;
    std::memcpy(chunk.data(), &length, 8);
    std::memcpy(chunk.data() + 8, &word, 4);
    chunk.insert(chunk.end(), data, data + size);
    if (SUCCEEDED(host.GetChain().Load(StreamOf(chunk).Get()))) {
        mvcom::CComPtr<IStream> saved;
        CreateStreamOnHGlobal(nullptr, TRUE, saved.Put());
        if (FAILED(host.GetChain().Save(saved.Get(), FALSE)))
            __builtin_trap();
        LARGE_INTEGER zero{};
        saved->Seek(zero, STREAM_SEEK_SET, nullptr);
        FuzzHost again(&doc);
        if (FAILED(again.GetChain().Load(saved.Get())))
            __builtin_trap();
        if (again.GetChain().GetCount() != host.GetChain().GetCount() ||
            again.GetChain().IsBypassed() != host.GetChain().IsBypassed())
            __builtin_trap();
    }
    return 0;
}
