#include "plugins/loopplayer/cliplib/CLoopClip.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "plugins/loopplayer/cliplib/CClipAudio.h"
#include "plugins/loopplayer/cliplib/CClipSlice.h"
#include "plugins/loopplayer/cliplib/CClipState.h"
#include "plugins/loopplayer/cliplib/CWaveClipReader.h"
#include "plugins/loopplayer/cliplib/ILoopClipPool.h"
#include "plugins/loopplayer/cliplib/IRembetHost.h"
#include "plugins/loopplayer/cliplib/SampleKernels.h"

namespace {

LONGLONG FromUnit(LONGLONG value, int unit)
{
    return unit == CLoopClip::kUnitTicks && value != CLoopClip::kOpen ? value << 16 : value;
}

LONGLONG ToUnit(LONGLONG fixed, int unit)
{
    return unit == CLoopClip::kUnitTicks && fixed != CLoopClip::kOpen ? fixed >> 16 : fixed;
}

LONGLONG FloorDiv(LONGLONG a, LONGLONG b)
{
    LONGLONG q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

CLoopClip::CLoopClip(IRembetHost* host, ILoopClipPool* pool) : m_host(host), m_pool(pool) {}

CLoopClip::CLoopClip(const CLoopClip& s, bool deep)
    : m_id(s.m_id), m_host(s.m_host), m_pool(s.m_pool), m_link(s.m_link), m_loopFixed(s.m_loopFixed),
      m_loopSamples(s.m_loopSamples), m_sampleLength(s.m_sampleLength), m_sourceLength(s.m_sourceLength),
      m_startFixed(s.m_startFixed),
      m_startSamples(s.m_startSamples), m_originFixed(s.m_originFixed), m_originSamples(s.m_originSamples),
      m_lengthFixed(s.m_lengthFixed), m_lengthSamples(s.m_lengthSamples), m_tempo(s.m_tempo),
      m_looping(s.m_looping), m_followTempo(s.m_followTempo), m_keepSliceLengths(s.m_keepSliceLengths),
      m_mute(s.m_mute), m_followKey(s.m_followKey), m_useSecondStore(s.m_useSecondStore),
      m_rootKey(s.m_rootKey), m_transpose(s.m_transpose), m_name(s.m_name), m_path(s.m_path), m_gain(s.m_gain),
      m_pan(s.m_pan), m_maxBeats(s.m_maxBeats), m_maxSeconds(s.m_maxSeconds), m_keptSeconds(s.m_keptSeconds),
      m_kind(s.m_kind)
{
    if (m_link) m_link->AddRef();
    if (deep) {
        m_audio = s.m_audio;
        if (m_audio) m_audio->AddRef();
        m_slices.reserve(s.m_slices.size());
        for (CClipSlice* slice : s.m_slices) m_slices.push_back(new CClipSlice(*slice));
    }
}

CLoopClip::~CLoopClip()
{
    DeleteSlices();
    if (m_audio) m_audio->Release();
}

ULONG CLoopClip::Release()
{
    ULONG left = --m_refs;
    if (left == 0) {
        if (m_link) m_link->Release();
        m_link = nullptr;
        if (m_pool) m_pool->ClipDestroyed(this);
        delete this;
    }
    return left;
}

void CLoopClip::DeleteSlices()
{
    for (CClipSlice* s : m_slices) delete s;
    m_slices.clear();
}

void CLoopClip::Unload()
{
    m_name.clear();
    m_path.clear();
    DeleteSlices();
    if (m_audio) m_audio->Release();
    m_audio = nullptr;
}

HRESULT CLoopClip::GetFormat(WAVEFORMATEX* format) const
{
    const CClipAudio* audio = GetAudio();
    if (!format || !audio) return E_FAIL;
    *format = WAVEFORMATEX{};
    format->wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    format->nChannels = audio->GetChannels();
    format->nSamplesPerSec = audio->GetSampleRate();
    format->wBitsPerSample = 32;
    format->nBlockAlign = WORD(4 * format->nChannels);
    format->nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
    return S_OK;
}

CClipAudio* CLoopClip::GetAudio() const { return m_link ? m_link->GetAudio() : m_audio; }

LONGLONG CLoopClip::GetLoopLength(int unit) const
{
    return unit == kUnitSamples ? m_loopSamples : ToUnit(m_loopFixed, unit);
}

void CLoopClip::SetLoopLength(LONGLONG value, int unit)
{
    if (value < 0) return;
    (unit == kUnitSamples ? m_loopSamples : m_loopFixed) = unit == kUnitSamples ? value : FromUnit(value, unit);
}

LONGLONG CLoopClip::GetStart(int unit) const
{
    return unit == kUnitSamples ? m_startSamples : ToUnit(m_startFixed, unit);
}

void CLoopClip::SetStart(LONGLONG value, int unit)
{
    if (value < 0) return;
    (unit == kUnitSamples ? m_startSamples : m_startFixed) = unit == kUnitSamples ? value : FromUnit(value, unit);
}

LONGLONG CLoopClip::GetLoopOrigin(int unit) const
{
    return unit == kUnitSamples ? m_originSamples : ToUnit(m_originFixed, unit);
}

void CLoopClip::SetLoopOrigin(LONGLONG value, int unit)
{
    if (value < 0) return;
    (unit == kUnitSamples ? m_originSamples : m_originFixed) = unit == kUnitSamples ? value : FromUnit(value, unit);
}

LONGLONG CLoopClip::GetLength(int unit) const
{
    return unit == kUnitSamples ? m_lengthSamples : ToUnit(m_lengthFixed, unit);
}

void CLoopClip::SetLength(LONGLONG value, int unit)
{
    if (value < 0) return;
    (unit == kUnitSamples ? m_lengthSamples : m_lengthFixed) = unit == kUnitSamples ? value : FromUnit(value, unit);
}

LONGLONG CLoopClip::GetEnd(int unit) const
{
    LONGLONG start = GetStart(unit), length = GetLength(unit);
    if (length == kOpen || start > kOpen - length) return kOpen;
    return start + length;
}

void CLoopClip::SetEnd(LONGLONG value, int unit)
{
    if (value < 0) return;
    if (value == kOpen) {
        SetLength(kOpen, unit);
        return;
    }
    LONGLONG start = GetStart(unit);
    if (value >= start) SetLength(value - start, unit);
}

BOOL CLoopClip::HasNoSlices() const { return Slices().empty(); }

void CLoopClip::SetGain(float gain) { m_gain = std::clamp(gain, 0.0f, 2.0f); }

void CLoopClip::SetPan(float pan) { m_pan = std::clamp(pan, 0.0f, 1.0f); }

void CLoopClip::SetRootKey(LONG key)
{
    if (key >= -1 && key <= 127) m_rootKey = key;
}

void CLoopClip::SetTranspose(LONG semitones)
{
    if (semitones >= -24 && semitones <= 24) m_transpose = semitones;
}

void CLoopClip::SetUseSecondStore(BOOL on)
{
    m_useSecondStore = on;
    for (CClipSlice* s : m_slices) s->SetUseSecondStore(on);
}

void CLoopClip::UpdateTempo()
{
    LONG rate = m_host ? m_host->GetSampleRate() : 0;
    if (m_loopSamples > 0 && rate > 0)
        m_tempo = (double(m_loopFixed) / kFixedQuarter) / (double(m_loopSamples) / rate) * 60.0;
    else
        m_tempo = 100.0;
}

double CLoopClip::GetTicksPerSample() const
{
    LONG rate = m_host ? m_host->GetSampleRate() : 0;
    return rate > 0 ? m_tempo * 1048576.0 / rate : 0.0;
}

void CLoopClip::SetLinkSource(CLoopClip* source)
{
    if (source) source->AddRef();
    if (m_link) m_link->Release();
    m_link = source;
}

HRESULT CLoopClip::LoadAudio(CWaveClipReader& reader, LONG frames)
{
    const WAVEFORMATEX* f = reader.GetFormat();
    if (!f) return E_FAIL;
    const int bits = f->wBitsPerSample;
    const bool pcm = f->wFormatTag == WAVE_FORMAT_PCM, flt = f->wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    if (!(pcm && (bits == 4 || bits == 8 || bits == 16 || bits == 24)) && !(flt && bits == 32)) return E_FAIL;
    // The resampler's work and table grow with the ratio to the stream's
    // rate: a rate no sound card plays is refused rather than resampled.
    if (f->nSamplesPerSec < 1 || f->nSamplesPerSec > kMaxSampleRate) return E_FAIL;
    const WORD channels = f->nChannels;
    const int sampleBytes = bits < 8 ? 1 : bits / 8;
    // Converters take packed samples: a frame with padding is not a clip's.
    if (f->nBlockAlign != channels * sampleBytes) return E_FAIL;
    LONG all = LONG(std::min<DWORD>(reader.GetFrames(), 0x7FFFFFFF / 8));
    if (frames <= 0 || frames > all) frames = all;

    CClipAudio* audio = CClipAudio::Create(channels, f->nSamplesPerSec, frames);
    if (!audio) return E_OUTOFMEMORY;
    try {
        std::vector<BYTE> bytes(size_t(frames) * f->nBlockAlign);
        if (FAILED(reader.SeekFrame(0))) {
            audio->Release();
            return E_FAIL;
        }
        size_t got = 0;
        while (got < bytes.size()) {
            LONG n = reader.Read(bytes.data() + got, LONG(std::min<size_t>(bytes.size() - got, 1 << 20)));
            if (n <= 0) break;
            got += size_t(n);
        }
        if (got < bytes.size()) {
            audio->Release();
            return E_FAIL;
        }
        const float scale = bits == 4 ? 0.0625f : bits == 8 ? 1.0f / 128 : bits == 16 ? 1.0f / 32768
                            : bits == 24                    ? 1.0f / 8388608
                                                            : 1.0f;
        SelectConverter(bits)(audio->GetSamples(), bytes.data(), frames * channels, scale);
    } catch (const std::bad_alloc&) {
        audio->Release();
        return E_OUTOFMEMORY;
    }
    audio->SetGuardFrame();
    if (m_audio) m_audio->Release();
    m_audio = audio;
    m_loopSamples = frames;
    UpdateTempo();
    m_audio->BuildOverview(kOverviewPoints);
    return S_OK;
}

HRESULT CLoopClip::LoadFromFile(const std::string& name, const std::string& path, const WAVEFORMATEX& streamFormat,
                                int* reason, bool noSlices, bool truncate)
{
    if (reason) *reason = 0;
    CWaveClipReader reader;
    HRESULT hr = reader.Open(path);
    if (FAILED(hr)) return hr;
    DeleteSlices();
    auto fail = [&](HRESULT error, int why) {
        if (reason && why) *reason = why;
        Unload();
        return error;
    };
    try {
        const DWORD rate = reader.GetSampleRate();
        const double seconds = double(reader.GetFrames()) / rate;
        if (reader.HasAcid() && reader.HasStrc() && reader.GetSliceCount() >= 1 && !noSlices) {
            if (reader.GetBeats() > DWORD(std::max<LONG>(m_maxBeats, 0))) return fail(E_UNEXPECTED, kReasonTooManyBeats);
            if (seconds > m_maxSeconds) return fail(E_UNEXPECTED, kReasonTooLong);
            if (FAILED(hr = LoadAudio(reader, 0))) return fail(hr, 0);
            if (FAILED(hr = m_audio->KeepLoadedCopy())) return fail(hr, 0);
            const double frames = m_audio->GetFrames();
            const double beats = reader.GetBeats();
            for (int i = 0; i < reader.GetSliceCount(); ++i) {
                auto [o, t] = reader.GetSlice(i);
                if (double(o) + t > frames) break;
                auto* slice = new CClipSlice;
                m_slices.push_back(slice);
                slice->Attach(m_audio, LONG(o));
                slice->SetStart(LONG(o), CClipSlice::kUnitSamples);
                slice->SetStart(std::llround(beats * o / frames * kFixedQuarter), CClipSlice::kUnitFixedTicks);
                slice->SetLength(std::llround(beats * t / frames * kFixedQuarter), CClipSlice::kUnitFixedTicks);
                slice->SetLength(LONG(t), CClipSlice::kUnitSamples);
                slice->SetLoadedPlace(LONG(o), LONG(t));
                slice->SetLoadedOffset(LONG(o));
                slice->SetOverviewShare(DWORD(std::lround(kOverviewPoints * o / frames)),
                                        DWORD(std::lround(kOverviewPoints * t / frames)));
                slice->SetSliced(1);
                slice->SetIndex(i);
            }
            m_looping = 1;
            m_followTempo = 1;
            m_rootKey = (reader.GetRootNote() + 3) % 12;
            m_followKey = reader.IsRootNoteSet();
        } else {
            LONG frames = 0;
            if (seconds > m_maxSeconds) {
                if (!truncate) return fail(E_UNEXPECTED, kReasonTooLong);
                frames = LONG(std::lround(rate * m_maxSeconds));
            }
            if (FAILED(hr = LoadAudio(reader, frames))) return fail(hr, 0);
            if (FAILED(hr = m_audio->KeepLoadedCopy())) return fail(hr, 0);
            const LONG loaded = m_audio->GetFrames();
            const double quarters = std::max(1.0, std::exp2(std::round(std::log2(2.0 * loaded / rate))));
            auto* slice = new CClipSlice;
            m_slices.push_back(slice);
            slice->Attach(m_audio, 0);
            slice->SetStart(0, CClipSlice::kUnitFixedTicks);
            slice->SetLength(LONGLONG(quarters * kFixedQuarter), CClipSlice::kUnitFixedTicks);
            slice->SetLength(loaded, CClipSlice::kUnitSamples);
            slice->SetLoadedPlace(0, loaded);
            slice->SetOverviewShare(0, kOverviewPoints);
            slice->SetIndex(0);
            m_looping = 0;
            m_followTempo = 0;
            m_followKey = 0;
        }
        if (m_slices.empty()) return fail(E_UNEXPECTED, 0);
        m_sampleLength = m_slices.back()->GetEnd(CClipSlice::kUnitSamples);
        m_sourceLength = m_sampleLength;
        SetFormat(streamFormat);
        SetUseSecondStore(0);
        m_name = name;
        m_path = path;
        m_loopFixed = m_slices.back()->GetEnd(CClipSlice::kUnitFixedTicks);
        m_loopSamples = m_slices.back()->GetEnd(CClipSlice::kUnitSamples);
        UpdateTempo();
    } catch (const std::bad_alloc&) {
        return fail(E_OUTOFMEMORY, 0);
    }
    return S_OK;
}

void CLoopClip::AddSlice(CClipSlice* slice, LONGLONG startFixed, bool extendLoop)
{
    slice->SetStart(startFixed, CClipSlice::kUnitFixedTicks);
    m_slices.push_back(slice);
    slice->SetUseSecondStore(m_useSecondStore);
    if (extendLoop) {
        LONGLONG end = m_slices.back()->GetEnd(CClipSlice::kUnitFixedTicks);
        LONGLONG loop = std::max(m_loopFixed, end == CClipSlice::kNone ? 0 : end);
        m_loopFixed = (loop + kFixedQuarter - 1) / kFixedQuarter * kFixedQuarter;
        LONG rate = m_host ? m_host->GetSampleRate() : 0;
        m_loopSamples = LONGLONG(rate * (double(m_loopFixed) / kFixedQuarter) / m_tempo * 60.0 + 0.5);
    }
    slice->SetStart(m_loopFixed > 0 ? std::llround(double(startFixed) / m_loopFixed * m_loopSamples) : 0,
                    CClipSlice::kUnitSamples);
}

HRESULT CLoopClip::SetFormat(const WAVEFORMATEX& streamFormat)
{
    if (m_link) return m_link->SetFormat(streamFormat);
    if (!m_audio) return S_FALSE;
    HRESULT hr = m_audio->Resample(streamFormat.nSamplesPerSec, true);
    if (hr != S_OK) return hr;
    const double ratio = m_audio->GetRateRatio();
    const LONG frames = m_audio->GetFrames();
    LONGLONG loadedLength = 0;
    for (CClipSlice* s : m_slices) {
        LONG start = s->GetLoadedStart(), length = s->GetLoadedLength();
        loadedLength = std::max<LONGLONG>(loadedLength, LONGLONG(start) + length);
        // Scaled in 64 bits and clamped to the store before narrowing: a
        // place from a saved state may lie anywhere below 2^31 frames.
        const LONG ns = LONG(std::clamp<LONGLONG>(std::llround(start * ratio), 0, frames));
        const LONG room = frames - ns;
        const LONG nl = LONG(std::clamp<LONGLONG>(std::llround(ratio * (double(start) + length)) - ns, 0, room));
        s->SetStart(ns, CClipSlice::kUnitSamples);
        s->SetLength(nl, CClipSlice::kUnitSamples);
        s->SetSecondLength(LONG(std::clamp<LONGLONG>(std::llround(ratio * s->GetLoadedSecondLength()), 0, room)));
        s->Attach(m_audio, ns);
    }
    m_sampleLength = std::llround(double(loadedLength) * ratio);
    if (m_sourceLength > 0) m_loopSamples = std::llround(double(m_sourceLength) * ratio);
    return S_OK;
}

HRESULT CLoopClip::SaveProjectState(IStream* stream, BOOL includeData) const
{
    return CClipState::Save(*this, stream, includeData);
}

HRESULT CLoopClip::LoadProjectState(IStream* stream) { return CClipState::Load(*this, stream); }

int CLoopClip::ShiftFor(const CClipSlice& slice, LONG songKey) const
{
    int shift = int(slice.GetTranspose() + m_transpose);
    if (m_followKey && songKey != -1 && m_rootKey != -1) {
        // Only the key difference wraps: the nearest way to the song's key.
        int diff = int(songKey - m_rootKey);
        shift += ((diff + 6) % 12 + 12) % 12 - 6;
    }
    return shift;
}

HRESULT CLoopClip::RenderMix(float* output, const WAVEFORMATEX& outputFormat, LONG songKey, LONGLONG position,
                             LONG frames)
{
    if (outputFormat.wFormatTag != WAVE_FORMAT_IEEE_FLOAT) return E_INVALIDARG;
    const int channels = outputFormat.nChannels;
    if (channels != 1 && channels != 2) return E_INVALIDARG;
    const std::vector<CClipSlice*>& slices = Slices();
    if (m_mute || !output || frames <= 0 || slices.empty()) return S_FALSE;
    const bool ticks = m_followTempo;
    if (ticks && !m_host) return S_FALSE;
    const LONGLONG length = ticks ? m_lengthFixed : m_lengthSamples;
    if (length <= 0) return S_FALSE;

    const LONGLONG windowEndSamples = position + frames;
    const LONGLONG ws = ticks ? m_host->SamplesToFixedTicks(position) : position;
    const LONGLONG we = ticks ? m_host->SamplesToFixedTicks(windowEndSamples) : windowEndSamples;
    const LONGLONG start = ticks ? m_startFixed : m_startSamples;
    const LONGLONG end = GetEnd(ticks ? kUnitFixedTicks : kUnitSamples);
    const LONGLONG a = std::max(ws, start), b = std::min(we, end);
    if (a >= b) return S_FALSE;
    // Every slice start and end in ticks goes through the host, and a slice
    // ends where the next one starts: the last answer is kept for the next.
    bool known = false;
    LONGLONG knownTicks = 0, knownSamples = 0;
    auto toSamples = [&](LONGLONG fixedTicks) {
        if (!known || fixedTicks != knownTicks) {
            knownSamples = m_host->FixedTicksToSamples(fixedTicks);
            knownTicks = fixedTicks;
            known = true;
        }
        return knownSamples;
    };
    // The window cut to the clip, back in samples.
    const LONGLONG from = a == ws ? position : ticks ? toSamples(a) : a;
    const LONGLONG to = b == we ? windowEndSamples : ticks ? toSamples(b) : b;
    // The host's conversion never runs backwards, so a slice that ends in
    // ticks by a ends in samples by from if a itself does: such a slice is
    // passed over without asking the host where it lies. Most of the slices
    // looked at (all of the cycle before the window) are of that kind.
    const bool passOver = ticks && !m_keepSliceLengths && (a != ws || toSamples(a) <= from);

    const LONGLONG origin = ticks ? m_originFixed : m_originSamples;
    const LONGLONG loop = ticks ? m_loopFixed : m_loopSamples;
    const bool looping = m_looping && loop > 0;
    // A slice may sound past its cycle's end, so the cycle before the window
    // is looked at too.
    LONGLONG cycle = looping ? FloorDiv(a - origin, loop) - 1 : 0;
    bool rendered = false;
    for (;; ++cycle) {
        const LONGLONG base = origin + cycle * (looping ? loop : 0);
        if (base >= b) break;
        for (const CClipSlice* slice : slices) {
            const LONG h = LONG(slice->GetLength(CClipSlice::kUnitSamples));
            if (h <= 0) continue;
            LONGLONG s0, s1;  // the slice's place in stream samples
            if (ticks) {
                const LONGLONG sliceStart = slice->GetStart(CClipSlice::kUnitFixedTicks);
                const LONGLONG sliceLength = slice->GetLength(CClipSlice::kUnitFixedTicks);
                if (sliceStart == CClipSlice::kNone || base + sliceStart >= b) continue;
                const bool open = sliceLength == CClipSlice::kNone;
                if (passOver && !open && base + sliceStart + sliceLength <= a) continue;
                s0 = toSamples(base + sliceStart);
                s1 = m_keepSliceLengths || open ? s0 + h : toSamples(base + sliceStart + sliceLength);
            } else {
                s0 = base + slice->GetStart(CClipSlice::kUnitSamples);
                s1 = s0 + h;
            }
            const LONGLONG lo = std::max(from, s0), hi = std::min(to, s1);
            if (hi <= lo) continue;
            const LONG target = LONG(std::min<LONGLONG>(s1 - s0, INT32_MAX));
            const int shift = ShiftFor(*slice, songKey);
            if (shift == 0)
                slice->RenderSlice(LONG(lo - s0), LONG(lo - position), LONG(hi - lo), target, output, channels,
                                   m_gain, m_pan);
            else
                slice->RenderSliceShifted(LONG(lo - s0), LONG(lo - position), LONG(hi - lo), target, output,
                                          channels, m_gain, m_pan, shift);
            rendered = true;
        }
        if (!looping) break;
    }
    return rendered ? S_OK : S_FALSE;
}
