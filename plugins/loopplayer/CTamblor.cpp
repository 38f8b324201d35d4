#include "CTamblor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <numbers>

#include "plugins/loopplayer/cliplib/CClipSlice.h"
#include "plugins/loopplayer/cliplib/CLoopClip.h"
#include "plugins/loopplayer/cliplib/CLoopClipPool.h"
#include "plugins/synthframework/CMediaParams.h"
#include "plugins/synthframework/DeferZeroFill.h"
#include "plugins/synthframework/MfxSynth.h"

namespace mvtamblor {

namespace {

// One automation parameter with no name and no range.
const mvsynth::MediaParamEntry kParams[1] = {};

mvsynth::CDXi* MakeTamblor() { return new (std::nothrow) CTamblor; }

const mvsynth::SynthClass kClass{&CLSID_Tamblor, kTamblorInstrumentName, kParams, 1, &MakeTamblor};

// The name under which the host's metronome hands over the other beats' wave.
constexpr const char* kOtherBeatsKey = "Other";

bool IsFloat(const WAVEFORMATEX* f) { return f && f->wFormatTag == WAVE_FORMAT_IEEE_FLOAT; }

float Frequency(LONG note) { return float(440.0 * std::exp2((note - 81) / 12.0)); }

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

BYTE* DataOf(const mvsynth::DXiBuffer& buffer)
{
    BYTE* p = nullptr;
    if (!buffer.sample || FAILED(buffer.sample->GetPointer(&p)) || !p) return nullptr;
    return p + buffer.offset;
}

bool DefersZeroFill(IMediaSample* sample)
{
    mvsynth::IDeferZeroFill* face = nullptr;
    if (!sample || FAILED(sample->QueryInterface(mvsynth::IID_IDeferZeroFill, reinterpret_cast<void**>(&face))))
        return false;
    face->Release();
    return true;
}

LONGLONG FloorMod(LONGLONG a, LONGLONG m) { return ((a % m) + m) % m; }

}  // namespace

const mvsynth::SynthClass& CTamblor::Class() { return kClass; }

CTamblor::CTamblor() = default;

CTamblor::~CTamblor()
{
    for (Registered& r : m_registered) r.clip->Release();
    ReleasePreviews(m_previews);
    if (m_measureVoice) m_measureVoice->Release();
    if (m_beatVoice) m_beatVoice->Release();
}

HRESULT CTamblor::Initialize()
{
    CAutoLock lock(this);
    if (m_measureVoice) m_measureVoice->Release();
    if (m_beatVoice) m_beatVoice->Release();
    m_measureVoice = new (std::nothrow) CLoopClip(this, nullptr);
    m_beatVoice = new (std::nothrow) CLoopClip(this, nullptr);
    if (!m_measureVoice || !m_beatVoice) return E_OUTOFMEMORY;
    return S_OK;
}

HRESULT CTamblor::CheckInputFormat(const WAVEFORMATEX* format)
{
    return IsFloat(format) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTamblor::CheckOutputFormat(const WAVEFORMATEX* format)
{
    return IsFloat(format) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTamblor::CheckFormats(const WAVEFORMATEX* input, const WAVEFORMATEX* output)
{
    return IsFloat(input) && IsFloat(output) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTamblor::OnStart()
{
    m_meterChanged = 1;
    return S_OK;
}

HRESULT CTamblor::OnStop()
{
    m_meterChanged = 1;
    return S_OK;
}

HRESULT CTamblor::LoadState(IStream* stream)
{
    if (!stream) return E_POINTER;
    DWORD count = 0;
    if (!ReadExactly(stream, &count, sizeof count)) return E_FAIL;
    for (DWORD k = 0; k < count; ++k) {
        DWORD index = 0;
        float value = 0.0f;
        if (!ReadExactly(stream, &index, sizeof index) || !ReadExactly(stream, &value, sizeof value)) return E_FAIL;
        if (MediaParams()) MediaParams()->SetParam(index, value);
    }
    return S_OK;
}

HRESULT CTamblor::SaveState(IStream* stream)
{
    if (!stream) return E_POINTER;
    float value = 0.0f;
    if (!MediaParams() || FAILED(MediaParams()->GetParam(0, &value))) value = 0.0f;
    BYTE bytes[kStateBytes];
    const DWORD count = 1, index = 0;
    std::memcpy(bytes, &count, 4);
    std::memcpy(bytes + 4, &index, 4);
    std::memcpy(bytes + 8, &value, 4);
    return WriteExactly(stream, bytes, sizeof bytes) ? S_OK : E_FAIL;
}

HRESULT CTamblor::SetFormat(WORD tag, WORD channels, DWORD rate, DWORD bytesPerSecond, WORD blockAlign)
{
    CAutoLock lock(this);
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.nAvgBytesPerSec = bytesPerSecond;
    f.nBlockAlign = blockAlign;
    f.wBitsPerSample = channels ? WORD(blockAlign * 8 / channels) : 0;
    for (Registered& r : m_registered) r.clip->SetFormat(f);
    if (m_metronomeMode) {
        if (m_measureVoice) m_measureVoice->SetFormat(f);
        if (m_beatVoice) m_beatVoice->SetFormat(f);
    }
    return S_OK;
}

HRESULT CTamblor::QueryEngineInterface(IUnknown* owner, REFIID riid, void** ppv)
{
    if (!IsEqualGUID(riid, IID_ITamblor)) return E_NOINTERFACE;
    m_owner = owner;
    *ppv = static_cast<ITamblor*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP CTamblor::QueryInterface(REFIID riid, void** ppv)
{
    if (!m_owner) {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    return m_owner->QueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CTamblor::AddRef() { return m_owner ? m_owner->AddRef() : 1; }

STDMETHODIMP_(ULONG) CTamblor::Release() { return m_owner ? m_owner->Release() : 1; }

// Clips of the pool -----------------------------------------------------

bool CTamblor::IsRegistered(DWORD id) const
{
    return std::any_of(m_registered.begin(), m_registered.end(), [&](const Registered& r) { return r.id == id; });
}

HRESULT CTamblor::TakeNewClip(HRESULT made, CLoopClip* clip, LONG kind, void** out, bool hostIsPlayer)
{
    if (FAILED(made)) return made;
    CAutoLock lock(this);
    clip->SetKind(kind);
    clip->SetLooping(1);
    if (!clip->GetFollowTempo()) {
        clip->SetFollowTempo(1);
        clip->SetKeepSliceLengths(1);
    }
    if (hostIsPlayer) clip->SetHost(this);
    try {
        m_registered.push_back({clip->GetId(), clip});
    } catch (const std::bad_alloc&) {
        m_pool->ReleaseRef(clip->GetId());
        return E_OUTOFMEMORY;
    }
    if (out) *out = clip;
    return S_OK;
}

STDMETHODIMP CTamblor::AddClipCopy(const char* name, LONG kind, void** clip, void* source, DWORD* id)
{
    if (!m_pool) return E_FAIL;
    if (!id) return E_INVALIDARG;
    CLoopClip* copy = nullptr;
    HRESULT hr = m_pool->AddCopy(name ? name : "", static_cast<CLoopClip*>(source), id, &copy);
    return TakeNewClip(hr, copy, kind, clip, true);
}

STDMETHODIMP CTamblor::AddClipCopyOf(const char* name, LONG kind, void** clip, DWORD source, DWORD* id)
{
    if (!m_pool) return E_FAIL;
    if (!id) return E_INVALIDARG;
    CLoopClip* copy = nullptr;
    HRESULT hr = m_pool->AddCopyOf(name ? name : "", source, id, &copy);
    return TakeNewClip(hr, copy, kind, clip, true);
}

STDMETHODIMP CTamblor::AddLinkedClip(const char* name, LONG kind, void** clip, void* source, DWORD* id)
{
    if (!m_pool) return E_FAIL;
    if (!id) return E_INVALIDARG;
    CLoopClip* copy = nullptr;
    HRESULT hr = m_pool->AddLinked(name ? name : "", static_cast<CLoopClip*>(source), id, &copy);
    return TakeNewClip(hr, copy, kind, clip, true);
}

STDMETHODIMP CTamblor::RegisterClip(DWORD id)
{
    CAutoLock lock(this);
    CLoopClip* clip = m_pool ? m_pool->Find(id) : nullptr;
    if (!clip) return E_FAIL;
    if (IsRegistered(id)) return S_FALSE;
    try {
        m_registered.reserve(m_registered.size() + 1);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    clip->SetHost(this);
    clip->AddRef();
    m_registered.push_back({id, clip});
    return S_OK;
}

STDMETHODIMP CTamblor::UnregisterClip(DWORD id)
{
    CAutoLock lock(this);
    if (!m_pool) return E_FAIL;
    auto it = std::find_if(m_registered.begin(), m_registered.end(), [&](const Registered& r) { return r.id == id; });
    if (it == m_registered.end()) return S_FALSE;
    m_registered.erase(it);
    return m_pool->ReleaseRef(id) == S_OK ? S_OK : E_FAIL;
}

STDMETHODIMP CTamblor::get_ClipPool(void** pool)
{
    if (!pool) return E_POINTER;
    *pool = m_pool;
    return S_OK;
}

STDMETHODIMP CTamblor::put_ClipPool(void* pool)
{
    CAutoLock lock(this);
    m_pool = static_cast<CLoopClipPool*>(pool);
    return S_OK;
}

// Metronome settings ----------------------------------------------------

void CTamblor::ApplyVoiceGains()
{
    if (m_measureVoice) m_measureVoice->SetGain(m_gain * m_measureLevelFactor);
    if (m_beatVoice) m_beatVoice->SetGain(m_beatLevelFactor * m_gain);
}

HRESULT CTamblor::LoadVoice(Voice voice, const char* name, const char* path, LONG* result)
{
    if (!path || !*path) return E_INVALIDARG;
    if (!(voice == Voice::Measure ? m_measureVoice : m_beatVoice)) return E_FAIL;
    CLoopClip* clip = new (std::nothrow) CLoopClip(this, nullptr);
    if (!clip) return E_OUTOFMEMORY;
    int reason = 0;
    HRESULT hr = clip->LoadFromFile(name ? name : "", path, *GetOutputFormat(), &reason, true, true);
    if (result) *result = reason;
    if (FAILED(hr)) {
        clip->Release();
        return hr;
    }
    clip->SetLoopLength(kFourFourMeasure, CLoopClip::kUnitFixedTicks);
    clip->SetLooping(1);
    clip->SetFollowTempo(1);
    // A click sounds as it was recorded: stretched to its musical length it
    // would repeat its tail until the next quarter note.
    clip->SetKeepSliceLengths(1);
    if (voice == Voice::Beat) {
        try {
            const CClipSlice& first = *clip->GetSlice(0);
            for (int k = 1; k < kBeatMarkers; ++k) clip->AddSlice(new CClipSlice(first), 0, false);
        } catch (const std::bad_alloc&) {
            clip->Release();
            return E_OUTOFMEMORY;
        }
        for (int k = 0; k < clip->GetSliceCount(); ++k)
            clip->GetSlice(k)->SetStart(kOutOfReach, CClipSlice::kUnitTicks);
    }
    CAutoLock lock(this);
    CLoopClip*& slot = voice == Voice::Measure ? m_measureVoice : m_beatVoice;
    slot->Release();
    slot = clip;
    ApplyVoiceGains();
    if (voice == Voice::Beat) m_meterChanged = 1;
    return S_OK;
}

STDMETHODIMP CTamblor::LoadMeasureSound(const char* name, const char* path, LONG* result)
{
    const bool otherBeats = name && std::strcmp(name, kOtherBeatsKey) == 0;
    return LoadVoice(otherBeats ? Voice::Beat : Voice::Measure, name, path, result);
}

STDMETHODIMP CTamblor::LoadBeatSound(const char* name, const char* path, LONG* result)
{
    return LoadVoice(Voice::Beat, name, path, result);
}

STDMETHODIMP CTamblor::get_ClickLength(LONG* ticks)
{
    if (!ticks) return E_POINTER;
    *ticks = LONG(m_clickLength >> 16);
    return S_OK;
}

STDMETHODIMP CTamblor::put_ClickLength(LONG ticks)
{
    CAutoLock lock(this);
    m_clickLength = LONGLONG(std::max<LONG>(ticks, 0)) << 16;
    return S_OK;
}

STDMETHODIMP CTamblor::get_MeasurePitch(LONG* note)
{
    if (!note) return E_POINTER;
    *note = m_measurePitch;
    return S_OK;
}

STDMETHODIMP CTamblor::put_MeasurePitch(LONG note)
{
    CAutoLock lock(this);
    m_measurePitch = note;
    m_measureFrequency = Frequency(note);
    return S_OK;
}

STDMETHODIMP CTamblor::get_MeasureLevel(LONG* level)
{
    if (!level) return E_POINTER;
    *level = m_measureLevel;
    return S_OK;
}

STDMETHODIMP CTamblor::put_MeasureLevel(LONG level)
{
    CAutoLock lock(this);
    m_measureLevel = level;
    m_measureLevelFactor = level == 0 ? 0.0f : float(std::exp2((level - 100) / 30.0));
    // A loaded click follows its level as the tone does.
    ApplyVoiceGains();
    return S_OK;
}

STDMETHODIMP CTamblor::get_BeatPitch(LONG* note)
{
    if (!note) return E_POINTER;
    *note = m_beatPitch;
    return S_OK;
}

STDMETHODIMP CTamblor::put_BeatPitch(LONG note)
{
    CAutoLock lock(this);
    m_beatPitch = note;
    m_beatFrequency = Frequency(note);
    return S_OK;
}

STDMETHODIMP CTamblor::get_BeatLevel(LONG* level)
{
    if (!level) return E_POINTER;
    *level = m_beatLevel;
    return S_OK;
}

STDMETHODIMP CTamblor::put_BeatLevel(LONG level)
{
    CAutoLock lock(this);
    m_beatLevel = level;
    m_beatLevelFactor = level == 0 ? 0.0f : float(std::exp2((level - 110) * 0.05));
    ApplyVoiceGains();
    return S_OK;
}

STDMETHODIMP CTamblor::get_IsClicking(LONG* clicking)
{
    if (!clicking) return E_POINTER;
    CAutoLock lock(this);
    *clicking = Context() && Context()->IsPlaying() && m_metronomeOn ? 1 : 0;
    return S_OK;
}

STDMETHODIMP CTamblor::get_Gain(float* gain)
{
    if (!gain) return E_POINTER;
    *gain = m_gain;
    return S_OK;
}

STDMETHODIMP CTamblor::put_Gain(float gain)
{
    CAutoLock lock(this);
    m_gain = gain > 2.0f ? 2.0f : gain >= 0.0f ? gain : 0.0f;
    ApplyVoiceGains();
    return S_OK;
}

#define MV_TAMBLOR_GET(Name, member)                    \
    STDMETHODIMP CTamblor::get_##Name(LONG* value)      \
    {                                                   \
        if (!value) return E_POINTER;                   \
        *value = member;                                \
        return S_OK;                                    \
    }
#define MV_TAMBLOR_FLAG(Name, member)                   \
    MV_TAMBLOR_GET(Name, member)                        \
    STDMETHODIMP CTamblor::put_##Name(LONG value)       \
    {                                                   \
        CAutoLock lock(this);                           \
        member = value;                                 \
        return S_OK;                                    \
    }
// The host's channels switch the clips for every span they render, on the
// audio thread: the switches are stored without the filter's lock, which
// the streaming thread holds while it renders.
#define MV_TAMBLOR_SWITCH(Name, member)                 \
    MV_TAMBLOR_GET(Name, member)                        \
    STDMETHODIMP CTamblor::put_##Name(LONG value)       \
    {                                                   \
        member.store(value, std::memory_order_relaxed); \
        return S_OK;                                    \
    }
MV_TAMBLOR_FLAG(MetronomeMode, m_metronomeMode)
MV_TAMBLOR_FLAG(MetronomeOn, m_metronomeOn)
MV_TAMBLOR_SWITCH(PlayPatternClips, m_playPatternClips)
MV_TAMBLOR_SWITCH(PlayPreviewClips, m_playPreviewClips)
#undef MV_TAMBLOR_SWITCH
#undef MV_TAMBLOR_FLAG
#undef MV_TAMBLOR_GET

STDMETHODIMP CTamblor::get_MeasureSynth(LONG* synth)
{
    if (!synth) return E_POINTER;
    *synth = m_measureSynth;
    return S_OK;
}

STDMETHODIMP CTamblor::put_MeasureSynth(LONG synth)
{
    CAutoLock lock(this);
    if (synth == 0 || synth == 1) m_measureSynth = synth;
    return S_OK;
}

STDMETHODIMP CTamblor::get_BeatSynth(LONG* synth)
{
    if (!synth) return E_POINTER;
    *synth = m_beatSynth;
    return S_OK;
}

STDMETHODIMP CTamblor::put_BeatSynth(LONG synth)
{
    CAutoLock lock(this);
    if (synth == 0 || synth == 1) m_beatSynth = synth;
    return S_OK;
}

// Previews --------------------------------------------------------------

STDMETHODIMP CTamblor::AddPreviewFile(const char* path)
{
    try {
        m_previewFiles.emplace_back(path ? path : "");
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP CTamblor::ClearPreviewFiles()
{
    m_previewFiles.clear();
    return S_OK;
}

void CTamblor::ReleasePreviews(std::vector<CLoopClip*>& clips)
{
    for (CLoopClip* clip : clips) clip->Release();
    clips.clear();
}

STDMETHODIMP CTamblor::StartPreview()
{
    std::vector<CLoopClip*> next;
    try {
        next.reserve(m_previewFiles.size());
        for (const std::string& path : m_previewFiles) {
            CLoopClip* clip = nullptr;
            auto old = std::find_if(m_previews.begin(), m_previews.end(),
                                    [&](CLoopClip* c) { return c->GetPath() == path; });
            if (old != m_previews.end()) {
                clip = new (std::nothrow) CLoopClip(**old, true);
                if (!clip) throw std::bad_alloc();
            } else {
                clip = new (std::nothrow) CLoopClip(this, nullptr);
                if (!clip) throw std::bad_alloc();
                HRESULT hr = clip->LoadFromFile("Preview", path, *GetOutputFormat(), nullptr, false, false);
                if (FAILED(hr)) {
                    clip->Release();
                    ReleasePreviews(next);
                    return hr;
                }
            }
            next.push_back(clip);
            clip->SetStart(0, CLoopClip::kUnitFixedTicks);
            clip->SetStart(0, CLoopClip::kUnitSamples);
            clip->SetEnd(CLoopClip::kOpen, CLoopClip::kUnitTicks);
            clip->SetEnd(CLoopClip::kOpen, CLoopClip::kUnitSamples);
            clip->SetKind(CLoopClip::kKindPreview);
            clip->SetLooping(1);
            if (!clip->GetFollowTempo()) {
                clip->SetFollowTempo(1);
                clip->SetKeepSliceLengths(1);
            }
        }
    } catch (const std::bad_alloc&) {
        ReleasePreviews(next);
        return E_OUTOFMEMORY;
    }
    {
        CAutoLock lock(this);
        m_previews.swap(next);
    }
    ReleasePreviews(next);
    return S_OK;
}

STDMETHODIMP CTamblor::StopPreview()
{
    std::vector<CLoopClip*> old;
    {
        CAutoLock lock(this);
        m_previewFiles.clear();
        old.swap(m_previews);
    }
    ReleasePreviews(old);
    return S_OK;
}

// Time services for the clips --------------------------------------------

LONGLONG CTamblor::SamplesToFixedTicks(LONGLONG samples)
{
    return Context() ? Context()->SamplesToFixedTicks(samples) : 0;
}

LONGLONG CTamblor::FixedTicksToSamples(LONGLONG ticks)
{
    return Context() ? Context()->FixedTicksToSamples(ticks) : 0;
}

LONG CTamblor::GetSampleRate() { return Context() ? Context()->GetSampleRate() : 44100; }

// Rendering ----------------------------------------------------------------

HRESULT CTamblor::Process(LONGLONG position, const mvsynth::DXiBuffer* input, mvsynth::DXiBuffer* outputs,
                          DWORD outputCount, LONGLONG, const mvsynth::DXiEventList&)
{
    if (!input) return S_FALSE;  // no tail
    const WAVEFORMATEX& inFormat = *GetInputFormat();
    const WAVEFORMATEX& outFormat = *GetOutputFormat();
    BYTE* in = DataOf(*input);
    if (outputCount == 0) return S_OK;
    mvsynth::DXiBuffer& out = outputs[0];
    const LONG frames = LONG(out.frames);
    if (input->zeroFillPending && in && !DefersZeroFill(input->sample))
        std::memset(in, 0, size_t(frames) * inFormat.nBlockAlign);
    m_position = position;
    m_frames = frames;

    float* output = nullptr;
    auto target = [&]() {
        if (!output) {
            BeginWrite(out);
            output = reinterpret_cast<float*>(DataOf(out));
        }
        return output;
    };

    if (m_metronomeMode && in) {
        const size_t outBytes = size_t(outFormat.nChannels) * size_t(frames) * 4;
        const size_t inBytes = size_t(frames) * inFormat.nBlockAlign;
        if (float* o = target()) std::memcpy(o, in, std::min(outBytes, inBytes));
    }
    if (m_metronomeMode && m_metronomeOn && Context() && Context()->IsPlaying())
        if (float* o = target()) RenderMetronome(o, position, frames);

    bool keyAsked = false;
    LONG songKey = -1;
    const bool patternClips = m_playPatternClips.load(std::memory_order_relaxed) != 0;
    const bool previewClips = m_playPreviewClips.load(std::memory_order_relaxed) != 0;
    for (const Registered& r : m_registered) {
        const LONG kind = r.clip->GetKind();
        if (!((kind == CLoopClip::kKindPattern && patternClips) || (kind == CLoopClip::kKindPreview && previewClips)))
            continue;
        if (!keyAsked && Context()) {
            // The middle of the slice in fixed ticks, in its two 32-bit halves.
            const auto at = std::uint64_t(SamplesToFixedTicks(position + frames / 2));
            songKey = Context()->QueryHostValue(LONG(std::uint32_t(at)), LONG(std::uint32_t(at >> 32)));
            keyAsked = true;
        }
        if (float* o = target()) r.clip->RenderMix(o, outFormat, songKey, position, frames);
    }
    if (previewClips)
        for (CLoopClip* clip : m_previews)
            if (float* o = target()) clip->RenderMix(o, outFormat, -1, position, frames);
    return S_OK;
}

void CTamblor::RenderMetronome(float* output, LONGLONG position, LONG frames)
{
    mvsynth::CDXiSynthContext* context = Context();
    mvsynth::IMfxMeterMap* meter = context->GetMeterMap();
    if (!meter || frames <= 0) return;
    const int channels = GetOutputFormat()->nChannels;
    const LONGLONG start = context->SamplesToFixedTicks(position);
    const LONGLONG end = context->SamplesToFixedTicks(position + frames);
    LONGLONG a = start;
    while (a < end) {
        const LONG index = meter->GetMeterIndexAt(LONG(a >> 16));
        LONG meterTick = 0, numerator = 4, code = 2;
        if (FAILED(meter->GetMeterAt(index, &meterTick, &numerator, &code))) return;
        // A damaged map gives no click rather than a division by zero.
        if (numerator < 1 || code < 0 || code > 8) return;
        m_beatLength = LONGLONG(3840 >> code) << 16;
        m_measureLength = numerator * m_beatLength;
        m_meterOrigin = LONGLONG(meterTick) << 16;
        if (numerator != m_lastNumerator || code != m_lastDenominator) {
            m_lastNumerator = numerator;
            m_lastDenominator = code;
            m_meterChanged = 1;
        }
        if (!m_measureSynth && m_measureVoice) {
            m_measureVoice->SetLoopLength(m_measureLength, CLoopClip::kUnitFixedTicks);
            m_measureVoice->SetLoopOrigin(m_meterOrigin, CLoopClip::kUnitFixedTicks);
            m_measureVoice->SetStart(m_meterOrigin, CLoopClip::kUnitFixedTicks);
            m_measureVoice->SetLength(kOutOfReach, CLoopClip::kUnitTicks);
        }
        if (!m_beatSynth && m_beatVoice) {
            m_beatVoice->SetLoopLength(m_measureLength, CLoopClip::kUnitFixedTicks);
            m_beatVoice->SetLoopOrigin(m_meterOrigin, CLoopClip::kUnitFixedTicks);
            m_beatVoice->SetStart(m_meterOrigin, CLoopClip::kUnitFixedTicks);
            m_beatVoice->SetLength(kOutOfReach, CLoopClip::kUnitTicks);
            if (m_meterChanged && m_beatVoice->GetSliceCount() >= kBeatMarkers) {
                for (int j = 0; j < kBeatMarkers; ++j) {
                    CClipSlice* marker = m_beatVoice->GetSlice(j);
                    if (j >= 1 && j < numerator)
                        marker->SetStart(j * (m_measureLength / numerator), CClipSlice::kUnitFixedTicks);
                    else
                        marker->SetStart(kOutOfReach, CClipSlice::kUnitTicks);
                }
                m_meterChanged = 0;
            }
        }
        LONGLONG b = end;
        if (meter->GetMeterIndexAt(LONG(end >> 16)) != index) {
            LONG nextTick = 0, nextNumerator = 0, nextCode = 0;
            if (SUCCEEDED(meter->GetMeterAt(index + 1, &nextTick, &nextNumerator, &nextCode)) &&
                (LONGLONG(nextTick) << 16) > a && (LONGLONG(nextTick) << 16) < end) {
                b = LONGLONG(nextTick) << 16;
                m_lastNumerator = nextNumerator;
                m_lastDenominator = nextCode;
                m_meterChanged = 1;
            }
        }
        const LONGLONG s0 = a == start ? position : std::clamp(context->FixedTicksToSamples(a), position,
                                                                 position + frames);
        const LONGLONG s1 = b == end ? position + frames : std::clamp(context->FixedTicksToSamples(b), s0,
                                                                        position + frames);
        const LONG n = LONG(s1 - s0);
        float* at = output + (s0 - position) * channels;
        // A voice without a loaded sound clicks with the tone: a missing
        // wave file must not silence the metronome.
        if (m_measureSynth || !m_measureVoice || m_measureVoice->HasNoSlices())
            SynthClick(at, s0, n, a, b, true);
        else
            m_measureVoice->RenderMix(at, *GetOutputFormat(), -1, s0, n);
        if (m_beatSynth || !m_beatVoice || m_beatVoice->HasNoSlices())
            SynthClick(at, s0, n, a, b, false);
        else
            m_beatVoice->RenderMix(at, *GetOutputFormat(), -1, s0, n);
        a = b;
    }
}

void CTamblor::SynthClick(float* output, LONGLONG position, LONG frames, LONGLONG a, LONGLONG b, bool measure)
{
    if (frames <= 0 || m_measureLength <= 0) return;
    const int channels = GetOutputFormat()->nChannels;
    const double rate = GetOutputFormat()->nSamplesPerSec ? GetOutputFormat()->nSamplesPerSec : 44100;
    const double attack = 1.0 / (rate * 0.0002), release = 1.0 / (rate * 0.01);
    const LONGLONG gate = std::min(m_beatLength - 1, m_clickLength);
    float& envelope = measure ? m_measureEnvelope : m_beatEnvelope;
    const double level = double(m_gain) * (measure ? m_measureLevelFactor : m_beatLevelFactor);
    const double w = 2.0 * std::numbers::pi * (measure ? m_measureFrequency : m_beatFrequency) / rate;
    const double span = double(b - a);
    for (LONG i = 0; i < frames; ++i) {
        const LONGLONG tick = a + std::llround(double(i) / frames * span);
        const LONGLONG m = FloorMod(tick - m_meterOrigin, m_measureLength);
        const bool open = measure ? m < gate : (m % m_beatLength) < gate && m >= m_beatLength;
        envelope = open ? float(std::min(1.0, envelope + attack)) : float(std::max(0.0, envelope - release));
        if (envelope <= 0.0f) continue;
        // The phase follows the stream's sample count, so a click sounds the
        // same whatever the block size.
        const float value = float(envelope * level * std::sin(w * double(position + i)));
        for (int c = 0; c < std::min(channels, 2); ++c) output[i * channels + c] += value;
    }
}

}  // namespace mvtamblor
