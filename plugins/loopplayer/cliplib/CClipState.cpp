#include "plugins/loopplayer/cliplib/CClipState.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "plugins/loopplayer/cliplib/CClipAudio.h"
#include "plugins/loopplayer/cliplib/CClipSlice.h"
#include "plugins/loopplayer/cliplib/CLoopClip.h"

static_assert(std::endian::native == std::endian::little, "state fields are copied as they lie in memory");

namespace {

constexpr LONGLONG kOpen = CLoopClip::kOpen;
// Bytes read or written in one call, and the step by which a table read from
// the stream grows.
constexpr size_t kStep = size_t(1) << 20;

template <typename T>
void Put(BYTE* record, size_t offset, T value)
{
    std::memcpy(record + offset, &value, sizeof(T));
}

template <typename T>
T Get(const BYTE* record, size_t offset)
{
    T value;
    std::memcpy(&value, record + offset, sizeof(T));
    return value;
}

// The stream's error, or E_FAIL when fewer bytes were taken.
HRESULT WriteAll(IStream* stream, const void* data, size_t bytes)
{
    const BYTE* at = static_cast<const BYTE*>(data);
    while (bytes > 0) {
        const ULONG part = ULONG(std::min(bytes, kStep));
        ULONG written = 0;
        HRESULT hr = stream->Write(at, part, &written);
        if (FAILED(hr)) return hr;
        if (written != part) return E_FAIL;
        at += part;
        bytes -= part;
    }
    return S_OK;
}

HRESULT ReadAll(IStream* stream, void* data, ULONG bytes)
{
    ULONG read = 0;
    HRESULT hr = stream->Read(data, bytes, &read);
    if (FAILED(hr)) return hr;
    return read == bytes ? S_OK : E_FAIL;
}

// Reads count values, growing the vector only as the bytes come, so that a
// count larger than the stream costs no more than the stream holds.
template <typename T>
HRESULT ReadGrowing(IStream* stream, std::vector<T>& out, size_t count)
{
    out.clear();
    const size_t step = kStep / sizeof(T);
    while (out.size() < count) {
        const size_t have = out.size();
        const size_t part = std::min(step, count - have);
        try {
            out.resize(have + part);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        HRESULT hr = ReadAll(stream, out.data() + have, ULONG(part * sizeof(T)));
        if (hr != S_OK) return hr;
    }
    return S_OK;
}

HRESULT WriteText(IStream* stream, const std::string& text)
{
    // A text the loader would refuse is not written at all.
    if (text.size() > CClipState::kMaxTextBytes) return E_FAIL;
    const DWORD length = DWORD(text.size());
    HRESULT hr = WriteAll(stream, &length, 4);
    return SUCCEEDED(hr) ? WriteAll(stream, text.data(), text.size()) : hr;
}

HRESULT ReadText(IStream* stream, std::string& text)
{
    DWORD length = 0;
    HRESULT hr = ReadAll(stream, &length, 4);
    if (hr != S_OK) return hr;
    if (length > CClipState::kMaxTextBytes) return E_FAIL;
    std::vector<char> bytes;
    if ((hr = ReadGrowing(stream, bytes, length)) != S_OK) return hr;
    // The text ends at its first zero, as a terminated string would.
    try {
        text.assign(bytes.data(), std::find(bytes.begin(), bytes.end(), '\0') - bytes.begin());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

bool IsPosition(LONGLONG value) { return value == kOpen || (value >= 0 && value <= CClipState::kMaxPosition); }

bool IsFrame(DWORD value) { return value <= DWORD(INT32_MAX); }

HRESULT WriteStore(IStream* stream, const CClipAudio& store)
{
    // The header and the samples describe the as-loaded copy when there is
    // one: a later load makes its rendering data from them.
    const bool loaded = store.HasLoadedCopy();
    const WORD channels = store.GetChannels();
    const WORD align = WORD(4 * channels);
    const DWORD rate = loaded ? store.GetLoadedRate() : store.GetSampleRate();
    const LONG frames = loaded ? store.GetLoadedFrames() : store.GetFrames();
    const std::vector<float>& overview = store.GetOverview();
    BYTE header[CClipState::kStoreHeaderBytes] = {};
    Put<WORD>(header, 0, WAVE_FORMAT_IEEE_FLOAT);
    Put<WORD>(header, 2, channels);
    Put<DWORD>(header, 4, rate);
    Put<DWORD>(header, 8, rate * align);
    Put<WORD>(header, 12, align);
    Put<WORD>(header, 14, 32);
    Put<DWORD>(header, 20, DWORD(frames));
    Put<DWORD>(header, 24, store.GetStateWord(0));
    Put<DWORD>(header, 32, store.GetStateWord(1));
    Put<DWORD>(header, 36, store.GetStateWord(2));
    Put<DWORD>(header, 40, DWORD(store.GetOverviewBuckets()));
    Put<DWORD>(header, 44, DWORD(overview.size()));
    Put<DWORD>(header, 52, store.GetStateWord(3));
    Put<DWORD>(header, 56, store.GetStateWord(4));
    HRESULT hr = WriteAll(stream, header, sizeof header);
    if (FAILED(hr)) return hr;

    const size_t frameValues = size_t(channels);
    if (loaded) {
        // The as-loaded copy keeps no guard frame: its last frame is repeated.
        const float* samples = store.GetLoadedSamples();
        if (FAILED(hr = WriteAll(stream, samples, size_t(frames) * frameValues * 4))) return hr;
        float guard[2] = {};
        if (frames > 0) std::copy_n(samples + size_t(frames - 1) * frameValues, frameValues, guard);
        if (FAILED(hr = WriteAll(stream, guard, frameValues * 4))) return hr;
    } else {
        if (FAILED(hr = WriteAll(stream, store.GetSamples(), (size_t(frames) + 1) * frameValues * 4))) return hr;
    }
    return overview.empty() ? S_OK : WriteAll(stream, overview.data(), overview.size() * 4);
}

// Reads a store: header, samples with the guard frame, overview table.
HRESULT ReadStore(IStream* stream, CClipAudio** out)
{
    *out = nullptr;
    BYTE header[CClipState::kStoreHeaderBytes];
    HRESULT hr = ReadAll(stream, header, sizeof header);
    if (hr != S_OK) return hr;
    const WORD tag = Get<WORD>(header, 0), channels = Get<WORD>(header, 2);
    const DWORD rate = Get<DWORD>(header, 4);
    const WORD align = Get<WORD>(header, 12), bits = Get<WORD>(header, 14);
    const DWORD frames = Get<DWORD>(header, 20);
    const DWORD points = Get<DWORD>(header, 40), words = Get<DWORD>(header, 44);
    // Only what the library renders: float frames of one or two channels.
    // The header's byte count of the samples is not used to size anything:
    // only the frames it describes are read.
    if (tag != WAVE_FORMAT_IEEE_FLOAT || bits != 32 || channels < 1 || channels > 2 || align != 4 * channels ||
        rate < 1 || rate > CLoopClip::kMaxSampleRate || frames > CClipState::kMaxFrames ||
        points > CClipState::kMaxOverviewPoints || ULONGLONG(words) != ULONGLONG(points) * channels * 2)
        return E_FAIL;

    std::vector<float> samples;
    if ((hr = ReadGrowing(stream, samples, (size_t(frames) + 1) * channels)) != S_OK) return hr;
    std::vector<float> overview;
    if ((hr = ReadGrowing(stream, overview, words)) != S_OK) return hr;
    CClipAudio* store = CClipAudio::Adopt(channels, rate, LONG(frames), samples);
    if (!store) return E_OUTOFMEMORY;
    store->AdoptOverview(int(points), overview);
    store->SetStateWord(0, Get<DWORD>(header, 24));
    store->SetStateWord(1, Get<DWORD>(header, 32));
    store->SetStateWord(2, Get<DWORD>(header, 36));
    store->SetStateWord(3, Get<DWORD>(header, 52));
    store->SetStateWord(4, Get<DWORD>(header, 56));
    if (FAILED(hr = store->KeepLoadedCopy())) {
        store->Release();
        return hr;
    }
    *out = store;
    return S_OK;
}

void FillSlice(BYTE* r, const CClipSlice& s)
{
    const CClipAudio* store = s.GetAudio();
    const bool loaded = store && store->HasLoadedCopy();
    Put<LONG>(r, 0, s.GetIndex());
    Put<LONGLONG>(r, 8, s.GetStart(CClipSlice::kUnitFixedTicks));
    Put<DWORD>(r, 16, DWORD(loaded ? s.GetLoadedStart() : LONG(s.GetStart(CClipSlice::kUnitSamples))));
    Put<LONGLONG>(r, 24, s.GetLength(CClipSlice::kUnitFixedTicks));
    Put<DWORD>(r, 32, DWORD(loaded ? s.GetLoadedLength() : LONG(s.GetLength(CClipSlice::kUnitSamples))));
    Put<DWORD>(r, 36, DWORD(loaded ? s.GetLoadedSecondLength() : s.GetSecondLength()));
    Put<DWORD>(r, 40, s.GetSliced());
    Put<double>(r, 48, s.GetRateFactor());
    Put<LONG>(r, 56, s.GetTranspose());
    Put<float>(r, 60, s.GetGain());
    Put<float>(r, 64, s.GetPan());
    Put<DWORD>(r, 68, s.GetUseSecondStore() ? 1 : 0);
    Put<DWORD>(r, 72, DWORD(loaded ? s.GetLoadedOffset() : s.GetDataOffset()));
    Put<DWORD>(r, 76, s.GetOverviewFirst());
    Put<DWORD>(r, 80, s.GetOverviewCount());
}

// A slice from its record, on store (or on none): null when the record holds
// values no slice takes.
CClipSlice* MakeSlice(const BYTE* r, CClipAudio* store)
{
    const LONGLONG startFixed = Get<LONGLONG>(r, 8), lengthFixed = Get<LONGLONG>(r, 24);
    const DWORD start = Get<DWORD>(r, 16), length = Get<DWORD>(r, 32), second = Get<DWORD>(r, 36);
    const DWORD offset = Get<DWORD>(r, 72);
    const double rate = Get<double>(r, 48);
    const LONG transpose = Get<LONG>(r, 56);
    const float gain = Get<float>(r, 60), pan = Get<float>(r, 64);
    // A shift adds the slice's transpose to the clip's: it stays within what
    // the pitch ratio and the sum can hold.
    if (!IsPosition(startFixed) || !IsPosition(lengthFixed) || !IsFrame(start) || !IsFrame(length) ||
        !IsFrame(second) || !IsFrame(offset) || !std::isfinite(rate) || !std::isfinite(gain) || !std::isfinite(pan) ||
        transpose < -127 || transpose > 127)
        return nullptr;
    auto* s = new (std::nothrow) CClipSlice;
    if (!s) return nullptr;
    s->SetIndex(Get<LONG>(r, 0));
    s->SetStart(startFixed, CClipSlice::kUnitFixedTicks);
    s->SetLength(lengthFixed, CClipSlice::kUnitFixedTicks);
    s->SetLoadedPlace(LONG(start), LONG(length));
    s->SetLoadedSecondLength(LONG(second));
    s->SetLoadedOffset(LONG(offset));
    s->SetSliced(Get<DWORD>(r, 40));
    s->SetRateFactor(rate);
    s->SetTranspose(transpose);
    s->SetGain(gain);
    s->SetPan(pan);
    s->SetUseSecondStore(Get<DWORD>(r, 68) != 0);
    s->SetOverviewShare(Get<DWORD>(r, 76), Get<DWORD>(r, 80));
    // The rendering place starts where the slice starts, and a slice never
    // reads past the end of its store.
    LONG first = LONG(start), renderLength = LONG(length), renderSecond = LONG(second);
    if (store) {
        const LONG frames = store->GetFrames();
        first = std::min(first, frames);
        renderLength = std::min(renderLength, frames - first);
        renderSecond = std::min(renderSecond, frames - first);
        s->Attach(store, first);
    }
    s->SetStart(first, CClipSlice::kUnitSamples);
    s->SetLength(renderLength, CClipSlice::kUnitSamples);
    s->SetSecondLength(renderSecond);
    return s;
}

// What a state read brings, held apart until all of it has been read.
struct Staged {
    Staged() = default;
    Staged(const Staged&) = delete;
    Staged& operator=(const Staged&) = delete;
    ~Staged()
    {
        for (CClipSlice* s : slices) delete s;
        if (store) store->Release();
    }

    BYTE info[CClipState::kInfoBytes] = {};
    bool hasId = false, hasIdRecord = false;
    DWORD id = 0, whole = 0;
    std::string name, path;
    CClipAudio* store = nullptr;
    std::vector<CClipSlice*> slices;
};

bool InfoIsSound(const BYTE* info)
{
    for (size_t offset = 8; offset <= 64; offset += 8)
        if (!IsPosition(Get<LONGLONG>(info, offset))) return false;
    const double tempo = Get<double>(info, 104);
    return std::isfinite(tempo) && tempo >= 0 && std::isfinite(Get<float>(info, 112)) &&
           std::isfinite(Get<float>(info, 116));
}

}  // namespace

HRESULT CClipState::Save(const CLoopClip& clip, IStream* stream, BOOL includeData)
{
    if (!stream) return E_POINTER;
    BYTE info[kInfoBytes] = {};
    Put<DWORD>(info, 0, kLayoutVersion);
    // The loop's length at the sound's own rate; a clip that never loaded a
    // file has only its length in samples.
    Put<LONGLONG>(info, 8, clip.m_sourceLength > 0 ? clip.m_sourceLength : clip.m_loopSamples);
    Put<LONGLONG>(info, 16, clip.m_loopFixed);
    Put<LONGLONG>(info, 24, clip.m_startSamples);
    Put<LONGLONG>(info, 32, clip.m_startFixed);
    Put<LONGLONG>(info, 40, clip.m_originSamples);
    Put<LONGLONG>(info, 48, clip.m_originFixed);
    Put<LONGLONG>(info, 56, clip.m_lengthSamples);
    Put<LONGLONG>(info, 64, clip.m_lengthFixed);
    Put<DWORD>(info, 72, DWORD(clip.m_looping));
    Put<DWORD>(info, 76, DWORD(clip.m_followTempo));
    Put<DWORD>(info, 80, DWORD(clip.m_mute));
    Put<DWORD>(info, 84, DWORD(clip.m_useSecondStore));
    Put<DWORD>(info, 88, DWORD(clip.m_followKey));
    Put<LONG>(info, 92, clip.m_rootKey);
    Put<LONG>(info, 96, clip.m_transpose);
    Put<double>(info, 104, clip.m_tempo);
    Put<float>(info, 112, clip.m_gain);
    Put<float>(info, 116, clip.m_pan);
    Put<DWORD>(info, 120, DWORD(clip.m_kind));
    Put<double>(info, 136, clip.m_keptSeconds);
    HRESULT hr = WriteAll(stream, info, kInfoBytes);
    if (FAILED(hr)) return hr;

    BYTE id[kIdBytes] = {};
    Put<DWORD>(id, 0, clip.m_id);
    Put<DWORD>(id, 4, DWORD(clip.m_keepSliceLengths));
    if (FAILED(hr = WriteAll(stream, id, kIdBytes))) return hr;
    if (FAILED(hr = WriteText(stream, clip.m_name)) || FAILED(hr = WriteText(stream, clip.m_path))) return hr;

    // A linked clip saves the store and slices it plays.
    const CClipAudio* store = clip.GetAudio();
    const DWORD withData = includeData && store ? 1 : 0;
    if (FAILED(hr = WriteAll(stream, &withData, 4))) return hr;
    if (withData && FAILED(hr = WriteStore(stream, *store))) return hr;

    const std::vector<CClipSlice*>& slices = clip.Slices();
    const LONG count = LONG(slices.size());
    if (count > kMaxSlices) return E_FAIL;
    if (FAILED(hr = WriteAll(stream, &count, 4))) return hr;
    for (const CClipSlice* s : slices) {
        BYTE record[kSliceBytes] = {};
        FillSlice(record, *s);
        if (FAILED(hr = WriteAll(stream, record, kSliceBytes))) return hr;
    }
    return S_OK;
}

HRESULT CClipState::Load(CLoopClip& clip, IStream* stream)
{
    if (!stream) return E_POINTER;
    Staged st;
    HRESULT hr = ReadAll(stream, st.info, kInfoBytes);
    if (hr != S_OK) return hr;
    if (!InfoIsSound(st.info)) return E_FAIL;
    const DWORD version = Get<DWORD>(st.info, 0);
    if (Get<DWORD>(st.info, 124) != 0) {
        // The earlier layout keeps the id where the version now lies, and
        // has no id record and no texts.
        st.hasId = true;
        st.id = version;
    } else if (version != 0) {
        BYTE id[kIdBytes];
        if ((hr = ReadAll(stream, id, kIdBytes)) != S_OK) return hr;
        st.hasId = st.hasIdRecord = true;
        st.id = Get<DWORD>(id, 0);
        st.whole = Get<DWORD>(id, 4);
        if ((hr = ReadText(stream, st.name)) != S_OK || (hr = ReadText(stream, st.path)) != S_OK) return hr;
    }

    DWORD withData = 0;
    if ((hr = ReadAll(stream, &withData, 4)) != S_OK) return hr;
    if (withData == 1 && (hr = ReadStore(stream, &st.store)) != S_OK) return hr;

    LONG count = 0;
    if ((hr = ReadAll(stream, &count, 4)) != S_OK) return hr;
    if (count > kMaxSlices) return E_FAIL;
    // A state without a store plays from the store the clip already has.
    CClipAudio* store = st.store ? st.store : clip.GetAudio();
    for (LONG i = 0; i < count; ++i) {
        BYTE record[kSliceBytes];
        if ((hr = ReadAll(stream, record, kSliceBytes)) != S_OK) return hr;
        CClipSlice* s = MakeSlice(record, store);
        if (!s) return E_FAIL;
        try {
            st.slices.push_back(s);
        } catch (const std::bad_alloc&) {
            delete s;
            return E_OUTOFMEMORY;
        }
    }

    // Everything was read: the clip takes it.
    const BYTE* info = st.info;
    const LONGLONG frames = Get<LONGLONG>(info, 8);
    clip.m_sourceLength = clip.m_loopSamples = clip.m_sampleLength = frames;
    clip.m_loopFixed = Get<LONGLONG>(info, 16);
    clip.m_startSamples = Get<LONGLONG>(info, 24);
    clip.m_startFixed = Get<LONGLONG>(info, 32);
    clip.m_originSamples = Get<LONGLONG>(info, 40);
    clip.m_originFixed = Get<LONGLONG>(info, 48);
    clip.m_lengthSamples = Get<LONGLONG>(info, 56);
    clip.m_lengthFixed = Get<LONGLONG>(info, 64);
    clip.m_looping = BOOL(Get<DWORD>(info, 72));
    clip.m_followTempo = BOOL(Get<DWORD>(info, 76));
    clip.m_mute = BOOL(Get<DWORD>(info, 80));
    // The slices' own flags come from their records.
    clip.m_useSecondStore = BOOL(Get<DWORD>(info, 84));
    clip.m_followKey = BOOL(Get<DWORD>(info, 88));
    clip.SetRootKey(Get<LONG>(info, 92));
    clip.SetTranspose(Get<LONG>(info, 96));
    clip.m_tempo = Get<double>(info, 104);
    clip.SetGain(Get<float>(info, 112));
    clip.SetPan(Get<float>(info, 116));
    clip.m_kind = LONG(Get<DWORD>(info, 120));
    clip.m_keptSeconds = Get<double>(info, 136);
    if (st.hasId) clip.m_id = st.id;
    if (st.hasIdRecord) {
        clip.m_keepSliceLengths = BOOL(st.whole);
        clip.m_name.swap(st.name);
        clip.m_path.swap(st.path);
    }
    if (st.store) {
        if (clip.m_audio) clip.m_audio->Release();
        clip.m_audio = st.store;
        st.store = nullptr;
    }
    clip.DeleteSlices();
    clip.m_slices.swap(st.slices);
    return S_OK;
}
