#include "engine/mixer/CControlParamSet.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "engine/IMfxTimeConverter.h"
#include "engine/mixer/CParamCallbackProxy.h"
#include "engine/mixer/IParamSetDocument.h"
#include "engine/mixer/ISynthNameLists.h"
#include "model/CKelPersistArchive.h"
#include "platform/com/CComPtr.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/WideString.h"

namespace {

constexpr DWORD kNoNumber = 0xFFFF;
constexpr DWORD kAllCurves = MP_CAPS_CURVE_JUMP | MP_CAPS_CURVE_LINEAR | MP_CAPS_CURVE_SQUARE |
                             MP_CAPS_CURVE_INVSQUARE | MP_CAPS_CURVE_SINE;
constexpr std::size_t kTextChars = 32;  // unit and label, with their zero
// One saved group: two GUIDs, first and count.
constexpr ULONGLONG kSavedGroupBytes = 16 + 16 + 4 + 4;
// One saved map or list entry before its payload: two GUIDs.
constexpr ULONGLONG kSavedKeyBytes = 16 + 16;

float Clamp01(float v)
{
    // NaN lands on 0 rather than travelling on into a plug-in.
    if (!(v >= 0.0f))
        return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

// A native value over the range, as 0..1; a range of zero has no position
// in it, so it reads as 0 rather than dividing by zero.
float Normalise(float native, const MP_PARAMINFO& info)
{
    const float span = info.mpdMaxValue - info.mpdMinValue;
    if (!(span != 0.0f))
        return 0.0f;
    return Clamp01((native - info.mpdMinValue) / span);
}

void CutTexts(MP_PARAMINFO& info)
{
    info.szUnitText[kTextChars - 1] = 0;
    info.szLabel[kTextChars - 1] = 0;
}

void SetWide(WCHAR (&field)[kTextChars], const CString& text)
{
    const std::u16string wide = mvwin::Utf8ToUtf16(text.GetString());
    const std::size_t n = std::min(wide.size(), kTextChars - 1);
    std::copy_n(wide.data(), n, field);
    field[n] = 0;
}

ControlParam NewRecord()
{
    ControlParam p{};
    p.kind = CControlParamSet::kMedia;
    p.number = static_cast<WORD>(kNoNumber);
    p.touchMask = 0;
    p.touchStartValue = CControlParamSet::kNoTouch;
    p.automatable = 1;
    return p;
}

CString Joined(const char* format, const char* a, const char* b)
{
    CString text;
    text.Format(format, a, b);
    return text;
}

template <class F>
HRESULT Guarded(F&& f)
{
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace

CControlParamSet::CControlParamSet(IParamSetDocument* document, CHeapCriticalSection* ownerLock)
    : m_document(document), m_ownerLock(ownerLock)
{
    m_scratch.iCurve = MP_CURVE_JUMP;
    m_scratch.flags = 0;
    m_events.reserve(64);
}

CControlParamSet::~CControlParamSet()
{
    for (auto& [key, map] : m_rcMaps) {
        for (const auto& [id, param] : map.GetMap().Items())
            DestroyRCTarget(param);
    }
    for (auto& [key, proxy] : m_callbacks)
        DestroyParamCallbackProxy(proxy);
}

// ---- Parameter table ----

std::size_t CControlParamSet::IndexOf(DWORD id) const
{
    const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
    if (it == m_ids.end() || *it != id)
        return m_ids.size();
    return static_cast<std::size_t>(it - m_ids.begin());
}

ControlParam* CControlParamSet::FindParam(DWORD id)
{
    const std::size_t i = IndexOf(id);
    return i < m_ids.size() ? &m_params[i] : nullptr;
}

void CControlParamSet::AddParamIfAbsent(DWORD id, const ControlParam& param)
{
    const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
    if (it != m_ids.end() && *it == id)
        return;
    const auto at = it - m_ids.begin();
    m_params.insert(m_params.begin() + at, param);
    m_ids.insert(it, id);
}

const ParamGroup* CControlParamSet::FindGroup(const GroupKey& key) const
{
    const auto it = m_groups.find(key);
    return it == m_groups.end() ? nullptr : &it->second;
}

const GroupKey* CControlParamSet::GroupOfId(DWORD id, DWORD* localIndex) const
{
    for (const auto& [key, group] : m_groups) {
        if (id >= group.first && id - group.first < group.count) {
            if (localIndex)
                *localIndex = id - group.first;
            return &key;
        }
    }
    return nullptr;
}

HRESULT CControlParamSet::GetParamName(DWORD id, CString* name)
{
    if (name == nullptr)
        return E_POINTER;
    Lock lock(m_ownerLock);
    const ControlParam* p = FindParam(id);
    if (p == nullptr)
        return E_INVALIDARG;
    *name = CString(mvwin::Utf16ToUtf8(std::u16string_view(p->info.szLabel, mvwin::WideLength(p->info.szLabel))));
    return S_OK;
}

HRESULT CControlParamSet::SetParamValue(DWORD id, float value)
{
    Lock lock(m_ownerLock);
    ControlParam* p = FindParam(id);
    if (p == nullptr)
        return E_INVALIDARG;
    value = Clamp01(value);
    if (p->value == value)
        return S_OK;
    p->value = value;
    MarkDirty();
    return S_OK;
}

bool CControlParamSet::TouchChangedValue(DWORD id, float* value)
{
    float start = kNoTouch;
    BOOL touched = FALSE;
    return SUCCEEDED(GetParamTouchState(id, &touched, value, &start)) && touched && start != *value;
}

HRESULT CControlParamSet::ApplyAutomation(const CMfxEvent* events, std::size_t count)
{
    MV_ASSERT_AUDIO_THREAD();
    if (!m_ownerLock->TryLock())
        return S_FALSE;
    bool changed = false;
    const std::size_t size = m_ids.size();
    // A span's events usually come in id order: the record after the last
    // one found is tried before searching.
    std::size_t next = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const CMfxEvent& e = events[i];
        if (e.m_kind != MfxAutomation)
            continue;
        const DWORD id = e.m_automation.param;
        const std::size_t at = next < size && m_ids[next] == id ? next : IndexOf(id);
        if (at == size)
            continue;
        next = at + 1;
        const float value = Clamp01(e.m_value);
        if (m_params[at].value != value) {
            m_params[at].value = value;
            changed = true;
        }
    }
    m_ownerLock->Unlock();
    if (changed)
        MarkDirty();
    return S_OK;
}

HRESULT CControlParamSet::BeginTouch(DWORD id, DWORD bits)
{
    Lock lock(m_ownerLock);
    ControlParam* p = FindParam(id);
    if (p == nullptr)
        return E_INVALIDARG;
    if (p->touchMask == 0)
        p->touchStartValue = p->value;
    p->touchMask |= bits;
    return S_OK;
}

HRESULT CControlParamSet::EndTouch(DWORD id, DWORD bits)
{
    bool post = false;
    {
        Lock lock(m_ownerLock);
        ControlParam* p = FindParam(id);
        if (p == nullptr)
            return E_INVALIDARG;
        post = p->touchMask != 0 && p->touchStartValue != p->value;
        p->touchMask &= ~bits;
        if (p->touchMask == 0)
            p->touchStartValue = kNoTouch;
    }
    if (post && m_document != nullptr)
        m_document->PostToMainWindow(kTouchEndedMessage, 0, 0);
    return S_OK;
}

CString CControlParamSet::GetDisplayName() { return m_displayName; }

HRESULT CControlParamSet::IsParamAutomatable(DWORD id, DWORD* automatable)
{
    if (automatable == nullptr)
        return E_POINTER;
    Lock lock(m_ownerLock);
    const ControlParam* p = FindParam(id);
    if (p == nullptr)
        return E_INVALIDARG;
    *automatable = p->automatable;
    return S_OK;
}

HRESULT CControlParamSet::GetParamCurveInfo(DWORD id, DWORD* kind, WORD* number)
{
    if (kind == nullptr && number == nullptr)
        return E_INVALIDARG;
    Lock lock(m_ownerLock);
    const ControlParam* p = FindParam(id);
    if (p == nullptr)
        return E_INVALIDARG;
    if (kind)
        *kind = p->kind;
    if (number)
        *number = p->number;
    return S_OK;
}

bool CControlParamSet::HasParam(DWORD id)
{
    Lock lock(m_ownerLock);
    return FindParam(id) != nullptr;
}

HRESULT CControlParamSet::GetParamValue(DWORD id, float* value)
{
    if (value == nullptr)
        return E_POINTER;
    Lock lock(m_ownerLock);
    const ControlParam* p = FindParam(id);
    if (p == nullptr)
        return E_INVALIDARG;
    *value = p->value;
    return S_OK;
}

HRESULT CControlParamSet::GetParamTouchState(DWORD id, BOOL* touched, float* value, float* touchStartValue)
{
    if (touched == nullptr && value == nullptr && touchStartValue == nullptr)
        return E_INVALIDARG;
    Lock lock(m_ownerLock);
    const ControlParam* p = FindParam(id);
    if (p == nullptr)
        return E_INVALIDARG;
    if (touched)
        *touched = p->touchMask != 0 ? TRUE : FALSE;
    if (value)
        *value = p->value;
    if (touchStartValue)
        *touchStartValue = p->touchStartValue;
    return S_OK;
}

HRESULT CControlParamSet::GetNormalizedDefault(DWORD id, float* value)
{
    if (value == nullptr)
        return E_POINTER;
    Lock lock(m_ownerLock);
    const ControlParam* p = FindParam(id);
    if (p == nullptr)
        return E_INVALIDARG;
    *value = Normalise(p->info.mpdNeutralValue, p->info);
    return S_OK;
}

HRESULT CControlParamSet::GetParamInfo(DWORD id, MP_PARAMINFO* info)
{
    if (info == nullptr)
        return E_POINTER;
    Lock lock(m_ownerLock);
    const ControlParam* p = FindParam(id);
    if (p == nullptr)
        return E_INVALIDARG;
    *info = p->info;
    return S_OK;
}

HRESULT CControlParamSet::ClearDirtyBits(DWORD bits)
{
    const DWORD before = m_dirty.fetch_and(~bits, std::memory_order_acq_rel);
    return (before & bits) != 0 ? S_OK : S_FALSE;
}

// ---- Groups ----

HRESULT CControlParamSet::RegisterGroup(REFGUID classId, REFGUID instanceId, DWORD count, DWORD* first)
{
    MV_ASSERT_UI_THREAD();
    if (first == nullptr)
        return E_POINTER;
    Lock lock(m_ownerLock);
    const GroupKey key{classId, instanceId};
    // Assignments made before a plug-in was re-created under the same key
    // come back with it. The group of a removed plug-in stays (its block
    // stays taken), so re-creating it lands on the known-key path, which
    // therefore registers them too.
    auto reregister = [&] {
        if (auto rc = m_rcMaps.find(key); rc != m_rcMaps.end()) {
            for (const auto& [id, param] : rc->second.GetMap().Items())
                param->Register();
        }
    };
    auto it = m_groups.find(key);
    if (it != m_groups.end()) {
        it->second.count = count;
        *first = it->second.first;
        reregister();
        return S_OK;
    }
    DWORD candidate = instanceId == GUID_NULL ? 0 : kPlugInBlockStart;
    for (bool taken = true; taken;) {
        taken = false;
        for (const auto& [k, g] : m_groups) {
            if (g.first == candidate) {
                candidate += kBlock;
                taken = true;
                break;
            }
        }
        if (candidate >= kBlockLimit)
            return E_FAIL;
    }
    HRESULT hr = Guarded([&] {
        m_groups.emplace(key, ParamGroup{candidate, count});
        return S_OK;
    });
    if (FAILED(hr))
        return E_FAIL;
    reregister();
    *first = candidate;
    return S_OK;
}

HRESULT CControlParamSet::RemoveParamGroup(REFGUID classId, REFGUID instanceId)
{
    MV_ASSERT_UI_THREAD();
    Lock lock(m_ownerLock);
    const GroupKey key{classId, instanceId};
    const ParamGroup* group = FindGroup(key);
    if (group == nullptr)
        return S_FALSE;
    if (auto rc = m_rcMaps.find(key); rc != m_rcMaps.end()) {
        for (const auto& [id, param] : rc->second.GetMap().Items())
            param->Unregister();
    }
    if (group->count > 0) {
        const DWORD last = group->first + (group->count - 1);
        const auto from = std::lower_bound(m_ids.begin(), m_ids.end(), group->first);
        const auto to = std::upper_bound(from, m_ids.end(), last);
        m_params.erase(m_params.begin() + (from - m_ids.begin()), m_params.begin() + (to - m_ids.begin()));
        m_ids.erase(from, to);
    }
    return S_OK;
}

HRESULT CControlParamSet::GetParamGroup(DWORD id, DWORD* localIndex, GUID* classId, GUID* instanceId)
{
    if (localIndex == nullptr && classId == nullptr && instanceId == nullptr)
        return E_INVALIDARG;
    Lock lock(m_ownerLock);
    DWORD local = 0;
    const GroupKey* key = GroupOfId(id, &local);
    if (key == nullptr)
        return E_INVALIDARG;
    if (localIndex)
        *localIndex = local;
    if (classId)
        *classId = key->classId;
    if (instanceId)
        *instanceId = key->instanceId;
    return S_OK;
}

HRESULT CControlParamSet::GetGroupParamIndex(const GroupKey& key, DWORD localIndex, DWORD* id)
{
    if (id == nullptr)
        return E_POINTER;
    Lock lock(m_ownerLock);
    const ParamGroup* group = FindGroup(key);
    if (group == nullptr)
        return S_FALSE;
    *id = group->first + localIndex;
    return S_OK;
}

HRESULT CControlParamSet::ListParams(std::vector<GroupKey>* keys, std::vector<CString>* names)
{
    Lock lock(m_ownerLock);
    return Guarded([&] {
        for (const auto& [key, group] : m_groups) {
            if (FindParam(group.first) == nullptr)
                continue;
            if (keys)
                keys->push_back(key);
            if (names) {
                CString name;
                GetGroupName(&name, key);
                names->push_back(name);
            }
        }
        return S_OK;
    });
}

HRESULT CControlParamSet::ListGroupParams(const GroupKey& key, std::vector<CString>* names, std::vector<DWORD>* ids,
                                          ParamGroup* group)
{
    Lock lock(m_ownerLock);
    const ParamGroup* g = FindGroup(key);
    if (group)
        *group = g ? *g : ParamGroup{0, 0};
    if (g == nullptr || FindParam(g->first) == nullptr)
        return S_FALSE;
    return Guarded([&] {
        for (DWORD i = 0; i < g->count; ++i) {
            const DWORD id = g->first + i;
            const ControlParam* p = FindParam(id);
            if (p == nullptr || p->automatable == 0)
                continue;
            CString name;
            if (FAILED(GetParamName(id, &name)))
                continue;
            if (names)
                names->push_back(name);
            if (ids)
                ids->push_back(id);
        }
        return S_OK;
    });
}

HRESULT CControlParamSet::SetGroupParamList(const GroupKey& key, const std::vector<DWORD>& ids)
{
    if (ids.empty())
        return E_UNEXPECTED;
    Lock lock(m_ownerLock);
    return Guarded([&] {
        m_paramLists[key] = ids;
        return S_OK;
    });
}

HRESULT CControlParamSet::GetGroupParamList(const GroupKey& key, std::vector<DWORD>* ids)
{
    if (ids == nullptr)
        return E_POINTER;
    if (!ids->empty())
        return E_UNEXPECTED;
    Lock lock(m_ownerLock);
    const auto it = m_paramLists.find(key);
    if (it == m_paramLists.end())
        return S_FALSE;
    return Guarded([&] {
        *ids = it->second;
        return S_OK;
    });
}

// ---- Plug-ins ----

HRESULT CControlParamSet::AddMediaParams(DWORD first, IMediaParamInfo* info, IMediaParams* params, DWORD count)
{
    for (DWORD i = 0; i < count; ++i) {
        ControlParam p = NewRecord();
        HRESULT hr;
        if (FAILED(hr = info->GetParamInfo(i, &p.info)))
            return hr;
        MP_DATA native = 0;
        if (FAILED(hr = params->GetParam(i, &native)))
            return hr;
        CutTexts(p.info);
        p.value = Normalise(native, p.info);
        AddParamIfAbsent(first + i, p);
    }
    return S_OK;
}

// S_FALSE when the plug-in has no parameters to offer; a plug-in that offers
// them but cannot describe them is a failure.
HRESULT CControlParamSet::QueryMediaParams(IUnknown* plugIn, mvcom::CComPtr<IMediaParams>& params,
                                           mvcom::CComPtr<IMediaParamInfo>& info, DWORD* count)
{
    if (FAILED(plugIn->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(params.Put()))))
        return S_FALSE;
    HRESULT hr = plugIn->QueryInterface(IID_IMediaParamInfo, reinterpret_cast<void**>(info.Put()));
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = info->GetParamCount(count)))
        return hr;
    return S_OK;
}

HRESULT CControlParamSet::AddPlugInParams(REFGUID classId, REFGUID instanceId, IUnknown* plugIn)
{
    MV_ASSERT_UI_THREAD();
    if (plugIn == nullptr)
        return E_INVALIDARG;
    mvcom::CComPtr<IMediaParams> params;
    mvcom::CComPtr<IMediaParamInfo> info;
    DWORD count = 0;
    HRESULT hr = QueryMediaParams(plugIn, params, info, &count);
    if (hr != S_OK)
        return hr;
    Lock lock(m_ownerLock);
    DWORD first = 0;
    if (FAILED(hr = RegisterGroup(classId, instanceId, count, &first)))
        return hr;
    return Guarded([&] { return AddMediaParams(first, info.Get(), params.Get(), count); });
}

HRESULT CControlParamSet::AddControllerParams(REFGUID classId, REFGUID instanceId, ISynthNameLists* synth)
{
    MV_ASSERT_UI_THREAD();
    if (synth == nullptr || synth->GetPlugIn() == nullptr)
        return E_INVALIDARG;
    IUnknown* plugIn = synth->GetPlugIn();
    HRESULT hr;
    mvcom::CComPtr<IMediaParams> params;
    mvcom::CComPtr<IMediaParamInfo> info;
    DWORD mediaCount = 0;
    if (SUCCEEDED(plugIn->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(params.Put())))) {
        if (FAILED(hr = plugIn->QueryInterface(IID_IMediaParamInfo, reinterpret_cast<void**>(info.Put()))))
            return hr;
        if (FAILED(hr = info->GetParamCount(&mediaCount)))
            return hr;
    }
    struct ListKind {
        ISynthNameLists::List list;
        DWORD kind;
        float maximum;
        const char* unnamed;
    };
    static constexpr ListKind kLists[] = {
        {ISynthNameLists::kControllers, kController, 127.0f, "CC-%d"},
        {ISynthNameLists::kNrpn, kNrpn, 16383.0f, "NRPN-%d"},
        {ISynthNameLists::kRpn, kRpn, 16383.0f, "RPN-%d"},
    };
    return Guarded([&]() -> HRESULT {
        std::vector<SynthName> names[3];
        DWORD total = mediaCount;
        for (int l = 0; l < 3; ++l) {
            HRESULT r = synth->GetNames(kLists[l].list, &names[l]);
            if (FAILED(r))
                return r;
            total += static_cast<DWORD>(names[l].size());
        }
        if (total == 0)
            return S_OK;
        Lock lock(m_ownerLock);
        DWORD first = 0;
        HRESULT r = RegisterGroup(classId, instanceId, total, &first);
        if (FAILED(r))
            return r;
        if (mediaCount > 0 && FAILED(r = AddMediaParams(first, info.Get(), params.Get(), mediaCount)))
            return r;
        DWORD id = first + mediaCount;
        for (int l = 0; l < 3; ++l) {
            for (const SynthName& entry : names[l]) {
                ControlParam p = NewRecord();
                p.kind = kLists[l].kind;
                p.number = static_cast<WORD>(entry.number);
                p.info.mpType = MPT_FLOAT;
                p.info.mopCaps = kAllCurves;
                p.info.mpdMinValue = 0.0f;
                p.info.mpdMaxValue = kLists[l].maximum;
                p.info.mpdNeutralValue = kLists[l].maximum * 0.5f;
                p.value = 0.5f;
                CString label = entry.name.Left(127);
                if (label.IsEmpty()) {
                    char text[32];
                    std::snprintf(text, sizeof text, kLists[l].unnamed, static_cast<int>(entry.number));
                    label = text;
                }
                SetWide(p.info.szLabel, label);
                SetWide(p.info.szUnitText, "%");
                AddParamIfAbsent(id++, p);
            }
        }
        return S_OK;
    });
}

HRESULT CControlParamSet::SyncGroupFromPlugIn(REFGUID classId, REFGUID instanceId, IUnknown* plugIn)
{
    MV_ASSERT_UI_THREAD();
    if (plugIn == nullptr)
        return E_INVALIDARG;
    mvcom::CComPtr<IMediaParams> params;
    mvcom::CComPtr<IMediaParamInfo> info;
    DWORD count = 0;
    HRESULT hr = QueryMediaParams(plugIn, params, info, &count);
    if (hr != S_OK)
        return hr;
    Lock lock(m_ownerLock);
    const ParamGroup* group = FindGroup(GroupKey{classId, instanceId});
    if (group == nullptr)
        return E_UNEXPECTED;
    const DWORD first = group->first;
    for (DWORD i = 0; i < count; ++i) {
        MP_DATA native = 0;
        if (FAILED(hr = params->GetParam(i, &native)))
            return hr;
        const ControlParam* p = FindParam(first + i);
        if (p == nullptr)
            return E_INVALIDARG;
        if (FAILED(hr = SetParamValue(first + i, Normalise(native, p->info))))
            return hr;
    }
    return S_OK;
}

HRESULT CControlParamSet::SetGroupValuesFromPlugIn(const GroupKey& key, const DWORD* localIndices, DWORD count,
                                                   const float* values)
{
    Lock lock(m_ownerLock);
    const ParamGroup* group = FindGroup(key);
    const ParamGroup g = group ? *group : ParamGroup{0, 0};
    if (count > g.count)
        return E_UNEXPECTED;
    if (count > 0 && (localIndices == nullptr || values == nullptr))
        return E_POINTER;
    for (DWORD k = 0; k < count; ++k) {
        const DWORD id = g.first + localIndices[k];
        const ControlParam* p = FindParam(id);
        if (p == nullptr)
            return E_INVALIDARG;
        const HRESULT hr = SetParamValueFromUser(id, Normalise(values[k], p->info));
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CControlParamSet::FlushPlugInEnvelopes(IUnknown* plugIn)
{
    if (plugIn == nullptr)
        return E_INVALIDARG;
    mvcom::CComPtr<IMediaParams> params;
    mvcom::CComPtr<IMediaParamInfo> info;
    DWORD count = 0;
    HRESULT hr = QueryMediaParams(plugIn, params, info, &count);
    if (hr != S_OK)
        return hr;
    for (DWORD i = 0; i < count; ++i) {
        if (FAILED(hr = params->FlushEnvelope(i, 0, kFlushEnd)))
            return hr;
    }
    return S_OK;
}

HRESULT CControlParamSet::AddUICallback(const GroupKey& key, CParamCallbackProxy** proxy)
{
    MV_ASSERT_UI_THREAD();
    if (proxy == nullptr)
        return E_POINTER;
    *proxy = nullptr;
    Lock lock(m_ownerLock);
    if (m_callbacks.count(key) != 0)
        return E_UNEXPECTED;
    CParamCallbackProxy* made = nullptr;
    HRESULT hr = CreateParamCallbackProxy(this, key, &made);
    if (FAILED(hr))
        return hr == E_OUTOFMEMORY ? hr : E_OUTOFMEMORY;
    hr = Guarded([&] {
        m_callbacks.emplace(key, made);
        return S_OK;
    });
    if (FAILED(hr)) {
        DestroyParamCallbackProxy(made);
        return E_OUTOFMEMORY;
    }
    *proxy = made;
    return S_OK;
}

HRESULT CControlParamSet::RemoveUICallback(const GroupKey& key)
{
    MV_ASSERT_UI_THREAD();
    Lock lock(m_ownerLock);
    const auto it = m_callbacks.find(key);
    if (it == m_callbacks.end())
        return S_FALSE;
    DestroyParamCallbackProxy(it->second);
    m_callbacks.erase(it);
    return S_OK;
}

// ---- Recorded automation ----

HRESULT CControlParamSet::AddAutomationPoint(const CMfxEvent& event)
{
    MV_ASSERT_UI_THREAD();
    IMfxTimeConverter* converter = m_document ? m_document->GetTimeConverter() : nullptr;
    if (converter == nullptr)
        return E_UNEXPECTED;
    MFX_TIME time{};
    time.format = MfxTimeTicks;
    time.ticks = event.m_time;
    HRESULT hr = converter->ConvertTime(&time, MfxTimeSeconds);
    if (FAILED(hr))
        return hr;
    m_scratch.rtStart = static_cast<REFERENCE_TIME>(time.seconds * 10000000.0 + 0.5);
    m_scratch.rtEnd = m_scratch.rtStart + 1;
    m_scratch.valStart = event.m_value;
    m_scratch.valEnd = event.m_value;
    const DWORD id = event.m_automation.param;
    Lock lock(m_ownerLock);
    return Guarded([&] {
        m_envelopes[id].push_back(m_scratch);
        return S_OK;
    });
}

void CControlParamSet::SortEnvelope(std::vector<MP_ENVELOPE_SEGMENT>& segments)
{
    std::sort(segments.begin(), segments.end(),
              [](const MP_ENVELOPE_SEGMENT& a, const MP_ENVELOPE_SEGMENT& b) { return a.rtStart < b.rtStart; });
}

// ---- Remote control ----

HRESULT CControlParamSet::NewRCParam(REFGUID classId, REFGUID instanceId, IRCParam** param)
{
    if (param == nullptr)
        return E_POINTER;
    *param = nullptr;
    if (m_document == nullptr)
        return E_UNEXPECTED;
    HRESULT hr = m_document->CreateRCParam(this, classId, instanceId, param);
    if (SUCCEEDED(hr) && *param == nullptr)
        return E_OUTOFMEMORY;
    return hr;
}

CRCParamMap* CControlParamSet::GetRCParamMap(const GroupKey& key)
{
    const auto it = m_rcMaps.find(key);
    return it == m_rcMaps.end() ? nullptr : &it->second;
}

HRESULT CControlParamSet::EndRCGestures()
{
    Lock lock(m_ownerLock);
    for (auto& [key, map] : m_rcMaps) {
        for (const auto& [id, param] : map.GetMap().Items())
            param->EndGesture();
    }
    return S_OK;
}

HRESULT CControlParamSet::OpenRemoteControlDialog(LONG a, LONG b, DWORD id)
{
    MV_ASSERT_UI_THREAD();
    GroupKey key{};
    if (FAILED(GetParamGroup(id, nullptr, &key.classId, &key.instanceId)))
        return E_UNEXPECTED;
    if (m_document == nullptr)
        return E_UNEXPECTED;
    CString groupName;
    GetGroupName(&groupName, key);
    CString owner = groupName;
    if (const int track = m_document->GetChannelPosition(this); track > 0)
        owner.Format("Track %d, %s", track, groupName.GetString());
    CString paramName;
    GetParamName(id, &paramName);
    const CString title = Joined("%s, %s", owner, paramName);
    return m_document->RunRemoteControlDialog(this, id, title, a, b);
}

HRESULT CControlParamSet::CreateRCParam(DWORD id, IRCParam** param)
{
    MV_ASSERT_UI_THREAD();
    if (param == nullptr)
        return E_POINTER;
    *param = nullptr;
    DWORD local = 0;
    GroupKey key{};
    HRESULT hr = GetParamGroup(id, &local, &key.classId, &key.instanceId);
    if (FAILED(hr))
        return hr;
    IRCParam* made = nullptr;
    if (FAILED(hr = NewRCParam(key.classId, key.instanceId, &made)))
        return hr;
    if (FAILED(hr = made->SetParamIndex(local))) {
        DestroyRCTarget(made);
        return hr;
    }
    made->PresetMessage(11, 0xFFFF, 16383, -1, 0);
    *param = made;
    return S_OK;
}

HRESULT CControlParamSet::DestroyRCParam(IRCTarget* target)
{
    if (target == nullptr || target->AsParam() == nullptr)
        return E_FAIL;
    return DestroyRCTarget(target);
}

HRESULT CControlParamSet::ListRCParams(std::vector<RCParamRecord>* records)
{
    if (records == nullptr)
        return E_POINTER;
    Lock lock(m_ownerLock);
    return Guarded([&] {
        for (auto& [key, map] : m_rcMaps) {
            CString groupName;
            GetGroupName(&groupName, key);
            for (const auto& [id, param] : map.GetMap().Items()) {
                CString paramName;
                GetParamName(id, &paramName);
                records->push_back(RCParamRecord{this, param, 0,
                                                 Joined("%s, %s", groupName, paramName)});
            }
        }
        return S_OK;
    });
}

HRESULT CControlParamSet::UnassignRCParam(DWORD id, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    GroupKey key{};
    if (FAILED(GetParamGroup(id, nullptr, &key.classId, &key.instanceId)))
        return E_FAIL;
    CRCParamMap* map = GetRCParamMap(key);
    if (map == nullptr)
        return E_FAIL;
    // An id without an assignment is refused by the map; the dialogs must
    // hear of it rather than be told the assignment went.
    const HRESULT hr = map->UnassignParam(id, command);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CControlParamSet::AssignRCParam(DWORD id, IRCTarget* target, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    GroupKey key{};
    if (FAILED(GetParamGroup(id, nullptr, &key.classId, &key.instanceId)))
        return E_FAIL;
    IRCParam* param = target ? target->AsParam() : nullptr;
    if (param == nullptr)
        return E_FAIL;
    CRCParamMap* map = GetRCParamMap(key);
    if (map == nullptr) {
        HRESULT made = Guarded([&] {
            map = &m_rcMaps.emplace(key, CRCParamMap(this)).first->second;
            return S_OK;
        });
        if (FAILED(made))
            return made;
    }
    const HRESULT hr = map->AssignParam(id, param, command);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CControlParamSet::ModifyRCParam(DWORD id, IRCTarget* target, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    if (target == nullptr)
        return E_INVALIDARG;
    GroupKey key{};
    if (FAILED(GetParamGroup(id, nullptr, &key.classId, &key.instanceId)))
        return E_FAIL;
    CRCParamMap* map = GetRCParamMap(key);
    IRCParam* param = target->AsParam();
    if (map == nullptr || param == nullptr)
        return E_FAIL;
    return map->ModifyParam(id, param, command);
}

// ---- Saved form ----

HRESULT CControlParamSet::PersistParamSet(DWORD chunk, CKelPersistArchive* archive)
{
    if (chunk != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    if (archive == nullptr)
        return E_POINTER;
    Lock lock(m_ownerLock);
    HRESULT hr;
    auto key32 = [&](GroupKey& key) -> HRESULT {
        HRESULT r = archive->PersistBytes(sizeof(GUID), &key.instanceId);
        return FAILED(r) ? r : archive->PersistBytes(sizeof(GUID), &key.classId);
    };
    auto u32 = [&](DWORD& v) { return archive->PersistBytes(sizeof(v), &v); };

    if (archive->IsSaving()) {
        DWORD groups = 0;
        for (const auto& [key, group] : m_groups)
            groups += FindParam(group.first) != nullptr ? 1 : 0;
        if (FAILED(hr = u32(groups)))
            return hr;
        for (const auto& [k, group] : m_groups) {
            if (FindParam(group.first) == nullptr)
                continue;
            GroupKey key = k;
            DWORD first = group.first, count = group.count;
            if (FAILED(hr = key32(key)) || FAILED(hr = u32(first)) || FAILED(hr = u32(count)))
                return hr;
        }
        DWORD maps = static_cast<DWORD>(m_rcMaps.size());
        if (FAILED(hr = u32(maps)))
            return hr;
        for (auto& [k, map] : m_rcMaps) {
            GroupKey key = k;
            if (FAILED(hr = key32(key)) || FAILED(hr = archive->PersistObject(&map)))
                return hr;
        }
        DWORD lists = static_cast<DWORD>(m_paramLists.size());
        if (FAILED(hr = u32(lists)))
            return hr;
        for (auto& [k, ids] : m_paramLists) {
            GroupKey key = k;
            DWORD n = static_cast<DWORD>(ids.size());
            if (FAILED(hr = key32(key)) || FAILED(hr = u32(n)))
                return hr;
            if (n > 0 && FAILED(hr = archive->PersistBytes(n * sizeof(DWORD), ids.data())))
                return hr;
        }
        return archive->PersistString(&m_displayName);
    }

    // Loading reads the whole form into a copy first and takes it over only
    // when every field came in, so a damaged chunk leaves the set as it was.
    std::map<GroupKey, ParamGroup> groups;
    std::map<GroupKey, CRCParamMap> maps;
    std::map<GroupKey, std::vector<DWORD>> lists;
    CString name;
    auto dropMaps = [&] {
        for (auto& [k, map] : maps) {
            for (const auto& [id, param] : map.GetMap().Items()) {
                param->Unregister();
                DestroyRCTarget(param);
            }
        }
    };
    hr = Guarded([&]() -> HRESULT {
        HRESULT r;
        DWORD count = 0;
        if (FAILED(r = u32(count)) || FAILED(r = archive->CheckRemaining(count * kSavedGroupBytes)))
            return r;
        for (DWORD i = 0; i < count; ++i) {
            GroupKey key{};
            ParamGroup g{};
            if (FAILED(r = key32(key)) || FAILED(r = u32(g.first)) || FAILED(r = u32(g.count)))
                return r;
            // A group outside its own block would share ids with another.
            if (g.first % kBlock != 0 || g.first >= kBlockLimit || g.count > kBlock)
                return STG_E_INVALIDHEADER;
            groups[key] = g;
        }
        if (FAILED(r = u32(count)) || FAILED(r = archive->CheckRemaining(count * (kSavedKeyBytes + 12))))
            return r;
        for (DWORD i = 0; i < count; ++i) {
            GroupKey key{};
            if (FAILED(r = key32(key)))
                return r;
            CRCParamMap loaded(this);
            r = archive->PersistObject(&loaded);
            if (!maps.try_emplace(key, loaded).second) {
                for (const auto& [id, param] : loaded.GetMap().Items()) {
                    param->Unregister();
                    DestroyRCTarget(param);
                }
                return STG_E_INVALIDHEADER;
            }
            if (FAILED(r))
                return r;
        }
        if (FAILED(r = u32(count)) || FAILED(r = archive->CheckRemaining(count * (kSavedKeyBytes + 4))))
            return r;
        for (DWORD i = 0; i < count; ++i) {
            GroupKey key{};
            DWORD n = 0;
            if (FAILED(r = key32(key)) || FAILED(r = u32(n)) ||
                FAILED(r = archive->CheckRemaining(static_cast<ULONGLONG>(n) * sizeof(DWORD))))
                return r;
            std::vector<DWORD> ids(n);
            if (n > 0 && FAILED(r = archive->PersistBytes(n * sizeof(DWORD), ids.data())))
                return r;
            lists.emplace(key, std::move(ids));
        }
        return archive->PersistString(&name);
    });
    if (FAILED(hr)) {
        dropMaps();
        return hr;
    }
    // Distinct keys may not share a block.
    std::set<DWORD> firsts;
    for (const auto& [key, group] : m_groups) {
        if (groups.count(key) == 0)
            firsts.insert(group.first);
    }
    for (const auto& [key, group] : groups) {
        if (!firsts.insert(group.first).second) {
            dropMaps();
            return STG_E_INVALIDHEADER;
        }
    }
    hr = Guarded([&] {
        for (const auto& [key, group] : groups)
            m_groups[key] = group;
        for (auto& [key, map] : maps) {
            if (CRCParamMap* old = GetRCParamMap(key)) {
                for (const auto& [id, param] : old->GetMap().Items()) {
                    param->Unregister();
                    DestroyRCTarget(param);
                }
            }
            m_rcMaps.insert_or_assign(key, map);
        }
        for (auto& [key, ids] : lists)
            m_paramLists.emplace(key, std::move(ids));
        m_displayName = name;
        return S_OK;
    });
    return hr;
}
