#include "engine/mixer/CAuxBus.h"

#include <cstdio>
#include <new>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/mixer/IBusDocument.h"
#include "model/CKelPersistArchive.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/WideString.h"

namespace {

std::u16string BusName(const char* format, WORD index)
{
    char text[48];
    std::snprintf(text, sizeof(text), format, static_cast<int>(index));
    return mvwin::Utf8ToUtf16(text);
}

}  // namespace

CAuxBus::CAuxBus(IBusDocument* document, WORD index)
    : CMixBus(document, index, kAuxBusGroupClass, kMajor, kMinor)
{
}

CAuxBus::~CAuxBus() = default;

CAuxBus* CAuxBus::Create(IBusDocument* document, WORD index) { return CreateBus<CAuxBus>(document, index); }

void CAuxBus::Destroy(CAuxBus*& bus) { DestroyBus(bus); }

void CAuxBus::ReleaseBeforeDestroy()
{
    // Filters still built leave the graph through the keep-alive set.
    if (m_built || m_chain.HasContainerFilters())
        ReleaseFilterObjects();
}

HRESULT CAuxBus::Init()
{
    CDxFilterGraph* graph = m_document ? m_document->GetFilterGraph() : nullptr;
    if (graph == nullptr)
        return E_UNEXPECTED;
    HRESULT hr = m_chain.SetGraph(graph);
    if (FAILED(hr) || FAILED(hr = Build()))
        return hr;
    return InitAutomation();
}

// ---- Graph ----

HRESULT CAuxBus::MarkDocumentDirty() { return m_document ? m_document->SetGraphDirty() : E_UNEXPECTED; }

HRESULT CAuxBus::MarkGraphDirty()
{
    m_chainDirty = TRUE;
    return MarkDocumentDirty();
}

HRESULT CAuxBus::MarkMixerDirty()
{
    m_mixerDirty = TRUE;
    return MarkDocumentDirty();
}

HRESULT CAuxBus::MarkGainPanDirty()
{
    m_gainPanDirty = TRUE;
    return MarkDocumentDirty();
}

HRESULT CAuxBus::Build()
{
    MV_ASSERT_UI_THREAD();
    if (m_document == nullptr || m_document->GetFilterGraph() == nullptr)
        return E_UNEXPECTED;
    HRESULT hr = CreateGainPan();
    if (FAILED(hr))
        return hr;
    char name[32];
    std::snprintf(name, sizeof(name), "AuxSumMixer%d", static_cast<int>(m_index));
    if (FAILED(hr = CreateSumMixer(name))) {
        ReleaseGainPanAndMixer();
        return hr;
    }
    if (!m_chain.HasContainerFilters()) {
        m_chain.SetGraph(m_document->GetFilterGraph());
        m_chain.LoadEffectsAndCreate();
    }
    MarkGraphDirty();
    MarkMixerDirty();
    MarkGainPanDirty();
    m_built = TRUE;
    if (FAILED(hr = InitParams())) {
        ReleaseGainPanAndMixer();
        m_built = FALSE;
    }
    return hr;
}

HRESULT CAuxBus::RemoveFromGraph()
{
    MV_ASSERT_UI_THREAD();
    CDxFilterGraph* graph = m_document ? m_document->GetFilterGraph() : nullptr;
    if (!m_built || graph == nullptr)
        return E_UNEXPECTED;
    HRESULT hr;
    if (m_chainDirty && FAILED(hr = m_chain.RemoveFromGraph()))
        return hr;
    if (m_mixerDirty && FAILED(hr = RemoveIfPresent(graph, m_mixer)))
        return hr;
    if (m_gainPanDirty && FAILED(hr = RemoveIfPresent(graph, m_gainPan)))
        return hr;
    return S_OK;
}

HRESULT CAuxBus::AddToGraph()
{
    MV_ASSERT_UI_THREAD();
    if (m_document == nullptr)
        return E_UNEXPECTED;
    if (!m_document->IsAuxBusUsed(m_index))
        return kUnused;
    CDxFilterGraph* graph = m_document->GetFilterGraph();
    if (!m_built || graph == nullptr)
        return E_UNEXPECTED;
    HRESULT hr;
    if (m_chainDirty && FAILED(hr = m_chain.AddToGraph(graph)))
        return hr;
    if (m_mixerDirty && FAILED(hr = graph->AddFilter(m_mixer, BusName("AuxSumMixer%d", m_index).c_str())))
        return hr;
    if (m_gainPanDirty && FAILED(hr = graph->AddFilter(m_gainPan, BusName("AuxBusGainPan%d", m_index).c_str())))
        return hr;
    return S_OK;
}

HRESULT CAuxBus::ConnectInGraph()
{
    MV_ASSERT_UI_THREAD();
    if (m_document == nullptr)
        return E_UNEXPECTED;
    HRESULT hr;
    if (!m_document->IsAuxBusUsed(m_index)) {
        // Out of the graph the chain still keeps its switches linked, so its
        // effects find their neighbours when the bus is used again.
        if (FAILED(hr = m_chain.LinkSwitches()))
            return hr;
        return kUnused;
    }
    CDxFilterGraph* graph = m_document->GetFilterGraph();
    if (!m_built || graph == nullptr)
        return E_UNEXPECTED;
    if (m_mixerDirty) {
        if (FAILED(hr = graph->ConnectPins(m_mixer->GetOutputPin(), m_chain.GetInputPin(), nullptr)))
            return hr;
        m_mixerDirty = FALSE;
    }
    if (m_chainDirty) {
        if (FAILED(hr = m_chain.Connect(graph)))
            return hr;
        m_chainDirty = FALSE;
    }
    if (m_gainPanDirty) {
        if (FAILED(hr = graph->ConnectFromPin(m_chain.GetOutputPin(), m_gainPan, 0, nullptr)))
            return hr;
        IPin* master = m_document->GetMainBusMixInPin();
        if (master == nullptr)
            return E_FAIL;
        if (FAILED(hr = graph->ConnectToPin(m_gainPan, 0, master, nullptr)))
            return hr;
        m_gainPanDirty = FALSE;
    }
    return S_OK;
}

HRESULT CAuxBus::ReleaseFilterObjects()
{
    MV_ASSERT_UI_THREAD();
    ReleaseGainPanAndMixer();
    m_chain.ReleaseFilters();
    MarkGraphDirty();
    MarkMixerDirty();
    MarkGainPanDirty();
    m_built = FALSE;
    return S_OK;
}

HRESULT CAuxBus::ReleaseFilters()
{
    const HRESULT hr = ReleaseFilterObjects();
    CloseEffectWindows();
    return hr;
}

HRESULT CAuxBus::InvalidateGraph()
{
    m_chain.MarkAllDirty();
    MarkMixerDirty();
    return MarkGainPanDirty();
}

BOOL CAuxBus::HasConnectedInputs()
{
    if (m_mixer == nullptr)
        return FALSE;
    for (int n = 0; n < m_mixer->GetPinCount(); ++n) {
        CAudioMixerIPin* pin = m_mixer->GetInputPin(n);
        if (pin && pin->IsConnected())
            return TRUE;
    }
    return FALSE;
}

IPin* CAuxBus::GetFreeMixerInput() { return m_mixer ? m_mixer->GetFreeInputPin() : nullptr; }

// ---- Transport ----

HRESULT CAuxBus::OnStart(LONGLONG time)
{
    const HRESULT hr = ChaseAutomation(static_cast<LONG>(time));
    if (FAILED(hr))
        return hr;
    return CChainHost::OnStart(time);
}

// ---- Names ----

CString CAuxBus::GetDisplayName()
{
    CString name = CControlParamSet::GetDisplayName();
    if (!name.IsEmpty())
        return name;
    const int position = m_document ? m_document->GetAuxBusPosition(m_index) : -1;
    m_defaultName.Format("Aux %d", (position >= 0 ? position : static_cast<int>(m_index)) + 1);
    return m_defaultName;
}

HRESULT CAuxBus::FileParamStep(DWORD id, float value)
{
    return m_document ? m_document->SetAuxBusParam(m_index, id, value) : E_UNEXPECTED;
}

// ---- Saved form ----

STDMETHODIMP CAuxBus::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (archive == nullptr)
        return E_POINTER;
    HRESULT hr;
    switch (KelVersionIndex(versionWord)) {
    case 0:
        if (FAILED(hr = PersistParamsAndGainPan(archive)) || FAILED(hr = archive->PersistObject(&m_chain)))
            return hr;
        if (archive->IsSaving())
            return S_OK;
        if (FAILED(hr = m_chain.LoadEffectsAndCreate()))
            return hr;
        return InitParams();
    case 1:
        return PersistAutomation(archive);
    default:
        return KELPERSIST_E_UNKNOWNCHUNK;
    }
}
