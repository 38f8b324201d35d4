#include "engine/mixer/COutputBranch.h"

#include <cstdio>
#include <new>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/mixer/IMixerDocument.h"
#include "engine/mixer/IOutputBranchOwner.h"
#include "platform/com/ComRuntime.h"
#include "platform/media/IGainPan.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/WideString.h"

namespace {

std::u16string ChanName(SHORT id, const char* what)
{
    char text[64];
    std::snprintf(text, sizeof(text), "Chan%d %s", static_cast<int>(id), what);
    return mvwin::Utf8ToUtf16(text);
}

template <class T>
void ReleaseAndClear(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

IBaseFilter* AsFilter(CSimpleTee* tee) { return tee; }

}  // namespace

COutputBranch::COutputBranch(IMixerDocument* document, IOutputBranchOwner* channel)
    : CChainHost(&m_lock), m_auxEnabled(kAuxSends, FALSE), m_channel(channel), m_document(document)
{
}

COutputBranch::~COutputBranch()
{
    ReleaseAndClear(m_volPanControl);
    ReleaseAndClear(m_volPanSend);
    ReleaseAndClear(m_volPan);
    for (IBaseFilter*& send : m_auxSends)
        ReleaseAndClear(send);
    ReleaseAndClear(m_tee);
}

SHORT COutputBranch::GetHostId() { return m_channel ? m_channel->GetChannelId() : 0; }

CControlParamSet* COutputBranch::GetParamOwner() { return m_channel ? m_channel->GetParamSet() : nullptr; }

HRESULT COutputBranch::MarkGraphDirty()
{
    m_chainDirty = TRUE;
    return MarkDocumentDirty();
}

HRESULT COutputBranch::MarkDocumentDirty() { return m_document ? m_document->SetGraphDirty() : E_UNEXPECTED; }

HRESULT COutputBranch::RetireFilter(IUnknown* filter)
{
    if (m_document == nullptr)
        return E_UNEXPECTED;
    return filter ? m_document->KeepObjectAlive(filter) : S_FALSE;
}

IUnknown* COutputBranch::GetSendObject(LONG index)
{
    if (m_volPanSend == nullptr)
        return nullptr;
    IUnknown* object = nullptr;
    if (m_volPanSend->GetSendObject(index, &object) != S_OK)
        return nullptr;
    return object;
}

IUnknown* COutputBranch::GetChannelObject(LONG index)
{
    return m_channel ? m_channel->GetChannelObject(index) : nullptr;
}

CDxFilterGraph* COutputBranch::EngineGraph() const { return m_document ? m_document->GetFilterGraph() : nullptr; }

IBaseFilter* COutputBranch::GetAuxSend(int aux) const
{
    return aux >= 0 && aux < static_cast<int>(m_auxSends.size()) ? m_auxSends[aux] : nullptr;
}

// ---- Graph ----

HRESULT COutputBranch::AddToGraph()
{
    const HRESULT hr = Build();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT COutputBranch::RemoveFromGraph()
{
    for (int i = 0; i < m_chain.GetCount(); ++i)
        m_chain.CloseFxProperties(i);
    return ReleaseFilters();
}

HRESULT COutputBranch::Build()
{
    MV_ASSERT_UI_THREAD();
    if (m_built || EngineGraph() == nullptr)
        return E_UNEXPECTED;
    const HRESULT hr = BuildFilters();
    // Half a branch is none: what was made goes, so a later build starts
    // afresh rather than finding a stray volume/pan filter.
    if (FAILED(hr))
        ReleaseFilters();
    return hr;
}

HRESULT COutputBranch::BuildFilters()
{
    HRESULT hr;
    if (!m_chain.HasContainerFilters()) {
        m_chain.SetGraph(EngineGraph());
        m_chain.LoadEffectsAndCreate();
    }
    m_chain.MarkAllDirty();
    if (m_volPan != nullptr)
        return E_UNEXPECTED;
    if (FAILED(hr = CoCreateInstance(CLSID_GainPanFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&m_volPan))))
        return hr;
    ReleaseAndClear(m_volPanSend);
    if (FAILED(hr = m_volPan->QueryInterface(IID_IGainPanSend, reinterpret_cast<void**>(&m_volPanSend))))
        return hr;
    ReleaseAndClear(m_volPanControl);
    if (FAILED(hr = m_volPan->QueryInterface(IID_IGainPan, reinterpret_cast<void**>(&m_volPanControl))))
        return hr;
    if (!m_auxSends.empty())
        return E_UNEXPECTED;
    for (int i = 0; i < kAuxSends; ++i) {
        IBaseFilter* send = nullptr;
        CoCreateInstance(CLSID_GainPanFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                         reinterpret_cast<void**>(&send));
        m_auxSends.push_back(send);
    }
    if (m_auxEnabled.size() != kAuxSends)
        m_auxEnabled.assign(kAuxSends, FALSE);
    if (FAILED(hr = CSimpleTee::Create(EngineGraph(), kAuxSends + 1, &m_tee)))
        return hr;
    InvalidateAll();
    m_built = TRUE;
    return S_OK;
}

HRESULT COutputBranch::InvalidateAll()
{
    m_chain.MarkAllDirty();
    m_auxDirty = TRUE;
    MarkDocumentDirty();
    m_volPanDirty = TRUE;
    return MarkDocumentDirty();
}

HRESULT COutputBranch::RemoveDirtySections()
{
    MV_ASSERT_UI_THREAD();
    CDxFilterGraph* graph = EngineGraph();
    if (!m_built || graph == nullptr)
        return E_UNEXPECTED;
    if (m_chainDirty)
        m_chain.RemoveFromGraph();
    if (m_volPanDirty) {
        graph->RemoveFilter(m_volPan);
        graph->RemoveFilter(AsFilter(m_tee));
    }
    if (m_auxDirty) {
        for (IBaseFilter* send : m_auxSends)
            graph->RemoveFilter(send);
    }
    return S_OK;
}

HRESULT COutputBranch::AddDirtySections()
{
    MV_ASSERT_UI_THREAD();
    CDxFilterGraph* graph = EngineGraph();
    if (!m_built || graph == nullptr)
        return E_UNEXPECTED;
    const SHORT id = GetHostId();
    if (m_chainDirty)
        m_chain.AddToGraph(graph);
    if (m_auxDirty) {
        for (int i = 0; i < static_cast<int>(m_auxSends.size()); ++i) {
            char what[24];
            std::snprintf(what, sizeof(what), "AuxSnd%d", i);
            graph->AddFilter(m_auxSends[i], ChanName(id, what).c_str());
        }
    }
    if (m_volPanDirty) {
        graph->AddFilter(m_volPan, ChanName(id, "VolPan").c_str());
        graph->AddFilter(AsFilter(m_tee), ChanName(id, "AuxTee").c_str());
    }
    return S_OK;
}

HRESULT COutputBranch::Connect()
{
    MV_ASSERT_UI_THREAD();
    CDxFilterGraph* graph = EngineGraph();
    if (!m_built || graph == nullptr)
        return E_UNEXPECTED;
    HRESULT hr;
    if (m_chainDirty) {
        if (FAILED(hr = m_chain.Connect(graph)))
            return hr;
        m_chainDirty = FALSE;
    }
    if (m_volPanDirty) {
        graph->ConnectFromPin(m_chain.GetOutputPin(), m_volPan, 0, nullptr);
        graph->Connect(m_volPan, 0, AsFilter(m_tee), 0, nullptr);
    }
    if (m_auxDirty) {
        for (int i = 0; i < kAuxSends; ++i) {
            if (!m_auxEnabled[i])
                continue;
            IPin* mixIn = m_document->GetAuxBusMixInPin(i);
            if (mixIn == nullptr)
                return E_FAIL;
            graph->Connect(AsFilter(m_tee), i + 1, m_auxSends[i], 0, nullptr);
            graph->ConnectToPin(m_auxSends[i], 0, mixIn, nullptr);
        }
        m_auxDirty = FALSE;
    }
    if (m_volPanDirty) {
        IPin* mixIn = m_document->GetMainBusMixInPin();
        if (mixIn == nullptr)
            return E_FAIL;
        graph->ConnectToPin(AsFilter(m_tee), 0, mixIn, nullptr);
        m_volPanDirty = FALSE;
    }
    return S_OK;
}

HRESULT COutputBranch::ReleaseFilters()
{
    MV_ASSERT_UI_THREAD();
    m_chain.ReleaseFilters();
    RetireFilter(m_volPan);
    ReleaseAndClear(m_volPan);
    ReleaseAndClear(m_volPanSend);
    ReleaseAndClear(m_volPanControl);
    for (IBaseFilter*& send : m_auxSends) {
        RetireFilter(send);
        ReleaseAndClear(send);
    }
    m_auxSends.clear();
    RetireFilter(AsFilter(m_tee));
    ReleaseAndClear(m_tee);
    MarkGraphDirty();
    m_auxDirty = TRUE;
    m_volPanDirty = TRUE;
    m_built = FALSE;
    return S_OK;
}

// ---- Aux sends ----

BOOL COutputBranch::GetAuxSendEnabled(int aux) const
{
    return aux >= 0 && aux < static_cast<int>(m_auxEnabled.size()) ? m_auxEnabled[aux] : FALSE;
}

HRESULT COutputBranch::SetAuxSendEnabled(int aux, BOOL enabled)
{
    if (aux < 0 || aux >= static_cast<int>(m_auxEnabled.size()))
        return E_INVALIDARG;
    m_auxEnabled[aux] = enabled ? TRUE : FALSE;
    m_auxDirty = TRUE;
    MarkDocumentDirty();
    return m_document ? m_document->RefreshAuxBusRouting(aux) : E_UNEXPECTED;
}

HRESULT COutputBranch::RefreshAuxSend(int aux)
{
    if (!GetAuxSendEnabled(aux))
        return 1;
    m_auxDirty = TRUE;
    return MarkDocumentDirty();
}

// ---- Life ----

HRESULT CreateOutputBranch(IMixerDocument* document, IOutputBranchOwner* channel, COutputBranch** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (document == nullptr)
        return S_OK;
    COutputBranch* branch = new (std::nothrow) COutputBranch(document, channel);
    if (branch == nullptr)
        return E_OUTOFMEMORY;
    CDxFilterGraph* graph = document->GetFilterGraph();
    const HRESULT hr = graph ? branch->GetChain().SetGraph(graph) : E_UNEXPECTED;
    if (FAILED(hr)) {
        delete branch;
        return hr;
    }
    *out = branch;
    return S_OK;
}

void DestroyOutputBranch(COutputBranch*& branch)
{
    if (branch == nullptr)
        return;
    CFxChain& chain = branch->GetChain();
    for (int i = chain.GetCount() - 1; i >= 0; --i) {
        if (IFxWrap* wrap = chain.GetAt(i))
            DestroyPlugInWrap(wrap);
    }
    chain.ClearWithoutUndo();
    delete branch;
    branch = nullptr;
}
