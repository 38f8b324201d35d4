#include "engine/mixer/CMixBus.h"

#include <algorithm>
#include <new>

#include "engine/IMfxTimeConverter.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/mixer/GainPanText.h"
#include "engine/mixer/IBusDocument.h"
#include "model/CKelPersistArchive.h"
#include "model/CPattern.h"
#include "platform/com/ComRuntime.h"
#include "platform/media/IGainPan.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

// The gain/pan parameters that stay out of automation: Invert, Width and
// Solo Mute.
constexpr DWORD kNotAutomatable[] = {7, 0, 2};

float NativeOf(const MP_PARAMINFO& info, float value)
{
    return info.mpdMinValue + (info.mpdMaxValue - info.mpdMinValue) * value;
}

}  // namespace

CMixBus::CMixBus(IBusDocument* document, WORD index, REFGUID groupClass, WORD major, WORD minor)
    : CControlParamSet(document, &m_lock),
      CChainHost(&m_lock),
      CKelPersistObject(MakeKelVersionWord(major, minor)),
      m_document(document),
      m_index(index),
      m_groupClass(groupClass)
{
}

CMixBus::~CMixBus()
{
    ReleaseAndClear(m_gainPanControl);
    ReleaseAndClear(m_gainPanSend);
    ReleaseAndClear(m_gainPan);
    ReleaseAndClear(m_mixer);
}

IMixerDocument* CMixBus::GetMixerDocument() { return m_document; }

HRESULT CMixBus::RetireFilter(IUnknown* filter)
{
    if (m_document == nullptr)
        return E_UNEXPECTED;
    return filter ? m_document->KeepObjectAlive(filter) : S_FALSE;
}

// ---- Filters ----

HRESULT CMixBus::CreateGainPan()
{
    MV_ASSERT_UI_THREAD();
    if (m_gainPan != nullptr)
        return E_UNEXPECTED;
    HRESULT hr = CoCreateInstance(CLSID_GainPanFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  reinterpret_cast<void**>(&m_gainPan));
    if (SUCCEEDED(hr) && m_gainPan == nullptr)
        hr = E_OUTOFMEMORY;
    if (SUCCEEDED(hr))
        hr = m_gainPan->QueryInterface(IID_IGainPanSend, reinterpret_cast<void**>(&m_gainPanSend));
    if (SUCCEEDED(hr))
        hr = m_gainPan->QueryInterface(IID_IGainPan, reinterpret_cast<void**>(&m_gainPanControl));
    if (FAILED(hr)) {
        ReleaseAndClear(m_gainPanControl);
        ReleaseAndClear(m_gainPanSend);
        ReleaseAndClear(m_gainPan);
    }
    return hr;
}

HRESULT CMixBus::CreateSumMixer(const char* name)
{
    MV_ASSERT_UI_THREAD();
    IAudioProperties* audio = m_document ? m_document->GetAudioProperties() : nullptr;
    CDxFilterGraph* graph = m_document ? m_document->GetFilterGraph() : nullptr;
    if (audio == nullptr || graph == nullptr)
        return E_UNEXPECTED;
    ReleaseAndClear(m_mixer);
    return CStereoSumMixer::Create(graph, audio, name, &m_mixer);
}

void CMixBus::ReleaseGainPanAndMixer()
{
    MV_ASSERT_UI_THREAD();
    RetireFilter(m_gainPan);
    ReleaseAndClear(m_gainPanControl);
    ReleaseAndClear(m_gainPanSend);
    ReleaseAndClear(m_gainPan);
    if (m_mixer != nullptr) {
        RetireFilter(static_cast<IBaseFilter*>(m_mixer));
        m_mixer->SetAllInputsUsed(FALSE);
        ReleaseAndClear(m_mixer);
    }
}

HRESULT CMixBus::RemoveIfPresent(CDxFilterGraph* graph, IBaseFilter* filter)
{
    if (filter == nullptr)
        return S_FALSE;
    const HRESULT hr = graph->RemoveFilter(filter);
    return hr == VFW_E_NOT_FOUND ? S_FALSE : hr;
}

IUnknown* CMixBus::GetSendObject(LONG index)
{
    IUnknown* object = nullptr;
    if (m_gainPanSend == nullptr || m_gainPanSend->GetSendObject(index, &object) != S_OK)
        return nullptr;
    return object;
}

// ---- Parameters ----

HRESULT CMixBus::InitParams()
{
    MV_ASSERT_UI_THREAD();
    if (m_gainPan == nullptr)
        return E_UNEXPECTED;
    HRESULT hr = AddPlugInParams(m_groupClass, GUID_NULL, m_gainPan);
    if (FAILED(hr))
        return hr;
    {
        CHeapLockGuard guard(&m_lock);
        DWORD first = 0;
        if (GetGroupParamIndex(GetBusGroupKey(), 0, &first) != S_OK)
            return E_UNEXPECTED;
        for (DWORD local : kNotAutomatable) {
            ControlParam* p = FindParam(first + local);
            if (p == nullptr)
                return E_UNEXPECTED;
            p->automatable = 0;
        }
    }
    for (int i = 0; i < m_chain.GetCount(); ++i) {
        IBaseFilter* plugIn = m_chain.GetFxPlugIn(i);
        if (plugIn && FAILED(hr = AddPlugInParams(m_chain.GetFxClsid(i), m_chain.GetFxInstanceGuid(i), plugIn)))
            return hr;
    }
    return S_OK;
}

BOOL CMixBus::IsBusParam(DWORD id)
{
    GUID classId{}, instanceId{};
    if (FAILED(GetParamGroup(id, nullptr, &classId, &instanceId)))
        return FALSE;
    return classId == m_groupClass && instanceId == GUID_NULL;
}

IBaseFilter* CMixBus::EffectOf(const GroupKey& key) const
{
    for (int i = 0; i < m_chain.GetCount(); ++i) {
        if (m_chain.GetFxClsid(i) == key.classId && m_chain.GetFxInstanceGuid(i) == key.instanceId)
            return m_chain.GetFxPlugIn(i);
    }
    return nullptr;
}

HRESULT CMixBus::GetParamTarget(DWORD id, DWORD* localIndex, GUID* classId, GUID* instanceId,
                                IMediaParams** params)
{
    if (localIndex == nullptr || classId == nullptr || instanceId == nullptr || params == nullptr)
        return E_POINTER;
    *params = nullptr;
    if (FAILED(GetParamGroup(id, localIndex, classId, instanceId)))
        return E_INVALIDARG;
    IBaseFilter* filter = *classId == m_groupClass && *instanceId == GUID_NULL ? m_gainPan
                                                                                : EffectOf({*classId, *instanceId});
    if (filter == nullptr)
        return S_FALSE;
    return SUCCEEDED(filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(params))) ? S_OK : S_FALSE;
}

HRESULT CMixBus::SetParamValue(DWORD id, float value)
{
    HRESULT hr = CControlParamSet::SetParamValue(id, value);
    if (FAILED(hr))
        return hr;
    MP_PARAMINFO info{};
    float stored = value;
    if (FAILED(hr = GetParamInfo(id, &info)) || FAILED(hr = GetParamValue(id, &stored)))
        return hr;
    DWORD local = 0;
    GUID classId{}, instanceId{};
    mvcom::CComPtr<IMediaParams> target;
    if (FAILED(hr = GetParamTarget(id, &local, &classId, &instanceId, target.Put())))
        return hr;
    if (target && FAILED(hr = target->SetParam(local, NativeOf(info, stored))))
        return hr;
    if (classId == m_groupClass && local == kMuteIndex && m_document)
        m_document->InvalidateMuteState();
    return S_OK;
}

HRESULT CMixBus::SetParamValueFromUser(DWORD id, double value)
{
    HRESULT hr = SetParamValue(id, static_cast<float>(value));
    if (FAILED(hr))
        return hr;
    return m_document ? m_document->RecordBusParamValue(id, m_index, static_cast<float>(value)) : S_OK;
}

HRESULT CMixBus::BeginTouch(DWORD id, DWORD bits)
{
    if (m_document) {
        const HRESULT hr = m_document->BeginBusParamTouch(id, m_index);
        if (FAILED(hr))
            return hr;
    }
    return CControlParamSet::BeginTouch(id, bits);
}

HRESULT CMixBus::EndTouch(DWORD id, DWORD bits)
{
    float value = 0.0f;
    if (TouchChangedValue(id, &value))
        FileParamStep(id, value);
    if (m_document) {
        const HRESULT hr = m_document->EndBusParamTouch(id, m_index);
        if (FAILED(hr))
            return hr;
    }
    return CControlParamSet::EndTouch(id, bits);
}

HRESULT CMixBus::GetGroupName(CString* name, const GroupKey& key)
{
    if (name == nullptr)
        return E_POINTER;
    if (key.classId == m_groupClass && key.instanceId == GUID_NULL) {
        *name = GetDisplayName();
        return S_OK;
    }
    for (int i = 0; i < m_chain.GetCount(); ++i) {
        if (m_chain.GetFxClsid(i) == key.classId && m_chain.GetFxInstanceGuid(i) == key.instanceId) {
            *name = m_chain.GetFxName(i);
            return S_OK;
        }
    }
    *name = "unknown";
    return S_OK;
}

HRESULT CMixBus::FormatValue(DWORD id, float value, CString* text)
{
    if (text == nullptr)
        return E_POINTER;
    MP_PARAMINFO info{};
    if (FAILED(GetParamInfo(id, &info)))
        return E_INVALIDARG;
    DWORD first = 0;
    if (GetGroupParamIndex(GetBusGroupKey(), 0, &first) != S_OK)
        return E_UNEXPECTED;
    // Effects' parameters follow the generic rule.
    const DWORD rule = IsBusParam(id) ? id - first : 0xFFFFFFFF;
    FormatGainPanValue(rule, info, value, text);
    return S_OK;
}

BOOL CMixBus::IsMuted()
{
    DWORD first = 0;
    float value = 0.0f;
    if (GetGroupParamIndex(GetBusGroupKey(), kMuteIndex, &first) != S_OK || FAILED(GetParamValue(first, &value)))
        return FALSE;
    return value > 0.5f;
}

HRESULT CMixBus::SetMute(BOOL on)
{
    DWORD id = 0;
    if (GetGroupParamIndex(GetBusGroupKey(), kMuteIndex, &id) != S_OK)
        return E_UNEXPECTED;
    return SetParamValue(id, on ? 1.0f : 0.0f);
}

HRESULT CMixBus::FlushEnvelopes()
{
    HRESULT first = S_OK;
    auto flush = [&](IUnknown* filter) {
        if (filter == nullptr)
            return;
        const HRESULT hr = FlushPlugInEnvelopes(filter);
        if (SUCCEEDED(first) && FAILED(hr))
            first = hr;
    };
    flush(m_gainPan);
    for (int i = 0; i < m_chain.GetCount(); ++i)
        flush(m_chain.GetFxPlugIn(i));
    return first;
}

// ---- Automation ----

HRESULT CMixBus::InitAutomation()
{
    MV_ASSERT_UI_THREAD();
    if (m_automationPattern != nullptr)
        return S_FALSE;
    HRESULT hr = CreatePattern(CPattern::kNoPattern, &m_automationPattern, CPattern::kKindMidi);
    if (FAILED(hr))
        return hr;
    if (m_automationPattern == nullptr)
        return E_OUTOFMEMORY;
    m_automationPattern->SetDuration(CPattern::kEndless);
    m_automationPattern->SetName("Automation");
    m_automationPattern->SetLaneKind(1);
    std::vector<DWORD> listed;
    if (SUCCEEDED(GetGroupParamList(GetBusGroupKey(), &listed)) && !listed.empty())
        m_automationPattern->SetLaneTarget(static_cast<LONG>(listed.front()));
    m_automationInstance = new (std::nothrow) CPatternInstance(m_automationPattern);
    if (m_automationInstance == nullptr)
        return E_OUTOFMEMORY;
    try {
        m_span.reserve(kSpanEvents);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CMixBus::CloseEffectWindows()
{
    for (int i = 0; i < m_chain.GetCount(); ++i)
        m_chain.CloseFxProperties(i);
}

HRESULT CMixBus::OnLoop(LONGLONG from, LONGLONG to)
{
    const HRESULT hr = Locate(static_cast<LONG>(from));
    if (FAILED(hr))
        return hr;
    return CChainHost::OnLoop(from, to);
}

void CMixBus::DestroyContents()
{
    delete m_automationInstance;
    m_automationInstance = nullptr;
    if (m_automationPattern != nullptr)
        DestroyPattern(m_automationPattern);
    m_automationPattern = nullptr;
    for (int i = m_chain.GetCount() - 1; i >= 0; --i) {
        if (IFxWrap* wrap = m_chain.GetAt(i))
            DestroyPlugInWrap(wrap);
    }
    m_chain.ClearWithoutUndo();
}

void CMixBus::ResetAutomationCursor(SHORT patternId)
{
    if (m_automationInstance == nullptr)
        return;
    if (patternId == kAllPatterns || m_automationInstance->GetPatternID() == patternId)
        m_automationInstance->ResetCursor();
}

HRESULT CMixBus::ChaseAutomation(LONG time)
{
    if (m_automationInstance == nullptr || m_automationPattern->GetEvents().empty())
        return S_FALSE;
    m_chase.clear();
    HRESULT hr = m_automationInstance->ChaseEvents(time, &m_chase);
    if (FAILED(hr))
        return hr;
    for (const CMfxEvent& e : m_chase) {
        if (e.m_kind != MfxAutomation)
            return E_UNEXPECTED;
    }
    for (const CMfxEvent& e : m_chase) {
        if (HasParam(e.m_automation.param) && FAILED(hr = SetParamValue(e.m_automation.param, e.m_value)))
            return hr;
    }
    m_chase.clear();
    return S_OK;
}

HRESULT CMixBus::Locate(LONG time)
{
    MV_ASSERT_AUDIO_THREAD();
    HRESULT hr = m_automationInstance ? m_automationInstance->SeekTime(time) : S_OK;
    if (FAILED(hr))
        return hr;
    return FlushEnvelopes();
}

HRESULT CMixBus::RenderAutomation(LONG from, LONG to)
{
    MV_ASSERT_AUDIO_THREAD();
    if (m_automationInstance == nullptr)
        return S_FALSE;
    if (m_document == nullptr || !m_document->IsAutomationPlaybackOn())
        return S_FALSE;
    m_span.clear();
    HRESULT hr = m_automationInstance->RenderEvents(from, to, &m_span, 0.0f);
    if (hr == E_OUTOFMEMORY) {
        // The span held more than the buffer: what fitted plays.
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        hr = S_OK;
    }
    if (hr == S_FALSE || FAILED(hr))
        return hr;
    for (const CMfxEvent& e : m_span) {
        if (e.m_kind != MfxAutomation) {
            m_span.clear();
            return E_UNEXPECTED;
        }
    }
    ApplyAutomation(m_span.data(), m_span.size());

    IMfxTimeConverter* converter = m_document->GetTimeConverter();
    auto toReference = [converter](LONG ticks, REFERENCE_TIME* rt) {
        MFX_TIME time{};
        time.format = MfxTimeTicks;
        time.ticks = ticks;
        const HRESULT r = converter ? converter->ConvertTime(&time, MfxTimeSeconds) : E_UNEXPECTED;
        if (SUCCEEDED(r))
            *rt = static_cast<REFERENCE_TIME>(time.seconds * 10000000.0 + 0.5);
        return r;
    };
    std::size_t count = 0;
    for (const CMfxEvent& e : m_span) {
        Point& p = m_points[count];
        p = Point{};
        p.id = e.m_automation.param;
        if (FAILED(toReference(e.m_time, &p.segment.rtStart)))
            continue;
        p.segment.rtEnd = p.segment.rtStart + 1;
        p.segment.iCurve = MP_CURVE_JUMP;
        p.segment.valStart = e.m_value;
        p.segment.valEnd = e.m_value;
        ++count;
    }
    m_span.clear();
    if (count == 0)
        return S_OK;
    REFERENCE_TIME start = 0;
    if (FAILED(hr = toReference(std::max<LONG>(from - 1, 0), &start)))
        return hr;
    // The table is busy with an edit: the values are set, the envelopes wait
    // for the next span.
    if (!m_lock.TryLock())
        return S_OK;
    hr = SendEnvelopes(count, start);
    m_lock.Unlock();
    return hr;
}

HRESULT CMixBus::SendEnvelopes(std::size_t count, REFERENCE_TIME start)
{
    // By parameter, each parameter's points in time order; a span's few
    // points sort in place, without the allocation a library sort may make.
    auto before = [](const Point& a, const Point& b) {
        return a.id != b.id ? a.id < b.id : a.segment.rtStart < b.segment.rtStart;
    };
    for (std::size_t i = 1; i < count; ++i) {
        const Point p = m_points[i];
        std::size_t j = i;
        for (; j > 0 && before(p, m_points[j - 1]); --j)
            m_points[j] = m_points[j - 1];
        m_points[j] = p;
    }
    MP_ENVELOPE_SEGMENT segments[kSpanEvents];
    for (std::size_t i = 0; i < count;) {
        const DWORD id = m_points[i].id;
        std::size_t n = 0;
        const ControlParam* param = FindParam(id);
        for (; i < count && m_points[i].id == id; ++i) {
            segments[n] = m_points[i].segment;
            ++n;
        }
        if (param == nullptr)
            return E_INVALIDARG;
        for (std::size_t k = 0; k < n; ++k) {
            segments[k].valStart = NativeOf(param->info, segments[k].valStart);
            segments[k].valEnd = NativeOf(param->info, segments[k].valEnd);
        }
        DWORD local = 0;
        GUID classId{}, instanceId{};
        if (FAILED(GetParamGroup(id, &local, &classId, &instanceId)))
            continue;
        IBaseFilter* filter =
            classId == m_groupClass && instanceId == GUID_NULL ? m_gainPan : EffectOf({classId, instanceId});
        IMediaParams* params = nullptr;
        if (filter == nullptr || FAILED(filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params))))
            continue;
        HRESULT hr = params->FlushEnvelope(local, start, kFlushEnd);
        if (SUCCEEDED(hr))
            hr = params->AddEnvelope(local, static_cast<DWORD>(n), segments);
        params->Release();
        // A filter that holds no more points keeps the values already set.
        if (hr == E_OUTOFMEMORY) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// ---- Saved form ----

HRESULT CMixBus::PersistParamsAndGainPan(CKelPersistArchive* archive)
{
    HRESULT hr = PersistParamSet(0, archive);
    if (FAILED(hr))
        return hr;
    CDxFilterGraph* graph = m_document ? m_document->GetFilterGraph() : nullptr;
    if (graph == nullptr || m_gainPan == nullptr)
        return E_UNEXPECTED;
    if (FAILED(hr = graph->PersistFilterState(m_gainPan, archive)))
        return hr;
    if (!archive->IsSaving())
        SyncGroupFromPlugIn(m_groupClass, GUID_NULL, m_gainPan);
    return S_OK;
}

HRESULT CMixBus::PersistAutomation(CKelPersistArchive* archive)
{
    if (m_automationPattern == nullptr)
        return E_UNEXPECTED;
    return archive->PersistObject(m_automationPattern);
}
