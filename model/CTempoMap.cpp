#include "model/CTempoMap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "model/PersistEntryList.h"
#include "model/CUndoRemoveStep.h"
#include "model/RunProjectEdit.h"
#include "model/SubmitUndoStep.h"

namespace {

using Wide = __int128;

constexpr DWORD kClearTempoRangeHint = 0x0102;

LONGLONG Clamp64(Wide v)
{
    if (v > INT64_MAX)
        return INT64_MAX;
    if (v < INT64_MIN)
        return INT64_MIN;
    return static_cast<LONGLONG>(v);
}

LONG Clamp32(Wide v)
{
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<LONG>(v);
}

// Rounds towards minus infinity, for a positive divisor, so that "add half,
// then divide" rounds half up before the song start as well as after it.
// Products that fit 64 bits are divided in 64 bits, the common case by far.
Wide DivFloor(Wide n, Wide d)
{
    if (n == static_cast<LONGLONG>(n) && d == static_cast<LONGLONG>(d)) {
        const LONGLONG a = static_cast<LONGLONG>(n);
        const LONGLONG b = static_cast<LONGLONG>(d);
        return a / b - (a % b < 0 ? 1 : 0);
    }
    return n / d - (n % d < 0 ? 1 : 0);
}

LONGLONG DoubleTo64(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 9223372036854775807.0)
        return INT64_MAX;
    if (v <= -9223372036854775808.0)
        return INT64_MIN;
    return static_cast<LONGLONG>(v);
}

// Whole frames per second of the h:m:s:f display: 24, 25 or 30.
int DisplayRate(double rate) { return static_cast<int>(rate + 0.5); }

bool IsDropFrame(int code) { return code == CTempoMap::kFps30Drop || code == CTempoMap::kFps2997Drop; }

constexpr LONG kFramesPerTenMinutes = 17982;
constexpr LONG kLabelsPerTenMinutes = 18000;

}  // namespace

CTempoMap::CTempoMap() : CKelPersistObject(MakeKelVersionWord(kMajor, 0)) { Reset(); }

HRESULT CTempoMap::Insert(const int& index, const CTempo& tempo)
{
    if (tempo.m_tempo < 1)
        return E_INVALIDARG;
    HRESULT hr = CUndoVector::Insert(index, tempo);
    if (SUCCEEDED(hr))
        RecalcTimes(index);
    return hr;
}

HRESULT CTempoMap::Set(const int& index, const CTempo& tempo)
{
    if (tempo.m_tempo < 1)
        return E_INVALIDARG;
    HRESULT hr = CUndoVector::Set(index, tempo);
    if (SUCCEEDED(hr))
        RecalcTimes(index);
    return hr;
}

HRESULT CTempoMap::Remove(const int& index)
{
    HRESULT hr = CUndoVector::Remove(index);
    if (SUCCEEDED(hr))
        RecalcTimes(index);
    return hr;
}

HRESULT CTempoMap::Reset()
{
    Items().clear();
    m_timeOffset = 0;
    RecalcTimes(0);
    return S_OK;
}

void CTempoMap::RecalcTimes(int from)
{
    std::vector<CTempo>& items = Items();
    if (from <= 0) {
        if (items.empty())
            items.emplace_back(0, CTempo::kDefaultTempo);
        items.front().m_tick = 0;
        items.front().m_time = 0;
        from = 1;
    }
    for (std::size_t i = static_cast<std::size_t>(from); i < items.size(); ++i) {
        const CTempo& prev = items[i - 1];
        const Wide span = static_cast<Wide>(items[i].m_tick) - prev.m_tick;
        items[i].m_time = Clamp64(prev.m_time + QuarterMicroseconds(prev.m_tempo) * span);
    }
}

int CTempoMap::IndexAt(LONG tick) const
{
    return std::max(LastIndexNotAfter(tick, [](const CTempo& e) { return e.m_tick; }), 0);
}

int CTempoMap::IndexAtTime(LONGLONG units) const
{
    return LastIndexNotAfter(units, [](const CTempo& e) { return e.m_time; });
}

int CTempoMap::IndexAtSeconds(double seconds) const
{
    const LONGLONG units = DoubleTo64(std::floor(m_ticksPerQuarter * seconds * 1e6 + 0.5));
    return IndexAtTime(Clamp64(static_cast<Wide>(units) - m_timeOffset));
}

int CTempoMap::IndexAtFrame(LONG frames) const
{
    const Wide perFrame = static_cast<Wide>(UnitsPerSecond()) * 100;
    const LONG rate = FrameRateX100();
    return IndexAtTime(Clamp64(DivFloor(2 * perFrame * frames + rate, 2 * static_cast<Wide>(rate)) - m_timeOffset));
}

LONG CTempoMap::GetTempoAt(LONG tick) const
{
    return LiveInForce(FALSE) ? m_liveTempo : (*this)[IndexAt(tick)].m_tempo;
}

CTempoMap::Segment CTempoMap::EntrySegment(int index) const
{
    const CTempo& e = (*this)[std::max(index, 0)];
    return Segment{e.m_tick, QuarterMicroseconds(e.m_tempo), e.m_time};
}

CTempoMap::Segment CTempoMap::LiveSegment() const
{
    return Segment{m_liveRefTick, QuarterMicroseconds(m_liveTempo), m_liveRefTime};
}

CTempoMap::Segment CTempoMap::SegmentAtTick(LONG tick, BOOL ignoreLive) const
{
    return LiveInForce(ignoreLive) ? LiveSegment() : EntrySegment(IndexAt(tick));
}

CTempoMap::Segment CTempoMap::SegmentAtTime(LONGLONG units, BOOL ignoreLive) const
{
    return LiveInForce(ignoreLive) ? LiveSegment() : EntrySegment(IndexAtTime(units));
}

LONGLONG CTempoMap::TickTime(LONG tick, const Segment& segment) const
{
    return Clamp64(segment.time + static_cast<Wide>(segment.quarter) * (tick - segment.tick));
}

LONG CTempoMap::FrameRateX100() const
{
    switch (m_frameRateCode) {
    case kFps24:
        return 2400;
    case kFps25:
        return 2500;
    case kFps2997Drop:
    case kFps2997:
        return 2997;
    default:
        return 3000;
    }
}

double CTempoMap::GetFrameRate() const { return FrameRateX100() / 100.0; }

HRESULT CTempoMap::SetFixedTempo(LONG tick, LONG tempo)
{
    if (tempo < kMinLiveTempo || tempo > kMaxLiveTempo)
        return E_INVALIDARG;
    const LONGLONG time = TickTime(tick, SegmentAtTick(tick, FALSE));
    m_liveRefMicroseconds = static_cast<double>(time) / m_ticksPerQuarter;
    m_liveRefTime = time;
    m_liveRefTick = tick;
    m_liveTempo = tempo;
    return S_OK;
}

HRESULT CTempoMap::GetFixedTempo(LONG* tick, LONG* tempo, double* microseconds) const
{
    if (!LiveInForce(FALSE))
        return S_FALSE;
    if (tick != nullptr)
        *tick = m_liveRefTick;
    if (tempo != nullptr)
        *tempo = m_liveTempo;
    if (microseconds != nullptr)
        *microseconds = m_liveRefMicroseconds;
    return S_OK;
}

void CTempoMap::RebaseFixedTempo()
{
    if (!LiveInForce(FALSE))
        return;
    m_liveRefTick = 0;
    m_liveRefMicroseconds = 0.0;
    m_liveRefTime = 0;
}

HRESULT CTempoMap::ClearTempoRange(LONG from, LONG to, BOOL openCommand, CMvCommand* command)
{
    return RunProjectEdit(command, openCommand != FALSE, nullptr, "Clear Tempo Range", kClearTempoRangeHint,
                          [&](CMvCommand* cmd) {
                              for (int i = GetSize() - 1; i >= 0; --i) {
                                  const LONG t = (*this)[i].m_tick;
                                  if (t >= from && t <= to && t != 0)
                                      SubmitUndoStep<CUndoRemoveStep<int, CTempo>>(cmd, *this, i);
                              }
                          });
}

HRESULT CTempoMap::SetSelected(int index, BOOL selected)
{
    if (!IsValidIndex(index))
        return E_INVALIDARG;
    At(index).m_selected = static_cast<DWORD>(selected) & 0xFFu;
    return S_OK;
}

HRESULT CTempoMap::GetSelectedIndices(std::vector<int>* indices) const
{
    try {
        return PickedIndices(indices, [](const CTempo& t) { return t.m_selected != 0; });
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

LONGLONG CTempoMap::TicksToTime(LONG tick, LONGLONG scale, BOOL ignoreLive) const
{
    if (scale <= 0)
        return 0;
    const Wide v = Clamp64(static_cast<Wide>(TickTime(tick, SegmentAtTick(tick, ignoreLive))) + m_timeOffset);
    const LONGLONG d = UnitsPerSecond();
    return Clamp64(DivFloor(v * scale + d / 2, d));
}

LONG CTempoMap::TimeToTicks(LONGLONG value, LONGLONG scale, BOOL ignoreLive) const
{
    if (scale <= 0)
        return 0;
    const Wide scaled = static_cast<Wide>(UnitsPerSecond()) * value;  // the instant in units, times scale
    const LONGLONG units = Clamp64(DivFloor(2 * scaled + scale, 2 * static_cast<Wide>(scale)) - m_timeOffset);
    const Segment seg = SegmentAtTime(units, ignoreLive);
    const Wide a = static_cast<Wide>(seg.quarter) * scale;
    const Wide start = Clamp64(static_cast<Wide>(seg.time) + m_timeOffset);
    return Clamp32(seg.tick + DivFloor(scaled - start * scale + a / 2, a));
}

LONG CTempoMap::TicksToFrames(LONG tick, int rounding) const
{
    const Wide perFrame = static_cast<Wide>(UnitsPerSecond()) * 100;  // units x frame rate x 100 per frame
    const Wide v = Clamp64(static_cast<Wide>(TickTime(tick, SegmentAtTick(tick, FALSE))) + m_timeOffset);
    const Wide r = rounding == kRoundHalfUp ? perFrame / 2 : rounding == kRoundUp ? perFrame - 1 : 0;
    return Clamp32(DivFloor(v * FrameRateX100() + r, perFrame));
}

LONG CTempoMap::FramesToTicks(LONG frames, int rounding) const
{
    const Wide perFrame = static_cast<Wide>(UnitsPerSecond()) * 100;
    const LONG rate = FrameRateX100();
    const LONGLONG units = Clamp64(DivFloor(2 * perFrame * frames + rate, 2 * static_cast<Wide>(rate)) - m_timeOffset);
    const Segment seg = SegmentAtTime(units, FALSE);
    const Wide a = static_cast<Wide>(rate) * seg.quarter;
    const Wide n = perFrame * frames - static_cast<Wide>(rate) * Clamp64(static_cast<Wide>(seg.time) + m_timeOffset);
    const Wide r = rounding == kRoundHalfUp ? a / 2 : rounding == kRoundUp ? a - 1 : 0;
    return Clamp32(seg.tick + DivFloor(n + r, a));
}

void CTempoMap::FramesToSmpte(LONG frames, int* hours, int* minutes, int* seconds, int* frameOfSecond) const
{
    const LONG n = IsDropFrame(m_frameRateCode) ? FrameCountToDropFrameLabel(frames) : frames;
    const int rate = DisplayRate(GetFrameRate());
    const LONG whole = n / rate;
    if (frameOfSecond != nullptr)
        *frameOfSecond = static_cast<int>(n % rate);
    if (seconds != nullptr)
        *seconds = static_cast<int>(whole % 60);
    if (minutes != nullptr)
        *minutes = static_cast<int>(whole / 60 % 60);
    if (hours != nullptr)
        *hours = static_cast<int>(whole / 3600 % 24);
}

LONG CTempoMap::SmpteToFrames(int hours, int minutes, int seconds, int frameOfSecond) const
{
    const Wide rate = DisplayRate(GetFrameRate());
    const LONG n = Clamp32(rate * (seconds + 60 * (minutes + 60 * static_cast<Wide>(hours))) + frameOfSecond);
    return IsDropFrame(m_frameRateCode) ? DropFrameLabelToFrameCount(n) : n;
}

LONGLONG CTempoMap::TimeToFixedTicks(LONGLONG value, LONGLONG scale) const
{
    if (scale <= 0)
        return 0;
    const double t = static_cast<double>(value) / static_cast<double>(scale);
    const Segment seg = LiveInForce(FALSE) ? LiveSegment() : EntrySegment(IndexAtSeconds(t));
    const double u =
        t * 1e6 - (static_cast<double>(seg.time) + static_cast<double>(m_timeOffset)) / m_ticksPerQuarter;
    const double perQuarter = 65536.0 * m_ticksPerQuarter;
    const double fraction = std::floor(std::fabs(u) / static_cast<double>(seg.quarter) * perQuarter + 0.5);
    return Clamp64(static_cast<Wide>(TicksToFixed(static_cast<LONG>(seg.tick))) +
                   (u < 0 ? -1 : 1) * static_cast<Wide>(DoubleTo64(fraction)));
}

LONGLONG CTempoMap::FixedTicksToTime(LONGLONG fixed, LONGLONG scale) const
{
    if (scale <= 0)
        return 0;
    const Segment seg = LiveInForce(FALSE) ? LiveSegment() : EntrySegment(IndexAt(FixedToTicks(fixed)));
    const double perQuarter = 65536.0 * m_ticksPerQuarter;
    const double seconds =
        static_cast<double>(fixed - TicksToFixed(static_cast<LONG>(seg.tick))) / perQuarter *
            static_cast<double>(seg.quarter) / 1e6 +
        (static_cast<double>(seg.time) + static_cast<double>(m_timeOffset)) / static_cast<double>(UnitsPerSecond());
    return DoubleTo64(std::floor(seconds * static_cast<double>(scale) + 0.5));
}

STDMETHODIMP CTempoMap::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    constexpr ULONG kEntryBytes = 8;
    HRESULT hr = PersistEntryList(archive, Items(), kEntryBytes, [](const CTempo& e) { return e.m_tempo >= 1; });
    if (SUCCEEDED(hr) && !archive->IsSaving())
        RecalcTimes(0);
    return hr;
}

LONG FixedToTicks(LONGLONG fixed)
{
    return Clamp32((static_cast<Wide>(fixed) >> 16) + ((fixed >> 15) & 1));
}

LONG FrameCountToDropFrameLabel(LONG frames)
{
    const LONG d = frames / kFramesPerTenMinutes;
    LONG r = frames - kFramesPerTenMinutes * d;
    const LONG reached = r >= 1800 ? std::min<LONG>((r - 1800) / 1798 + 1, 9) : 0;
    r += 2 * reached;
    return Clamp32(static_cast<Wide>(kLabelsPerTenMinutes) * d + r);
}

LONG DropFrameLabelToFrameCount(LONG label)
{
    const LONG d = label / kLabelsPerTenMinutes;
    LONG r = label - kLabelsPerTenMinutes * d;
    const LONG reached = r >= 1802 ? std::min<LONG>((r - 1802) / 1800 + 1, 9) : 0;
    r -= 2 * reached;
    return Clamp32(static_cast<Wide>(kFramesPerTenMinutes) * d + r);
}
