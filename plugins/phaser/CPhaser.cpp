#include "CPhaser.h"

#include <atomic>
#include <cstring>
#include <new>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "plugins/synthframework/CMediaParams.h"
#include "plugins/synthframework/DeferZeroFill.h"
#include "plugins/synthframework/MfxSynth.h"

namespace mvphaser {

namespace {

constexpr MP_CAPS kCurves = MP_CAPS_CURVE_JUMP | MP_CAPS_CURVE_LINEAR | MP_CAPS_CURVE_SQUARE | MP_CAPS_CURVE_INVSQUARE;

#define MV_PHASER_PARAM(type, neutral, label) {{type, kCurves, 0.0f, 1.0f, neutral, u"", label}, 0.0f, 1.0f, nullptr}
const mvsynth::MediaParamEntry kParams[kPhaserParamCount] = {
    MV_PHASER_PARAM(MPT_FLOAT, 0.77f, u"Mode"),
    MV_PHASER_PARAM(MPT_FLOAT, 0.2f, u"Sync"),
    MV_PHASER_PARAM(MPT_FLOAT, 0.3f, u"Rate"),
    MV_PHASER_PARAM(MPT_FLOAT, 0.4f, u"Depth"),
    MV_PHASER_PARAM(MPT_FLOAT, 0.39f, u"Waveform"),
    MV_PHASER_PARAM(MPT_FLOAT, 0.2f, u"Center Frequency"),
    MV_PHASER_PARAM(MPT_FLOAT, 0.7f, u"Feedback"),
    MV_PHASER_PARAM(MPT_FLOAT, 1.0f, u"Level"),
    MV_PHASER_PARAM(MPT_BOOL, 1.0f, u"Power"),
};
#undef MV_PHASER_PARAM

mvsynth::CDXi* MakePhaser() { return new (std::nothrow) CPhaser; }

const mvsynth::SynthClass kClass{&CLSID_Phaser, kPhaserContextName, kParams, kPhaserParamCount, &MakePhaser};

bool IsFloatStereo(const WAVEFORMATEX* f)
{
    return f && f->wFormatTag == WAVE_FORMAT_IEEE_FLOAT && f->wBitsPerSample == 32 && f->nChannels == 2;
}

BYTE* DataOf(const mvsynth::DXiBuffer& buffer)
{
    BYTE* p = nullptr;
    if (!buffer.sample || FAILED(buffer.sample->GetPointer(&p)) || !p)
        return nullptr;
    return p + buffer.offset;
}

mvsynth::IDeferZeroFill* DeferZeroFillOf(IMediaSample* sample)
{
    mvsynth::IDeferZeroFill* face = nullptr;
    if (!sample || FAILED(sample->QueryInterface(mvsynth::IID_IDeferZeroFill, reinterpret_cast<void**>(&face))))
        return nullptr;
    return face;
}

// Denormal numbers cost the processor dozens of cycles each: while a
// block is processed they are flushed to zero, and the caller's mode is
// given back after.
class CFlushDenormals {
public:
#if defined(__SSE__)
    CFlushDenormals() : m_saved(_mm_getcsr()) { _mm_setcsr(m_saved | 0x8040); }  // FTZ and DAZ
    ~CFlushDenormals() { _mm_setcsr(m_saved); }

private:
    unsigned int m_saved;
#endif
};

bool ReadExactly(IStream* stream, void* to, ULONG bytes)
{
    ULONG got = 0;
    return SUCCEEDED(stream->Read(to, bytes, &got)) && got == bytes;
}

bool WriteExactly(IStream* stream, const void* from, ULONG bytes)
{
    ULONG put = 0;
    return SUCCEEDED(stream->Write(from, bytes, &put)) && put == bytes;
}

}  // namespace

// Answers for the filter: its references are the filter's.
class CPhaser::CTempoSyncInfo final : public ITempoSyncInfo {
public:
    CTempoSyncInfo(CPhaser* phaser, IUnknown* owner) : m_phaser(phaser), m_owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return m_owner->QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return m_owner->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_owner->Release(); }
    STDMETHODIMP_(BOOL) IsTempoSyncAvailable() override { return m_phaser->IsTempoSyncAvailable(); }

private:
    CPhaser* m_phaser;
    IUnknown* m_owner;
};

const mvsynth::SynthClass& CPhaser::Class() { return kClass; }

CPhaser::CPhaser()
    : m_engine(std::make_unique<CPhaserEngine>()),
      m_setter{&CPhaserEngine::SetMode,  &CPhaserEngine::SetSync,     &CPhaserEngine::SetRate,
               &CPhaserEngine::SetDepth, &CPhaserEngine::SetWaveform, &CPhaserEngine::SetCenterFrequency,
               &CPhaserEngine::SetFeedback, &CPhaserEngine::SetLevel}
{
    m_engine->SetFrame(m_frame);
    for (float& v : m_lastValue)
        v = -1.0f;
}

CPhaser::~CPhaser() = default;

HRESULT CPhaser::Initialize()
{
    for (float& v : m_lastValue)
        v = -1.0f;
    m_lastTempo = 9;
    m_bpm = 0.0;
    m_framesProcessed = 0;
    m_frame[0] = m_frame[1] = 0.0f;
    return S_OK;
}

HRESULT CPhaser::CheckInputFormat(const WAVEFORMATEX* format)
{
    return IsFloatStereo(format) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CPhaser::CheckOutputFormat(const WAVEFORMATEX* format)
{
    return IsFloatStereo(format) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CPhaser::CheckFormats(const WAVEFORMATEX* input, const WAVEFORMATEX* output)
{
    return IsFloatStereo(input) && IsFloatStereo(output) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CPhaser::AdjustOutputFormat(WAVEFORMATEX* format)
{
    if (format)
        format->nChannels = 2;
    return S_OK;
}

HRESULT CPhaser::SetFormat(WORD, WORD, DWORD rate, DWORD, WORD)
{
    // The framework calls this once a format is stored; the output's rate
    // is the input's (the filter accepts no pair that differs).
    const DWORD fs = GetOutputFormat()->nSamplesPerSec ? GetOutputFormat()->nSamplesPerSec : rate;
    if (fs == 0)
        return S_OK;
    m_engine->SetSampleRate(static_cast<float>(fs));
    // The engine parked its sweep for the new rate: the centre frequency,
    // in hertz, must be worked out again, so its cached value goes.
    m_lastValue[kParamCenterFrequency] = -1.0f;
    return S_OK;
}

float CPhaser::CurrentValue(DWORD index) const
{
    const float v = MediaParams() ? MediaParams()->Value(index) : kParams[index].info.mpdNeutralValue;
    // A stored state or an envelope may hold any float: taken at the
    // nearest end of the range (not a number as 0), so a damaged song can
    // never drive the feedback loop past unity or the level past 1.
    if (!(v >= 0.0f))
        return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

void CPhaser::ApplyChangedParams()
{
    for (DWORD i = 0; i < kParamPower; ++i) {
        const float v = CurrentValue(i);
        if (v != m_lastValue[i]) {
            m_lastValue[i] = v;
            (m_engine.get()->*m_setter[i])(v);
        }
    }
}

void CPhaser::Reapply()
{
    m_engine->SetPhase(0.0f);
    ApplyChangedParams();
    m_engine->SnapLevel();
}

HRESULT CPhaser::OnStreamStart()
{
    Reapply();
    return S_OK;
}

BOOL CPhaser::IsTempoSyncAvailable() { return Context() && Context()->GetTempoMap() ? TRUE : FALSE; }

HRESULT CPhaser::QueryEngineInterface(IUnknown* owner, REFIID riid, void** ppv)
{
    if (!IsEqualGUID(riid, IID_ITempoSyncInfo))
        return E_NOINTERFACE;
    if (!m_tempoSyncInfo) {
        m_tempoSyncInfo.reset(new (std::nothrow) CTempoSyncInfo(this, owner));
        if (!m_tempoSyncInfo)
            return E_OUTOFMEMORY;
    }
    m_tempoSyncInfo->AddRef();
    *ppv = static_cast<ITempoSyncInfo*>(m_tempoSyncInfo.get());
    return S_OK;
}

HRESULT CPhaser::Process(LONGLONG position, const mvsynth::DXiBuffer* input, mvsynth::DXiBuffer* outputs,
                         DWORD outputCount, LONGLONG, const mvsynth::DXiEventList&)
{
    if (!input || outputCount == 0)
        return kTailDone;  // an effect has no tail of its own
    mvsynth::DXiBuffer& output = outputs[0];
    const DWORD frames = output.frames;  // the slice's; the input says its whole block
    const WORD align = GetInputFormat()->nBlockAlign;

    // Both buffers end up holding data: the output's pending fill is
    // cancelled, the input's is done here unless its sample does it when
    // its data is read.
    output.zeroFillPending = 0;
    if (mvsynth::IDeferZeroFill* face = DeferZeroFillOf(output.sample)) {
        face->SetZeroFillPending(FALSE);
        face->Release();
    }
    BYTE* in = DataOf(*input);
    if (input->zeroFillPending) {
        mvsynth::IDeferZeroFill* face = DeferZeroFillOf(input->sample);
        if (face)
            face->Release();
        else if (in)
            std::memset(in, 0, static_cast<std::size_t>(frames) * align);
    }
    BYTE* out = DataOf(output);
    if (!in || !out)
        return S_OK;

    const int mode = static_cast<int>(CurrentValue(kParamMode) * 3.9f);
    if (CurrentValue(kParamPower) < 0.5f || mode == 0) {
        if (in != out)
            std::memmove(out, in, static_cast<std::size_t>(frames) * align);
        m_framesProcessed += frames;
        return S_OK;
    }

    CFlushDenormals flush;
    ApplyChangedParams();
    mvsynth::CDXiSynthContext* context = Context();
    const DWORD rate = GetOutputFormat()->nSamplesPerSec;
    if (mvsynth::IMfxTempoMap* map = context ? context->GetTempoMap() : nullptr) {
        const LONG ticks = context->SamplesToTicks(position);
        LONG start = 0, tempo = 0;
        if (SUCCEEDED(map->GetTempoAt(map->GetTempoIndexAt(ticks), &start, &tempo)) && tempo > 0 &&
            tempo != m_lastTempo) {
            m_lastTempo = tempo;
            m_bpm = tempo * 0.01;
            m_engine->SetTempo(static_cast<float>(m_bpm));
        }
        if (rate)
            m_engine->SetPosition(static_cast<double>(m_framesProcessed) / (rate * 60.0) * m_bpm);
    }
    m_framesProcessed += frames;

    const auto* src = reinterpret_cast<const float*>(in);
    auto* dst = reinterpret_cast<float*>(out);
    if (dst != src)
        std::memmove(dst, src, static_cast<std::size_t>(frames) * 2 * sizeof(float));
    m_engine->ProcessFrames(dst, static_cast<int>(frames));
    return S_OK;
}

HRESULT CPhaser::LoadState(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    DWORD count = 0;
    if (!ReadExactly(stream, &count, sizeof count))
        return E_FAIL;
    for (DWORD k = 0; k < count; ++k) {
        DWORD index = 0;
        float value = 0.0f;
        if (!ReadExactly(stream, &index, sizeof index) || !ReadExactly(stream, &value, sizeof value))
            return E_FAIL;  // the pairs read so far stay applied
        if (MediaParams())
            MediaParams()->SetParam(index, value);
    }
    return S_OK;
}

HRESULT CPhaser::SaveState(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    BYTE bytes[kStateBytes];
    const DWORD count = kSavedCount;
    std::memcpy(bytes, &count, 4);
    for (DWORD i = 0; i < kSavedCount; ++i) {
        float value = 0.0f;
        if (!MediaParams() || FAILED(MediaParams()->GetParam(i, &value)))
            value = 0.0f;
        std::memcpy(bytes + 4 + 8 * i, &i, 4);
        std::memcpy(bytes + 8 + 8 * i, &value, 4);
    }
    return WriteExactly(stream, bytes, sizeof bytes) ? S_OK : E_FAIL;
}

}  // namespace mvphaser
