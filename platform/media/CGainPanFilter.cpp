#include "platform/media/CGainPanFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <new>

#include "platform/com/ComRuntime.h"
#include "platform/com/TaskMemory.h"
#include "platform/media/FaderTaper.h"

namespace {

// A stereo block through a fixed matrix, four frames a turn: the same two
// products and sum for every output as the two-frame loop below, so the
// result is the same to the bit. Returns the frames done.
__attribute__((target("avx"))) LONG ApplyFixedStereoAvx(const float (&m)[2][2], const float* in, float* out,
                                                        LONG frames)
{
    const __m256 c0 = _mm256_setr_ps(m[0][0], m[1][0], m[0][0], m[1][0], m[0][0], m[1][0], m[0][0], m[1][0]);
    const __m256 c1 = _mm256_setr_ps(m[0][1], m[1][1], m[0][1], m[1][1], m[0][1], m[1][1], m[0][1], m[1][1]);
    LONG i = 0;
    for (; i + 4 <= frames; i += 4) {
        const __m256 x = _mm256_loadu_ps(in + 2 * i);
        const __m256 x0 = _mm256_shuffle_ps(x, x, _MM_SHUFFLE(2, 2, 0, 0));
        const __m256 x1 = _mm256_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 1, 1));
        _mm256_storeu_ps(out + 2 * i, _mm256_add_ps(_mm256_mul_ps(c0, x0), _mm256_mul_ps(c1, x1)));
    }
    return i;
}

// Asked once as the library loads (the features read first, as this may
// run before the compiler's own start-up code has read them), so the audio
// thread's choice only reads a flag.
const bool g_avx = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
}();

constexpr LONGLONG kUnitsPerSecond = 10000000;
constexpr double kPi = 3.14159265358979323846;
constexpr DWORD kPersistVersion = 1;
constexpr MP_CAPS kAllCurves =
    MP_CAPS_CURVE_JUMP | MP_CAPS_CURVE_LINEAR | MP_CAPS_CURVE_SQUARE | MP_CAPS_CURVE_INVSQUARE | MP_CAPS_CURVE_SINE;

struct ParamRow {
    const char16_t* name;
    const char16_t* unit;
    MP_TYPE type;
    float min;
    float max;
    float neutral;
    MP_CAPS caps;
};

const ParamRow kParams[CGainPanFilter::kParamCount] = {
    {u"Invert", u"", MPT_BOOL, 0.0f, 1.0f, 0.0f, MP_CAPS_CURVE_JUMP},
    {u"Volume", u"", MPT_FLOAT, 0.0f, 1.0f, 101.0f / 127.0f, kAllCurves},
    {u"Width", u"%", MPT_FLOAT, 0.0f, 1.0f, 1.0f, kAllCurves},
    {u"Spread", u"\u00B0", MPT_FLOAT, 0.0f, 90.0f, 90.0f, kAllCurves},
    {u"Pan", u"", MPT_FLOAT, -1.0f, 1.0f, 0.0f, kAllCurves},
    {u"Mute", u"", MPT_BOOL, 0.0f, 1.0f, 0.0f, MP_CAPS_CURVE_JUMP},
    {u"Mono", u"", MPT_BOOL, 0.0f, 1.0f, 0.0f, MP_CAPS_CURVE_JUMP},
    {u"Solo Mute", u"", MPT_BOOL, 0.0f, 1.0f, 0.0f, MP_CAPS_CURVE_JUMP},
};

bool KnownCurve(MP_CURVE_TYPE curve)
{
    return curve == MP_CURVE_JUMP || curve == MP_CURVE_LINEAR || curve == MP_CURVE_SQUARE ||
           curve == MP_CURVE_INVSQUARE || curve == MP_CURVE_SINE;
}

// The segment's value at t, rtStart <= t < rtEnd.
float Interpolate(const MP_ENVELOPE_SEGMENT& s, REFERENCE_TIME t)
{
    const double x = static_cast<double>(t - s.rtStart) / static_cast<double>(s.rtEnd - s.rtStart);
    double shape = x;
    switch (s.iCurve) {
    case MP_CURVE_JUMP:
        return s.valEnd;
    case MP_CURVE_SQUARE:
        shape = x * x;
        break;
    case MP_CURVE_INVSQUARE:
        shape = std::sqrt(x);
        break;
    case MP_CURVE_SINE:
        shape = (1.0 - std::cos(kPi * x)) / 2.0;
        break;
    default:
        break;
    }
    return static_cast<float>(s.valStart + (static_cast<double>(s.valEnd) - s.valStart) * shape);
}

const bool g_registered =
    SUCCEEDED(mvcom::RegisterBuiltinClass(CLSID_GainPanFilter, &CGainPanFilter::CreateInstance));

}  // namespace

CGainPanFilter::CGainPanFilter(IUnknown* outer)
    : CFloatAudioFilter("CGainPanFilter", outer, CLSID_GainPanFilter), m_tap(this)
{
    for (DWORD p = 0; p < kParamCount; ++p)
        m_values[p].store(kParams[p].neutral);
}

CGainPanFilter::~CGainPanFilter() = default;

HRESULT CGainPanFilter::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    return CreateInstanceOf<CGainPanFilter>(outer, riid, ppv);
}

HRESULT CGainPanFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    HRESULT hr = AnswerFromTable(riid, ppv,
                                 {{&IID_IMediaParamInfo, static_cast<IMediaParamInfo*>(this)},
                                  {&IID_IMediaParams, static_cast<IMediaParams*>(this)},
                                  {&IID_IPersistStream, static_cast<IPersistStream*>(this)},
                                  {&IID_IGainPanSend, static_cast<IGainPanSend*>(this)},
                                  {&IID_IGainPan, static_cast<IGainPan*>(this)}});
    return hr == E_NOINTERFACE ? CFloatAudioFilter::NonDelegatingQueryInterface(riid, ppv) : hr;
}

HRESULT CGainPanFilter::GetClassID(CLSID* clsid) { return CFloatAudioFilter::GetClassID(clsid); }

HRESULT CGainPanFilter::GetParamCount(DWORD* count)
{
    if (!count)
        return E_POINTER;
    *count = kParamCount;
    return S_OK;
}

HRESULT CGainPanFilter::GetParamInfo(DWORD index, MP_PARAMINFO* info)
{
    if (!info)
        return E_POINTER;
    if (index >= kParamCount)
        return E_INVALIDARG;
    const ParamRow& row = kParams[index];
    *info = MP_PARAMINFO{};
    info->mpType = row.type;
    info->mopCaps = row.caps;
    info->mpdMinValue = row.min;
    info->mpdMaxValue = row.max;
    info->mpdNeutralValue = row.neutral;
    std::char_traits<char16_t>::copy(info->szUnitText, row.unit, std::char_traits<char16_t>::length(row.unit));
    std::char_traits<char16_t>::copy(info->szLabel, row.name, std::char_traits<char16_t>::length(row.name));
    return S_OK;
}

HRESULT CGainPanFilter::GetParamText(DWORD index, WCHAR** text)
{
    if (!text)
        return E_POINTER;
    *text = nullptr;
    if (index >= kParamCount)
        return E_INVALIDARG;
    const std::u16string joined = std::u16string(kParams[index].name) + u'\0' + kParams[index].unit + u'\0';
    auto* out = static_cast<WCHAR*>(CoTaskMemAlloc((joined.size() + 1) * sizeof(WCHAR)));
    if (!out)
        return E_OUTOFMEMORY;
    std::copy(joined.begin(), joined.end(), out);
    out[joined.size()] = 0;
    *text = out;
    return S_OK;
}

HRESULT CGainPanFilter::GetNumTimeFormats(DWORD* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT CGainPanFilter::GetSupportedTimeFormat(DWORD index, GUID* format)
{
    if (!format)
        return E_POINTER;
    if (index != 0)
        return E_INVALIDARG;
    *format = GUID_TIME_REFERENCE;
    return S_OK;
}

HRESULT CGainPanFilter::GetCurrentTimeFormat(GUID* format, MP_TIMEDATA* data)
{
    if (!format || !data)
        return E_POINTER;
    *format = GUID_TIME_REFERENCE;
    *data = 0;
    return S_OK;
}

float CGainPanFilter::Clamp(DWORD index, float value)
{
    return std::clamp(value, kParams[index].min, kParams[index].max);
}

HRESULT CGainPanFilter::GetParam(DWORD index, MP_DATA* value)
{
    if (!value)
        return E_POINTER;
    if (index >= kParamCount)
        return E_INVALIDARG;
    *value = m_values[index].load();
    return S_OK;
}

HRESULT CGainPanFilter::SetParam(DWORD index, MP_DATA value)
{
    if (index >= kParamCount)
        return E_INVALIDARG;
    m_values[index].store(Clamp(index, value));
    m_dirty.store(true);
    return S_OK;
}

HRESULT CGainPanFilter::AddEnvelope(DWORD index, DWORD count, MP_ENVELOPE_SEGMENT* segments)
{
    if (index >= kParamCount)
        return E_INVALIDARG;
    if (count && !segments)
        return E_POINTER;
    for (DWORD i = 0; i < count; ++i) {
        if (segments[i].rtEnd < segments[i].rtStart || !KnownCurve(segments[i].iCurve))
            return E_INVALIDARG;
    }
    CTryLock lock(&m_lock);
    if (!lock.Locked())
        return VFW_E_WRONG_STATE;
    int& held = m_envCount[index];
    if (static_cast<DWORD>(kMaxSegments - held) < count)
        return E_OUTOFMEMORY;
    Segment* env = m_env[index];
    for (DWORD i = 0; i < count; ++i) {
        Segment seg{segments[i], (segments[i].flags & MPF_ENVLP_BEGIN_CURRENTVAL) == 0};
        if (seg.s.flags & MPF_ENVLP_BEGIN_NEUTRALVAL)
            seg.s.valStart = kParams[index].neutral;
        seg.s.valStart = Clamp(index, seg.s.valStart);
        seg.s.valEnd = Clamp(index, seg.s.valEnd);
        // Kept in start order.
        int at = held;
        while (at > 0 && env[at - 1].s.rtStart > seg.s.rtStart) {
            env[at] = env[at - 1];
            --at;
        }
        env[at] = seg;
        ++held;
    }
    return S_OK;
}

HRESULT CGainPanFilter::FlushEnvelope(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end)
{
    if (index >= kParamCount || end < start)
        return E_INVALIDARG;
    CTryLock lock(&m_lock);
    if (!lock.Locked())
        return VFW_E_WRONG_STATE;
    Segment* env = m_env[index];
    int kept = 0;
    for (int i = 0; i < m_envCount[index]; ++i) {
        if (env[i].s.rtEnd < start || env[i].s.rtStart > end)
            env[kept++] = env[i];
    }
    m_envCount[index] = kept;
    return S_OK;
}

HRESULT CGainPanFilter::SetTimeFormat(GUID format, MP_TIMEDATA)
{
    return IsEqualGUID(format, GUID_TIME_REFERENCE) ? S_OK : E_INVALIDARG;
}

HRESULT CGainPanFilter::IsDirty() { return m_dirty.load() ? S_OK : S_FALSE; }

HRESULT CGainPanFilter::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    DWORD header[2] = {};
    float values[kParamCount] = {};
    ULONG got = 0;
    HRESULT hr = stream->Read(header, sizeof header, &got);
    if (FAILED(hr) || got != sizeof header)
        return STG_E_READFAULT;
    if (header[0] != kPersistVersion || header[1] != kParamCount)
        return STG_E_INVALIDHEADER;
    hr = stream->Read(values, sizeof values, &got);
    if (FAILED(hr) || got != sizeof values)
        return STG_E_READFAULT;
    for (DWORD p = 0; p < kParamCount; ++p)
        m_values[p].store(Clamp(p, std::isnan(values[p]) ? kParams[p].neutral : values[p]));
    m_dirty.store(false);
    return S_OK;
}

HRESULT CGainPanFilter::Save(IStream* stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    BYTE bytes[8 + 4 * kParamCount];
    const DWORD header[2] = {kPersistVersion, kParamCount};
    std::memcpy(bytes, header, sizeof header);
    for (DWORD p = 0; p < kParamCount; ++p) {
        const float v = m_values[p].load();
        std::memcpy(bytes + sizeof header + 4 * p, &v, 4);
    }
    ULONG written = 0;
    HRESULT hr = stream->Write(bytes, sizeof bytes, &written);
    if (FAILED(hr) || written != sizeof bytes)
        return STG_E_WRITEFAULT;
    if (clearDirty)
        m_dirty.store(false);
    return S_OK;
}

HRESULT CGainPanFilter::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = 8 + 4 * kParamCount;
    return S_OK;
}

HRESULT CGainPanFilter::GetSendObject(LONG index, IUnknown** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (index != 0)
        return S_FALSE;
    *object = &m_tap;
    m_tap.AddRef();
    return S_OK;
}

HRESULT CGainPanFilter::GetSendCount(LONG* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT CGainPanFilter::OnTransportStart()
{
    m_restart.store(true);
    m_tap.SetOutputTap(nullptr);
    return S_OK;
}

HRESULT CGainPanFilter::CTap::QueryInterface(REFIID riid, void** ppv)
{
    return AnswerFromTable(riid, ppv, {{&IID_IGainPanTap, this}, {&IID_IUnknown, this}});
}

ULONG CGainPanFilter::CTap::AddRef() { return m_owner->AddRef(); }

ULONG CGainPanFilter::CTap::Release() { return m_owner->Release(); }

HRESULT CGainPanFilter::CTap::SetOutputTap(float* frames)
{
    m_frames.store(frames);
    return S_OK;
}

float CGainPanFilter::ValueAt(DWORD index, REFERENCE_TIME t)
{
    float v = m_values[index].load();
    Segment* env = m_env[index];
    for (int i = 0; i < m_envCount[index] && env[i].s.rtStart <= t; ++i) {
        Segment& seg = env[i];
        if (!seg.resolved) {
            seg.s.valStart = v;
            seg.resolved = true;
        }
        v = t >= seg.s.rtEnd ? seg.s.valEnd : Interpolate(seg.s, t);
    }
    return v;
}

void CGainPanFilter::Retire(DWORD index, REFERENCE_TIME t)
{
    if (m_envCount[index] == 0)
        return;
    m_values[index].store(ValueAt(index, t));
    Segment* env = m_env[index];
    int kept = 0;
    for (int i = 0; i < m_envCount[index]; ++i) {
        if (env[i].s.rtEnd > t)
            env[kept++] = env[i];
    }
    m_envCount[index] = kept;
}

CGainPanFilter::Matrix CGainPanFilter::MatrixFor(const float* values, WORD inChannels, WORD outChannels)
{
    float g = mvmedia::FaderPositionToGain(values[kVolume]);
    if (values[kInvert] >= 0.5f)
        g = -g;
    if (values[kMute] >= 0.5f || values[kSoloMute] >= 0.5f)
        g = 0.0f;
    const float pan = values[kPan];
    Matrix m{};
    if (inChannels == 1) {
        if (outChannels == 1) {
            m.m[0][0] = g;
            return m;
        }
        const double angle = kPi / 4.0 + pan * (values[kSpread] * kPi / 180.0) / 2.0;
        m.m[0][0] = static_cast<float>(g * std::cos(angle));
        m.m[1][0] = static_cast<float>(g * std::sin(angle));
    } else {
        const float w = values[kWidth];
        const float same = (1.0f + w) / 2.0f;
        const float cross = (1.0f - w) / 2.0f;
        const float left = g * (1.0f - std::max(pan, 0.0f));
        const float right = g * (1.0f + std::min(pan, 0.0f));
        m.m[0][0] = left * same;
        m.m[0][1] = left * cross;
        m.m[1][0] = right * cross;
        m.m[1][1] = right * same;
    }
    if (outChannels == 1 || values[kMono] >= 0.5f) {
        for (int c = 0; c < 2; ++c)
            m.m[0][c] = m.m[1][c] = (m.m[0][c] + m.m[1][c]) / 2.0f;
    }
    return m;
}

void CGainPanFilter::Apply(const Matrix& from, const Matrix& to, const float* in, WORD inChannels, float* out,
                           WORD outChannels, LONG frames)
{
    const bool glide = !(from == to);
    Matrix c = to;
    LONG i = 0;
    if (inChannels == 2 && outChannels == 2 && !glide && g_avx)
        i = ApplyFixedStereoAvx(to.m, in, out, frames);
    if (inChannels == 2 && outChannels == 2) {
        // Two frames at a time, each output the same two products and sum
        // as below: [x0 x0 x0' x0'] and [x1 x1 x1' x1'] against the
        // matrix's columns.
        const __m128 from0 = _mm_setr_ps(from.m[0][0], from.m[1][0], from.m[0][0], from.m[1][0]);
        const __m128 from1 = _mm_setr_ps(from.m[0][1], from.m[1][1], from.m[0][1], from.m[1][1]);
        const __m128 to0 = _mm_setr_ps(to.m[0][0], to.m[1][0], to.m[0][0], to.m[1][0]);
        const __m128 to1 = _mm_setr_ps(to.m[0][1], to.m[1][1], to.m[0][1], to.m[1][1]);
        const __m128 rise0 = _mm_sub_ps(to0, from0);
        const __m128 rise1 = _mm_sub_ps(to1, from1);
        const __m128 length = _mm_set1_ps(static_cast<float>(frames));
        for (; i + 2 <= frames; i += 2) {
            __m128 c0 = to0, c1 = to1;
            if (glide) {
                const float a = static_cast<float>(i), b = static_cast<float>(i + 1);
                const __m128 t = _mm_div_ps(_mm_setr_ps(a, a, b, b), length);
                c0 = _mm_add_ps(from0, _mm_mul_ps(rise0, t));
                c1 = _mm_add_ps(from1, _mm_mul_ps(rise1, t));
            }
            const __m128 x = _mm_loadu_ps(in + 2 * i);
            const __m128 x0 = _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 2, 0, 0));
            const __m128 x1 = _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 1, 1));
            _mm_storeu_ps(out + 2 * i, _mm_add_ps(_mm_mul_ps(c0, x0), _mm_mul_ps(c1, x1)));
        }
    }
    for (; i < frames; ++i) {
        if (glide) {
            const float t = static_cast<float>(i) / static_cast<float>(frames);
            for (int r = 0; r < 2; ++r)
                for (int k = 0; k < 2; ++k)
                    c.m[r][k] = from.m[r][k] + (to.m[r][k] - from.m[r][k]) * t;
        }
        const float x0 = in[i * inChannels];
        const float x1 = inChannels == 2 ? in[i * 2 + 1] : 0.0f;
        out[i * outChannels] = c.m[0][0] * x0 + c.m[0][1] * x1;
        if (outChannels == 2)
            out[i * 2 + 1] = c.m[1][0] * x0 + c.m[1][1] * x1;
    }
}

HRESULT CGainPanFilter::Transform(IMediaSample* sample)
{
    const WAVEFORMATEX& in = m_input.Format();
    const WAVEFORMATEX& outFormat = m_output.Format();
    if (!in.nChannels || !outFormat.nChannels || !in.nSamplesPerSec)
        return VFW_E_NOT_CONNECTED;
    const WORD inChannels = in.nChannels;
    const WORD outChannels = outFormat.nChannels;
    const LONG frames = sample->GetActualDataLength() / (4 * inChannels);

    BYTE* src = nullptr;
    HRESULT hr = sample->GetPointer(&src);
    if (FAILED(hr))
        return hr;
    IMediaSample* out = nullptr;
    hr = m_output.GetDeliveryBuffer(&out, nullptr, nullptr, 0);
    if (FAILED(hr))
        return hr;
    BYTE* dst = nullptr;
    hr = out->SetActualDataLength(frames * 4 * outChannels);
    if (SUCCEEDED(hr))
        hr = out->GetPointer(&dst);
    if (FAILED(hr)) {
        out->Release();
        return hr;
    }

    REFERENCE_TIME start = 0, stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    REFERENCE_TIME end = start + frames * kUnitsPerSecond / in.nSamplesPerSec;
    float begin[kParamCount];
    float finish[kParamCount];
    for (DWORD p = 0; p < kParamCount; ++p) {
        begin[p] = timed ? ValueAt(p, start) : m_values[p].load();
        finish[p] = timed ? ValueAt(p, end) : begin[p];
        if (timed)
            Retire(p, end);
    }
    if (m_restart.exchange(false))
        m_jump = true;
    const Matrix to = MatrixFor(finish, inChannels, outChannels);
    const Matrix from = m_jump ? MatrixFor(begin, inChannels, outChannels) : m_last;
    Apply(from, to, reinterpret_cast<const float*>(src), inChannels, reinterpret_cast<float*>(dst), outChannels,
          frames);
    m_last = to;
    m_jump = false;

    if (timed)
        out->SetTime(&start, &end);
    out->SetDiscontinuity(sample->IsDiscontinuity() == S_OK);
    if (float* tap = m_tap.Take()) {
        const float* y = reinterpret_cast<const float*>(dst);
        for (LONG i = 0; i < frames; ++i) {
            tap[2 * i] = y[i * outChannels];
            tap[2 * i + 1] = y[i * outChannels + outChannels - 1];
        }
    }
    hr = m_output.Deliver(out);
    out->Release();
    return hr;
}
