#include "plugins/synthframework/CMediaParams.h"

#include <algorithm>
#include <new>

#include "platform/com/TaskMemory.h"

namespace mvsynth {

namespace {
constexpr DWORD kAllParams = 0xFFFFFFFF;

std::size_t TextLength(const WCHAR* s, std::size_t max)
{
    std::size_t n = 0;
    while (n < max && s[n])
        ++n;
    return n;
}
}  // namespace

CMediaParams::CMediaParams(IUnknown* owner, DWORD count)
    : m_owner(owner), m_count(count), m_records(new CParamEnvelope[count + 1])
{
}

CMediaParams::~CMediaParams()
{
    if (m_hostCallback)
        m_hostCallback->Release();
}

HRESULT CMediaParams::Create(IUnknown* owner, const MediaParamEntry* table, DWORD count, CMediaParams** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    auto* object = new (std::nothrow) CMediaParams(owner, count);
    if (!object)
        return E_OUTOFMEMORY;
    for (DWORD i = 0; i < count; ++i)
        object->m_records[i].Init(table[i]);
    object->m_records[count].Init(MediaParamEntry{});
    object->AddRef();
    *out = object;
    return S_OK;
}

HRESULT CMediaParams::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown)) {
        *ppv = static_cast<IMediaParams*>(this);
        AddRef();
        return S_OK;
    }
    if (m_owner)
        return m_owner->QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CMediaParams::AddRef() { return ++m_refCount; }

ULONG CMediaParams::Release()
{
    const ULONG left = --m_refCount;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CMediaParams::GetParam(DWORD index, MP_DATA* value)
{
    if (index > m_count)
        return E_INVALIDARG;
    if (!value)
        return E_POINTER;
    const CParamEnvelope& r = m_records[index];
    *value = r.Info().ToExternal(r.Current());
    return S_OK;
}

HRESULT CMediaParams::SetParam(DWORD index, MP_DATA value)
{
    if (index > m_count)
        return E_INVALIDARG;
    m_records[index].Set(value);
    return S_OK;
}

HRESULT CMediaParams::AddEnvelope(DWORD index, DWORD count, MP_ENVELOPE_SEGMENT* segments)
{
    if (index >= m_count && index != kAllParams)
        return E_INVALIDARG;
    if (count == 0)
        return S_OK;
    if (!segments)
        return E_POINTER;
    const int rate = m_sampleRate.load();
    if (index != kAllParams)
        return m_records[index].AddEnvelope(count, segments, rate);
    for (DWORD i = 0; i < m_count; ++i)
        if (HRESULT hr = m_records[i].AddEnvelope(count, segments, rate); FAILED(hr))
            return hr;
    return S_OK;
}

HRESULT CMediaParams::FlushEnvelope(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end)
{
    if ((index >= m_count && index != kAllParams) || start > end)
        return E_INVALIDARG;
    const int rate = m_sampleRate.load();
    if (index != kAllParams)
        return m_records[index].FlushEnvelope(start, end, rate);
    for (DWORD i = 0; i < m_count; ++i)
        m_records[i].FlushEnvelope(start, end, rate);
    return S_OK;
}

HRESULT CMediaParams::SetTimeFormat(GUID format, MP_TIMEDATA)
{
    return IsEqualGUID(format, GUID_TIME_REFERENCE) ? S_OK : E_INVALIDARG;
}

HRESULT CMediaParams::GetParamCount(DWORD* count)
{
    if (!count)
        return E_POINTER;
    *count = m_count;
    return S_OK;
}

HRESULT CMediaParams::GetParamInfo(DWORD index, MP_PARAMINFO* info)
{
    if (index >= m_count)
        return E_INVALIDARG;
    if (!info)
        return E_POINTER;
    *info = m_records[index].Info().info;
    return S_OK;
}

HRESULT CMediaParams::GetParamText(DWORD index, WCHAR** text)
{
    if (index >= m_count)
        return E_INVALIDARG;
    if (!text)
        return E_POINTER;
    *text = nullptr;
    const MediaParamEntry& e = m_records[index].Info();
    const std::size_t label = TextLength(e.info.szLabel, 32);
    const std::size_t unit = TextLength(e.info.szUnitText, 32);
    const std::size_t enums = e.enumTexts ? TextLength(e.enumTexts, 0x10000) : 0;
    // label 0 unit 0 [each enumeration text 0] 0
    const std::size_t total = label + 1 + unit + 1 + (enums ? enums + 1 : 0) + 1;
    auto* out = static_cast<WCHAR*>(CoTaskMemAlloc(total * sizeof(WCHAR)));
    if (!out)
        return E_OUTOFMEMORY;
    WCHAR* p = std::copy_n(e.info.szLabel, label, out);
    *p++ = 0;
    p = std::copy_n(e.info.szUnitText, unit, p);
    *p++ = 0;
    for (std::size_t i = 0; i < enums; ++i)
        *p++ = e.enumTexts[i] == u',' ? WCHAR(0) : e.enumTexts[i];
    if (enums)
        *p++ = 0;
    *p = 0;
    *text = out;
    return S_OK;
}

HRESULT CMediaParams::GetNumTimeFormats(DWORD* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT CMediaParams::GetSupportedTimeFormat(DWORD index, GUID* format)
{
    if (!format)
        return E_POINTER;
    if (index != 0)
        return E_INVALIDARG;
    *format = GUID_TIME_REFERENCE;
    return S_OK;
}

HRESULT CMediaParams::GetCurrentTimeFormat(GUID* format, MP_TIMEDATA*)
{
    if (!format)
        return E_POINTER;
    *format = GUID_TIME_REFERENCE;
    return S_OK;
}

HRESULT CMediaParams::SetUICallback(IMediaParamsUICallback* callback)
{
    if (callback)
        callback->AddRef();
    if (m_hostCallback)
        m_hostCallback->Release();
    m_hostCallback = callback;
    return S_OK;
}

HRESULT CMediaParams::ParamsBeginCapture(DWORD* indices, DWORD count)
{
    if (count && !indices)
        return E_POINTER;
    for (DWORD i = 0; i < count; ++i)
        if (indices[i] <= m_count)
            m_records[indices[i]].SetCaptured(true);
    return m_hostCallback ? m_hostCallback->ParamsBeginCapture(indices, count) : S_OK;
}

HRESULT CMediaParams::ParamsChanged(DWORD* indices, DWORD count, MP_DATA* values)
{
    if (count && (!indices || !values))
        return E_POINTER;
    for (DWORD i = 0; i < count; ++i)
        if (HRESULT hr = SetParam(indices[i], values[i]); FAILED(hr))
            return hr;
    return m_hostCallback ? m_hostCallback->ParamsChanged(indices, count, values) : S_OK;
}

HRESULT CMediaParams::ParamsEndCapture(DWORD* indices, DWORD count)
{
    if (count && !indices)
        return E_POINTER;
    for (DWORD i = 0; i < count; ++i)
        if (indices[i] <= m_count)
            m_records[indices[i]].SetCaptured(false);
    return m_hostCallback ? m_hostCallback->ParamsEndCapture(indices, count) : S_OK;
}

void CMediaParams::GetChangePoints(LONGLONG first, LONGLONG end, std::vector<LONGLONG>& points)
{
    points.clear();
    const int rate = m_sampleRate.load();
    std::size_t segments = 0;
    for (DWORD i = 0; i < m_count; ++i)
        segments += m_records[i].AppendChangePoints(first, end, rate, points);
    if (segments == 0) {
        points.clear();
        return;
    }
    const auto g = std::max<LONGLONG>(1, static_cast<LONGLONG>(rate * kGridSeconds));
    LONGLONG p = (first / g) * g;
    if (p < first)
        p += g;
    for (; p < end; p += g)
        points.push_back(p);
    std::sort(points.begin(), points.end());
}

HRESULT CMediaParams::UpdateAt(LONGLONG sample)
{
    const REFERENCE_TIME t = CParamEnvelope::SampleToTime(sample, m_sampleRate.load());
    for (DWORD i = 0; i < m_count; ++i)
        m_records[i].UpdateAt(t);
    return S_OK;
}

float CMediaParams::Value(DWORD index) const { return index <= m_count ? m_records[index].Current() : 0.0f; }

}  // namespace mvsynth
