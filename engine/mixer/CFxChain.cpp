#include "engine/mixer/CFxChain.h"

#include <cstdio>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/mixer/CChainHost.h"
#include "engine/mixer/CControlParamSet.h"
#include "engine/mixer/CParamCallbackProxy.h"
#include "engine/mixer/IMixerDocument.h"
#include "model/RunProjectEdit.h"
#include "model/CHResultException.h"
#include "model/CKelPersistArchive.h"
#include "model/CMvCommand.h"
#include "model/CUndoHistory.h"
#include "model/CUndoInsertPtrStep.h"
#include "model/CUndoInsertStep.h"
#include "model/CUndoRemovePtrStep.h"
#include "model/CUndoRemoveStep.h"
#include "model/SubmitUndoStep.h"
#include "platform/com/CComPtr.h"
#include "platform/com/ComRuntime.h"
#include "platform/media/CBufferMatcherFilter.h"
#include "platform/media/IBufferMatcher.h"
#include "platform/media/MediaParams.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/WideString.h"

namespace {

CString Text(const char* format, auto... args)
{
    CString text;
    text.Format(format, args...);
    return text;
}

// A saved effect: at least its chunk header.
constexpr ULONGLONG kMinSavedEffect = 12;

IBaseFilter* AsFilter(CMergeSwitch* s) { return s; }

template <class T>
void ReleaseAndClear(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

}  // namespace

std::u16string CFxChain::FilterName(SHORT id, const char* what)
{
    char text[64];
    std::snprintf(text, sizeof(text), "Container%d %s", static_cast<int>(id), what);
    return mvwin::Utf8ToUtf16(text);
}

std::u16string CFxChain::FilterName(SHORT id, const char* what, int position)
{
    char text[64];
    std::snprintf(text, sizeof(text), "Container%d %s%d", static_cast<int>(id), what, position);
    return mvwin::Utf8ToUtf16(text);
}

CFxChain::CFxChain(CChainHost* host, CHeapCriticalSection* lock)
    : CKelPersistObject(MakeKelVersionWord(kMajor, 0)), m_effects(this), m_order(this), m_host(host), m_lock(lock)
{
}

CFxChain::~CFxChain()
{
    ReleaseAndClear(m_msFinal);
    ReleaseAndClear(m_msLastFx);
    ReleaseAndClear(m_msMain);
    ReleaseAndClear(m_matcherControl);
    ReleaseAndClear(m_matcher);
}

IFxWrap* CFxChain::GetAt(int position) const
{
    return m_order.IsValidIndex(position) ? m_order[position] : nullptr;
}

CDxFilterGraph* CFxChain::EngineGraph() const
{
    IMixerDocument* doc = m_host ? m_host->GetMixerDocument() : nullptr;
    return doc ? doc->GetFilterGraph() : nullptr;
}

CString CFxChain::HostName() const
{
    CControlParamSet* owner = m_host ? m_host->GetParamOwner() : nullptr;
    return owner ? owner->GetDisplayName() : CString();
}

void CFxChain::Retire(IUnknown* filter)
{
    if (filter && m_host)
        m_host->RetireFilter(filter);
}

// ---- Edits ----

template <class Steps>
HRESULT CFxChain::RunEdit(const CString& name, BOOL updateViews, Steps&& steps)
{
    MV_ASSERT_UI_THREAD();
    IMixerDocument* doc = m_host ? m_host->GetMixerDocument() : nullptr;
    return RunProjectEdit(nullptr, true, doc, name, kEditHint, steps, updateViews);
}

HRESULT CFxChain::InsertFxByClsid(int position, REFCLSID clsid, const char* name)
{
    if (position < 0 || position > GetCount())
        return E_INVALIDARG;
    if (EngineGraph() == nullptr)
        return E_UNEXPECTED;
    IFxWrap* wrap = nullptr;
    HRESULT hr = m_host->GetMixerDocument()->CreateFxWrap(clsid, name, &wrap);
    if (FAILED(hr))
        return hr;
    if (wrap == nullptr)
        return E_OUTOFMEMORY;
    hr = InsertFx(position, wrap);
    if (FAILED(hr))
        DestroyPlugInWrap(wrap);
    return hr;
}

HRESULT CFxChain::InsertFx(int position, IFxWrap* wrap)
{
    if (wrap == nullptr || position < 0 || position > GetCount())
        return E_INVALIDARG;
    const CString name = Text("Insert %s in %s", wrap->GetDisplayName().GetString(), HostName().GetString());
    return RunEdit(name, TRUE, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoInsertPtrStep<IFxWrap*, IFxWrap>>(c, m_effects, wrap, wrap);
        SubmitUndoStep<CUndoInsertStep<int, IFxWrap*>>(c, m_order, position, wrap);
    });
}

HRESULT CFxChain::RemoveFx(int position)
{
    if (position < 0 || position >= GetCount())
        return E_INVALIDARG;
    if (EngineGraph() == nullptr)
        return E_UNEXPECTED;
    IFxWrap* wrap = m_order[position];
    const CString name = Text("Remove %s from %s, Position %d", wrap->GetDisplayName().GetString(),
                              HostName().GetString(), position + 1);
    return RunEdit(name, TRUE, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoRemovePtrStep<IFxWrap*, IFxWrap>>(c, m_effects, wrap);
        SubmitUndoStep<CUndoRemoveStep<int, IFxWrap*>>(c, m_order, position);
    });
}

HRESULT CFxChain::CopyFx(int from, int to)
{
    if (from < 0 || from >= GetCount() || to < 0 || to >= GetCount())
        return E_INVALIDARG;
    IFxWrap* wrap = m_order[from];
    const CString name = Text("Copy %s From %d to %d in Track %s", wrap->GetDisplayName().GetString(), from + 1,
                              to + 1, HostName().GetString());
    return RunEdit(name, FALSE, [&](CMvCommand* c) {
        IFxWrap* clone = nullptr;
        HRESULT hr = wrap->Clone(&clone);
        if (FAILED(hr) || clone == nullptr)
            throw CHResultException(FAILED(hr) ? hr : E_OUTOFMEMORY);
        try {
            SubmitUndoStep<CUndoInsertPtrStep<IFxWrap*, IFxWrap>>(c, m_effects, clone, clone);
        } catch (...) {
            // Not taken by the map: the clone is still ours.
            DestroyPlugInWrap(clone);
            throw;
        }
        SubmitUndoStep<CUndoInsertStep<int, IFxWrap*>>(c, m_order, to, clone);
    });
}

HRESULT CFxChain::MoveFx(int from, int to)
{
    if (from < 0 || from >= GetCount() || to < 0 || to >= GetCount())
        return E_INVALIDARG;
    IFxWrap* wrap = m_order[from];
    const CString name = Text("Move %s From %d to %d in Track %s", wrap->GetDisplayName().GetString(), from + 1,
                              to + 1, HostName().GetString());
    // Only the order changes: the plug-in stays attached.
    return RunEdit(name, FALSE, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoRemoveStep<int, IFxWrap*>>(c, m_order, from);
        SubmitUndoStep<CUndoInsertStep<int, IFxWrap*>>(c, m_order, to, wrap);
    });
}

HRESULT CFxChain::ShowFxProperties(int position, HWND parent)
{
    if (position < 0 || position >= GetCount())
        return E_INVALIDARG;
    IFxWrap* wrap = GetAt(position);
    IMixerDocument* doc = m_host ? m_host->GetMixerDocument() : nullptr;
    if (wrap == nullptr || doc == nullptr)
        return E_FAIL;
    return doc->ShowFxPropertyPage(wrap, parent);
}

HRESULT CFxChain::CloseFxProperties(int position)
{
    if (position < 0 || position >= GetCount())
        return E_INVALIDARG;
    IFxWrap* wrap = GetAt(position);
    IMixerDocument* doc = m_host ? m_host->GetMixerDocument() : nullptr;
    if (wrap == nullptr || doc == nullptr)
        return E_FAIL;
    return doc->CloseFxPropertyPage(wrap);
}

// ---- IChain ----

HRESULT CFxChain::MarkDirty()
{
    m_effectsDirty = TRUE;
    return m_host ? m_host->MarkGraphDirty() : E_UNEXPECTED;
}

HRESULT CFxChain::OnFxAdded(IFxWrap* wrap)
{
    if (wrap == nullptr)
        return E_UNEXPECTED;
    CControlParamSet* params = m_host ? m_host->GetParamOwner() : nullptr;
    if (params == nullptr)
        return E_UNEXPECTED;
    HRESULT hr = S_OK;
    const bool loadedHere = wrap->GetFilter() == nullptr;
    if (loadedHere && FAILED(hr = wrap->Load()))
        return hr;
    const GUID clsid = wrap->GetClsid();
    const GUID instance = wrap->GetInstanceGuid();
    const GroupKey key{clsid, instance};
    bool groupAdded = false;
    bool callbackAdded = false;
    // A placeholder (its plug-in could not be made) has no parameters to
    // offer; it stays in the chain for its saved state.
    if (wrap->GetFilter() == nullptr)
        return S_OK;
    hr = [&]() -> HRESULT {
        HRESULT r = params->AddPlugInParams(clsid, instance, wrap->GetFilter());
        if (FAILED(r))
            return r;
        groupAdded = true;
        mvcom::CComPtr<IMediaParamsSetUICallback> set;
        IBaseFilter* filter = wrap->GetFilter();
        if (filter == nullptr ||
            filter->QueryInterface(IID_IMediaParamsSetUICallback, reinterpret_cast<void**>(set.Put())) != S_OK)
            return S_OK;
        CParamCallbackProxy* proxy = nullptr;
        if (FAILED(r = params->AddUICallback(key, &proxy)))
            return r;
        callbackAdded = true;
        return set->SetUICallback(proxy);
    }();
    if (SUCCEEDED(hr))
        return S_OK;
    // The container takes the wrapper out again: leave nothing of it behind
    // in the parameter set, and the plug-in as it was found.
    if (callbackAdded)
        params->RemoveUICallback(key);
    if (groupAdded)
        params->RemoveParamGroup(clsid, instance);
    if (loadedHere)
        wrap->Unload();
    return hr;
}

HRESULT CFxChain::OnFxRemoved(IFxWrap* wrap)
{
    if (wrap == nullptr)
        return E_UNEXPECTED;
    CControlParamSet* params = m_host ? m_host->GetParamOwner() : nullptr;
    if (params == nullptr)
        return E_UNEXPECTED;
    IBaseFilter* filter = wrap->GetFilter();
    Retire(filter);
    Retire(AsFilter(wrap->GetSwitch()));
    const GroupKey key{wrap->GetClsid(), wrap->GetInstanceGuid()};
    HRESULT hr;
    mvcom::CComPtr<IMediaParamsSetUICallback> set;
    if (filter &&
        filter->QueryInterface(IID_IMediaParamsSetUICallback, reinterpret_cast<void**>(set.Put())) == S_OK) {
        if (FAILED(hr = set->SetUICallback(nullptr)))
            return hr;
        if (FAILED(hr = params->RemoveUICallback(key)))
            return hr;
    }
    params->RemoveParamGroup(key.classId, key.instanceId);
    if (IMixerDocument* doc = m_host->GetMixerDocument())
        doc->CloseFxPropertyPage(wrap);
    return wrap->Unload();
}

// ---- Graph ----

HRESULT CFxChain::SetGraph(CDxFilterGraph* graph)
{
    if (graph == nullptr)
        return E_POINTER;
    m_graph = graph;
    CreateContainerFilters();
    return S_OK;
}

HRESULT CFxChain::CreateContainerFilters()
{
    MV_ASSERT_UI_THREAD();
    if (m_graph == nullptr)
        return E_UNEXPECTED;
    if (m_host == nullptr)
        return E_UNEXPECTED;
    HRESULT hr;
    if (m_msMain == nullptr) {
        if (FAILED(hr = CMergeSwitch::Create(m_graph, 1, 2, &m_msMain)))
            return hr;
        m_msMain->SetSelectedOutput(m_bypass ? 1 : 0);
    }
    if (m_msLastFx == nullptr) {
        if (FAILED(hr = CMergeSwitch::Create(m_graph, 2, 1, &m_msLastFx)))
            return hr;
        m_msLastFx->SetSelectedOutput(0);
    }
    if (m_msFinal == nullptr) {
        if (FAILED(hr = CMergeSwitch::Create(m_graph, 2, 1, &m_msFinal)))
            return hr;
        m_msFinal->SetSelectedOutput(0);
    }
    if (m_matcher == nullptr) {
        if (FAILED(hr = CoCreateInstance(CLSID_BufferMatcherFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         reinterpret_cast<void**>(&m_matcher))))
            return hr;
    }
    if (m_matcherControl == nullptr) {
        if (FAILED(hr = m_matcher->QueryInterface(IID_IBufferMatcher, reinterpret_cast<void**>(&m_matcherControl))))
            return hr;
    }
    const SHORT id = m_host->GetHostId();
    m_graph->AddFilter(AsFilter(m_msMain), FilterName(id, "MSMain").c_str());
    m_graph->AddFilter(AsFilter(m_msFinal), FilterName(id, "MSFinal").c_str());
    m_graph->AddFilter(m_matcher, FilterName(id, "BufMatcher").c_str());
    return S_OK;
}

HRESULT CFxChain::AddToGraph(CDxFilterGraph* graph)
{
    MV_ASSERT_UI_THREAD();
    if (graph == nullptr)
        return E_POINTER;
    const SHORT id = m_host->GetHostId();
    if (m_containerDirty) {
        graph->AddFilter(AsFilter(m_msMain), FilterName(id, "MSMain").c_str());
        graph->AddFilter(AsFilter(m_msFinal), FilterName(id, "MSFinal").c_str());
        graph->AddFilter(m_matcher, FilterName(id, "BufMatcher").c_str());
    }
    if (m_effectsDirty) {
        for (int i = 0; i < GetCount(); ++i) {
            IFxWrap* wrap = m_order[i];
            if (wrap == nullptr)
                return E_UNEXPECTED;
            graph->AddFilter(AsFilter(wrap->GetSwitch()), FilterName(id, "MS", i).c_str());
            graph->AddFilter(wrap->GetFilter(), FilterName(id, "Fx", i).c_str());
        }
        graph->AddFilter(AsFilter(m_msLastFx), FilterName(id, "MSLastFx").c_str());
    }
    return S_OK;
}

HRESULT CFxChain::RemoveFromGraph()
{
    MV_ASSERT_UI_THREAD();
    CDxFilterGraph* graph = m_graph;
    if (graph == nullptr)
        return S_OK;
    if (m_effectsDirty) {
        for (int i = 0; i < GetCount(); ++i) {
            IFxWrap* wrap = m_order[i];
            if (wrap == nullptr)
                return E_UNEXPECTED;
            graph->RemoveFilter(wrap->GetFilter());
            graph->RemoveFilter(AsFilter(wrap->GetSwitch()));
        }
        graph->RemoveFilter(AsFilter(m_msLastFx));
    }
    if (m_containerDirty) {
        graph->RemoveFilter(AsFilter(m_msMain));
        graph->RemoveFilter(AsFilter(m_msFinal));
        graph->RemoveFilter(m_matcher);
    }
    return S_OK;
}

void CFxChain::ReportConnectFailure(IFxWrap* wrap)
{
    if (wrap == nullptr)
        return;
    wrap->SetConnectable(FALSE);
    if (IMixerDocument* doc = m_host->GetMixerDocument())
        doc->AddErrorMessage(Text("%s Failed to Connect", wrap->GetDisplayName().GetString()));
}

HRESULT CFxChain::Connect(CDxFilterGraph* graph)
{
    MV_ASSERT_UI_THREAD();
    if (graph == nullptr)
        return E_POINTER;
    if (m_msMain == nullptr || m_msLastFx == nullptr || m_msFinal == nullptr || m_matcher == nullptr)
        return E_FAIL;
    IPin* const mainOut = m_msMain->OutputPin(0);
    m_msMain->SetPartner(m_msFinal);
    if (mainOut == nullptr)
        return E_FAIL;
    IPin* up = mainOut;
    // The effect whose plug-in output `up` is: the one a failure to connect
    // onwards from it is put down to (skipped effects are no neighbours).
    IFxWrap* upWrap = nullptr;
    IPin* aside = nullptr;
    HRESULT hr;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        IFxWrap* wrap = m_order[i];
        if (wrap == nullptr)
            return E_UNEXPECTED;
        if (!wrap->IsConnectable() || wrap->IsPlaceholder())
            continue;
        CMergeSwitch* sw = wrap->GetSwitch();
        IBaseFilter* plugIn = wrap->GetFilter();
        if (sw == nullptr || plugIn == nullptr)
            return E_UNEXPECTED;
        const bool first = up == mainOut;
        IFxWrap* next = nullptr;
        for (int j = i + 1; j < count && next == nullptr; ++j) {
            IFxWrap* w = m_order[j];
            if (w && w->IsConnectable() && !w->IsPlaceholder())
                next = w;
        }
        sw->SetPartner(next ? next->GetSwitch() : m_msLastFx);
        if (m_effectsDirty || (first && m_containerDirty)) {
            if (FAILED(hr = graph->ConnectFromPin(up, AsFilter(sw), 0, nullptr))) {
                if (!first)
                    ReportConnectFailure(upWrap);
                return hr;
            }
        }
        if (aside && m_effectsDirty) {
            if (FAILED(hr = graph->ConnectFromPin(aside, AsFilter(sw), 1, nullptr)))
                return hr;
        }
        if (m_effectsDirty) {
            if (FAILED(hr = graph->Connect(AsFilter(sw), 0, plugIn, 0, nullptr))) {
                ReportConnectFailure(wrap);
                return hr;
            }
        }
        aside = CDxFilterGraph::FindOutputPin(AsFilter(sw), 1);
        up = CDxFilterGraph::FindOutputPin(plugIn, 0);
        upWrap = wrap;
        if (up == nullptr)
            return E_UNEXPECTED;
    }
    if (m_effectsDirty) {
        if (aside && FAILED(hr = graph->ConnectFromPin(aside, AsFilter(m_msLastFx), 1, nullptr)))
            return hr;
        if (FAILED(hr = graph->ConnectFromPin(up, AsFilter(m_msLastFx), 0, nullptr))) {
            ReportConnectFailure(upWrap);
            return hr;
        }
    }
    if (m_effectsDirty || m_containerDirty) {
        if (FAILED(hr = graph->Connect(AsFilter(m_msLastFx), 0, m_matcher, 0, nullptr)))
            return hr;
        if (m_containerDirty) {
            if (FAILED(hr = graph->Connect(m_matcher, 0, AsFilter(m_msFinal), 0, nullptr)))
                return hr;
            if (FAILED(hr = graph->Connect(AsFilter(m_msMain), 1, AsFilter(m_msFinal), 1, nullptr)))
                return hr;
        }
    }
    m_effectsDirty = FALSE;
    m_containerDirty = FALSE;
    return S_OK;
}

HRESULT CFxChain::LinkSwitches()
{
    if (m_msMain)
        m_msMain->SetPartner(m_msFinal);
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        IFxWrap* wrap = m_order[i];
        CMergeSwitch* sw = wrap ? wrap->GetSwitch() : nullptr;
        if (sw == nullptr)
            return E_UNEXPECTED;
        if (i + 1 < count) {
            IFxWrap* next = m_order[i + 1];
            if (next == nullptr || next->GetSwitch() == nullptr)
                return E_UNEXPECTED;
            sw->SetPartner(next->GetSwitch());
        } else {
            sw->SetPartner(m_msLastFx);
        }
    }
    return S_OK;
}

HRESULT CFxChain::ReleaseFilters()
{
    MV_ASSERT_UI_THREAD();
    for (int i = 0; i < GetCount(); ++i) {
        IFxWrap* wrap = m_order[i];
        if (wrap == nullptr)
            return E_UNEXPECTED;
        Retire(wrap->GetFilter());
        Retire(AsFilter(wrap->GetSwitch()));
        wrap->Unload();
    }
    Retire(AsFilter(m_msMain));
    Retire(AsFilter(m_msFinal));
    Retire(AsFilter(m_msLastFx));
    Retire(m_matcher);
    return ReleaseContainerFilters();
}

HRESULT CFxChain::ReleaseContainerFilters()
{
    if (m_msMain)
        m_bypass = m_msMain->GetSelectedOutput() != 0;
    ReleaseAndClear(m_msFinal);
    ReleaseAndClear(m_msLastFx);
    ReleaseAndClear(m_msMain);
    ReleaseAndClear(m_matcherControl);
    ReleaseAndClear(m_matcher);
    return S_OK;
}

HRESULT CFxChain::LoadEffectsAndCreate()
{
    for (int i = 0; i < GetCount(); ++i) {
        IFxWrap* wrap = m_order[i];
        if (wrap == nullptr)
            return E_UNEXPECTED;
        if (wrap->GetFilter() == nullptr)
            wrap->Load();
    }
    return CreateContainerFilters();
}

HRESULT CFxChain::MarkAllDirty()
{
    m_effectsDirty = TRUE;
    m_containerDirty = TRUE;
    return m_host ? m_host->MarkGraphDirty() : E_UNEXPECTED;
}

void CFxChain::ClearWithoutUndo()
{
    while (m_order.GetSize() > 0)
        m_order.CUndoVector<IFxWrap*>::Remove(m_order.GetSize() - 1);
    while (m_effects.GetSize() > 0)
        m_effects.CUndoMap<IFxWrap*, IFxWrap*>::Remove(m_effects.Items().begin()->first);
}

// ---- Bypass ----

HRESULT CFxChain::SetBypass(BOOL bypass)
{
    m_bypass = bypass ? TRUE : FALSE;
    if (m_msMain == nullptr)
        return S_OK;
    HRESULT hr;
    if (FAILED(hr = m_msMain->SetSelectedOutput(bypass ? 1 : 0)))
        return hr;
    if (FAILED(hr = m_msMain->SetSwitchTarget(bypass ? 0 : -1)))
        return hr;
    if (!bypass)
        m_msMain->SetResume(TRUE);
    return S_OK;
}

HRESULT CFxChain::SetFxBypass(int position, BOOL bypass)
{
    if (position < 0 || position >= GetCount())
        return E_FAIL;
    if (IMixerDocument* doc = m_host ? m_host->GetMixerDocument() : nullptr)
        doc->SetModifiedFlag();
    IFxWrap* wrap = m_order[position];
    if (wrap == nullptr)
        return E_UNEXPECTED;
    return wrap->SetBypass(bypass);
}

BOOL CFxChain::IsFxBypassed(int position) const
{
    IFxWrap* wrap = GetAt(position);
    return wrap ? wrap->IsBypassed() : FALSE;
}

// ---- Reads ----

IPin* CFxChain::GetInputPin() const { return m_msMain ? m_msMain->InputPin(0) : nullptr; }

IPin* CFxChain::GetOutputPin() const { return m_msFinal ? m_msFinal->OutputPin(0) : nullptr; }

GUID CFxChain::GetFxClsid(int position) const
{
    IFxWrap* wrap = GetAt(position);
    return wrap ? wrap->GetClsid() : GUID_NULL;
}

GUID CFxChain::GetFxInstanceGuid(int position) const
{
    IFxWrap* wrap = GetAt(position);
    return wrap ? wrap->GetInstanceGuid() : GUID_NULL;
}

CString CFxChain::GetFxName(int position) const
{
    IFxWrap* wrap = GetAt(position);
    return wrap ? wrap->GetDisplayName() : CString();
}

IBaseFilter* CFxChain::GetFxPlugIn(int position) const
{
    IFxWrap* wrap = GetAt(position);
    return wrap ? wrap->GetFilter() : nullptr;
}

// ---- Saved form ----

STDMETHODIMP CFxChain::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    HRESULT hr;
    DWORD count = static_cast<DWORD>(m_order.GetSize());
    if (FAILED(hr = archive->PersistBytes(sizeof(count), &count)))
        return hr;
    if (archive->IsSaving()) {
        for (IFxWrap* wrap : m_order.GetItems()) {
            if (FAILED(hr = archive->PersistObject(wrap->GetPersist())))
                return hr;
        }
        BYTE bypass = m_bypass ? 1 : 0;
        return archive->PersistBytes(sizeof(bypass), &bypass);
    }
    IMixerDocument* doc = m_host ? m_host->GetMixerDocument() : nullptr;
    if (doc == nullptr)
        return E_UNEXPECTED;
    if (FAILED(hr = archive->CheckRemaining(static_cast<ULONGLONG>(count) * kMinSavedEffect)))
        return hr;
    for (DWORD i = 0; i < count; ++i) {
        IFxWrap* wrap = nullptr;
        if (FAILED(hr = doc->CreateFxWrap(GUID_NULL, nullptr, &wrap)))
            return hr;
        if (wrap == nullptr)
            return E_OUTOFMEMORY;
        if (FAILED(hr = archive->PersistObject(wrap->GetPersist())) ||
            FAILED(hr = m_order.Insert(m_order.GetSize(), wrap))) {
            DestroyPlugInWrap(wrap);
            return hr;
        }
        if (FAILED(hr = m_effects.Insert(wrap, wrap))) {
            // The map took it back out: nothing lists it but the order.
            m_order.Remove(m_order.GetSize() - 1);
            DestroyPlugInWrap(wrap);
            return hr;
        }
    }
    BYTE bypass = 0;
    if (FAILED(hr = archive->PersistBytes(sizeof(bypass), &bypass)))
        return hr;
    if (FAILED(hr = LinkSwitches()))
        return hr;
    for (int i = 0; i < GetCount(); ++i)
        SetFxBypass(i, IsFxBypassed(i));
    return SetBypass(bypass != 0);
}
