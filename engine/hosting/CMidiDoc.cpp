#include "engine/hosting/CMidiDoc.h"

#include "engine/IMfxHostSite.h"
#include "engine/hosting/CMetronomePlayer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

#include "devices/CMidiInputRouter.h"
#include "devices/IMidiInputRouter.h"
#include "devices/CMidiSource.h"
#include "devices/IMidiSource.h"
#include "devices/IMidiSyncGen.h"
#include "engine/CClipPool.h"
#include "engine/IMfxHostSite.h"
#include "engine/IMfxTimeConverter.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CDxSource.h"
#include "engine/hosting/CFxWrap.h"
#include "engine/hosting/CMetronomePlayer.h"
#include "engine/hosting/CMfxFilterWrap.h"
#include "engine/hosting/CRecorder.h"
#include "engine/hosting/CSynthWrap.h"
#include "engine/hosting/IMfxSoftSynth.h"
#include "engine/mixer/COutputBranch.h"
#include "model/CHResultException.h"
#include "model/CKelPersistArchive.h"
#include "model/CFileStream.h"
#include "model/CPatternInstance.h"
#include "model/IEngineServices.h"
#include "model/CSMF.h"
#include "model/CSMFFile.h"
#include "model/CHeapLockGuard.h"
#include "model/CUndoInsertPtrStep.h"
#include "model/CUndoInsertStep.h"
#include "model/CUndoRemovePtrStep.h"
#include "model/CUndoRemoveStep.h"
#include "model/CUndoSetAttributeStep.h"
#include "model/CUndoSetStep.h"
#include "model/RunProjectEdit.h"
#include "model/SubmitUndoStep.h"
#include "platform/com/CComError.h"
#include "platform/com/Variant.h"
#include "platform/res/MessageBox.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/sync/Time.h"
#include "platform/win/CFile.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/CPropMBT.h"
#include "uikit/core/CXmlDoc.h"
#include "uikit/core/PathText.h"
#include "uikit/core/ResString.h"

namespace {

// The program-wide id counters: plain values, UI thread only.
SHORT g_nextChannelId = 1000;
SHORT g_nextMainBusId = 5000;
SHORT g_nextAuxBusId = 8000;
SHORT g_nextPatternId = 1;

// Reads and advances a counter until it yields an id that is not "none" and
// not taken; kNone when every id is.
template <class Taken>
SHORT DrawId(SHORT& counter, Taken taken)
{
    for (int tries = 0; tries < 0x10000; ++tries) {
        const SHORT id = counter;
        counter = static_cast<SHORT>(static_cast<WORD>(counter) + 1);
        if (id != CMidiDoc::kNone && !taken(id))
            return id;
    }
    return CMidiDoc::kNone;
}

CString Text(UINT id) { return CString(LoadResString(id)); }

template <class... Args>
CString Format(UINT id, Args... args)
{
    CString text;
    text.Format(LoadResString(id), args...);
    return text;
}

// A parameter's name and a value's text for an undo name; the formatting's
// failure comes before anything changes.
HRESULT ParamTexts(CControlParamSet* set, DWORD id, float value, CString* name, CString* valueText)
{
    HRESULT hr = set->FormatValue(id, value, valueText);
    if (SUCCEEDED(hr))
        set->GetParamName(id, name);
    return hr;
}

// Calls `call` on every object of an id map in id order; the first failure
// ends the walk.
template <class Map, class Call>
HRESULT ForEachIn(const Map& objects, Call& call)
{
    for (auto& [id, object] : objects) {
        HRESULT hr = call(object);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// The first position of an id in an order vector; -1 when absent.
int PositionOf(const CUndoVector<SHORT>& order, SHORT id)
{
    for (int i = 0; i < order.GetSize(); ++i) {
        if (order[i] == id)
            return i;
    }
    return -1;
}

// A lookup by id: E_POINTER for a null out, which is cleared first.
template <class T>
HRESULT LookUp(CUndoMap<SHORT, T*>& map, SHORT id, T** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    return map.Get(id, out);
}

// A lookup by position in an order vector; E_INVALIDARG out of range.
template <class T>
HRESULT LookUpAt(CUndoMap<SHORT, T*>& map, const CUndoVector<SHORT>& order, int position, T** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (position < 0 || position >= order.GetSize())
        return E_INVALIDARG;
    return map.Get(order[position], out);
}

void Check(HRESULT hr)
{
    if (FAILED(hr))
        throw CHResultException(hr);
}

// ---- Attribute steps ----

// The display name of a channel or an aux bus, by id.
template <class Owner>
class CUndoSetDisplayNameStep final : public CUndoSetAttributeStep<SHORT, Owner*, CString> {
public:
    using CUndoSetAttributeStep<SHORT, Owner*, CString>::CUndoSetAttributeStep;
    HRESULT SetAttribute(Owner* owner, const CString& name) override
    {
        owner->SetDisplayName(name);
        return S_OK;
    }
    HRESULT GetAttribute(Owner* owner, CString* name) override
    {
        *name = owner->CControlParamSet::GetDisplayName();
        return S_OK;
    }
};
using CUndoSetChanNameStep = CUndoSetDisplayNameStep<CChannel>;
using CUndoSetAuxNameStep = CUndoSetDisplayNameStep<CAuxBus>;

// One parameter of a channel or bus. A parameter in a touch gesture gives
// its value at touch start as the old value, so an undo returns a dragged
// fader to where the drag began.
template <class K, class T>
class CUndoSetParamStep final : public CUndoSetAttributeStep<K, T*, float> {
public:
    CUndoSetParamStep(CUndoContainer<K, T*>& owners, K key, DWORD index, float value)
        : CUndoSetAttributeStep<K, T*, float>(owners, key, value), m_index(index)
    {
    }
    HRESULT SetAttribute(T* owner, const float& value) override { return owner->SetParamValue(m_index, value); }
    HRESULT GetAttribute(T* owner, float* value) override
    {
        BOOL touched = FALSE;
        float current = 0.0f;
        float start = 0.0f;
        HRESULT hr = owner->GetParamTouchState(m_index, &touched, &current, &start);
        if (SUCCEEDED(hr))
            *value = touched ? start : current;
        return hr;
    }

private:
    DWORD m_index;
};

using CUndoSetChanParamStep = CUndoSetParamStep<SHORT, CChannel>;
using CUndoSetAuxParamStep = CUndoSetParamStep<SHORT, CAuxBus>;
using CUndoSetMainBusParamStep = CUndoSetParamStep<int, CMainBus>;

class CUndoSetPatternNameStep final : public CUndoSetAttributeStep<SHORT, CPattern*, CString> {
public:
    using CUndoSetAttributeStep::CUndoSetAttributeStep;
    HRESULT SetAttribute(CPattern* p, const CString& name) override
    {
        p->SetName(name.GetString());
        return S_OK;
    }
    HRESULT GetAttribute(CPattern* p, CString* name) override
    {
        *name = p->GetDisplayName();
        return S_OK;
    }
};

// A plain field of a pattern, read and written through its accessors.
template <class A, A (CPattern::*Get)() const, void (CPattern::*Set)(A)>
class CUndoSetPatternFieldStep final : public CUndoSetAttributeStep<SHORT, CPattern*, A> {
public:
    using CUndoSetAttributeStep<SHORT, CPattern*, A>::CUndoSetAttributeStep;
    HRESULT SetAttribute(CPattern* p, const A& value) override
    {
        (p->*Set)(value);
        return S_OK;
    }
    HRESULT GetAttribute(CPattern* p, A* value) override
    {
        *value = (p->*Get)();
        return S_OK;
    }
};

using CUndoSetPatternDurationStep = CUndoSetPatternFieldStep<LONG, &CPattern::GetDuration, &CPattern::SetDuration>;
using CUndoSetPatternSwingStep = CUndoSetPatternFieldStep<DWORD, &CPattern::GetSwing, &CPattern::SetSwing>;
using CUndoSetPatternEditMarkerStep =
    CUndoSetPatternFieldStep<LONG, &CPattern::GetEditMarker, &CPattern::SetEditMarker>;

}  // namespace

// ---- Creation and destruction ----

CMidiDoc::CMidiDoc(IDocumentEngine* engine)
    : CKelPersistObject(MakeKelVersionWord(kMajor, kMinor)),
      m_engine(engine),
      m_channels(this),
      m_activeContainer(this),
      m_activePattern(this),
      m_activeInstance(this)
{
    // Each holder starts with its one entry: none.
    m_activeContainer.Insert(0, kNone);
    m_activePattern.Insert(0, kNone);
    m_activeInstance.Insert(0, kNoInstanceId);
}

CMidiDoc::~CMidiDoc() = default;

HRESULT CMidiDoc::CreateMidiDoc(IDocumentEngine* engine, CMidiDoc** document)
{
    MV_ASSERT_UI_THREAD();
    if (document == nullptr)
        return E_POINTER;
    *document = nullptr;
    CMidiDoc* doc = new (std::nothrow) CMidiDoc(engine);
    if (doc == nullptr)
        return E_OUTOFMEMORY;
    HRESULT hr = doc->Init();
    if (FAILED(hr)) {
        DestroyMidiDoc(doc);
        return hr;
    }
    doc->StampCreationTick();
    *document = doc;
    return S_OK;
}

HRESULT CMidiDoc::DestroyMidiDoc(CMidiDoc*& document)
{
    MV_ASSERT_UI_THREAD();
    if (document == nullptr)
        return E_INVALIDARG;
    if (document->m_engine != nullptr)
        document->m_engine->SetDocument(nullptr);
    // A recorder still holding the document (one the engine owner does not
    // own) lets go of it and of its take before the document goes.
    if (document->m_recorder != nullptr)
        document->m_recorder->SetDocument(nullptr);
    document->Shutdown();
    delete document;
    document = nullptr;
    return S_OK;
}

HRESULT CMidiDoc::Init()
{
    if (m_engine == nullptr || m_engine->GetMidiSource() == nullptr || m_engine->GetFilterGraph() == nullptr)
        return E_UNEXPECTED;
    m_quantizer.reset(new (std::nothrow) CQuantizer(GetSeqUI()));
    if (!m_quantizer)
        return E_OUTOFMEMORY;
    const SHORT mainId = DrawId(g_nextMainBusId, [this](SHORT id) { return HasContainer(id) != FALSE; });
    CMainBus* main = mainId != kNone ? CMainBus::Create(this, static_cast<WORD>(mainId)) : nullptr;
    if (main == nullptr)
        return E_OUTOFMEMORY;
    HRESULT hr = m_mainBus.Insert(0, main);
    if (FAILED(hr)) {
        CMainBus::Destroy(main);
        return hr;
    }
    if (FAILED(hr = SetActiveContainer(mainId, FALSE, nullptr)))
        return hr;
    for (int position = 0; position < kAuxBusCount; ++position) {
        const SHORT id = DrawId(g_nextAuxBusId, [this](SHORT i) { return HasContainer(i) != FALSE; });
        CAuxBus* aux = id != kNone ? CAuxBus::Create(this, static_cast<WORD>(id)) : nullptr;
        if (aux == nullptr)
            return E_OUTOFMEMORY;
        if (FAILED(hr = m_auxOrder.Insert(position, id)) || FAILED(hr = m_auxBuses.Insert(id, aux))) {
            CAuxBus::Destroy(aux);
            return hr;
        }
    }
    if (FAILED(hr = AttachMidiInput()) || FAILED(hr = m_engine->SetDocument(this)))
        return hr;
    // A document without sync generator keeps the flag off: nothing to push.
    if (m_engine->GetMidiSyncGen() != nullptr && FAILED(hr = SetSendMidiSync(m_sendMidiSync)))
        return hr;
    g_nextPatternId = 0;
    return S_OK;
}

HRESULT CMidiDoc::Shutdown()
{
    m_closing = TRUE;
    DetachMidiInput();
    if (m_engine != nullptr && m_engine->GetMidiSyncGen() != nullptr) {
        HRESULT hr = SetSendMidiSync(FALSE);
        if (FAILED(hr))
            return hr;
    }
    CDxFilterGraph* graph = m_engine != nullptr ? m_engine->GetFilterGraph() : nullptr;
    if (graph != nullptr)
        graph->Stop();

    // Channels first: they play the patterns destroyed after them.
    DestroyChannels();
    DestroyMainBus();
    DestroyAuxBuses();
    const std::map<SHORT, CPattern*> patterns = m_patterns.Items();
    for (auto& [id, pattern] : patterns)
        DestroyPattern(pattern);
    for (auto& [id, pattern] : patterns)
        m_patterns.Remove(id);
    while (m_patternOrder.GetSize() > 0)
        m_patternOrder.Remove(0);

    {
        CHeapLockGuard guard(&m_graphLock);
        for (CDxSource* source : m_sourcePool) {
            if (m_keepAlive.insert(static_cast<IBaseFilter*>(source)).second)
                source->AddRef();
            source->Release();
        }
        m_sourcePool.clear();
        if (m_loneSource != nullptr) {
            if (m_keepAlive.insert(static_cast<IBaseFilter*>(m_loneSource)).second)
                m_loneSource->AddRef();
            m_loneSource->Release();
            m_loneSource = nullptr;
        }
        if (graph != nullptr) {
            FlushKeepAlive(graph);
        }
        // Without a graph (or when it refused), the references go anyway:
        // nothing will run these filters again.
        for (IUnknown* object : m_keepAlive)
            object->Release();
        m_keepAlive.clear();
    }
    m_listeners.clear();
    m_quantizer.reset();
    return S_OK;
}

void CMidiDoc::DestroyChannels()
{
    const std::map<SHORT, CChannel*> channels = m_channels.Items();
    for (auto& [id, channel] : channels) {
        channel->OnRemovedFromDocument();
        CChannel* c = channel;
        CChannel::Destroy(c);
    }
    for (auto& [id, channel] : channels)
        m_channels.CUndoMap<SHORT, CChannel*>::Remove(id);
    while (m_trackOrder.GetSize() > 0)
        m_trackOrder.Remove(0);
}

void CMidiDoc::DestroyMainBus()
{
    if (CMainBus* main = MainBus()) {
        main->ReleaseGraphObjects();
        CMainBus::Destroy(main);
    }
    while (m_mainBus.GetSize() > 0)
        m_mainBus.Remove(0);
}

void CMidiDoc::DestroyAuxBuses()
{
    const std::map<SHORT, CAuxBus*> auxBuses = m_auxBuses.Items();
    for (auto& [id, aux] : auxBuses) {
        aux->ReleaseFilters();
        CAuxBus* bus = aux;
        CAuxBus::Destroy(bus);
        m_auxBuses.Remove(id);
    }
    while (m_auxOrder.GetSize() > 0)
        m_auxOrder.Remove(0);
}

// ---- Identifiers ----

SHORT CMidiDoc::NextChannelId()
{
    return DrawId(g_nextChannelId, [this](SHORT id) { return HasContainer(id) != FALSE; });
}

SHORT CMidiDoc::NextPatternId()
{
    return DrawId(g_nextPatternId, [this](SHORT id) { return HasPattern(id) != FALSE; });
}

SHORT CMidiDoc::GetMainBusIdCounter() { return g_nextMainBusId; }
void CMidiDoc::SetMainBusIdCounter(SHORT next) { g_nextMainBusId = next; }
SHORT CMidiDoc::GetAuxBusIdCounter() { return g_nextAuxBusId; }
void CMidiDoc::SetAuxBusIdCounter(SHORT next) { g_nextAuxBusId = next; }
SHORT CMidiDoc::GetChannelIdCounter() { return g_nextChannelId; }
void CMidiDoc::SetChannelIdCounter(SHORT next) { g_nextChannelId = next; }
SHORT CMidiDoc::GetPatternIdCounter() { return g_nextPatternId; }
void CMidiDoc::SetPatternIdCounter(SHORT next) { g_nextPatternId = next; }

// ---- Lookups ----

HRESULT CMidiDoc::GetPattern(SHORT id, CPattern** pattern)
{
    return LookUp(m_patterns, id, pattern);
}

HRESULT CMidiDoc::GetPatternAt(int position, CPattern** pattern)
{
    return LookUpAt(m_patterns, m_patternOrder, position, pattern);
}

HRESULT CMidiDoc::GetChannel(SHORT id, CChannel** channel)
{
    return LookUp<CChannel>(m_channels, id, channel);
}

HRESULT CMidiDoc::GetChannelAt(int position, CChannel** channel)
{
    return LookUpAt<CChannel>(m_channels, m_trackOrder, position, channel);
}

HRESULT CMidiDoc::GetMainBus(CMainBus** bus)
{
    if (bus == nullptr)
        return E_POINTER;
    *bus = MainBus();
    return *bus != nullptr ? S_OK : E_UNEXPECTED;
}

HRESULT CMidiDoc::GetAuxBus(SHORT id, CAuxBus** bus)
{
    return LookUp(m_auxBuses, id, bus);
}

HRESULT CMidiDoc::GetAuxBusAt(int position, CAuxBus** bus)
{
    return LookUpAt(m_auxBuses, m_auxOrder, position, bus);
}

int CMidiDoc::GetAuxBusIndex(SHORT id) const
{
    return PositionOf(m_auxOrder, id);
}

BOOL CMidiDoc::IsMainBusId(SHORT id) const
{
    return m_mainBus.GetSize() > 0 && m_mainBus[0] != nullptr && m_mainBus[0]->GetHostId() == id ? TRUE : FALSE;
}

HRESULT CMidiDoc::FindInstance(DWORD instanceId, CChannel** channel, CPatternInstance** instance)
{
    if (channel == nullptr && instance == nullptr)
        return E_INVALIDARG;
    for (auto& [id, c] : m_channels.Items()) {
        CPatternInstance* found = nullptr;
        if (c->GetPatternInstance(instanceId, &found) == S_OK && found != nullptr) {
            if (channel != nullptr)
                *channel = c;
            if (instance != nullptr)
                *instance = found;
            return S_OK;
        }
    }
    return S_FALSE;
}

CString CMidiDoc::ContainerLabel(SHORT id) const
{
    if (IsMainBusId(id))
        return Text(IDS_DOC_MASTER_BUS);
    const int aux = GetAuxBusIndex(id);
    return aux >= 0 ? Format(IDS_DOC_AUX_LABEL, aux + 1) : Format(IDS_DOC_TRACK_LABEL, GetChannelIndex(id) + 1);
}

HRESULT CMidiDoc::GetContainerPattern(SHORT containerId, CPattern** pattern, CString* label)
{
    if (pattern == nullptr)
        return E_POINTER;
    *pattern = nullptr;
    CChannel* channel = nullptr;
    CAuxBus* aux = nullptr;
    if (SUCCEEDED(m_channels.Get(containerId, &channel)) && channel != nullptr)
        *pattern = channel->GetAutomationPattern();
    else if (SUCCEEDED(m_auxBuses.Get(containerId, &aux)) && aux != nullptr)
        *pattern = aux->GetAutomationPattern();
    else if (IsMainBusId(containerId))
        *pattern = MainBus()->GetAutomationPattern();
    else
        return E_UNEXPECTED;
    if (label != nullptr && *pattern != nullptr)
        label->Format("%s - %s", (*pattern)->GetDisplayName().GetString(), ContainerLabel(containerId).GetString());
    return S_OK;
}

HRESULT CMidiDoc::CountPatternUses(SHORT patternId, int* count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = 0;
    for (auto& [id, c] : m_channels.Items()) {
        int n = 0;
        if (SUCCEEDED(c->GetTimeline().CountPatternInstances(patternId, &n)))
            *count += n;
    }
    return S_OK;
}

HRESULT CMidiDoc::SplitPatternIdsByUse(std::set<SHORT>* inUse, std::set<SHORT>* scrap)
{
    if (inUse == nullptr || scrap == nullptr)
        return E_POINTER;
    for (auto& [id, c] : m_channels.Items())
        c->GetTimeline().CollectUsedPatternIds(inUse);
    for (int i = 0; i < m_patternOrder.GetSize(); ++i) {
        if (inUse->count(m_patternOrder[i]) == 0)
            scrap->insert(m_patternOrder[i]);
    }
    return S_OK;
}

int CMidiDoc::GetChannelIndex(SHORT id) const
{
    return PositionOf(m_trackOrder, id);
}

SHORT CMidiDoc::GetChannelIdAt(int position) const
{
    return position >= 0 && position < m_trackOrder.GetSize() ? m_trackOrder[position] : kNone;
}

BOOL CMidiDoc::IsArrangementEmpty()
{
    for (auto& [id, c] : m_channels.Items()) {
        if (c->GetTimeline().GetSize() > 0)
            return FALSE;
    }
    return TRUE;
}

HRESULT CMidiDoc::GetActivePattern(CPattern** pattern)
{
    if (pattern == nullptr)
        return E_POINTER;
    *pattern = nullptr;
    const SHORT active = m_activePattern.GetCurrent();
    if (active != kNone)
        return GetPattern(active, pattern);
    const SHORT container = GetActiveContainer();
    if (container != kNone)
        return GetContainerPattern(container, pattern, nullptr);
    return S_FALSE;
}

HRESULT CMidiDoc::GetPreviewChannelIds(std::vector<SHORT>* ids)
{
    if (ids == nullptr)
        return E_POINTER;
    if (!ids->empty())
        return E_UNEXPECTED;
    if (m_trackOrder.GetSize() == 0)
        return S_FALSE;
    const SHORT active = GetActiveContainer();
    CChannel* channel = nullptr;
    ids->push_back(SUCCEEDED(m_channels.Get(active, &channel)) ? active : m_trackOrder[0]);
    return S_OK;
}

// ---- Selection ----

void CMidiDoc::SelectAllPatterns(BOOL selected)
{
    for (auto& [id, p] : m_patterns.Items())
        p->SetSelected(selected);
    RefreshPreviews();
}

void CMidiDoc::SelectAllInstances(BOOL selected)
{
    for (auto& [id, c] : m_channels.Items())
        c->SelectAllPatternInstances(selected);
    RefreshPreviews();
}

HRESULT CMidiDoc::TogglePatternSelected(SHORT id)
{
    CPattern* pattern = nullptr;
    HRESULT hr = GetPattern(id, &pattern);
    if (FAILED(hr))
        return E_INVALIDARG;
    pattern->SetSelected(!pattern->IsSelected());
    return RefreshPreviews();
}

HRESULT CMidiDoc::GetSelectedPatternIds(std::vector<SHORT>* ids)
{
    if (ids == nullptr)
        return E_POINTER;
    for (auto& [id, p] : m_patterns.Items()) {
        if (p->IsSelected())
            ids->push_back(id);
    }
    return S_OK;
}

HRESULT CMidiDoc::GetSelectionTimeRange(LONG* start, LONG* end)
{
    if (start == nullptr || end == nullptr)
        return E_POINTER;
    LONG first = 0x7FFFFFFF;
    LONG last = 0;
    bool any = false;
    for (auto& [id, c] : m_channels.Items()) {
        std::vector<CPatternInstance*> instances;
        c->GetTimeline().GetPatternInstances(&instances);
        for (CPatternInstance* i : instances) {
            if (!i->IsSelected())
                continue;
            any = true;
            first = std::min(first, i->GetStart());
            last = std::max(last, i->GetEnd());
        }
    }
    if (!any)
        return S_FALSE;
    *start = first;
    *end = last;
    return S_OK;
}

// ---- Channel edits ----

HRESULT CMidiDoc::InsertChannel(int position, BOOL ownCommand, const CLSID* synthClass, const char* synthName,
                                CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    if (position < 0 || position > m_trackOrder.GetSize())
        return E_INVALIDARG;
    if (m_channels.GetSize() >= kMaxChannels)
        return E_UNEXPECTED;
    const SHORT id = NextChannelId();
    if (id == kNone)
        return E_UNEXPECTED;
    CChannel* channel = nullptr;
    HRESULT hr = CChannel::Create(this, static_cast<WORD>(id), synthClass, synthName, &channel);
    if (FAILED(hr))
        return hr;
    if (channel == nullptr)
        return E_OUTOFMEMORY;
    return InsertChannelAt(position, id, channel, Format(IDS_DOC_INSERT_TRACK, position + 1), ownCommand, command);
}

HRESULT CMidiDoc::InsertChannelAt(int position, SHORT id, CChannel* channel, const CString& name, BOOL ownCommand,
                                  CMvCommand* command)
{
    CMvCommand* own = nullptr;
    if (ownCommand && command == nullptr) {
        own = BeginProjectCommand(AsCommandDocument(), name.GetString(), kHintInsertTrack, TRUE, TRUE);
        if (own == nullptr) {
            CChannel::Destroy(channel);
            return E_OUTOFMEMORY;
        }
        command = own;
    }
    // Whether an undo step took the channel over: from then on it is the
    // step's (or, after an abort that undid the insert, the step's again) and
    // must not be destroyed here as well.
    bool stepOwns = false;
    HRESULT hr = S_OK;
    try {
        SubmitUndoStep<CUndoInsertPtrStep<SHORT, CChannel>>(command, m_channels, id, channel);
        stepOwns = command != nullptr;
        SubmitUndoStep<CUndoInsertStep<int, SHORT>>(command, m_trackOrder, position, id);
    } catch (const CHResultException& e) {
        hr = e.Code();
    } catch (...) {
        hr = E_FAIL;
    }
    if (SUCCEEDED(hr))
        hr = SetActiveContainer(id, FALSE, command);
    if (FAILED(hr)) {
        if (command == nullptr && !stepOwns) {
            // Applied directly: take the channel out again when it went in.
            CChannel* held = nullptr;
            if (SUCCEEDED(m_channels.Get(id, &held)))
                m_channels.Remove(id);
            const int at = GetChannelIndex(id);
            if (at >= 0)
                m_trackOrder.Remove(at);
        }
        if (own != nullptr)
            own->AbortAndDelete();
        else if (command != nullptr && !command->IsAborted())
            command->Abort();
        if (!stepOwns)
            CChannel::Destroy(channel);
        return hr;
    }
    return own != nullptr ? own->Commit(&CUndoHistory::Instance()) : S_OK;
}

HRESULT CMidiDoc::CloneActiveChannel(BOOL ownCommand, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    const SHORT activeId = GetActiveContainer();
    CChannel* active = nullptr;
    if (FAILED(m_channels.Get(activeId, &active)) || active == nullptr || m_channels.GetSize() >= kMaxChannels)
        return E_UNEXPECTED;
    CSynthWrap* synth = dynamic_cast<CSynthWrap*>(active->GetSynthWrap(0));
    if (synth == nullptr)
        return E_UNEXPECTED;
    const int position = GetChannelIndex(activeId) + 1;
    if (position <= 0 || position > m_trackOrder.GetSize())
        return E_UNEXPECTED;
    CSynthWrap* clone = nullptr;
    HRESULT hr = CSynthWrap::Clone(synth, &clone);
    if (FAILED(hr))
        return hr;
    if (clone == nullptr)
        return E_OUTOFMEMORY;
    const SHORT id = NextChannelId();
    CChannel* channel = nullptr;
    // The channel owns the clone from here on, also when this fails.
    hr = id != kNone ? CChannel::CreateDuplicate(this, static_cast<WORD>(id), clone, &channel) : E_UNEXPECTED;
    if (FAILED(hr))
        return hr;
    if (channel == nullptr)
        return E_OUTOFMEMORY;
    return InsertChannelAt(position, id, channel, Text(IDS_DOC_CLONE_SYNTH), ownCommand, command);
}

HRESULT CMidiDoc::SetChannelName(int position, const char* name, BOOL makeCommand)
{
    MV_ASSERT_UI_THREAD();
    const SHORT id = GetChannelIdAt(position);
    if (id == kNone || name == nullptr)
        return E_INVALIDARG;
    const CString undoName = Format(IDS_DOC_CHANGE_TRACK_NAME, position + 1, name);
    return RunProjectEdit(nullptr, makeCommand != FALSE, AsCommandDocument(), undoName.GetString(), kHintTrackName,
                          [&](CMvCommand* cmd) {
                              SubmitUndoStep<CUndoSetChanNameStep>(cmd, m_channels, id, CString(name));
                          });
}

HRESULT CMidiDoc::SetChannelParam(SHORT channelId, DWORD index, float value, BOOL makeCommand)
{
    MV_ASSERT_UI_THREAD();
    CChannel* channel = nullptr;
    if (FAILED(m_channels.Get(channelId, &channel)) || channel == nullptr)
        return E_INVALIDARG;
    CString undoName;
    if (makeCommand) {
        CString valueText;
        CString paramName;
        HRESULT hr = ParamTexts(channel, index, value, &paramName, &valueText);
        if (FAILED(hr))
            return hr;
        undoName = Format(IDS_DOC_SET_TRACK_PARAM, GetChannelIndex(channelId) + 1, paramName.GetString(),
                          valueText.GetString());
    }
    return RunProjectEdit(
        nullptr, makeCommand != FALSE, AsCommandDocument(), undoName.GetString(), kHintTrackName,
        [&](CMvCommand* cmd) { SubmitUndoStep<CUndoSetChanParamStep>(cmd, m_channels, channelId, index, value); },
        FALSE);
}

HRESULT CMidiDoc::DeleteChannel(SHORT channelId, BOOL makeCommand)
{
    MV_ASSERT_UI_THREAD();
    CChannel* channel = nullptr;
    if (FAILED(m_channels.Get(channelId, &channel)) || channel == nullptr)
        return E_INVALIDARG;
    const int position = GetChannelIndex(channelId);
    const CString undoName = Format(IDS_DOC_DELETE_TRACK, position + 1);
    return RunProjectEdit(nullptr, makeCommand != FALSE, AsCommandDocument(), undoName.GetString(),
                          kHintDeleteTrack, [&](CMvCommand* cmd) {
                              if (GetActiveContainer() == channelId) {
                                  const int count = m_trackOrder.GetSize();
                                  SHORT next = MainBus() != nullptr ? MainBus()->GetHostId() : kNone;
                                  if (count > 1)
                                      next = m_trackOrder[position + 1 < count ? position + 1 : position - 1];
                                  if (next != kNone)
                                      Check(SetActiveContainer(next, FALSE, cmd));
                              }
                              CChannel* holder = nullptr;
                              if (m_activeInstance.GetCurrent() != kNoInstanceId &&
                                  FindInstance(static_cast<DWORD>(m_activeInstance.GetCurrent()), &holder,
                                               nullptr) == S_OK &&
                                  holder == channel)
                                  Check(SetActiveInstance(ISongDocument::kNoInstance, cmd));
                              SubmitUndoStep<CUndoRemovePtrStep<SHORT, CChannel>>(cmd, m_channels, channelId);
                              SubmitUndoStep<CUndoRemoveStep<int, SHORT>>(cmd, m_trackOrder, position);
                          });
}

HRESULT CMidiDoc::MoveChannel(int from, int to)
{
    MV_ASSERT_UI_THREAD();
    const int count = m_trackOrder.GetSize();
    if (from < 0 || from >= count || to < 0 || to >= count)
        return E_INVALIDARG;
    const SHORT id = m_trackOrder[from];
    const CString undoName = Format(IDS_DOC_MOVE_TRACK, from + 1, to + 1);
    return RunProjectEdit(nullptr, true, AsCommandDocument(), undoName.GetString(), kHintMoveTrack,
                          [&](CMvCommand* cmd) {
                              SubmitUndoStep<CUndoRemoveStep<int, SHORT>>(cmd, m_trackOrder, from);
                              SubmitUndoStep<CUndoInsertStep<int, SHORT>>(cmd, m_trackOrder, to, id);
                          });
}

// ---- Pattern edits ----

HRESULT CMidiDoc::CreatePattern(SHORT id, BOOL makeCommand, CMvCommand* command, CPattern** out, BOOL loopClip)
{
    MV_ASSERT_UI_THREAD();
    if (out != nullptr)
        *out = nullptr;
    if (id == kNone || HasPattern(id))
        return E_INVALIDARG;
    CPattern* pattern = nullptr;
    HRESULT hr = ::CreatePattern(id, &pattern, loopClip ? CPattern::kKindLoopClip : CPattern::kKindMidi);
    if (FAILED(hr))
        return hr;
    if (pattern == nullptr)
        return E_OUTOFMEMORY;
    const CString undoName = Format(IDS_DOC_CREATE_PATTERN, pattern->GetDisplayName().GetString());
    bool stepOwns = false;
    hr = RunProjectEdit(command, makeCommand != FALSE, AsCommandDocument(), undoName.GetString(),
                        kHintCreatePattern, [&](CMvCommand* cmd) {
                            SubmitUndoStep<CUndoInsertPtrStep<SHORT, CPattern>>(cmd, m_patterns, id, pattern);
                            stepOwns = true;
                            SubmitUndoStep<CUndoInsertStep<int, SHORT>>(cmd, m_patternOrder,
                                                                        m_patternOrder.GetSize(), id);
                        });
    if (FAILED(hr)) {
        // Once in the map, the pattern went out again with the abort and
        // belongs to the insert step (or, applied directly, to nobody).
        if (!stepOwns || (command == nullptr && !makeCommand)) {
            CPattern* held = nullptr;
            if (SUCCEEDED(m_patterns.Get(id, &held)) && held == pattern)
                m_patterns.Remove(id);
            if (!stepOwns || command == nullptr)
                DestroyPattern(pattern);
        }
        return hr;
    }
    if (out != nullptr)
        *out = pattern;
    return hr;
}

HRESULT CMidiDoc::DeletePattern(SHORT id, BOOL makeCommand, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    CPattern* pattern = nullptr;
    if (FAILED(GetPattern(id, &pattern)) || pattern == nullptr)
        return E_INVALIDARG;
    const CString undoName = Format(IDS_DOC_DELETE_PATTERN, pattern->GetDisplayName().GetString());
    return RunProjectEdit(
        command, makeCommand != FALSE, AsCommandDocument(), undoName.GetString(), kHintPatternList,
        [&](CMvCommand* cmd) {
            const std::map<SHORT, CChannel*> channels = m_channels.Items();
            for (auto& [cid, c] : channels) {
                std::vector<SHORT> ids;
                std::vector<CPatternInstance*> refs;
                Check(c->GetTimeline().CollectPatternRefs(&ids, &refs));
                std::vector<DWORD> doomed;
                for (std::size_t i = 0; i < ids.size(); ++i) {
                    if (ids[i] == id)
                        doomed.push_back(refs[i]->GetInstanceId());
                }
                for (DWORD instance : doomed)
                    Check(c->DeletePatternInstance(instance, FALSE, cmd));
            }
            if (m_activePattern.GetCurrent() == id)
                Check(SetActivePattern(kNone, cmd));
            const int at = PositionOf(m_patternOrder, id);
            SubmitUndoStep<CUndoRemovePtrStep<SHORT, CPattern>>(cmd, m_patterns, id);
            if (at >= 0)
                SubmitUndoStep<CUndoRemoveStep<int, SHORT>>(cmd, m_patternOrder, at);
        },
        FALSE);
}

CString CMidiDoc::UniqueCopyName(const CString& source) const
{
    auto taken = [this](const CString& name) {
        for (auto& [id, p] : m_patterns.Items()) {
            if (p->GetName() == name)
                return true;
        }
        return false;
    };
    CString name = Format(IDS_DOC_COPY_OF, source.GetString());
    for (int n = 2; taken(name); ++n)
        name = Format(IDS_DOC_COPY_N_OF, n, source.GetString());
    return name;
}

HRESULT CMidiDoc::DuplicatePattern(SHORT sourceId, SHORT newId, BOOL makeCommand, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    CPattern* source = nullptr;
    if (FAILED(GetPattern(sourceId, &source)) || source == nullptr || newId == kNone || HasPattern(newId))
        return E_INVALIDARG;
    const CString undoName = Format(IDS_DOC_DUPLICATE_PATTERN, source->GetDisplayName().GetString());
    return RunProjectEdit(
        command, makeCommand != FALSE, AsCommandDocument(), undoName.GetString(), kHintPatternList,
        [&](CMvCommand* cmd) {
            CPattern* copy = nullptr;
            // Without a command the copy is made directly; with one it joins.
            Check(CreatePattern(newId, FALSE, cmd, &copy, source->GetKind() == CPattern::kKindLoopClip));
            // The copy gets a clip of its own in the pool (sharing the
            // file's samples), not just the path: without one its instances
            // would have nothing to register with the loop player.
            if (source->GetKind() == CPattern::kKindLoopClip && !source->GetClipFile().IsEmpty())
                Check(AttachClipFile(copy, source->GetClipFile().GetString()));
            copy->SetDuration(source->GetDuration());
            copy->SetName(UniqueCopyName(source->GetDisplayName()).GetString());
            const std::vector<CMfxEvent> events = source->GetEvents();
            for (const CMfxEvent& e : events)
                Check(copy->InsertEvent(e, FALSE, cmd, FALSE));
        },
        FALSE);
}

HRESULT CMidiDoc::MergePatterns(const std::vector<SHORT>& sources, SHORT targetId, BOOL append,
                                CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    // The sources' events are copied first: the target may be among the
    // sources, and inserting into it while walking it would read the events
    // being added.
    std::vector<std::vector<CMfxEvent>> used;
    std::vector<CString> names;
    LONG longest = 0;
    for (SHORT id : sources) {
        CPattern* p = nullptr;
        if (!HasPattern(id))
            return E_INVALIDARG;
        if (FAILED(GetPattern(id, &p)) || p == nullptr)
            return E_UNEXPECTED;
        if (p->GetSize() == 0 || p->GetKind() == CPattern::kKindLoopClip)
            continue;
        used.push_back(p->GetEvents());
        names.push_back(p->GetDisplayName());
        longest = std::max(longest, p->GetDuration());
    }
    CPattern* target = nullptr;
    if (used.empty() || FAILED(GetPattern(targetId, &target)) || target == nullptr)
        return E_INVALIDARG;
    const CString targetName = target->GetDisplayName();
    CString undoName;
    if (used.size() == 1)
        undoName = Format(append ? IDS_DOC_APPEND_ONE : IDS_DOC_MERGE_ONE, names[0].GetString(), targetName.GetString());
    else
        undoName = Format(append ? IDS_DOC_APPEND_MANY : IDS_DOC_MERGE_MANY, targetName.GetString());
    const LONG offset = append ? target->GetDuration() : target->GetEditMarker();
    const LONG duration = append ? target->GetDuration() + longest
                                 : std::max(target->GetDuration(), target->GetEditMarker() + longest);
    return RunProjectEdit(command, true, AsCommandDocument(), undoName.GetString(), kHintMergePatterns,
                          [&](CMvCommand* cmd) {
                              for (const auto& events : used) {
                                  for (CMfxEvent e : events) {
                                      e.m_time += offset;
                                      Check(target->InsertEvent(e, FALSE, cmd, FALSE));
                                  }
                              }
                              Check(SetPatternAttributes(targetId, nullptr, &duration, nullptr, nullptr, cmd));
                          });
}

HRESULT CMidiDoc::SplitPattern(CPattern* source, LONG from, LONG to, LONG duration, SHORT* newId)
{
    MV_ASSERT_UI_THREAD();
    if (source == nullptr || from < 0 || from >= to)
        return E_INVALIDARG;
    const CString undoName = Format(IDS_DOC_SPLIT_PATTERN, source->GetDisplayName().GetString());
    const std::vector<CMfxEvent> events = source->GetEvents();
    SHORT id = kNone;
    HRESULT hr = RunProjectEdit(nullptr, true, AsCommandDocument(), undoName.GetString(), kHintCreatePattern,
                                [&](CMvCommand* cmd) {
                                    id = NextPatternId();
                                    if (id == kNone)
                                        Check(E_FAIL);
                                    CPattern* part = nullptr;
                                    Check(CreatePattern(id, FALSE, cmd, &part));
                                    bool any = false;
                                    for (CMfxEvent e : events) {
                                        if (e.m_time < from || e.m_time >= to)
                                            continue;
                                        e.m_time -= from;
                                        Check(part->InsertEvent(e, FALSE, cmd, FALSE));
                                        any = true;
                                    }
                                    if (!any || duration < 1)
                                        Check(E_FAIL);
                                    part->SetDuration(duration);
                                    part->SetName(Format(IDS_DOC_SPLIT_OF,
                                                         source->GetDisplayName().GetString())
                                                      .GetString());
                                    Check(SetActiveInstance(ISongDocument::kNoInstance, cmd));
                                    Check(SetActivePattern(id, cmd));
                                });
    if (SUCCEEDED(hr) && newId != nullptr)
        *newId = id;
    return hr;
}

HRESULT CMidiDoc::SetPatternAttributes(SHORT id, const char* name, const LONG* duration, const DWORD* swing,
                                       const LONG* editMarker, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    const int given = (name != nullptr) + (duration != nullptr) + (swing != nullptr) + (editMarker != nullptr);
    if (id == kNone || !HasPattern(id) || given == 0)
        return E_INVALIDARG;
    CString undoName;
    if (given > 1)
        undoName = Text(IDS_DOC_CHANGE_PATTERN_ATTRIBUTES);
    else if (name != nullptr)
        undoName = Format(IDS_DOC_SET_PATTERN_NAME, name);
    else if (duration != nullptr)
        undoName = Text(IDS_DOC_CHANGE_PATTERN_DURATION);
    else if (swing != nullptr)
        undoName = Text(*swing != 0 ? IDS_DOC_ENABLE_PATTERN_SWING : IDS_DOC_DISABLE_PATTERN_SWING);
    else
        undoName = Text(IDS_DOC_CHANGE_PATTERN_MARKER);
    return RunProjectEdit(command, true, AsCommandDocument(), undoName.GetString(), kHintPatternAttributes,
                          [&](CMvCommand* cmd) {
                              if (name != nullptr)
                                  SubmitUndoStep<CUndoSetPatternNameStep>(cmd, m_patterns, id, CString(name));
                              if (duration != nullptr)
                                  SubmitUndoStep<CUndoSetPatternDurationStep>(cmd, m_patterns, id, *duration);
                              if (swing != nullptr)
                                  SubmitUndoStep<CUndoSetPatternSwingStep>(cmd, m_patterns, id,
                                                                          static_cast<DWORD>(*swing != 0));
                              if (editMarker != nullptr)
                                  SubmitUndoStep<CUndoSetPatternEditMarkerStep>(cmd, m_patterns, id, *editMarker);
                          });
}

// ---- Audio import: loop-clip patterns ----

namespace {

// What an audio import changes in the views: the arrangement, tracks,
// patterns and the active instance.
constexpr DWORD kHintImportAudio = 0x69;
// The loop player a dropped or imported clip gets when no track can play it.
constexpr const char* kLoopPlayerName = "Tamblor";

}  // namespace

HRESULT CMidiDoc::AttachClipFile(CPattern* pattern, const char* path, int* reason, ILoopClip** clip)
{
    MV_ASSERT_UI_THREAD();
    if (clip != nullptr)
        *clip = nullptr;
    if (reason != nullptr)
        *reason = 0;
    if (pattern == nullptr || path == nullptr)
        return E_POINTER;
    if (pattern->GetKind() != CPattern::kKindLoopClip)
        return E_INVALIDARG;
    IEngineServices* services = GetEngineServices();
    IClipPool* pool = services != nullptr ? services->GetClipPool() : nullptr;
    CDxFilterGraph* graph = GetFilterGraph();
    if (pool == nullptr || graph == nullptr)
        return E_UNEXPECTED;
    // The engine's own format: every pin carries float stereo at the graph's rate.
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(graph->GetSampleRate());
    format.nAvgBytesPerSec = format.nSamplesPerSec * 8;
    format.nBlockAlign = 8;
    format.wBitsPerSample = 32;
    const DWORD id = pattern->GetClipId();
    ILoopClip* made = nullptr;
    HRESULT hr = pool->AddClipFromFile(pattern->GetDisplayName().GetString(), path, format, &id, &made, reason, FALSE);
    if (FAILED(hr))
        return hr;
    LONGLONG length = 0;
    if (made != nullptr && SUCCEEDED(made->GetLength(&length))) {
        pattern->SetClipFile(path);
        pattern->SetDuration(static_cast<LONG>(std::clamp<LONGLONG>(length, 0, std::numeric_limits<LONG>::max())));
    }
    if (clip != nullptr)
        *clip = made;
    return hr;
}

HRESULT CMidiDoc::PlaceLoopClip(CPattern* pattern, const char* path, CMvCommand* command, CChannel** channel,
                                BOOL newTrack, const LONG* time)
{
    MV_ASSERT_UI_THREAD();
    if (channel != nullptr)
        *channel = nullptr;
    if (pattern == nullptr || path == nullptr)
        return E_POINTER;
    CChannel* target = nullptr;
    if (!newTrack) {
        CChannel* active = nullptr;
        if (SUCCEEDED(GetChannel(GetActiveContainer(), &active)) && active != nullptr &&
            active->GetLoopClipHost() != nullptr)
            target = active;
    }
    HRESULT hr = S_OK;
    if (target == nullptr) {
        if (FAILED(hr = InsertChannel(GetChannelCount(), FALSE, &CLSID_LoopPlayerFilter, kLoopPlayerName, command)))
            return hr;
        if (FAILED(GetChannelAt(GetChannelCount() - 1, &target)) || target == nullptr)
            return E_FAIL;
    }
    if (FAILED(hr = AttachClipFile(pattern, path)))
        return hr;
    const LONG start = time != nullptr ? *time : m_engine != nullptr ? m_engine->GetNowTicks(FALSE) : 0;
    CPatternInstance instance(pattern);
    instance.SetStart(start);
    if (FAILED(hr = instance.SetEnd(start + pattern->GetDuration())) ||
        FAILED(hr = target->AddPatternInstance(instance, FALSE, command)) ||
        FAILED(hr = SetActiveInstance(instance.GetInstanceId(), command)))
        return hr;
    if (channel != nullptr)
        *channel = target;
    return S_OK;
}

HRESULT CMidiDoc::ImportIntoProject(const char* title, const char* path)
{
    MV_ASSERT_UI_THREAD();
    if (title == nullptr || path == nullptr)
        return E_POINTER;
    CString name(title);
    if (const int point = name.ReverseFind('.'); point >= 0)
        name = name.Left(point);
    const CString undoName = Format(IDS_DOC_IMPORT_INTO_PROJECT, name.GetString());
    return RunProjectEdit(nullptr, true, AsCommandDocument(), undoName.GetString(), kHintImportAudio,
                          [&](CMvCommand* cmd) {
                              const SHORT id = NextPatternId();
                              if (id == kNone)
                                  throw CHResultException(E_UNEXPECTED);
                              CPattern* pattern = nullptr;
                              Check(CreatePattern(id, FALSE, cmd, &pattern, TRUE));
                              Check(PlaceLoopClip(pattern, path, cmd, nullptr, FALSE, nullptr));
                              Check(SetPatternAttributes(id, name.GetString(), nullptr, nullptr, nullptr, cmd));
                          });
}

// ---- Active ids ----

HRESULT CMidiDoc::SetActiveContainer(SHORT id, BOOL forceNotify, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    // An id that names no container is refused before any step runs, so
    // the active container never silently becomes none.
    if (id == kNone || !HasContainer(id))
        return E_INVALIDARG;
    const SHORT previous = GetActiveContainer();
    if (id != previous) {
        try {
            SubmitUndoStep<CUndoSetStep<int, SHORT>>(command, m_activeContainer, 0, id);
        } catch (const CHResultException& e) {
            return e.Code();
        }
    }
    // The step told the listeners once; a change of kind (or an empty
    // previous) tells them again so a view that switches panels refreshes.
    auto kind = [this](SHORT c) {
        CChannel* channel = nullptr;
        CAuxBus* aux = nullptr;
        return SUCCEEDED(m_channels.Get(c, &channel)) ? 0 : SUCCEEDED(m_auxBuses.Get(c, &aux)) ? 1 : IsMainBusId(c) ? 2 : -1;
    };
    const bool kindChanged = kind(previous) != kind(id) || (IsMainBusId(id) && m_channels.GetSize() == 0);
    if (forceNotify || (id != previous && kindChanged))
        return NotifyActiveContainer(id);
    return S_OK;
}

HRESULT CMidiDoc::SetActiveChannelAt(int position, CMvCommand* command)
{
    const SHORT id = GetChannelIdAt(position);
    if (id == kNone)
        return E_INVALIDARG;
    return SetActiveContainer(id, FALSE, command);
}

HRESULT CMidiDoc::SetActivePattern(SHORT id, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    if (id != kNone && !HasPattern(id))
        return E_INVALIDARG;
    if (id == m_activePattern.GetCurrent())
        return S_OK;
    try {
        SubmitUndoStep<CUndoSetStep<int, SHORT>>(command, m_activePattern, 0, id);
    } catch (const CHResultException& e) {
        return e.Code();
    }
    return S_OK;
}

HRESULT CMidiDoc::SetActiveInstance(DWORD instanceId, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    const LONG id = static_cast<LONG>(instanceId);
    if (id != kNoInstanceId && !HasInstance(instanceId))
        return E_UNEXPECTED;
    try {
        if (id != kNoInstanceId) {
            // The low 16 bits name the instance's pattern.
            const SHORT pattern = static_cast<SHORT>(instanceId & 0xFFFF);
            if (pattern != m_activePattern.GetCurrent())
                SubmitUndoStep<CUndoSetStep<int, SHORT>>(command, m_activePattern, 0, pattern);
        }
        if (id != m_activeInstance.GetCurrent())
            SubmitUndoStep<CUndoSetStep<int, LONG>>(command, m_activeInstance, 0, id);
    } catch (const CHResultException& e) {
        return e.Code();
    }
    return S_OK;
}

SHORT CMidiDoc::GetValidActiveContainer()
{
    const SHORT active = GetActiveContainer();
    if (HasContainer(active))
        return active;
    return MainBus() != nullptr ? MainBus()->GetHostId() : kNone;
}

HRESULT CMidiDoc::AddStateListener(IDocStateChange* listener)
{
    if (listener == nullptr)
        return E_POINTER;
    return m_listeners.insert(listener).second ? S_OK : S_FALSE;
}

HRESULT CMidiDoc::RemoveStateListener(IDocStateChange* listener)
{
    if (listener == nullptr)
        return E_POINTER;
    return m_listeners.erase(listener) != 0 ? S_OK : S_FALSE;
}

HRESULT CMidiDoc::NotifyActiveContainer(SHORT id)
{
    CChannel* channel = nullptr;
    CAuxBus* aux = nullptr;
    HRESULT (IDocStateChange::*tell)(SHORT) = nullptr;
    if (SUCCEEDED(m_channels.Get(id, &channel)))
        tell = &IDocStateChange::OnChannelSelected;
    else if (SUCCEEDED(m_auxBuses.Get(id, &aux)))
        tell = &IDocStateChange::OnBusSelected;
    else if (IsMainBusId(id))
        tell = &IDocStateChange::OnMainBusSelected;
    else
        return E_INVALIDARG;
    HRESULT result = S_OK;
    for (IDocStateChange* listener : m_listeners) {
        HRESULT hr = (listener->*tell)(id);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    return result;
}

// ---- Settings ----

HRESULT CMidiDoc::SetSendMidiSync(BOOL send)
{
    m_sendMidiSync = send ? TRUE : FALSE;
    IMidiSyncGen* sync = m_engine != nullptr ? m_engine->GetMidiSyncGen() : nullptr;
    if (sync == nullptr)
        return E_UNEXPECTED;
    return send ? sync->Restart(this) : sync->SendStop();
}

HRESULT CMidiDoc::SetShuffleAmount(float amount)
{
    if (!(amount >= 0.0f && amount <= 1.0f))
        return E_INVALIDARG;
    m_shuffle = amount;
    return ForEachChannel([amount](CChannel* c) { return c->GetMfxChain().SetShuffle(amount); });
}

template <class Call>
HRESULT CMidiDoc::ForEachChannel(Call call)
{
    return ForEachIn(m_channels.Items(), call);
}

// ---- Derived state (after every command) ----

HRESULT CMidiDoc::RecalcSongLength()
{
    LONG end = 0;
    for (auto& [id, c] : m_channels.Items()) {
        std::vector<CPatternInstance*> instances;
        c->GetTimeline().GetPatternInstances(&instances);
        for (CPatternInstance* i : instances)
            end = std::max(end, i->GetEnd());
    }
    m_songEnd = end;
    return S_OK;
}

HRESULT CMidiDoc::ResetInstanceCursors(SHORT patternId)
{
    for (auto& [id, c] : m_channels.Items())
        c->InvalidatePatternInstances(patternId);
    for (auto& [id, a] : m_auxBuses.Items())
        a->ResetAutomationCursor(patternId);
    if (CMainBus* main = MainBus())
        main->InvalidatePatternInstance(patternId);
    return S_OK;
}

HRESULT CMidiDoc::ResetInstanceCursors(WORD patternId) { return ResetInstanceCursors(static_cast<SHORT>(patternId)); }

HRESULT CMidiDoc::RefreshActiveSelection() { return RefreshPreviews(); }

HRESULT CMidiDoc::RefreshPreviews()
{
    for (auto& [id, c] : m_channels.Items())
        c->StopPreviews();
    // Straight to the holders' storage: the ids are cleared, not changed by
    // the user, and this refresh is what a change would run.
    const SHORT active = m_activePattern.GetCurrent();
    if (active != kNone && !HasPattern(active))
        m_activePattern.CUndoVector<SHORT>::Set(0, kNone);
    const LONG instance = m_activeInstance.GetCurrent();
    if (instance != kNoInstanceId && !HasInstance(static_cast<DWORD>(instance)))
        m_activeInstance.CUndoVector<LONG>::Set(0, kNoInstanceId);
    m_previewing = FALSE;
    std::vector<SHORT> previewIds;
    if (GetPreviewChannelIds(&previewIds) != S_OK)
        return S_OK;
    std::vector<CChannel*> previewers;
    for (SHORT id : previewIds) {
        CChannel* c = nullptr;
        if (SUCCEEDED(m_channels.Get(id, &c)))
            previewers.push_back(c);
    }
    CPattern* activePattern = nullptr;
    CChannel* playing = nullptr;
    if (m_activeInstance.GetCurrent() != kNoInstanceId) {
        const DWORD iid = static_cast<DWORD>(m_activeInstance.GetCurrent());
        if (FindInstance(iid, &playing, nullptr) == S_OK && SUCCEEDED(playing->PreviewPatternInstance(iid)))
            m_previewing = TRUE;
    } else if (SUCCEEDED(GetPattern(m_activePattern.GetCurrent(), &activePattern))) {
        for (CChannel* c : previewers) {
            if (SUCCEEDED(c->PreviewPattern(activePattern)))
                m_previewing = TRUE;
        }
    }
    const SHORT activeId = m_activePattern.GetCurrent();
    for (auto& [pid, p] : m_patterns.Items()) {
        if (!p->IsSelected())
            continue;
        for (CChannel* c : previewers) {
            const bool alreadyPlays = pid == activeId && (activePattern != nullptr || c == playing);
            if (!alreadyPlays && SUCCEEDED(c->PreviewPattern(p)))
                m_previewing = TRUE;
        }
    }
    return S_OK;
}

// ---- IActiveIdDocument ----

BOOL CMidiDoc::HasPattern(SHORT id)
{
    CPattern* p = nullptr;
    return SUCCEEDED(m_patterns.Get(id, &p)) ? TRUE : FALSE;
}

BOOL CMidiDoc::HasInstance(DWORD id)
{
    CChannel* holder = nullptr;
    return FindInstance(id, &holder, nullptr) == S_OK ? TRUE : FALSE;
}

BOOL CMidiDoc::HasContainer(SHORT id)
{
    CChannel* c = nullptr;
    CAuxBus* aux = nullptr;
    return SUCCEEDED(m_channels.Get(id, &c)) || SUCCEEDED(m_auxBuses.Get(id, &aux)) || IsMainBusId(id) ? TRUE
                                                                                                      : FALSE;
}

// ---- Graph upkeep ----

HRESULT CMidiDoc::UpdateChannelGraph(CChannel* channel)
{
    // The map's change succeeded; a routing change already pending is no
    // failure of it.
    HRESULT hr = OnRoutingChanged(channel);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CMidiDoc::OnRoutingChanged(CChannel* channel)
{
    HRESULT hr = UpdateSoloMutes();
    if (FAILED(hr))
        return hr;
    OnArmChanged();
    for (int aux = 0; channel != nullptr && aux < kAuxBusCount; ++aux) {
        for (int n = 0; n < channel->GetOutputCount(); ++n) {
            if (channel->IsAuxSendEnabled(n, aux) && FAILED(hr = RefreshAuxBusRouting(aux)))
                return hr;
        }
    }
    if (m_routingChanged)
        return S_FALSE;
    m_routingChanged = 1;
    InvalidateMuteState();
    return SetGraphDirty();
}

HRESULT CMidiDoc::SetGraphDirty() { return m_graphDirty.exchange(1) != 0 ? S_FALSE : S_OK; }

HRESULT CMidiDoc::InvalidateAllContainers()
{
    HRESULT hr = ForEachChannel([](CChannel* c) { return c->OnRoutingChanged(); });
    if (SUCCEEDED(hr) && MainBus() != nullptr)
        hr = MainBus()->InvalidateGraph();
    if (SUCCEEDED(hr))
        hr = ForEachAuxBus([](CAuxBus* a) { return a->InvalidateGraph(); });
    return hr;
}

template <class Call>
HRESULT CMidiDoc::ForEachAuxBus(Call call)
{
    return ForEachIn(m_auxBuses.Items(), call);
}

HRESULT CMidiDoc::KeepObjectAlive(IUnknown* object)
{
    if (object == nullptr)
        return E_INVALIDARG;
    CHeapLockGuard guard(&m_graphLock);
    if (!m_keepAlive.insert(object).second)
        return E_UNEXPECTED;
    object->AddRef();
    return S_OK;
}

HRESULT CMidiDoc::FlushKeepAlive(CDxFilterGraph* graph)
{
    if (graph == nullptr)
        return E_POINTER;
    for (IUnknown* object : m_keepAlive) {
        IBaseFilter* filter = nullptr;
        if (SUCCEEDED(object->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)))) {
            HRESULT hr = graph->RemoveFilter(filter);
            filter->Release();
            // A filter the graph no longer holds is out already.
            if (FAILED(hr) && hr != VFW_E_NOT_FOUND)
                return hr;
        }
        IMfxSoftSynth* synth = nullptr;
        if (SUCCEEDED(object->QueryInterface(IID_IMfxSoftSynth, reinterpret_cast<void**>(&synth)))) {
            synth->Disconnect();
            synth->Release();
        }
    }
    for (IUnknown* object : m_keepAlive)
        object->Release();
    m_keepAlive.clear();
    return S_OK;
}

HRESULT CMidiDoc::DisconnectGraph(CDxFilterGraph* graph)
{
    if (m_loneSource != nullptr) {
        HRESULT hr = graph->RemoveFilter(m_loneSource);
        if (FAILED(hr) && hr != VFW_E_NOT_FOUND)
            return hr;
        m_loneSource->Release();
        m_loneSource = nullptr;
    }
    HRESULT hr = ForEachChannel([](CChannel* c) { return c->RemoveFromGraph(); });
    if (SUCCEEDED(hr))
        hr = ForEachAuxBus([](CAuxBus* a) { return a->RemoveFromGraph(); });
    if (SUCCEEDED(hr) && MainBus() != nullptr)
        hr = MainBus()->RemoveFromGraph();
    return hr;
}

HRESULT CMidiDoc::ConnectGraph(CDxFilterGraph* graph)
{
    HRESULT hr = DisconnectGraph(graph);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = ForEachChannel([](CChannel* c) { return c->AddToGraph(); })) ||
        FAILED(hr = ForEachAuxBus([](CAuxBus* a) { return a->AddToGraph(); })) ||
        (MainBus() != nullptr && FAILED(hr = MainBus()->AddToGraph())))
        return hr;
    if (m_channels.GetSize() > 0) {
        hr = ForEachChannel([](CChannel* c) { return c->ConnectInGraph(); });
    } else {
        // No channel: a disabled source keeps the graph from being empty.
        if (FAILED(hr = graph->CreateSource(&m_loneSource)))
            return hr;
        m_loneSource->SetEnabled(FALSE);
        if (FAILED(hr = graph->AddFilter(m_loneSource, u"lone_src"))) {
            m_loneSource->Release();
            m_loneSource = nullptr;
            return hr;
        }
        IPin* mixIn = GetMainBusMixInPin();
        hr = mixIn != nullptr ? graph->ConnectToPin(m_loneSource, 0, mixIn, nullptr) : E_FAIL;
    }
    if (FAILED(hr) || FAILED(hr = ForEachAuxBus([](CAuxBus* a) { return a->ConnectInGraph(); })))
        return hr;
    return MainBus() != nullptr ? MainBus()->ConnectGraph() : E_UNEXPECTED;
}

HRESULT CMidiDoc::RebuildGraph()
{
    MV_ASSERT_UI_THREAD();
    if (!m_graphDirty)
        return S_FALSE;
    CHeapLockGuard guard(&m_graphLock);
    CDxFilterGraph* graph = GetFilterGraph();
    if (graph == nullptr)
        return E_UNEXPECTED;
    HRESULT hr = graph->Stop();
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = FlushKeepAlive(graph)))
        return hr;
    m_routingChanged = 0;
    const HRESULT connected = ConnectGraph(graph);
    if (FAILED(connected)) {
        if (++m_rebuildRetries <= kMaxRebuildRetries) {
            // Every container builds its part afresh on the next attempt.
            if (FAILED(hr = InvalidateAllContainers()))
                return hr;
            return connected;
        }
        m_graphDirty = 0;
    }
    if (m_rebuildRetries != 0) {
        PostToMainWindow(kRebuildTroubleMessage, 0, 0);
        m_rebuildRetries = 0;
    }
    if (FAILED(connected))
        return connected;
    if (FAILED(hr = graph->Run()))
        return hr;
    if (FAILED(hr = m_engine->ResyncEngine()))
        return hr;
    m_graphDirty = 0;
    return S_OK;
}

HRESULT CMidiDoc::InvalidateGraph()
{
    HRESULT hr = InvalidateAllContainers();
    if (SUCCEEDED(hr))
        hr = SetGraphDirty();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CMidiDoc::ConnectAllContainers()
{
    return ForEachChannel([](CChannel* c) { return c->ConnectInGraph(); });
}

HRESULT CMidiDoc::AcquireSourceFilter(IBaseFilter** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    CDxSource* found = nullptr;
    for (CDxSource* s : m_sourcePool) {
        if (!s->IsConnected()) {
            found = s;
            break;
        }
    }
    if (found == nullptr) {
        CDxFilterGraph* graph = GetFilterGraph();
        if (graph == nullptr || FAILED(graph->CreateSource(&found)))
            return E_FAIL;
        if (FAILED(graph->AddFilter(found, u"src"))) {
            found->Release();
            return E_FAIL;
        }
        // The pool keeps the creation reference.
        m_sourcePool.push_back(found);
    }
    found->AddRef();
    *out = found;
    return S_OK;
}

CDxFilterGraph* CMidiDoc::GetFilterGraph() { return m_engine != nullptr ? m_engine->GetFilterGraph() : nullptr; }

// ---- Solo and mute ----

BOOL CMidiDoc::IsNoChannelSoloed()
{
    if (m_noSoloValid)
        return m_noSolo;
    BOOL none = TRUE;
    for (auto& [id, c] : m_channels.Items()) {
        for (int n = 0; n < c->GetOutputCount() && none; ++n) {
            if (c->IsOutputSoloed(n))
                none = FALSE;
        }
    }
    m_noSolo = none;
    m_noSoloValid = TRUE;
    return none;
}

HRESULT CMidiDoc::UpdateSoloMutes()
{
    InvalidateSoloState();
    return ForEachChannel([](CChannel* c) { return c->ApplySoloMute(); });
}

void CMidiDoc::InvalidateMuteState() { m_noMuteValid = FALSE; }

BOOL CMidiDoc::IsNoTrackMuted()
{
    if (m_noMuteValid)
        return m_noMute;
    BOOL none = TRUE;
    for (auto& [id, c] : m_channels.Items()) {
        for (int n = 0; n < c->GetOutputCount() && none; ++n) {
            if (c->IsOutputMuted(n))
                none = FALSE;
        }
    }
    for (auto& [id, a] : m_auxBuses.Items()) {
        if (a->IsMuted())
            none = FALSE;
    }
    if (MainBus() != nullptr && MainBus()->IsMuted())
        none = FALSE;
    m_noMute = none;
    m_noMuteValid = TRUE;
    return none;
}

BOOL CMidiDoc::IsNoChannelArmed()
{
    if (m_noArmValid)
        return m_noArm;
    BOOL none = TRUE;
    for (auto& [id, c] : m_channels.Items()) {
        if (c->IsArmed())
            none = FALSE;
    }
    m_noArm = none;
    m_noArmValid = TRUE;
    return none;
}

void CMidiDoc::OnArmChanged() { InvalidateArmState(); }

BOOL CMidiDoc::IsPlaying() { return m_engine != nullptr && m_engine->IsPlaying() ? TRUE : FALSE; }

BOOL CMidiDoc::IsRecording() { return m_engine != nullptr && (m_engine->GetRecordMode() & 1) != 0 ? TRUE : FALSE; }

DWORD CMidiDoc::GetRewirePortIndex()
{
    auto* source = m_engine != nullptr ? dynamic_cast<CMidiSource*>(m_engine->GetMidiSource()) : nullptr;
    const CMidiSource::PortRecord* port = source != nullptr ? source->GetRewirePort() : nullptr;
    return port != nullptr ? static_cast<DWORD>(port->portIndex) : CChannel::kNoPort;
}

LONG CMidiDoc::GetTransportNow() { return m_engine != nullptr ? m_engine->GetNowTicks(TRUE) : 0; }

BOOL CMidiDoc::IsCountInOn() { return m_engine != nullptr && m_engine->IsCountInActive() ? TRUE : FALSE; }

HRESULT CMidiDoc::ClearAllSolos()
{
    return ForEachChannel([](CChannel* c) {
        for (int n = 0; n < c->GetOutputCount(); ++n) {
            HRESULT hr = c->SetOutputSolo(n, FALSE);
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    });
}

HRESULT CMidiDoc::ClearAllMutes()
{
    HRESULT hr = ForEachAuxBus([](CAuxBus* a) { return a->SetMute(FALSE); });
    if (SUCCEEDED(hr) && MainBus() != nullptr)
        hr = MainBus()->SetMute(FALSE);
    if (FAILED(hr))
        return hr;
    return ForEachChannel([](CChannel* c) {
        for (int n = 0; n < c->GetOutputCount(); ++n) {
            HRESULT hr = c->SetOutputMute(n, FALSE);
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    });
}

HRESULT CMidiDoc::DisarmAllChannels()
{
    HRESULT hr = ForEachChannel([](CChannel* c) {
        c->SetArmed(0);
        return S_OK;
    });
    InvalidateArmState();
    return hr;
}

HRESULT CMidiDoc::GetAutomationPattern(SHORT containerId, CPattern** pattern, CString* name)
{
    if (pattern == nullptr && name == nullptr)
        return E_INVALIDARG;
    CPattern* found = nullptr;
    CChannel* holder = nullptr;
    const LONG active = m_activeInstance.GetCurrent();
    HRESULT hr = S_OK;
    if (active != kNoInstanceId && FindInstance(static_cast<DWORD>(active), &holder, nullptr) == S_OK &&
        holder->GetId() == static_cast<WORD>(containerId) &&
        SUCCEEDED(GetPattern(m_activePattern.GetCurrent(), &found))) {
        if (name != nullptr)
            *name = found->GetDisplayName();
    } else {
        hr = GetContainerPattern(containerId, &found, name);
    }
    if (pattern != nullptr)
        *pattern = SUCCEEDED(hr) ? found : nullptr;
    return hr;
}

HRESULT CMidiDoc::RecordParamAutomation(SHORT containerId, const std::vector<DWORD>& params,
                                        const std::vector<float>& values)
{
    if (params.empty() || values.empty())
        return E_INVALIDARG;
    if (params.size() != values.size())
        return E_UNEXPECTED;
    CPattern* pattern = nullptr;
    HRESULT hr = GetAutomationPattern(containerId, &pattern, nullptr);
    if (FAILED(hr))
        return hr;
    if (pattern == nullptr)
        return E_UNEXPECTED;
    for (std::size_t i = 0; i < params.size(); ++i) {
        CMfxEvent e(MfxAutomation);
        e.m_automation.param = params[i];
        e.m_value = values[i];
        if (FAILED(hr = pattern->InsertEvent(e, TRUE, nullptr, TRUE)))
            return hr;
    }
    return S_OK;
}

int CMidiDoc::GetChannelPosition(const CControlParamSet* set)
{
    for (int i = 0; i < m_trackOrder.GetSize(); ++i) {
        CChannel* c = nullptr;
        if (SUCCEEDED(m_channels.Get(m_trackOrder[i], &c)) && static_cast<const CControlParamSet*>(c) == set)
            return i + 1;
    }
    return 0;
}

HRESULT CMidiDoc::SetChannelParam(WORD channelId, DWORD id, float value)
{
    return SetChannelParam(static_cast<SHORT>(channelId), id, value, TRUE);
}

// ---- Services the program has no window for yet; parameter gestures go to the recorder ----

HRESULT CMidiDoc::RunRemoteControlDialog(CRCContainer*, DWORD, const char*, LONG, LONG) { return E_NOTIMPL; }

HRESULT CMidiDoc::CreateRCParam(CControlParamSet*, REFGUID, REFGUID, IRCParam** param)
{
    if (param == nullptr)
        return E_POINTER;
    *param = nullptr;
    return E_NOTIMPL;
}

void CMidiDoc::PostToMainWindow(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_engine != nullptr)
        m_engine->PostToMainWindow(message, wParam, lParam);
}

HRESULT CMidiDoc::CreateFxWrap(REFCLSID clsid, const char* name, IFxWrap** wrap)
{
    if (wrap == nullptr)
        return E_POINTER;
    *wrap = nullptr;
    IMfxHostSite* site = m_engine != nullptr ? m_engine->GetMfxHostSite() : nullptr;
    CFxWrap* made = nullptr;
    HRESULT hr = CFxWrap::Create(&clsid, name, GetFilterGraph(), site, &made);
    if (SUCCEEDED(hr))
        *wrap = made;
    return hr;
}

HRESULT CMidiDoc::ShowFxPropertyPage(IFxWrap*, HWND) { return E_NOTIMPL; }
HRESULT CMidiDoc::CloseFxPropertyPage(IFxWrap*) { return S_OK; }
void CMidiDoc::SetModifiedFlag() {}
IPin* CMidiDoc::GetMainBusMixInPin() { return MainBus() != nullptr ? MainBus()->AddMixerInput() : nullptr; }

IPin* CMidiDoc::GetAuxBusMixInPin(int aux)
{
    CAuxBus* bus = nullptr;
    return SUCCEEDED(GetAuxBusAt(aux, &bus)) && bus != nullptr ? bus->GetFreeMixerInput() : nullptr;
}

HRESULT CMidiDoc::RefreshAuxBusRouting(int aux)
{
    HRESULT hr = ForEachChannel([aux](CChannel* c) { return c->OnAuxBusChanged(aux); });
    CAuxBus* bus = nullptr;
    if (SUCCEEDED(hr) && SUCCEEDED(GetAuxBusAt(aux, &bus)) && bus != nullptr)
        hr = bus->InvalidateGraph();
    return hr;
}

IAudioProperties* CMidiDoc::GetAudioProperties()
{
    return m_engine != nullptr ? m_engine->GetAudioProperties() : nullptr;
}

BOOL CMidiDoc::IsAuxBusUsed(WORD index)
{
    const int aux = GetAuxBusIndex(static_cast<SHORT>(index));
    if (aux < 0)
        return FALSE;
    for (auto& [id, c] : m_channels.Items()) {
        for (int n = 0; n < c->GetOutputCount(); ++n) {
            if (c->IsAuxSendEnabled(n, aux))
                return TRUE;
        }
    }
    return FALSE;
}

HRESULT CMidiDoc::SetAuxBusParam(WORD index, DWORD id, float value)
{
    return SetAuxBusParam(static_cast<SHORT>(index), id, value, TRUE);
}

HRESULT CMidiDoc::SetMainBusParam(DWORD id, float value) { return SetMainBusParam(id, value, TRUE); }

// A bus passes its host id, which the recorder knows it by as it knows a
// channel by its id: the gestures of both go the same way.
HRESULT CMidiDoc::RecordBusParamValue(DWORD id, WORD busIndex, float value)
{
    return RecordParamValue(id, busIndex, value);
}

HRESULT CMidiDoc::BeginBusParamTouch(DWORD id, WORD busIndex) { return BeginParamTouch(id, busIndex); }
HRESULT CMidiDoc::EndBusParamTouch(DWORD id, WORD busIndex) { return EndParamTouch(id, busIndex); }

HRESULT CMidiDoc::CreateMetronomePlayer(IMetronomePlayer** player)
{
    if (player == nullptr)
        return E_POINTER;
    *player = nullptr;
    IMfxHostSite* site = m_engine != nullptr ? m_engine->GetMfxHostSite() : nullptr;
    if (site == nullptr)
        return E_UNEXPECTED;
    return CMetronomePlayer::Create(site, player);
}

HRESULT CMidiDoc::RecordParamValue(DWORD id, WORD channelId, float value)
{
    return m_recorder != nullptr ? m_recorder->RecordParamValue(id, static_cast<SHORT>(channelId), value) : S_OK;
}

HRESULT CMidiDoc::BeginParamTouch(DWORD id, WORD channelId)
{
    return m_recorder != nullptr ? m_recorder->BeginParamTouch(id, static_cast<SHORT>(channelId)) : S_OK;
}

HRESULT CMidiDoc::EndParamTouch(DWORD id, WORD channelId)
{
    return m_recorder != nullptr ? m_recorder->EndParamTouch(id, static_cast<SHORT>(channelId)) : S_OK;
}

HRESULT CMidiDoc::ShowSynthPropertyPage(ISynthWrap*, const CString&) { return E_NOTIMPL; }
HRESULT CMidiDoc::CloseSynthPropertyPage(ISynthWrap*) { return S_OK; }

HRESULT CMidiDoc::CreateMfxWrap(REFCLSID clsid, const char* name, IMfxFilterWrap** wrap)
{
    if (wrap == nullptr)
        return E_POINTER;
    *wrap = nullptr;
    IMfxHostSite* site = m_engine != nullptr ? m_engine->GetMfxHostSite() : nullptr;
    CMfxFilterWrap* made = nullptr;
    HRESULT hr = CMfxFilterWrap::Create(&clsid, name, site, &made);
    if (SUCCEEDED(hr))
        *wrap = made;
    return hr;
}

void CMidiDoc::PumpMfxChains()
{
    CHeapLockGuard guard(&m_midiLock);
    for (auto& [id, c] : m_channels.Items())
        c->PumpMfxChain();
}
HRESULT CMidiDoc::ShowMfxPropertyPage(IMfxFilterWrap*, HWND) { return E_NOTIMPL; }
HRESULT CMidiDoc::CloseMfxPropertyPage(IMfxFilterWrap*) { return S_OK; }

HRESULT CMidiDoc::CreateSynthWrap(REFCLSID clsid, const char* name, ISynthWrap** wrap)
{
    if (wrap == nullptr)
        return E_POINTER;
    *wrap = nullptr;
    IMfxHostSite* site = m_engine != nullptr ? m_engine->GetMfxHostSite() : nullptr;
    // A loop player plays its clips from the engine's pool.
    IEngineServices* services = GetEngineServices();
    auto* pool = services != nullptr ? dynamic_cast<CClipPool*>(services->GetClipPool()) : nullptr;
    CSynthWrap* made = nullptr;
    HRESULT hr = CSynthWrap::Create(&clsid, name, GetFilterGraph(), site, &made,
                                    pool != nullptr ? pool->GetPlayerPool() : nullptr);
    if (SUCCEEDED(hr))
        *wrap = made;
    return hr;
}

// ---- ITransportDocument ----

void CMidiDoc::SetMetronomeOn(BOOL on)
{
    if (CMainBus* main = MainBus())
        main->GetMetronome().SetEnabled(on);
}

HRESULT CMidiDoc::GetPatternTimes(WORD patternId, LONG* editMarker, LONG* duration)
{
    CPattern* p = nullptr;
    if (FAILED(GetPattern(static_cast<SHORT>(patternId), &p)) || p == nullptr)
        return E_INVALIDARG;
    if (editMarker != nullptr)
        *editMarker = p->GetEditMarker();
    if (duration != nullptr)
        *duration = p->GetDuration();
    return S_OK;
}

// ---- IRenderTargets ----

HRESULT CMidiDoc::VisitChannels(IRenderTargetVisitor& visitor)
{
    for (auto& [id, c] : m_channels.Items()) {
        m_channelTarget.channel = c;
        HRESULT hr = visitor.Visit(&m_channelTarget);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CMidiDoc::VisitAuxBuses(IRenderTargetVisitor& visitor)
{
    for (auto& [id, a] : m_auxBuses.Items()) {
        m_auxTarget.bus = a;
        HRESULT hr = visitor.Visit(&m_auxTarget);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

IRenderTarget* CMidiDoc::GetMainBusTarget()
{
    m_mainTarget.bus = MainBus();
    return m_mainTarget.bus != nullptr ? &m_mainTarget : nullptr;
}

// ---- Diagnostic dumps ----

namespace {

// The local time as the dumps' header shows it; the trailing blank is part
// of the format that readers of older dumps know.
CString DumpTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[128] = {};
    std::strftime(text, sizeof text, "%A, %d %b %Y, %H:%M:%S ", &local);
    return CString(text);
}

void WriteDumpHeader(CXmlDoc& xml, bool open)
{
    xml.Create();
    if (open)
        xml.OpenElement("LOG_INFO");
    else
        xml.AddElement("LOG_INFO");
    xml.SetAttribute("Time", VariantFromText(DumpTimeText().GetString()));
    xml.ResetToRoot();
}

CString DumpNumber(LONG value)
{
    CString text;
    text.Format("%d", static_cast<int>(value));
    return text;
}

void SetDumpAttribute(CXmlDoc& xml, const char* name, const CString& value)
{
    xml.SetAttribute(name, VariantFromText(value.GetString()));
}

// The "PARAMS" block of a channel's or aux bus's parameter set: one
// "OBJECT" per parameter group with its range and its parameters' names.
void WriteDumpParams(CXmlDoc& xml, CControlParamSet& set)
{
    xml.OpenElement("PARAMS");
    std::vector<GroupKey> keys;
    std::vector<CString> groupNames;
    set.ListParams(&keys, &groupNames);
    for (std::size_t g = 0; g < keys.size(); ++g) {
        xml.OpenElement("OBJECT");
        SetDumpAttribute(xml, "Name", g < groupNames.size() ? groupNames[g] : CString());
        std::vector<CString> names;
        std::vector<DWORD> ids;
        ParamGroup group{0, 0};
        set.ListGroupParams(keys[g], &names, &ids, &group);
        SetDumpAttribute(xml, "ParamStart", DumpNumber(static_cast<LONG>(group.first)));
        SetDumpAttribute(xml, "ParamCount", DumpNumber(static_cast<LONG>(group.count)));
        for (std::size_t i = 0; i < ids.size() && i < names.size(); ++i) {
            CString attribute;
            attribute.Format("P%d", static_cast<int>(ids[i]));
            SetDumpAttribute(xml, attribute.GetString(), names[i]);
        }
        xml.CloseElement("PARAMS");
    }
}

// Runs a dump; the writer's failure is its result, and a file is saved only
// by a dump that got through every step.
template <class Write>
HRESULT RunDump(Write write)
{
    try {
        CXmlDoc xml;
        write(xml);
        return S_OK;
    } catch (const CComError& error) {
        return error.Error();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

HRESULT CMidiDoc::DumpContentXml()
{
    MV_ASSERT_UI_THREAD();
    return RunDump([this](CXmlDoc& xml) {
        WriteDumpHeader(xml, false);
        xml.OpenElement("MvPATS");
        for (int i = 0; i < m_patternOrder.GetSize(); ++i) {
            const auto found = m_patterns.Items().find(m_patternOrder[i]);
            if (found == m_patterns.Items().end() || found->second == nullptr)
                continue;
            const CPattern& pattern = *found->second;
            xml.AddElement("PAT");
            SetDumpAttribute(xml, "Name", pattern.GetDisplayName());
            SetDumpAttribute(xml, "ID", DumpNumber(pattern.GetId()));
            SetDumpAttribute(xml, "Dur", DumpNumber(pattern.GetDuration()));
            xml.CloseElement("PAT");
            xml.AddElement("EVENTS");
            for (const CMfxEvent& event : pattern.GetEvents()) {
                xml.AddElement("EVENT");
                SetDumpAttribute(xml, "Data", event.GetText());
                xml.CloseElement("EVENTS");
            }
            xml.CloseElement("MvPATS");
        }
        xml.ResetToRoot();
        xml.OpenElement("MvTRACKS");
        for (int i = 0; i < m_trackOrder.GetSize(); ++i) {
            CChannel* channel = nullptr;
            if (GetChannelAt(i, &channel) != S_OK || channel == nullptr)
                continue;
            xml.AddElement("TRACK");
            SetDumpAttribute(xml, "Name", channel->CControlParamSet::GetDisplayName());
            SetDumpAttribute(xml, "ID", DumpNumber(channel->GetId()));
            xml.CloseElement("TRACK");
            xml.AddElement("PATINSTS");
            std::vector<CPatternInstance*> instances;
            channel->GetTimeline().GetPatternInstances(&instances);
            for (const CPatternInstance* instance : instances) {
                xml.AddElement("PATINST");
                SetDumpAttribute(xml, "INSTID", DumpNumber(static_cast<LONG>(instance->GetInstanceId())));
                SetDumpAttribute(xml, "PATID", DumpNumber(instance->GetPatternID()));
                const LONG startTick = instance->GetStart();
                const LONG endTick = instance->GetEnd();
                CString start;
                CString end;
                CPropMBT(&m_timeServices, &startTick, nullptr, nullptr).FormatText(start);
                CPropMBT(&m_timeServices, &endTick, nullptr, nullptr).FormatText(end);
                SetDumpAttribute(xml, "START", start);
                SetDumpAttribute(xml, "END", end);
                xml.CloseElement("PATINSTS");
            }
            xml.CloseElement("MvTRACKS");
        }
        xml.Save("MvCONTENT_MSXML.xml");
    });
}

HRESULT CMidiDoc::DumpMapsXml()
{
    MV_ASSERT_UI_THREAD();
    return RunDump([this](CXmlDoc& xml) {
        WriteDumpHeader(xml, true);
        xml.OpenElement("TEMPOS");
        for (int i = 0; i < m_tempoMap.GetSize(); ++i) {
            const CTempo& tempo = m_tempoMap[i];
            CString data;
            data.Format("t=%d, bpm=%d", static_cast<int>(tempo.m_tick), static_cast<int>(tempo.m_tempo));
            xml.AddElement("TEMPO");
            SetDumpAttribute(xml, "Data", data);
            xml.CloseElement("TEMPOS");
        }
        xml.OpenElement("METERKEYS");
        for (int i = 0; i < m_meterKeyMap.GetSize(); ++i) {
            const CMeterKey& entry = m_meterKeyMap[i];
            CString data;
            data.Format("t=%d, top=%d, bot=%d, key=%d", static_cast<int>(entry.m_startTick),
                        static_cast<int>(entry.m_numerator), static_cast<int>(entry.m_power),
                        static_cast<int>(entry.m_key));
            xml.AddElement("METERKEY");
            SetDumpAttribute(xml, "Data", data);
            xml.CloseElement("METERKEYS");
        }
        xml.Save("MvMAPS_MSXML.xml");
    });
}

HRESULT CMidiDoc::DumpParamsXml()
{
    MV_ASSERT_UI_THREAD();
    return RunDump([this](CXmlDoc& xml) {
        WriteDumpHeader(xml, true);
        xml.OpenElement("MvCHANS");
        for (int i = 0; i < m_trackOrder.GetSize(); ++i) {
            CChannel* channel = nullptr;
            if (GetChannelAt(i, &channel) != S_OK || channel == nullptr)
                continue;
            xml.OpenElement("CHAN");
            SetDumpAttribute(xml, "Name", channel->CControlParamSet::GetDisplayName());
            SetDumpAttribute(xml, "ID", DumpNumber(channel->GetId()));
            xml.CloseElement("CHAN");
            WriteDumpParams(xml, *channel);
            xml.CloseElement("MvCHANS");
        }
        xml.ResetToRoot();
        xml.OpenElement("MvAUX");
        for (int i = 0; i < m_auxOrder.GetSize(); ++i) {
            CAuxBus* bus = nullptr;
            if (GetAuxBusAt(i, &bus) != S_OK || bus == nullptr)
                continue;
            xml.OpenElement("AUX");
            SetDumpAttribute(xml, "ID", DumpNumber(m_auxOrder[i]));
            xml.CloseElement("AUX");
            WriteDumpParams(xml, *bus);
            xml.CloseElement("MvAUX");
        }
        xml.Save("MvPARAMS_MSXML.xml");
    });
}

// ---- Standard MIDI File import ----

namespace {

// What an import changes in the views: tracks, patterns and the time maps.
constexpr DWORD kHintImportMidiFile = CMidiDoc::kHintInsertTrack | CMidiDoc::kHintPatternList;

}  // namespace

HRESULT CMidiDoc::ImportMidiFile(const char* path)
{
    MV_ASSERT_UI_THREAD();
    if (path == nullptr)
        return E_POINTER;
    if (m_importCommand != nullptr)
        return E_UNEXPECTED;
    CSMFFile file;
    HRESULT hr = file.Open(path);
    if (FAILED(hr))
        return hr;
    m_importResetsTempo = IsArrangementEmpty() != FALSE;
    CSMF importer(this, &file);
    hr = importer.Import();
    m_importResetsTempo = false;
    return hr;
}

HRESULT CMidiDoc::BeginImportCommand(const char* name)
{
    MV_ASSERT_UI_THREAD();
    if (m_importCommand != nullptr)
        return E_UNEXPECTED;
    m_importCommand = BeginProjectCommand(AsCommandDocument(), name, kHintImportMidiFile, TRUE, TRUE);
    if (m_importCommand == nullptr)
        return E_OUTOFMEMORY;
    if (!m_importResetsTempo)
        return S_OK;
    // An import into an empty arrangement starts from the default tempo: the
    // entries go, the first one takes the default value, all as steps of the
    // import so that undoing it restores them.
    try {
        for (int i = m_tempoMap.GetSize() - 1; i >= 1; --i)
            SubmitUndoStep<CUndoRemoveStep<int, CTempo>>(m_importCommand, m_tempoMap, i);
        if (m_tempoMap.GetSize() == 0)
            SubmitUndoStep<CUndoInsertStep<int, CTempo>>(m_importCommand, m_tempoMap, 0, CTempo());
        else if (m_tempoMap[0].m_tempo != CTempo::kDefaultTempo || m_tempoMap[0].m_tick != 0)
            SubmitUndoStep<CUndoSetStep<int, CTempo>>(m_importCommand, m_tempoMap, 0, CTempo());
    } catch (const CHResultException& e) {
        m_importCommand->AbortAndDelete();
        m_importCommand = nullptr;
        return e.Code();
    }
    return S_OK;
}

HRESULT CMidiDoc::EndImportCommand()
{
    MV_ASSERT_UI_THREAD();
    if (m_importCommand == nullptr)
        return E_UNEXPECTED;
    CMvCommand* command = m_importCommand;
    m_importCommand = nullptr;
    return command->Commit(&CUndoHistory::Instance());
}

void CMidiDoc::AbandonImportCommand()
{
    MV_ASSERT_UI_THREAD();
    if (m_importCommand == nullptr)
        return;
    CMvCommand* command = m_importCommand;
    m_importCommand = nullptr;
    command->AbortAndDelete();
}

HRESULT CMidiDoc::CreatePattern(CPattern** pattern)
{
    if (pattern == nullptr)
        return E_POINTER;
    *pattern = nullptr;
    if (m_importCommand == nullptr)
        return E_UNEXPECTED;
    const SHORT id = NextPatternId();
    if (id == kNone)
        return E_UNEXPECTED;
    return CreatePattern(id, FALSE, m_importCommand, pattern);
}

HRESULT CMidiDoc::InsertTrack(const char* name, SHORT* trackId)
{
    if (trackId == nullptr)
        return E_POINTER;
    if (m_importCommand == nullptr)
        return E_UNEXPECTED;
    // The file names no instrument: an imported track gets the default
    // synth of every new track, so its notes are heard at once.
    HRESULT hr = InsertChannel(m_trackOrder.GetSize(), FALSE, nullptr, "", m_importCommand);
    if (FAILED(hr))
        return hr;
    const SHORT id = GetChannelIdAt(m_trackOrder.GetSize() - 1);
    if (name != nullptr && *name != '\0') {
        try {
            SubmitUndoStep<CUndoSetChanNameStep>(m_importCommand, m_channels, id, CString(name));
        } catch (const CHResultException& e) {
            return e.Code();
        }
    }
    *trackId = id;
    return S_OK;
}

HRESULT CMidiDoc::AddPatternInstance(SHORT trackId, const CPatternInstance& instance)
{
    if (m_importCommand == nullptr)
        return E_UNEXPECTED;
    CChannel* channel = nullptr;
    const HRESULT hr = GetChannel(trackId, &channel);
    if (FAILED(hr) || channel == nullptr)
        return FAILED(hr) ? hr : E_INVALIDARG;
    return channel->AddPatternInstance(instance, FALSE, m_importCommand);
}

HRESULT CMidiDoc::InsertTempo(LONG tick, LONG tempo)
{
    if (m_importCommand == nullptr)
        return E_UNEXPECTED;
    return InsertTempo(tick, tempo, FALSE, m_importCommand);
}

HRESULT CMidiDoc::StageMeterKey(LONG tick, const CMeterKey& entry)
{
    if (m_meterStaged) {
        const HRESULT hr = CommitStagedMeterKey(FALSE);
        if (FAILED(hr))
            return hr;
    }
    m_stagedMeterTick = tick;
    m_stagedMeter = entry;
    m_meterStaged = true;
    return S_OK;
}

HRESULT CMidiDoc::CommitStagedMeterKey(BOOL discard)
{
    if (discard || !m_meterStaged)
        return S_OK;
    m_meterStaged = false;
    const HRESULT hr = m_meterKeyMap.SetLiveMeter(m_stagedMeterTick, m_stagedMeter);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CMidiDoc::InsertMeterKey(LONG tick, const CMeterKey& entry)
{
    if (m_importCommand == nullptr)
        return E_UNEXPECTED;
    return m_meterKeyMap.InsertMeterKey(tick, entry, FALSE, m_importCommand);
}

HRESULT CMidiDoc::InsertMarker(const char* name, LONG tick)
{
    if (m_importCommand == nullptr)
        return E_UNEXPECTED;
    return InsertMarker(name, tick, FALSE, m_importCommand);
}

// ---- Markers and settings ----

HRESULT CMidiDoc::GetMarker(int index, LONG* tick, CString* name)
{
    if (!m_markers.IsValidIndex(index))
        return E_INVALIDARG;
    if (tick != nullptr)
        *tick = m_markers[index].tick;
    if (name != nullptr)
        *name = m_markers[index].name;
    return S_OK;
}

const CString& CMidiDoc::GetInfoString(int index) const
{
    static const CString none;
    return index >= 0 && index < kInfoStringCount ? m_info[index] : none;
}

HRESULT CMidiDoc::SetInfoString(int index, const char* text)
{
    if (index < 0 || index >= kInfoStringCount)
        return E_INVALIDARG;
    m_info[index] = CString(text != nullptr ? text : "");
    return S_OK;
}

// ---- The audio renderer's view ----

template <class Map>
typename Map::mapped_type CMidiDoc::RenderView::Cursor<Map>::Seek(const Map& items, int n)
{
    if (n < 0 || n >= static_cast<int>(items.size()))
        return nullptr;
    // The renderer's walks start at 0, so a walk never resumes from a place
    // an edit between two walks may have taken out.
    if (map != &items || n == 0 || n < index) {
        map = &items;
        index = 0;
        at = items.begin();
    }
    for (; index < n; ++index)
        ++at;
    return at->second;
}

CChannel* CMidiDoc::RenderView::ChannelAt(int n) { return m_channel.Seek(m_doc->m_channels.Items(), n); }

CAuxBus* CMidiDoc::RenderView::AuxBusAt(int n) { return m_aux.Seek(m_doc->m_auxBuses.Items(), n); }

CDxSource* CMidiDoc::RenderView::GetInputSource() { return m_doc->m_loneSource; }

int CMidiDoc::RenderView::GetPushSourceCount() { return static_cast<int>(m_doc->m_sourcePool.size()); }

CDxSource* CMidiDoc::RenderView::GetPushSource(int index)
{
    if (index < 0 || index >= GetPushSourceCount())
        return nullptr;
    return m_doc->m_sourcePool[static_cast<std::size_t>(index)];
}

int CMidiDoc::RenderView::GetChannelCount() { return static_cast<int>(m_doc->m_channels.Items().size()); }

int CMidiDoc::RenderView::GetChannelOutputCount(int channel)
{
    CChannel* c = ChannelAt(channel);
    return c != nullptr ? c->GetOutputCount() : 0;
}

IBufferMatcher* CMidiDoc::RenderView::GetChannelOutputMatcher(int channel, int output)
{
    CChannel* c = ChannelAt(channel);
    if (c == nullptr || output < 0 || output >= c->GetOutputCount())
        return nullptr;
    COutputBranch* branch = c->GetOutputBranch(output);
    return branch != nullptr ? branch->GetChain().GetBufMatcher() : nullptr;
}

int CMidiDoc::RenderView::GetAuxBusCount() { return m_doc->m_auxBuses.GetSize(); }

IBufferMatcher* CMidiDoc::RenderView::GetAuxBusMatcher(int bus)
{
    CAuxBus* aux = AuxBusAt(bus);
    return aux != nullptr ? aux->GetChain().GetBufMatcher() : nullptr;
}

bool CMidiDoc::RenderView::AuxBusHasConnectedInputs(int bus)
{
    CAuxBus* aux = AuxBusAt(bus);
    return aux != nullptr && aux->HasConnectedInputs();
}

bool CMidiDoc::RenderView::HasMasterBus() { return m_doc->MainBus() != nullptr; }

IBufferMatcher* CMidiDoc::RenderView::GetMasterChainMatcher()
{
    CMainBus* main = m_doc->MainBus();
    return main != nullptr ? main->GetChain().GetBufMatcher() : nullptr;
}

IBufferMatcher* CMidiDoc::RenderView::GetMasterBusMatcher()
{
    CMainBus* main = m_doc->MainBus();
    return main != nullptr ? main->GetBufMatcher() : nullptr;
}

CDxBufRenderer* CMidiDoc::RenderView::GetMasterRenderer()
{
    CMainBus* main = m_doc->MainBus();
    return main != nullptr ? main->GetRenderer() : nullptr;
}

// ---- Selections, names, marks and previews of the mixer and editors ----

namespace {

// The undo name of a parameter edit when a command is wanted: `lead` (a
// bus number) and then the parameter's name and value text fill the format.
// The value formatting's failure comes before anything changes.
template <class... Lead>
HRESULT ParamUndoName(CControlParamSet* set, DWORD index, float value, BOOL makeCommand, UINT format, CString* name,
                      Lead... lead)
{
    if (!makeCommand)
        return S_OK;
    CString valueText;
    CString paramName;
    HRESULT hr = ParamTexts(set, index, value, &paramName, &valueText);
    if (SUCCEEDED(hr))
        *name = Format(format, lead..., paramName.GetString(), valueText.GetString());
    return hr;
}

}  // namespace

IMfxTimeConverter* CMidiDoc::GetTimeConverter()
{
    IMfxHostSite* site = m_engine != nullptr ? m_engine->GetMfxHostSite() : nullptr;
    IMfxTimeConverter* converter = nullptr;
    if (site == nullptr ||
        FAILED(site->QueryInterface(IID_IMfxTimeConverter, reinterpret_cast<void**>(&converter))) ||
        converter == nullptr)
        return nullptr;
    // The site keeps it for as long as the engine has the site.
    converter->Release();
    return converter;
}

void CMidiDoc::AddErrorMessage(const CString& text)
{
    if (m_engine != nullptr)
        m_engine->AddEngineError(text.GetString());
}

void CMidiDoc::ShowMessageBox(const CString& text) { AfxMessageBox(text.GetString(), MB_OK); }

HRESULT CMidiDoc::FindAuxBusIndex(SHORT id, int* position)
{
    if (position == nullptr)
        return E_POINTER;
    *position = GetAuxBusIndex(id);
    return *position >= 0 ? S_OK : E_FAIL;
}

HRESULT CMidiDoc::GetActiveFxOwner(CChainHost** owner)
{
    if (owner == nullptr)
        return E_POINTER;
    *owner = nullptr;
    const SHORT active = GetActiveContainer();
    if (active == kNone)
        return S_FALSE;
    CChannel* channel = nullptr;
    CAuxBus* aux = nullptr;
    if (SUCCEEDED(m_channels.Get(active, &channel)) && channel != nullptr)
        *owner = channel->GetOutputBranch(channel->GetCurrentOutput());
    else if (SUCCEEDED(m_auxBuses.Get(active, &aux)) && aux != nullptr)
        *owner = aux;
    else if (IsMainBusId(active))
        *owner = MainBus();
    else
        return E_UNEXPECTED;
    return *owner != nullptr ? S_OK : E_UNEXPECTED;
}

void CMidiDoc::StampCreationTick() { m_creationTick = GetTickCount(); }

HRESULT CMidiDoc::SetInstanceSelected(DWORD instanceId, BOOL selected)
{
    CChannel* holder = nullptr;
    if (FindInstance(instanceId, &holder, nullptr) != S_OK)
        return E_INVALIDARG;
    HRESULT hr = holder->SelectPatternInstance(instanceId, selected);
    if (FAILED(hr))
        return hr;
    return RefreshPreviews();
}

HRESULT CMidiDoc::ToggleInstanceSelected(DWORD instanceId, BOOL* selected)
{
    CChannel* holder = nullptr;
    if (FindInstance(instanceId, &holder, nullptr) != S_OK)
        return E_INVALIDARG;
    BOOL state = FALSE;
    HRESULT hr = holder->ToggleSelectPatternInstance(instanceId, &state);
    if (FAILED(hr))
        return hr;
    if (selected != nullptr)
        *selected = state;
    return RefreshPreviews();
}

HRESULT CMidiDoc::GetSelectedInstances(std::vector<std::pair<SHORT, DWORD>>* selected)
{
    if (selected == nullptr)
        return E_POINTER;
    std::vector<std::pair<DWORD, WORD>> found;
    HRESULT hr = ForEachChannel([&found](CChannel* c) { return c->CollectSelectedInstances(&found); });
    for (const auto& [instance, channel] : found)
        selected->emplace_back(static_cast<SHORT>(channel), instance);
    return hr;
}

HRESULT CMidiDoc::SetAuxBusName(int position, const char* name, BOOL makeCommand)
{
    MV_ASSERT_UI_THREAD();
    if (position < 0 || position >= m_auxOrder.GetSize() || name == nullptr)
        return E_INVALIDARG;
    const SHORT id = m_auxOrder[position];
    const CString undoName = Format(IDS_DOC_CHANGE_AUX_NAME, position + 1, name);
    return RunProjectEdit(nullptr, makeCommand != FALSE, AsCommandDocument(), undoName.GetString(), kHintAuxBus,
                          [&](CMvCommand* cmd) { SubmitUndoStep<CUndoSetAuxNameStep>(cmd, m_auxBuses, id, CString(name)); });
}

HRESULT CMidiDoc::SetAuxBusParam(SHORT busId, DWORD index, float value, BOOL makeCommand)
{
    CAuxBus* bus = nullptr;
    if (FAILED(m_auxBuses.Get(busId, &bus)) || bus == nullptr)
        return E_INVALIDARG;
    CString undoName;
    HRESULT hr = ParamUndoName(bus, index, value, makeCommand, IDS_DOC_SET_AUX_PARAM, &undoName,
                               GetAuxBusIndex(busId) + 1);
    if (FAILED(hr))
        return hr;
    return RunProjectEdit(
        nullptr, makeCommand != FALSE, AsCommandDocument(), undoName.GetString(), kHintAuxBus,
        [&](CMvCommand* cmd) { SubmitUndoStep<CUndoSetAuxParamStep>(cmd, m_auxBuses, busId, index, value); }, FALSE);
}

HRESULT CMidiDoc::SetMainBusParam(DWORD index, float value, BOOL makeCommand)
{
    CMainBus* bus = MainBus();
    if (bus == nullptr)
        return E_UNEXPECTED;
    CString undoName;
    HRESULT hr = ParamUndoName(bus, index, value, makeCommand, IDS_DOC_SET_MAIN_PARAM, &undoName);
    if (FAILED(hr))
        return hr;
    return RunProjectEdit(
        nullptr, makeCommand != FALSE, AsCommandDocument(), undoName.GetString(), kHintAuxBus,
        [&](CMvCommand* cmd) { SubmitUndoStep<CUndoSetMainBusParamStep>(cmd, m_mainBus, 0, index, value); }, FALSE);
}

HRESULT CMidiDoc::GetMarkedChannelIds(std::vector<SHORT>* ids)
{
    if (ids == nullptr)
        return E_POINTER;
    if (!ids->empty())
        return E_UNEXPECTED;
    if (m_channels.GetSize() == 0)
        return S_FALSE;
    const SHORT active = GetActiveContainer();
    CChannel* channel = nullptr;
    if (SUCCEEDED(m_channels.Get(active, &channel)) && channel != nullptr && channel->IsArmed())
        ids->push_back(active);
    for (auto& [id, c] : m_channels.Items()) {
        if (id != active && c->IsArmed())
            ids->push_back(id);
    }
    return S_OK;
}

HRESULT CMidiDoc::GetMarkedContainerIds(std::vector<SHORT>* ids)
{
    HRESULT hr = GetMarkedChannelIds(ids);
    if (FAILED(hr))
        return hr;
    for (auto& [id, aux] : m_auxBuses.Items()) {
        if (aux->GetTrackFlag() != 0)
            ids->push_back(id);
    }
    if (CMainBus* main = MainBus(); main != nullptr && main->GetTrackFlag() != 0)
        ids->push_back(main->GetHostId());
    return hr;
}

HRESULT CMidiDoc::ClearTrackFlags()
{
    for (auto& [id, c] : m_channels.Items())
        c->SetArmed(0);
    for (auto& [id, aux] : m_auxBuses.Items())
        aux->SetTrackFlag(0);
    InvalidateArmState();
    return S_OK;
}

HRESULT CMidiDoc::PreviewNote(int note, int velocity)
{
    MV_ASSERT_UI_THREAD();
    std::vector<CChannel*> targets;
    const LONG active = m_activeInstance.GetCurrent();
    HRESULT hr = S_OK;
    if (active != kNoInstanceId) {
        CChannel* holder = nullptr;
        if ((hr = FindInstance(static_cast<DWORD>(active), &holder, nullptr)) != S_OK)
            return FAILED(hr) ? hr : E_UNEXPECTED;
        targets.push_back(holder);
    } else {
        std::vector<SHORT> ids;
        if (FAILED(hr = GetPreviewChannelIds(&ids)))
            return hr;
        for (SHORT id : ids) {
            CChannel* channel = nullptr;
            if (FAILED(hr = GetChannel(id, &channel)))
                return hr;
            targets.push_back(channel);
        }
    }
    for (CChannel* channel : targets) {
        if (FAILED(hr = channel->SendNoteOn(static_cast<int>(channel->GetMidiChannel()), note, velocity)))
            return hr;
    }
    return S_OK;
}

HRESULT CMidiDoc::SetStepPreview(WORD channelId, BOOL on)
{
    MV_ASSERT_UI_THREAD();
    const SHORT id = static_cast<SHORT>(channelId);
    if (id == kNone)
        return E_INVALIDARG;
    CChannel* channel = nullptr;
    HRESULT hr = GetChannel(id, &channel);
    if (FAILED(hr))
        return hr;
    channel->SetStepSeqPreview(on);
    if (on)
        m_stepPreviews.insert(id);
    else
        m_stepPreviews.erase(id);
    return UpdateStepPreview();
}

HRESULT CMidiDoc::UpdateStepPreview()
{
    if (m_closing)
        return S_FALSE;
    // The first channel whose preview goes on holds the transport; one whose
    // chain lost its step sequencer lets go of its flag.
    bool previewing = false;
    for (auto it = m_stepPreviews.begin(); it != m_stepPreviews.end() && !previewing;) {
        CChannel* channel = nullptr;
        int sequencers = 0;
        if (SUCCEEDED(m_channels.Get(*it, &channel)) && channel != nullptr &&
            SUCCEEDED(channel->GetMfxChain().CountStepSeqPlugIns(&sequencers)) && sequencers > 0) {
            previewing = true;
            continue;
        }
        if (channel != nullptr)
            channel->SetStepSeqPreview(FALSE);
        it = m_stepPreviews.erase(it);
    }
    if (m_engine == nullptr)
        return previewing ? S_OK : S_FALSE;
    const DWORD mode = m_engine->GetRecordMode();
    if (!previewing) {
        // Only a transport the preview started stops: the user's plays on.
        HRESULT hr = S_OK;
        if (m_engine->IsPlaying() && m_engine->GetPlayMode() == 0 && mode == kPreviewRecordMode)
            hr = m_engine->Stop();
        if (SUCCEEDED(hr))
            hr = m_engine->SetRecordMode(m_engine->GetRecordMode() & ~kPreviewRecordMode);
        return FAILED(hr) ? hr : S_FALSE;
    }
    HRESULT hr = m_engine->SetRecordMode(mode | kPreviewRecordMode);
    if (SUCCEEDED(hr) && !m_engine->IsPlaying())
        hr = m_engine->Play();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CMidiDoc::PersistPatternClip(CPattern* pattern, IStream* stream, BOOL save)
{
    if (pattern == nullptr || stream == nullptr)
        return E_INVALIDARG;
    IPersistStreamInit* persist = nullptr;
    HRESULT hr = pattern->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));
    if (FAILED(hr))
        return hr;
    hr = save ? persist->Save(stream, FALSE) : persist->Load(stream);
    persist->Release();
    if (FAILED(hr) || pattern->GetKind() != CPattern::kKindLoopClip)
        return hr;
    IEngineServices* services = GetEngineServices();
    IClipPool* pool = services != nullptr ? services->GetClipPool() : nullptr;
    const DWORD clipId = pattern->GetClipId();
    if (save) {
        ILoopClip* clip = pool != nullptr ? pool->GetClip(clipId) : nullptr;
        return clip != nullptr ? clip->SaveProjectState(stream, TRUE) : S_OK;
    }
    if (pool == nullptr)
        return E_UNEXPECTED;
    ILoopClip* clip = nullptr;
    if (FAILED(hr = pool->AddClip(&clipId, &clip)))
        return hr;
    if (clip == nullptr)
        return E_UNEXPECTED;
    hr = clip->LoadProjectState(stream);
    // The state brings the id it was saved under; the pool keeps the clip
    // under the pattern's.
    clip->SetClipId(clipId);
    return hr;
}

// ---- Persistence ----

namespace {

// An id and the smallest chunk that follows it: what one entry of a
// pattern, channel or bus list takes at least.
constexpr ULONGLONG kMinListEntry = sizeof(WORD) + 12;
// A marker: its tick and an empty name's length word.
constexpr ULONGLONG kMinMarker = sizeof(LONG) + sizeof(DWORD);
constexpr DWORD kReservedWord = 0;

HRESULT PersistWord(CKelPersistArchive* archive, SHORT* value) { return archive->PersistBytes(sizeof *value, value); }

HRESULT PersistCount(CKelPersistArchive* archive, DWORD* count, ULONGLONG minEntryBytes)
{
    HRESULT hr = archive->PersistBytes(sizeof *count, count);
    if (FAILED(hr) || archive->IsSaving())
        return hr;
    return archive->CheckRemaining(static_cast<ULONGLONG>(*count) * minEntryBytes);
}

// The order vector's count, then each id with its object; the order
// gives what is saved and in which order.
template <class T>
HRESULT SaveIdList(CKelPersistArchive* archive, const CUndoVector<SHORT>& order, CUndoMap<SHORT, T*>& objects)
{
    DWORD count = static_cast<DWORD>(order.GetSize());
    HRESULT hr = archive->PersistBytes(sizeof count, &count);
    for (int i = 0; SUCCEEDED(hr) && i < order.GetSize(); ++i) {
        SHORT id = order[i];
        T* object = nullptr;
        if (FAILED(objects.Get(id, &object)) || object == nullptr)
            return E_UNEXPECTED;
        if (SUCCEEDED(hr = PersistWord(archive, &id)))
            hr = archive->PersistObject(object);
    }
    return hr;
}

IClipPool* ClipPool()
{
    IEngineServices* services = GetEngineServices();
    return services != nullptr ? services->GetClipPool() : nullptr;
}

}  // namespace

STDMETHODIMP CMidiDoc::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    MV_ASSERT_UI_THREAD();
    if (archive == nullptr)
        return E_POINTER;
    const bool loading = !archive->IsSaving();
    HRESULT hr = S_OK;
    switch (KelVersionIndex(versionWord)) {
    case 0:
        return PersistSong(archive);
    case 1: {
        SHORT pattern = m_activePattern.GetCurrent();
        LONG instance = m_activeInstance.GetCurrent();
        if (FAILED(hr = PersistWord(archive, &pattern)) ||
            FAILED(hr = archive->PersistBytes(sizeof instance, &instance)))
            return hr;
        return loading ? RunLoadFixUps(kNone, pattern, instance) : S_OK;
    }
    case 2: {
        DWORD serial = CPatternInstance::GetInstanceSerial();
        if (FAILED(hr = archive->PersistBytes(sizeof serial, &serial)))
            return hr;
        if (!loading)
            return S_OK;
        CPatternInstance::SetInstanceSerial(serial);
        return RunLoadFixUps(kNone, kNone, kNoInstanceId);
    }
    case 3:
        if (FAILED(hr = archive->PersistObject(&m_commandMap)))
            return hr;
        return loading ? RunLoadFixUps(kNone, kNone, kNoInstanceId) : S_OK;
    case 4:
        return PersistSettings(archive);
    case 5:
        if (FAILED(hr = PersistMarkers(archive)))
            return hr;
        return loading ? RunLoadFixUps(kNone, kNone, kNoInstanceId) : S_OK;
    default:
        return KELPERSIST_E_UNKNOWNCHUNK;
    }
}

HRESULT CMidiDoc::PersistSong(CKelPersistArchive* archive)
{
    HRESULT hr = archive->PersistObject(&m_tempoMap);
    if (FAILED(hr) || FAILED(hr = archive->PersistObject(&m_meterKeyMap)))
        return hr;
    return archive->IsSaving() ? SaveSong(archive) : LoadSong(archive);
}

HRESULT CMidiDoc::SaveSong(CKelPersistArchive* archive)
{
    HRESULT hr = SaveIdList(archive, m_patternOrder, m_patterns);
    SHORT next = g_nextPatternId;
    if (FAILED(hr) || FAILED(hr = PersistWord(archive, &next)) || FAILED(hr = PersistClipStates(archive)))
        return hr;
    next = g_nextChannelId;
    if (FAILED(hr = SaveIdList(archive, m_trackOrder, m_channels)) || FAILED(hr = PersistWord(archive, &next)))
        return hr;
    next = g_nextAuxBusId;
    if (FAILED(hr = SaveIdList(archive, m_auxOrder, m_auxBuses)) || FAILED(hr = PersistWord(archive, &next)))
        return hr;

    DWORD count = static_cast<DWORD>(m_mainBus.GetSize());
    hr = archive->PersistBytes(sizeof count, &count);
    for (int i = 0; SUCCEEDED(hr) && i < m_mainBus.GetSize(); ++i) {
        CMainBus* main = m_mainBus[i];
        if (main == nullptr)
            return E_UNEXPECTED;
        SHORT id = main->GetHostId();
        if (SUCCEEDED(hr = PersistWord(archive, &id)))
            hr = archive->PersistObject(main);
    }
    next = g_nextMainBusId;
    SHORT active = m_activeContainer.GetCurrent();
    if (FAILED(hr) || FAILED(hr = PersistWord(archive, &next)))
        return hr;
    return PersistWord(archive, &active);
}

HRESULT CMidiDoc::LoadSong(CKelPersistArchive* archive)
{
    HRESULT hr = LoadPatterns(archive);
    if (FAILED(hr) || FAILED(hr = PersistClipStates(archive)) || FAILED(hr = LoadChannels(archive)) ||
        FAILED(hr = LoadBuses(archive)))
        return hr;
    SHORT active = kNone;
    if (FAILED(hr = PersistWord(archive, &active)))
        return hr;
    return RunLoadFixUps(active, kNone, kNoInstanceId);
}

HRESULT CMidiDoc::LoadPatterns(CKelPersistArchive* archive)
{
    DWORD count = 0;
    HRESULT hr = PersistCount(archive, &count, kMinListEntry);
    for (DWORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
        SHORT id = kNone;
        if (FAILED(hr = PersistWord(archive, &id)))
            return hr;
        // A second pattern under one id would take the first one's place in
        // the map and leave it to nobody.
        if (id == kNone || HasPattern(id))
            return STG_E_DOCFILECORRUPT;
        CPattern* pattern = nullptr;
        if (FAILED(hr = ::CreatePattern(id, &pattern, CPattern::kKindMidi)))
            return hr;
        if (pattern == nullptr)
            return E_POINTER;
        if (FAILED(hr = archive->PersistObject(pattern)) || FAILED(hr = m_patterns.Insert(id, pattern))) {
            DestroyPattern(pattern);
            return hr;
        }
        hr = m_patternOrder.Insert(m_patternOrder.GetSize(), id);
    }
    SHORT next = 0;
    if (FAILED(hr) || FAILED(hr = PersistWord(archive, &next)))
        return hr;
    g_nextPatternId = next;
    return S_OK;
}

// Each audio pattern's loop clip, in pattern order, as the clip writes its
// saved state (with its sample block); no count.
HRESULT CMidiDoc::PersistClipStates(CKelPersistArchive* archive)
{
    const bool saving = archive->IsSaving() != FALSE;
    for (int i = 0; i < m_patternOrder.GetSize(); ++i) {
        CPattern* pattern = nullptr;
        if (FAILED(m_patterns.Get(m_patternOrder[i], &pattern)) || pattern == nullptr)
            return E_UNEXPECTED;
        if (pattern->GetKind() != CPattern::kKindLoopClip)
            continue;
        IClipPool* pool = ClipPool();
        if (pool == nullptr)
            return E_UNEXPECTED;
        const DWORD clipId = pattern->GetClipId();
        ILoopClip* clip = nullptr;
        HRESULT hr = S_OK;
        if (saving) {
            clip = pool->GetClip(clipId);
            if (clip == nullptr)
                return E_UNEXPECTED;
            hr = archive->PersistStreamed([clip](IStream* stream) { return clip->SaveProjectState(stream, TRUE); });
        } else {
            if (FAILED(hr = pool->AddClip(&clipId, &clip)))
                return hr;
            if (clip == nullptr)
                return E_UNEXPECTED;
            hr = archive->PersistStreamed([clip](IStream* stream) { return clip->LoadProjectState(stream); });
            // The state brings the id it was saved under; the pool keeps the
            // clip under the pattern's.
            clip->SetClipId(clipId);
        }
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CMidiDoc::LoadChannels(CKelPersistArchive* archive)
{
    DWORD count = 0;
    HRESULT hr = PersistCount(archive, &count, kMinListEntry);
    if (FAILED(hr))
        return hr;
    // No edit makes more tracks; a file that claims more is not one of ours.
    if (count > static_cast<DWORD>(kMaxChannels))
        return STG_E_DOCFILECORRUPT;
    DestroyChannels();
    for (DWORD i = 0; i < count; ++i) {
        SHORT id = kNone;
        if (FAILED(hr = PersistWord(archive, &id)))
            return hr;
        if (id == kNone || HasContainer(id))
            return STG_E_DOCFILECORRUPT;
        CChannel* channel = nullptr;
        if (FAILED(hr = CChannel::Create(this, static_cast<WORD>(id), &CLSID_NoSynth, nullptr, &channel)))
            return hr;
        if (channel == nullptr)
            return E_POINTER;
        if (FAILED(hr = archive->PersistObject(channel)) || FAILED(hr = m_channels.Insert(id, channel))) {
            CChannel::Destroy(channel);
            return hr;
        }
        if (FAILED(hr = m_trackOrder.Insert(m_trackOrder.GetSize(), id)))
            return hr;
    }
    SHORT next = 0;
    if (FAILED(hr = PersistWord(archive, &next)))
        return hr;
    g_nextChannelId = next;
    return S_OK;
}

HRESULT CMidiDoc::LoadBuses(CKelPersistArchive* archive)
{
    DestroyAuxBuses();
    DWORD count = 0;
    HRESULT hr = PersistCount(archive, &count, kMinListEntry);
    for (DWORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
        SHORT id = kNone;
        if (FAILED(hr = PersistWord(archive, &id)))
            return hr;
        if (id == kNone || HasContainer(id))
            return STG_E_DOCFILECORRUPT;
        CAuxBus* aux = CAuxBus::Create(this, static_cast<WORD>(id));
        if (aux == nullptr)
            return E_OUTOFMEMORY;
        if (FAILED(hr = archive->PersistObject(aux)) || FAILED(hr = m_auxBuses.Insert(id, aux))) {
            CAuxBus::Destroy(aux);
            return hr;
        }
        hr = m_auxOrder.Insert(m_auxOrder.GetSize(), id);
    }
    SHORT next = 0;
    if (FAILED(hr) || FAILED(hr = PersistWord(archive, &next)))
        return hr;
    g_nextAuxBusId = next;

    DestroyMainBus();
    if (FAILED(hr = PersistCount(archive, &count, kMinListEntry)))
        return hr;
    // The song plays through exactly one master bus.
    if (count != 1)
        return STG_E_DOCFILECORRUPT;
    SHORT id = kNone;
    if (FAILED(hr = PersistWord(archive, &id)))
        return hr;
    if (id == kNone || HasContainer(id))
        return STG_E_DOCFILECORRUPT;
    CMainBus* main = CMainBus::Create(this, static_cast<WORD>(id));
    if (main == nullptr)
        return E_OUTOFMEMORY;
    if (FAILED(hr = archive->PersistObject(main)) || FAILED(hr = m_mainBus.Insert(0, main))) {
        CMainBus::Destroy(main);
        return hr;
    }
    if (FAILED(hr = PersistWord(archive, &next)))
        return hr;
    g_nextMainBusId = next;
    return S_OK;
}

HRESULT CMidiDoc::PersistSettings(CKelPersistArchive* archive)
{
    HRESULT hr = S_OK;
    CString info[kInfoStringCount];
    for (int i = 0; i < kInfoStringCount; ++i) {
        info[i] = m_info[i];
        if (FAILED(hr = archive->PersistString(&info[i])))
            return hr;
    }
    DWORD sync = m_sendMidiSync ? 1 : 0;
    float shuffle = m_shuffle;
    DWORD reserved[4] = {kReservedWord, kReservedWord, kReservedWord, kReservedWord};
    if (FAILED(hr = archive->PersistBytes(sizeof sync, &sync)) ||
        FAILED(hr = archive->PersistBytes(sizeof shuffle, &shuffle)) ||
        FAILED(hr = archive->PersistBytes(sizeof reserved, reserved)))
        return hr;
    if (archive->IsSaving())
        return S_OK;
    for (int i = 0; i < kInfoStringCount; ++i)
        m_info[i] = info[i];
    m_sendMidiSync = sync != 0 ? TRUE : FALSE;
    // An amount outside 0..1 is refused and the current one stays.
    SetShuffleAmount(shuffle);
    return RunLoadFixUps(kNone, kNone, kNoInstanceId);
}

HRESULT CMidiDoc::PersistMarkers(CKelPersistArchive* archive)
{
    DWORD count = static_cast<DWORD>(m_markers.GetSize());
    HRESULT hr = PersistCount(archive, &count, kMinMarker);
    if (FAILED(hr))
        return hr;
    if (archive->IsSaving()) {
        for (int i = 0; i < m_markers.GetSize() && SUCCEEDED(hr); ++i) {
            Marker marker = m_markers[i];
            if (SUCCEEDED(hr = archive->PersistBytes(sizeof marker.tick, &marker.tick)))
                hr = archive->PersistString(&marker.name);
        }
        return hr;
    }
    std::vector<Marker> loaded;
    loaded.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        Marker marker;
        if (FAILED(hr = archive->PersistBytes(sizeof marker.tick, &marker.tick)) ||
            FAILED(hr = archive->PersistString(&marker.name)))
            return hr;
        loaded.push_back(std::move(marker));
    }
    std::stable_sort(loaded.begin(), loaded.end(), [](const Marker& a, const Marker& b) { return a.tick < b.tick; });
    while (m_markers.GetSize() > 0)
        m_markers.Remove(m_markers.GetSize() - 1);
    for (const Marker& marker : loaded)
        m_markers.Insert(m_markers.GetSize(), marker);
    return S_OK;
}

HRESULT CMidiDoc::RunLoadFixUps(SHORT container, SHORT pattern, LONG instance)
{
    if (container != kNone) {
        HRESULT hr = SetActiveContainer(container, FALSE, nullptr);
        if (FAILED(hr))
            return hr;
    } else if (!HasContainer(GetActiveContainer()) && MainBus() != nullptr) {
        // The bus that was active went with the buses the load replaced.
        SetActiveContainer(MainBus()->GetHostId(), FALSE, nullptr);
    }
    if (pattern != kNone)
        SetActivePattern(pattern, nullptr);
    if (instance != kNoInstanceId)
        SetActiveInstance(static_cast<DWORD>(instance), nullptr);
    RecalcSongLength();
    UpdateSoloMutes();
    SetSendMidiSync(m_sendMidiSync);
    SetShuffleAmount(m_shuffle);
    return S_OK;
}

// ---- Live MIDI input ----

HRESULT CMidiDoc::AttachMidiInput()
{
    IMidiSource* source = m_engine != nullptr ? m_engine->GetMidiSource() : nullptr;
    if (source == nullptr)
        return E_UNEXPECTED;
    HRESULT hr = source->AddSink(this);
    if (FAILED(hr))
        return hr;
    m_midiSinkAdded = true;
    m_commandMap.SetRouter(dynamic_cast<CMidiInputRouter*>(m_engine->GetMidiInputRouter()));
    return S_OK;
}

void CMidiDoc::DetachMidiInput()
{
    if (!m_midiSinkAdded)
        return;
    m_midiSinkAdded = false;
    if (IMidiSource* source = m_engine->GetMidiSource())
        source->RemoveSink(this);
}

int CMidiDoc::OnShortMsg(DWORD message, DWORD time, int port)
{
    // The ReWire device's worker renders the host's audio right after it
    // hands the notes over: it never waits for an edit to let go.
    CHeapLockGuard guard(m_midiLock, CHeapLockGuard::TryOnAudio{});
    if (!guard.OwnsLock()) {
        m_liveDrops.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    DeliverToChannels(message, time, port);
    return 0;
}

void CMidiDoc::DeliverToChannels(DWORD message, DWORD time, int port)
{
    for (auto& [id, channel] : m_channels.Items())
        channel->OnMidiInput(message, time, static_cast<DWORD>(port));
}

void CMidiDoc::ReleaseHeldNotes()
{
    for (auto& [id, channel] : m_channels.Items())
        channel->ClearHeldNotes();
}

void CMidiDoc::ResetLocked()
{
    CHeapLockGuard guard(m_midiLock);
    // The engine's re-seek stops the graph and waits for the renderer: the
    // UI thread's work (ClearHeldNotes), never the MIDI input thread's.
    ReleaseHeldNotes();
}

void CMidiDoc::ClearHeldNotes()
{
    MV_ASSERT_UI_THREAD();
    ReleaseHeldNotes();
    if (m_engine != nullptr)
        m_engine->ResyncEngine();
}

// ---- Tempo, meter and marker edits ----

namespace {

CString TempoText(UINT id, double first, double second = 0.0)
{
    CString text;
    text.Format(LoadResString(id), first, second);
    return text;
}

bool InTempoRange(LONG tempo) { return tempo >= CTempoMap::kMinLiveTempo && tempo <= CTempoMap::kMaxLiveTempo; }

// The fixed 63 characters a marker's name field holds.
constexpr int kMarkerNameChars = 63;

}  // namespace

HRESULT CMidiDoc::InsertTempo(LONG tick, LONG tempo, BOOL makeCommand, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    // A negative tick would sort before the first entry, which stays at 0.
    if (tick < 0)
        return E_INVALIDARG;
    const CString name = TempoText(IDS_DOC_INSERT_TEMPO, tempo * 0.01);
    return RunProjectEdit(command, makeCommand != FALSE, AsCommandDocument(), name.GetString(), kHintTempo,
                          [&](CMvCommand* c) {
                              const int at = m_tempoMap.IndexAt(tick);
                              if (m_tempoMap.IsValidIndex(at) && m_tempoMap[at].m_tick == tick) {
                                  CTempo changed = m_tempoMap[at];
                                  changed.m_tempo = tempo;
                                  SubmitUndoStep<CUndoSetStep<int, CTempo>>(c, m_tempoMap, at, changed);
                              } else {
                                  const int after = m_tempoMap.GetSize() == 0 ? 0 : at + 1;
                                  SubmitUndoStep<CUndoInsertStep<int, CTempo>>(c, m_tempoMap, after,
                                                                               CTempo(tick, tempo));
                              }
                          });
}

HRESULT CMidiDoc::SetTempoAt(int index, LONG tempo, BOOL makeCommand)
{
    MV_ASSERT_UI_THREAD();
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(m_tempoMap.GetSize()))
        return E_INVALIDARG;
    const LONG old = m_tempoMap[index].m_tempo;
    if (old == tempo)
        return S_FALSE;
    if (!InTempoRange(tempo))
        return E_INVALIDARG;
    const CString name = TempoText(IDS_DOC_CHANGE_TEMPO, old * 0.01, tempo * 0.01);
    return RunProjectEdit(nullptr, makeCommand != FALSE, AsCommandDocument(), name.GetString(), kHintTempo,
                          [&](CMvCommand* c) {
                              CTempo changed = m_tempoMap[index];
                              changed.m_tempo = tempo;
                              SubmitUndoStep<CUndoSetStep<int, CTempo>>(c, m_tempoMap, index, changed);
                          });
}

HRESULT CMidiDoc::DeleteTempo(int index, BOOL makeCommand, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(m_tempoMap.GetSize()))
        return E_INVALIDARG;
    return RunProjectEdit(command, makeCommand != FALSE, AsCommandDocument(), Text(IDS_DOC_DELETE_TEMPO).GetString(),
                          kHintTempo, [&](CMvCommand* c) {
                              if (index != 0) {
                                  SubmitUndoStep<CUndoRemoveStep<int, CTempo>>(c, m_tempoMap, index);
                                  return;
                              }
                              // The first entry carries the song start: it
                              // takes the next one's tempo instead of going.
                              if (m_tempoMap.GetSize() == 1) {
                                  SubmitUndoStep<CUndoSetStep<int, CTempo>>(c, m_tempoMap, 0, CTempo());
                                  return;
                              }
                              CTempo first = m_tempoMap[1];
                              first.m_tick = 0;
                              SubmitUndoStep<CUndoSetStep<int, CTempo>>(c, m_tempoMap, 0, first);
                              SubmitUndoStep<CUndoRemoveStep<int, CTempo>>(c, m_tempoMap, 1);
                          });
}

HRESULT CMidiDoc::ClearTempoRange(LONG from, LONG to, BOOL makeCommand, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    return m_tempoMap.ClearTempoRange(from, to, makeCommand, command);
}

HRESULT CMidiDoc::SetTempoSelected(int index, BOOL selected) { return m_tempoMap.SetSelected(index, selected); }

HRESULT CMidiDoc::DeselectAllTempos()
{
    if (m_tempoMap.GetSize() == 0)
        return E_FAIL;
    for (int i = 0; i < m_tempoMap.GetSize(); ++i)
        m_tempoMap.SetSelected(i, FALSE);
    return S_OK;
}

HRESULT CMidiDoc::SetLiveTempo(LONG tick, LONG tempo)
{
    const HRESULT hr = m_tempoMap.SetFixedTempo(tick, tempo);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CMidiDoc::RefreshLiveTempo()
{
    m_tempoMap.RebaseFixedTempo();
    return S_OK;
}

HRESULT CMidiDoc::OnBufferTempoHook(LONG, LONG) { return RefreshLiveTempo(); }

HRESULT CMidiDoc::CommitLiveTempo(BOOL commit)
{
    MV_ASSERT_UI_THREAD();
    LONG tick = 0;
    LONG tempo = 0;
    const bool live = m_tempoMap.GetFixedTempo(&tick, &tempo, nullptr) == S_OK;
    m_tempoMap.ClearFixedTempo();
    if (!commit || !live)
        return S_OK;
    // The song position is a tick: it stays where it is heard while the
    // clock times under it change.
    const LONG now = m_engine != nullptr ? m_engine->GetNowTicks(FALSE) : 0;
    HRESULT hr = SetTempoAt(m_tempoMap.IndexAt(tick), tempo, TRUE);
    if (FAILED(hr) || m_engine == nullptr)
        return hr;
    const DWORD recordMode = m_engine->GetRecordMode();
    const LONG playMode = m_engine->GetPlayMode();
    if (FAILED(hr = m_engine->Locate(now)) || FAILED(hr = m_engine->SetRecordMode(recordMode)) ||
        FAILED(hr = m_engine->SetPlayMode(playMode)))
        return hr;
    return S_OK;
}

HRESULT CMidiDoc::InsertMeterKey(LONG tick, const CMeterKey& entry, BOOL makeCommand, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    return m_meterKeyMap.InsertMeterKey(tick, entry, makeCommand, command);
}

HRESULT CMidiDoc::DeleteMeterKey(int index, BOOL makeCommand, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(m_meterKeyMap.GetSize()))
        return E_INVALIDARG;
    return m_meterKeyMap.DeleteMeterKey(index, makeCommand, command);
}

HRESULT CMidiDoc::InsertMarker(const char* name, LONG tick, BOOL makeCommand, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    CString text(name != nullptr ? name : "");
    if (text.GetLength() > kMarkerNameChars)
        text = text.Left(kMarkerNameChars);
    CString undoName;
    undoName.Format(LoadResString(IDS_DOC_INSERT_MARKER), text.GetString());
    return RunProjectEdit(command, makeCommand != FALSE, AsCommandDocument(), undoName.GetString(), kHintTempo,
                          [&](CMvCommand* c) {
                              int low = 0;
                              int high = m_markers.GetSize();
                              while (low < high) {
                                  const int mid = (low + high) / 2;
                                  if (m_markers[mid].tick <= tick)
                                      low = mid + 1;
                                  else
                                      high = mid;
                              }
                              SubmitUndoStep<CUndoInsertStep<int, Marker>>(c, m_markers, low, Marker{tick, text});
                          });
}

// ---- Pattern files ----

namespace {

// The pattern's name without a trailing number: "Bass_3" -> "Bass", 3;
// a name without one is its own base with suffix 0.
void SplitSuffix(const CString& name, CString* base, long* suffix)
{
    *base = name;
    *suffix = 0;
    const int underscore = name.ReverseFind('_');
    if (underscore < 0)
        return;
    const char* digits = name.GetString() + underscore + 1;
    char* end = nullptr;
    const long number = std::strtol(digits, &end, 10);
    if (number == 0 || end == digits || *end != '\0')
        return;
    *base = name.Left(underscore);
    *suffix = number;
}

}  // namespace

CString CMidiDoc::PatternFileName(const char* name)
{
    CString file(name != nullptr ? name : "");
    MakeValidFileName(file);
    // "." and ".." name folders, not files.
    if (file.IsEmpty() || file == "." || file == "..")
        file = "_" + file;
    return file + Text(IDS_DOC_PATTERN_FILE_EXT);
}

HRESULT CMidiDoc::SavePatternFile(SHORT patternId, const char* folder)
{
    MV_ASSERT_UI_THREAD();
    if (folder == nullptr)
        return E_POINTER;
    CPattern* pattern = nullptr;
    HRESULT hr = GetPattern(patternId, &pattern);
    if (FAILED(hr) || pattern == nullptr)
        return FAILED(hr) ? hr : E_INVALIDARG;
    const CString path = CString(folder) + "/" + PatternFileName(pattern->GetDisplayName().GetString());
    CFile file;
    std::string temp;
    if (file.OpenTemporaryBeside(path.GetString(), &temp) != CFile::none)
        return E_FAIL;
    {
        HRESULT opened = S_OK;
        CFileStream stream(&file, TRUE, &opened);
        hr = SUCCEEDED(opened) ? PersistPatternClip(pattern, &stream, TRUE) : opened;
        const HRESULT closed = stream.Close();
        if (SUCCEEDED(hr))
            hr = closed;
    }
    if (SUCCEEDED(hr) && file.Flush() != CFile::none)
        hr = E_FAIL;
    if (file.Close() != CFile::none && SUCCEEDED(hr))
        hr = E_FAIL;
    if (SUCCEEDED(hr) && CFile::Replace(temp.c_str(), path.GetString()) != CFile::none)
        hr = E_FAIL;
    if (FAILED(hr))
        CFile::Remove(temp.c_str());
    return hr;
}

HRESULT CMidiDoc::LoadPatternFile(CMvCommand* command, CString* name, const char* folder, CPattern** out)
{
    MV_ASSERT_UI_THREAD();
    if (out != nullptr)
        *out = nullptr;
    if (command == nullptr || name == nullptr || folder == nullptr)
        return E_POINTER;
    // The file keeps the name it was asked for; the pattern gets a unique one.
    const CString path = CString(folder) + "/" + PatternFileName(name->GetString());
    CString base;
    long suffix = 0;
    long counter = 0;
    for (int i = 0; i < m_patternOrder.GetSize(); ++i) {
        CPattern* other = nullptr;
        if (FAILED(GetPatternAt(i, &other)) || other == nullptr) {
            counter = 0;
            break;
        }
        SplitSuffix(other->GetDisplayName(), &base, &suffix);
        if (base.CompareNoCase(*name) == 0)
            counter = std::max(counter, suffix + 1);
    }
    CString unique = *name;
    if (counter > 0)
        unique.Format("%s_%ld", name->GetString(), counter);

    const CString failure = Text(IDS_DOC_OPEN_FILE_ERROR);
    CFile file;
    if (file.Open(path.GetString(), CFile::modeRead) != CFile::none) {
        ShowMessageBox(failure);
        return E_FAIL;
    }
    const SHORT id = NextPatternId();
    if (id == kNone)
        return E_UNEXPECTED;
    CPattern* pattern = nullptr;
    HRESULT hr = CreatePattern(id, TRUE, command, &pattern, FALSE);
    if (FAILED(hr))
        return hr;
    {
        HRESULT opened = S_OK;
        CFileStream stream(&file, FALSE, &opened);
        hr = FAILED(opened) ? opened : PersistPatternClip(pattern, &stream, FALSE);
    }
    file.Close();
    if (FAILED(hr)) {
        ShowMessageBox(failure);
        if (!command->IsAborted())
            command->Abort();
        return hr;
    }
    if (FAILED(hr = SetPatternAttributes(id, unique.GetString(), nullptr, nullptr, nullptr, command)))
        return hr;
    *name = unique;
    if (out != nullptr)
        *out = pattern;
    return S_OK;
}

// ---- Remote-control targets ----

HRESULT CMidiDoc::CreateTarget(LONG commandId, CMvRCCommand** target)
{
    MV_ASSERT_UI_THREAD();
    if (target == nullptr)
        return E_POINTER;
    *target = nullptr;
    CMvRCCommand* made = nullptr;
    HRESULT hr = CMvRCCommand::Create(m_commandMap.GetRouter(), &made);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = made->SetCommand(commandId))) {
        CRCTarget::Destroy(made);
        return hr;
    }
    // Any channel and port, the whole 14-bit range, switching on the
    // message kind of a command.
    made->Msg().m_channel = 0xFFFF;
    made->Msg().m_port = 0xFFFFFFFF;
    made->Msg().m_maxValue = 16383;
    made->Msg().m_kind = 11;
    made->m_mode = CMidiMsgListener::kSwitch;
    *target = made;
    return S_OK;
}

HRESULT CMidiDoc::DestroyTarget(CRCTarget* target)
{
    if (dynamic_cast<CMvRCCommand*>(target) == nullptr)
        return E_FAIL;
    return CRCTarget::Destroy(target);
}

HRESULT CMidiDoc::ListTargets(std::vector<RCTargetEntry>* entries)
{
    if (entries == nullptr)
        return E_POINTER;
    try {
        for (const auto& [index, target] : m_commandMap.GetMap().Items())
            entries->push_back(
                RCTargetEntry{this, target, 0, CString(CMvRCCommand::GetCommandName(target->GetTargetId()))});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CMidiDoc::UnassignTarget(LONG commandId, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    return m_commandMap.UnassignCommand(commandId, command);
}

HRESULT CMidiDoc::AssignTarget(LONG commandId, CRCTarget* target, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    return RunCommandTargetEdit(&CRCCommandMap::AssignCommand, commandId, target, command);
}

HRESULT CMidiDoc::ModifyTarget(LONG commandId, CRCTarget* target, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    return RunCommandTargetEdit(&CRCCommandMap::ModifyCommand, commandId, target, command);
}

HRESULT CMidiDoc::RunCommandTargetEdit(HRESULT (CRCCommandMap::*edit)(LONG, CMvRCCommand*, CMvCommand*),
                                       LONG commandId, CRCTarget* target, CMvCommand* command)
{
    auto* commandTarget = dynamic_cast<CMvRCCommand*>(target);
    if (commandTarget == nullptr)
        return E_FAIL;
    return (m_commandMap.*edit)(commandId, commandTarget, command);
}
