#include "model/CPatternInstance.h"

#include "model/CMfxBlockRing.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "model/CHeapLockGuard.h"
#include "model/CKelPersistArchive.h"
#include "model/CPattern.h"
#include "model/CTempoMap.h"
#include "model/IEngineServices.h"
#include "model/ISongDocument.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

std::atomic<DWORD> g_serial{0};

constexpr DWORD kReserved = 0xFFFFFFFF;
constexpr ULONG kPlacementBytes = 20;  // id, channel, pattern id, offset, start, end

LONG Saturate(LONGLONG v) { return static_cast<LONG>(std::clamp<LONGLONG>(v, INT32_MIN, INT32_MAX)); }

// The remainder that takes the divisor's sign (d > 0).
LONGLONG FloorMod(LONGLONG a, LONGLONG d)
{
    const LONGLONG r = a % d;
    return r < 0 ? r + d : r;
}

// The first event in [begin, end) at or after pattern time p.
int FirstEventFrom(const std::vector<LONG>& times, int begin, int end, LONGLONG p)
{
    return static_cast<int>(std::lower_bound(times.begin() + begin, times.begin() + end, p) - times.begin());
}

}  // namespace

CPatternInstance::CPatternInstance() : CKelPersistObject(MakeKelVersionWord(kMajor, kMinor)) {}

CPatternInstance::CPatternInstance(CPattern* pattern)
    : CKelPersistObject(MakeKelVersionWord(kMajor, kMinor)),
      m_offset(0),
      m_start(0),
      m_end(pattern != nullptr ? pattern->GetDuration() : 0),
      m_pattern(pattern),
      m_instanceId(DrawInstanceId(pattern != nullptr ? pattern->GetId() : CPattern::kNoPattern))
{
    ResetTemplate();
}

CPatternInstance::CPatternInstance(const CPatternInstance& other)
    : CSelectableObject(other), CKelPersistObject(other)
{
    CopyFields(other);
}

CPatternInstance::CPatternInstance(const CPatternInstance& other, BOOL freshId) : CPatternInstance(other)
{
    if (freshId)
        m_instanceId = DrawInstanceId(GetPatternID());
}

CPatternInstance& CPatternInstance::operator=(const CPatternInstance& other)
{
    if (this != &other) {
        CopyFields(other);
        m_selected = other.m_selected;
    }
    return *this;
}

void CPatternInstance::CopyFields(const CPatternInstance& other)
{
    m_offset = other.m_offset;
    m_start = other.m_start;
    m_end = other.m_end;
    m_cursor.store(other.m_cursor.load(std::memory_order_relaxed), std::memory_order_relaxed);
    m_pattern = other.m_pattern;
    m_midiChannel = other.m_midiChannel;
    m_template = other.m_template;
    m_transpose = other.m_transpose;
    m_instanceId = other.m_instanceId;
}

DWORD CPatternInstance::GetInstanceSerial() { return g_serial.load(); }

void CPatternInstance::SetInstanceSerial(DWORD serial) { g_serial.store(serial); }

DWORD CPatternInstance::DrawInstanceId(SHORT patternId)
{
    // The clip pool keeps an audio pattern's clip under the bare pattern id
    // and an instance's clip under the instance id: a serial whose low half
    // is 0 would give the two the same key, so it is passed over.
    DWORD serial = 0;
    do {
        serial = g_serial.fetch_add(1);
    } while ((serial & 0xFFFFu) == 0);
    return static_cast<DWORD>(static_cast<WORD>(patternId)) | (serial & 0xFFFFu) << 16;
}

void CPatternInstance::ResetTemplate()
{
    m_template = CMfxEvent(MfxNote);
    if (m_pattern != nullptr && m_pattern->GetTriggerKey() >= 0) {
        m_template.m_channel = m_midiChannel == kNoChannel ? 0 : static_cast<BYTE>(m_midiChannel);
        m_template.m_note.velocity = kTriggerVelocity;
        m_template.m_note.extra = 0;
    }
}

SHORT CPatternInstance::GetPatternID() const
{
    return m_pattern != nullptr ? m_pattern->GetId() : CPattern::kNoPattern;
}

LONG CPatternInstance::GetPatternDuration() const { return m_pattern != nullptr ? m_pattern->GetDuration() : 0; }

ILoopClip* CPatternInstance::FindClip() const
{
    if (m_pattern == nullptr || m_pattern->GetKind() != CPattern::kKindLoopClip)
        return nullptr;
    IEngineServices* engine = GetEngineServices();
    IClipPool* pool = engine != nullptr ? engine->GetClipPool() : nullptr;
    return pool != nullptr ? pool->GetClip(m_instanceId) : nullptr;
}

void CPatternInstance::GiveClipPosition(HRESULT (ILoopClip::*set)(LONGLONG, int), ILoopClip* clip, LONGLONG ticks,
                                        bool frames) const
{
    (clip->*set)(ticks, ILoopClip::kUnitTicks);
    if (!frames)
        return;
    if (ticks == ILoopClip::kOpenEnd) {
        (clip->*set)(ILoopClip::kOpenEnd, ILoopClip::kUnitFrames);
        return;
    }
    ISongDocument* document = GetSongDocument();
    CTempoMap* tempo = document != nullptr ? document->GetTempoMap() : nullptr;
    IEngineServices* engine = GetEngineServices();
    const DWORD rate = engine != nullptr ? engine->GetSampleRate() : 0;
    if (tempo != nullptr && rate != 0)
        (clip->*set)(tempo->TicksToTime(Saturate(ticks), rate), ILoopClip::kUnitFrames);
}

LONGLONG CPatternInstance::ClipPlayPosition() const
{
    if (m_offset == 0)
        return m_start;
    return static_cast<LONGLONG>(m_start) + m_offset - GetPatternDuration();
}

HRESULT CPatternInstance::SetOffset(LONG offset)
{
    if (offset < 0 || offset >= GetPatternDuration())
        return E_INVALIDARG;
    m_offset = offset;
    if (ILoopClip* clip = FindClip())
        GiveClipPosition(&ILoopClip::SetPlayPosition, clip, ClipPlayPosition(), true);
    ResetCursor();
    return S_OK;
}

HRESULT CPatternInstance::SetOffsetWrapped(LONG offset)
{
    // A pattern without a positive duration has no offset to wrap into.
    const LONGLONG d = GetPatternDuration();
    if (d <= 0)
        return E_INVALIDARG;
    return SetOffset(static_cast<LONG>(FloorMod(offset, d)));
}

HRESULT CPatternInstance::SetStart(LONG start)
{
    m_start = start;
    if (ILoopClip* clip = FindClip()) {
        GiveClipPosition(&ILoopClip::SetPlayPosition, clip, ClipPlayPosition(), false);
        GiveClipPosition(&ILoopClip::SetStart, clip, m_start, true);
    }
    ResetCursor();
    return S_OK;
}

HRESULT CPatternInstance::SetEnd(LONG end)
{
    if (end <= m_start)
        return E_INVALIDARG;
    m_end = end;
    if (ILoopClip* clip = FindClip())
        GiveClipPosition(&ILoopClip::SetEnd, clip, end == kOpenEnd ? ILoopClip::kOpenEnd : end, true);
    ResetCursor();
    return S_OK;
}

HRESULT CPatternInstance::SetMidiChannel(WORD channel)
{
    if (channel != kNoChannel && channel > 15)
        return E_FAIL;
    m_midiChannel = channel;
    m_template.m_channel = channel == kNoChannel ? 0 : static_cast<BYTE>(channel);
    return S_OK;
}

HRESULT CPatternInstance::SetTranspose(LONG semitones)
{
    m_transpose = semitones;
    if (ILoopClip* clip = FindClip())
        clip->SetTranspose(semitones);
    return S_OK;
}

LONG CPatternInstance::PatternTimeAt(LONG t) const
{
    const LONGLONG d = GetPatternDuration();
    if (d <= 0)
        return 0;
    const LONGLONG r = (static_cast<LONGLONG>(t) - m_start + d - m_offset) % d;
    return r >= 0 ? static_cast<LONG>(r) : 0;
}

HRESULT CPatternInstance::SeekTime(LONG t)
{
    if (m_pattern == nullptr) {
        ResetCursor();
        return S_FALSE;
    }
    if (t <= m_start || t >= m_end) {
        m_cursor.store(0, std::memory_order_relaxed);
        return S_OK;
    }
    CHeapLockGuard guard(m_pattern->GetLock(), CHeapLockGuard::TryOnly{});
    if (!guard.OwnsLock()) {
        ResetCursor();
        return S_FALSE;
    }
    const std::vector<CMfxEvent>& events = m_pattern->GetEvents();
    const int n = static_cast<int>(events.size());
    if (n == 0) {
        ResetCursor();
        return S_OK;
    }
    const LONG p = PatternTimeAt(t);
    int i = FirstEventFrom(m_pattern->GetEventTimes(), 0, n, p);
    if (i == n || events[static_cast<std::size_t>(i)].m_time != p)
        i = std::max(i - 1, 0);
    m_cursor.store(i, std::memory_order_relaxed);
    return S_OK;
}

HRESULT CPatternInstance::RenderEvents(LONG from, LONG to, std::vector<CMfxEvent>* events, float swing,
                                       CMfxBlockRing* blocks) const
{
    if (events == nullptr)
        return E_POINTER;
    if (m_pattern == nullptr)
        return S_FALSE;
    const CPattern& pattern = *m_pattern;
    CHeapLockGuard guard(pattern.GetLock(), CHeapLockGuard::TryOnly{});
    if (!guard.OwnsLock())
        return S_FALSE;
    if (GetSongDocument() == nullptr)
        return E_UNEXPECTED;
    const std::vector<CMfxEvent>& source = pattern.GetEvents();
    const LONGLONG d = pattern.GetDuration();
    if (d <= 0 || source.empty())
        return S_FALSE;
    int begin = 0;
    int end = 0;
    pattern.GetPlayableRange(&begin, &end);
    const LONGLONG lo = std::max<LONGLONG>(from, m_start);
    const LONGLONG hi = std::min<LONGLONG>(to, m_end);
    if (begin == end || lo >= hi)
        return S_OK;

    IEngineServices* engine = GetEngineServices();
    IRecorder* recorder = engine != nullptr ? engine->GetRecorder() : nullptr;
    if (recorder != nullptr && recorder->GetOverwriteRecordMode() == IRecorder::kOverwriteOn &&
        recorder->IsRecordingPattern(pattern.GetId()))
        return S_OK;
    const bool swung = pattern.GetSwing() != 0 && swing != 0.0f;
    const LONGLONG end64 = m_end;

    // Pattern time 0 of the loop that lo lies in, and the first event of that
    // loop at or after lo; every later event plays at base + its time.
    const LONGLONG k = m_offset != 0 ? d - m_offset : 0;
    const LONGLONG p = FloorMod(lo - m_start + k, d);
    LONGLONG base = lo - p;
    int i = FirstEventFrom(pattern.GetEventTimes(), begin, end, p);
    for (;;) {
        for (; i < end; ++i) {
            const CMfxEvent& e = source[static_cast<std::size_t>(i)];
            LONGLONG t = base + e.m_time;
            if (t >= hi)
                return S_OK;
            if (e.HasBuffer()) {
                if (blocks == nullptr)
                    continue;
                if (events->size() == events->capacity())
                    return E_OUTOFMEMORY;
                const HMFXBUFFER copy = blocks->Take(e.m_buffer.handle);
                if (copy == 0)
                    continue;
                // The record alone: copying the event would duplicate its block.
                CMfxEvent& out = events->emplace_back();
                static_cast<MfxEvent&>(out) = e;
                out.m_buffer.handle = copy;
                out.m_time = Saturate(t);
                continue;
            }
            if (e.m_kind == MfxAutomation && recorder != nullptr && recorder->IsParamTouched(e.m_automation.param))
                continue;
            if (swung && e.m_kind == MfxNote) {
                const LONGLONG q = t % CPattern::kTicksPerQuarter;
                if (q >= CPattern::kSwingWindowStart && q < CPattern::kSwingWindowEnd)
                    t += static_cast<LONGLONG>(static_cast<float>(CPattern::kSwingTarget - q) * swing);
            }
            if (events->size() == events->capacity())
                return E_OUTOFMEMORY;
            CMfxEvent& out = events->emplace_back(e);
            out.m_time = Saturate(t);
            if (e.m_kind == MfxNote) {
                if (m_transpose != 0)
                    out.m_note.key = static_cast<BYTE>(std::clamp<LONGLONG>(
                        static_cast<LONGLONG>(e.m_note.key) + m_transpose, 0, 127));
                if (t + e.m_note.duration > end64)
                    out.m_note.duration = static_cast<DWORD>(std::max<LONGLONG>(end64 - t, 0));
            }
            if (e.m_kind != MfxAutomation && m_midiChannel != kNoChannel)
                out.m_channel = static_cast<BYTE>(m_midiChannel);
        }
        i = begin;
        base += d;
    }
}

HRESULT CPatternInstance::ChaseEvents(LONG t, CChaseSet* set) const
{
    if (set == nullptr)
        return E_POINTER;
    if (m_pattern == nullptr)
        return S_FALSE;
    CHeapLockGuard guard(m_pattern->GetLock());
    const std::vector<CMfxEvent>& source = m_pattern->GetEvents();
    const LONGLONG d = m_pattern->GetDuration();
    int begin = 0;
    int end = 0;
    m_pattern->GetPlayableRange(&begin, &end);
    if (d <= 0 || begin == end)
        return S_FALSE;

    // Events at or before t and before the end count. Every loop holds the
    // same targets, each later than in the loop before, so the last complete
    // loop and the one that t lies in decide; earlier loops are skipped.
    const LONGLONG limit = std::min<LONGLONG>(static_cast<LONGLONG>(t) + 1, m_end);
    const LONGLONG first = static_cast<LONGLONG>(m_start) + (m_offset != 0 ? m_offset - d : 0);
    const LONGLONG current = (limit - 1 - first) / d;
    LONGLONG base = first + std::max<LONGLONG>(current - 1, 0) * d;
    try {
        for (;; base += d) {
            for (int i = begin; i < end; ++i) {
                const CMfxEvent& e = source[static_cast<std::size_t>(i)];
                const LONGLONG u = base + e.m_time;
                if (u >= limit)
                    return S_OK;
                if (e.m_kind == MfxNote)
                    continue;
                CMfxEvent played(e);
                played.m_time = Saturate(u);
                if (e.m_kind != MfxAutomation && m_midiChannel != kNoChannel)
                    played.m_channel = static_cast<BYTE>(m_midiChannel);
                auto held = set->find(played);
                if (held == set->end()) {
                    set->insert(std::move(played));
                } else if (held->m_time <= played.m_time) {
                    held = set->erase(held);
                    set->insert(held, std::move(played));
                }
            }
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

CMfxEvent CPatternInstance::GetTriggerEvent(BOOL withLength) const
{
    CMfxEvent trigger(m_template);
    if (m_pattern != nullptr && m_pattern->GetTriggerKey() != CPattern::kNoTriggerKey) {
        trigger.m_time = m_start;
        trigger.m_note.key = static_cast<BYTE>(m_pattern->GetTriggerKey() & 0xFF);
        trigger.m_note.duration =
            withLength ? static_cast<DWORD>(std::max<LONGLONG>(static_cast<LONGLONG>(m_end) - m_start, 0)) : 0;
    }
    return trigger;
}

CString CPatternInstance::GetDisplayName() const
{
    CString name = m_pattern != nullptr ? m_pattern->GetDisplayName() : CString();
    if (m_transpose == 0)
        return name;
    CString shown;
    shown.Format(LoadResString(m_transpose > 0 ? IDS_INSTANCE_TRANSPOSED_UP : IDS_INSTANCE_TRANSPOSED_DOWN),
                 name.GetString(), static_cast<int>(m_transpose));
    return shown;
}

STDMETHODIMP CPatternInstance::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (archive == nullptr)
        return E_POINTER;
    const bool saving = archive->IsSaving() != FALSE;
    HRESULT hr = S_OK;
    switch (KelVersionIndex(versionWord)) {
    case 0: {
        BYTE placement[kPlacementBytes];
        if (saving) {
            if (m_pattern == nullptr)
                return E_UNEXPECTED;
            const WORD patternId = static_cast<WORD>(m_pattern->GetId());
            std::memcpy(placement, &m_instanceId, 4);
            std::memcpy(placement + 4, &m_midiChannel, 2);
            std::memcpy(placement + 6, &patternId, 2);
            std::memcpy(placement + 8, &m_offset, 4);
            std::memcpy(placement + 12, &m_start, 4);
            std::memcpy(placement + 16, &m_end, 4);
            return archive->PersistBytes(kPlacementBytes, placement);
        }
        if (FAILED(hr = archive->PersistBytes(kPlacementBytes, placement)))
            return hr;
        SHORT patternId = 0;
        std::memcpy(&patternId, placement + 6, 2);
        ISongDocument* document = GetSongDocument();
        CPattern* pattern = nullptr;
        hr = document != nullptr ? document->GetPattern(patternId, &pattern) : E_UNEXPECTED;
        if (SUCCEEDED(hr) && pattern == nullptr)
            hr = E_UNEXPECTED;
        if (FAILED(hr)) {
            m_pattern = nullptr;
            return hr;
        }
        m_pattern = pattern;
        std::memcpy(&m_instanceId, placement, 4);
        std::memcpy(&m_midiChannel, placement + 4, 2);
        std::memcpy(&m_offset, placement + 8, 4);
        std::memcpy(&m_start, placement + 12, 4);
        std::memcpy(&m_end, placement + 16, 4);
        // The trigger note is not saved: it is made again for the pattern,
        // as when the instance was created.
        ResetTemplate();
        ResetCursor();
        return S_OK;
    }
    case 1: return archive->PersistBytes(sizeof m_selected, &m_selected);
    case 2: {
        DWORD words[5] = {static_cast<DWORD>(m_transpose), kReserved, kReserved, kReserved, kReserved};
        if (FAILED(hr = archive->PersistBytes(sizeof words, words)))
            return hr;
        if (!saving)
            SetTranspose(static_cast<LONG>(words[0]));
        return S_OK;
    }
    default: return KELPERSIST_E_UNKNOWNCHUNK;
    }
}
