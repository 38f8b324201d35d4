#include "engine/mixer/CMainBus.h"

#include "engine/graph/CDxFilterGraph.h"
#include "engine/mixer/IBusDocument.h"
#include "model/CKelPersistArchive.h"
#include "platform/com/ComRuntime.h"
#include "platform/media/CBufferMatcherFilter.h"
#include "platform/media/IBufferMatcher.h"
#include "platform/media/IGainPan.h"
#include "platform/sync/ThreadAffinity.h"

CMainBus::CMainBus(IBusDocument* document, WORD index)
    : CMixBus(document, index, kMainBusGroupClass, kMajor, kMinor)
{
    SetDisplayName("Master Bus");
}

CMainBus::~CMainBus()
{
    ReleaseAndClear(m_matcherControl);
    ReleaseAndClear(m_matcher);
    ReleaseAndClear(m_renderer);
}

CMainBus* CMainBus::Create(IBusDocument* document, WORD index) { return CreateBus<CMainBus>(document, index); }

void CMainBus::Destroy(CMainBus*& bus) { DestroyBus(bus); }

void CMainBus::ReleaseBeforeDestroy()
{
    if (m_built || m_chain.HasContainerFilters())
        ReleaseFilterObjects();
    m_metronome.ReleaseFilter();
}

HRESULT CMainBus::Init()
{
    CDxFilterGraph* graph = m_document ? m_document->GetFilterGraph() : nullptr;
    if (graph == nullptr)
        return E_UNEXPECTED;
    HRESULT hr = Build();
    if (FAILED(hr) || FAILED(hr = m_chain.SetGraph(graph)) || FAILED(hr = InitParams()))
        return hr;
    return InitAutomation();
}

// ---- Graph ----

HRESULT CMainBus::MarkGraphDirty()
{
    m_chainDirty = TRUE;
    return m_document ? m_document->SetGraphDirty() : E_UNEXPECTED;
}

HRESULT CMainBus::Build()
{
    MV_ASSERT_UI_THREAD();
    if (m_document == nullptr || m_document->GetFilterGraph() == nullptr)
        return E_UNEXPECTED;
    if (m_built)
        return S_FALSE;
    // The mix goes on without clicks when the click source cannot be made.
    if (FAILED(m_metronome.CreateFilter(m_document)))
        m_document->AddErrorMessage("The metronome could not be created");
    const HRESULT hr = BuildFilters();
    if (FAILED(hr)) {
        ReleaseFilterObjects();
        return hr;
    }
    if (!m_chain.HasContainerFilters()) {
        m_chain.SetGraph(m_document->GetFilterGraph());
        m_chain.LoadEffectsAndCreate();
    }
    MarkGraphDirty();
    m_busDirty = TRUE;
    m_built = TRUE;
    return S_OK;
}

HRESULT CMainBus::BuildFilters()
{
    HRESULT hr = CreateGainPan();
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = CoCreateInstance(CLSID_BufferMatcherFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&m_matcher))))
        return hr;
    if (m_matcher == nullptr)
        return E_OUTOFMEMORY;
    if (FAILED(hr = m_matcher->QueryInterface(IID_IBufferMatcher, reinterpret_cast<void**>(&m_matcherControl))))
        return hr;
    if (FAILED(hr = m_document->GetFilterGraph()->CreateBufRenderer(&m_renderer)))
        return hr;
    return CreateSumMixer("MainSumMixer");
}

HRESULT CMainBus::RemoveFromGraph()
{
    MV_ASSERT_UI_THREAD();
    CDxFilterGraph* graph = m_document ? m_document->GetFilterGraph() : nullptr;
    if (!m_built || graph == nullptr)
        return E_UNEXPECTED;
    HRESULT hr;
    if (m_chainDirty && FAILED(hr = m_chain.RemoveFromGraph()))
        return hr;
    if (m_busDirty) {
        for (IBaseFilter* f : {static_cast<IBaseFilter*>(m_mixer), m_metronome.GetFilter(), m_matcher, m_gainPan,
                               static_cast<IBaseFilter*>(m_renderer)}) {
            if (FAILED(hr = RemoveIfPresent(graph, f)))
                return hr;
        }
    }
    return S_OK;
}

HRESULT CMainBus::AddToGraph()
{
    MV_ASSERT_UI_THREAD();
    CDxFilterGraph* graph = m_document ? m_document->GetFilterGraph() : nullptr;
    if (!m_built || graph == nullptr)
        return E_UNEXPECTED;
    HRESULT hr;
    if (m_chainDirty && FAILED(hr = m_chain.AddToGraph(graph)))
        return hr;
    if (!m_busDirty)
        return S_OK;
    if (FAILED(hr = graph->AddFilter(m_mixer, u"MainSumMixer")))
        return hr;
    if (m_metronome.GetFilter() && FAILED(hr = graph->AddFilter(m_metronome.GetFilter(), u"Metronome")))
        return hr;
    if (FAILED(hr = graph->AddFilter(m_gainPan, u"MainBusGainPan")) ||
        FAILED(hr = graph->AddFilter(m_matcher, u"MainBusBufMatcher")) ||
        FAILED(hr = graph->AddFilter(m_renderer, u"Render")))
        return hr;
    return S_OK;
}

HRESULT CMainBus::ConnectGraph()
{
    MV_ASSERT_UI_THREAD();
    CDxFilterGraph* graph = m_document ? m_document->GetFilterGraph() : nullptr;
    if (!m_built || graph == nullptr)
        return E_UNEXPECTED;
    if (m_busDirty) {
        if (IBaseFilter* click = m_metronome.GetFilter()) {
            graph->ConnectFromPin(m_mixer->GetOutputPin(), click, 0, nullptr);
            graph->ConnectPins(CDxFilterGraph::FindOutputPin(click, 0), m_chain.GetInputPin(), nullptr);
        } else {
            graph->ConnectPins(m_mixer->GetOutputPin(), m_chain.GetInputPin(), nullptr);
        }
    }
    if (m_chainDirty) {
        const HRESULT hr = m_chain.Connect(graph);
        if (FAILED(hr))
            return hr;
        m_chainDirty = FALSE;
    }
    if (m_busDirty) {
        graph->ConnectFromPin(m_chain.GetOutputPin(), m_gainPan, 0, nullptr);
        graph->Connect(m_gainPan, 0, m_matcher, 0, nullptr);
        graph->Connect(m_matcher, 0, m_renderer, 0, nullptr);
        m_busDirty = FALSE;
    }
    return S_OK;
}

HRESULT CMainBus::ReleaseFilterObjects()
{
    MV_ASSERT_UI_THREAD();
    RetireFilter(m_metronome.GetFilter());
    m_metronome.ReleaseFilter();
    RetireFilter(m_matcher);
    ReleaseAndClear(m_matcherControl);
    ReleaseAndClear(m_matcher);
    RetireFilter(static_cast<IBaseFilter*>(m_renderer));
    ReleaseAndClear(m_renderer);
    ReleaseGainPanAndMixer();
    m_chain.ReleaseFilters();
    MarkGraphDirty();
    m_busDirty = TRUE;
    m_built = FALSE;
    return S_OK;
}

HRESULT CMainBus::ReleaseGraphObjects()
{
    const HRESULT hr = ReleaseFilterObjects();
    CloseEffectWindows();
    return hr;
}

HRESULT CMainBus::InvalidateGraph()
{
    m_chain.MarkAllDirty();
    m_busDirty = TRUE;
    return m_document ? m_document->SetGraphDirty() : E_UNEXPECTED;
}

IPin* CMainBus::AddMixerInput() { return m_mixer ? m_mixer->GetFreeInputPin() : nullptr; }

// ---- Transport ----

HRESULT CMainBus::OnStart(LONGLONG time)
{
    HRESULT hr = m_metronome.Start(static_cast<LONG>(time));
    if (FAILED(hr))
        return hr;
    if (m_gainPanSend)
        m_gainPanSend->OnTransportStart();
    if (FAILED(hr = ChaseAutomation(static_cast<LONG>(time))))
        return hr;
    return CChainHost::OnStart(time);
}

HRESULT CMainBus::OnStop(LONGLONG time)
{
    const HRESULT hr = m_metronome.Stop();
    if (FAILED(hr))
        return hr;
    return CChainHost::OnStop(time);
}

HRESULT CMainBus::FileParamStep(DWORD id, float value)
{
    return m_document ? m_document->SetMainBusParam(id, value) : E_UNEXPECTED;
}

// ---- Saved form ----

STDMETHODIMP CMainBus::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (archive == nullptr)
        return E_POINTER;
    HRESULT hr;
    switch (KelVersionIndex(versionWord)) {
    case 0:
        return PersistParamsAndGainPan(archive);
    case 1:
        if (FAILED(hr = archive->PersistObject(&m_chain)) || FAILED(hr = PersistAutomation(archive)))
            return hr;
        if (archive->IsSaving())
            return S_OK;
        if (FAILED(hr = m_chain.LoadEffectsAndCreate()))
            return hr;
        return InitParams();
    case 2:
        return m_metronome.Persist(archive);
    default:
        return KELPERSIST_E_UNKNOWNCHUNK;
    }
}
